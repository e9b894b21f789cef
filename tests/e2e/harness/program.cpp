// Program: starting a program under test, driving its main window, reading its menus
// through the injected probe, waiting for its end.
#include "probe_protocol.h"
#include "program_internal.h"

namespace harness {
namespace {

constexpr DWORD kSendTimeoutMs = 5000;

struct TopSearch {
    DWORD pid;
    const std::string* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindTop(HWND window, LPARAM param) {
    TopSearch* search = reinterpret_cast<TopSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || ClassName(window) != *search->className) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

LPARAM PointParam(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

}  // namespace

Program::Program() = default;

Program::~Program() {
    Kill();
    StopAnswerer();
    if (thread_) CloseHandle(thread_);
    if (process_) CloseHandle(process_);
}

bool Program::Start(const std::string& exe, const std::string& workDir, const std::string& args) {
    if (Running()) {
        Fail("Program::Start called while the program runs");
        return false;
    }
    // A program that has ended may be started again: the next run starts afresh.
    StopAnswerer();
    if (thread_) CloseHandle(thread_);
    if (process_) CloseHandle(process_);
    process_ = thread_ = nullptr;
    window_ = probe_ = nullptr;
    std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // Under Wine on a loaded machine a start now and then fails with ERROR_INTERNAL_ERROR
    // (the new process's loader did not come up); that one is tried again, a few times.
    bool started = false;
    DWORD error = 0;
    for (int attempt = 0; attempt < 4 && (attempt == 0 || error == ERROR_INTERNAL_ERROR); ++attempt) {
        if (attempt > 0) Sleep(250);
        started = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 workDir.empty() ? nullptr : workDir.c_str(), &si, &pi) != FALSE;
        error = started ? 0 : GetLastError();
    }
    if (!started) {
        Fail("cannot start " + exe + " in " + workDir + " (error " + std::to_string(error) + ")");
        return false;
    }
    process_ = pi.hProcess;
    thread_ = pi.hThread;
    pid_ = pi.dwProcessId;
    exe_ = exe;
    return true;
}

bool Program::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

HWND Program::FindTopWindow(const std::string& className, bool visibleOnly) const {
    TopSearch search{pid_, &className, visibleOnly, nullptr};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Program::WaitForWindow(const std::string& className, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindTopWindow(className);
        return found != nullptr || !Running();
    }, timeoutMs);
    if (!found) {
        std::string boxes;
        for (const MessageBoxInfo& box : MessageBoxes()) boxes += " \"" + box.title + "\": \"" + box.text + "\";";
        Fail("no visible window of class \"" + className + "\" from " + exe_ + " within " + std::to_string(timeoutMs) +
             " ms" + (Running() ? "" : " (the program has ended)") +
             (boxes.empty() ? "" : "; message boxes showing:" + boxes));
        return nullptr;
    }
    window_ = found;
    return found;
}

// ---- commands and input ----

bool Program::PostCommand(int id) {
    return PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0) != 0;
}

bool Program::SendCommand(int id, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, timeoutMs, &result)) return true;
    Fail("command " + std::to_string(id) + " was not handled within " + std::to_string(timeoutMs) +
         " ms (a modal box? use PostCommand)");
    return false;
}

bool Program::CloseBySystemMenu() { return PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0) != 0; }

bool Program::ClickButton(int id) {
    HWND button = Control(id);
    if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return false;
    return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

bool Program::Click(int x, int y) { return ClickIn(window_, x, y, false); }
bool Program::DoubleClick(int x, int y) { return ClickIn(window_, x, y, true); }

// Posts the messages a real click produces; a double click is down, up, double, up.
bool Program::ClickIn(HWND window, int x, int y, bool doubleClick) {
    LPARAM at = PointParam(x, y);
    bool ok = PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageA(window, WM_LBUTTONUP, 0, at);
    if (ok && doubleClick)
        ok = PostMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at) && PostMessageA(window, WM_LBUTTONUP, 0, at);
    return ok;
}

bool Program::TypeText(int id, const std::string& text) {
    HWND control = Control(id);
    if (!control) return false;
    for (char c : text)
        if (!PostMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1)) return false;
    return true;
}

bool Program::PressKey(int id, UINT virtualKey) {
    HWND control = Control(id);
    if (!control) return false;
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, 0)) << 16;
    return PostMessageA(control, WM_KEYDOWN, virtualKey, scan | 1) &&
           PostMessageA(control, WM_KEYUP, virtualKey, scan | 1 | 0xC0000000);
}

bool Program::SetControlText(int id, const std::string& text) {
    HWND control = Control(id);
    DWORD_PTR result = 0;
    return control && SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                                          kSendTimeoutMs, &result) && result;
}

// ---- what the user sees ----

HWND Program::Control(int id) const { return window_ ? GetDlgItem(window_, id) : nullptr; }
std::string Program::Title() const { return Text(window_); }

std::string Program::ControlText(int id) const {
    HWND control = Control(id);
    return control ? Text(control) : std::string();
}

bool Program::IsEnabled(int id) const {
    HWND control = Control(id);
    return control && IsWindowEnabled(control);
}

bool Program::IsVisible(int id) const {
    HWND control = Control(id);
    return control && IsWindowVisible(control);
}

RECT Program::WindowRect() const { return harness::WindowRect(window_); }

RECT Program::ClientRect() const {
    RECT r = {0, 0, 0, 0};
    GetClientRect(window_, &r);
    return r;
}

