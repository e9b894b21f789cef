// Tests of the end-to-end harness itself, against its fixture program (a small GUI
// program with a menu, buttons, an edit field, coloured blocks and message boxes).
#include "fixture_ids.h"
#include "harness.h"

#include <gtest/gtest.h>

namespace {

using harness::Program;

std::string FixturePath() { return harness::BinPath("harness_fixture.exe"); }

// Starts the fixture in the test's scratch folder and waits for its window.
void StartFixture(Program& program, const std::string& args = "") {
    ASSERT_TRUE(program.Start(FixturePath(), harness::ScratchDir(), args));
    ASSERT_NE(nullptr, program.WaitForWindow(fixture::kClass));
}

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

TEST(HarnessFiles, ScratchFolderIsFreshPerTestAndFilesRoundTrip) {
    std::string dir = harness::ScratchDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(harness::JoinPath(harness::JoinPath(harness::ExeDir(), "scratch"),
                                "HarnessFiles.ScratchFolderIsFreshPerTestAndFilesRoundTrip"),
              dir);
    EXPECT_TRUE(harness::DirExists(dir));
    EXPECT_TRUE(harness::ListFiles(dir).empty());

    std::string binary("a\0b\r\nc", 6);
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(dir, "one.bin"), binary));
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(dir, "two.txt"), "two"));
    EXPECT_TRUE(harness::FileExists(harness::JoinPath(dir, "one.bin")));
    EXPECT_FALSE(harness::FileExists(dir));  // a folder is not a file
    EXPECT_EQ(binary, harness::ReadFileOrEmpty(harness::JoinPath(dir, "one.bin")));
    std::string missing = "unchanged";
    EXPECT_FALSE(harness::ReadFile(harness::JoinPath(dir, "absent"), &missing));
    EXPECT_EQ("unchanged", missing);
    EXPECT_EQ((std::vector<std::string>{"one.bin", "two.txt"}), harness::ListFiles(dir));
    EXPECT_EQ(dir, harness::ScratchDir()) << "a second call in one test keeps the folder and its files";
    EXPECT_EQ(2u, harness::ListFiles(dir).size());

    ASSERT_TRUE(CreateDirectoryA(harness::JoinPath(dir, "sub").c_str(), nullptr));
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(dir, "sub\\deep.txt"), "x"));
    EXPECT_TRUE(harness::RemoveTree(harness::JoinPath(dir, "sub")));
    EXPECT_FALSE(harness::DirExists(harness::JoinPath(dir, "sub")));

    EXPECT_EQ("Z:\\work\\disc.cue", harness::WinPath("/work/disc.cue"));
    EXPECT_TRUE(harness::FileExists(harness::WinPath("/etc/hostname")) || harness::DirExists(harness::WinPath("/etc")))
        << "Wine maps the Unix root to Z:";
    EXPECT_EQ("Exit", harness::StripAmpersands("E&xit"));
    EXPECT_EQ("Save & quit", harness::StripAmpersands("Save && quit"));
}

TEST(HarnessFiles, ScratchFolderStartsEmptyAgain) {
    // Leftovers of an earlier run of this same test are removed on the first call.
    std::string root = harness::JoinPath(harness::ExeDir(), "scratch");
    std::string dir = harness::JoinPath(root, "HarnessFiles.ScratchFolderStartsEmptyAgain");
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(dir, "stale.txt"), "old"));
    EXPECT_EQ(dir, harness::ScratchDir());
    EXPECT_TRUE(harness::ListFiles(dir).empty());
}

TEST(HarnessWait, WaitUntilSucceedsWhenTheConditionComesTrueAndFailsAfterTheTimeout) {
    int polls = 0;
    EXPECT_TRUE(harness::WaitUntil([&] { return ++polls >= 3; }, 5000, 10));
    EXPECT_EQ(3, polls);
    DWORD start = GetTickCount();
    ::testing::AssertionResult never = harness::WaitUntil([] { return false; }, 200, 20);
    EXPECT_FALSE(never);
    EXPECT_GE(GetTickCount() - start, 200u);
    EXPECT_NE(std::string::npos, std::string(never.message()).find("200 ms"));
}

