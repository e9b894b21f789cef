// What the sound-card recording (recording.cpp) and its Save (save.cpp) share.
#pragma once

#include <windows.h>
#include <mmsystem.h>

// Sources in which the CD plays while the sound card records.
bool CdPlayed();
// An MCI command to the wave device of the recording.
MCIERROR WaveCommand(UINT message, DWORD_PTR flags, void* params);
// Shows the MCI failure, if any; true when the command succeeded.
bool Succeeded(HWND hwnd, MCIERROR result, const char* title);
// The transport after a recording: the track buttons and Eject serve the CD sources
// that play the CD; otherwise Eject is off.
void RestoreTransport();
// The end of a recording, saved or abandoned: the window is ready for the next one.
void BackToIdle(HWND hwnd);
