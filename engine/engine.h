// The recording engine's process-wide state: the source mode, the recording and
// play-back flags, the clock and the names of the files being made.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "source_table.h"

constexpr size_t kFileNameText = 256;   // current file name: 255 characters
constexpr size_t kPathText = 260;       // play-back file and folders: 259 characters

struct EngineState {
    SourceMode mode;
    bool recording;        // a sound-card recording (or an armed partial one) is under way
    bool trackEndWatch;    // the CD plays the recorded track; its end saves the recording
    bool playBack;         // a play-back is under way
    int elapsedSeconds;
    int elapsedMinutes;
    char currentFileName[kFileNameText];
    char playBackFile[kPathText];
    MCIDEVICEID waveDevice;
};

extern EngineState g_engine;

// Source commands 116, 117, 119, 120 and the Partial CD Recording toggle 118.
void OnSourceCommand(HWND hwnd, int command);
void OnPartialRecording(HWND hwnd);
