// Harness basics: failure reporting, paths and files, waiting, reading foreign windows,
// collecting MCI notifications.
#include "harness.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace harness {
namespace {

FailureHandler& Handler() {
    static FailureHandler handler;
    return handler;
}

// The per-test scratch folder: remembered so that later calls in one test keep it.
struct ScratchState {
    std::string testName;
    std::string dir;
};
ScratchState& Scratch() {
    static ScratchState state;
    return state;
}

std::string CurrentTestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return "default";
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':') c = '_';  // parameterised names
    return name;
}

}  // namespace

FailureHandler SetFailureHandler(FailureHandler handler) {
    FailureHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void Fail(const std::string& message) {
    if (Handler())
        Handler()(message);
    else
        ADD_FAILURE() << message;
}

// ---- paths and files ----

std::string ExeDir() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, ARRAYSIZE(path));
    if (n == 0 || n >= ARRAYSIZE(path)) return ".";
    std::string dir(path, n);
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string BinPath(const std::string& name) { return JoinPath(ExeDir(), name); }

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    char last = dir.back();
    return (last == '\\' || last == '/') ? dir + name : dir + "\\" + name;
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), ARRAYSIZE(full), full, nullptr);
    if (n == 0 || n >= ARRAYSIZE(full)) return path;
    return std::string(full, n);
}

std::string WinPath(const std::string& unixPath) {
    std::string out = "Z:" + unixPath;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string KeptScratchDir(const std::string& name) {
    std::string scratch = JoinPath(ExeDir(), "scratch");
    CreateDirectoryA(scratch.c_str(), nullptr);
    std::string dir = JoinPath(scratch, name);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ScratchDir() {
    ScratchState& s = Scratch();
    std::string name = CurrentTestName();
    if (s.testName == name && !s.dir.empty()) return s.dir;
    std::string root = JoinPath(ExeDir(), "scratch");
    std::string dir = JoinPath(root, name);
    CreateDirectoryA(root.c_str(), nullptr);  // may exist already
    if (!RemoveTree(dir) || !CreateDirectoryA(dir.c_str(), nullptr)) {
        Fail("cannot make an empty scratch folder " + dir + " (is a program still using it?)");
        return "";
    }
    s.testName = name;
    s.dir = dir;
    return dir;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadFile(const std::string& path, std::string* contents) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string data;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
    bool ok = !ferror(f);
    fclose(f);
    if (ok) *contents = std::move(data);
    return ok;
}

std::string ReadFileOrEmpty(const std::string& path) {
    std::string contents;
    return ReadFile(path, &contents) ? contents : std::string();
}

bool WriteFile(const std::string& path, const std::string& contents) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(contents.data(), 1, contents.size(), f) == contents.size();
    return fclose(f) == 0 && ok;
}

void SetUserString(const char* key, const char* name, const std::string& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (value.empty())
        RegDeleteValueA(handle, name);
    else
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
}

namespace {

// Removes a file or a folder with all it holds, by wide names: a file the program
// named in a script this program's code page lacks is removed too.
bool RemoveTreeW(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(path.c_str()) != 0;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") RemoveTreeW(path + L"\\" + name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryW(path.c_str()) != 0;
}

}  // namespace

bool RemoveTree(const std::string& path) {
    int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (units <= 0) return false;
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], units);
    wide.resize(wide.size() - 1);
    return RemoveTreeW(wide);
}

