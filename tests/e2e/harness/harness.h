// The end-to-end harness: starts real Windows programs in a scratch folder and drives
// them as a user would (commands, clicks, typing, message boxes), reads what the user
// sees (texts, states, menu marks, pixels) and what lands on disk.
//
// A test reads like a user's session:
//
//     harness::Program program;
//     ASSERT_TRUE(program.Start(harness::BinPath("CDQuorrel.exe"), harness::ScratchDir()));
//     program.AutoAnswer({"MP3 Error", "", "OK"});       // a notice the test is not about
//     ASSERT_TRUE(program.WaitForWindow("CDQuorl"));
//     program.PostCommand(107);                          // posted: it may ask a question
//     EXPECT_EQ("...", program.AnswerMessageBox("Save", "No").text);
//     ASSERT_TRUE(program.WaitForExit(10000));
//
// Files: harness.cpp (paths, files, waiting, foreign windows, MCI notifications), program.cpp (starting,
// input, menus through the probe, the end), msgboxes.cpp (message boxes and the
// background answerer), capture.cpp (screen pixels, BMP files), probe.cpp (e2eprobe.dll,
// loaded into the program to read its menus), fixture.cpp (the program the harness's
// own tests drive).
//
// Failure rules: every wait has a timeout. Functions named Wait* report a timeout as a
// test failure with a clear message (through the failure handler, ADD_FAILURE by
// default) and return false / an empty value. Queries (Find*, Is*, Text, ...) never
// fail the test. Functions returning AssertionResult leave the verdict to the caller.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace harness {

// ---- failures ----

// Where harness failures go. The default adds a GoogleTest failure; programs that are
// not tests (the demo driver) print instead. Returns the previous handler.
using FailureHandler = std::function<void(const std::string& message)>;
FailureHandler SetFailureHandler(FailureHandler handler);
void Fail(const std::string& message);

// ---- paths and files ----

std::string ExeDir();                                   // folder of the running exe, no trailing '\'
std::string BinPath(const std::string& name);           // ExeDir() + '\' + name
std::string JoinPath(const std::string& dir, const std::string& name);
std::string FullPath(const std::string& path);          // absolute Windows path
std::string WinPath(const std::string& unixPath);       // "/a/b" -> "Z:\a\b" (Wine's root drive)

// A fresh, empty folder for the running test: ExeDir()\scratch\<suite>.<test>. The
// first call in a test empties it; later calls in the same test return it unchanged.
// Outside a test the name is "scratch\default". Returns "" (and fails) if it cannot be
// made empty, e.g. because a program still holds a file in it.
std::string ScratchDir();
// A folder ExeDir()\scratch\<name> shared by the tests of one run (made if missing,
// never emptied): for what a test program writes once and several tests use.
std::string KeptScratchDir(const std::string& name);

bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
bool ReadFile(const std::string& path, std::string* contents);
std::string ReadFileOrEmpty(const std::string& path);
bool WriteFile(const std::string& path, const std::string& contents);
bool RemoveTree(const std::string& path);               // true if it is gone afterwards
// A REG_SZ value of a key under HKEY_CURRENT_USER (created when missing); an empty
// `value` removes it.
void SetUserString(const char* key, const char* name, const std::string& value);
std::vector<std::string> ListFiles(const std::string& dir);  // plain names, sorted

// The keys under HKEY_CURRENT_USER that tests change (the rig's, the program's own, the
// AutoRun policy), saved whole when made and put back as they were when destroyed.
// Every test program keeps them so from its first test to its end; the harness's other
// programs (bench and demo drivers) hold one in main.
class KeptKeys {
public:
    KeptKeys();
    ~KeptKeys();
    KeptKeys(const KeptKeys&) = delete;
    KeptKeys& operator=(const KeptKeys&) = delete;

    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    struct Key {
        std::string path;           // below its parent
        bool existed = true;
        std::vector<Value> values;
        std::vector<Key> subkeys;
    };

private:
    std::vector<Key> keys_;
};

// ---- the Linux side (under Wine only) ----

