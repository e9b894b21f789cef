// The recording engine: the Play and Save commands, the clock tick and the click on the
// time display. Play records through the sound card here and hands a rip to
// ripping.cpp and a conversion to conversion.cpp. A sound-card recording goes through
// the MCI "waveaudio" device opened as "wave"; in Record from CD and Partial CD
// Recording the CD plays the track meanwhile and the clock tick saves the recording
// when the CD stops at the track's end.
#include <cstdio>
#include <cstring>

#include "convert.h"
#include "dialogs.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "mci.h"
#include "naming.h"
#include "resource.h"
#include "rip.h"
#include "settings.h"
#include "window_kit.h"

namespace {

const int kRecordingMenus[] = {IDM_WAVPARAMS, IDM_RIP, IDM_RECORDCD, IDM_LINEIN, IDM_CONVERT, IDM_PARTIAL, IDM_TRACKS};
const DWORD kFormatFlags = MCI_SET_TIME_FORMAT | MCI_WAVE_SET_FORMATTAG | MCI_WAVE_SET_CHANNELS |
                           MCI_WAVE_SET_SAMPLESPERSEC | MCI_WAVE_SET_AVGBYTESPERSEC | MCI_WAVE_SET_BLOCKALIGN |
                           MCI_WAVE_SET_BITSPERSAMPLE;

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

void ReportDiskSpace(HWND hwnd, const char* text) {
    MessageBoxA(hwnd, text, "Disk Space Error", MB_OK);
    SetPromptLine(hwnd, kEnterPrompt);
    FocusSongName();
}

// Play, step 3: position the CD, read the track's length and, unless the recording
// starts by hand, check the disk space. False ends the command.
bool PrepareCdTrack(HWND hwnd) {
    ComposeMci("seek cd to ", g_tracks.currentTrack);
    Succeeded(hwnd, SendMci(), "Seek Error");   // the command goes on
    QueryTrackLength(CurrentTrackNumber(g_tracks), g_tracks.currentLength, sizeof g_tracks.currentLength);
    if (g_engine.mode == kSourcePartial || EnoughDiskSpace()) return true;
    ReportDiskSpace(hwnd,
                    "Either there is not enough available disk space to record this track, or this is a removeable "
                    "drive and you need to insert the disk.");
    return false;
}

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

// A batch: the next chosen track becomes the current track, recorded under its name in
// the folder of the batch's first file.
void TakeNextBatchTrack(HWND hwnd) {
    if (g_tracks.nextSelected == 0) KeepFolderOfCurrentFile(g_engine.cdBatchFolder);
    int track = g_tracks.selected[g_tracks.nextSelected];
    if (track < 1 || track > kMaxTrack) track = 1;
    NameBatchTrack(g_engine.cdBatchFolder, track);
    SetCurrentTrack(&g_tracks, track);
    InvalidateArea(hwnd, kTrackNumberArea);
    QueryTrackLength(track, g_tracks.currentLength, sizeof g_tracks.currentLength);
    InvalidateArea(hwnd, kTrackLengthArea);
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
    g_tracks.selectedCount = 0;
    g_tracks.nextSelected = 0;
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
        if (BatchSetUp()) TakeNextBatchTrack(hwnd);
        if (!CurrentTrackPlayable(hwnd)) return;
        g_engine.trackEndWatch = true;
        if (!PlayCurrentTrack(hwnd)) {
            // The recording has begun, but the track will not play: nothing of it could
            // be saved. The disc may not be the one read.
            FailCdRecording(hwnd, nullptr, true);
            return;
        }
        if (BatchSetUp()) ++g_tracks.nextSelected;
    }
    g_engine.saveTarget = StampOf(g_engine.currentFileName);   // what Save may replace unasked
    if (g_engine.mode == kSourceLineIn) g_tracks.currentLength[0] = '\0';
    SetControlText(IDC_MAIN_EXIT, "Exit");
    g_drive.state = kDriveReady;
    EnableControl(IDC_MAIN_SAVE, !partial);
    EnableControl(IDC_MAIN_PLAY, partial);
    if (partial) SetControlText(IDC_MAIN_PLAY, "Start");
    const int off[] = {IDC_MAIN_PLAYBACK, IDC_MAIN_STOPPLAYBACK, IDC_MAIN_EJECT};
    EnableControls(off, false);
    EnableControls(kTrackButtons, false);
}

void WatchPlayedTrack(HWND hwnd);

// Partial CD Recording: the CD already plays; Start begins the recording. The CD may
// have stopped since the last clock tick, the button still reading "Start": then Start
// gives the tick's answer (nothing recorded, or the drive opened) in its place.
void StartPartialRecording(HWND hwnd) {
    WatchPlayedTrack(hwnd);
    if (!g_engine.trackEndWatch) return;
    g_tracks.nextSelected = 0;
    if (!StartWaveRecording(hwnd)) return;
    EnableControl(IDC_MAIN_SAVE, true);
    EnableControl(IDC_MAIN_PLAY, false);
    SetPromptLine(hwnd, "Click on Save to stop...");
}

