#include <gtest/gtest.h>

#include <string.h>

#include "TestFolder.h"
#include "support/BoundedString.h"
#include "support/WorkFolder.h"

namespace {

// Points TMP and TEMP at one folder for the life of the object.
struct TempFolderOverride {
    explicit TempFolderOverride(const std::string& folder) : tmp("TMP", folder), temp("TEMP", folder) {}
    ScopedEnvironment tmp;
    ScopedEnvironment temp;
};

TEST(CreateWorkFolder, MakesOneGuidFolderUnderTheTemporaryFolder)
{
    ScratchFolder scratch;
    const struct {
        const char* name;
        std::string tempValue;
        std::string parent;
    } cases[] = {
        {"with trailing backslash", scratch.Path() + "\\", scratch.Path()},
        {"without trailing backslash", scratch.Path(), scratch.Path()},
        {"missing temporary folder", scratch.Join("made-first"), scratch.Join("made-first")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolderOverride temp(c.tempValue);
        char buffer[kTextChars] = {0};
        ASSERT_EQ(Hex(S_OK), Hex(CreateWorkFolder(buffer, kTextChars)));

        const std::string path = buffer;
        ASSERT_EQ(c.parent + "\\", path.substr(0, c.parent.size() + 1)) << path;
        const std::string name = path.substr(c.parent.size() + 1);
        EXPECT_TRUE(IsGuidName(name)) << "\"" << name << "\"";
        EXPECT_TRUE(IsFolder(path));
    }
}

TEST(CreateWorkFolder, EachCallMakesANewFolder)
{
    ScratchFolder scratch;
    TempFolderOverride temp(scratch.Path());
    char first[kTextChars] = {0};
    char second[kTextChars] = {0};
    ASSERT_EQ(Hex(S_OK), Hex(CreateWorkFolder(first, kTextChars)));
    ASSERT_EQ(Hex(S_OK), Hex(CreateWorkFolder(second, kTextChars)));
    EXPECT_STRNE(first, second);
    EXPECT_EQ(2u, ListFolder(scratch.Path()).size());
}

TEST(CreateWorkFolder, FailsWithoutMakingAnythingWhenThePathDoesNotFit)
{
    ScratchFolder scratch;
    const std::string deep = scratch.Join(std::string(120, 'd')) + "\\" + std::string(120, 'e');
    const struct {
        const char* name;
        std::string tempValue;
        size_t capacity;
        ResultCode expected;  // 0 when any failure code will do
    } cases[] = {
        {"temporary path of 259 characters", deep.substr(0, 259), kTextChars, 0},
        {"temporary path of 300 characters", deep + std::string(300 - deep.size(), 'f'), kTextChars, 0},
        {"joined path longer than the buffer", scratch.Path(), scratch.Path().size() + 20,
         STRSAFE_E_INSUFFICIENT_BUFFER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolderOverride temp(c.tempValue);
        char buffer[kTextChars + 1];
        memset(buffer, '#', sizeof(buffer));
        buffer[kTextChars] = 0;

        const ResultCode result = CreateWorkFolder(buffer, c.capacity);
        EXPECT_LT(result, 0) << Hex(result);
        if (c.expected != 0) {
            EXPECT_EQ(Hex(c.expected), Hex(result));
        }
        EXPECT_TRUE(ListFolder(scratch.Path()).empty()) << "made " << ListFolder(scratch.Path())[0];
        if (c.expected == 0) {
            EXPECT_EQ(std::string(kTextChars, '#'), std::string(buffer)) << "the buffer was written";
        }
    }
}

TEST(CreateWorkFolder, RefusesNoBuffer)
{
    char buffer[4] = "##";
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(CreateWorkFolder(NULL, kTextChars)));
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(CreateWorkFolder(buffer, 0)));
    EXPECT_STREQ("##", buffer);
}

}
