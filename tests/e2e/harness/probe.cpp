// e2eprobe.dll: loaded into a program under test by the harness (a remote thread calling
// LoadLibraryA). It starts one thread with a message-only window that answers menu
// queries about any window of the process and tells the cursor shown (see
// probe_protocol.h). The DLL stays loaded
// until the process ends; the program itself knows nothing of it.
#include "probe_protocol.h"

namespace {

HINSTANCE g_instance;

HMENU MenuOf(LPARAM window) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    return IsWindow(hwnd) ? GetMenu(hwnd) : nullptr;
}

LRESULT OnMenuState(WPARAM id, LPARAM window) {
    HMENU menu = MenuOf(window);
    if (!menu) return probe::kNoMenu;
    UINT state = GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND);
    return state == static_cast<UINT>(-1) ? probe::kNoItem : static_cast<LRESULT>(state);
}

LRESULT OnMenuText(HWND probeWindow, WPARAM id, LPARAM window) {
    HMENU menu = MenuOf(window);
    if (!menu) return probe::kNoMenu;
    if (GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND) == static_cast<UINT>(-1)) return probe::kNoItem;
    char label[256] = "";
    int n = GetMenuStringA(menu, static_cast<UINT>(id), label, ARRAYSIZE(label), MF_BYCOMMAND);
    SetWindowTextA(probeWindow, label);
    return n;
}

// System cursors are shared within a process: the program's hourglass is this one.
LRESULT OnCursorShape() {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info)) return probe::kCursorOther;
    if (info.hCursor == LoadCursor(nullptr, IDC_WAIT)) return probe::kCursorBusy;
    return info.hCursor == LoadCursor(nullptr, IDC_ARROW) ? probe::kCursorArrow : probe::kCursorOther;
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case probe::kMenuState: return OnMenuState(wParam, lParam);
    case probe::kMenuText: return OnMenuText(hwnd, wParam, lParam);
    case probe::kCursorShape: return OnCursorShape();
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// The probe thread: creates the window and serves it until the process ends.
DWORD WINAPI ProbeThread(LPVOID) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = g_instance;
    wc.lpszClassName = probe::kProbeClass;
    if (!RegisterClassA(&wc)) return 1;
    HWND hwnd = CreateWindowExA(0, probe::kProbeClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_instance, nullptr);
    if (!hwnd) return 1;
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
    return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
        // The thread starts once the loader lock is released; DllMain must not wait for it.
        HANDLE thread = CreateThread(nullptr, 0, ProbeThread, nullptr, 0, nullptr);
        if (!thread) return FALSE;
        CloseHandle(thread);
    }
    return TRUE;
}
