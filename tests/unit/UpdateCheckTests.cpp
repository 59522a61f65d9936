// The pieces of the update check: version files, file versions, checking a downloaded program,
// and putting it in place of a file in use.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ModuleHosts.h"
#include "TestFolder.h"
#include "support/BoundedString.h"
#include "update/UpdateCheck.h"

namespace {

const DWORD kOwnMS = 0x00010000;  // 1.0.0.1, the shipped version
const DWORD kOwnLS = 0x00000001;

// A copy of a fixture library loaded into this process: its file is in use the way a running
// program's file is (mapped as an image), so it cannot be deleted but can be renamed.
class FileInUse {
public:
    FileInUse(const std::string& path) : path_(path), module_(NULL)
    {
        if (!CopyFileA(FixturePath("CompanyLibrary.dll").c_str(), path.c_str(), FALSE))
            return;
        // A trailing dot keeps the loader from adding ".dll" to a name without extension.
        const bool hasExtension = path.find('.', path.find_last_of('\\')) != std::string::npos;
        module_ = LoadLibraryA((hasExtension ? path : path + ".").c_str());
    }
    ~FileInUse()
    {
        if (module_ != NULL)
            FreeLibrary(module_);
    }
    FileInUse(const FileInUse&) = delete;
    FileInUse& operator=(const FileInUse&) = delete;

