// The installer: setup.exe started in a copy of the distribution folder and driven like a
// user; the program group is checked against Wine's own Program Manager DDE server by
// resolving the shortcuts it made.
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "fixture_ids.h"
#include "quorrel_session.h"
#include "quorrel_version.h"
#include "setup_ids.h"

namespace quorrel {
namespace {

const char kSetupClass[] = "CD Quorrel Installation";
const int kContinue = IDC_SETUP_CONTINUE;
const char kCopyFailedText[] = "Unable to copy this CD Quorrel file";
const COLORREF kPanel = RGB(190, 190, 190), kBlue = RGB(0, 0, 254), kRed = RGB(192, 0, 0),
               kGreen = RGB(32, 128, 32);

// The distribution as ./dev dist makes it from the build: name in build/win32/bin, name in
// the distribution folder, name once installed; in the installer's copy order.
struct DistFile {
    const char* built;
    const char* distributed;
    const char* installed;
};
const DistFile kDistFiles[] = {
    {"CDQuorrel.exe", "cdquorl.exe", "CDQuorrel.exe"},
    {"CDQuorrel.hlp", "cdquorl.hlp", "CDQuorrel.hlp"},
    {"Readme.wri", "readme.wri", "Readme.wri"},
    {"LameEnc.dll", "lameenc.dll", "LameEnc.dll"},
    {"AKrip32.dll", "akrip32.dll", "AKrip32.dll"},
};

std::string StartMenuGroup() {
    char programs[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    return harness::JoinPath(programs, "CD Quorrel");
}

// The target of a shortcut file, read through the shell's own link object.
std::string ShortcutTarget(const std::string& lnk) {
    std::string target;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return "<no shell link object>";
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        std::wstring wide(lnk.begin(), lnk.end());
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
            target = path;
        file->Release();
    }
    link->Release();
    return target.empty() ? "<cannot resolve " + lnk + ">" : target;
}

// The file version in a PE file's version resource, "a.b.c.d".
std::string FileVersion(const std::string& path) {
    std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), nullptr) + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        return "<no version resource>";
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
           "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// The group's folder windows, which the shell opens for CreateGroup and for ShowGroup.
BOOL CALLBACK FindGroupWindow(HWND window, LPARAM param) {
    if (IsWindowVisible(window) && harness::ClassName(window) == "ExplorerWClass" &&
        harness::Text(window) == "CD Quorrel")
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> GroupWindows() {
    std::vector<HWND> found;
    EnumWindows(FindGroupWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Closes the group windows as the shell opens them (one or two, some time after the
// group was made) until none has come for a while, so that their processes end with the
// test. Fails if `expectSome` and none came.
::testing::AssertionResult CloseGroupWindows(bool expectSome) {
    bool seen = false;
    DWORD quietSince = GetTickCount();
    harness::WaitUntil([&] {
        std::vector<HWND> open = GroupWindows();
        for (HWND window : open) PostMessageA(window, WM_CLOSE, 0, 0);
        if (!open.empty()) quietSince = GetTickCount();
        seen = seen || !open.empty();
        return (seen || !expectSome) && GetTickCount() - quietSince > 1500;
    }, 10000, 100);
    if (expectSome && !seen) return ::testing::AssertionFailure() << "the shell opened no window for the group";
    return ::testing::AssertionSuccess();
}

class Setup : public ::testing::Test {
protected:
    // Wine's desktop process, which serves "PROGMAN", ends soon after the last program
    // with a window has: a program with a window of its own keeps it for the whole run.
    // An installation the prefix had before (its folder and program group) is moved
    // aside for the suite and put back after it. A keeper started while the desktop of
    // the tests before is ending gets no window and ends at once: it is started again.
    static void SetUpTestSuite() {
        keeper_ = new harness::Program;
        for (int attempt = 0; attempt < 3; ++attempt) {
            keeper_->Start(harness::BinPath("harness_fixture.exe"), harness::ExeDir());
            harness::WaitUntil([] { return keeper_->FindTopWindow(fixture::kClass) || !keeper_->Running(); }, 15000);
            if (keeper_->FindTopWindow(fixture::kClass)) break;
            Sleep(1000);
        }
        keeper_->WaitForWindow(fixture::kClass);
        for (const std::string& path : {std::string("C:\\CDQuorrel"), StartMenuGroup()})
            MoveFileA(path.c_str(), (path + kAside).c_str());
    }
    static void TearDownTestSuite() {
        for (const std::string& path : {std::string("C:\\CDQuorrel"), StartMenuGroup()})
            if (harness::DirExists(path + kAside) && harness::RemoveTree(path))
                MoveFileA((path + kAside).c_str(), path.c_str());
        delete keeper_;
    }
    static constexpr char kAside[] = ".before-setup-test";
    static harness::Program* keeper_;


    void SetUp() override {
        CoInitialize(nullptr);
        rigstate::Reset();
        dir_ = harness::ScratchDir();
        dist_ = harness::JoinPath(dir_, "dist");
        CreateDirectoryA(dist_.c_str(), nullptr);
        units_ = MeasureUnits();
        HDC screen = GetDC(nullptr);
        text_ = ArialFont(-MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72), 500);
        text_.lfCharSet = ANSI_CHARSET;
        ReleaseDC(nullptr, screen);
        Clean();
    }
    void TearDown() override {
        setup_.Kill();
        app_.Kill();
        Clean();
        rigstate::Reset();
        CoUninitialize();
    }
    void Clean() {
        CloseGroupWindows(false);
        EXPECT_TRUE(harness::RemoveTree(StartMenuGroup()));
        for (const char* folder : {"C:\\CDQuorrel", "C:\\QuorrelTest"}) EXPECT_TRUE(harness::RemoveTree(folder));
    }

    // The distribution folder made from the build, as ./dev dist makes it.
    ::testing::AssertionResult CopyBuiltDistribution() {
        for (const DistFile& file : kDistFiles)
            if (!CopyFileA(harness::BinPath(file.built).c_str(), Dist(file.distributed).c_str(), FALSE))
                return ::testing::AssertionFailure() << "the build made no " << file.built;
        return CopySetup();
    }
    // A distribution of small files with known contents, for the installer's handling of
    // files (the program itself is not started from it).
    ::testing::AssertionResult WriteDistribution(const char* leaveOut = "") {
        for (const DistFile& file : kDistFiles)
            if (strcmp(file.distributed, leaveOut) != 0)
                harness::WriteFile(Dist(file.distributed), std::string("new ") + file.installed);
        return CopySetup();
    }
    ::testing::AssertionResult CopySetup() {
        if (CopyFileA(harness::BinPath("setup.exe").c_str(), Dist("setup.exe").c_str(), FALSE))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "cannot copy setup.exe";
    }

    bool Launch() {
        if (!setup_.Start(harness::JoinPath(dist_, "setup.exe"), dist_) || !setup_.WaitForWindow(kSetupClass))
            return false;
        // Above the folder windows the shell opens for the group, so they never cover it.
        SetWindowPos(setup_.Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return true;
    }
    HWND PathField() const { return FindWindowExA(setup_.Window(), nullptr, "Edit", nullptr); }
    void TypeFolder(const std::string& folder) { SendMessageA(PathField(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str())); }
    // Alt+C, as the keyboard sends it to the focused path field.
    void PressAltC() {
        PostMessageA(PathField(), WM_SYSKEYDOWN, 'C', 0x20000001);
        PostMessageA(PathField(), WM_SYSKEYUP, 'C', 0xE0000001);
    }

    // Answers the five notices of a successful copy, checking each in table order.
    void ExpectFilesMoved(const std::string& folder, const char* missing = "") {
        for (const DistFile& file : kDistFiles) {
            harness::MessageBoxInfo box = setup_.WaitForMessageBox("", 10000);
            ASSERT_TRUE(box.box) << "no notice for " << file.distributed;
            if (strcmp(file.distributed, missing) == 0) {
                EXPECT_EQ(box.title, file.distributed);
                EXPECT_EQ(box.text, kCopyFailedText);
            } else {
                EXPECT_EQ(box.title, folder + "\\" + file.installed);
                EXPECT_EQ(box.text, file.distributed);
            }
            EXPECT_TRUE(setup_.Answer(box, "OK"));
        }
    }

    // Whether the window shows `text` at (x, y) in tenths of the layout units.
    ::testing::AssertionResult Shows(int x, int y, const std::string& text, COLORREF colour) {
        harness::Image window = setup_.CaptureClientSettled();
        ::testing::AssertionResult shown = ShowsText(window, units_.X(x), units_.Y(y), text, &text_, colour, kPanel);
        if (!shown) window.SaveBmp(harness::JoinPath(dir_, "not shown.bmp"));   // for the one who looks into it
        return shown;
    }
    ::testing::AssertionResult WaitShows(int x, int y, const std::string& text, COLORREF colour) {
        ::testing::AssertionResult shown = ::testing::AssertionFailure();
        harness::WaitUntil([&] { return static_cast<bool>(shown = Shows(x, y, text, colour)); }, 5000, 200);
        return shown;
    }

    std::string Dist(const char* name) const { return harness::JoinPath(dist_, name); }

    harness::Program setup_, app_;
    std::string dir_, dist_;
    Units units_;
    LOGFONTA text_;
};

harness::Program* Setup::keeper_ = nullptr;

TEST_F(Setup, InstallsIntoTheDefaultFolderWithItsProgramGroup) {
    ASSERT_TRUE(CopyBuiltDistribution());
    for (const char* pe : {"cdquorl.exe", "lameenc.dll", "akrip32.dll", "setup.exe"})
        EXPECT_EQ(FileVersion(Dist(pe)), QUORREL_VERSION_TEXT ".0") << pe;
    // An earlier installation: its files are overwritten.
    ASSERT_TRUE(CreateDirectoryA("C:\\CDQuorrel", nullptr));
    ASSERT_TRUE(harness::WriteFile("C:\\CDQuorrel\\CDQuorrel.exe", "older program"));
    ASSERT_TRUE(harness::WriteFile("C:\\CDQuorrel\\Readme.wri", "older read-me"));
    std::vector<std::string> contents;
    for (const DistFile& file : kDistFiles) contents.push_back(harness::ReadFileOrEmpty(Dist(file.distributed)));

    ASSERT_TRUE(Launch());
    RECT size = setup_.WindowRect();
    EXPECT_EQ(size.right - size.left, 47 * units_.cw);
    EXPECT_EQ(size.bottom - size.top, 16 * units_.lh);
    SetWindowPos(setup_.Window(), nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT after = setup_.WindowRect();
    EXPECT_EQ(after.right - after.left, size.right - size.left);
    EXPECT_EQ(after.bottom - after.top, size.bottom - size.top);
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::Text(PathField()) == "C:\\CDQuorrel"; }, 3000));
    TypeFolder("");
    InvalidateRect(setup_.Window(), nullptr, TRUE);
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::Text(PathField()) == "C:\\CDQuorrel"; }, 3000))
        << "an emptied path field shows the default folder after a repaint";
    EXPECT_TRUE(Shows(10, 5, "Welcome to the CD Quorrel Installation Program!", kBlue));
    EXPECT_TRUE(Shows(100, 40, "<Continue> to accept this path or", kBlue));
    EXPECT_TRUE(Shows(115, 50, "type in a new installation path:", kBlue));

