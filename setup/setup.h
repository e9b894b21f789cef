// The installer's window, its process-wide state and the two installation steps.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include "setup_plan.h"

struct SetupGlobals {
    HINSTANCE instance;
    HWND window;
    HWND pathField;
    int c, h;                 // layout units: average character width, line height
    SetupState state;
    HFONT fieldFont;          // "MS Sans Serif" 11 points: the path field and button captions
    HFONT textFont;           // "Arial" 10 points: the painted texts
    HPEN whitePen, blackPen;  // the button edges
    RECT messageArea;         // repainted at every change of state
    InstallPaths paths;       // the installation folder of the last Continue
    DWORD ddeInstance;        // the program group's DDE instance, 0 when none
    HCONV conversation;       // its conversation with "PROGMAN", kept until the window goes
};

extern SetupGlobals g_setup;

// Positions in tenths of the layout units, truncated toward zero: X(35) is 3.5 c.
inline int X(int tenths) { return g_setup.c * tenths / 10; }
inline int Y(int tenths) { return g_setup.h * tenths / 10; }

bool RegisterSetupWindowClass(HINSTANCE instance);
LRESULT CALLBACK SetupWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Sets the state and shows it: the message area is repainted (the whole window for
// copy failed, whose texts reach above it).
void ShowState(HWND hwnd, SetupState state);

// Continue: checks the typed folder and its drive, creates the folder and moves the
// distribution files into it, then creates the program group.
void RunInstallation(HWND hwnd);

// Asks the shell for the program group and its items; sets the final state and beeps.
void RunProgramGroupStep(HWND hwnd);
// Ends the conversation and releases the DDE instance (at window destruction).
void EndProgramGroupConversation();
