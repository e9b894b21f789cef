// Play in Convert WAV to MP3: the WAV file named by the song name field is checked to
// be in CD format (the recording settings take its format) and converted to MP3.
#include <cstdio>
#include <cstring>

#include "convert.h"
#include "display.h"
#include "engine.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"
#include "track_table.h"
#include "window_kit.h"

namespace {

enum WavHeaderRead { kWavRead, kWavMissing, kWavShort };

// Reads the format fields of a WAV file's header (18 bytes from byte 20).
WavHeaderRead ReadWavFormat(const char* path, WAVEFORMATEX* format) {
    char name[kFileNameText];
    CopyText(name, path);
    HMMIO file = mmioOpenA(name, nullptr, MMIO_READ);
    if (!file) return kWavMissing;
    memset(format, 0, sizeof *format);
    bool read = mmioSeek(file, 20, SEEK_SET) == 20 &&
                mmioRead(file, reinterpret_cast<HPSTR>(format), sizeof *format) == sizeof *format;
    mmioClose(file, 0);
    return read ? kWavRead : kWavShort;
}

}  // namespace

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
    WAVEFORMATEX format;
    WavHeaderRead header = ReadWavFormat(g_engine.currentFileName, &format);
    if (header == kWavMissing) {
        MessageBoxA(hwnd, "I can't find this WAV file.", "File Error", MB_OK);
        return;
    }
    RecordingSettings& settings = g_settings.recording;
    if (header == kWavRead) {   // a file too short for its header is no CD-format file either
        settings.bitsPerSample = format.wBitsPerSample;
        settings.sampleRate = static_cast<int32_t>(format.nSamplesPerSec);
        settings.channels = format.nChannels;
    }
    if (header != kWavRead || settings.sampleRate != 44100 || settings.bitsPerSample != 16 || settings.channels != 2) {
        MessageBoxA(hwnd,
                    "To convert, the WAV file must be recorded in stereo with 16 bits per sample and 44,100 samples "
                    "per second (Click on \"Options->Recording Parameters\").",
                    "Error", MB_OK);
        CheckMenuCommand(IDM_CONVERT, false);
        SendCommand(hwnd, IDM_RECORDCD);
        return;
    }
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
    EnableControl(IDC_MAIN_PLAYBACK, settings.keepWav);
    if (settings.keepWav || !converted) {
        CopyText(g_engine.playBackFile, g_engine.currentFileName);
    } else {
        ReplaceEnding(g_engine.currentFileName, "mp3");
        SetWindowTextA(g_app.songName, g_engine.currentFileName);
    }
    SetPromptLine(hwnd, kEnterPrompt);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
}

