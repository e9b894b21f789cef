// The auxiliary commands as a user meets them: Record in Background on a CD player
// without volume control, Volume Control starting the system's volume control, the
// About box, Help Contents opening our help file in the help viewer (or our help page
// where no viewer runs), and where each leaves the keyboard focus.
#include "quorrel_session.h"

#include <winver.h>

namespace quorrel {
namespace {

const int kVolumeControl = IDM_VOLUME, kBackground = IDM_BACKGROUND, kHelpContents = IDM_HELPCONTENTS,
          kAbout = IDM_ABOUT;

// A registry string value for the length of a test: afterwards the value it replaced
// comes back, or it goes, with its key if the test made that.
class ScopedRegString {
public:
    ScopedRegString(HKEY root, const std::string& key, const char* name, const std::string& value)
        : root_(root), key_(key), name_(name) {
        HKEY handle;
        DWORD made = 0, size = sizeof old_, type = 0;
        if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, &made)) {
            ADD_FAILURE() << "cannot open " << key;
            return;
        }
        madeKey_ = made == REG_CREATED_NEW_KEY;
        had_ = !RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(old_), &size) && type == REG_SZ;
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(handle);
    }
    ~ScopedRegString() {
        HKEY handle;
        if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_ALL_ACCESS, &handle)) return;
        if (had_) RegSetValueExA(handle, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_), static_cast<DWORD>(strlen(old_) + 1));
        else RegDeleteValueA(handle, name_);
        RegCloseKey(handle);
        if (madeKey_) RegDeleteKeyA(root_, key_.c_str());
    }

private:
    HKEY root_;
    std::string key_;
    const char* name_;
    bool had_ = false, madeKey_ = false;
    char old_[1024] = {};
};

// The stand-in program under another name for the length of a test.
struct ScopedStandIn {
    std::string path;
    explicit ScopedStandIn(const std::string& at) : path(at) {
        EXPECT_TRUE(CopyFileA(harness::BinPath("e2e_standin.exe").c_str(), path.c_str(), FALSE)) << path;
    }
    ~ScopedStandIn() { DeleteFileA(path.c_str()); }
};

BOOL CALLBACK AddWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}
// Visible top-level windows of the help viewer.
std::vector<HWND> HelpWindows() {
    std::vector<HWND> all, help;
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all)
        if (IsWindowVisible(window) && harness::ClassName(window) == "MS_WINHELP") help.push_back(window);
    return help;
}
// The texts of a window's children (of `className` only, when given).
std::vector<std::string> ChildTexts(HWND parent, const std::string& className = "") {
    std::vector<HWND> children;
    std::vector<std::string> texts;
    EnumChildWindows(parent, AddWindow, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
        if (className.empty() || harness::ClassName(child) == className) texts.push_back(harness::Text(child));
    return texts;
}

// The product version in the version resource of a PE file.
std::string ProductVersion(const std::string& path) {
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> info(size + 1);
    char* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data()) ||
        !VerQueryValueA(info.data(), "\\StringFileInfo\\040904E4\\ProductVersion", reinterpret_cast<void**>(&value),
                        &length))
        return "";
    return std::string(value, strnlen(value, length));
}

class AuxCommands : public QuorrelTest {
protected:
    void SetUp() override {
        QuorrelTest::SetUp();
        CloseHelpWindows();
        log_ = ScratchPath("started.txt");
        SetEnvironmentVariableA("QUORREL_STANDIN_LOG", log_.c_str());   // the stand-ins write there
        InsertDisc({900, 900});
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead());
    }
    void TearDown() override {
        QuorrelTest::TearDown();
        CloseHelpWindows();
    }
    static void CloseHelpWindows() {
        for (HWND help : HelpWindows()) PostMessageA(help, WM_CLOSE, 0, 0);
        EXPECT_TRUE(harness::WaitUntil([] { return HelpWindows().empty(); }, 5000)) << "a help window stays open";
    }

    // Moves the keyboard focus from the song name field to the next control, Play.
    void FocusPlay() {
        ASSERT_TRUE(app_.PressKey(kSongName, VK_TAB));
        ASSERT_TRUE(harness::WaitUntil([&] { return FocusedControl() == app_.Control(kPlay); }, 2000));
    }
    ::testing::AssertionResult FocusOnSongName() {
        return harness::WaitUntil([&] { return FocusedControl() == app_.Control(kSongName); }, 2000);
    }
    // "name|command line|folder" of each program the stand-in played, once there are `count`.
    std::vector<std::string> StartedPrograms(size_t count) {
        std::vector<std::string> lines;
        harness::WaitUntil(
            [&] {
                lines.clear();
                std::string text = harness::ReadFileOrEmpty(log_);
                for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
                    lines.push_back(text.substr(at, end - at));
                return lines.size() >= count;
            },
            20000);   // a new Wine process can take seconds to start on a loaded machine
        return lines;
    }

    std::string log_;
};

