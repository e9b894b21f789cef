// The copy of one track: its frames, in reads of 26 frames, into a WAV file. A rip
// either completes its file or leaves none: a read that fails three times, or a write
// that fails, ends it with a message and removes the partial file. The file is written
// under a working name ("<name>.wav.part") and takes its own name once complete, so a
// file of that name that was there before is replaced only by a whole track. A drive
// that reports another disc during the rip (either read) ends it so too, and a drive's
// refusal for another reason than a medium error is named.
//
// Each rip is verified: the track's checksums are summed as it is written and matched
// against the AccurateRip database; a track the database does not confirm is read a
// second time, and what the two reads disagree on is re-read until two reads agree.
// The read offset set in the registry shifts what is read. A log beside the file (one
// for a batch) says what was read and how it was checked.
//
// The copy runs in three steps with one cleanup: open (buffer, working file, the log's
// head), copy and verify (returns the outcome), finish (header, close, name, log,
// message).
#include "rip_copy.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "checksums.h"
#include "display.h"
#include "engine_state.h"
#include "files.h"
#include "framecopy.h"
#include "naming.h"
#include "names.h"
#include "riplog.h"
#include "secureread.h"
#include "sense.h"
#include "verify.h"
#include "wavwriter.h"
#include "window_kit.h"

