// The recording engine's commands: Play and Save with their steps, the clock tick and
// the click in the window, play-back and transport, the source commands. Their state is
// g_engine (engine_state.h).
#pragma once

#include <windows.h>

#include "engine_state.h"

// The recording engine (commands 102 and 103, timer 1, clicks in the window).
void OnPlay(HWND hwnd);
void OnSave(HWND hwnd);
void OnClockTick(HWND hwnd);
void OnClick(HWND hwnd, int x, int y);

// Naming steps and the disk-space estimate: false ends the Play command.
bool RunNamingSteps(HWND hwnd);
bool EnoughDiskSpace();

// Play-back and transport (commands 104–106, 108–111).
void OnPlayBack(HWND hwnd);
void OnStopPlayBack(HWND hwnd);
void OnEject(HWND hwnd);
void OnTrackButton(HWND hwnd, int command);

// Source commands 116, 117, 119, 120 and the Partial CD Recording toggle 118.
void OnSourceCommand(HWND hwnd, int command);
void OnPartialRecording(HWND hwnd);
