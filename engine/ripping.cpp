// Play in Rip from CD: the current track is ripped bit for bit into the current file,
// converted to MP3 when asked for; in a batch the Play command then rips the next.
#include "convert.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "resource.h"
#include "rip.h"
#include "settings.h"
#include "window_kit.h"

bool RunRipping(HWND hwnd) {
    const int off[] = {IDC_MAIN_PLAYBACK, IDC_MAIN_EJECT};
    EnableControls(off, false);
    EnableControls(kTrackButtons, false);
    KillTimer(hwnd, kTimerDrivePoll);
    // The rip runs inside the command: the window shows its track and file name now.
    UpdateWindow(hwnd);
    UpdateWindow(g_app.songName);
    bool ripped = RipCurrentTrack(hwnd, g_engine.currentFileName, BatchContinues(g_batch));
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
    Conversions made = {false, false, true};
    char wav[kFileNameText];
    CopyText(wav, g_engine.currentFileName);
    // A rip is CD audio whatever the WAV parameters say: it can always be converted.
    if (ripped && ConversionAsked()) {
        SetCursor(g_app.busyCursor);
        made = ConvertRecording(hwnd, wav);
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
    }
    // The window is ready for the next Play also between the tracks of a batch, so that
    // a next track whose Play stops early (no disk space) leaves it usable: Play then
    // goes on with that track.
    SetPromptLine(hwnd, kEnterPrompt);
    EnableRecordingMenus(true);
    EnableControl(IDC_MAIN_SONGNAME, true);
    EnableControls(kTrackButtons, true);
    EnableControl(IDC_MAIN_EJECT, true);
    EnableControl(IDC_MAIN_PLAYBACK, ripped && made.wavKept);   // the WAV file is there
    // A track that could not be ripped ends its batch there (the window shows that
    // track, and the message said why); so does its last track.
    if (ripped && BatchRunning()) AddToCueSheet(wav, made);
    bool more = ripped && BatchRunning() && BatchTrackLeft(g_batch);
    if (ripped && BatchRunning() && !more) WriteCueSheet(hwnd);
    if (!more) EndBatch(&g_batch);
    return more;
}
