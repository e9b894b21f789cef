// The track selection dialog ("Tracks", command 112): the user picks tracks of the disc
// into the record list (double-click in the disc list), renames an entry (choose it,
// type the name, press Enter), removes one (double-click in the record list), and Save
// makes the list the batch the recording engine records one track after the other.
//
// An entry of the record list belongs to a track only through its text: the lowest-
// numbered track whose name equals it. Track names live in the track table for the
// whole run; the texts last saved are kept in the main window's hidden track list, so
// that the next opening shows them again.
//
// Enter belongs to the dialog while it is open: a message filter of the dialog's own
// thread takes the key before the dialog manager would turn it into a press of Save
// (the button with id IDOK), and commits the rename instead. Other programs keep their
// Enter key.
#include <cstdio>
#include <string>
#include <vector>

#include "dialogs.h"
#include "display.h"
#include "drive.h"
#include "engine_state.h"
#include "mci.h"
#include "names.h"
#include "naming.h"
#include "resource.h"
#include "track_selection.h"
#include "window_kit.h"

namespace {

const int kRecordListExtent = 250;   // pixels a long name can be scrolled to

struct TracksDialog {
    HWND dialog;
    HHOOK enterFilter;     // takes Enter while the dialog is open
    RenameTarget rename;   // the entry a rename replaces, and the track it names
    TrackChoice* choice;   // what the dialog was opened with, and what it chose
};

// The open dialog, for the message filter (a hook procedure gets no parameter of its
// own); null while the dialog is closed.
TracksDialog* g_openTracksDialog = nullptr;

TracksDialog* DialogState(HWND dialog) { return reinterpret_cast<TracksDialog*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

HWND DiscList(HWND dialog) { return GetDlgItem(dialog, IDC_TRACKS_DISC); }
HWND RecordList(HWND dialog) { return GetDlgItem(dialog, IDC_TRACKS_RECORD); }

int EntryCount(HWND list) {
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

// The text of entry `index` of a list box; empty when there is no such entry or its
// text does not fit `size` characters (no track name is that long, so such a text
// would belong to no track anyway).
void EntryText(HWND list, int index, char* text, size_t size) {
    text[0] = '\0';
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || static_cast<size_t>(length) >= size) return;
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
}

std::vector<std::string> EntryTexts(HWND list) {
    std::vector<std::string> texts;
    int count = EntryCount(list);
    for (int i = 0; i < count; ++i) {
        char text[kTrackNameText];
        EntryText(list, i, text, sizeof text);
        texts.emplace_back(text);
    }
    return texts;
}

void AppendEntry(HWND list, const char* text) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// The selected entry of a list box, or -1.
int SelectedEntry(HWND list) {
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

void SetRenameText(HWND dialog, const char* text) { SetDlgItemTextA(dialog, IDC_TRACKS_RENAME, text); }

// ---- opening ----

// Reads the track count anew; its result is not looked at: a failed or odd reply
// reads as no tracks and leaves the disc list empty.
void FillDiscList(HWND dialog) {
    char reply[kMciQueryLength + 1] = {};
    QueryMci("status cd number of tracks", reply);
    g_tracks.trackCount = TrackCountFromReply(reply);
    for (int track = 1; track <= g_tracks.trackCount; ++track) {
        char entry[8];
        snprintf(entry, sizeof entry, "Track%d", track);
        AppendEntry(DiscList(dialog), entry);
    }
}

// The entries saved last, while they still stand for a batch.
void ShowSavedSelection(HWND dialog, int shown) {
    int saved = EntryCount(g_app.trackList);
    for (int i = 0; i < shown && i < saved; ++i) {
        char text[kTrackNameText];
        EntryText(g_app.trackList, i, text, sizeof text);
        AppendEntry(RecordList(dialog), text);
    }
}

// Enter, wherever the focus is in the dialog, renames; the dialog manager never sees
// the key, so it cannot press Save. Every other message goes on as usual.
LRESULT CALLBACK EnterKeyFilter(int code, WPARAM wParam, LPARAM lParam);

void AddReleaseChooser(HWND dialog);

BOOL OnTracksInit(HWND dialog, TracksDialog* state) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    state->dialog = dialog;
    g_openTracksDialog = state;
    // Without the filter (it cannot be set) Enter would press Save, as in any dialog.
    state->enterFilter = SetWindowsHookExA(WH_MSGFILTER, EnterKeyFilter, nullptr, GetCurrentThreadId());
    SendMessageA(RecordList(dialog), LB_SETHORIZONTALEXTENT, kRecordListExtent, 0);
    SendDlgItemMessageA(dialog, IDC_TRACKS_RENAME, EM_LIMITTEXT, kTrackNameText - 1, 0);
    FillDiscList(dialog);
    ShowSavedSelection(dialog, state->choice->shown);
    AddReleaseChooser(dialog);
    return TRUE;   // the focus goes to the first tab stop: the rename field
}

void OnTracksDestroy(TracksDialog* state) {
    if (state->enterFilter) UnhookWindowsHookEx(state->enterFilter);
    state->enterFilter = nullptr;
    g_openTracksDialog = nullptr;
}

// ---- the lists ----

// Double-click in the disc list: the track goes to the end of the record list under
// its entry's text, which becomes its name; a track a source named goes in under the
// source's name, which stays its name.
void OnAddTrack(HWND dialog, TracksDialog* state) {
    int index = SelectedEntry(DiscList(dialog));
    if (index < 0) return;
    char text[kTrackNameText];
    EntryText(DiscList(dialog), index, text, sizeof text);
    const int track = TrackOfEntry(text);
    if (const char* named = SourceNameOf(track)) CopyText(text, named);
    AppendEntry(RecordList(dialog), text);
    NameTrack(&g_tracks, track, text);
    DropRenameTarget(&state->rename);
}

// ---- the releases ----

// Where a disc id stands for several releases, a drop-down above the lists lets the
// user pick one: the dialog grows by its height and the controls move down under it.
void AddReleaseChooser(HWND dialog) {
    if (!DiscRelease() || g_names.names.releases.size() < 2) return;
    RECT shift = {0, 0, 132, 16}, box = {2, 2, 132, 90};
    MapDialogRect(dialog, &shift);
    MapDialogRect(dialog, &box);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT at;
        GetWindowRect(child, &at);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&at), 2);
        SetWindowPos(child, nullptr, at.left, at.top + shift.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    RECT frame;
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + shift.bottom,
                 SWP_NOMOVE | SWP_NOZORDER);
    HWND chooser = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST,
                                   box.left, box.top, box.right - box.left, box.bottom - box.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TRACKS_RELEASE)), g_app.instance,
                                   nullptr);
    if (!chooser) return;
    SendMessageA(chooser, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    for (size_t k = 0; k < g_names.names.releases.size(); ++k)
        SendMessageA(chooser, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ReleaseLabel(k).c_str()));
    SendMessageA(chooser, CB_SETCURSEL, static_cast<WPARAM>(g_names.names.chosen), 0);
}

