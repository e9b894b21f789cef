// A smoke test of what the other suites rely on in the end-to-end harness, against its
// fixture program (a small GUI program with a menu, buttons, an edit field, coloured
// blocks and message boxes): each use once, and the reports that keep a failing suite
// from hanging.
#include "fixture_ids.h"
#include "harness.h"

#include <gtest/gtest.h>

namespace {

using harness::Program;

std::string FixturePath() { return harness::BinPath("harness_fixture.exe"); }

// Collects harness failures instead of failing the test, for tests of failure reports.
class FailureCatcher {
public:
    FailureCatcher() {
        previous_ = harness::SetFailureHandler([this](const std::string& m) { messages += m + "\n"; });
    }
    ~FailureCatcher() { harness::SetFailureHandler(previous_); }
    std::string messages;

private:
    harness::FailureHandler previous_;
};

TEST(Harness, DrivesAProgramLikeAUser) {
    Program program;
    ASSERT_TRUE(program.Start(FixturePath(), harness::ScratchDir(), "/startbox"));
    program.AutoAnswer({fixture::kStartBoxTitle, "library", "OK"});
    ASSERT_NE(nullptr, program.WaitForWindow(fixture::kClass)) << "the start-up box was not answered";
    // Controls: read, clicked (a disabled one refuses), typed into with keys.
    EXPECT_EQ("&Go", program.ControlText(fixture::IDC_GO));
    EXPECT_FALSE(program.IsEnabled(fixture::IDC_OFF));
    EXPECT_FALSE(program.ClickButton(fixture::IDC_OFF));
    ASSERT_TRUE(program.ClickButton(fixture::IDC_GO));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Go 1"; }, 5000)) << program.Title();
    ASSERT_TRUE(program.DoubleClick(40, 130));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Clicks 1 doubles 1 at 40130"; }, 5000))
        << program.Title();
    ASSERT_TRUE(program.TypeText(fixture::IDC_FIELD, "Song 1"));
    ASSERT_TRUE(program.PressKey(fixture::IDC_FIELD, VK_HOME));
    ASSERT_TRUE(program.TypeText(fixture::IDC_FIELD, ">"));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.ControlText(fixture::IDC_FIELD) == ">Song 1"; }, 5000))
        << program.ControlText(fixture::IDC_FIELD);
    // Menus through the probe, also while a modal box is up; boxes read and answered.
    EXPECT_EQ("&Grayed item\tCtrl+G", program.MenuText(fixture::IDM_GRAYED));
    ASSERT_TRUE(program.PostCommand(fixture::IDM_TOGGLE));
    EXPECT_TRUE(harness::WaitUntil([&] { return !program.MenuChecked(fixture::IDM_CHECKED); }, 5000));
    EXPECT_TRUE(program.NoMessageBoxWithin(300));
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ASK));
    harness::MessageBoxInfo box = program.WaitForMessageBox("Fixture Box");
    EXPECT_EQ("Do you like the fixture?", box.text);
    EXPECT_FALSE(program.MenuChecked(fixture::IDM_CHECKED));
    EXPECT_FALSE(program.Answer(box, "Cancel")) << "the box has no Cancel button";
    ASSERT_TRUE(program.Answer(box, "No"));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Answer No"; }, 5000)) << program.Title();
    // The painted colours, where they were painted.
    harness::Image client = program.CaptureClientSettled();
    EXPECT_EQ(fixture::kRed, client.Pixel(fixture::kRedBlock.right - 1, fixture::kRedBlock.bottom - 1));
    EXPECT_EQ(50 * 30, client.CountColor(fixture::kBlue, &fixture::kBlueBlock));
    // Unix and Windows paths, and the end with its code.
    EXPECT_EQ("Z:\\work\\disc.cue", harness::WinPath("/work/disc.cue"));
    int code = -1;
    ASSERT_TRUE(harness::RunUnixShell("exit 3", harness::ScratchDir(), &code));
    EXPECT_EQ(3, code);
    ASSERT_TRUE(program.PostCommand(fixture::IDM_EXIT));
    DWORD exitCode = 0;
    ASSERT_TRUE(program.WaitForExit(10000, &exitCode));
    EXPECT_EQ(static_cast<DWORD>(fixture::kExitCode), exitCode);
}

TEST(Harness, ReportsWhatNeverComesAndEndsWhatHangs) {
    HANDLE watched = nullptr;
    {
        Program program;
        ASSERT_TRUE(program.Start(FixturePath(), harness::ScratchDir()));
        FailureCatcher catcher;
        EXPECT_EQ(nullptr, program.WaitForWindow("NoSuchClass", 1500));
        EXPECT_NE(std::string::npos, catcher.messages.find("NoSuchClass")) << catcher.messages;
        ASSERT_NE(nullptr, program.WaitForWindow(fixture::kClass));
        EXPECT_EQ(nullptr, program.WaitForMessageBox("Never", 300).box);
        EXPECT_NE(std::string::npos, catcher.messages.find("\"Never\"")) << catcher.messages;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), program.Process(), GetCurrentProcess(), &watched, SYNCHRONIZE,
                                    FALSE, 0));
        // A program stuck in a modal box does not end on its own: the wait says so.
        ASSERT_TRUE(program.PostCommand(fixture::IDM_ASK));
        ASSERT_NE(nullptr, program.WaitForMessageBox("Fixture Box").box);
        EXPECT_FALSE(program.WaitForExit(300));
        EXPECT_NE(std::string::npos, catcher.messages.find("Fixture Box")) << catcher.messages;
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watched, 0)) << "the program outlived its Program";
    CloseHandle(watched);
}

// The demo driver against the fixture dressed as the main program: it answers the
// start-up notice, waits for Play, saves a picture, exits answering No to "Save".
TEST(DemoRun, DrivesTheProgramToTheEnd) {
    std::string dir = harness::ScratchDir();
    std::string shot = harness::JoinPath(dir, "screenshot.bmp");
    ASSERT_TRUE(SetEnvironmentVariableA(fixture::kModeVariable, "demo"));
    Program demo;
    bool started = demo.Start(harness::BinPath("demo_run.exe"), dir, "\"" + FixturePath() + "\" \"" + shot + "\"");
    SetEnvironmentVariableA(fixture::kModeVariable, nullptr);
    ASSERT_TRUE(started);
    DWORD code = 1;
    ASSERT_TRUE(demo.WaitForExit(60000, &code));
    EXPECT_EQ(0u, code);
    std::string bmp = harness::ReadFileOrEmpty(shot);
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ("BM", bmp.substr(0, 2));
    EXPECT_EQ(320, *reinterpret_cast<const int32_t*>(bmp.data() + 18)) << "the whole window";
    EXPECT_FALSE(harness::FileExists(harness::JoinPath(dir, "saved.txt"))) << "the Save question got No";
}

}  // namespace
