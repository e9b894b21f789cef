// The auxiliary commands as a user meets them: Record in Background on a CD player
// without volume control, Volume Control starting the system's volume control, Help
// Contents opening our help file in the help viewer (or our help page where no viewer
// runs), the About box, and where each leaves the keyboard focus.
#include "quorrel_session.h"

#include <winver.h>

namespace quorrel {
namespace {

const int kVolumeControl = 113, kBackground = 114, kHelpContents = 123, kAbout = 124;
const char kNoVolumeText[] = "Your CD player won't let me control the volume. You'll have to do it manually.";
const char kStandInLog[] = "QUORREL_STANDIN_LOG";

// A registry string value for the length of a test; the value before it (or none, and
// no key if the test made it) is put back afterwards.
class ScopedRegString {
public:
    ScopedRegString(HKEY root, const std::string& key, const char* name, const std::string& value)
        : root_(root), key_(key), name_(name) {
        HKEY handle;
        DWORD disposition = 0;
        if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, &disposition) !=
            ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot open " << key_;
            return;
        }
        created_ = disposition == REG_CREATED_NEW_KEY;
        char old[1024];
        DWORD size = sizeof old, type = 0;
        had_ = RegQueryValueExA(handle, name_, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS &&
               type == REG_SZ;
        if (had_) old_.assign(old, strnlen(old, size));
        RegSetValueExA(handle, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(handle);
    }
    ~ScopedRegString() {
        HKEY handle;
        if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
        if (had_)
            RegSetValueExA(handle, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>(old_.size() + 1));
        else
            RegDeleteValueA(handle, name_);
        RegCloseKey(handle);
        if (created_) RegDeleteKeyA(root_, key_.c_str());
    }

private:
    HKEY root_;
    bool created_ = false;
    std::string key_;
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// The stand-in program copied to `path` for the length of a test.
class ScopedStandIn {
public:
    explicit ScopedStandIn(const std::string& path) : path_(path) {
        EXPECT_TRUE(CopyFileA(harness::BinPath("e2e_standin.exe").c_str(), path_.c_str(), FALSE)) << path_;
    }
    ~ScopedStandIn() { DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

// Visible top-level windows of the help viewer.
BOOL CALLBACK AddHelpWindow(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && harness::ClassName(window) == "MS_WINHELP")
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}
std::vector<HWND> HelpWindows() {
    std::vector<HWND> found;
    EnumWindows(AddHelpWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The child windows of `parent`, all generations, in the order Windows lists them.
BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}
std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, AddChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND ChildOfClass(HWND parent, const std::string& className) {
    for (HWND child : Children(parent))
        if (harness::ClassName(child) == className) return child;
    return nullptr;
}

std::vector<std::string> ChildTexts(HWND parent) {
    std::vector<std::string> texts;
    for (HWND child : Children(parent)) texts.push_back(harness::Text(child));
    return texts;
}

// The product version in the version resource of a PE file.
std::string ProductVersion(const std::string& path) {
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> info(size);
    char* value = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, info.data()) ||
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
        SetEnvironmentVariableA(kStandInLog, log_.c_str());
        InsertDisc({900, 900});
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead());
    }
    void TearDown() override {
        QuorrelTest::TearDown();
        CloseHelpWindows();
        SetEnvironmentVariableA(kStandInLog, nullptr);
    }
    static void CloseHelpWindows() {
        for (HWND help : HelpWindows()) PostMessageA(help, WM_CLOSE, 0, 0);
        EXPECT_TRUE(harness::WaitUntil([] { return HelpWindows().empty(); }, 5000)) << "a help window stays open";
    }

    // Moves the keyboard focus from the song name field to the next control (Play).
    void FocusPlay() {
        ASSERT_TRUE(app_.PressKey(kSongName, VK_TAB));
        ASSERT_TRUE(harness::WaitUntil([&] { return FocusedControl() == app_.Control(kPlay); }, 2000));
    }
    ::testing::AssertionResult FocusOnSongName() {
        return harness::WaitUntil([&] { return FocusedControl() == app_.Control(kSongName); }, 2000);
    }
    // The lines the stand-in programs wrote, once there are `count` of them.
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
            5000);
        return lines;
    }

    std::string log_;
};

