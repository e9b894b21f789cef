// Sound-card recording: the wave device opened as "wave" records what the sound card
// hears; in Record from CD and Partial CD Recording the CD plays the track meanwhile and
// the clock tick saves the recording when the CD stops at the track's end. The end of a
// recording, by Save, by the track's end or by a click on the time display, and the
// click on the song name prompt.
#include <cstdio>
#include <cstring>

#include "dialogs.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "mci.h"
#include "recording_steps.h"
#include "naming.h"
#include "resource.h"
#include "rip.h"
#include "settings.h"
#include "window_kit.h"

namespace {

const int kRecordingMenus[] = {IDM_WAVPARAMS, IDM_RIP, IDM_RECORDCD, IDM_LINEIN, IDM_CONVERT, IDM_PARTIAL, IDM_TRACKS, IDM_FLAC};
const DWORD kFormatFlags = MCI_SET_TIME_FORMAT | MCI_WAVE_SET_FORMATTAG | MCI_WAVE_SET_CHANNELS |
                           MCI_WAVE_SET_SAMPLESPERSEC | MCI_WAVE_SET_AVGBYTESPERSEC | MCI_WAVE_SET_BLOCKALIGN |
                           MCI_WAVE_SET_BITSPERSAMPLE;

void SetWaveFormat(HWND hwnd) {
    RecordingSettings& settings = g_settings.recording;
    if (settings.convertToMp3) ForceCdFormat(&settings);   // MP3 files are made from CD-format WAV files
    MCI_WAVE_SET_PARMS& format = g_engine.waveFormat;
    memset(&format, 0, sizeof format);
    int bytesPerSample = settings.bitsPerSample / 8;
    format.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = settings.channels;
    format.nSamplesPerSec = static_cast<DWORD>(settings.sampleRate);
    format.nAvgBytesPerSec = static_cast<DWORD>(bytesPerSample * settings.channels * settings.sampleRate);
    format.nBlockAlign = static_cast<WORD>(settings.channels * bytesPerSample);
    format.wBitsPerSample = settings.bitsPerSample;
    Succeeded(hwnd, WaveCommand(MCI_SET, kFormatFlags, &format), "Set Format Error");   // recording goes on
}

bool StartWaveRecording(HWND hwnd) {
    MCI_RECORD_PARMS record = {};
    if (!Succeeded(hwnd, WaveCommand(MCI_RECORD, 0, &record), "Record Wave Error")) return false;
    g_engine.soundRecorded = true;
    return true;
}


// Ends a recording (or an armed Partial CD Recording) without saving it: the wave
// device is stopped and closed, the CD stopped when `stopCd`, and the window made ready
// for the next Play. A batch is left as it is.
void DropRecording(HWND hwnd, bool stopCd) {
    KillTimer(hwnd, kTimerClock);
    EnableRecordingMenus(true);
    EnableControl(IDC_MAIN_SONGNAME, true);
    Succeeded(hwnd, SendMciString("stop wave"), "Stop Wave Error");
    Succeeded(hwnd, SendMciString("close wave"), "Close Wave Error");
    if (stopCd) Succeeded(hwnd, SendMciString("stop cd"), "Stop CD Error");
    ResetTimeDisplay(hwnd);
    EnableControl(IDC_MAIN_PLAY, true);
    const int off[] = {IDC_MAIN_SAVE, IDC_MAIN_PLAYBACK, IDC_MAIN_STOPPLAYBACK};
    EnableControls(off, false);
    RestoreTransport();
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
    g_engine.recording = false;
    g_engine.trackEndWatch = false;
    g_engine.armed = false;
    SetControlText(IDC_MAIN_EXIT, "E&xit");
    SetControlText(IDC_MAIN_PLAY, "Play");
    SetPromptLine(hwnd, kEnterPrompt);
}

// A recording of a CD track that cannot hold the whole track ends unsaved, and so does
// its batch; `text` (if any) tells why. When the drive may hold another disc than the
// one read, the disc is forgotten, so that the poll reads the drive afresh. The CD
// plays nothing that needs stopping.
void FailCdRecording(HWND hwnd, const char* text, bool discInDoubt) {
    DropRecording(hwnd, false);
    EndBatch(&g_batch);
    if (discInDoubt) ForgetDisc(hwnd);
    if (text) MessageBoxA(hwnd, text, "CD Error", MB_OK);
}

void FailCdRecording(HWND hwnd, const char* format, int track, bool discInDoubt) {
    char text[160];
    snprintf(text, sizeof text, format, track);
    FailCdRecording(hwnd, text, discInDoubt);
}

// Before the CD plays the current track: a data track has no audio, and a track the
// drive reports empty (a one-frame last track) plays nothing. False after ending the
// recording and saying so.
bool CurrentTrackPlayable(HWND hwnd) {
    int track = CurrentTrackNumber(g_tracks);
    char number[8], type[kLengthText] = {};
    snprintf(number, sizeof number, "%d", track);
    ComposeMci("status cd type track ", number);
    QueryComposedMci(type, sizeof type);
    // Windows' own MCI CD driver under Wine answers the type as a number: the drive's
    // table of contents tells too.
    if (strcmp(type, "other") == 0 || TrackIsData(track)) {
        FailCdRecording(hwnd, "Track %d is a data track, not audio: it cannot be recorded.", track, false);
        return false;
    }
    if (LengthFrames(g_tracks.currentLength) == 0) {
        FailCdRecording(hwnd, "Nothing of track %d can be recorded: the drive reports no audio in it.", track, false);
        return false;
    }
    return true;
}

// Plays the current track to the next track's start, or the last track to its end.
bool PlayCurrentTrack(HWND hwnd) {
    ComposeMci("play cd from ", g_tracks.currentTrack);
    AppendMci(":00:00:00 to ");
    int track = CurrentTrackNumber(g_tracks);
    if (track < g_tracks.trackCount) {
        char next[8];
        snprintf(next, sizeof next, "%d", track + 1);
        AppendMci(next);
        AppendMci(":00:00:00");
    } else {
        AppendMci(g_tracks.currentTrack);
        AppendMci(":");
        AppendMci(g_tracks.currentLength);
    }
    return Succeeded(hwnd, SendMci(hwnd), "CD Play Error");
}




// The CD has stopped while its track was recorded: at the track's end, or earlier
// (another disc, or the door opened and closed between two ticks).
bool TrackPlayedToEnd() {
    char position[kLengthText] = {};
    QueryMci("status cd position", position);
    return PlayReachedTrackEnd(position, CurrentTrackNumber(g_tracks), g_tracks.currentLength);
}

// Reads "status cd mode"; while the CD plays a recorded track, its stop ends the
// recording: saved at the track's end, dropped when the CD stopped early, was opened or
// is not ready. The track end watch is off afterwards.
void WatchPlayedTrack(HWND hwnd) {
    QueryMci("status cd mode", g_mci.reply);
    if (!g_engine.trackEndWatch) return;
    bool stopped = strcmp(g_mci.reply, "stopped") == 0;
    if (stopped && TrackPlayedToEnd()) {
        g_engine.trackEndWatch = false;
        SendCommand(hwnd, IDC_MAIN_SAVE);
    } else if (stopped || strcmp(g_mci.reply, "open") == 0 || strcmp(g_mci.reply, "not ready") == 0) {
        // Whatever was recorded holds part of the track and then silence.
        FailCdRecording(hwnd,
                        "The CD stopped before the end of track %d (the drive was opened or the disc was changed): "
                        "the recording was not saved.",
                        CurrentTrackNumber(g_tracks), true);
    }
}

void AbandonRecording(HWND hwnd) {
    MCIERROR result = SendMciString("status wave mode");
    // Windows answers 263 for an alias that is not open, Wine 281.
    if (mciGetDeviceIDA("wave") == 0 || result == MCIERR_INVALID_DEVICE_NAME) return;
    DropRecording(hwnd, CdPlayed());
}

}  // namespace

