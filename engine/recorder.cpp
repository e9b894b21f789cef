// The recording engine: the Play and Save commands, the clock tick and the click on the
// time display. A sound-card recording goes through the MCI "waveaudio" device opened
// as "wave"; in Record from CD and Partial CD Recording the CD plays the track meanwhile
// and the clock tick saves the recording when the CD stops at the track's end.
#include <cstdio>
#include <cstring>

#include "conversion_plan.h"
#include "convert.h"
#include "dialogs.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "mainwnd.h"
#include "mci.h"
#include "naming.h"
#include "resource.h"
#include "rip.h"
#include "settings.h"

namespace {

const int kRecordingMenus[] = {IDM_WAVPARAMS, IDM_RIP, IDM_RECORDCD, IDM_LINEIN, IDM_CONVERT, IDM_PARTIAL, IDM_TRACKS};
const char kEnterPrompt[] = "Enter song name or click here:";
const DWORD kFormatFlags = MCI_SET_TIME_FORMAT | MCI_WAVE_SET_FORMATTAG | MCI_WAVE_SET_CHANNELS |
                           MCI_WAVE_SET_SAMPLESPERSEC | MCI_WAVE_SET_AVGBYTESPERSEC | MCI_WAVE_SET_BLOCKALIGN |
                           MCI_WAVE_SET_BITSPERSAMPLE;

bool CdPlayed() { return IsCdPlayed(g_engine.mode); }
bool BatchSetUp() { return g_tracks.selectedCount > 0; }

void EnableRecordingMenus(bool enabled) {
    for (int id : kRecordingMenus) EnableMenuCommand(id, enabled);
}

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

void ReportDiskSpace(HWND hwnd) {
    MessageBoxA(hwnd,
                "Either there is not enough available disk space to record this track, or this is a removeable "
                "drive and you need to insert the disk.",
                "Disk Space Error", MB_OK);
    FocusSongName();
}

// Play, step 3: position the CD, read the track's length and, unless the recording
// starts by hand, check the disk space. False ends the command.
bool PrepareCdTrack(HWND hwnd) {
    ComposeMci("seek cd to ", g_tracks.currentTrack);
    Succeeded(hwnd, SendMci(), "Seek Error");   // the command goes on
    QueryTrackLength(CurrentTrackNumber(g_tracks), g_tracks.currentLength, sizeof g_tracks.currentLength);
    if (g_engine.mode == kSourcePartial || EnoughDiskSpace()) return true;
    ReportDiskSpace(hwnd);
    return false;
}

void SetWaveFormat(HWND hwnd) {
    RecordingSettings& settings = g_settings.recording;
    if (settings.convertToMp3) {   // MP3 files are made from CD-format WAV files
        settings.sampleRate = 44100;
        settings.bitsPerSample = 16;
        settings.channels = 2;
    }
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

// Keeps drive + folder of the current file name in `folder`.
void KeepFolderOfCurrentFile(char (&folder)[kPathText]) {
    NameParts parts;
    SplitName(g_engine.currentFileName, &parts);
    CopyText(folder, parts.drive);
    size_t used = strlen(folder);
    CopyText(folder + used, sizeof folder - used, parts.folder);
}

// The song name of track t in a batch: the batch folder, the track's name and ".wav",
// in lower case.
void NameBatchTrack(const char* folder, int track) {
    char name[kFileNameText];
    // The ".wav" ending always stays: a name that would not fit is shortened before it.
    int room = static_cast<int>(sizeof name) - 1 - static_cast<int>(strlen(folder)) - 4;
    snprintf(name, sizeof name, "%s%.*s.wav", folder, room > 0 ? room : 0, g_tracks.trackNames[track]);
    LowerAscii(name);
    CopyText(g_engine.currentFileName, name);
    SetWindowTextA(g_app.songName, name);
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
        g_engine.trackEndWatch = true;
        if (!PlayCurrentTrack(hwnd)) return;
        if (BatchSetUp()) ++g_tracks.nextSelected;
    }
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

// Partial CD Recording: the CD already plays; Start begins the recording.
void StartPartialRecording(HWND hwnd) {
    g_tracks.nextSelected = 0;
    if (!StartWaveRecording(hwnd)) return;
    EnableControl(IDC_MAIN_SAVE, true);
    EnableControl(IDC_MAIN_PLAY, false);
    SetPromptLine(hwnd, "Click on Save to stop...");
}

// After a rip in a batch: the next chosen track is ripped inside a nested Play. True
// when it was, false when the batch is over (or there is none).
bool RipNextBatchTrack(HWND hwnd) {
    if (!BatchSetUp()) return false;
    if (++g_tracks.nextSelected >= g_tracks.selectedCount) {
        g_tracks.selectedCount = 0;
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
    SendCommand(hwnd, IDC_MAIN_PLAY);
    return true;
}

void RunRipping(HWND hwnd) {
    const int off[] = {IDC_MAIN_PLAYBACK, IDC_MAIN_EJECT};
    EnableControls(off, false);
    EnableControls(kTrackButtons, false);
    KillTimer(hwnd, kTimerDrivePoll);
    UpdateWindow(g_app.songName);
    bool ripped = RipCurrentTrack(hwnd);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
    const RecordingSettings& settings = g_settings.recording;
    bool converted = false;
    if (ripped && settings.convertToMp3 && settings.sampleRate == 44100 && settings.bitsPerSample == 16 &&
        settings.channels == 2) {
        SetCursor(g_app.busyCursor);
        converted = ConvertWavToMp3(hwnd);
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        if (converted) {
            ReplaceEnding(g_engine.currentFileName, "mp3");
            SetWindowTextA(g_app.songName, g_engine.currentFileName);
        }
    }
    if (RipNextBatchTrack(hwnd)) return;   // the nested Play finishes the batch
    SetPromptLine(hwnd, kEnterPrompt);
    EnableRecordingMenus(true);
    EnableControl(IDC_MAIN_SONGNAME, true);
    EnableControls(kTrackButtons, true);
    EnableControl(IDC_MAIN_EJECT, true);
    EnableControl(IDC_MAIN_PLAYBACK, ripped && (settings.keepWav || !converted));   // the WAV file is there
}

// The check before a conversion: the WAV file's format, found by walking its chunks,
// becomes the recording format; anything but 44,100 Hz, 16-bit stereo PCM is refused.
// False ends the command.
bool CheckWavToConvert(HWND hwnd) {
    mp3::WavLayout layout;
    if (!FindWavSound(g_engine.currentFileName, &layout)) {
        MessageBoxA(hwnd, "I can't find this WAV file.", "File Error", MB_OK);
        return false;
    }
    if (layout.kind == mp3::WavLayoutKind::kNotPcm) {   // no recording format would make it convertible
        MessageBoxA(hwnd, "This WAV file holds compressed sound. Only uncompressed (PCM) WAV files can be converted.",
                    "Error", MB_OK);
        return false;
    }
    RecordingSettings& settings = g_settings.recording;
    settings.bitsPerSample = layout.bitsPerSample;
    settings.sampleRate = static_cast<int32_t>(layout.sampleRate);
    settings.channels = layout.channels;
    KeepToAllowedValues(&settings);   // a format the program cannot record is not kept
    if (mp3::IsCdFormat(layout)) return true;
    MessageBoxA(hwnd, kCdFormatRequired, "Error", MB_OK);
    CheckMenuCommand(IDM_CONVERT, false);
    SendCommand(hwnd, IDM_RECORDCD);
    return false;
}

void RunConversion(HWND hwnd) {
    char typed[kFileNameText - 1] = {};
    GetWindowTextA(g_app.songName, typed, sizeof typed);
    NameParts parts;
    SplitName(typed, &parts);
    if (!BuildWavName(parts, g_engine.currentFileName, sizeof g_engine.currentFileName)) {
        MessageBoxA(hwnd, NameProblemText(kNameTooLong), "FileName Error", MB_OK);
        return;
    }
    SetWindowTextA(g_app.songName, g_engine.currentFileName);
    if (!CheckWavToConvert(hwnd)) return;
    char mp3Path[kPathText];
    if (mp3::Mp3PathFor(g_engine.currentFileName, mp3Path, sizeof mp3Path) && !ConfirmReplacing(hwnd, mp3Path)) return;
    RecordingSettings& settings = g_settings.recording;
    if (!settings.keepWav &&
        MessageBoxA(hwnd, "Are you sure you want to delete the WAV file after conversion?", "MP3 Convert", MB_YESNO) !=
            IDYES)
        settings.keepWav = true;
    SetCursor(g_app.busyCursor);
    const int off[] = {IDC_MAIN_PLAYBACK, IDC_MAIN_EXIT, IDC_MAIN_SONGNAME};
    EnableControls(off, false);
    UpdateWindow(g_app.songName);
    KillTimer(hwnd, kTimerDrivePoll);
    bool converted = ConvertWavToMp3(hwnd);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    EnableControl(IDC_MAIN_SONGNAME, true);
    EnableControl(IDC_MAIN_EXIT, true);
    EnableControl(IDC_MAIN_PLAYBACK, settings.keepWav || !converted);   // whenever the WAV file is still there
    if (settings.keepWav || !converted) {
        CopyText(g_engine.playBackFile, g_engine.currentFileName);
    } else {
        ReplaceEnding(g_engine.currentFileName, "mp3");
        SetWindowTextA(g_app.songName, g_engine.currentFileName);
    }
    SetPromptLine(hwnd, kEnterPrompt);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
}

// A Play after the last track of a batch was abandoned finds no next track: the batch
// is over, and the Play records the current track on its own.
void EndSpentBatch() {
    if (BatchSetUp() && g_tracks.nextSelected >= g_tracks.selectedCount) {
        g_tracks.selectedCount = 0;
        g_tracks.nextSelected = 0;
    }
}

// Save, steps 5–8: stop, save and close the wave device; every step runs whatever the
// one before did. True when the recording landed in the file.
bool StopAndSaveRecording(HWND hwnd) {
    g_engine.waveDevice = mciGetDeviceIDA("wave");
    MCI_GENERIC_PARMS generic = {};
    Succeeded(hwnd, WaveCommand(MCI_STOP, 0, &generic), "Stop Wave Error");
    if (CdPlayed()) Succeeded(hwnd, SendMciString("stop cd"), "Stop CD Error");
    bool saved = false;
    if (g_engine.soundRecorded) {
        MCI_SAVE_PARMSA save = {};
        save.lpfilename = g_engine.currentFileName;
        saved = Succeeded(hwnd, WaveCommand(MCI_SAVE, MCI_WAIT | MCI_SAVE_FILE, &save), "Save Wave Error");
    }
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

void AbandonRecording(HWND hwnd) {
    MCIERROR result = SendMciString("status wave mode");
    // Windows answers 263 for an alias that is not open, Wine 281.
    if (mciGetDeviceIDA("wave") == 0 || result == MCIERR_INVALID_DEVICE_NAME) return;
    KillTimer(hwnd, kTimerClock);
    EnableRecordingMenus(true);
    EnableControl(IDC_MAIN_SONGNAME, true);
    Succeeded(hwnd, SendMciString("stop wave"), "Stop Wave Error");
    Succeeded(hwnd, SendMciString("close wave"), "Close Wave Error");
    if (CdPlayed()) Succeeded(hwnd, SendMciString("stop cd"), "Stop CD Error");
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

}  // namespace

void OnPlay(HWND hwnd) {
    if (g_engine.mode == kSourceConvert) {
        RunConversion(hwnd);
        return;
    }
    char label[10] = {};
    GetWindowTextA(Control(IDC_MAIN_PLAY), label, sizeof label);
    bool start = strcmp(label, "Start") == 0;
    EndSpentBatch();
    if (IsCdSource(g_engine.mode) && !start && !PrepareCdTrack(hwnd)) return;
    if (g_engine.mode == kSourcePartial && start) {
        StartPartialRecording(hwnd);
        return;
    }
    RecordingSettings& settings = g_settings.recording;
    if (!settings.convertToMp3 && IsCdSource(g_engine.mode)) settings.keepWav = true;
    if (!RunNamingSteps(hwnd)) return;
    InvalidateArea(hwnd, kPromptLineArea);
    EnableRecordingMenus(false);
    EnableControl(IDC_MAIN_SONGNAME, false);
    if (CdPlayed() && BatchSetUp())
        SetPromptLine(hwnd, settings.convertToMp3 ? "Recording intermediate file..." : "Recording WAV file...");
    if (g_engine.mode == kSourceRip)
        RunRipping(hwnd);
    else
        RunSoundCardRecording(hwnd);
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
    QueryMci("status cd mode", g_mci.reply);
    if (strcmp(g_mci.reply, "stopped") == 0 && g_engine.trackEndWatch) {
        g_engine.trackEndWatch = false;
        SendCommand(hwnd, IDC_MAIN_SAVE);
    }
}

void OnClick(HWND hwnd, int x, int y) {
    if (StrictlyInside(g_app.units, kSongNamePrompt, x, y))
        OfferFileChoice(hwnd);
    else if (StrictlyInside(g_app.units, kTimeDisplayArea, x, y))
        AbandonRecording(hwnd);
}
