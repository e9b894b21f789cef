// The file choosers: one description of the system's file dialog for the whole program,
// used to choose the WAV file a recording is saved into or the WAV file to convert.
#include "dialogs.h"

#include "engine_state.h"
#include "naming.h"
#include "resource.h"
#include "track_table.h"
#include "window_kit.h"

ChooserState g_chooser;

namespace {

// One filter pair, each part zero-terminated, the list ended by an empty string.
const char kWaveFilter[] = "waveaudio files (*.wav)\0*.wav\0";
const DWORD kChooserFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_LONGNAMES;

void TakeBuffers(char (&file)[kChooserFileText], char (&fileTitle)[kChooserTitleText]) {
    g_chooser.description.lpstrFile = file;
    g_chooser.description.nMaxFile = kChooserFileText;
    g_chooser.description.lpstrFileTitle = fileTitle;
    g_chooser.description.nMaxFileTitle = kChooserTitleText;
}

// The current folder, or an empty text (the system's choice) when it does not fit.
void TakeInitialFolder() {
    DWORD length = GetCurrentDirectoryA(sizeof g_chooser.initialDir, g_chooser.initialDir);
    if (length == 0 || length >= sizeof g_chooser.initialDir) g_chooser.initialDir[0] = '\0';
}

}  // namespace

void PrepareFileChooser(HWND hwnd) {
    OPENFILENAMEA& ofn = g_chooser.description;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = hwnd;
    ofn.lpstrFilter = kWaveFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrInitialDir = g_chooser.initialDir;
    ofn.Flags = kChooserFlags;
    ofn.lpstrDefExt = "wav";
    TakeBuffers(g_chooser.file, g_chooser.fileTitle);
}

BOOL ChooseFileToSave(char (&file)[kChooserFileText], char (&fileTitle)[kChooserTitleText]) {
    TakeBuffers(file, fileTitle);
    return GetSaveFileNameA(&g_chooser.description);
}

BOOL ChooseFileToOpen(char (&file)[kChooserFileText], char (&fileTitle)[kChooserTitleText]) {
    TakeBuffers(file, fileTitle);
    return GetOpenFileNameA(&g_chooser.description);
}

// While a recording runs the song name field is closed to changes (its name is the one
// the recording will be saved under), and so is the prompt that stands for it.
void OfferFileChoice(HWND) {
    if (g_engine.recording || !IsWindowEnabled(g_app.songName)) return;
    TakeInitialFolder();
    bool convert = g_engine.mode == kSourceConvert;
    BOOL chosen = convert ? ChooseFileToOpen(g_chooser.file, g_chooser.fileTitle)
                          : ChooseFileToSave(g_chooser.file, g_chooser.fileTitle);
    if (chosen) {
        LowerAscii(g_chooser.file);
        ShowSongName(g_chooser.file);
        if (convert) {
            CopyText(g_engine.playBackFile, g_chooser.file);
            EnableControl(IDC_MAIN_PLAYBACK, true);
        }
    }
    FocusSongName();
}
