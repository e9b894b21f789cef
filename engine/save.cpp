// Save: the recording stops and lands in its file, written aside and renamed so that a
// file it replaces stays whole until the new one is; it is converted to MP3 when asked
// for, and the user is told; a batch goes on with its next track.
#include <cstdio>
#include <cstring>

#include "convert.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "files.h"
#include "mci.h"
#include "naming.h"
#include "recording_steps.h"
#include "resource.h"
#include "settings.h"
#include "window_kit.h"

namespace {

// Whether a new file can be made at `path` (none is left there).
bool CanCreate(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    DeleteFileA(path);
    return true;
}

// A file of the recording's name that was not there, or not as it is now, when its Play
// began (another program's, or another copy's of this one) is not replaced unasked:
// Cancel keeps it, and the recording takes the first free name "<name> (n).wav".
void KeepFileThatAppeared(HWND hwnd) {
    char* target = g_engine.currentFileName;
    FileStamp now = StampOf(target);
    if (!now.exists || SameStamp(now, g_engine.saveTarget) || ConfirmReplacing(hwnd, target)) return;
    char free[kFileNameText];
    for (int n = 2; n < 100 && NumberedName(target, n, free, sizeof free); ++n) {
        if (StampOf(free).exists) continue;
        LowerAscii(free);
        SetCurrentFileName(free);
        return;
    }
}

// The wave device's recording into the current file. It is saved under the working
// name "<name>.part" and then takes its own name, so a file it replaces stays whole
// until the new one is (a full disk keeps the old take). Only in a folder that takes no
// new files is it saved in place. True when the recording landed under its name.
bool SaveRecording(HWND hwnd) {
    char part[kPathText] = {};
    bool aside = PartialFileName(g_engine.currentFileName, part, sizeof part) && CanCreate(part);
    MCI_SAVE_PARMSA save = {};
    save.lpfilename = aside ? part : g_engine.currentFileName;
    if (!aside) KeepFileThatAppeared(hwnd);
    if (!Succeeded(hwnd, WaveCommand(MCI_SAVE, MCI_WAIT | MCI_SAVE_FILE, &save), "Save Wave Error")) {
        if (aside) DeleteFileA(part);
        return false;
    }
    if (!aside) return true;
    KeepFileThatAppeared(hwnd);
    if (MoveIntoPlace(part, g_engine.currentFileName)) return true;
    char text[kPathText * 2 + 120];
    snprintf(text, sizeof text,
             "The song could not be saved as %s: a file of this name is read-only or in use. The recording is kept "
             "as %s.",
             g_engine.currentFileName, part);
    MessageBoxA(hwnd, text, "Save Wave Error", MB_OK);
    return false;
}

// Save, steps 5–8: stop, save and close the wave device; every step runs whatever the
// one before did. True when the recording landed in the file.
bool StopAndSaveRecording(HWND hwnd) {
    g_engine.waveDevice = mciGetDeviceIDA("wave");
    MCI_GENERIC_PARMS generic = {};
    Succeeded(hwnd, WaveCommand(MCI_STOP, 0, &generic), "Stop Wave Error");
    if (CdPlayed()) Succeeded(hwnd, SendMciString("stop cd"), "Stop CD Error");
    bool saved = g_engine.soundRecorded && SaveRecording(hwnd);
    Succeeded(hwnd, WaveCommand(MCI_CLOSE, 0, &generic), "Close Wave Error");
    return saved;
}

// The notice of a single recording (titled with its file's name), or at the end of a
// batch the one for all its tracks; a batch's other tracks go on without one.
void TellWhatWasSaved(HWND hwnd, bool saved, bool converted) {
    if (!BatchRunning()) {
        if (converted) SetPromptLine(hwnd, "Converting: 100 %", false);
        if (saved)
            MessageBoxA(hwnd, "I have saved the song to your hard drive.", g_engine.currentFileName, MB_OK);
        else if (!g_engine.soundRecorded)
            MessageBoxA(hwnd, "Nothing was recorded: the track ended before Start was pressed.", "Partial CD Recording",
                        MB_OK);
    } else if (!BatchTrackLeft(g_batch)) {
        if (saved) MessageBoxA(hwnd, "I have saved the requested songs to your hard drive.", "Saved!", MB_OK);
        EndBatch(&g_batch);
    }
}

}  // namespace

void OnSave(HWND hwnd) {
    SetControlText(IDC_MAIN_EXIT, "E&xit");
    if (!g_engine.recording) {
        SetWindowTextA(hwnd, "CD Quorrel");
        return;
    }
    SetCursor(g_app.busyCursor);
    KillTimer(hwnd, kTimerClock);
    SetPromptLine(hwnd, "Saving  as WAV file...                 ", false);
    DrawPromptLine(hwnd);
    InvalidateArea(hwnd, kPromptLineArea);

    bool saved = StopAndSaveRecording(hwnd);
    if (saved) CopyText(g_engine.playBackFile, g_engine.currentFileName);   // Play Back plays the last file saved
    Conversions made = {false, false, true};
    if (saved && ConversionAsked()) made = ConvertRecording(hwnd, g_engine.currentFileName);
    bool converted = made.mp3 || made.flac;
    TellWhatWasSaved(hwnd, saved, converted);
    // A recording that could not be saved ends a batch: the next tracks would meet the same fault.
    if (!saved && g_engine.soundRecorded) EndBatch(&g_batch);

    EnableControl(IDC_MAIN_PLAYBACK, saved && made.wavKept);   // whenever the WAV file is there
    EnableControl(IDC_MAIN_PLAY, true);
    EnableControl(IDC_MAIN_SAVE, false);
    RestoreTransport();
    BackToIdle(hwnd);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    SetWindowTextA(hwnd, "CD Quorrel");
    if (BatchRunning()) SendCommand(hwnd, IDC_MAIN_PLAY);
}