std::vector<std::string> ListFiles(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(JoinPath(dir, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// ---- the Linux side ----

std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char*(__cdecl*)(const WCHAR*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return "";
    std::wstring wide(windowsPath.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    char* unix = toUnix(wide.c_str());
    if (!unix) return "";
    std::string path = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return path;
}

bool RunUnixShell(const std::string& script, const std::string& workDir, int* exitCode, DWORD timeoutMs) {
    const std::string file = JoinPath(workDir, "unix-shell.sh"), status = JoinPath(workDir, "unix-shell.rc");
    DeleteFileA(status.c_str());
    const std::string unixFile = UnixPath(file), unixStatus = UnixPath(status);
    // The script runs in a subshell, so its own exit still leaves the status; the status file
    // appears whole (written aside, then moved), so a reader never sees half of it.
    if (unixFile.empty() || unixStatus.empty() ||
        !WriteFile(file, "(\n" + script + "\n) >/dev/null 2>&1\necho $? > '" + unixStatus + ".part' && mv '" +
                             unixStatus + ".part' '" + unixStatus + "'\n"))
        return false;
    std::string command = "/bin/sh \"" + unixFile + "\"";   // Windows quoting: Wine splits the line into arguments
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    bool started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    // Wine starts a Unix program without a Windows process: the handles it hands back
    // then are not the program's (under 64-bit Wine they may be handles of this process,
    // its registry keys among them), so only handles that name the started process and
    // its thread are closed.
    if (started && process.dwProcessId != 0 && GetProcessId(process.hProcess) == process.dwProcessId &&
        GetThreadId(process.hThread) == process.dwThreadId) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    bool ended = started && WaitUntil([&] { return FileExists(status); }, timeoutMs);
    std::string code = ReadFileOrEmpty(status);
    DeleteFileA(status.c_str());
    DeleteFileA(file.c_str());
    if (!ended) return false;
    *exitCode = atoi(code.c_str());
    return true;
}

// ---- waiting ----

::testing::AssertionResult WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs,
                                     DWORD pollMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (predicate()) return ::testing::AssertionSuccess();
        if (GetTickCount() - start >= timeoutMs) break;
        Sleep(pollMs);
    }
    // One last look: the condition may have come true during the final sleep.
    if (predicate()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the condition did not come true within " << timeoutMs << " ms";
}

// ---- windows of any process ----

std::string Text(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return "";
    std::vector<char> buffer(length + 2);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return "";
    buffer.back() = '\0';
    return std::string(buffer.data());
}

std::string ClassName(HWND window) {
    char name[256];
    int n = GetClassNameA(window, name, ARRAYSIZE(name));
    return n > 0 ? std::string(name, n) : std::string();
}

std::string StripAmpersands(const std::string& label) {
    std::string out;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 1 < label.size()) ++i;
        else if (label[i] == '&') continue;
        out += label[i];
    }
    return out;
}

RECT WindowRect(HWND window) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    return r;
}

RECT ClientRectOnScreen(HWND window) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(window, &r);
    POINT topLeft = {0, 0};
    ClientToScreen(window, &topLeft);
    OffsetRect(&r, topLeft.x, topLeft.y);
    return r;
}

bool MessageBoxInfo::HasButton(const std::string& label) const {
    std::string want = StripAmpersands(label);
    for (const std::string& b : buttons) {
        std::string have = StripAmpersands(b);
        if (have.size() == want.size() &&
            std::equal(have.begin(), have.end(), want.begin(),
                       [](char a, char c) { return std::tolower((unsigned char)a) == std::tolower((unsigned char)c); }))
            return true;
    }
    return false;
}

// ---- MCI notifications ----

NotifyWindow::NotifyWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HarnessNotifyWindow";
    RegisterClassA(&wc);   // fails harmlessly when an earlier window registered it
    window_ = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

NotifyWindow::~NotifyWindow() { DestroyWindow(window_); }

std::vector<std::pair<LPARAM, WPARAM>> NotifyWindow::Collect(DWORD ms) {
    std::vector<std::pair<LPARAM, WPARAM>> got;
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE))
            got.emplace_back(msg.lParam, msg.wParam);
        Sleep(10);
    }
    return got;
}

bool NotifyWindow::Wait(DWORD ms, LPARAM* device, WPARAM* status) {
    DWORD start = GetTickCount();
    MSG msg;
    do {
        if (PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE)) {
            *device = msg.lParam;
            *status = msg.wParam;
            return true;
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
    return false;
}

}  // namespace harness
