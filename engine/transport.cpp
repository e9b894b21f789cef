// Play-back of the last recording through a second wave-audio device ("newwave"), the
// Eject button and the four track buttons.
#include <cstring>

#include "display.h"
#include "drive.h"
#include "engine.h"
#include "mci.h"
#include "names.h"
#include "resource.h"
#include "window_kit.h"

namespace {

MCIERROR DeviceCommand(UINT message, DWORD_PTR flags, void* params) {
    return mciSendCommandA(g_engine.waveDevice, message, flags, reinterpret_cast<DWORD_PTR>(params));
}

// A play-back that could not start leaves nothing running: the drive is watched again.
void PlayBackFailed(HWND hwnd, MCIERROR result, const char* title, bool deviceOpen) {
    ShowMciError(hwnd, result, title);
    if (deviceOpen) {
        MCI_GENERIC_PARMS generic = {};
        DeviceCommand(MCI_CLOSE, 0, &generic);
    }
    g_engine.playBack = false;
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
}

void OpenDoor(HWND hwnd) {
    KillTimer(hwnd, kTimerDrivePoll);
    SendMciString("stop cd");   // results ignored: the door opens all the same
    MCIERROR waveMode = SendMciString("status wave mode");
    if (mciGetDeviceIDA("wave") != 0 && waveMode != MCIERR_INVALID_DEVICE_NAME) {
        SendMciString("stop wave");
        SendMciString("close wave");
    }
    EnableControl(IDC_MAIN_PLAY, false);
    MCIERROR result = SendMciString("set cd door open");
    if (result != 0) ShowMciError(hwnd, result, "Eject Error 1");
    ShowSongName("");
    // Whatever disc the door closes on next (the same one, pressed again within a
    // second), the poll reads it anew.
    ForgetDisc(hwnd);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
}

void CloseDoor(HWND hwnd) {
    MCIERROR result = SendMciString("set cd door closed");
    if (result != 0) ShowMciError(hwnd, result, "Eject Error 2");
    g_drive.state = kDriveReady;
    EnableControl(IDC_MAIN_EJECT, true);
}

}  // namespace

void OnPlayBack(HWND hwnd) {
    g_engine.playBack = true;
    KillTimer(hwnd, kTimerDrivePoll);
    MCI_OPEN_PARMSA open = {};
    open.dwCallback = reinterpret_cast<DWORD_PTR>(hwnd);
    open.lpstrDeviceType = "waveaudio";
    open.lpstrElementName = g_engine.playBackFile;
    open.lpstrAlias = "newwave";
    MCIERROR result = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS,
                                      reinterpret_cast<DWORD_PTR>(&open));
    if (result != 0) {
        PlayBackFailed(hwnd, result, "Open NewWave Error", false);
        return;
    }
    g_engine.waveDevice = open.wDeviceID;
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(hwnd);
    result = DeviceCommand(MCI_PLAY, MCI_NOTIFY, &play);
    if (result != 0) {
        PlayBackFailed(hwnd, result, "Play NewWave Error", true);
        return;
    }
    EnableControl(IDC_MAIN_STOPPLAYBACK, true);
    const int off[] = {IDC_MAIN_PLAY, IDC_MAIN_SAVE, IDC_MAIN_PLAYBACK, IDC_MAIN_EJECT};
    EnableControls(off, false);
    EnableControls(kTrackButtons, false);
    g_engine.trackEndWatch = false;
    g_engine.elapsed = {0, 0};
    StartTimer(hwnd, kTimerClock, kClockPeriod);
}

void OnStopPlayBack(HWND hwnd) {
    g_engine.playBack = false;   // before the stop, so the notification it causes is ignored
    MCI_GENERIC_PARMS generic = {};
    MCIERROR result = DeviceCommand(MCI_STOP, 0, &generic);
    if (result != 0) {
        ShowMciError(hwnd, result, "Stop NewWave Error");
        return;
    }
    result = DeviceCommand(MCI_CLOSE, 0, &generic);
    if (result != 0) {
        ShowMciError(hwnd, result, "Close NewWave Error");
        return;
    }
    KillTimer(hwnd, kTimerClock);
    ResetTimeDisplay(hwnd);
    const int on[] = {IDC_MAIN_PLAY, IDC_MAIN_PLAYBACK};
    EnableControls(on, true);
    const int off[] = {IDC_MAIN_SAVE, IDC_MAIN_STOPPLAYBACK};
    EnableControls(off, false);
    bool cdSource = IsCdSource(g_engine.mode);
    if (cdSource) EnableControls(kTrackButtons, true);
    EnableControl(IDC_MAIN_EJECT, cdSource);
    StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
}

void OnEject(HWND hwnd) {
    QueryMci("status cd ready", g_mci.reply);
    if (strcmp(g_mci.reply, "false") == 0) g_drive.state = kDriveDoorOpen;
    if (strcmp(g_mci.reply, "true") == 0) g_drive.state = kDriveReady;
    if (g_drive.state == kDriveReady)
        OpenDoor(hwnd);
    else
        CloseDoor(hwnd);
}

void OnTrackButton(HWND hwnd, int command) {
    int current = CurrentTrackNumber(g_tracks), count = g_tracks.trackCount;
    switch (command) {
        case IDC_MAIN_PREVTRACK: ShowTrack(hwnd, PreviousTrack(current, count), false); break;
        case IDC_MAIN_NEXTTRACK: ShowTrack(hwnd, NextTrack(current, count), false); break;
        case IDC_MAIN_FIRSTTRACK: ShowTrack(hwnd, 1, false); break;
        case IDC_MAIN_LASTTRACK: ShowTrack(hwnd, count < 1 ? 1 : count, false); break;
        default: break;
    }
    ShowSourceSongName();
}
