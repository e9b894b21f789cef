// Play in Rip from CD: the current track is ripped bit for bit into the file the naming
// steps chose, converted to MP3 when asked for, and in a batch the next chosen track is
// set up for the Play command to rip next.
#include "convert.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "resource.h"
#include "rip.h"
#include "settings.h"
#include "window_kit.h"

namespace {

// After a rip in a batch: the next chosen track becomes the current track, under its
// own name. True when there is one, false when the batch is over (or there is none). A
// track that could not be ripped ends the batch there: the window shows that track, and
// the message said why.
bool SetUpNextBatchTrack(HWND hwnd, bool ripped) {
    if (!BatchSetUp()) return false;
    if (!ripped || ++g_tracks.nextSelected >= g_tracks.selectedCount) {
        g_tracks.selectedCount = 0;
        g_tracks.nextSelected = 0;
        return false;
    }
    if (g_tracks.nextSelected == 1) KeepFolderOfCurrentFile(g_engine.ripBatchFolder);
    int track = g_tracks.selected[g_tracks.nextSelected];
    if (track < 1 || track > kMaxTrack) track = 1;
    SetCurrentTrack(&g_tracks, track);
    NameBatchTrack(g_engine.ripBatchFolder, track);
    QueryTrackLength(track, g_tracks.currentLength, sizeof g_tracks.currentLength);
    InvalidateArea(hwnd, kTrackNumberArea);
    InvalidateArea(hwnd, kTrackLengthArea);
    UpdateWindow(hwnd);
    return true;
}

}  // namespace

bool RunRipping(HWND hwnd) {
    const int off[] = {IDC_MAIN_PLAYBACK, IDC_MAIN_EJECT};
    EnableControls(off, false);
    EnableControls(kTrackButtons, false);
    KillTimer(hwnd, kTimerDrivePoll);
    UpdateWindow(g_app.songName);
    bool ripped = RipCurrentTrack(hwnd);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
    const RecordingSettings& settings = g_settings.recording;
    bool converted = false;
    // A rip is CD audio whatever the WAV parameters say: it can always be converted.
    if (ripped && settings.convertToMp3) {
        SetCursor(g_app.busyCursor);
        converted = ConvertWavToMp3(hwnd);
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        if (converted) {
            ReplaceEnding(g_engine.currentFileName, "mp3");
            SetWindowTextA(g_app.songName, g_engine.currentFileName);
        }
    }
    // The window is ready for the next Play also between the tracks of a batch, so that
    // a next track whose Play stops early (no disk space) leaves it usable: Play then
    // goes on with that track.
    SetPromptLine(hwnd, kEnterPrompt);
    EnableRecordingMenus(true);
    EnableControl(IDC_MAIN_SONGNAME, true);
    EnableControls(kTrackButtons, true);
    EnableControl(IDC_MAIN_EJECT, true);
    EnableControl(IDC_MAIN_PLAYBACK, ripped && (settings.keepWav || !converted));   // the WAV file is there
    return SetUpNextBatchTrack(hwnd, ripped);
}