TEST_F(AuxCommands, BackgroundVolumeAndAboutLeaveTheFocusWhereTheySay) {
    // Wine's sound system here offers no auxiliary device, so none controls its volume:
    // each time the user is told, the mark toggles and the focus stays where it was.
    FocusPlay();
    for (bool on : {true, false}) {
        app_.PostCommand(kBackground);
        EXPECT_EQ(app_.AnswerMessageBox("Error", "OK").text,
                  "Your CD player won't let me control the volume. You'll have to do it manually.");
        EXPECT_EQ(app_.MenuChecked(kBackground), on);
        EXPECT_EQ(FocusedControl(), app_.Control(kPlay)) << "Record in Background moved the focus";
    }

    // Volume Control: nothing to start and nobody says so; then Windows' later name
    // sndvol.exe; then the classic sndvol32.exe, tried first, in c:\windows (Ctrl+V).
    app_.PostCommand(kVolumeControl);
    EXPECT_TRUE(FocusOnSongName());
    EXPECT_TRUE(app_.NoMessageBoxWithin(1000));
    {
        ScopedStandIn current("C:\\windows\\sndvol.exe");
        FocusPlay();
        app_.PostCommand(kVolumeControl);
        EXPECT_TRUE(FocusOnSongName());
        ScopedStandIn classic("C:\\windows\\sndvol32.exe");
        ASSERT_TRUE(app_.TypeText(kSongName, "\x16"));
        std::vector<std::string> started = StartedPrograms(2);
        ASSERT_EQ(started.size(), 2u) << (started.empty() ? "nothing started" : started[0]);
        EXPECT_EQ(started[0].substr(0, started[0].find('|')), "sndvol.exe");
        EXPECT_EQ(started[1].substr(0, started[1].find('|')), "sndvol32.exe");
        EXPECT_EQ(_stricmp(started[1].substr(started[1].rfind('|') + 1).c_str(), "C:\\windows"), 0) << started[1];
    }

    // About: the version of the program's version resource, LAME, the encoder library.
    FocusPlay();
    app_.PostCommand(kAbout);
    harness::MessageBoxInfo about = app_.WaitForMessageBox("About CD Quorrel");
    ASSERT_TRUE(about.box);
    std::vector<std::string> texts = ChildTexts(about.box);
    std::string version = ProductVersion(harness::BinPath("CDQuorrel.exe"));
    ASSERT_FALSE(version.empty()) << "CDQuorrel.exe has no version resource";
    for (std::string line : {std::string("CD Quorrel"), "Version " + version,
                             std::string("MP3 encoding by LAME, the open-source MP3 encoder."),
                             std::string("MP3 encoder: LameEnc.dll is loaded.")})
        EXPECT_NE(std::find(texts.begin(), texts.end(), line), texts.end()) << line;
    EXPECT_TRUE(app_.Answer(about, "OK"));
    EXPECT_TRUE(FocusOnSongName());
}

