// The rip: the current track's frame range from the drive's table of contents, copied
// in reads of 26 frames into a WAV file named by the song name field. Runs inside the
// Play command to its end; the window shows its progress in the prompt line, drawn
// directly. A rip either completes its file or leaves none: a read that fails three
// times, or a write that fails, ends it with a message and removes the partial file.
// The file is written under a working name ("<name>.wav.part") and takes its own name
// once complete, so a file of that name that was there before is replaced only by a
// whole track. A drive that reports another disc during the rip (either read) ends it
// so too, and a drive's refusal for another reason than a medium error is named.
//
// Each rip is verified: the track's checksums are summed as it is written and matched
// against the AccurateRip database; a track the database does not confirm is read a
// second time, and what the two reads disagree on is re-read until two reads agree.
// The read offset set in the registry shifts what is read. A log beside the file (one
// for a batch) says what was read and how it was checked.
#include "rip.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "accuraterip.h"
#include "akrip32.h"
#include "checksums.h"
#include "display.h"
#include "drive.h"
#include "engine_state.h"
#include "framecopy.h"
#include "naming.h"
#include "riplog.h"
#include "secureread.h"
#include "sense.h"
#include "toc.h"
#include "verify.h"
#include "wavwriter.h"
#include "window_kit.h"

namespace {

using akrip::kFrameBytes;
using akrip::kResultOk;

const char kTitle[] = "Message";
const uint32_t kDataCapacity = kChunkFrames * kFrameBytes;   // 61,152 bytes
const size_t kStreamBufferBytes = 1 << 20;

void Tell(HWND hwnd, const char* text) { MessageBoxA(hwnd, text, kTitle, MB_OK); }

// A stream on a new, empty file at `path` (one left there by an earlier rip is removed
// first), or null. Made new rather than truncated as fopen does: on Linux file systems
// (under Wine) a file truncated and written again is flushed to the disk when it is
// closed, which would make the rip wait for the disk about as long as it read.
FILE* CreateNewFile(const char* path) {
    DeleteFileA(path);   // what fails here, the create reports
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(descriptor, "w+b");
    if (!file) _close(descriptor);
    return file;
}

void ShowProgress(HWND hwnd, const std::string& text) {
    SetPromptLine(hwnd, text.c_str(), false);
    DrawPromptLine(hwnd);
}

// The track to rip and what the checks need of the disc.
struct TrackToRip {
    int track = 0;
    long start = 0, length = 0;
    int arTrack = 0;      // its place among the disc's audio tracks (1-based)
    long audioEnd = 0;    // the frame after the disc's last audio frame
    DiscLayout layout;
};

// The current track's first frame and length from the drive's table of contents, in
// logical block addresses. False after telling the user why not (a data track is no
// audio to rip).
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

// Whether this rip is a later track of a batch, whose log is under way.
bool ContinuesBatch() { return g_tracks.selectedCount > 0 && g_tracks.nextSelected > 0; }

// Reads the copied track again and puts right what the two reads disagree on; fills
// the log's account of it. False when the file could not be read back or written.
bool VerifyCopy(FILE* file, const TrackToRip& rip, long offset, const FrameCopyIo& drive, TrackSummer* copy,
                TrackLog* entry) {
    VerifyIo io;
    io.read = [&](long first, long count, const std::function<void(const uint8_t*)>& take, long* failedFrame) {
        FrameCutter frames(take);
        FrameCopyIo again = drive;
        again.write = [&](const uint8_t* bytes, uint32_t n) {
            frames.Add(bytes, n);
            return true;
        };
        CopyResult read = CopyPlanned(PlanRead(rip.start + first, count, offset, rip.audioEnd), again);
        *failedFrame = read.failedFrame;
        return read.outcome == CopyOutcome::kComplete;
    };
    auto seek = [&](long frame) {
        return fseek(file, static_cast<long>(kWavHeaderBytes) + frame * static_cast<long>(kFrameBytes), SEEK_SET) == 0;
    };
    io.readBack = [&](long frame, uint8_t* bytes) { return seek(frame) && fread(bytes, 1, kFrameBytes, file) == kFrameBytes; };
    io.rewrite = [&](long frame, const uint8_t* bytes) {
        return seek(frame) && fwrite(bytes, 1, kFrameBytes, file) == kFrameBytes;
    };
    VerifyResult result = VerifyTrack(copy, io);
    entry->tested = true;
    entry->testFailed = result.outcome == VerifyOutcome::kReadFailed;
    entry->testFailedFrame = result.failedFrame;
    entry->testCrc = result.testCrc;
    for (long j : result.reread) entry->reread.push_back(rip.start + j);
    for (long j : result.unsettled) entry->unsettled.push_back(rip.start + j);
    return result.outcome != VerifyOutcome::kFileFailed;
}

// Copies the track into the file named by the song name field, checks it and logs it.
// True when the file is complete; otherwise it is gone and the user has been told.
bool CopyTrack(HWND hwnd, HCDROM cd, const TrackToRip& rip) {
    HGLOBAL memory = GlobalAlloc(GPTR, sizeof(akrip::TransferHeader) + kDataCapacity);
    if (!memory) {
        Tell(hwnd, "There is not enough memory to rip this track.");
        return false;
    }
    auto* buffer = static_cast<akrip::TransferHeader*>(static_cast<void*>(memory));
    const uint8_t* area = reinterpret_cast<const uint8_t*>(buffer + 1);
    buffer->capacity = kDataCapacity;

    char path[kFileNameText - 1] = {};   // at most 254 characters
    GetWindowTextA(g_app.songName, path, sizeof path);
    char part[kPathText] = {};
    FILE* file = PartialFileName(path, part, sizeof part) ? CreateNewFile(part) : nullptr;
    if (!file) {
        GlobalFree(memory);
        Tell(hwnd, "Error creating file");
        return false;
    }
    // One stream with a large buffer: the reads' bytes reach the disk in few large writes.
    setvbuf(file, nullptr, _IOFBF, kStreamBufferBytes);

    RipLog head;
    head.layout = rip.layout;
    head.ids = ComputeDiscIds(rip.layout);
    ArLookup lookup = LookupDisc(head.ids, &head.entry);
    head.lookup = lookup.status;
    head.pressings = lookup.pressings.size();
    head.readOffset = ReadOffsetSetting();
    if (!ContinuesBatch()) StartRipLog(path, head);
    ShowProgress(hwnd, RipRangeText(rip.length, rip.start));

    // The status word of the last read, and whether any read met another disc: then no
    // read after it counts, whatever it delivers.
    uint32_t lastStatus = kResultOk;
    bool discChanged = false;
    FrameCopyIo io;
    io.read = [&](long first, long frames, Delivery* delivery) {
        buffer->firstFrame = static_cast<uint32_t>(first);
        buffer->frames = static_cast<uint32_t>(frames);
        buffer->offset = 0;
        buffer->delivered = 0;
        bool read = ReadCDAudioLBA(cd, buffer) == kResultOk;
        lastStatus = buffer->status;
        if (akrip::StatusResult(lastStatus) == akrip::kResultMediumChanged) discChanged = true;
        read = read && !discChanged;
        delivery->area = area;
        delivery->capacity = kDataCapacity;   // what was allocated, whatever the record says now
        delivery->offset = buffer->offset;
        delivery->bytes = buffer->delivered;
        return read;
    };
    ProgressPacer pacer;
    io.progress = [&](long frame, long remaining) {
        SetPromptLine(hwnd, RipProgressText(frame, remaining).c_str(), false);
        if (pacer.Due(GetTickCount())) DrawPromptLine(hwnd);
    };
    const int audioTracks = rip.layout.AudioTracks();
    TrackSummer summer(rip.length, rip.arTrack == 1, rip.arTrack == audioTracks);
    FrameCopyIo copyIo = io;
    copyIo.write = [&](const uint8_t* bytes, uint32_t count) {
        summer.Add(bytes, count);
        return fwrite(bytes, 1, count, file) == count;
    };

    TrackLog entry;
    entry.track = rip.track;
    entry.file = FileNameOf(path);
    entry.start = rip.start;
    entry.frames = rip.length;
    CopyResult copy;
    if (!WriteWavHeader(file, 0))
        copy.outcome = CopyOutcome::kWriteFailed;
    else
        copy = CopyPlanned(PlanRead(rip.start, rip.length, head.readOffset, rip.audioEnd), copyIo);
    if (copy.outcome == CopyOutcome::kComplete) {
        entry.match = MatchTrack(lookup, head.ids, rip.arTrack, summer.Track());
        if (entry.match.result != ArResult::kAccurate) {
            if (!VerifyCopy(file, rip, head.readOffset, io, &summer, &entry))
                copy.outcome = CopyOutcome::kWriteFailed;
            entry.match = MatchTrack(lookup, head.ids, rip.arTrack, summer.Track());
        }
        entry.sums = summer.Track();
    }
    if (discChanged && copy.outcome == CopyOutcome::kComplete) {   // in the second read
        copy.outcome = CopyOutcome::kReadFailed;
        copy.failedFrame = entry.testFailedFrame;
    }
    if (pacer.Pending()) DrawPromptLine(hwnd);   // the screen shows where the reading ended
    bool complete = copy.outcome == CopyOutcome::kComplete;
    if (complete && (!WriteWavHeader(file, copy.bytes) || fflush(file) != 0)) complete = false;
    if (fclose(file) != 0 && complete) {
        complete = false;
        copy.outcome = CopyOutcome::kWriteFailed;
    }
    GlobalFree(memory);
    bool named = complete && MoveFileExA(part, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!named) {
        entry.state = copy.outcome == CopyOutcome::kReadFailed ? TrackLog::State::kReadFailed
                                                               : TrackLog::State::kWriteFailed;
        entry.failedFrame = copy.failedFrame;
    }
    AddToRipLog(entry);
    if (named) return true;

    DeleteFileA(part);   // a partial file must not pass for the track
    char text[160];
    if (complete)
        snprintf(text, sizeof text,
                 "The track was not saved: a file of this name is read-only or in use. Please choose another name.");
    else if (copy.outcome == CopyOutcome::kReadFailed && discChanged)
        snprintf(text, sizeof text, "The CD was changed while track %d was being ripped: the track was not ripped.",
                 rip.track);
    else if (copy.outcome == CopyOutcome::kReadFailed && akrip::StatusResult(lastStatus) == akrip::kResultDriveError)
        snprintf(text, sizeof text, "Error reading the CD at frame %ld: the drive reports %s. The track was not ripped.",
                 copy.failedFrame, akrip::DescribeSense(akrip::StatusSense(lastStatus)).c_str());
    else if (copy.outcome == CopyOutcome::kReadFailed)
        snprintf(text, sizeof text, "Error reading the CD at frame %ld: the track was not ripped.", copy.failedFrame);
    else
        snprintf(text, sizeof text, "Error writing file: the track was not ripped.");
    Tell(hwnd, text);
    return false;
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

bool RipCurrentTrack(HWND hwnd) {
    ShowProgress(hwnd, "Ripping                                       ");
    SetCursor(g_app.busyCursor);
    bool ripped = false;
    TrackToRip rip;
    HCDROM cd = static_cast<HCDROM>(g_app.extractionHandle);
    if (cd == 0)
        TellNoHandle(hwnd);
    else if (FindCurrentTrack(hwnd, cd, &rip))
        ripped = CopyTrack(hwnd, cd, rip);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return ripped;
}
