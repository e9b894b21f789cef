// The main window: creation and shutdown in their fixed orders, the window procedure
// (one handler per message) and the command dispatcher (one call per command).
#include "mainwnd.h"

#include <cstring>

#include "auxcommands.h"
#include "dialogs.h"
#include "display.h"
#include "drive.h"
#include "engine.h"
#include "mci.h"
#include "name_lookup.h"
#include "resource.h"
#include "rip.h"
#include "settings.h"
#include "source_table.h"
#include "window_kit.h"

namespace {

const char kClassName[] = "CDQuorl";
const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// The child controls in creation order; positions in tenths of cw (x, width) and lh
// (y, height).
struct ControlSpec {
    const char* windowClass;
    const char* text;
    int id;
    int x, y, width, height;
    DWORD style;
};

const ControlSpec kControls[] = {
    {"button", "Play", IDC_MAIN_PLAY, 10, 33, 70, 15, kButtonStyle},
    {"button", "Save", IDC_MAIN_SAVE, 10, 50, 70, 15, kButtonStyle},
    {"button", "Play &Back", IDC_MAIN_PLAYBACK, 90, 33, 160, 15, kButtonStyle},
    {"button", "S&top Play Back", IDC_MAIN_STOPPLAYBACK, 90, 50, 160, 15, kButtonStyle},
    {"button", "E&ject", IDC_MAIN_EJECT, 260, 33, 70, 15, kButtonStyle},
    {"button", "E&xit", IDC_MAIN_EXIT, 260, 50, 70, 15, kButtonStyle},
    {"button", "<<", IDC_MAIN_FIRSTTRACK, 40, 68, 40, 10, kButtonStyle},
    {"button", "<", IDC_MAIN_PREVTRACK, 90, 68, 40, 10, kButtonStyle},
    {"button", ">", IDC_MAIN_NEXTTRACK, 210, 68, 40, 10, kButtonStyle},
    {"button", ">>", IDC_MAIN_LASTTRACK, 260, 68, 40, 10, kButtonStyle},
    {"edit", "", IDC_MAIN_SONGNAME, 10, 94, 320, 15, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
    {"listbox", "", IDC_MAIN_TRACKLIST, 10, 10, 20, 20, WS_CHILD},
};

const char kOpenCdDevice[] = "open cdaudio shareable alias cd";
const char kOpenCdAdvice[] =
    " Please click on the \"OK\" button and then try again. If problems persist, make sure no other CD playing "
    "software is running and that your CD player is configured to play audio CDs.";

// Measures the layout units and centres the window at its fixed size.
void PlaceWindow(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    g_app.units.cw = metrics.tmAveCharWidth;
    g_app.units.lh = metrics.tmHeight + metrics.tmExternalLeading;
    int screenWidth = GetDeviceCaps(dc, HORZRES), screenHeight = GetDeviceCaps(dc, VERTRES);
    g_app.width = Cw10(g_app.units, 350);
    g_app.height = Lh10(g_app.units, 155);
    MoveWindow(hwnd, (screenWidth - g_app.width) / 2, (screenHeight - g_app.height) / 2, g_app.width, g_app.height,
               FALSE);
    ReleaseDC(hwnd, dc);
}

void LoadEncoderLibrary(HWND hwnd) {
    g_app.encoder = LoadLibraryA("LameEnc.dll");
    if (!g_app.encoder)
        MessageBoxA(hwnd, "I Can't find the DLL file needed to make MP3 files.", "MP3 Error", MB_OK);
}

void CreateControls(HWND hwnd) {
    for (const ControlSpec& entry : kControls) {
        HWND control = CreateWindowExA(
            0, entry.windowClass, entry.text, entry.style, Cw10(g_app.units, entry.x), Lh10(g_app.units, entry.y),
            Cw10(g_app.units, entry.width), Lh10(g_app.units, entry.height), hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), g_app.instance, nullptr);
        if (entry.id == IDC_MAIN_SONGNAME) g_app.songName = control;
        if (entry.id == IDC_MAIN_TRACKLIST) g_app.trackList = control;
    }
}

// Opens the CD audio device; on failure explains and tries once more. False when
// both attempts fail.
bool OpenCdDevice(HWND hwnd) {
    SendMciString("stop cdaudio");   // results ignored: clears whatever another run left
    SendMciString("close cdaudio");
    MCIERROR result = SendMciString(kOpenCdDevice);
    if (result == 0) return true;
    ShowMciError(hwnd, result, "Open CD Device Error", kOpenCdAdvice, 256);
    return SendMciString(kOpenCdDevice) == 0;
}

void SelectStoredSource(HWND hwnd) {
    int commands[2];
    int count = StartupSourceCommands(g_settings.recording.sourceIndex, commands);
    for (int i = 0; i < count; ++i) SendCommand(hwnd, commands[i]);
}

LRESULT OnCreate(HWND hwnd) {
    g_app.main = hwnd;
    PlaceWindow(hwnd);
    bool settingsRead = ReadSettingsFile();
    LoadEncoderLibrary(hwnd);
    g_app.menu = GetMenu(hwnd);
    if (!g_settings.recording.convertToMp3) EnableMenuCommand(IDM_MP3PARAMS, false);
    ReadFlacSetting();
    CheckMenuCommand(IDM_FLAC, g_settings.convertToFlac);
    CreateControls(hwnd);
    InitDisplay();
    if (!OpenCdDevice(hwnd)) return -1;
    if (auxGetDevCapsA(0, &g_app.auxCaps, sizeof g_app.auxCaps) != MMSYSERR_NOERROR)
        g_app.auxCaps.dwSupport = 0;   // no auxiliary device: no volume control
    CopyText(g_tracks.currentTrack, "1");
    CopyText(g_engine.currentFileName, "untitled");
    ApplyDefaultsIfNeeded(settingsRead, &g_settings.recording);
    EnableControl(IDC_MAIN_EJECT, true);
    const int disabled[] = {IDC_MAIN_PLAY, IDC_MAIN_SAVE, IDC_MAIN_PLAYBACK, IDC_MAIN_STOPPLAYBACK};
    EnableControls(disabled, false);
    EnableControls(kTrackButtons, false);
    g_drive.state = kDriveReady;
    g_app.accelerators = LoadAcceleratorsA(g_app.instance, "CDQuorl_Accel");
    g_app.promptCursor = LoadCursorA(g_app.instance, "MouseCursor");
    g_app.busyCursor = LoadCursor(nullptr, IDC_WAIT);
    SetCursor(g_app.busyCursor);
    FocusSongName();
    SelectStoredSource(hwnd);
    PrepareFileChooser(hwnd);
    g_app.extractionHandle = OpenExtractionDrive();
    if (!StartTimer(hwnd, kTimerStartup, kPollPeriod)) return -1;
    SetPromptLine(hwnd, kEnterPrompt, false);
    return 0;
}

// The shutdown steps; they run once, from WM_DESTROY or from a creation that failed
// (a window whose creation fails is not always sent WM_DESTROY).
void Shutdown(HWND hwnd) {
    if (g_app.shutDown) return;
    g_app.shutDown = true;
    SendMciString("stop all");   // results ignored: the devices close anyway
    SendMciString("close all");
    KillTimer(hwnd, kTimerClock);
    KillTimer(hwnd, kTimerDrivePoll);
    if (g_app.promptCursor) DestroyCursor(g_app.promptCursor);
    g_app.promptCursor = nullptr;
    RestoreAutorun();
    EndAuxCommands(hwnd);
    AskToSaveSettings(hwnd);
    if (g_app.encoder) FreeLibrary(g_app.encoder);
    g_app.encoder = nullptr;
    CloseExtractionDrive(g_app.extractionHandle);
    g_app.extractionHandle = 0;
    PostQuitMessage(0);
}

LRESULT CreateOrShutDown(HWND hwnd) {
    if (OnCreate(hwnd) == 0) return 0;
    Shutdown(hwnd);
    return -1;
}

void OnGetMinMaxInfo(MINMAXINFO* info) {
    if (g_app.width == 0) return;   // before creation has measured the window
    info->ptMaxSize = {g_app.width, g_app.height};
    info->ptMaxPosition = {0, 0};
    info->ptMinTrackSize = {g_app.width, g_app.height};
    info->ptMaxTrackSize = {g_app.width, g_app.height};
}

void OnMouseMove(int x, int y) {
    if (!g_app.startupDone) SetCursor(g_app.busyCursor);
    if (StrictlyInside(g_app.units, kSongNamePrompt, x, y) && !g_engine.recording) SetCursor(g_app.promptCursor);
}

// The end of a play-back (or any MCI notification): stops the play-back once.
void OnMciNotify(HWND hwnd) {
    if (!g_engine.playBack) return;
    SendCommand(hwnd, IDC_MAIN_STOPPLAYBACK);
    g_engine.playBack = false;
}

void OnTimer(HWND hwnd, UINT_PTR id) {
    switch (id) {
        // A disc read for the first time is named from the name sources.
        case kTimerStartup:
            OnStartupTick(hwnd);
            NameDiscInDrive(hwnd);
            break;
        case kTimerDrivePoll:
            OnDrivePoll(hwnd);
            NameDiscInDrive(hwnd);
            break;
        case kTimerClock: OnClockTick(hwnd); break;
        default: break;
    }
}

void OnExit(HWND hwnd) { DestroyWindow(hwnd); }

// Commands 102–124 and the FLAC switch; every other id (the song name field's notifications among them)
// is ignored.
void OnCommand(HWND hwnd, int id) {
    switch (id) {
        case IDC_MAIN_PLAY: OnPlay(hwnd); break;
        case IDC_MAIN_SAVE: OnSave(hwnd); break;
        case IDC_MAIN_PLAYBACK: OnPlayBack(hwnd); break;
        case IDC_MAIN_STOPPLAYBACK: OnStopPlayBack(hwnd); break;
        case IDC_MAIN_EJECT: OnEject(hwnd); break;
        case IDC_MAIN_EXIT: OnExit(hwnd); break;
        case IDC_MAIN_PREVTRACK:
        case IDC_MAIN_NEXTTRACK:
        case IDC_MAIN_FIRSTTRACK:
        case IDC_MAIN_LASTTRACK: OnTrackButton(hwnd, id); break;
        case IDM_TRACKS: OnTracksToRecord(hwnd); break;
        case IDM_SAVESETTINGS: OnSaveSettings(hwnd); break;
        case IDM_RECORDCD:
        case IDM_LINEIN:
        case IDM_CONVERT:
        case IDM_RIP: OnSourceCommand(hwnd, id); break;
        case IDM_PARTIAL: OnPartialRecording(hwnd); break;
        case IDM_WAVPARAMS: OnWavParameters(hwnd); break;
        case IDM_MP3PARAMS: OnMp3Parameters(hwnd); break;
        case IDM_VOLUME: OnVolumeControl(hwnd); break;
        case IDM_BACKGROUND: OnRecordInBackground(hwnd); break;
        case IDM_HELPCONTENTS: OnHelpContents(hwnd); break;
        case IDM_ABOUT: OnAbout(hwnd); break;
        case IDM_FLAC:   // takes effect from the next Play; kept at once
            g_settings.convertToFlac = !g_settings.convertToFlac;
            CheckMenuCommand(IDM_FLAC, g_settings.convertToFlac);
            WriteFlacSetting();
            break;
        default: break;
    }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return CreateOrShutDown(hwnd);
        case WM_DESTROY: Shutdown(hwnd); return 0;
        case WM_PAINT: OnPaint(hwnd); return 0;
        case WM_GETMINMAXINFO: OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
        case WM_COMMAND: OnCommand(hwnd, LOWORD(wParam)); return 0;
        case WM_TIMER: OnTimer(hwnd, wParam); return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnClick(hwnd, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case MM_MCINOTIFY: OnMciNotify(hwnd); return 0;
        default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "Icon");
    wc.hIconSm = LoadIconA(instance, "Icon");
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = "CDQuorl_Menu";
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc) != 0;
}
