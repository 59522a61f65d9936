// The real program on 64-bit Windows, where 32-bit and 64-bit processes run side by side, and
// on 32-bit Windows. On 64-bit Windows the 32-bit file hands its run to the 64-bit build that it
// carries; the window sees every process and judges a 32-bit process's modules at the files it
// mapped, which for system libraries lie in the WOW64 folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <ctype.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MessageBoxAnswerer.h"
#include "ModuleHosts.h"
#include "ProgramWindow.h"
#include "RunningProgram.h"
#include "TableWindow.h"
#include "TestFolder.h"
#include "inventory/ProcessScan.h"

namespace {

const DWORD kScanTimeoutMs = 240000;
const bool kBuiltFor64 = sizeof(void*) == 8;

bool IsWow64(HANDLE process)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

bool OnWindows64()
{
    return kBuiltFor64 || IsWow64(GetCurrentProcess());
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return (char)tolower((unsigned char)c); });
    return text;
}

// The module host and a fixture library of each word size, from this tree or its companion.
std::string Host32() { return kBuiltFor64 ? OtherHostPath() : BuiltFile("ModuleHost.exe"); }
std::string Host64() { return kBuiltFor64 ? BuiltFile("ModuleHost.exe") : OtherHostPath(); }
std::string Fixture32(const char* name) { return kBuiltFor64 ? OtherFixturePath(name) : FixturePath(name); }
std::string Fixture64(const char* name) { return kBuiltFor64 ? FixturePath(name) : OtherFixturePath(name); }

// The process that a report line names for a module ("path[process]|company"), in lower case;
// empty when no line names the module.
std::string OwnerInReport(const std::string& report, const std::string& modulePath)
{
    const std::string lowered = Lower(report);
    const std::string start = "\n" + Lower(modulePath) + "[";
    const size_t at = lowered.find(start);
    if (at == std::string::npos)
        return "";
    const size_t from = at + start.size();
    return lowered.substr(from, lowered.find(']', from) - from);
}

// The Kestrovane64.exe copies left in the GUID folders under a temporary folder.
size_t CopiesLeftIn(const std::string& temporaryFolder)
{
    size_t copies = 0;
    for (const std::string& folder : ListFolder(temporaryFolder)) {
        if (!IsGuidName(folder))
            continue;
        const std::vector<std::string> names = ListFolder(temporaryFolder + "\\" + folder);
        copies += (size_t)std::count(names.begin(), names.end(), "Kestrovane64.exe");
    }
    return copies;
}

TEST(SixtyFourBitWindows, SeesEveryProcessAndJudgesEachModuleAtTheFileItMapped)
{
    if (!OnWindows64())
        GTEST_SKIP() << "a 32-bit Windows runs no 64-bit processes";
    ScratchFolder scratch;
    const std::string host64 = scratch.Join("ModuleHost64.exe");
    ASSERT_TRUE(CopyFileA(Host64().c_str(), host64.c_str(), FALSE));
    ModuleHosts hosts;
    if (!hosts.Start({Fixture32("CompanyLibrary.dll")}, kNoWindow, Host32())) {
        ASSERT_TRUE(kBuiltFor64) << "a 32-bit test could not start a 32-bit host";
        GTEST_SKIP() << "Wine cannot run a 32-bit host on this machine";
    }
    ASSERT_TRUE(hosts.Start({Fixture64("NoVersionLibrary.dll")}, kNoWindow, host64));

    RunningProgram program(scratch.Path());
    ASSERT_NE(nullptr, program.WaitForWindow(30000));
    ASSERT_TRUE(program.WaitForScanEnd(kScanTimeoutMs)) << program.StatusText();
    const HANDLE windowProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                             program.WindowProcessId());
    ASSERT_NE(nullptr, windowProcess);
    EXPECT_FALSE(IsWow64(windowProcess)) << "the window is not the 64-bit program's";
    EXPECT_EQ(kBuiltFor64, program.WindowProcessId() == program.ProcessId())
        << "the 32-bit file hands over; the 64-bit one runs as itself";

    const std::string report = CopiedReport(program.Window());
    EXPECT_NE(std::string::npos, Lower(report).find(Lower(Fixture32("CompanyLibrary.dll") +
                                                          "[ModuleHost.exe]|Kestrovane Fixture Works\r\n")))
        << report;
    EXPECT_EQ("modulehost64.exe", OwnerInReport(report, Fixture64("NoVersionLibrary.dll")));
    EXPECT_EQ(std::string::npos, Lower(report).find("\\kestrovane.exe[")) << "the program listed itself";
    EXPECT_EQ(std::string::npos, Lower(report).find("\\kestrovane64.exe[")) << "the copy listed itself";

    // The 32-bit processes: the host, and a 32-bit test program itself.
    std::vector<std::string> processes32 = {"modulehost.exe"};
    if (!kBuiltFor64)
        processes32.push_back("window_tests.exe");
    const auto is32 = [&](const std::string& owner) {
        return std::find(processes32.begin(), processes32.end(), owner) != processes32.end();
    };
    char windows[MAX_PATH] = {0};
    ASSERT_NE(0u, GetSystemWindowsDirectoryA(windows, MAX_PATH));
    for (const char* library : {"kernel32.dll", "user32.dll"}) {
        SCOPED_TRACE(library);
        const std::string wow64Owner = OwnerInReport(report, std::string(windows) + "\\syswow64\\" + library);
        const std::string nativeOwner = OwnerInReport(report, std::string(windows) + "\\system32\\" + library);
        EXPECT_TRUE(is32(wow64Owner)) << "WOW64 copy owned by '" << wow64Owner << "'\n" << report;
        // Processes that started while Wine made the prefix map the libraries from Wine's own
        // folder, so the system folder's copy may be met in no process at all; where it is met,
        // a 64-bit process owns it.
        EXPECT_FALSE(is32(nativeOwner)) << "64-bit copy owned by '" << nativeOwner << "'\n" << report;
    }

    // Killing the 32-bit host from the 64-bit window.
    const HWND list = program.Control(1001);
    const std::vector<ListRow> rows = ReadListRows(list);
    int hostRow = -1;
    for (size_t i = 0; i < rows.size(); i++)
        if (Lower(rows[i].module) == Lower(Fixture32("CompanyLibrary.dll")))
            hostRow = (int)i;
    ASSERT_GE(hostRow, 0);
    TickRow(list, hostRow);
    MessageBoxAnswerer answerer(program.ProcessId(), {IDYES});
    PostMessageA(program.Control(1006), BM_CLICK, 0, 0);
    EXPECT_EQ(1u, hosts.WaitForExit(0, 20000)) << "the 32-bit host was not terminated";
    EXPECT_EQ(1u, answerer.Finish().size());
    EXPECT_EQ((DWORD)STILL_ACTIVE, hosts.WaitForExit(1, 0)) << "the 64-bit host was ended too";

    // Closing ends the window's process and the started one, both with exit code 0, and the
    // copy is gone.
    PostMessageA(program.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, program.WaitForExit(30000));
    DWORD windowExit = STILL_ACTIVE;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(windowProcess, 10000));
    GetExitCodeProcess(windowProcess, &windowExit);
    EXPECT_EQ(0u, windowExit);
    CloseHandle(windowProcess);
    EXPECT_EQ(0u, CopiesLeftIn(scratch.Path()));
}

