// CD Quorrel: turns the tracks of an audio CD into WAV files (sound-card recording while
// the CD plays, line-in recording) and MP3 files.
//
// Map of the program:
//   app/main.cpp        entry and message loop
//   app/mainwnd.*       main window: creation, shutdown, window procedure, dispatcher;
//                       state in g_app (handles, layout units)
//   app/display.*       the painted status area; state in g_display (clock, prompt line)
//   app/settings.*      settings file "CDQuorrel.ini" and the AutoRun guard (g_settings)
//   app/logic/          plain decisions: settings codec, layout units
//   engine/mci.*        the MCI command channel (g_mci)
//   engine/drive.*      track table (g_tracks), start-up check and drive poll (g_drive)
//   engine/sources.cpp  the source commands; engine state in g_engine
//   engine/logic/       plain decisions: track table texts, source-command table
//
// Timers of the main window: 1 clock (990 ms), 2 drive poll (1000 ms), 3 start-up check
// (1000 ms, at most five ticks). Everything runs on this one thread.
#include <windows.h>

#include "mainwnd.h"
#include "settings.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show) {
    g_app.instance = instance;
    DisableAutorun();
    if (!previous && !RegisterMainWindowClass(instance)) {
        RestoreAutorun();
        return 0;
    }
    HWND hwnd = CreateWindowExA(0, "CDQuorl", "CD Quorrel", WS_OVERLAPPED | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                                nullptr);
    if (!hwnd) return 0;   // creation failed; the shutdown has run and restored AutoRun
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(hwnd, g_app.accelerators, &msg)) continue;
        if (IsDialogMessageA(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
