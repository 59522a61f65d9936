// The update check of the real program, end to end: a copy of the shipped 1.0.0.1 executable
// asks the stand-in update host, which serves a version file and a 1.0.0.2 build.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "MessageBoxAnswerer.h"
#include "ModuleHosts.h"
#include "RunningProgram.h"
#include "TestFolder.h"
#include "UpdateHost.h"
#include "update/UpdateCheck.h"

namespace {

const char kQuestion[] = "Updated version of Kestrovane tool available\r\nDo you want to get it now?";
const char kQuestionTitle[] = "Kestrovane Tool Update";
const char kNewerVersion[] = "[General]\r\nMajorversion=65536\r\nMinorversion=2\r\n";
const DWORD kScanTimeoutMs = 180000;

// Closes a program's window and answers its exit code, or STILL_ACTIVE.
DWORD CloseProgram(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                                       FALSE, processId);
    if (process == NULL)
        return STILL_ACTIVE;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(process, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &exitCode);
    else
        TerminateProcess(process, 99);
    CloseHandle(process);
    return exitCode;
}

bool RunsFrom(DWORD processId, const std::string& path)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == NULL)
        return false;
    char image[MAX_PATH] = {0};
    DWORD size = MAX_PATH;
    const bool same = QueryFullProcessImageNameA(process, 0, image, &size) && lstrcmpiA(image, path.c_str()) == 0;
    CloseHandle(process);
    return same;
}

// The processes started from path.
std::vector<DWORD> ProcessesRunningFrom(const std::string& path)
{
    std::vector<DWORD> ids;
    for (const PROCESSENTRY32& entry : RunningProcesses())
        if (RunsFrom(entry.th32ProcessID, path))
            ids.push_back(entry.th32ProcessID);
    return ids;
}

// Ends every process started from path, and the copies they handed over to: what a failed test
// left running.
void EndProgramsRunningFrom(const std::string& path)
{
    for (DWORD started : ProcessesRunningFrom(path))
        EndProcessAndChildren(started);
}

// The window of another process started from path (or of the copy it handed over to); NULL
// after timeoutMs.
HWND WaitForNewProgram(DWORD oldProcessId, const std::string& path, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        for (DWORD id : ProcessesRunningFrom(path)) {
            const HWND window = id != oldProcessId ? FindDialog(id, NULL) : NULL;
            if (window != NULL)
                return window;
        }
        Sleep(100);
    }
    return NULL;
}

// The requests the stand-in host has answered so far, one line each.
std::string HostLog()
{
    return ReadFileBytes(BuiltFile("..\\wine\\update-host.log"));
}

// The files the program downloaded into its update folders (GUID folders in its work folder).
std::vector<std::string> Downloaded(const std::string& workFolder)
{
    std::vector<std::string> files;
    for (const std::string& folder : ListFolder(workFolder)) {
        if (!IsGuidName(folder))
            continue;
        for (const std::string& name : ListFolder(workFolder + "\\" + folder))
            if (name != "Kestrovane64.exe")  // the copy that a 32-bit program hands over to
                files.push_back(name);
    }
    return files;
}

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appFolder_ = scratch_.Join("app");
        ownPath_ = appFolder_ + "\\Kestrovane.exe";
        ASSERT_TRUE(CreateDirectoryA(appFolder_.c_str(), NULL));
        ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), ownPath_.c_str(), FALSE));
        shipped_ = ReadFileBytes(ProgramPath());
    }

    void TearDown() override
    {
        EndProgramsRunningFrom(ownPath_);
    }

    // The program's file is the shipped one and nothing was moved aside.
    void ExpectUntouched()
    {
        EXPECT_TRUE(ReadFileBytes(ownPath_) == shipped_);
        EXPECT_EQ(std::vector<std::string>{"Kestrovane.exe"}, ListFolder(appFolder_));
    }

    ScratchFolder scratch_;
    ServedFiles host_;
    std::string appFolder_;
    std::string ownPath_;
    std::string shipped_;
};

TEST_F(UpdateTest, AcceptedUpdateReplacesAndRestartsTheProgram)
{
    ASSERT_TRUE(host_.Put("tool/version.txt", kNewerVersion));
    ASSERT_TRUE(host_.PutCopy("tool/Kestrovane.exe", BuiltFile("next\\Kestrovane.exe")));
    ASSERT_TRUE(host_.PutCopy("tool/Kestrovane.exe.sig", BuiltFile("signatures\\next.exe.sig")));
    RunningProgram program(scratch_.Path(), ownPath_);
    ASSERT_TRUE(program.Started());
    MessageBoxAnswerer answerer(program.ProcessId(), {IDYES});

    EXPECT_NE(STILL_ACTIVE, program.WaitForExit(60000)) << "the old process still runs";
    const std::vector<SeenBox> seen = answerer.Finish();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(kQuestionTitle, seen[0].title);
    EXPECT_EQ(kQuestion, seen[0].text);

    EXPECT_TRUE(ReadFileBytes(appFolder_ + "\\Kestrovane.sc_") == shipped_) << "the old file moved aside";
    DWORD versionMS = 0;
    DWORD versionLS = 0;
    EXPECT_EQ(Hex(S_OK), Hex(ReadFileVersion(ownPath_.c_str(), &versionMS, &versionLS)));
    EXPECT_EQ(0x00010000u, versionMS);
    EXPECT_EQ(2u, versionLS);

    const HWND newWindow = WaitForNewProgram(program.ProcessId(), ownPath_, 60000);
    ASSERT_NE(nullptr, newWindow) << "the new copy did not start";
    EXPECT_EQ(0u, CloseProgram(newWindow));
}

