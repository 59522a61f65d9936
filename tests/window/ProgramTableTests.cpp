// The program table: one record per module path, its verdict, company and row.
#include "TableWindow.h"

#include <string.h>

#include "FakeTrust.h"
#include "inventory/ProcessScan.h"
#include "inventory/ProgramTable.h"

namespace {

class ProgramTableTest : public TableWindowTest {};

TEST_F(ProgramTableTest, KeepsTheFirstProcessOfAModulePathInAnyLetterCase)
{
    const std::string module = scratch_.Join("Shared.dll");
    EXPECT_EQ(Hex(S_OK), Hex(AddProgram(window_, module.c_str(), "C:\\First.exe", 100)));
    std::string upper = module;
    for (char& c : upper)
        c = (char)toupper((unsigned char)c);
    EXPECT_EQ(Hex(S_FALSE), Hex(AddProgram(window_, upper.c_str(), "C:\\Second.exe", 200)));
    EXPECT_EQ(Hex(S_FALSE), Hex(AddProgram(window_, module.c_str(), "C:\\Third.exe", 300)));

    ASSERT_EQ(1, gSession.table.count);
    const ProgramRecord& record = gSession.table.records[0];
    EXPECT_EQ(100u, record.processId);
    EXPECT_STREQ("C:\\First.exe", record.processImagePath);
    EXPECT_TRUE(FindProgramByModule(upper.c_str()));
    EXPECT_EQ(1u, Rows().size());
}

TEST_F(ProgramTableTest, TellsNonAsciiLetterCasesApart)
{
    EXPECT_EQ(Hex(S_OK), Hex(AddProgram(window_, "C:\\\xC4rger.dll", "C:\\a.exe", 1)));
    EXPECT_EQ(Hex(S_OK), Hex(AddProgram(window_, "C:\\\xE4rger.dll", "C:\\a.exe", 1)));
    EXPECT_EQ(2, gSession.table.count);
}

TEST_F(ProgramTableTest, StoresA259CharacterPathWholeAndCutsLongerOnes)
{
    const std::string exact = "C:\\" + std::string(252, 'p') + ".dll";
    ASSERT_EQ(259u, exact.size());
    const std::string longer = "C:\\" + std::string(300, 'q') + ".dll";
    AddProgram(window_, exact.c_str(), exact.c_str(), 1);
    AddProgram(window_, longer.c_str(), "C:\\a.exe", 1);
    ASSERT_EQ(2, gSession.table.count);
    EXPECT_EQ(exact, gSession.table.records[0].modulePath);
    EXPECT_EQ(exact, gSession.table.records[0].processImagePath);
    EXPECT_EQ(longer.substr(0, 259), gSession.table.records[1].modulePath);
}

TEST_F(ProgramTableTest, ListsUnverifiedModulesOnly)
{
    const std::string listed = FixturePath("CompanyLibrary.dll");
    const std::string passing = FixturePath("NoVersionLibrary.dll");
    {
        FakeTrustScope fake;
        gFake.sha1Catalogs = {FakeCatalog()};
        gFake.sha1Catalogs[0].path = L"C1";
        // The fake passes every file that a catalog lists: here, everything.
        CatalogVerifier binding;
        EXPECT_EQ(Hex(S_OK), Hex(AddProgram(window_, passing.c_str(), "C:\\host.exe", 7)));
        gFake.sha1Catalogs.clear();
        EXPECT_EQ(Hex(S_OK), Hex(AddProgram(window_, listed.c_str(), "C:\\host.exe", 7)));
        binding.Release();
    }
    ASSERT_EQ(2, gSession.table.count);
    EXPECT_EQ(1, gSession.table.records[0].verified);
    EXPECT_EQ(-1, gSession.table.records[0].listRow);
    EXPECT_EQ(0, gSession.table.records[1].verified);
    EXPECT_EQ(0, gSession.table.records[1].listRow);
    EXPECT_STREQ("Kestrovane Fixture Works", gSession.table.records[1].companyName);

    const std::vector<ListRow> rows = Rows();
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(listed, rows[0].module);
    EXPECT_EQ("Kestrovane Fixture Works", rows[0].owner);
    EXPECT_EQ("Unverified", rows[0].status);
    EXPECT_FALSE(rows[0].ticked);
}

TEST_F(ProgramTableTest, RefusesTheRecordAfterTheLast)
{
    for (LONG i = 0; i < kMaxPrograms; i++) {
        const std::string module = "C:\\missing\\module" + std::to_string(i) + ".dll";
        ASSERT_EQ(Hex(S_OK), Hex(AddProgram(window_, module.c_str(), "C:\\host.exe", 9)));
    }
    EXPECT_EQ(kMaxPrograms, gSession.table.count);
    EXPECT_EQ(Hex(E_FAIL), Hex(AddProgram(window_, "C:\\missing\\one-more.dll", "C:\\host.exe", 9)));
    EXPECT_EQ(kMaxPrograms, gSession.table.count);
    EXPECT_EQ("File Not Found", Rows().back().status);
}

TEST_F(ProgramTableTest, MarksEveryRecordOfAKilledProcess)
{
    PutRecord("C:\\a.dll", "C:\\one.exe", 1, 0, 0);
    PutRecord("C:\\b.dll", "C:\\two.exe", 2, 0, 0);
    PutRecord("C:\\c.dll", "C:\\two.exe", 2, 0, 0);
    PutRecord("C:\\d.dll", "C:\\two.exe", 2, 1, 0);

    MarkProcessKilled(99);
    for (LONG i = 0; i < gSession.table.count; i++)
        EXPECT_EQ(0, gSession.table.records[i].killed) << i;
    MarkProcessKilled(2);
    const BYTE expected[] = {0, 1, 1, 1};
    for (LONG i = 0; i < gSession.table.count; i++)
        EXPECT_EQ(expected[i], gSession.table.records[i].killed) << i;
}

// A copy of the company fixture whose translation value holds a single word.
std::string ShortTranslationCopy(const ScratchFolder& scratch)
{
    std::string bytes = ReadFileBytes(FixturePath("CompanyLibrary.dll"));
    const std::wstring name = L"Translation";
    const std::string needle((const char*)name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    const size_t at = bytes.find(needle);
    if (at == std::string::npos || at < 4)
        return "";
    bytes[at - 4] = 2;  // wValueLength of the Var: 2 bytes in place of 4
    const std::string path = scratch.Join("ShortTranslation.dll");
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return path;
}

TEST_F(ProgramTableTest, ReadsTheCompanyOfTheFirstTranslationOnly)
{
    const std::string shortTranslation = ShortTranslationCopy(scratch_);
    ASSERT_FALSE(shortTranslation.empty());
    const struct {
        const char* name;
        std::string path;
        ResultCode expected;
        std::string company;
    } cases[] = {
        {"company under 040904b0", FixturePath("CompanyLibrary.dll"), S_OK, "Kestrovane Fixture Works"},
        {"company under the second translation", FixturePath("OtherTranslationLibrary.dll"), E_FAIL, "#"},
        {"no version resource", FixturePath("NoVersionLibrary.dll"), E_FAIL, "#"},
        {"translation shorter than a pair", shortTranslation, E_FAIL, "#"},
        {"missing file", scratch_.Join("missing.dll"), E_FAIL, "#"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char company[kTextChars] = "#";
        EXPECT_EQ(Hex(c.expected), Hex(GetCompanyName(c.path.c_str(), company, kTextChars)));
        EXPECT_EQ(c.company, company);
    }

    char small[6] = {0};
    EXPECT_EQ(Hex(STRSAFE_E_INSUFFICIENT_BUFFER),
              Hex(GetCompanyName(FixturePath("CompanyLibrary.dll").c_str(), small, sizeof(small))));
    EXPECT_STREQ("Kestr", small);
}

TEST(NormalizeImagePath, MapsPathsToExistingFiles)
{
    char system[MAX_PATH] = {0};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string kernel = std::string(system) + "\\kernel32.dll";
    const struct {
        const char* name;
        std::string reported;
        std::string expected;
    } cases[] = {
        {"existing file", kernel, kernel},
        {"kernel notation", "\\SystemRoot\\System32\\smss.exe", std::string(system) + "\\smss.exe"},
        {"device notation", "\\Device\\HarddiskVolume1\\Windows\\explorer.exe", std::string(system) + "\\explorer.exe"},
        {"no backslash", "smss.exe", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char out[kTextChars] = {0};
        EXPECT_EQ(Hex(S_OK), Hex(NormalizeImagePath(c.reported.c_str(), out, kTextChars)));
        EXPECT_EQ(c.expected, out);
    }
    char out[kTextChars] = {0};
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(NormalizeImagePath(NULL, out, kTextChars)));
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(NormalizeImagePath("C:\\a.exe", NULL, kTextChars)));
}

TEST(ListProcessModules, AsksAgainUntilEveryModuleFits)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId());
    ASSERT_NE(nullptr, process);
    HMODULE* all = NULL;
    DWORD allCount = 0;
    ASSERT_EQ(Hex(S_OK), Hex(ListProcessModules(process, 2048, &all, &allCount)));
    ASSERT_GT(allCount, 8u);

    // Room for 4 handles is far too little: the list must still come back whole.
    HMODULE* modules = NULL;
    DWORD count = 0;
    EXPECT_EQ(Hex(S_OK), Hex(ListProcessModules(process, 4, &modules, &count)));
    ASSERT_EQ(allCount, count);
    for (DWORD i = 0; i < count; i++)
        EXPECT_EQ(all[i], modules[i]) << i;
    free(modules);
    free(all);
    CloseHandle(process);
}

}
