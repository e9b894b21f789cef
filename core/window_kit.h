// The main window as the commands see it: its handles (g_app), its timers, and the small
// helpers that enable, check and label its controls and menu items. The window itself
// (creation, shutdown, window procedure, dispatcher) is app/mainwnd.cpp; a command that
// needs another command run sends it to the window (SendCommand).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "layout.h"

// Timers of the main window.
enum TimerId {
    kTimerClock = 1,      // 990 ms: elapsed time of a recording or play-back
    kTimerDrivePoll = 2,  // 1000 ms: watches door and disc
    kTimerStartup = 3,    // 1000 ms: the start-up check, at most five ticks
};
constexpr UINT kClockPeriod = 990;
constexpr UINT kPollPeriod = 1000;

struct AppWindows {
    HINSTANCE instance;
    HWND main;
    HWND songName;          // the edit field for the file name
    HWND trackList;         // hidden list of chosen tracks
    HMENU menu;
    HACCEL accelerators;
    HCURSOR promptCursor;   // "MouseCursor", over the song name prompt
    HCURSOR busyCursor;     // the system hourglass
    HMODULE encoder;        // "LameEnc.dll", or null
    AUXCAPSA auxCaps;       // auxiliary device 0: the CD player's output
    int extractionHandle;   // the CD drive of the extraction library, 0 for none
    bool startupDone;       // the start-up check has ended
    bool shutDown;          // the shutdown steps have run
    LayoutUnits units;
    int width, height;      // outer size of the main window, fixed at creation
};

extern AppWindows g_app;

// Controls and menu items by command id.
HWND Control(int id);
void EnableControl(int id, bool enabled);
void EnableControls(const int* ids, size_t count, bool enabled);
template <size_t N>
void EnableControls(const int (&ids)[N], bool enabled) { EnableControls(ids, N, enabled); }
void EnableMenuCommand(int id, bool enabled);
void CheckMenuCommand(int id, bool checked);
void SetControlText(int id, const char* text);

// The four track buttons.
extern const int kTrackButtons[4];

void SendCommand(HWND hwnd, int id);
void FocusSongName();
// The song name field: what the user typed or chose (its first `size` - 1 characters),
// and what it shows.
void ReadSongNameField(char* text, size_t size);
void ShowSongName(const char* text);
// Starts a timer; false (after "Unable to set a timer") when it cannot be started.
bool StartTimer(HWND hwnd, TimerId id, UINT period);
// Moves the mouse pointer one pixel to the right, so the cursor is set anew.
void NudgeMousePointer();
