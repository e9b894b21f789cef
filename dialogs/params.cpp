// The recording parameter dialogs. "RecParWav" sets the PCM format of recordings and
// whether they are converted to MP3; "RecParMP3" sets the MP3 bit rate and whether the
// WAV file is kept after a conversion. A radio button changes the recording settings as
// soon as it is clicked; OK keeps the changes and marks the settings as changed (so that
// the exit asks to save them), Cancel puts the values of the opening back.
#include <cstdint>

#include "dialogs.h"
#include "engine_state.h"
#include "resource.h"
#include "settings.h"
#include "window_kit.h"

namespace {

// ---- what the dialogs decide ----

enum FormatField { kFieldBits, kFieldRate, kFieldChannels };

struct FormatChoice {
    int id;
    FormatField field;
    int value;
};

const FormatChoice kFormatChoices[] = {
    {IDC_RECPARWAV_8BITS, kFieldBits, 8},          {IDC_RECPARWAV_16BITS, kFieldBits, 16},
    {IDC_RECPARWAV_11025, kFieldRate, 11025},      {IDC_RECPARWAV_22050, kFieldRate, 22050},
    {IDC_RECPARWAV_44100, kFieldRate, 44100},      {IDC_RECPARWAV_MONO, kFieldChannels, 1},
    {IDC_RECPARWAV_STEREO, kFieldChannels, 2},
};

struct BitRateChoice {
    int id;
    uint16_t kbps;
};

const BitRateChoice kBitRateChoices[] = {
    {IDC_RECPARMP3_32, 32}, {IDC_RECPARMP3_64, 64}, {IDC_RECPARMP3_128, 128}, {IDC_RECPARMP3_320, 320},
};

int FormatValue(const RecordingSettings& settings, FormatField field) {
    switch (field) {
        case kFieldBits: return settings.bitsPerSample;
        case kFieldRate: return settings.sampleRate;
        case kFieldChannels: return settings.channels;
    }
    return 0;
}

void SetFormatValue(RecordingSettings* settings, FormatField field, int value) {
    switch (field) {
        case kFieldBits: settings->bitsPerSample = static_cast<uint16_t>(value); break;
        case kFieldRate: settings->sampleRate = value; break;
        case kFieldChannels: settings->channels = static_cast<uint16_t>(value); break;
    }
}

const FormatChoice* FindFormatChoice(int id) {
    for (const FormatChoice& choice : kFormatChoices)
        if (choice.id == id) return &choice;
    return nullptr;
}

const BitRateChoice* FindBitRateChoice(int id) {
    for (const BitRateChoice& choice : kBitRateChoices)
        if (choice.id == id) return &choice;
    return nullptr;
}

// Whether the WAV parameters dialog opens on the CD format whatever was chosen before.
bool OpensOnCdFormat(const RecordingSettings& settings, SourceMode mode) {
    return settings.convertToMp3 || mode == kSourceRip;
}

// "MP3 Parameters..." serves while recordings are converted, and always in Convert WAV
// to MP3.
bool Mp3ParametersOffered(const RecordingSettings& settings, SourceMode mode) {
    return settings.convertToMp3 || mode == kSourceConvert;
}

void RestoreFormat(RecordingSettings* settings, const RecordingSettings& saved) {
    settings->bitsPerSample = saved.bitsPerSample;
    settings->sampleRate = saved.sampleRate;
    settings->channels = saved.channels;
    settings->mp3BitRate = saved.mp3BitRate;
}

// ---- the dialogs' state, handed over through DialogBoxParamA ----

struct WavDialog {
    SettingsState* settings;
    SourceMode mode;
    RecordingSettings saved;   // taken at the opening, after the CD format was forced
    bool accepted;             // left with OK
};

struct Mp3Dialog {
    SettingsState* settings;
    uint16_t savedBitRate;
};

template <typename State>
State* DialogState(HWND dialog) {
    return reinterpret_cast<State*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

template <typename State>
State* KeepDialogState(HWND dialog, LPARAM lParam) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return reinterpret_cast<State*>(lParam);
}

void CheckButton(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool ButtonChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Checks in each group the button of the current value; a value that matches no button
// leaves its group without a check.
void ShowFormat(HWND dialog, const RecordingSettings& settings) {
    for (const FormatChoice& choice : kFormatChoices)
        CheckButton(dialog, choice.id, FormatValue(settings, choice.field) == choice.value);
}

// ---- WAV parameters dialog ----

BOOL OnWavInit(HWND dialog, WavDialog* state) {
    RecordingSettings& settings = state->settings->recording;
    if (OpensOnCdFormat(settings, state->mode)) ForceCdFormat(&settings);
    ShowFormat(dialog, settings);
    CheckButton(dialog, IDC_RECPARWAV_CONVERT, settings.convertToMp3 || state->mode == kSourceConvert);
    state->saved = settings;
    return TRUE;   // the system puts the focus on the first control
}

void OnFormatChosen(WavDialog* state, const FormatChoice& choice) {
    SetFormatValue(&state->settings->recording, choice.field, choice.value);
}

// Checking "Convert to MP3 file?" moves the format to the one MP3 files are made from;
// unchecking it changes nothing.
void OnConvertClicked(HWND dialog, WavDialog* state) {
    if (!ButtonChecked(dialog, IDC_RECPARWAV_CONVERT)) return;
    ForceCdFormat(&state->settings->recording);
    ShowFormat(dialog, state->settings->recording);
}

void OnWavOk(HWND dialog, WavDialog* state) {
    RecordingSettings& settings = state->settings->recording;
    state->settings->changed = true;
    settings.convertToMp3 = ButtonChecked(dialog, IDC_RECPARWAV_CONVERT);
    EnableMenuCommand(IDM_MP3PARAMS, Mp3ParametersOffered(settings, state->mode));
    state->accepted = true;
    EndDialog(dialog, 1);
}

// Cancel, Escape and the close box: the values of the opening come back; convert to MP3
// keeps its value.
void OnWavCancel(HWND dialog, WavDialog* state) {
    RestoreFormat(&state->settings->recording, state->saved);
    if (state->mode == kSourceConvert) EnableMenuCommand(IDM_MP3PARAMS, true);
    state->accepted = false;
    EndDialog(dialog, 1);
}

// OK and Cancel (also Enter, Escape and the close box), the check box and the radio
// buttons; the buttons act on their clicks only.
void OnWavCommand(HWND dialog, int id, int code) {
    WavDialog* state = DialogState<WavDialog>(dialog);
    if (!state) return;
    const FormatChoice* choice = FindFormatChoice(id);
    switch (id) {
        case IDOK: OnWavOk(dialog, state); break;
        case IDCANCEL: OnWavCancel(dialog, state); break;
        case IDC_RECPARWAV_CONVERT:
            if (code == BN_CLICKED) OnConvertClicked(dialog, state);
            break;
        default:
            if (choice && code == BN_CLICKED) OnFormatChosen(state, *choice);
            break;
    }
}

INT_PTR CALLBACK WavDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnWavInit(dialog, KeepDialogState<WavDialog>(dialog, lParam));
        case WM_COMMAND: OnWavCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        default: return FALSE;
    }
}