// ---- menus ----

HWND Program::FindProbe() const {
    HWND after = nullptr;
    while ((after = FindWindowExA(HWND_MESSAGE, after, probe::kProbeClass, nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(after, &pid);
        if (pid == pid_) return after;
    }
    return nullptr;
}

// Loads e2eprobe.dll into the process with a remote thread that calls LoadLibraryA
// (kernel32 sits at the same address in every process), then waits for its window.
bool Program::InjectProbe() {
    std::string dll = BinPath("e2eprobe.dll");
    if (!FileExists(dll)) {
        Fail("the probe " + dll + " is missing");
        return false;
    }
    auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    void* remote = VirtualAllocEx(process_, nullptr, dll.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) {
        Fail("cannot allocate memory in the program for the probe's path");
        return false;
    }
    bool ok = false;
    HANDLE thread = nullptr;
    std::string why;
    if (!WriteProcessMemory(process_, remote, dll.c_str(), dll.size() + 1, nullptr)) {
        why = "cannot write the probe's path into the program";
    } else if (!(thread = CreateRemoteThread(process_, nullptr, 0, loadLibrary, remote, 0, nullptr))) {
        why = "CreateRemoteThread failed (error " + std::to_string(GetLastError()) + ")";
    } else if (WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0) {
        why = "LoadLibraryA of the probe did not return within 10000 ms";
    } else {
        DWORD module = 0;
        GetExitCodeThread(thread, &module);
        if (!module) why = "LoadLibraryA of the probe failed in the program";
        else ok = true;
    }
    // A LoadLibraryA still running would read the path: leave the memory to it then.
    bool threadDone = thread && WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    if (thread) CloseHandle(thread);
    if (threadDone || !thread) VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    if (ok && !WaitUntil([this] { return FindProbe() != nullptr; }, 5000)) {
        ok = false;
        why = "the probe's window did not appear within 5000 ms";
    }
    if (!ok) Fail("injecting " + dll + ": " + why);
    else probe_ = FindProbe();
    return ok;
}

Program::MenuItem Program::Menu(int commandId) {
    MenuItem item;
    if (!Running() || !window_) {
        Fail("menu query for " + std::to_string(commandId) + ": the program is not running or has no window");
        return item;
    }
    if ((!probe_ || !IsWindow(probe_)) && !InjectProbe()) return item;
    DWORD_PTR state = 0, length = 0;
    if (!SendMessageTimeoutA(probe_, probe::kMenuState, commandId, reinterpret_cast<LPARAM>(window_), SMTO_NORMAL,
                             kSendTimeoutMs, &state) ||
        !SendMessageTimeoutA(probe_, probe::kMenuText, commandId, reinterpret_cast<LPARAM>(window_), SMTO_NORMAL,
                             kSendTimeoutMs, &length)) {
        Fail("the probe did not answer a menu query within " + std::to_string(kSendTimeoutMs) + " ms");
        return item;
    }
    LRESULT code = static_cast<LRESULT>(state);
    if (code == probe::kNoMenu) {
        Fail("the program's window has no menu bar");
        return item;
    }
    if (code == probe::kNoItem) return item;
    item.found = true;
    item.checked = (state & MF_CHECKED) != 0;
    item.grayed = (state & MF_GRAYED) != 0;
    item.disabled = (state & MF_DISABLED) != 0;
    char text[256] = "";
    GetWindowTextA(probe_, text, ARRAYSIZE(text));
    item.text = text;
    return item;
}

std::string Program::CursorShape() {
    if (!Running() || ((!probe_ || !IsWindow(probe_)) && !InjectProbe())) {
        Fail("cursor query: the program is not running or the probe cannot be reached");
        return "";
    }
    DWORD_PTR shape = 0;
    if (!SendMessageTimeoutA(probe_, probe::kCursorShape, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &shape)) {
        Fail("the probe did not answer a cursor query within " + std::to_string(kSendTimeoutMs) + " ms");
        return "";
    }
    return shape == static_cast<DWORD_PTR>(probe::kCursorBusy)    ? "busy"
           : shape == static_cast<DWORD_PTR>(probe::kCursorArrow) ? "arrow"
                                                                   : "other";
}

// ---- screen ----

Image Program::CaptureClient() const { return CaptureScreenRect(ClientRectOnScreen(window_)); }
Image Program::CaptureWindow() const { return CaptureScreenRect(harness::WindowRect(window_)); }

Image Program::CaptureClientSettled(DWORD timeoutMs, DWORD pollMs) const {
    Image last = CaptureClient();
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        Sleep(pollMs);
        Image now = CaptureClient();
        bool same = now.width == last.width && now.height == last.height && now.pixels == last.pixels;
        last = std::move(now);
        if (same) return last;
    }
    return last;
}

// ---- the end ----

bool Program::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) {
        Fail("WaitForExit: no program was started");
        return false;
    }
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        std::string boxes;
        for (const MessageBoxInfo& box : MessageBoxes()) boxes += " \"" + box.title + "\": \"" + box.text + "\";";
        Fail(exe_ + " did not end within " + std::to_string(timeoutMs) + " ms" +
             (boxes.empty() ? "" : "; message boxes showing:" + boxes));
        return false;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    if (exitCode) *exitCode = code;
    return true;
}

void Program::Kill() {
    if (!Running()) return;
    TerminateProcess(process_, 255);
    WaitForSingleObject(process_, 10000);
}

}  // namespace harness
