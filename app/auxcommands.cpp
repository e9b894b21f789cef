#include "auxcommands.h"

#include <shellapi.h>
#include <strsafe.h>

#include "background_volume.h"
#include "engine_state.h"
#include "quorrel_version.h"
#include "resource.h"
#include "window_kit.h"

namespace {

const char kHelpFile[] = "CDQuorrel.hlp";
const char kHelpPage[] = "CDQuorrel.html";

// Auxiliary device 0 (the CD player's output), whose capabilities window creation read.
class CdPlayerOutput : public AuxVolumeDevice {
public:
    bool SupportsVolume() const override { return (g_app.auxCaps.dwSupport & AUXCAPS_VOLUME) != 0; }
    bool GetVolume(uint32_t* volume) override {
        DWORD value = 0;
        if (auxGetVolume(0, &value) != MMSYSERR_NOERROR) return false;
        *volume = value;
        return true;
    }
    bool SetVolume(uint32_t volume) override { return auxSetVolume(0, volume) == MMSYSERR_NOERROR; }
};

BackgroundVolume g_background;
// Whether Help Contents handed our file to the help viewer: only then does Exit close it
// (the viewer's quit closes whatever help it shows, another program's too).
bool g_helpShown = false;

// Where no help viewer runs: the help as a web page, opened by the shell. The program
// carries the page as a resource and writes it into the temporary folder first, so it
// opens wherever the program was installed. False when it cannot be written or nothing
// opens it.
bool OpenHelpPage(HWND hwnd) {
    HRSRC found = FindResourceA(nullptr, "HelpPage", RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(nullptr, found) : 0;
    char folder[MAX_PATH], page[MAX_PATH];
    DWORD length = GetTempPathA(ARRAYSIZE(folder), folder);
    if (!bytes || size == 0 || length == 0 || length >= ARRAYSIZE(folder) ||
        FAILED(StringCchPrintfA(page, ARRAYSIZE(page), "%s%s", folder, kHelpPage)))
        return false;
    HANDLE file = CreateFileA(page, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool complete = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    if (!CloseHandle(file) || !complete) {
        DeleteFileA(page);
        return false;
    }
    HINSTANCE started = ShellExecuteA(hwnd, "open", page, nullptr, folder, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(started) > 32;
}

// Fills in the version and whether the MP3 encoder library is there.
void OnAboutInit(HWND dialog) {
    char text[64];
    StringCchPrintfA(text, ARRAYSIZE(text), "Version %s", QUORREL_VERSION_TEXT);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text);
    SetDlgItemTextA(dialog, IDC_ABOUT_ENCODER,
                    g_app.encoder ? "MP3 encoder: LameEnc.dll is loaded." : "MP3 encoder: LameEnc.dll was not found.");
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: OnAboutInit(dialog); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void OnVolumeControl(HWND hwnd) {
    // Not checked: the shell tells the user in its own way when the program is missing.
    // Windows versions after XP name their volume control "sndvol.exe".
    HINSTANCE started = ShellExecuteA(hwnd, "open", "sndvol32.exe", nullptr, "c:\\windows", SW_SHOW);
    if (reinterpret_cast<INT_PTR>(started) <= 32) ShellExecuteA(hwnd, "open", "sndvol.exe", nullptr, "c:\\windows", SW_SHOW);
    FocusSongName();
}

// Leaves the keyboard focus where it was, also when it tells the user something: the
// window a message box gives the focus back to is the main window itself.
// The menu item's check mark follows the switch, whether the volume followed or not.
void OnRecordInBackground(HWND hwnd) {
    bool wasOn = g_engine.background;
    g_engine.background = !wasOn;
    CheckMenuCommand(IDM_BACKGROUND, g_engine.background);
    CdPlayerOutput device;
    if (!SwitchBackground(wasOn, &device, &g_background)) {
        HWND focused = GetFocus();
        MessageBoxA(hwnd, "Your CD player won't let me control the volume. You'll have to do it manually.", "Error",
                    MB_OK);
        if (focused && IsWindow(focused)) SetFocus(focused);
    }
}

void OnHelpContents(HWND hwnd) {
    if (WinHelpA(hwnd, kHelpFile, HELP_CONTENTS, 0))
        g_helpShown = true;
    else if (!OpenHelpPage(hwnd))
        MessageBoxA(hwnd,
                    "There is no help viewer on this computer, and the help page CDQuorrel.html cannot be opened. "
                    "Check that a web browser is installed.",
                    "Help Error", MB_OK);
    FocusSongName();
}

void OnAbout(HWND hwnd) {
    DialogBoxParamA(g_app.instance, IDD_ABOUT, hwnd, AboutProc, 0);
    FocusSongName();
}

void EndAuxCommands(HWND hwnd) {
    CdPlayerOutput device;
    RestoreBackgroundVolume(&device, &g_background);
    if (g_helpShown) WinHelpA(hwnd, kHelpFile, HELP_QUIT, 0);
}