TEST_F(AuxCommands, F1OpensOurHelpAtItsContentsAndExitClosesIt) {
    // Installed, the help file lies in the program's folder, its working folder.
    ASSERT_TRUE(CopyFileA(harness::BinPath("CDQuorrel.hlp").c_str(), ScratchPath("CDQuorrel.hlp").c_str(), FALSE));
    FocusPlay();
    ASSERT_TRUE(app_.PressKey(kSongName, VK_F1));
    // The viewer shows the contents topic of our file: its title on top, its jumps.
    std::string text;
    ASSERT_TRUE(harness::WaitUntil(
        [&] {
            for (HWND window : HelpWindows())
                for (const std::string& shown : ChildTexts(window, "RichEdit20A"))
                    if (shown.rfind("CD Quorrel Help", 0) == 0) text = shown;
            return !text.empty();
        },
        15000))
        << "no help window shows our contents topic";
    for (const char* shown : {"The five sources", "Messages and what to do"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown << " is not in the contents topic: " << text;
    EXPECT_TRUE(FocusOnSongName());
    EXPECT_EQ(ExitProgram(), 0u);
    EXPECT_TRUE(harness::WaitUntil([] { return HelpWindows().empty(); }, 5000)) << "the help stays after the exit";
}

// Exit closes the help viewer only when Help was opened: another program's help stays.
TEST_F(AuxCommands, ExitLeavesAnotherProgramsHelpOpen) {
    ASSERT_TRUE(CopyFileA(harness::BinPath("CDQuorrel.hlp").c_str(), ScratchPath("Other.hlp").c_str(), FALSE));
    harness::Program viewer;
    // A prefix of 64-bit Wine alone has the viewer in system32 only.
    const char* exe = GetFileAttributesA("C:\\windows\\winhlp32.exe") != INVALID_FILE_ATTRIBUTES
                          ? "C:\\windows\\winhlp32.exe"
                          : "C:\\windows\\system32\\winhlp32.exe";
    ASSERT_TRUE(viewer.Start(exe, dir_, "Other.hlp"));
    ASSERT_TRUE(harness::WaitUntil([] { return !HelpWindows().empty(); }, 15000)) << "the other help did not open";
    EXPECT_EQ(ExitProgram(), 0u);
    EXPECT_FALSE(harness::WaitUntil([] { return HelpWindows().empty(); }, 2000)) << "Exit closed another's help";
}

TEST_F(AuxCommands, WithoutAHelpViewerF1OpensTheHelpPage) {
    // No help viewer in the prefix; web pages open with the stand-in (Wine reads file
    // types from the machine's classes only).
    struct ForgetPageType {
        ~ForgetPageType() {
            for (const char* key : {"QuorrelTest.Page\\shell\\open", "QuorrelTest.Page\\shell", "QuorrelTest.Page"})
                RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
        }
    } forget;
    const char opener[] = "QuorrelTest.Page\\shell\\open\\command";
    ScopedRegString noViewer(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "winhlp32.exe", "");
    ScopedRegString pages(HKEY_CLASSES_ROOT, ".html", "", "QuorrelTest.Page");
    {
        ScopedRegString standIn(HKEY_CLASSES_ROOT, opener, "", "\"" + harness::BinPath("e2e_standin.exe") + "\" \"%1\"");
        FocusPlay();
        ASSERT_TRUE(app_.PressKey(kSongName, VK_F1));
        std::vector<std::string> started = StartedPrograms(1);
        ASSERT_EQ(started.size(), 1u);
        // The page the program carries, written out whole into the temporary folder, so
        // it opens wherever the program was installed.
        size_t name = started[0].find("\\CDQuorrel.html\"");
        ASSERT_NE(name, std::string::npos) << started[0];
        size_t open = started[0].rfind('"', name);
        ASSERT_NE(open, std::string::npos) << started[0];
        std::string page = started[0].substr(open + 1, name + 15 - open - 1);
        EXPECT_EQ(harness::ReadFileOrEmpty(page), harness::ReadFileOrEmpty(harness::BinPath("CDQuorrel.html"))) << page;
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
        EXPECT_EQ(_stricmp(page.c_str(), (std::string(temp) + "CDQuorrel.html").c_str()), 0) << page;
        EXPECT_TRUE(HelpWindows().empty());
        EXPECT_TRUE(FocusOnSongName());
    }
    // Nothing opens web pages either: the user is told.
    ScopedRegString missing(HKEY_CLASSES_ROOT, opener, "", "\"C:\\no such folder\\browser.exe\" \"%1\"");
    app_.PostCommand(kHelpContents);
    EXPECT_NE(app_.AnswerMessageBox("Help Error", "OK").text.find("CDQuorrel.html"), std::string::npos);
    EXPECT_TRUE(FocusOnSongName());
}

}  // namespace
}  // namespace quorrel
