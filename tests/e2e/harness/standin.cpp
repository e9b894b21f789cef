// e2e_standin.exe: stands in for a program that CD Quorrel has the shell start (the
// volume control, the web browser for the help page). It appends one line to the file
// named by the environment variable QUORREL_STANDIN_LOG, which it inherits from the
// test through the program: "<its file name>|<its command line>|<its current folder>".
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char log[MAX_PATH], self[MAX_PATH], folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("QUORREL_STANDIN_LOG", log, sizeof log);
    if (length == 0 || length >= sizeof log) return 1;
    DWORD selfLength = GetModuleFileNameA(nullptr, self, sizeof self);
    if (selfLength == 0 || selfLength >= sizeof self) return 1;
    if (GetCurrentDirectoryA(sizeof folder, folder) == 0) folder[0] = '\0';
    const char* name = strrchr(self, '\\');
    char line[3 * MAX_PATH + 8];
    int size = snprintf(line, sizeof line, "%s|%s|%s\r\n", name ? name + 1 : self, GetCommandLineA(), folder);
    if (size < 0 || size >= static_cast<int>(sizeof line)) return 1;
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
