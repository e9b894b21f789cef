// The source commands of the Source menu: each puts the program into one source mode
// and sets up the menus, the Play button and the track table for it.
#include <cstring>

#include "display.h"
#include "drive.h"
#include "engine.h"
#include "resource.h"
#include "settings.h"
#include "source_table.h"
#include "window_kit.h"

namespace {

void CheckList(const int* ids, size_t count, bool checked) {
    for (size_t i = 0; i < count && ids[i] != 0; ++i) CheckMenuCommand(ids[i], checked);
}

void EnableList(const int* ids, size_t count, bool enabled) {
    for (size_t i = 0; i < count && ids[i] != 0; ++i) EnableMenuCommand(ids[i], enabled);
}

// Partial CD Recording on or off, its menu item's check mark with it.
void SetPartial(bool on) {
    g_engine.partial = on;
    CheckMenuCommand(IDM_PARTIAL, on);
}

// A batch of tracks belongs to the source it was chosen for: another source ends it.
void ChangeMode(SourceMode mode) {
    if (mode != g_engine.mode) EndBatch(&g_batch);
    g_engine.mode = mode;
    g_settings.recording.sourceIndex = mode;
}

void ApplyCurrentTrack(const SourceCommandEffect& effect) {
    switch (effect.trackRule) {
        case kTrackOneIfLetter:
            if (IsLetterTrack(g_tracks)) SetCurrentTrack(&g_tracks, 1);
            break;
        case kTrackLineIn: SetCurrentTrackText(&g_tracks, "L"); break;
        case kTrackConvert: SetCurrentTrackText(&g_tracks, "C"); break;
    }
    if (!effect.lengthFromTable)
        g_tracks.currentLength[0] = '\0';
    else if (g_tracks.currentLength[0] == '\0')
        CopyText(g_tracks.currentLength, g_tracks.lengths[CurrentTrackNumber(g_tracks)]);
}

}  // namespace

void OnSourceCommand(HWND hwnd, int command) {
    const SourceCommandEffect* effect = FindSourceCommand(command);
    if (!effect) return;
    RecordingSettings& settings = g_settings.recording;
    bool mp3Off = !settings.convertToMp3;
    // Record from CD while Partial CD Recording is checked keeps it in force: the check
    // mark stays, and so does the recording started by hand.
    bool keepPartial = effect->mode == kSourceRecordCd && g_engine.partial;

    ChangeMode(keepPartial ? kSourcePartial : effect->mode);
    if (effect->keepWavWhenMp3Off && mp3Off) settings.keepWav = true;
    if (effect->partialOff) SetPartial(false);
    CheckMenuCommand(effect->checked, true);
    CheckList(effect->unchecked, sizeof effect->unchecked / sizeof effect->unchecked[0], false);
    EnableList(effect->enabled, sizeof effect->enabled / sizeof effect->enabled[0], true);
    EnableList(effect->grayed, sizeof effect->grayed / sizeof effect->grayed[0], false);
    if (effect->grayMp3ParamsWhenOff && mp3Off) EnableMenuCommand(IDM_MP3PARAMS, false);
    if (keepPartial) EnableMenuCommand(IDM_TRACKS, false);   // no batches in Partial CD Recording
    SetControlText(IDC_MAIN_PLAY, effect->playLabel);
    ApplyCurrentTrack(*effect);
    SetPromptLine(hwnd, kEnterPrompt, false);
    EnableControls(kTrackButtons, effect->transportEnabled);
    EnableControl(IDC_MAIN_EJECT, effect->transportEnabled);
    if (effect->disablePlayBack) EnableControl(IDC_MAIN_PLAYBACK, false);
    if (effect->forceCdFormat) ForceCdFormat(&settings);
    InvalidateRect(hwnd, nullptr, TRUE);
    FocusSongName();
}

// Partial CD Recording is a toggle beside Record from CD: the CD plays and the user
// starts the recording by hand.
void OnPartialRecording(HWND) {
    if (!g_engine.partial) {
        SetPartial(true);
        ChangeMode(kSourcePartial);
        EnableMenuCommand(IDM_TRACKS, false);
        const int enabled[] = {IDM_RIP, IDM_RECORDCD, IDM_LINEIN, IDM_PARTIAL};
        EnableList(enabled, 4, true);
    } else {
        SetPartial(false);
        // The stored source follows the mode, so a saved setting starts in Record from CD.
        ChangeMode(kSourceRecordCd);
        EnableMenuCommand(IDM_TRACKS, true);
        CheckMenuCommand(IDM_RIP, false);
        CheckMenuCommand(IDM_CONVERT, false);
    }
}