// Another release chosen: its names go to the tracks that bear a source's name, and so
// to their entries in the record list.
void OnChooseRelease(HWND dialog, TracksDialog* state) {
    LRESULT chosen = SendDlgItemMessageA(dialog, IDC_TRACKS_RELEASE, CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR) return;
    HWND list = RecordList(dialog);
    std::vector<std::string> entries = EntryTexts(list);
    std::vector<int> bearing(entries.size(), 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        const int track = TrackNamed(g_tracks, entries[i].c_str());
        if (TrackNamedBySource(track)) bearing[i] = track;
    }
    ChooseRelease(static_cast<size_t>(chosen));
    for (size_t i = 0; i < entries.size(); ++i) {
        if (bearing[i] == 0) continue;
        SendMessageA(list, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(g_tracks.trackNames[bearing[i]]));
        SendMessageA(list, LB_DELETESTRING, i + 1, 0);
    }
    DropRenameTarget(&state->rename);
}

// A click on an entry of the record list: its text goes into the rename field, and the
// entry becomes what a rename replaces.
void OnChooseEntry(HWND dialog, TracksDialog* state) {
    int index = SelectedEntry(RecordList(dialog));
    if (index < 0) {
        DropRenameTarget(&state->rename);
        return;
    }
    char text[kTrackNameText];
    EntryText(RecordList(dialog), index, text, sizeof text);
    SetRenameText(dialog, text);
    ChooseRenameTarget(&state->rename, index, TrackNamed(g_tracks, text));
}