    ASSERT_TRUE(setup_.ClickButton(kContinue));
    ExpectFilesMoved("C:\\CDQuorrel");
    EXPECT_TRUE(CloseGroupWindows(true));
    EXPECT_TRUE(WaitShows(140, 40, "Installation Successful!", kGreen));
    EXPECT_TRUE(Shows(100, 50, "Please read the \"Readme.wri\" file.", kGreen));
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(harness::ReadFileOrEmpty(std::string("C:\\CDQuorrel\\") + kDistFiles[i].installed), contents[i])
            << kDistFiles[i].installed;
        EXPECT_FALSE(harness::FileExists(Dist(kDistFiles[i].distributed))) << kDistFiles[i].distributed;
    }
    std::string group = StartMenuGroup();
    const char* shortcuts[][2] = {{"CD Quorrel Program.lnk", "CDQuorrel.exe"},
                                  {"CD Quorrel Help.lnk", "CDQuorrel.hlp"},
                                  {"ReadMe File.lnk", "Readme.wri"}};
    for (auto& shortcut : shortcuts)
        EXPECT_STRCASEEQ(ShortcutTarget(harness::JoinPath(group, shortcut[0])).c_str(),
                         (std::string("C:\\CDQuorrel\\") + shortcut[1]).c_str());
    EXPECT_EQ(harness::ListFiles(group).size(), 3u);

    // Finished: Continue does nothing, Escape leaves.
    ASSERT_TRUE(setup_.ClickButton(kContinue));
    EXPECT_TRUE(setup_.NoMessageBoxWithin(1000));
    EXPECT_TRUE(Shows(140, 40, "Installation Successful!", kGreen));
    PostMessageA(PathField(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    DWORD code = 0xFFFF;
    EXPECT_TRUE(setup_.WaitForExit(5000, &code));
    EXPECT_EQ(code, 0u);

    // The installed program starts beside its libraries and reads a disc.
    std::string cue = harness::JoinPath(dir_, "disc.cue"), error;
    ASSERT_TRUE(discgen::WriteDisc(cue, {900, 1200}, kDiscSeed, &error)) << error;
    rigstate::SetDisc(cue);
    ASSERT_TRUE(app_.Start("C:\\CDQuorrel\\CDQuorrel.exe", dir_));
    ASSERT_TRUE(app_.WaitForWindow("CDQuorl"));
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 8000)) << "the disc was not read";
    EXPECT_TRUE(app_.MessageBoxes().empty()) << "the encoder library was not found beside the program";
    app_.PostCommand(kExit);
    EXPECT_TRUE(app_.WaitForExit(10000));
}

