#include "window_kit.h"

#include "resource.h"

AppWindows g_app;

const int kTrackButtons[4] = {IDC_MAIN_FIRSTTRACK, IDC_MAIN_PREVTRACK, IDC_MAIN_NEXTTRACK, IDC_MAIN_LASTTRACK};

HWND Control(int id) { return GetDlgItem(g_app.main, id); }

void EnableControl(int id, bool enabled) {
    HWND control = id == IDC_MAIN_SONGNAME ? g_app.songName : Control(id);
    if (control) EnableWindow(control, enabled);
}

void EnableControls(const int* ids, size_t count, bool enabled) {
    for (size_t i = 0; i < count; ++i) EnableControl(ids[i], enabled);
}

void EnableMenuCommand(int id, bool enabled) {
    EnableMenuItem(g_app.menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void CheckMenuCommand(int id, bool checked) {
    CheckMenuItem(g_app.menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void SetControlText(int id, const char* text) { SetWindowTextA(Control(id), text); }

void SendCommand(HWND hwnd, int id) { SendMessageA(hwnd, WM_COMMAND, static_cast<WPARAM>(id), 0); }

void FocusSongName() { SetFocus(g_app.songName); }

void ReadSongNameField(char* text, size_t size) {
    if (size == 0) return;
    text[0] = '\0';
    GetWindowTextA(g_app.songName, text, static_cast<int>(size));
}

void ShowSongName(const char* text) { SetWindowTextA(g_app.songName, text); }

bool StartTimer(HWND hwnd, TimerId id, UINT period) {
    if (SetTimer(hwnd, id, period, nullptr)) return true;
    MessageBoxA(hwnd, "Unable to set a timer", "Timer Error", MB_OK);
    return false;
}

void NudgeMousePointer() {
    POINT point;
    if (GetCursorPos(&point)) SetCursorPos(point.x + 1, point.y);
}
