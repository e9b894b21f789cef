// The Play command: the song name field is read once, the CD track is positioned and
// its length read, the disk-space estimate and the naming steps run, and then the step
// of the source: the rip (ripping.cpp), the conversion (conversion.cpp) or the
// sound-card recording (recording.cpp). In Partial CD Recording a second Play is the
// Start of the armed recording.
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "mci.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"
#include "window_kit.h"

namespace {

void ReportDiskSpace(HWND hwnd, const char* text) {
    MessageBoxA(hwnd, text, "Disk Space Error", MB_OK);
    SetPromptLine(hwnd, kEnterPrompt);
    FocusSongName();
}

// Play, step 3: position the CD, read the track's length and, unless the recording
// starts by hand, check the disk space. False ends the command.
bool PrepareCdTrack(HWND hwnd, const char* typed) {
    ComposeMci("seek cd to ", g_tracks.currentTrack);
    MCIERROR result = SendMci();
    if (result != 0) ShowMciError(hwnd, result, "Seek Error");   // the command goes on
    QueryTrackLength(CurrentTrackNumber(g_tracks), g_tracks.currentLength, sizeof g_tracks.currentLength);
    if (g_engine.mode == kSourcePartial || EnoughDiskSpace(typed)) return true;
    ReportDiskSpace(hwnd,
                    "Either there is not enough available disk space to record this track, or this is a removeable "
                    "drive and you need to insert the disk.");
    return false;
}

// Play for the current track: true when it ripped a track of a batch and another one
// is left to follow.
bool PlayCurrentTrackOnce(HWND hwnd) {
    if (g_engine.armed) {
        StartPartialRecording(hwnd);
        return false;
    }
    char typed[kFileNameText - 1];   // at most 254 characters are taken
    ReadSongNameField(typed, sizeof typed);
    bool batch = BatchGoesOn();
    if (batch) ShowNextBatchTrack(hwnd);
    if (IsCdSource(g_engine.mode) && !PrepareCdTrack(hwnd, typed)) return false;
    RecordingSettings& settings = g_settings.recording;
    if (!ConversionAsked() && IsCdSource(g_engine.mode)) settings.keepWav = true;
    if (!RunNamingSteps(hwnd, typed)) return false;
    // Record from Line In has no length to estimate before its name is known; it needs
    // room for a minute at least.
    if (g_engine.mode == kSourceLineIn && !EnoughDiskSpace(typed)) {
        ReportDiskSpace(hwnd,
                        "There is not enough available disk space to record a minute, or this is a removeable drive "
                        "and you need to insert the disk.");
        return false;
    }
    if (batch) TakeBatchTrackForPlay();
    InvalidateArea(hwnd, kPromptLineArea);
    EnableRecordingMenus(false);
    EnableControl(IDC_MAIN_SONGNAME, false);
    if (IsCdPlayed(g_engine.mode) && batch)
        SetPromptLine(hwnd, settings.convertToMp3 ? "Recording intermediate file..." : "Recording WAV file...");
    if (g_engine.mode == kSourceRip) return RunRipping(hwnd);
    RunSoundCardRecording(hwnd);
    return false;
}

}  // namespace

void OnPlay(HWND hwnd) {
    if (g_engine.mode == kSourceConvert) {
        char typed[kFileNameText - 1];
        ReadSongNameField(typed, sizeof typed);
        RunConversion(hwnd, typed);
        return;
    }
    // A batch of rips runs here to its end, one track after the other; a batch of
    // recordings goes on from each track's Save.
    while (PlayCurrentTrackOnce(hwnd)) {
    }
}