bool CdPlayed() { return IsCdPlayed(g_engine.mode); }

MCIERROR WaveCommand(UINT message, DWORD_PTR flags, void* params) {
    return mciSendCommandA(g_engine.waveDevice, message, flags, reinterpret_cast<DWORD_PTR>(params));
}

// Shows the MCI failure, if any; true when the command succeeded.
bool Succeeded(HWND hwnd, MCIERROR result, const char* title) {
    if (result != 0) ShowMciError(hwnd, result, title);
    return result == 0;
}

// The transport after a recording: the track buttons and Eject serve the CD sources
// that play the CD; otherwise Eject is off.
void RestoreTransport() {
    if (CdPlayed()) {
        EnableControls(kTrackButtons, true);
        EnableControl(IDC_MAIN_EJECT, true);
    } else {
        EnableControl(IDC_MAIN_EJECT, false);
    }
}

// The end of a recording, saved or abandoned: the window is ready for the next one.
void BackToIdle(HWND hwnd) {
    EnableRecordingMenus(true);
    EnableControl(IDC_MAIN_SONGNAME, true);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
    g_engine.trackEndWatch = false;
    g_engine.recording = false;
    g_engine.armed = false;
    SetControlText(IDC_MAIN_PLAY, "Play");
    ResetTimeDisplay(hwnd);
    SetPromptLine(hwnd, kEnterPrompt);
}