namespace {

using akrip::kFrameBytes;
using akrip::kResultOk;

const uint32_t kDataCapacity = kChunkFrames * kFrameBytes;   // 61,152 bytes
const size_t kStreamBufferBytes = 1 << 20;

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

// What a rip holds while it runs.
struct RipJob {
    HWND hwnd;
    HCDROM cd;
    const TrackToRip* rip;
    const char* path;
    HGLOBAL memory = nullptr;                   // the transfer buffer: header, then the frames
    akrip::TransferHeader* buffer = nullptr;
    const uint8_t* area = nullptr;
    char part[kPathText] = {};                  // the working name
    FILE* file = nullptr;
    bool named = false;                         // the file took its own name
    RipLog head;
    ArLookup lookup;
    uint32_t lastStatus = kResultOk;            // the status word of the last read
    bool discChanged = false;                   // a read met another disc: no read after it counts
    akrip::DriveFeatures features = {};
    long cacheFrames = 0;                       // read past before re-reads; 0: no cache
    unsigned cacheTurn = 0;
    bool copyPass = false;                      // reads ask for C2 pointers where the drive has them
    bool c2Read = false;                        // ... and some did
    std::vector<long> c2Frames, c2Left;
};

bool HasC2(uint32_t state) { return state == akrip::kC2Bits || state == akrip::kC2BlockBits; }

// One read of `frames` frames from `first` into the transfer buffer, with C2 flags into
// `errors` where it is not null; false when it failed or met another disc.
bool ReadInto(RipJob* job, long first, long frames, uint8_t* errors) {
    akrip::TransferHeader* buffer = job->buffer;
    buffer->firstFrame = static_cast<uint32_t>(first);
    buffer->frames = static_cast<uint32_t>(frames);
    buffer->offset = 0;
    buffer->delivered = 0;
    bool read = (errors ? ReadCDAudioLBAC2(job->cd, buffer, errors) : ReadCDAudioLBA(job->cd, buffer)) == kResultOk;
    job->lastStatus = buffer->status;
    if (akrip::StatusResult(job->lastStatus) == akrip::kResultMediumChanged) job->discChanged = true;
    return read && !job->discChanged;
}

// Reads elsewhere on the disc, so that the drive's cache holds none of the `count`
// frames from `first` (nor the frames a read offset adds on either side) and the next
// read of them comes from the disc. What these reads deliver is not used.
void ReadPastCache(RipJob* job, long first, long count) {
    const long margin = kMaxReadOffset / static_cast<long>(kFrameSamples) + 1;
    FrameSpan span = PlanCachePass(first - margin, count + 2 * margin, job->cacheFrames, job->rip->audioEnd,
                                   job->cacheTurn++);
    for (long at = span.first; at < span.first + span.frames && !job->discChanged; at += kChunkFrames)
        ReadInto(job, at, std::min<long>(kChunkFrames, span.first + span.frames - at), nullptr);
}

// The disc frames of a read that C2 flags.
void AddFlagged(const uint8_t* errors, long first, long frames, std::vector<long>* flagged) {
    for (long k = 0; k < frames; ++k)
        if (errors[k]) flagged->push_back(first + k);
}

// A read of the copy pass: with C2 pointers where the drive has them, and a read whose
// frames C2 flags is read again from the disc at once, until one comes without flags
// (kMaxBlockReads reads at most). A drive that refuses C2 reads is read without them
// from then on.
bool CopyPassRead(RipJob* job, long first, long frames) {
    uint8_t errors[kChunkFrames] = {};
    const bool c2 = HasC2(job->features.c2) && frames <= kChunkFrames;
    if (!c2) return ReadInto(job, first, frames, nullptr);
    bool read = ReadInto(job, first, frames, errors);
    if (!read && akrip::StatusResult(job->lastStatus) == akrip::kResultUnsupported) {
        GetCDFeatures(job->cd, &job->features);
        return ReadInto(job, first, frames, nullptr);
    }
    if (!read) return false;
    job->c2Read = true;
    std::vector<long> flagged;
    AddFlagged(errors, first, frames, &flagged);
    if (flagged.empty()) return true;
    job->c2Frames.insert(job->c2Frames.end(), flagged.begin(), flagged.end());
    for (int reads = 1; read && !flagged.empty() && reads < kMaxBlockReads; ++reads) {
        ReadPastCache(job, first, frames);
        read = ReadInto(job, first, frames, errors);
        flagged.clear();
        if (read) AddFlagged(errors, first, frames, &flagged);
    }
    job->c2Left.insert(job->c2Left.end(), flagged.begin(), flagged.end());
    return read;
}

void SortFrames(std::vector<long>* frames) {
    std::sort(frames->begin(), frames->end());
    frames->erase(std::unique(frames->begin(), frames->end()), frames->end());
}

// Step 1: the transfer buffer, the working file and the log's head (a new log unless
// the rip continues a batch). False after telling the user.
bool OpenRip(RipJob* job, bool continuesBatch) {
    job->memory = GlobalAlloc(GPTR, sizeof(akrip::TransferHeader) + kDataCapacity);
    if (!job->memory) {
        Tell(job->hwnd, "There is not enough memory to rip this track.");
        return false;
    }
    job->buffer = static_cast<akrip::TransferHeader*>(static_cast<void*>(job->memory));
    job->area = reinterpret_cast<const uint8_t*>(job->buffer + 1);
    job->buffer->capacity = kDataCapacity;
    if (PartialFileName(job->path, job->part, sizeof job->part)) job->file = CreateNewFile(job->part);
    if (!job->file) {
        Tell(job->hwnd, "Error creating file");
        return false;
    }
    // One stream with a large buffer: the reads' bytes reach the disk in few large writes.
    setvbuf(job->file, nullptr, _IOFBF, kStreamBufferBytes);
    job->head.layout = job->rip->layout;
    job->head.ids = ComputeDiscIds(job->rip->layout);
    job->lookup = LookupDisc(job->head.ids, &job->head.entry);
    job->head.lookup = job->lookup.status;
    job->head.pressings = job->lookup.pressings.size();
    job->head.names = g_names.account;
    job->features.size = sizeof job->features;
    if (GetCDFeatures(job->cd, &job->features) != kResultOk) job->features = {sizeof job->features, akrip::kC2None, 0, 0};
    const bool virtualDrive = (job->features.flags & akrip::kFeatureVirtual) != 0;
    FindReadOffset(virtualDrive, &job->head);
    job->head.c2 = job->features.c2;
    job->head.cache.none = virtualDrive;
    job->head.cache.reported = job->features.cacheFrames > 0;
    job->head.cache.frames = virtualDrive ? 0 : job->head.cache.reported ? job->features.cacheFrames : kAssumedCacheFrames;
    job->cacheFrames = job->head.cache.frames;
    if (!continuesBatch) StartRipLog(job->path, job->head);
    return true;
}

// Reads the copied track again and puts right what the two reads disagree on; fills
// the log's account of it. False when the file could not be read back or written.
bool VerifyCopy(RipJob* job, const FrameCopyIo& drive, TrackSummer* copy, TrackLog* entry) {
    const TrackToRip& rip = *job->rip;
    FILE* file = job->file;
    VerifyIo io;
    io.read = [&](long first, long count, const std::function<void(const uint8_t*)>& take, long* failedFrame) {
        // Every re-read comes from the disc; so does the whole second read of a track
        // short enough for the cache to hold much of it still.
        if (first != 0 || count != copy->Frames() || rip.length < 2 * job->cacheFrames)
            ReadPastCache(job, rip.start + first, count);
        FrameCutter frames(take);
        FrameCopyIo again = drive;
        again.write = [&](const uint8_t* bytes, uint32_t n) {
            frames.Add(bytes, n);
            return true;
        };
        CopyResult read = CopyPlanned(PlanRead(rip.start + first, count, job->head.readOffset, rip.audioEnd), again);
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

// Step 2: the copy into the working file, its checksums, and the second read where
// the database does not confirm them. Returns what came of it; `entry` gets the
// track's account.
CopyResult CopyAndVerify(RipJob* job, TrackLog* entry) {
    const TrackToRip& rip = *job->rip;
    SetPromptLine(job->hwnd, RipRangeText(rip.length, rip.start).c_str(), false);
    DrawPromptLine(job->hwnd);
    FrameCopyIo io;
    io.read = [job](long first, long frames, Delivery* delivery) {
        bool read = job->copyPass ? CopyPassRead(job, first, frames) : ReadInto(job, first, frames, nullptr);
        delivery->area = job->area;
        delivery->capacity = kDataCapacity;   // what was allocated, whatever the record says now
        delivery->offset = job->buffer->offset;
        delivery->bytes = job->buffer->delivered;
        return read;
    };
    ProgressPacer pacer;
    io.progress = [&](long frame, long remaining) {
        SetPromptLine(job->hwnd, RipProgressText(frame, remaining).c_str(), false);
        if (pacer.Due(GetTickCount())) DrawPromptLine(job->hwnd);
    };
    TrackSummer summer(rip.length, rip.arTrack == 1, rip.arTrack == rip.layout.AudioTracks());
    FrameCopyIo copyIo = io;
    copyIo.write = [&](const uint8_t* bytes, uint32_t count) {
        summer.Add(bytes, count);
        return fwrite(bytes, 1, count, job->file) == count;
    };

    CopyResult copy;
    if (!WriteWavHeader(job->file, 0))
        copy.outcome = CopyOutcome::kWriteFailed;
    else {
        job->copyPass = true;
        copy = CopyPlanned(PlanRead(rip.start, rip.length, job->head.readOffset, rip.audioEnd), copyIo);
        job->copyPass = false;
    }
    SortFrames(&job->c2Frames);
    SortFrames(&job->c2Left);
    entry->c2Read = job->c2Read;
    entry->c2Frames = job->c2Frames;
    entry->c2Left = job->c2Left;
    GetCDFeatures(job->cd, &job->features);   // a form of C2 reads the drive refused shows from this track on
    g_verify.log.c2 = job->features.c2;
    if (copy.outcome == CopyOutcome::kComplete) {
        entry->match = MatchTrack(job->lookup, job->head.ids, rip.arTrack, summer.Track());
        // A track read with C2 errors is read a second time, whatever the database says.
        if (entry->match.result != ArResult::kAccurate || !job->c2Frames.empty()) {
            if (!VerifyCopy(job, io, &summer, entry)) copy.outcome = CopyOutcome::kWriteFailed;
            entry->match = MatchTrack(job->lookup, job->head.ids, rip.arTrack, summer.Track());
        }
        entry->sums = summer.Track();
    }
    if (job->discChanged && copy.outcome == CopyOutcome::kComplete) {   // in the second read
        copy.outcome = CopyOutcome::kReadFailed;
        copy.failedFrame = entry->testFailedFrame;
    }
    if (pacer.Pending()) DrawPromptLine(job->hwnd);   // the screen shows where the reading ended
    return copy;
}

// What the user is told of a rip that left no file.
std::string FailureText(const RipJob& job, const CopyResult& copy, bool complete) {
    char text[200];
    if (complete)
        snprintf(text, sizeof text,
                 "The track was not saved: a file of this name is read-only or in use. Please choose another name.");
    else if (copy.outcome == CopyOutcome::kReadFailed && job.discChanged)
        snprintf(text, sizeof text, "The CD was changed while track %d was being ripped: the track was not ripped.",
                 job.rip->track);
    else if (copy.outcome == CopyOutcome::kReadFailed && akrip::StatusResult(job.lastStatus) == akrip::kResultDriveError)
        snprintf(text, sizeof text, "Error reading the CD at frame %ld: the drive reports %s. The track was not ripped.",
                 copy.failedFrame, akrip::DescribeSense(akrip::StatusSense(job.lastStatus)).c_str());
    else if (copy.outcome == CopyOutcome::kReadFailed)
        snprintf(text, sizeof text, "Error reading the CD at frame %ld: the track was not ripped.", copy.failedFrame);
    else
        snprintf(text, sizeof text, "Error writing file: the track was not ripped.");
    return text;
}

// Step 3: the header's sizes, the file closed and named, the log, the message of a
// failure. True when the track lies under its own name.
bool FinishRip(RipJob* job, CopyResult copy, TrackLog* entry) {
    bool complete = copy.outcome == CopyOutcome::kComplete;
    if (complete && (!WriteWavHeader(job->file, copy.bytes) || fflush(job->file) != 0)) complete = false;
    bool closed = fclose(job->file) == 0;
    job->file = nullptr;
    if (!closed && complete) {
        complete = false;
        copy.outcome = CopyOutcome::kWriteFailed;
    }
    job->named = complete && MoveIntoPlace(job->part, job->path);
    if (!job->named) {
        entry->state = copy.outcome == CopyOutcome::kReadFailed ? TrackLog::State::kReadFailed
                                                                : TrackLog::State::kWriteFailed;
        entry->failedFrame = copy.failedFrame;
    }
    AddToRipLog(*entry);
    if (job->named) return true;
    DeleteFileA(job->part);   // gone before the user is told: it must not pass for the track
    Tell(job->hwnd, FailureText(*job, copy, complete).c_str());
    return false;
}

// The one cleanup: the file closed and, unless it took its name, removed (a partial
// file must not pass for the track); the buffer freed.
void CloseRip(RipJob* job) {
    if (job->file) fclose(job->file);
    if (!job->named && job->part[0] != '\0') DeleteFileA(job->part);
    if (job->memory) GlobalFree(job->memory);
}

}  // namespace

bool CopyTrack(HWND hwnd, HCDROM cd, const TrackToRip& rip, const char* path, bool continuesBatch) {
    RipJob job;
    job.hwnd = hwnd;
    job.cd = cd;
    job.rip = &rip;
    job.path = path;
    TrackLog entry;
    entry.track = rip.track;
    entry.file = FileNameOf(path);
    entry.start = rip.start;
    entry.frames = rip.length;
    bool ripped = OpenRip(&job, continuesBatch) && FinishRip(&job, CopyAndVerify(&job, &entry), &entry);
    CloseRip(&job);
    return ripped;
}