TEST_F(Setup, AMissingFileIsReportedAndTheRestAreMoved) {
    ASSERT_TRUE(WriteDistribution("readme.wri"));
    ASSERT_TRUE(Launch());
    TypeFolder("C:\\QuorrelTest");
    ASSERT_TRUE(setup_.ClickButton(kContinue));
    ExpectFilesMoved("C:\\QuorrelTest", "readme.wri");
    EXPECT_TRUE(WaitShows(10, 25, "Installation Unsuccessful -- files not properly copied.", kRed));
    EXPECT_TRUE(Shows(10, 35, "Program Group creation failed.", kRed));
    EXPECT_TRUE(Shows(10, 45, "Program Addition failed.", kRed));
    EXPECT_TRUE(Shows(10, 5, "Welcome to the CD Quorrel Installation Program!", kBlue));
    for (const DistFile& file : kDistFiles) {
        bool copied = strcmp(file.distributed, "readme.wri") != 0;
        EXPECT_EQ(harness::ReadFileOrEmpty(std::string("C:\\QuorrelTest\\") + file.installed),
                  copied ? std::string("new ") + file.installed : "") << file.installed;
        EXPECT_FALSE(harness::FileExists(Dist(file.distributed))) << file.distributed;
    }
    EXPECT_FALSE(harness::DirExists(StartMenuGroup()));
    ASSERT_TRUE(setup_.ClickButton(kContinue));
    EXPECT_TRUE(setup_.NoMessageBoxWithin(1000));
}