TEST(HarnessProgram, ReadsTheWindowAndItsControls) {
    Program program;
    StartFixture(program);
    EXPECT_EQ(fixture::kTitle, program.Title());
    EXPECT_EQ("&Go", program.ControlText(fixture::IDC_GO));
    EXPECT_TRUE(program.IsEnabled(fixture::IDC_GO));
    EXPECT_FALSE(program.IsEnabled(fixture::IDC_OFF));
    EXPECT_TRUE(program.IsVisible(fixture::IDC_OFF));
    EXPECT_EQ(nullptr, program.Control(999));
    EXPECT_FALSE(program.IsEnabled(999));
    RECT window = program.WindowRect(), client = program.ClientRect();
    EXPECT_EQ(320, window.right - window.left);
    EXPECT_EQ(220, window.bottom - window.top);
    EXPECT_EQ(0, client.left);
    EXPECT_GT(client.right, 200);
    EXPECT_LT(client.bottom, 220) << "the caption and the menu bar lie outside the client area";
    EXPECT_TRUE(program.Running());
}

TEST(HarnessProgram, ClicksButtonsButNotDisabledOnes) {
    Program program;
    StartFixture(program);
    ASSERT_TRUE(program.ClickButton(fixture::IDC_GO));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Go 1"; }, 5000)) << program.Title();
    ASSERT_TRUE(program.ClickButton(fixture::IDC_GO));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Go 2"; }, 5000)) << program.Title();
    EXPECT_FALSE(program.ClickButton(fixture::IDC_OFF)) << "a disabled button cannot be clicked";
    EXPECT_FALSE(program.ClickButton(999));
    Sleep(300);
    EXPECT_EQ("Go 2", program.Title());
}

TEST(HarnessProgram, ClicksAndDoubleClicksClientPoints) {
    Program program;
    StartFixture(program);
    ASSERT_TRUE(program.Click(150, 120));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Clicks 1 doubles 0 at 150120"; }, 5000))
        << program.Title();
    ASSERT_TRUE(program.DoubleClick(40, 130));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Clicks 2 doubles 1 at 40130"; }, 5000))
        << program.Title();
}

TEST(HarnessProgram, TypesIntoTheFieldAndSetsItsText) {
    Program program;
    StartFixture(program);
    ASSERT_TRUE(program.TypeText(fixture::IDC_FIELD, "Song 1"));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.ControlText(fixture::IDC_FIELD) == "Song 1"; }, 5000))
        << program.ControlText(fixture::IDC_FIELD);
    // Keys move the caret as a user's would: Home, then typing inserts at the start.
    ASSERT_TRUE(program.PressKey(fixture::IDC_FIELD, VK_HOME));
    ASSERT_TRUE(program.TypeText(fixture::IDC_FIELD, ">"));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.ControlText(fixture::IDC_FIELD) == ">Song 1"; }, 5000))
        << program.ControlText(fixture::IDC_FIELD);
    // Backspace is a character too.
    ASSERT_TRUE(program.TypeText(fixture::IDC_FIELD, "\b"));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.ControlText(fixture::IDC_FIELD) == "Song 1"; }, 5000))
        << program.ControlText(fixture::IDC_FIELD);
    ASSERT_TRUE(program.SetControlText(fixture::IDC_FIELD, "Replaced"));
    EXPECT_EQ("Replaced", program.ControlText(fixture::IDC_FIELD));
    EXPECT_FALSE(program.TypeText(999, "x"));
}

TEST(HarnessMenus, ReadsMarksAndLabelsThroughTheProbe) {
    Program program;
    StartFixture(program);
    Program::MenuItem checked = program.Menu(fixture::IDM_CHECKED);
    EXPECT_TRUE(checked.found);
    EXPECT_TRUE(checked.checked);
    EXPECT_FALSE(checked.grayed);
    EXPECT_EQ("&Checked item", checked.text);
    Program::MenuItem grayed = program.Menu(fixture::IDM_GRAYED);
    EXPECT_TRUE(grayed.grayed);
    EXPECT_FALSE(grayed.checked);
    EXPECT_EQ("&Grayed item\tCtrl+G", grayed.text);
    EXPECT_EQ("&About", program.MenuText(fixture::IDM_ABOUT)) << "items of every menu are found";
    EXPECT_FALSE(program.Menu(999).found);

    // The marks follow the program's changes.
    ASSERT_TRUE(program.PostCommand(fixture::IDM_TOGGLE));
    EXPECT_TRUE(harness::WaitUntil([&] { return !program.MenuChecked(fixture::IDM_CHECKED); }, 5000));
    EXPECT_FALSE(program.MenuGrayed(fixture::IDM_GRAYED));
    ASSERT_TRUE(program.SendCommand(fixture::IDM_TOGGLE));
    EXPECT_TRUE(program.MenuChecked(fixture::IDM_CHECKED));
    EXPECT_TRUE(program.MenuGrayed(fixture::IDM_GRAYED));
}

