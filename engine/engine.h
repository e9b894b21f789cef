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
// When `path` names an existing file: the overwrite question, titled with its name in
// lower case. False when the user cancels or the file cannot be replaced; the file
// itself stays until a new one replaces it.
bool ConfirmReplacing(HWND hwnd, const char* path);
// The free space on the song name's drive against the recording's size in the format
// it will have: the current track's length in the CD sources, a minute in Record from
// Line In, whose length nobody knows beforehand.
bool EnoughDiskSpace();
// What lies at `path` now.
FileStamp StampOf(const char* path);
bool SameStamp(const FileStamp& a, const FileStamp& b);

// The Play command's step in Rip from CD (ripping.cpp) and in Convert WAV to MP3
// (conversion.cpp); the sound-card recording is the step of every other source.
// RunRipping is true when it ripped a track of a batch and set up the next one, which
// the Play command then rips in turn.
bool RunRipping(HWND hwnd);
void RunConversion(HWND hwnd);

// What the steps share (recorder.cpp).
extern const char kEnterPrompt[];   // the prompt line of a window ready for the next Play
// Enables or grays the menu commands a recording must leave alone.
void EnableRecordingMenus(bool enabled);
// True while a batch of chosen tracks is set up (Tracks to Record...).
bool BatchSetUp();
// Keeps drive + folder of the current file name in `folder`.
void KeepFolderOfCurrentFile(char (&folder)[kPathText]);
// The song name of track t in a batch: the batch folder, the track's name and ".wav",
// in lower case; it becomes the current file name and the song name field's text.
void NameBatchTrack(const char* folder, int track);

// Play-back and transport (commands 104–106, 108–111).
void OnPlayBack(HWND hwnd);
void OnStopPlayBack(HWND hwnd);
void OnEject(HWND hwnd);
void OnTrackButton(HWND hwnd, int command);

// Source commands 116, 117, 119, 120 and the Partial CD Recording toggle 118.
void OnSourceCommand(HWND hwnd, int command);
void OnPartialRecording(HWND hwnd);