// Double-click on an entry of the record list: the entry goes, and so does the name of
// the track it belonged to.
void OnRemoveEntry(HWND dialog, TracksDialog* state) {
    int index = SelectedEntry(RecordList(dialog));
    if (index < 0) return;
    char text[kTrackNameText];
    EntryText(RecordList(dialog), index, text, sizeof text);
    SendMessageA(RecordList(dialog), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SetRenameText(dialog, "");
    ClearTrackName(&g_tracks, TrackNamed(g_tracks, text));
    DropRenameTarget(&state->rename);
}

// Enter: the chosen entry takes the rename field's text, and so does its track's name.
// An empty field, or no chosen entry, changes nothing. The field keeps its text; no
// entry stays selected.
void OnRename(HWND dialog, TracksDialog* state) {
    char text[kTrackNameText] = {};
    GetDlgItemTextA(dialog, IDC_TRACKS_RENAME, text, sizeof text);
    TrimBlanks(text);
    HWND list = RecordList(dialog);
    if (!RenameAllowed(state->rename, EntryCount(list), text)) return;
    char character = '\0';
    NameProblem problem = CheckFileStem(text, &character);
    if (problem != kNameFine) {   // the name becomes the track's file name in a batch
        char why[160], message[200];
        NameProblemMessage(problem, character, text, why, sizeof why);
        snprintf(message, sizeof message, "A track name becomes a file name. %s", why);
        MessageBoxA(dialog, message, "Rename", MB_OK);
        return;
    }
    // Nor may it become the file name of another chosen track.
    std::vector<std::string> entries = EntryTexts(list);
    entries[static_cast<size_t>(state->rename.position)] = text;
    TrackTable renamed = g_tracks;
    NameTrack(&renamed, state->rename.track, text);
    int first = 0, second = 0;
    if (FindNameClash(renamed, entries, &first, &second)) {
        MessageBoxA(dialog, NameClashMessage(entries[first], entries[second]).c_str(), "Rename", MB_OK);
        return;
    }
    WPARAM position = static_cast<WPARAM>(state->rename.position);
    SendMessageA(list, LB_INSERTSTRING, position, reinterpret_cast<LPARAM>(text));
    SendMessageA(list, LB_DELETESTRING, position + 1, 0);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    NameTrack(&g_tracks, state->rename.track, text);
}

LRESULT CALLBACK EnterKeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    TracksDialog* state = g_openTracksDialog;
    if (code != MSGF_DIALOGBOX || !msg || !state) return CallNextHookEx(nullptr, code, wParam, lParam);
    bool enter = (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) ||
                 (msg->message == WM_CHAR && msg->wParam == '\r');
    if (!enter || (msg->hwnd != state->dialog && !IsChild(state->dialog, msg->hwnd)))
        return CallNextHookEx(nullptr, code, wParam, lParam);
    if (msg->message == WM_KEYDOWN) OnRename(state->dialog, state);
    return 1;   // handled
}

// ---- the buttons ----

// Clear: an empty record list; the dialog stays open and the track names stay.
void OnClear(HWND dialog, TracksDialog* state) {
    SendMessageA(RecordList(dialog), LB_RESETCONTENT, 0, 0);
    DropRenameTarget(&state->rename);
}

// Save: the record list becomes the batch (entries that belong to no track cannot be
// recorded and are left out, and so is everything past the 100th entry; the user is
// told which), and its texts are kept to be shown at the next opening.
void OnTracksSave(HWND dialog, TracksDialog* state) {
    std::vector<std::string> entries = EntryTexts(RecordList(dialog));
    // Two tracks saved into one file would lose the earlier: the dialog stays open.
    int first = 0, second = 0;
    if (FindNameClash(g_tracks, entries, &first, &second)) {
        MessageBoxA(dialog, NameClashMessage(entries[first], entries[second]).c_str(), "Tracks to Record", MB_OK);
        return;
    }
    Selection selection = SetUpSelection(g_tracks, entries);
    std::string leftOut = LeftOutMessage(g_tracks, entries, selection.kept);
    if (!leftOut.empty()) MessageBoxA(dialog, leftOut.c_str(), "Tracks to Record", MB_OK);
    SendMessageA(g_app.trackList, LB_RESETCONTENT, 0, 0);
    for (int index : selection.kept) AppendEntry(g_app.trackList, entries[static_cast<size_t>(index)].c_str());
    state->choice->saved = true;
    state->choice->tracks = selection.tracks;
    EndDialog(dialog, 1);
}

// Cancel, Escape and the close box: no batch at all, whatever was set up before; names
// changed meanwhile stay changed.
void OnTracksCancel(HWND dialog, TracksDialog* state) {
    state->choice->saved = false;
    EndDialog(dialog, 1);
}

void OnTracksCommand(HWND dialog, int id, int code) {
    TracksDialog* state = DialogState(dialog);
    if (!state) return;
    switch (id) {
        case IDOK: OnTracksSave(dialog, state); break;
        case IDCANCEL: OnTracksCancel(dialog, state); break;
        case IDC_TRACKS_CLEAR:
            if (code == BN_CLICKED) OnClear(dialog, state);
            break;
        case IDC_TRACKS_DISC:
            if (code == LBN_DBLCLK) OnAddTrack(dialog, state);
            break;
        case IDC_TRACKS_RELEASE:
            if (code == CBN_SELCHANGE) OnChooseRelease(dialog, state);
            break;
        case IDC_TRACKS_RECORD:
            if (code == LBN_SELCHANGE) OnChooseEntry(dialog, state);
            if (code == LBN_DBLCLK) OnRemoveEntry(dialog, state);
            break;
        default: break;
    }
}

INT_PTR CALLBACK TracksDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnTracksInit(dialog, reinterpret_cast<TracksDialog*>(lParam));
        case WM_COMMAND: OnTracksCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_DESTROY:
            if (TracksDialog* state = DialogState(dialog)) OnTracksDestroy(state);
            return FALSE;
        default: return FALSE;
    }
}

}  // namespace

bool ChooseTracks(HWND hwnd, TrackChoice* choice) {
    TracksDialog state = {};
    state.choice = choice;
    // The dialog always ends with 1.
    return DialogBoxParamA(g_app.instance, IDD_TRACKS, hwnd, TracksDialogProc, reinterpret_cast<LPARAM>(&state)) == 1;
}
