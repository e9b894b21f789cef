// The start-up check and the drive poll: they read the disc into the track table and
// enable the Play and track buttons for a readable disc.
#include "drive.h"

#include <cstdio>
#include <cstring>

#include "display.h"
#include "engine_state.h"
#include "mci.h"
#include "resource.h"
#include "window_kit.h"

DriveWatch g_drive = {kDriveReady, false, "", 0};
TrackTable g_tracks;

namespace {

const int kStartupLastTick = 5;

bool ReplyIs(const char* reply, const char* word) { return strcmp(reply, word) == 0; }

// Disables every button that needs a readable disc.
void DisableDiscButtons() {
    const int ids[] = {IDC_MAIN_PLAY, IDC_MAIN_SAVE, IDC_MAIN_PLAYBACK, IDC_MAIN_STOPPLAYBACK};
    EnableControls(ids, false);
    EnableControls(kTrackButtons, false);
}

// Ends the start-up phase: the hourglass gives way to the arrow at the next move.
void FinishStartup() {
    g_app.startupDone = true;
    NudgeMousePointer();
}

// Step 1 of each start-up tick: on the fifth, the poll takes over.
bool StartupOver(HWND hwnd) {
    if (++g_drive.startupTicks != kStartupLastTick) return false;
    KillTimer(hwnd, kTimerStartup);
    if (StartTimer(hwnd, kTimerDrivePoll, kPollPeriod)) FinishStartup();
    return true;
}

void CloseDoorAtStartup(HWND hwnd) {
    MCIERROR result = SendMciString("set cd door closed");
    if (result != 0) ShowMciError(hwnd, result, "Error closing CD door", " Please close CD door.", 256);
    g_drive.state = kDriveReady;
}

bool LineInOrConvert() { return g_engine.mode == kSourceLineIn || g_engine.mode == kSourceConvert; }

// The drive reports a disc: read its track count and lengths (poll, step 5).
void ReadInsertedDisc(HWND hwnd) {
    SendMciString("set cd time format tmsf");
    if (QueryMci("status cd number of tracks", g_mci.reply) == 0)
        g_tracks.trackCount = TrackCountFromReply(g_mci.reply);
    QueryTrackLength(CurrentTrackNumber(g_tracks), g_tracks.currentLength, sizeof g_tracks.currentLength);
    if (strcmp(g_tracks.currentLength, g_drive.lastShownLength) != 0) {
        InvalidateArea(hwnd, kTrackLengthArea);
        CopyText(g_drive.lastShownLength, g_tracks.currentLength);
    }
    FillLengthsTable();
    if (g_tracks.trackCount > 1 && IsCdSource(g_engine.mode)) {
        EnableControls(kTrackButtons, true);   // before Play: an enabled Play means the disc is ready
        EnableControl(IDC_MAIN_PLAY, true);
    }
}

}  // namespace

void ForgetDisc(HWND hwnd) {
    g_drive.state = kDriveDoorOpen;
    CopyText(g_tracks.currentTrack, "1");
    InvalidateArea(hwnd, kTrackNumberArea);
    CopyText(g_tracks.currentLength, "00:00");
    CopyText(g_drive.lastShownLength, "00:00");
    InvalidateArea(hwnd, kTrackLengthArea);
    EnableControl(IDC_MAIN_EJECT, true);
    DisableDiscButtons();
    ++g_tracks.discChanges;   // what was chosen for the old disc (a batch) is not for the next
    g_drive.discScanned = false;
}

void QueryTrackLength(int track, char* reply, size_t replySize) {
    char number[8];
    snprintf(number, sizeof number, "%d", track);
    ComposeMci("status cd length track ", number);
    QueryComposedMci(reply, replySize);
}

void FillLengthsTable() {
    for (int k = 1; k <= g_tracks.trackCount && k <= kMaxTrack; ++k) {
        char work[kLengthText] = {};
        QueryTrackLength(k, work, sizeof work);   // errors ignored: the slot stays empty
        CopyText(g_tracks.lengths[k], work);
    }
}

void OnStartupTick(HWND hwnd) {
    if (StartupOver(hwnd)) return;

    QueryMci("status cd ready", g_mci.reply);
    if (ReplyIs(g_mci.reply, "false")) CloseDoorAtStartup(hwnd);

    QueryMci("status cd media present", g_mci.reply);
    if (ReplyIs(g_mci.reply, "false")) {
        g_drive.startupTicks = kStartupLastTick - 1;   // the next tick ends the check
        if (!LineInOrConvert()) MessageBoxA(hwnd, "No audio CD present.", "CD Error", MB_OK);
        return;
    }
    if (SendMciString("set cd time format tmsf") != 0) {
        MessageBoxA(hwnd, "Error setting CD time format", "CD Error", MB_OK);
        return;
    }
    if (QueryMci("status cd number of tracks", g_mci.reply) != 0) {
        MessageBoxA(hwnd, "Status CD error", "CD Error", MB_OK);
        return;
    }
    g_tracks.trackCount = TrackCountFromReply(g_mci.reply);
    if (g_tracks.trackCount == 1) {
        KillTimer(hwnd, kTimerStartup);
        bool goOn =
            MessageBoxA(hwnd, "I don't think this is an audio CD. Continue anyway?", "Error?", MB_OKCANCEL) == IDOK;
        FinishStartup();   // the start-up check ends here either way: no more hourglass
        if (!goOn) return;   // neither timer runs until Eject opens the door
        StartTimer(hwnd, kTimerDrivePoll, kPollPeriod);
    }
    MCIERROR result = QueryMci("status cd start position", g_tracks.currentLength);
    if (result != 0) {
        ShowMciError(hwnd, result, "CD Read Error", " Error reading CD start position.", 256);
        return;
    }
    result = QueryMci("status cd length track 1", g_tracks.currentLength);
    if (result != 0) {
        ShowMciError(hwnd, result, "CD 1st Track Error", " Error getting CD track length.", 256);
        return;
    }
    FillLengthsTable();
    QueryMci("set cd audio all on", g_mci.reply);   // both channels on; result ignored
    KillTimer(hwnd, kTimerStartup);
    InvalidateArea(hwnd, kTrackLengthArea);
    if (!StartTimer(hwnd, kTimerDrivePoll, kPollPeriod)) return;
    if (IsCdSource(g_engine.mode)) EnableControls(kTrackButtons, true);
    EnableControl(IDC_MAIN_PLAY, true);
    FinishStartup();
    g_drive.discScanned = true;
}

void OnDrivePoll(HWND hwnd) {
    if (LineInOrConvert()) {
        EnableControl(IDC_MAIN_PLAY, true);
        return;
    }
    if (QueryMci("status cd ready", g_mci.reply) != 0) return;
    if (ReplyIs(g_mci.reply, "false")) {
        ForgetDisc(hwnd);
        return;
    }
    if (g_drive.discScanned || !ReplyIs(g_mci.reply, "true")) return;

    g_drive.state = kDriveReady;
    QueryMci("status cd media present", g_mci.reply);
    if (ReplyIs(g_mci.reply, "true"))
        ReadInsertedDisc(hwnd);
    else if (ReplyIs(g_mci.reply, "false"))
        DisableDiscButtons();
    g_drive.discScanned = true;
}