TEST_F(Setup, RefusesAnOverlongFolderAndAMissingDriveThenInstalls) {
    ASSERT_TRUE(WriteDistribution());
    ASSERT_TRUE(Launch());
    std::string overlong = "C:\\" + std::string(52, 'q');   // one more than the 54 that fit
    TypeFolder(overlong);
    PressAltC();
    EXPECT_TRUE(WaitShows(50, 45, "Installation path too long - type a shorter one.", kBlue));

    char missing[] = "?:\\CDQuorrel";
    DWORD drives = GetLogicalDrives();
    for (int letter = 'Z'; letter >= 'D' && missing[0] == '?'; --letter)
        if (!(drives & (1u << (letter - 'A')))) missing[0] = static_cast<char>(letter);
    TypeFolder(missing);
    PressAltC();
    EXPECT_TRUE(WaitShows(60, 45, "Drive does not exist - try another drive letter.", kBlue));
    EXPECT_TRUE(setup_.NoMessageBoxWithin(300));
    EXPECT_FALSE(harness::DirExists(overlong));
    for (const DistFile& file : kDistFiles) EXPECT_TRUE(harness::FileExists(Dist(file.distributed)));

    TypeFolder("C:\\QuorrelTest");
    PressAltC();
    ExpectFilesMoved("C:\\QuorrelTest");
    EXPECT_TRUE(CloseGroupWindows(true));
    EXPECT_TRUE(WaitShows(140, 40, "Installation Successful!", kGreen));
}

}  // namespace
}  // namespace quorrel
