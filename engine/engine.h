// The recording engine's process-wide state: the source mode, the recording and
// play-back flags, the clock and the names of the files being made.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "clock.h"
#include "source_table.h"

constexpr size_t kFileNameText = 256;   // current file name: 255 characters
constexpr size_t kPathText = 260;       // play-back file and folders: 259 characters

struct EngineState {
    SourceMode mode;
    bool recording;        // a sound-card recording (or an armed partial one) is under way
    bool soundRecorded;    // the wave device has been told to record since it was opened
    bool trackEndWatch;    // the CD plays the recorded track; its end saves the recording
    bool playBack;         // a play-back is under way
    ElapsedClock elapsed;   // the time display's count of the recording or play-back
    char currentFileName[kFileNameText];
    char playBackFile[kPathText];
    char cdBatchFolder[kPathText];   // drive and folder of the first file of a recorded batch
    char ripBatchFolder[kPathText];  // the same for a ripped batch
    MCIDEVICEID waveDevice;          // "wave" while recording, "newwave" while playing back
    MCI_WAVE_SET_PARMS waveFormat;
};

extern EngineState g_engine;

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
bool EnoughDiskSpace();

// Play-back and transport (commands 104–106, 108–111).
void OnPlayBack(HWND hwnd);
void OnStopPlayBack(HWND hwnd);
void OnEject(HWND hwnd);
void OnTrackButton(HWND hwnd, int command);

// Source commands 116, 117, 119, 120 and the Partial CD Recording toggle 118.
void OnSourceCommand(HWND hwnd, int command);
void OnPartialRecording(HWND hwnd);