// A copy that cannot be written: the 32-bit program says why and runs the program itself.
TEST(SixtyFourBitWindows, AFailedHandOverLeavesTheRunToTheThirtyTwoBitProgram)
{
    if (kBuiltFor64 || !OnWindows64())
        GTEST_SKIP() << "only the 32-bit file hands over, and only on 64-bit Windows";
    ScratchFolder scratch;
    // A temporary folder that is a file: no work folder can be made in it.
    const std::string notAFolder = scratch.Join("not-a-folder");
    ASSERT_TRUE(WriteFileBytes(notAFolder, "a file"));
    RunningProgram program(scratch.Path(), ProgramPath(), notAFolder);
    ASSERT_NE(nullptr, program.WaitForWindow(30000));
    ASSERT_TRUE(program.WaitForScanEnd(kScanTimeoutMs)) << program.StatusText();
    EXPECT_EQ(program.ProcessId(), program.WindowProcessId());
    const std::string log = ReadFileBytes(scratch.Join("Trenovaskil.log"));
    EXPECT_NE(std::string::npos, log.find("Cannot hand over to the 64-bit program (making its folder): hr = 800700b7\r\n"))
        << log;
    EXPECT_NE(std::string::npos, log.find(") not scanned: a 64-bit process, out of reach of a 32-bit program")) << log;
    PostMessageA(program.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, program.WaitForExit(30000));
}

// Where the 32-bit program runs the scan itself on 64-bit Windows (the hand-over failed), each
// 64-bit process it cannot read is named in the diagnostic log with the reason.
class ThirtyTwoBitScanTest : public TableWindowTest {};

TEST_F(ThirtyTwoBitScanTest, LogsEverySixtyFourBitProcessItCannotRead)
{
    if (kBuiltFor64 || !OnWindows64())
        GTEST_SKIP() << "only a 32-bit scan on 64-bit Windows meets processes out of its reach";
    const std::string host64 = scratch_.Join("ModuleHost64.exe");
    ASSERT_TRUE(CopyFileA(Host64().c_str(), host64.c_str(), FALSE));
    ModuleHosts hosts;
    ASSERT_TRUE(hosts.Start({Fixture64("NoVersionLibrary.dll")}, kNoWindow, host64));
    {
        ScopedCurrentDirectory inFolder(scratch_.Path());
        ScanPrograms(window_);
    }
    const std::string log = ReadFileBytes(scratch_.Join("Trenovaskil.log"));
    const std::string line = "Process " + std::to_string(hosts.ProcessId(0)) + " (" + host64 +
                             ") not scanned: a 64-bit process, out of reach of a 32-bit program, hr = 8007012b\r\n";
    EXPECT_NE(std::string::npos, Lower(log).find(Lower(line))) << log;
    for (LONG i = 0; i < gSession.table.count; i++)
        EXPECT_NE(hosts.ProcessId(0), gSession.table.records[i].processId) << gSession.table.records[i].modulePath;
}

TEST(ThirtyTwoBitWindows, TheShippedFileRunsAsItself)
{
    if (OnWindows64())
        GTEST_SKIP() << "runs in a 32-bit prefix (the window_tests_win32 test)";
    ModuleHosts hosts;
    ASSERT_TRUE(hosts.Start({FixturePath("CompanyLibrary.dll")}, kNoWindow));
    ScratchFolder scratch;
    RunningProgram program(scratch.Path());
    ASSERT_NE(nullptr, program.WaitForWindow(30000));
    ASSERT_TRUE(program.WaitForScanEnd(kScanTimeoutMs)) << program.StatusText();
    EXPECT_EQ(program.ProcessId(), program.WindowProcessId()) << "the 32-bit file handed its run over";
    EXPECT_EQ(1u, ProcessAndChildren(program.ProcessId()).size()) << "the program started another one";

    const std::string report = CopiedReport(program.Window());
    EXPECT_NE(std::string::npos, report.find("\\CompanyLibrary.dll[ModuleHost.exe]|Kestrovane Fixture Works\r\n"))
        << report;
    PostMessageA(program.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, program.WaitForExit(30000));
    EXPECT_EQ(0u, CopiesLeftIn(scratch.Path()));
}

}