TEST(HarnessMenus, ProbeAnswersWhileAModalBoxIsUp) {
    Program program;
    StartFixture(program);
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ASK));
    ASSERT_NE(nullptr, program.WaitForMessageBox("Fixture Box").box);
    EXPECT_TRUE(program.MenuChecked(fixture::IDM_CHECKED));
}

TEST(HarnessBoxes, ReadsAndAnswersAMessageBox) {
    Program program;
    StartFixture(program);
    EXPECT_TRUE(program.MessageBoxes().empty());
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ASK));
    harness::MessageBoxInfo box = program.WaitForMessageBox("Fixture Box");
    ASSERT_NE(nullptr, box.box);
    EXPECT_EQ("Do you like the fixture?", box.text);
    EXPECT_TRUE(box.HasButton("Yes"));
    EXPECT_TRUE(box.HasButton("no"));
    EXPECT_FALSE(box.HasButton("OK"));
    EXPECT_EQ(1u, program.MessageBoxes().size());
    EXPECT_FALSE(program.Answer(box, "Cancel")) << "the box has no Cancel button";
    ASSERT_TRUE(program.Answer(box, "No"));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Answer No"; }, 5000)) << program.Title();
    EXPECT_TRUE(program.MessageBoxes().empty());

    // By id, and through the one-call form.
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ASK));
    ASSERT_TRUE(program.Answer(program.WaitForMessageBox("Fixture Box"), IDYES));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Answer Yes"; }, 5000)) << program.Title();
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ABOUT));
    harness::MessageBoxInfo about = program.AnswerMessageBox("About Fixture", "OK");
    EXPECT_EQ("Fixture version 1", about.text);
    EXPECT_EQ(std::vector<std::string>{"OK"}, about.buttons);
}

TEST(HarnessBoxes, TellsWhetherABoxAppears) {
    Program program;
    StartFixture(program);
    EXPECT_TRUE(program.NoMessageBoxWithin(500));
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ABOUT));
    ::testing::AssertionResult none = program.NoMessageBoxWithin(5000);
    EXPECT_FALSE(none);
    EXPECT_NE(std::string::npos, std::string(none.message()).find("About Fixture")) << none.message();
}

TEST(HarnessBoxes, AutoAnswersBoxesATestIsNotAbout) {
    Program program;
    ASSERT_TRUE(program.Start(FixturePath(), harness::ScratchDir(), "/startbox"));
    program.AutoAnswer({fixture::kStartBoxTitle, "library", "OK"});
    program.AutoAnswer({"Fixture Box", "", "Yes"});
    // The window shows only once the start-up box has been answered.
    ASSERT_NE(nullptr, program.WaitForWindow(fixture::kClass));
    std::vector<harness::MessageBoxInfo> answered = program.AutoAnswered();
    ASSERT_EQ(1u, answered.size());
    EXPECT_EQ(fixture::kStartBoxText, answered[0].text);
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ASK));
    EXPECT_TRUE(harness::WaitUntil([&] { return program.Title() == "Answer Yes"; }, 5000)) << program.Title();
    // A box no rule matches is left to the test.
    ASSERT_TRUE(program.PostCommand(fixture::IDM_ABOUT));
    EXPECT_NE(nullptr, program.WaitForMessageBox("About Fixture").box);
    Sleep(300);
    EXPECT_EQ(1u, program.MessageBoxes().size());
}

TEST(HarnessBoxes, ReportsAMissingBoxClearly) {
    Program program;
    StartFixture(program);
    FailureCatcher catcher;
    EXPECT_EQ(nullptr, program.WaitForMessageBox("Never", 300).box);
    EXPECT_NE(std::string::npos, catcher.messages.find("\"Never\"")) << catcher.messages;
    EXPECT_NE(std::string::npos, catcher.messages.find("300 ms")) << catcher.messages;
}