void EnableRecordingMenus(bool enabled) {
    for (int id : kRecordingMenus) EnableMenuCommand(id, enabled);
}

void RunSoundCardRecording(HWND hwnd) {
    if (!Succeeded(hwnd, SendMciString("open new type waveaudio alias wave"), "Open Wave Error")) {
        // Nothing was opened that a click on the clock could close: give the menus and
        // the song name field back, or the window would stay locked.
        EnableRecordingMenus(true);
        EnableControl(IDC_MAIN_SONGNAME, true);
        SetPromptLine(hwnd, kEnterPrompt);
        return;
    }
    g_engine.waveDevice = mciGetDeviceIDA("wave");
    g_engine.soundRecorded = false;
    SetWaveFormat(hwnd);
    KillTimer(hwnd, kTimerDrivePoll);
    if (!StartTimer(hwnd, kTimerClock, kClockPeriod)) return;
    g_engine.elapsed = {0, 0};
    bool partial = g_engine.mode == kSourcePartial;
    if (!partial && !StartWaveRecording(hwnd)) return;
    g_engine.recording = true;
    if (CdPlayed()) {
        if (!CurrentTrackPlayable(hwnd)) return;
        g_engine.trackEndWatch = true;
        if (!PlayCurrentTrack(hwnd)) {
            // The recording has begun, but the track will not play: nothing of it could
            // be saved. The disc may not be the one read.
            FailCdRecording(hwnd, nullptr, true);
            return;
        }
    }
    g_engine.saveTarget = StampOf(g_engine.currentFileName);   // what Save may replace unasked
    if (g_engine.mode == kSourceLineIn) g_tracks.currentLength[0] = '\0';
    SetControlText(IDC_MAIN_EXIT, "Exit");
    g_drive.state = kDriveReady;
    EnableControl(IDC_MAIN_SAVE, !partial);
    EnableControl(IDC_MAIN_PLAY, partial);
    g_engine.armed = partial;
    if (partial) SetControlText(IDC_MAIN_PLAY, "Start");
    const int off[] = {IDC_MAIN_PLAYBACK, IDC_MAIN_STOPPLAYBACK, IDC_MAIN_EJECT};
    EnableControls(off, false);
    EnableControls(kTrackButtons, false);
}

// Partial CD Recording: the CD already plays; Start begins the recording. The CD may
// have stopped since the last clock tick, the button still reading "Start": then Start
// gives the tick's answer (nothing recorded, or the drive opened) in its place.
void StartPartialRecording(HWND hwnd) {
    WatchPlayedTrack(hwnd);
    if (!g_engine.trackEndWatch) return;
    if (!StartWaveRecording(hwnd)) return;
    g_engine.armed = false;
    EnableControl(IDC_MAIN_SAVE, true);
    EnableControl(IDC_MAIN_PLAY, false);
    SetPromptLine(hwnd, "Click on Save to stop...");
}

void OnClockTick(HWND hwnd) {
    if ((g_engine.mode == kSourceConvert || g_engine.mode == kSourceRip) && !g_engine.playBack) return;
    bool minuteChanged = TickClock(&g_engine.elapsed);
    ClockText(g_engine.elapsed.minutes, g_display.minutesText);
    ClockText(g_engine.elapsed.seconds, g_display.secondsText);
    DrawClock(hwnd, minuteChanged);
    WatchPlayedTrack(hwnd);
}

void OnClick(HWND hwnd, int x, int y) {
    if (StrictlyInside(g_app.units, kSongNamePrompt, x, y))
        OfferFileChoice(hwnd);
    else if (StrictlyInside(g_app.units, kTimeDisplayArea, x, y))
        AbandonRecording(hwnd);
}