    bool Loaded() const { return module_ != NULL; }

private:
    std::string path_;
    HMODULE module_;
};

// The files the system is to delete or rename at the next restart, as one text.
std::string PendingRenames()
{
    char data[65536] = {0};
    DWORD size = sizeof(data) - 2;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "";
    if (RegQueryValueExA(key, "PendingFileRenameOperations", NULL, NULL, (BYTE*)data, &size) !=
        ERROR_SUCCESS)
        size = 0;
    RegCloseKey(key);
    std::string text(data, size);
    for (char& c : text) {
        if (c == '\0')
            c = '|';
    }
    CharUpperBuffA(&text[0], (DWORD)text.size());
    return text;
}

bool IsPendingDeletion(const std::string& path)
{
    std::string upper = path;
    CharUpperBuffA(&upper[0], (DWORD)upper.size());
    return PendingRenames().find(upper) != std::string::npos;
}

TEST(ReplaceRunningFile, DeletesAFileNotInUse)
{
    ScratchFolder scratch;
    const std::string path = scratch.Join("Kestrovane.exe");
    ASSERT_TRUE(WriteFileBytes(path, "old program"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    char movedTo[kTextChars] = "untouched";

    EXPECT_EQ(Hex(S_OK), Hex(ReplaceRunningFile(path.c_str(), movedTo, kTextChars)));
    EXPECT_STREQ("", movedTo);
    EXPECT_TRUE(ListFolder(scratch.Path()).empty());
}

TEST(ReplaceRunningFile, MovesAFileInUseToItsReplacedName)
{
    const struct {
        const char* name;
        const char* newName;
        const char* leftover;  // a file of the new name from an earlier update, or NULL
    } cases[] = {
        {"Kestrovane.exe", "Kestrovane.sc_", NULL},
        {"Kestrovane", "Kestrovane.sc_", NULL},
        {"Kestrovane.tool.exe", "Kestrovane.tool.sc_", NULL},
        {"Kestrovane.exe", "Kestrovane.sc_", "left by an earlier update"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        CreateDirectoryA(scratch.Join("tool.v2").c_str(), NULL);
        const std::string path = scratch.Join(std::string("tool.v2\\") + c.name);
        const std::string newPath = scratch.Join(std::string("tool.v2\\") + c.newName);
        if (c.leftover != NULL) {
            ASSERT_TRUE(WriteFileBytes(newPath, c.leftover));
        }
        const std::string original = ReadFileBytes(FixturePath("CompanyLibrary.dll"));
        FileInUse inUse(path);
        ASSERT_TRUE(inUse.Loaded());
        char movedTo[kTextChars] = {0};

        EXPECT_EQ(Hex(S_OK), Hex(ReplaceRunningFile(path.c_str(), movedTo, kTextChars)));
        EXPECT_EQ(newPath, movedTo);
        EXPECT_EQ("<missing>", ReadFileBytes(path));
        EXPECT_TRUE(ReadFileBytes(newPath) == original);
        EXPECT_TRUE(IsPendingDeletion(newPath)) << PendingRenames();
    }
}

// A file that can be neither deleted nor renamed stays, and nothing is scheduled: scheduling
// the given path would delete whatever is copied there at the next restart.
TEST(ReplaceRunningFile, AFailedRenameSchedulesNothing)
{
    ScratchFolder scratch;
    const std::string path = scratch.Join("Kestrovane.exe");
    ASSERT_TRUE(WriteFileBytes(path, "old program"));
    const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    char movedTo[kTextChars] = "untouched";
    const std::string pendingBefore = PendingRenames();

    EXPECT_EQ(Hex(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)),
              Hex(ReplaceRunningFile(path.c_str(), movedTo, kTextChars)));
    CloseHandle(held);
    EXPECT_STREQ("", movedTo);
    EXPECT_EQ("old program", ReadFileBytes(path));
    EXPECT_EQ("<missing>", ReadFileBytes(scratch.Join("Kestrovane.sc_")));
    EXPECT_EQ(pendingBefore, PendingRenames());
}

TEST(ReplaceRunningFile, ANewNameThatDoesNotFitRenamesNothing)
{
    ScratchFolder scratch;
    const std::string path = scratch.Join("Kestrovane.exe");
    FileInUse inUse(path);
    ASSERT_TRUE(inUse.Loaded());
    char movedTo[8] = "keep";

    EXPECT_EQ(Hex(STRSAFE_E_INSUFFICIENT_BUFFER), Hex(ReplaceRunningFile(path.c_str(), movedTo, 8)));
    EXPECT_STREQ("", movedTo);
    EXPECT_NE("<missing>", ReadFileBytes(path));
    EXPECT_EQ("<missing>", ReadFileBytes(scratch.Join("Kestrovane.sc_")));
}

TEST(InstallNewProgram, PutsTheNewFileInPlaceOfTheOneInUse)
{
    ScratchFolder scratch;
    const std::string ownPath = scratch.Join("Kestrovane.exe");
    const std::string newProgram = scratch.Join("new.exe");
    ASSERT_TRUE(WriteFileBytes(newProgram, "new program"));
    FileInUse inUse(ownPath);
    ASSERT_TRUE(inUse.Loaded());

    EXPECT_EQ(Hex(S_OK), Hex(InstallNewProgram(newProgram.c_str(), ownPath.c_str())));
    EXPECT_EQ("new program", ReadFileBytes(ownPath));
    EXPECT_TRUE(ReadFileBytes(scratch.Join("Kestrovane.sc_")) == ReadFileBytes(FixturePath("CompanyLibrary.dll")));
}

// The copy fails after the file in use was renamed: it goes back to its path.
TEST(InstallNewProgram, AFailedCopyPutsTheOldFileBack)
{
    ScratchFolder scratch;
    const std::string ownPath = scratch.Join("Kestrovane.exe");
    FileInUse inUse(ownPath);
    ASSERT_TRUE(inUse.Loaded());
    const std::string missing = scratch.Join("not-downloaded.exe");

    EXPECT_EQ(Hex(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
              Hex(InstallNewProgram(missing.c_str(), ownPath.c_str())));
    EXPECT_TRUE(ReadFileBytes(ownPath) == ReadFileBytes(FixturePath("CompanyLibrary.dll")));
    EXPECT_EQ("<missing>", ReadFileBytes(scratch.Join("Kestrovane.sc_")));
}

TEST(ReadFileVersion, ReadsTheFixedFileVersion)
{
    const struct {
        const char* name;
        std::string path;
        bool succeeds;
        DWORD versionMS;
        DWORD versionLS;
    } cases[] = {
        {"the shipped program", BuiltFile("Kestrovane.exe"), true, 0x00010000, 0x00000001},
        {"the newer build", BuiltFile("next\\Kestrovane.exe"), true, 0x00010000, 0x00000002},
        {"a library without version", FixturePath("NoVersionLibrary.dll"), false, 7, 7},
        {"a missing file", BuiltFile("missing.exe"), false, 7, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD versionMS = 7;
        DWORD versionLS = 7;
        const ResultCode result = ReadFileVersion(c.path.c_str(), &versionMS, &versionLS);
        EXPECT_EQ(c.succeeds, result >= 0) << Hex(result);
        EXPECT_EQ(c.versionMS, versionMS);
        EXPECT_EQ(c.versionLS, versionLS);
    }
    DWORD word = 0;
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(ReadFileVersion(NULL, &word, &word)));
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(ReadFileVersion(BuiltFile("Kestrovane.exe").c_str(), NULL, &word)));
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(ReadFileVersion(BuiltFile("Kestrovane.exe").c_str(), &word, NULL)));
}

// The version file as the host sends it, against the shipped 1.0.0.1.
TEST(UpdateVersion, OnlyAHigherAnnouncedVersionIsNewer)
{
    const struct {
        const char* name;
        const char* text;
        DWORD versionMS;
        DWORD versionLS;
        bool newer;
    } cases[] = {
        {"equal", "[General]\r\nMajorversion=65536\r\nMinorversion=1\r\n", 65536, 1, false},
        {"one revision on", "[General]\r\nMajorversion=65536\r\nMinorversion=2\r\n", 65536, 2, true},
        {"an older revision", "[General]\r\nMajorversion=65536\r\nMinorversion=0\r\n", 65536, 0, false},
        {"a higher minor version", "[General]\r\nMajorversion=65537\r\nMinorversion=0\r\n", 65537, 0, true},
        {"Majorversion 1, any Minorversion", "[General]\r\nMajorversion=1\r\nMinorversion=99999999\r\n",
         1, 99999999, false},
        {"keys in other case, Unix line ends", "[general]\nmajorversion=65536\nminorversion=2\n", 65536, 2,
         true},
        {"another section", "[Update]\r\nMajorversion=65536\r\nMinorversion=2\r\n", 0, 0, false},
        {"not INI text", "Majorversion: 65536\nMinorversion: 2\n", 0, 0, false},
        {"an error page", "<html><body><h1>404 Not Found</h1></body></html>\n", 0, 0, false},
        {"empty", "", 0, 0, false},
    };
    ScratchFolder scratch;
    const std::string path = scratch.Join("version.txt");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteFileBytes(path, c.text));
        DWORD versionMS = 7;
        DWORD versionLS = 7;
        ReadAnnouncedVersion(path.c_str(), &versionMS, &versionLS);
        EXPECT_EQ(c.versionMS, versionMS);
        EXPECT_EQ(c.versionLS, versionLS);
        EXPECT_EQ(c.newer, IsNewerVersion(versionMS, versionLS, kOwnMS, kOwnLS));
    }

