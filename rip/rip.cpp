// The rip: the current track's frame range from the drive's table of contents (on a
// disc of several sessions, up to the first session's lead-out), then the copy of that
// range into the file the Play command named (copy.cpp). Runs inside the Play command
// to its end; the window shows its progress in the prompt line, drawn directly. And the
// extraction library's drive for the program's run, opened at start-up.
#include "rip.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "accuraterip.h"
#include "akrip32.h"
#include "display.h"
#include "drive.h"
#include "rip_copy.h"
#include "sense.h"
#include "toc.h"
#include "verify.h"
#include "window_kit.h"

namespace {

using akrip::kResultOk;

// Reads the drive's table of contents in LBAs into `toc`; false after telling the user
// why not (naming the drive's answer when it refused the command).
bool ReadDiscToc(HWND hwnd, HCDROM cd, akrip::Toc* toc) {
    std::memset(toc, 0, sizeof *toc);
    // Without LBA addresses the table cannot be read as frame numbers.
    uint32_t read = ModifyCDParms(cd, akrip::kParmMsfToc, 0);
    if (read == kResultOk) read = ReadTOC(cd, toc);
    if (read == kResultOk) return true;
    if (akrip::StatusResult(read) == akrip::kResultDriveError) {
        std::string text = "Error reading TOC: the drive reports " + akrip::DescribeSense(akrip::StatusSense(read)) + ".";
        Tell(hwnd, text.c_str());
    } else {
        Tell(hwnd, "Error reading TOC");
    }
    return false;
}

// Where the first session's audio ends on a disc of several sessions, from the full
// table of contents; 0 when the drive gives none.
long FirstSessionLeadout(HCDROM cd) {
    akrip::FullToc full;
    long leadout = 0;
    if (ReadFullTOC(cd, &full) != kResultOk || !akrip::FirstSessionLeadout(full.bytes, sizeof full.bytes, &leadout))
        return 0;
    return leadout;
}

// The current track's first frame and length from the drive's table of contents, in
// logical block addresses. False after telling the user why not (a data track is no
// audio to rip).
bool FindCurrentTrack(HWND hwnd, HCDROM cd, TrackToRip* rip) {
    akrip::Toc toc;
    if (!ReadDiscToc(hwnd, cd, &toc)) return false;
    const long sessionEnd = FirstSessionLeadout(cd);
    int track = CurrentTrackNumber(g_tracks);
    if (akrip::IsDataTrack(toc, track)) {
        char text[80];
        snprintf(text, sizeof text, "Track %d is a data track, not audio: it cannot be ripped.", track);
        Tell(hwnd, text);
        return false;
    }
    if (!akrip::TrackSpan(toc, track, &rip->start, &rip->length, sessionEnd)) {
        char text[80];
        snprintf(text, sizeof text, "Track %d is not in the table of contents of this CD.", track);
        Tell(hwnd, text);
        return false;
    }
    rip->track = track;
    // The checks see the disc's audio tracks; a table they cannot read leaves the track
    // as the only one.
    rip->arTrack = 1;
    rip->audioEnd = rip->start + rip->length;
    if (LayoutFromToc(toc, &rip->layout)) {
        int audio = 0;
        for (size_t k = 0; k < rip->layout.starts.size(); ++k) {
            if (rip->layout.data[k]) continue;
            ++audio;
            if (static_cast<int>(k + 1) == track) rip->arTrack = audio;
            long start = 0, frames = 0;
            if (akrip::TrackSpan(toc, static_cast<int>(k + 1), &start, &frames, sessionEnd))
                rip->audioEnd = start + frames;
        }
    } else {
        rip->layout.starts = {rip->start};
        rip->layout.data = {false};
        rip->layout.leadout = rip->audioEnd;
    }
    return true;
}

// Without an extraction handle: a drive that refused the access ripping needs is named.
void TellNoHandle(HWND hwnd) {
    if (!g_verify.refusedDrive) {
        Tell(hwnd, "Could not get handle to CD");
        return;
    }
    char text[200];
    snprintf(text, sizeof text,
             "Could not get handle to CD: drive %c: refuses to be opened for reading and writing, which reading audio "
             "from it needs (on Windows, run CD Quorrel as an administrator).",
             g_verify.refusedDrive);
    Tell(hwnd, text);
}

}  // namespace

int OpenExtractionDrive() {
    akrip::DriveList list;
    std::memset(&list, 0, sizeof list);
    GetCDList(&list);   // the count says what was found
    if (list.count == 0) return 0;
    const akrip::DriveRecord& drive = list.drives[0];
    if (drive.state == akrip::kDriveRefused) {   // the rip names it
        g_verify.refusedDrive = drive.driveLetter;
        return 0;
    }
    snprintf(g_verify.drive, sizeof g_verify.drive, "%.8s %.16s %.4s", drive.vendor, drive.product, drive.revision);
    g_verify.listName = DriveListName(drive.vendor, drive.product);
    akrip::HandleRequest request;
    std::memset(&request, 0, sizeof request);
    request.size = sizeof request;
    request.version = 1;
    request.hostAdapter = list.drives[0].hostAdapter;
    request.target = list.drives[0].target;
    request.lun = list.drives[0].lun;
    return static_cast<int>(GetCDHandle(&request));
}

void CloseExtractionDrive(int handle) {
    if (handle != 0) CloseCDHandle(static_cast<HCDROM>(handle));
}

bool TrackIsData(int track) {
    HCDROM cd = static_cast<HCDROM>(g_app.extractionHandle);
    akrip::Toc toc;
    return cd != 0 && ModifyCDParms(cd, akrip::kParmMsfToc, 0) == kResultOk && ReadTOC(cd, &toc) == kResultOk &&
           akrip::IsDataTrack(toc, track);
}

void Tell(HWND hwnd, const char* text) { MessageBoxA(hwnd, text, "Message", MB_OK); }

bool RipCurrentTrack(HWND hwnd, const char* path, bool continuesBatch) {
    SetPromptLine(hwnd, "Ripping                                       ", false);
    DrawPromptLine(hwnd);
    SetCursor(g_app.busyCursor);
    bool ripped = false;
    TrackToRip rip;
    HCDROM cd = static_cast<HCDROM>(g_app.extractionHandle);
    if (cd == 0)
        TellNoHandle(hwnd);
    else if (FindCurrentTrack(hwnd, cd, &rip))
        ripped = CopyTrack(hwnd, cd, rip, path, continuesBatch);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return ripped;
}
