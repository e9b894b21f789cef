// Play in Convert WAV to MP3: the WAV file named by the song name field is checked to
// hold 44,100 Hz, 16-bit stereo PCM (the recording settings take its format), an MP3
// file of its name is asked about, and it is converted to MP3. And the conversions of
// every rip and saved recording: FLAC, MP3 or both.
#include "conversion_plan.h"
#include "convert.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"
#include "track_table.h"
#include "window_kit.h"

namespace {

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

}  // namespace

void RunConversion(HWND hwnd, const char* typed) {
    NameParts parts;
    SplitName(typed, &parts);
    if (!BuildWavName(parts, g_engine.currentFileName, sizeof g_engine.currentFileName)) {
        MessageBoxA(hwnd, NameProblemText(kNameTooLong), "FileName Error", MB_OK);
        return;
    }
    ShowSongName(g_engine.currentFileName);
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
    mp3::Mp3Tag tag = TagOfFileName(g_engine.currentFileName);   // a chosen file names only its title
    bool converted = ConvertWavToMp3(hwnd, g_engine.currentFileName, &tag);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    EnableControl(IDC_MAIN_SONGNAME, true);
    EnableControl(IDC_MAIN_EXIT, true);
    EnableControl(IDC_MAIN_PLAYBACK, settings.keepWav || !converted);   // whenever the WAV file is still there
    if (settings.keepWav || !converted) {
        CopyText(g_engine.playBackFile, g_engine.currentFileName);
    } else {
        char mp3[kFileNameText];
        CopyText(mp3, g_engine.currentFileName);
        ReplaceEnding(mp3, "mp3");
        SetCurrentFileName(mp3);
    }
    SetPromptLine(hwnd, kEnterPrompt);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
}

bool ConversionAsked() { return g_settings.recording.convertToMp3 || g_settings.convertToFlac; }

Conversions ConvertRecording(HWND hwnd, const char* wavPath) {
    char wav[kFileNameText];
    CopyText(wav, wavPath);
    const RecordingSettings& settings = g_settings.recording;
    Conversions made = {false, false, true};
    // A rip or recording of a CD track is tagged as the track; one of the line in by its
    // file's name.
    const mp3::Mp3Tag tag = IsCdSource(g_engine.mode) ? TagOfTrack(CurrentTrackNumber(g_tracks), wav)
                                                      : TagOfFileName(wav);
    if (g_settings.convertToFlac) made.flac = ConvertWavToFlac(hwnd, wav, tag);
    if (settings.convertToMp3) {
        made.mp3 = ConvertWavToMp3(hwnd, wav, &tag, !g_settings.convertToFlac || made.flac);
        made.wavKept = settings.keepWav || !made.mp3 || (g_settings.convertToFlac && !made.flac);
    } else if (g_settings.convertToFlac && made.flac && !settings.keepWav) {
        made.wavKept = !DeleteFileA(wav);
    }
    if (!made.wavKept) g_engine.playBack = false;
    char shown[kFileNameText];
    CopyText(shown, wav);
    if (made.mp3)
        ReplaceEnding(shown, "mp3");
    else if (made.flac && !made.wavKept)
        mp3::FlacPathFor(wav, shown, sizeof shown);
    SetCurrentFileName(shown);
    return made;
}