TEST_F(UpdateTest, DeclinedUpdateDownloadsNothing)
{
    ASSERT_TRUE(host_.Put("tool/version.txt", kNewerVersion));
    ASSERT_TRUE(host_.PutCopy("tool/Kestrovane.exe", BuiltFile("next\\Kestrovane.exe")));
    const size_t logBefore = HostLog().size();
    RunningProgram program(scratch_.Path(), ownPath_);
    ASSERT_NE(nullptr, program.WaitForWindow(30000));
    MessageBoxAnswerer answerer(program.ProcessId(), {IDNO});

    EXPECT_TRUE(program.WaitForScanEnd(kScanTimeoutMs));
    const std::vector<SeenBox> seen = answerer.Finish();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(kQuestion, seen[0].text);
    EXPECT_EQ(std::vector<std::string>{"version.txt"}, Downloaded(scratch_.Path()));
    const std::string requests = HostLog().substr(logBefore);
    EXPECT_NE(std::string::npos, requests.find("GET /tool/version.txt")) << requests;
    EXPECT_EQ(std::string::npos, requests.find("GET /tool/Kestrovane.exe")) << requests;
    ExpectUntouched();
    EXPECT_EQ(0u, CloseProgram(program.Window()));
}

// After a Yes, a download that is not the announced program leaves the running file alone and
// the scan runs.
TEST_F(UpdateTest, AnUnusableDownloadIsNotInstalled)
{
    // The newer build, but for the machine of the 64-bit copy that a 32-bit file hands over to
    // (for a 64-bit file, the other way round): the update must keep the started file's machine.
    const std::string otherMachine = scratch_.Join("other-machine.exe");
    ASSERT_TRUE(WriteOtherMachineCopy(BuiltFile("next\\Kestrovane.exe"), otherMachine));
    const std::string signedByOther = BuiltFile("signatures\\next-other-key.exe.sig");
    const std::string signedOther = BuiltFile("signatures\\shipped.exe.sig");
    const struct {
        const char* name;
        std::string file;       // served as tool/Kestrovane.exe; empty: not there (404)
        const char* how;
        std::string signature;  // served as tool/Kestrovane.exe.sig; empty: not there (404)
        const char* logged;     // why the diagnostic log says the download was refused
    } cases[] = {
        {"a 404 page", "", "", "", ""},
        {"a body cut short", BuiltFile("next\\Kestrovane.exe"), "cut", "", ""},
        {"a program of the wrong version", ProgramPath(), "", "", "is not version 1.0.0.2 for this machine"},
        {"the newer version for the other machine", otherMachine, "", "", "is not version 1.0.0.2 for this machine"},
        {"the newer build without a signature", BuiltFile("next\\Kestrovane.exe"), "", "",
         "is not signed with the release key (no signature)"},
        {"the newer build signed with another key", BuiltFile("next\\Kestrovane.exe"), "", signedByOther,
         "is not signed with the release key (the signature does not match)"},
        {"the newer build with the signature of another file", BuiltFile("next\\Kestrovane.exe"), "", signedOther,
         "is not signed with the release key (the signature does not match)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServedFiles host;
        ASSERT_TRUE(host.Put("tool/version.txt", kNewerVersion));
        if (!c.file.empty()) {
            ASSERT_TRUE(host.PutCopy("tool/Kestrovane.exe", c.file, c.how));
        }
        if (!c.signature.empty()) {
            ASSERT_TRUE(host.PutCopy("tool/Kestrovane.exe.sig", c.signature));
        }
        DeleteFileA(scratch_.Join("Trenovaskil.log").c_str());
        const size_t logBefore = HostLog().size();
        RunningProgram program(scratch_.Path(), ownPath_);
        ASSERT_NE(nullptr, program.WaitForWindow(30000));
        MessageBoxAnswerer answerer(program.ProcessId(), {IDYES});

        EXPECT_TRUE(program.WaitForScanEnd(kScanTimeoutMs));
        EXPECT_EQ(1u, answerer.Finish().size());
        ExpectUntouched();
        const std::string log = ReadFileBytes(scratch_.Join("Trenovaskil.log"));
        const size_t refused = log.find("Update not installed: ");
        if (c.logged[0] == '\0') {
            EXPECT_EQ(std::string::npos, refused) << log;
        } else {
            EXPECT_NE(std::string::npos, refused) << log;
            EXPECT_NE(std::string::npos, log.find(c.logged, refused)) << log;
        }
        // The signature is asked for only of a program that passed every other check.
        const bool signatureAsked = HostLog().substr(logBefore).find("GET /tool/Kestrovane.exe.sig") != std::string::npos;
        EXPECT_EQ(strstr(c.logged, "signed") != NULL, signatureAsked) << HostLog().substr(logBefore);
        EXPECT_EQ(0u, CloseProgram(program.Window()));
    }
}

// A host that takes the request and never answers holds the scan back for the time-out only.
TEST_F(UpdateTest, AHostThatNeverAnswersDoesNotHoldTheScanBack)
{
    ASSERT_TRUE(host_.Put("tool/version.txt", kNewerVersion, "silent"));
    const ULONGLONG start = GetTickCount64();
    RunningProgram program(scratch_.Path(), ownPath_);
    ASSERT_NE(nullptr, program.WaitForWindow(30000));

    std::string status = program.StatusText();
    while (status == "Checking for KestrovaneTool update..." && GetTickCount64() - start < 30000) {
        Sleep(50);
        status = program.StatusText();
    }
    EXPECT_NE("Checking for KestrovaneTool update...", status) << "the scan had not started 30 s after the launch";
    EXPECT_TRUE(program.WaitForScanEnd(kScanTimeoutMs));
    ExpectUntouched();
    EXPECT_EQ(0u, CloseProgram(program.Window()));
}

}
