// The recording engine's process-wide state: the source mode, the recording and
// play-back flags, the clock and the names of the files being made. The engine's
// commands (engine/) change it; the display, the drive watch, the rip, the conversion
// and the dialogs read it.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "clock.h"
#include "source_mode.h"

constexpr size_t kFileNameText = 256;   // current file name: 255 characters
constexpr size_t kPathText = 260;       // play-back file and folders: 259 characters

// What lay at a file's path at one moment: whether a file was there, its size and the
// time it was last written.
struct FileStamp {
    bool exists;
    ULONGLONG size;
    FILETIME written;
};

struct EngineState {
    SourceMode mode;
    bool partial;          // Partial CD Recording is on (its menu item shows the check)
    bool armed;            // a partial recording waits for Start while the CD plays
    bool background;       // Record in Background is on
    bool recording;        // a sound-card recording (or an armed partial one) is under way
    bool soundRecorded;    // the wave device has been told to record since it was opened
    bool trackEndWatch;    // the CD plays the recorded track; its end saves the recording
    bool playBack;         // a play-back is under way
    ElapsedClock elapsed;   // the time display's count of the recording or play-back
    // The file being recorded, ripped or converted: set where the naming steps read the
    // song name field (and by the batch, the file chooser's choice and Save's free name
    // are shown in the field); the field shows it.
    char currentFileName[kFileNameText];
    char playBackFile[kPathText];
    FileStamp saveTarget;            // the recording's file as it was when its Play began
    MCIDEVICEID waveDevice;          // "wave" while recording, "newwave" while playing back
    MCI_WAVE_SET_PARMS waveFormat;
};

extern EngineState g_engine;