TEST(HarnessScreen, CapturesThePaintedColoursAndSavesABmp) {
    Program program;
    StartFixture(program);
    harness::Image client = program.CaptureClientSettled();
    RECT r = program.ClientRect();
    ASSERT_EQ(r.right, client.width);
    ASSERT_EQ(r.bottom, client.height);
    EXPECT_EQ(fixture::kRed, client.Pixel(fixture::kRedBlock.left, fixture::kRedBlock.top));
    EXPECT_EQ(fixture::kRed, client.Pixel(fixture::kRedBlock.right - 1, fixture::kRedBlock.bottom - 1));
    EXPECT_EQ(fixture::kBlue, client.Pixel(fixture::kBlueBlock.left + 5, fixture::kBlueBlock.top + 5));
    EXPECT_NE(fixture::kRed, client.Pixel(fixture::kRedBlock.right, fixture::kRedBlock.top)) << "just outside";
    EXPECT_EQ(50 * 30, client.CountColor(fixture::kRed));
    EXPECT_EQ(50 * 30, client.CountColor(fixture::kBlue, &fixture::kBlueBlock));
    EXPECT_EQ(0, client.CountColor(fixture::kBlue, &fixture::kRedBlock));
    EXPECT_EQ(CLR_INVALID, client.Pixel(-1, 0));
    EXPECT_EQ(CLR_INVALID, client.Pixel(client.width, 0));

    harness::Image whole = program.CaptureWindow();
    EXPECT_EQ(320, whole.width);
    EXPECT_EQ(220, whole.height);
    EXPECT_EQ(50 * 30, whole.CountColor(fixture::kRed));

    // The saved file: a 24-bit bottom-up BMP whose pixels are the captured ones.
    std::string path = harness::JoinPath(harness::ScratchDir(), "shot.bmp");
    ASSERT_TRUE(client.SaveBmp(path));
    std::string bmp = harness::ReadFileOrEmpty(path);
    const int rowBytes = (client.width * 3 + 3) & ~3;
    ASSERT_EQ(54u + static_cast<size_t>(rowBytes) * client.height, bmp.size());
    EXPECT_EQ("BM", bmp.substr(0, 2));
    EXPECT_EQ(24, bmp[28]);
    // Pixel (x, y) lies in file row height-1-y; bytes are blue, green, red.
    size_t at = 54 + static_cast<size_t>(client.height - 1 - fixture::kBlueBlock.top) * rowBytes +
                fixture::kBlueBlock.left * 3;
    EXPECT_EQ('\xFF', bmp[at]);
    EXPECT_EQ('\0', bmp[at + 2]);
}

TEST(HarnessLifetime, ReportsTheExitCode) {
    Program program;
    StartFixture(program);
    ASSERT_TRUE(program.PostCommand(fixture::IDM_EXIT));
    DWORD code = 0;
    ASSERT_TRUE(program.WaitForExit(10000, &code));
    EXPECT_EQ(static_cast<DWORD>(fixture::kExitCode), code);
    EXPECT_FALSE(program.Running());
}

TEST(HarnessLifetime, KillsTheProgramOnTeardownAndReportsHangs) {
    HANDLE watched = nullptr;
    {
        Program program;
        StartFixture(program);
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), program.Process(), GetCurrentProcess(), &watched, SYNCHRONIZE,
                                    FALSE, 0));
        // A program stuck in a modal box does not end on its own: the wait says so.
        ASSERT_TRUE(program.PostCommand(fixture::IDM_ASK));
        ASSERT_NE(nullptr, program.WaitForMessageBox("Fixture Box").box);
        FailureCatcher catcher;
        EXPECT_FALSE(program.WaitForExit(300));
        EXPECT_NE(std::string::npos, catcher.messages.find("did not end within 300 ms")) << catcher.messages;
        EXPECT_NE(std::string::npos, catcher.messages.find("Fixture Box")) << catcher.messages;
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watched, 0)) << "the program outlived its Program";
    CloseHandle(watched);
}

TEST(HarnessLifetime, ReportsAWindowThatNeverComes) {
    Program program;
    ASSERT_TRUE(program.Start(FixturePath(), harness::ScratchDir()));
    FailureCatcher catcher;
    EXPECT_EQ(nullptr, program.WaitForWindow("NoSuchClass", 1500));
    EXPECT_NE(std::string::npos, catcher.messages.find("NoSuchClass")) << catcher.messages;
    EXPECT_FALSE(Program().Start(harness::BinPath("absent.exe"), harness::ScratchDir()));
    EXPECT_NE(std::string::npos, catcher.messages.find("absent.exe")) << catcher.messages;
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

TEST(DemoRun, FailsWhenTheProgramCannotStart) {
    std::string dir = harness::ScratchDir();
    Program demo;
    ASSERT_TRUE(demo.Start(harness::BinPath("demo_run.exe"), dir,
                           "\"" + harness::JoinPath(dir, "absent.exe") + "\" \"" + harness::JoinPath(dir, "s.bmp") + "\""));
    DWORD code = 0;
    ASSERT_TRUE(demo.WaitForExit(30000, &code));
    EXPECT_EQ(1u, code);
    EXPECT_FALSE(harness::FileExists(harness::JoinPath(dir, "s.bmp")));
}

}  // namespace