TEST_F(AuxCommands, RecordInBackgroundWithoutVolumeControlTellsEachTimeAndTogglesTheMark) {
    // Wine's sound system here offers no auxiliary device, so none controls its volume.
    FocusPlay();
    for (bool on : {true, false}) {
        app_.PostCommand(kBackground);
        EXPECT_EQ(app_.AnswerMessageBox("Error", "OK").text, kNoVolumeText);
        EXPECT_EQ(app_.MenuChecked(kBackground), on);
        EXPECT_EQ(FocusedControl(), app_.Control(kPlay)) << "Record in Background moved the focus";
    }
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(AuxCommands, VolumeControlAndAboutGiveTheFocusBackToTheSongName) {
    // No volume control program at all: the shell has nothing to start, no one says so.
    FocusPlay();
    app_.PostCommand(kVolumeControl);
    EXPECT_TRUE(FocusOnSongName());
    EXPECT_TRUE(app_.NoMessageBoxWithin(1000));

    // Windows after XP names it sndvol.exe; the classic name is tried first (Ctrl+V).
    {
        ScopedStandIn current("C:\\windows\\sndvol.exe");
        FocusPlay();
        app_.PostCommand(kVolumeControl);
        EXPECT_TRUE(FocusOnSongName());
        ScopedStandIn classic("C:\\windows\\sndvol32.exe");
        ASSERT_TRUE(app_.TypeText(kSongName, "\x16"));
        std::vector<std::string> started = StartedPrograms(2);
        ASSERT_EQ(started.size(), 2u);
        EXPECT_EQ(started[0].substr(0, started[0].find('|')), "sndvol.exe");
        EXPECT_EQ(started[1].substr(0, started[1].find('|')), "sndvol32.exe");
        EXPECT_EQ(_stricmp(started[1].substr(started[1].rfind('|') + 1).c_str(), "C:\\windows"), 0) << started[1];
    }

    FocusPlay();
    app_.PostCommand(kAbout);
    harness::MessageBoxInfo about = app_.WaitForMessageBox("About CD Quorrel");
    ASSERT_TRUE(about.box);
    std::vector<std::string> texts = ChildTexts(about.box);
    std::string version = ProductVersion(harness::BinPath("CDQuorrel.exe"));
    ASSERT_FALSE(version.empty()) << "CDQuorrel.exe has no version resource";
    for (const std::string& line : {std::string("CD Quorrel"), "Version " + version,
                                    std::string("MP3 encoding by LAME, the open-source MP3 encoder.")})
        EXPECT_NE(std::find(texts.begin(), texts.end(), line), texts.end()) << line;
    EXPECT_NE(std::find_if(texts.begin(), texts.end(),
                           [](const std::string& t) { return t.rfind("MP3 encoder: LameEnc", 0) == 0; }),
              texts.end())
        << "the About box names the encoder library the program loaded";
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
            for (HWND window : HelpWindows()) {
                text = harness::Text(ChildOfClass(window, "RichEdit20A"));
                if (text.rfind("CD Quorrel Help", 0) == 0) return true;
            }
            return false;
        },
        15000))
        << "no help window shows our contents topic: " << text;
    for (const char* shown : {"The five sources", "Messages and what to do"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown << " is not in the contents topic: " << text;
    EXPECT_TRUE(FocusOnSongName());
    EXPECT_EQ(ExitProgram(), 0u);
    EXPECT_TRUE(harness::WaitUntil([] { return HelpWindows().empty(); }, 5000)) << "the help stays after the exit";
}

TEST_F(AuxCommands, WithoutAHelpViewerF1OpensTheHelpPage) {
    // No help viewer in the prefix, and web pages open with the stand-in (Wine reads file
    // types from the machine's classes only).
    const std::string opener = "QuorrelTest.Page\\shell\\open\\command";
    struct ForgetOpener {
        ~ForgetOpener() {
            for (const char* key : {"QuorrelTest.Page\\shell\\open", "QuorrelTest.Page\\shell", "QuorrelTest.Page"})
                RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
        }
    } forget;
    ScopedRegString noViewer(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "winhlp32.exe", "");
    ScopedRegString pages(HKEY_CLASSES_ROOT, ".html", "", "QuorrelTest.Page");
    {
        ScopedRegString standIn(HKEY_CLASSES_ROOT, opener, "", "\"" + harness::BinPath("e2e_standin.exe") + "\" \"%1\"");
        FocusPlay();
        ASSERT_TRUE(app_.PressKey(kSongName, VK_F1));
        std::vector<std::string> started = StartedPrograms(1);
        ASSERT_EQ(started.size(), 1u);
        EXPECT_NE(started[0].find("\\CDQuorrel.html\""), std::string::npos) << started[0];
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