    DWORD versionMS = 7;
    DWORD versionLS = 7;
    ReadAnnouncedVersion(scratch.Join("missing.txt").c_str(), &versionMS, &versionLS);
    EXPECT_EQ(0u, versionMS);
    EXPECT_EQ(0u, versionLS);
}

TEST(UpdateVersion, WordsCompareAsUnsignedNumbers)
{
    const struct {
        DWORD announcedMS, announcedLS, ownMS, ownLS;
        bool newer;
    } cases[] = {
        {0x80000000, 0, kOwnMS, kOwnLS, true},
        {kOwnMS, 0x80000000, kOwnMS, kOwnLS, true},
        {kOwnMS, kOwnLS, 0x80000000, 0, false},
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, false},
        {0, 0, 0, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.newer, IsNewerVersion(c.announcedMS, c.announcedLS, c.ownMS, c.ownLS))
            << std::hex << c.announcedMS << "." << c.announcedLS << " against " << c.ownMS << "." << c.ownLS;
}

TEST(CheckNewProgram, TakesOnlyAProgramOfTheReplacedFilesMachineWithTheAnnouncedVersion)
{
    ScratchFolder scratch;
    WORD machine = 0;
    ASSERT_EQ(Hex(S_OK), Hex(ReadImageMachine(BuiltFile("Kestrovane.exe").c_str(), &machine)));
    EXPECT_EQ(sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64, machine);
    const std::string next = BuiltFile("next\\Kestrovane.exe");
    const std::string page = scratch.Join("page.exe");
    ASSERT_TRUE(WriteFileBytes(page, "<html><body><h1>404 Not Found</h1></body></html>\n"));
    const std::string otherMachine = scratch.Join("other-machine.exe");
    ASSERT_TRUE(WriteOtherMachineCopy(next, otherMachine));
    const std::string cut = scratch.Join("cut.exe");
    ASSERT_TRUE(WriteFileBytes(cut, ReadFileBytes(next).substr(0, 200)));
    const struct {
        const char* name;
        std::string path;
        DWORD versionMS;
        DWORD versionLS;
        ResultCode expected;
    } cases[] = {
        {"the newer build", next, 0x00010000, 2, S_OK},
        {"announced as another revision", next, 0x00010000, 3, E_FAIL},
        {"announced as another minor version", next, 0x00010001, 2, E_FAIL},
        {"the running version", BuiltFile("Kestrovane.exe"), 0x00010000, 2, E_FAIL},
        {"another machine", otherMachine, 0x00010000, 2, E_FAIL},
        {"a library, announced as its own version", FixturePath("CompanyLibrary.dll"), 0x00010002, 0x00030004,
         E_FAIL},
        {"an error page", page, 0, 0, E_FAIL},
        {"a cut file", cut, 0x00010000, 2, E_FAIL},
        {"a missing file", scratch.Join("missing.exe"), 0x00010000, 2, E_FAIL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(c.expected), Hex(CheckNewProgram(c.path.c_str(), machine, c.versionMS, c.versionLS)));
    }
}

TEST(OpenWithShell, AnswersWhetherTheShellStartedTheFile)
{
    ScratchFolder scratch;
    EXPECT_EQ(Hex(S_OK), Hex(OpenWithShell(BuiltFile("ProgramDriver.exe").c_str())));
    EXPECT_EQ(Hex(E_FAIL), Hex(OpenWithShell(scratch.Join("missing.exe").c_str())));
}

}