// A Play after the last track of a batch was abandoned finds no next track: the batch
// is over, and the Play records the current track on its own.
void EndSpentBatch() {
    if (BatchSetUp() && g_tracks.nextSelected >= g_tracks.selectedCount) {
        g_tracks.selectedCount = 0;
        g_tracks.nextSelected = 0;
    }
}

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
        CopyText(g_engine.currentFileName, free);
        SetWindowTextA(g_app.songName, free);
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
    if (MoveFileExA(part, g_engine.currentFileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
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

void TellWhatWasSaved(HWND hwnd, bool saved, bool converted) {
    if (g_tracks.nextSelected == 0) {
        if (converted) {
            ReplaceEnding(g_engine.currentFileName, "mp3");
            SetWindowTextA(g_app.songName, g_engine.currentFileName);
            SetPromptLine(hwnd, "Converting: 100 %", false);
        }
        if (saved)
            MessageBoxA(hwnd, "I have saved the song to your hard drive.", g_engine.currentFileName, MB_OK);
        else if (!g_engine.soundRecorded)
            MessageBoxA(hwnd, "Nothing was recorded: the track ended before Start was pressed.", "Partial CD Recording",
                        MB_OK);
    }
    if (g_tracks.nextSelected == g_tracks.selectedCount && g_tracks.nextSelected != 0) {
        if (saved) MessageBoxA(hwnd, "I have saved the requested songs to your hard drive.", "Saved!", MB_OK);
        g_tracks.selectedCount = 0;
    }
}

// The CD has stopped while its track was recorded: at the track's end, or earlier
// (another disc, or the door opened and closed between two ticks).
bool TrackPlayedToEnd() {
    char position[kLengthText] = {};
    QueryMci("status cd position", position);
    return PlayReachedTrackEnd(position, CurrentTrackNumber(g_tracks), g_tracks.currentLength);
}

// The end of a recording, saved or abandoned: the window is ready for the next one.
void BackToIdle(HWND hwnd) {
    EnableRecordingMenus(true);
    EnableControl(IDC_MAIN_SONGNAME, true);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
    g_engine.trackEndWatch = false;
    g_engine.recording = false;
    SetControlText(IDC_MAIN_PLAY, "Play");
    ResetTimeDisplay(hwnd);
    SetPromptLine(hwnd, kEnterPrompt);
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

// Shared with the rip and conversion steps (engine.h).
const char kEnterPrompt[] = "Enter song name or click here:";

void EnableRecordingMenus(bool enabled) {
    for (int id : kRecordingMenus) EnableMenuCommand(id, enabled);
}

bool BatchSetUp() { return g_tracks.selectedCount > 0; }

void KeepFolderOfCurrentFile(char (&folder)[kPathText]) {
    NameParts parts;
    SplitName(g_engine.currentFileName, &parts);
    CopyText(folder, parts.drive);
    size_t used = strlen(folder);
    CopyText(folder + used, sizeof folder - used, parts.folder);
}

void NameBatchTrack(const char* folder, int track) {
    char name[kFileNameText];
    BatchFileName(folder, g_tracks.trackNames[track], name, sizeof name);
    CopyText(g_engine.currentFileName, name);
    SetWindowTextA(g_app.songName, name);
}


namespace {

// Play for the current track: true when it ripped a track of a batch and the next one
// is set up to follow.
bool PlayCurrentTrackOnce(HWND hwnd) {
    char label[10] = {};
    GetWindowTextA(Control(IDC_MAIN_PLAY), label, sizeof label);
    bool start = strcmp(label, "Start") == 0;
    EndSpentBatch();
    if (IsCdSource(g_engine.mode) && !start && !PrepareCdTrack(hwnd)) return false;
    if (g_engine.mode == kSourcePartial && start) {
        StartPartialRecording(hwnd);
        return false;
    }
    RecordingSettings& settings = g_settings.recording;
    if (!settings.convertToMp3 && IsCdSource(g_engine.mode)) settings.keepWav = true;
    if (!RunNamingSteps(hwnd)) return false;
    // Record from Line In has no length to estimate before its name is known; it needs
    // room for a minute at least.
    if (g_engine.mode == kSourceLineIn && !EnoughDiskSpace()) {
        ReportDiskSpace(hwnd,
                        "There is not enough available disk space to record a minute, or this is a removeable drive "
                        "and you need to insert the disk.");
        return false;
    }
    InvalidateArea(hwnd, kPromptLineArea);
    EnableRecordingMenus(false);
    EnableControl(IDC_MAIN_SONGNAME, false);
    if (CdPlayed() && BatchSetUp())
        SetPromptLine(hwnd, settings.convertToMp3 ? "Recording intermediate file..." : "Recording WAV file...");
    if (g_engine.mode == kSourceRip) return RunRipping(hwnd);
    RunSoundCardRecording(hwnd);
    return false;
}

}  // namespace

void OnPlay(HWND hwnd) {
    if (g_engine.mode == kSourceConvert) {
        RunConversion(hwnd);
        return;
    }
    // A batch of rips runs here to its end, one track after the other; a batch of
    // recordings goes on from each track's Save.
    while (PlayCurrentTrackOnce(hwnd)) {
    }
}

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
    bool converted = saved && g_settings.recording.convertToMp3 && ConvertWavToMp3(hwnd);
    TellWhatWasSaved(hwnd, saved, converted);
    // A recording that could not be saved ends a batch: the next tracks would meet the same fault.
    if (!saved && g_engine.soundRecorded) g_tracks.selectedCount = 0;

    bool keepWav = g_settings.recording.keepWav;
    EnableControl(IDC_MAIN_PLAYBACK, saved && (keepWav || !converted));   // whenever the WAV file is there
    EnableControl(IDC_MAIN_PLAY, true);
    EnableControl(IDC_MAIN_SAVE, false);
    RestoreTransport();
    BackToIdle(hwnd);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    SetWindowTextA(hwnd, "CD Quorrel");
    if (BatchSetUp()) SendCommand(hwnd, IDC_MAIN_PLAY);
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