// The Unix path of a Windows path; "" when there is none (not under Wine).
std::string UnixPath(const std::string& windowsPath);
// Runs `script` with the Linux /bin/sh, its output discarded, and gives its exit status.
// Wine hands back no exit code of a Linux program, so the status comes back through a
// file in `workDir` (removed again, with the script). False when the script could not
// be started or did not end within timeoutMs.
bool RunUnixShell(const std::string& script, const std::string& workDir, int* exitCode, DWORD timeoutMs = 30000);

// A drive letter with a small disk of its own behind it, for tests of a full disk: a
// tmpfs of `kilobytes` mounted in `workDir` and linked as a free letter (k: to y:) of
// the prefix, both undone when destroyed. Needs the right to mount (root); Root() is ""
// when it could not be made.
class SmallDrive {
public:
    SmallDrive(unsigned kilobytes, const std::string& workDir);
    ~SmallDrive();
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;
    std::string Root() const;                 // "k:\"
    uint64_t FreeBytes() const;
    // Writes a file "filler.bin" that leaves `leave` bytes free; false when it cannot.
    bool Fill(uint64_t leave) const;

private:
    std::string workDir_, mount_, link_;
    char letter_ = 0;
    bool mounted_ = false;
};

// ---- waiting ----

// Polls predicate every pollMs until it holds (success) or timeoutMs have passed.
::testing::AssertionResult WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs,
                                     DWORD pollMs = 50);

// ---- windows of any process ----

std::string Text(HWND window);          // WM_GETTEXT with a timeout; "" if it does not answer
std::string ClassName(HWND window);
std::string StripAmpersands(const std::string& label);  // "E&xit" -> "Exit", "&&" -> "&"
RECT WindowRect(HWND window);           // screen coordinates
RECT ClientRectOnScreen(HWND window);   // the client area in screen coordinates

// ---- MCI notifications ----

// A hidden message-only window that collects MM_MCINOTIFY, for tests that drive the
// rig's drivers through winmm with "notify".
class NotifyWindow {
public:
    NotifyWindow();
    ~NotifyWindow();
    NotifyWindow(const NotifyWindow&) = delete;
    NotifyWindow& operator=(const NotifyWindow&) = delete;
    HWND handle() const { return window_; }
    // The notifications that arrived within `ms` milliseconds, as (device id, status) pairs.
    std::vector<std::pair<LPARAM, WPARAM>> Collect(DWORD ms);
    // Waits up to `ms` for the first notification; false when none came.
    bool Wait(DWORD ms, LPARAM* device, WPARAM* status);

private:
    HWND window_ = nullptr;
};

// ---- message boxes ----

struct MessageBoxInfo {
    HWND box = nullptr;
    std::string title;
    std::string text;                   // the static text (id 100 under Wine, 0xFFFF under Windows)
    std::vector<std::string> buttons;   // visible button labels, '&' kept
    std::vector<int> buttonIds;         // their ids, same order
    bool HasButton(const std::string& label) const;  // compares without '&', ignoring case
};

// A rule for boxes a test is not about: a box whose title equals `title` and whose text
// contains `textPart` ("" matches any) is answered with `button` (a label or a number).
struct BoxRule {
    std::string title;
    std::string textPart;
    std::string button;
};

// ---- screen ----

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;       // 0x00RRGGBB, top row first

    bool Empty() const { return width <= 0 || height <= 0; }
    COLORREF Pixel(int x, int y) const;  // RGB(r, g, b); CLR_INVALID outside
    int CountColor(COLORREF colour, const RECT* area = nullptr) const;
    bool SaveBmp(const std::string& path) const;  // 24-bit, bottom-up
};

// Copies a rectangle of the screen (screen coordinates) through BitBlt from the screen DC.
Image CaptureScreenRect(const RECT& rect);

// ---- a program under test ----

class Program {
public:
    Program();
    ~Program();  // kills the process if it still runs
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts exe (a Windows path) in workDir with the given argument string; once the
    // program has ended it may be started again.
    bool Start(const std::string& exe, const std::string& workDir, const std::string& args = "");
    DWORD Pid() const { return pid_; }
    HANDLE Process() const { return process_; }
    bool Running() const;

