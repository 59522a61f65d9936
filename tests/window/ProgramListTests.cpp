// The program list: columns, rows, statuses, the two filter modes and the row icons.
#include "TableWindow.h"

#include <commctrl.h>

#include "res/resource.h"
#include "review/ProgramList.h"

namespace {

class ProgramListTest : public TableWindowTest {};

TEST_F(ProgramListTest, HasThreeColumnsAndItsStyles)
{
    EXPECT_EQ(0x4024, SendMessageA(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_NE(0, GetWindowLongPtrA(list_, GWL_STYLE) & LVS_SHOWSELALWAYS);
    RECT client = {};
    GetClientRect(list_, &client);
    const int width = client.right - client.left;
    const struct {
        const char* header;
        int width;
    } columns[] = {{"Running Programs", (2 * width) / 4}, {"Owner", width / 4}, {"Status", width / 4}};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        char header[64] = {0};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.pszText = header;
        column.cchTextMax = sizeof(header);
        ASSERT_TRUE(SendMessageA(list_, LVM_GETCOLUMNA, i, (LPARAM)&column));
        EXPECT_STREQ(columns[i].header, header);
        EXPECT_EQ(columns[i].width, column.cx);
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
        EXPECT_EQ(i, column.iSubItem);
    }
}

TEST_F(ProgramListTest, RefusesARowForAListedModuleInAnyLetterCase)
{
    const ProgramRecord& record = PutRecord("C:\\dir\\Module.dll", "C:\\host.exe", 1, 0, 0);
    EXPECT_EQ(0, InsertProgramRow(window_, "C:\\dir\\Module.dll", "Company", &record, 0));
    EXPECT_EQ(-1, InsertProgramRow(window_, "c:\\DIR\\module.DLL", "Company", &record, 0));
    EXPECT_EQ(1, InsertProgramRow(window_, "C:\\dir\\Other.dll", "", &record, 1));
    const std::vector<ListRow> rows = Rows();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("File Not Found", rows[0].status);
    EXPECT_EQ("Verified", rows[1].status);
    EXPECT_EQ("", rows[1].owner);
}

TEST_F(ProgramListTest, RebuildsInBothFilterModes)
{
    const std::string present = FixturePath("CompanyLibrary.dll");
    PutRecord(present, "C:\\one.exe", 1, 0, 0);
    PutRecord("C:\\gone\\Missing.dll", "C:\\one.exe", 1, 0, 0);
    PutRecord(FixturePath("NoVersionLibrary.dll"), "C:\\two.exe", 2, 1, 0);
    PutRecord(FixturePath("OtherTranslationLibrary.dll"), "C:\\three.exe", 3, 0, 1);

    const struct {
        bool unverifiedOnly;
        std::vector<std::string> statuses;
        std::vector<LONG> listRows;
    } modes[] = {
        {true, {"Unverified", "File Not Found"}, {0, 1, -1, -1}},
        {false, {"Unverified", "File Not Found", "Verified"}, {0, 1, 2, -1}},
    };
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.unverifiedOnly ? "unverified only" : "all");
        SetFilter(mode.unverifiedOnly);
        RefreshProgramList(window_);
        std::vector<std::string> statuses;
        for (const ListRow& row : Rows())
            statuses.push_back(row.status);
        EXPECT_EQ(mode.statuses, statuses);
        for (LONG i = 0; i < gSession.table.count; i++)
            EXPECT_EQ(mode.listRows[i], gSession.table.records[i].listRow) << i;
    }
}

TEST_F(ProgramListTest, ShowsFileNotFoundOnceTheFileIsGone)
{
    const std::string module = scratch_.Join("Vanishing.dll");
    ASSERT_TRUE(CopyFileA(FixturePath("CompanyLibrary.dll").c_str(), module.c_str(), FALSE));
    PutRecord(module, "C:\\host.exe", 1, 0, 0);
    RefreshUnverifiedPrograms(window_);
    EXPECT_EQ("Unverified", Rows()[0].status);

    ASSERT_TRUE(DeleteFileA(module.c_str()));
    RefreshUnverifiedPrograms(window_);
    ASSERT_EQ(1u, Rows().size());
    EXPECT_EQ("File Not Found", Rows()[0].status);
}

TEST_F(ProgramListTest, SharesOneImagePerExecutableAcrossRebuilds)
{
    for (int i = 0; i < 30; i++)
        PutRecord("C:\\lib\\module" + std::to_string(i) + ".dll",
                  i % 3 == 0 ? "C:\\apps\\First.exe" : "C:\\apps\\Second.exe", i % 3 == 0 ? 1 : 2, 0, 0);
    RefreshAllPrograms(window_);
    const int images = ImageCount();
    EXPECT_EQ(2, images);

    for (int i = 0; i < 50; i++)
        RefreshProgramList(window_);
    EXPECT_EQ(images, ImageCount()) << "the image list grew with the rebuilds";

    const std::vector<ListRow> rows = Rows();
    ASSERT_EQ(30u, rows.size());
    for (size_t i = 0; i < rows.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_GE(rows[i].image, 0);
        EXPECT_EQ(rows[i % 3 == 0 ? 0 : 1].image, rows[i].image);
    }
    EXPECT_NE(rows[0].image, rows[1].image);
}

TEST_F(ProgramListTest, RefreshingAnEmptyTableLeavesAnEmptyList)
{
    EXPECT_EQ(Hex(S_OK), Hex(RefreshUnverifiedPrograms(window_)));
    EXPECT_EQ(Hex(S_OK), Hex(RefreshAllPrograms(window_)));
    EXPECT_TRUE(Rows().empty());
}

}
