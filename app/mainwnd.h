// The main window: its class and its window procedure. Its handles and the helpers the
// commands use to change its controls and menu items are the window kit (window_kit.h).
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool RegisterMainWindowClass(HINSTANCE instance);