// ---- MP3 parameters dialog ----

BOOL OnMp3Init(HWND dialog, Mp3Dialog* state) {
    const RecordingSettings& settings = state->settings->recording;
    for (const BitRateChoice& choice : kBitRateChoices)
        CheckButton(dialog, choice.id, settings.mp3BitRate == choice.kbps);
    CheckButton(dialog, IDC_RECPARMP3_KEEPWAV, settings.keepWav);
    state->savedBitRate = settings.mp3BitRate;
    return TRUE;
}

void OnBitRateChosen(Mp3Dialog* state, const BitRateChoice& choice) {
    state->settings->recording.mp3BitRate = choice.kbps;
}

void OnMp3Ok(HWND dialog, Mp3Dialog* state) {
    state->settings->recording.keepWav = ButtonChecked(dialog, IDC_RECPARMP3_KEEPWAV);
    state->settings->changed = true;
    EndDialog(dialog, 1);
}

void OnMp3Cancel(HWND dialog, Mp3Dialog* state) {
    state->settings->recording.mp3BitRate = state->savedBitRate;
    EndDialog(dialog, 1);
}

void OnMp3Command(HWND dialog, int id, int code) {
    Mp3Dialog* state = DialogState<Mp3Dialog>(dialog);
    if (!state) return;
    const BitRateChoice* choice = FindBitRateChoice(id);
    switch (id) {
        case IDOK: OnMp3Ok(dialog, state); break;
        case IDCANCEL: OnMp3Cancel(dialog, state); break;
        default:
            if (choice && code == BN_CLICKED) OnBitRateChosen(state, *choice);
            break;
    }
}

INT_PTR CALLBACK Mp3DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnMp3Init(dialog, KeepDialogState<Mp3Dialog>(dialog, lParam));
        case WM_COMMAND: OnMp3Command(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        default: return FALSE;
    }
}

void RunMp3Dialog(HWND hwnd) {
    Mp3Dialog state = {&g_settings, 0};
    // The result is 1 whichever button ended the dialog; a dialog that cannot be made
    // changes nothing.
    DialogBoxParamA(g_app.instance, IDD_RECPARMP3, hwnd, Mp3DialogProc, reinterpret_cast<LPARAM>(&state));
}

}  // namespace

void OnWavParameters(HWND hwnd) {
    WavDialog state = {&g_settings, g_engine.mode, {}, false};
    DialogBoxParamA(g_app.instance, IDD_RECPARWAV, hwnd, WavDialogProc, reinterpret_cast<LPARAM>(&state));
    if (state.accepted && g_settings.recording.convertToMp3) RunMp3Dialog(hwnd);
    FocusSongName();
}

void OnMp3Parameters(HWND hwnd) {
    RunMp3Dialog(hwnd);
    FocusSongName();
}
