// CD Quorrel: turns the tracks of an audio CD into WAV files (sound-card recording while
// the CD plays, line-in recording) and MP3 files.
//
// Map of the program, in floors: a file includes headers of its own floor and of the
// floors below it, never above (tests/floors.sh checks it). Where a lower floor needs a
// higher one to act, it sends the main window a command (SendCommand).
//   app/                the main window on top
//     main.cpp          entry and message loop
//     mainwnd.*         creation, shutdown, window procedure, command dispatcher
//   engine/             the recording engine's commands
//     recorder.cpp      Play, Save, the clock tick, the click in the window; the
//                       sound-card recording
//     ripping.cpp       Play in Rip from CD: rip, conversion, the next track of a batch
//     conversion.cpp    Play in Convert WAV to MP3
//     naming_steps.cpp  the song name becomes the file to record; disk-space estimate
//     transport.cpp     play-back, Eject, the track buttons
//     sources.cpp       the source commands
//   rip/, mp3/          ripping a track (rip.*), converting a WAV file (convert.*)
//   dialogs/            parameter and track selection dialogs, the file choosers
//   core/               what the floors above share
//     window_kit.*      the main window's handles (g_app), timers, control and menu helpers
//     display.*         the painted status area; state in g_display (clock, prompt line)
//     settings.*        settings file "CDQuorrel.ini" and the AutoRun guard (g_settings)
//     mci.*             the MCI command channel (g_mci)
//     drive.*           track table (g_tracks), start-up check and drive poll (g_drive)
//     engine_state.*    the recording engine's state (g_engine)
//   */logic/            plain decisions without windows.h, unit-tested natively
//
// Timers of the main window: 1 clock (990 ms), 2 drive poll (1000 ms), 3 start-up check
// (1000 ms, at most five ticks). Everything runs on this one thread.
#include <windows.h>

#include "mainwnd.h"
#include "settings.h"
#include "window_kit.h"

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