    // Waits for a visible top-level window of className owned by the process; it becomes
    // the main window that the calls below address. Fails and returns null on timeout.
    HWND WaitForWindow(const std::string& className, DWORD timeoutMs = 15000);
    HWND Window() const { return window_; }
    HWND FindTopWindow(const std::string& className, bool visibleOnly = true) const;

    // ---- commands and input (posted: a handler may show a modal box) ----
    bool PostCommand(int id);
    bool SendCommand(int id, DWORD timeoutMs = 5000);  // fails if the handler does not return
    bool CloseBySystemMenu();                           // WM_SYSCOMMAND SC_CLOSE
    // Clicks an enabled, visible button (BM_CLICK); false (no failure) if it is not.
    bool ClickButton(int id);
    bool Click(int x, int y);                           // client point of the main window
    bool DoubleClick(int x, int y);
    bool ClickIn(HWND window, int x, int y, bool doubleClick = false);
    // Types text as characters (WM_CHAR, so the program's accelerators see them too).
    bool TypeText(int id, const std::string& text);
    bool PressKey(int id, UINT virtualKey);             // WM_KEYDOWN + WM_KEYUP
    bool SetControlText(int id, const std::string& text);  // the shortcut: WM_SETTEXT

    // ---- what the user sees ----
    HWND Control(int id) const;
    std::string Title() const;
    std::string ControlText(int id) const;
    bool IsEnabled(int id) const;
    bool IsVisible(int id) const;
    RECT WindowRect() const;
    RECT ClientRect() const;                            // client coordinates (left, top 0)

    // ---- menus (through the probe DLL injected on first use) ----
    struct MenuItem {
        bool found = false;
        bool checked = false;
        bool grayed = false;
        bool disabled = false;
        std::string text;
    };
    MenuItem Menu(int commandId);                       // fails if the probe cannot be reached
    bool MenuChecked(int commandId) { return Menu(commandId).checked; }
    bool MenuGrayed(int commandId) { return Menu(commandId).grayed; }
    std::string MenuText(int commandId) { return Menu(commandId).text; }
    // The cursor the program shows: "busy" (hourglass), "arrow" or "other"; "" (after a
    // failure) when the probe cannot be asked.
    std::string CursorShape();

    // ---- message boxes ----
    std::vector<MessageBoxInfo> MessageBoxes() const;  // visible dialogs of the process
    // Waits for a box whose title equals `title` ("" for any); box is null on timeout.
    MessageBoxInfo WaitForMessageBox(const std::string& title = "", DWORD timeoutMs = 10000);
    // Presses a button ("OK", "Cancel", "Yes", "No", any label, or a number as an id) and
    // waits for the box to close.
    ::testing::AssertionResult Answer(const MessageBoxInfo& box, const std::string& button);
    ::testing::AssertionResult Answer(const MessageBoxInfo& box, int buttonId);
    // Waits for the box titled `title`, answers it and returns what it showed.
    MessageBoxInfo AnswerMessageBox(const std::string& title, const std::string& button,
                                    DWORD timeoutMs = 10000);
    // Success if no box of the process shows within timeoutMs.
    ::testing::AssertionResult NoMessageBoxWithin(DWORD timeoutMs);
    // Answers matching boxes in the background from now until the program ends.
    void AutoAnswer(const BoxRule& rule);
    std::vector<MessageBoxInfo> AutoAnswered() const;

    // ---- screen ----
    Image CaptureClient() const;
    Image CaptureWindow() const;
    // Captures until two captures pollMs apart are equal (the program has painted).
    Image CaptureClientSettled(DWORD timeoutMs = 3000, DWORD pollMs = 200) const;

    // ---- the end ----
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Kill();

private:
    bool InjectProbe();
    HWND FindProbe() const;
    void StopAnswerer();

    struct Answerer;
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
    HWND probe_ = nullptr;
    std::string exe_;
    std::unique_ptr<Answerer> answerer_;
};

}  // namespace harness
