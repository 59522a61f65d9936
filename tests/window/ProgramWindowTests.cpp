// The real program under Wine, watched and driven from outside its process.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>

#include "ExpectedDialog.h"
#include "RunningProgram.h"
#include "TestFolder.h"

namespace {

const DWORD kStartTimeoutMs = 30000;
const DWORD kExitTimeoutMs = 15000;

// Starts the program and waits until its scan run has ended.
class ProgramWindowTest : public ::testing::Test {
protected:
    ProgramWindowTest() : program_(scratch_.Path()) {}

    void SetUp() override
    {
        ASSERT_TRUE(program_.Started()) << ProgramPath();
        ASSERT_NE(nullptr, program_.WaitForWindow(kStartTimeoutMs)) << "no window appeared";
        ASSERT_TRUE(program_.WaitForScanEnd(kStartTimeoutMs))
            << "status line: \"" << program_.StatusText() << "\"";
    }

    ScratchFolder scratch_;
    RunningProgram program_;
};

TEST_F(ProgramWindowTest, ShowsItsCaptionAndNineControls)
{
    const std::string caption = WindowText(program_.Window());
    EXPECT_EQ(kExpectedCaptionStart, caption.substr(0, strlen(kExpectedCaptionStart))) << caption;
    EXPECT_GT(caption.size(), strlen(kExpectedCaptionStart)) << "no copyright notice";

    HWND child = GetWindow(program_.Window(), GW_CHILD);
    for (const ExpectedControl& expected : kExpectedControls) {
        SCOPED_TRACE(expected.id);
        ASSERT_NE(nullptr, child) << "fewer controls than expected";
        EXPECT_EQ(expected.id, GetDlgCtrlID(child));
        EXPECT_EQ(0, _stricmp(expected.className, ClassName(child).c_str())) << ClassName(child);
        EXPECT_TRUE(IsWindowVisible(child));
        if (expected.id != -1 || expected.text[0] != 0) {
            EXPECT_EQ(expected.text, WindowText(child));
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, child) << "more controls than expected";
}

TEST_F(ProgramWindowTest, EndsItsRunWithAFullBarAndTheCommandsEnabled)
{
    for (int id : kTableCommands) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(IsWindowEnabled(program_.Control(id)));
    }
    EXPECT_TRUE(IsWindowEnabled(program_.Control(1007)));
    EXPECT_EQ(BST_CHECKED, SendMessageA(program_.Control(1004), BM_GETCHECK, 0, 0));
    // The bar is posted its final position after the last status text: give it a moment.
    for (int i = 0; i < 50 && SendMessageA(program_.Control(104), PBM_GETPOS, 0, 0) != 10000; i++)
        Sleep(20);
    EXPECT_EQ(10000, SendMessageA(program_.Control(104), PBM_GETPOS, 0, 0));
    EXPECT_EQ(10000, SendMessageA(program_.Control(104), PBM_GETRANGE, FALSE, 0));
}

TEST_F(ProgramWindowTest, IgnoresCommandOne)
{
    PostMessageA(program_.Window(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // A sent message is handled after the posted one: once it returns, IDOK has been seen.
    DWORD_PTR answer = 0;
    ASSERT_NE(0, SendMessageTimeoutA(program_.Window(), WM_NULL, 0, 0, 0, 5000, &answer));

    EXPECT_EQ((DWORD)STILL_ACTIVE, program_.WaitForExit(500));
    EXPECT_TRUE(IsWindowVisible(program_.Window()));
    EXPECT_EQ("Scanning completed...", program_.StatusText());
    for (int id : kTableCommands)
        EXPECT_TRUE(IsWindowEnabled(program_.Control(id))) << id;
    EXPECT_EQ(BST_CHECKED, SendMessageA(program_.Control(1004), BM_GETCHECK, 0, 0));
}

struct CloseWay {
    const char* name;
    std::function<void(const RunningProgram&)> close;
};

class ProgramCloseTest : public ::testing::TestWithParam<CloseWay> {};

TEST_P(ProgramCloseTest, EndsWithExitCodeZero)
{
    ScratchFolder scratch;
    RunningProgram program(scratch.Path());
    ASSERT_NE(nullptr, program.WaitForWindow(kStartTimeoutMs));
    ASSERT_TRUE(program.WaitForScanEnd(kStartTimeoutMs));

    GetParam().close(program);

    EXPECT_EQ(0u, program.WaitForExit(kExitTimeoutMs));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ProgramCloseTest,
    ::testing::Values(
        CloseWay{"CloseButton",
                 [](const RunningProgram& p) { PostMessageA(p.Control(1007), BM_CLICK, 0, 0); }},
        CloseWay{"Escape",
                 [](const RunningProgram& p) {
                     PostMessageA(p.Control(1007), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                 }},
        CloseWay{"CloseBox",
                 [](const RunningProgram& p) {
                     PostMessageA(p.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
                 }}),
    [](const ::testing::TestParamInfo<CloseWay>& info) { return std::string(info.param.name); });

}
