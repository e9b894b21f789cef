// Secure reading: where a rip reads for a drive's read offset, and the check of a
// copied track by a second read, with re-reads of what the two reads disagree on.
// Plain C++: the drive and the file are reached through callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "checksums.h"
#include "framecopy.h"

// What a rip reads for a track of `frames` frames from `start` with a read offset of
// `offsetSamples` (the drive delivers each sample that many places early: the file
// takes the disc's samples from start * 588 + offset on). The frames read cover those
// samples; what lies before the disc's first frame or past `audioEnd` (the frame after
// the last audio frame) is taken as silence. The file's bytes are those after the
// first `skipBytes` of [silence before, frames read, silence after], `outputBytes` of
// them. With offset 0 the plan reads exactly the track's frames.
struct ReadPlan {
    long zeroFramesBefore = 0;
    long first = 0;
    long frames = 0;
    long zeroFramesAfter = 0;
    uint32_t skipBytes = 0;
    uint64_t outputBytes = 0;
};
ReadPlan PlanRead(long start, long frames, long offsetSamples, long audioEnd);

// Passes on, of a stream of bytes, those after the first `skip`, up to `take` of them.
class ByteWindow {
public:
    ByteWindow(uint64_t skip, uint64_t take) : skip_(skip), left_(take) {}
    // The part of `bytes` inside the window: its start and length.
    void Cut(const uint8_t*& bytes, uint32_t& count);

private:
    uint64_t skip_;
    uint64_t left_;
};

// Copies what a plan reads: its silence and, through CopyFrames (reads of 26 frames,
// 3 attempts, progress every fifth read), its frames, handing io.write the window's
// bytes alone. The result counts the bytes handed on.
CopyResult CopyPlanned(const ReadPlan& plan, const FrameCopyIo& io);

// ---- reads past the drive's cache ----

// A drive answers a read of frames it holds in its cache from there, not from the
// disc: a re-read would then compare the drive's memory with itself. Before a read
// that must come from the disc, as many frames as the cache holds (and a read more)
// are read elsewhere on the disc, which pushes the frames out. Where the drive does
// not report its cache, kAssumedCacheFrames (2 MiB, the common size) are assumed.
constexpr long kAssumedCacheFrames = 2 * 1024 * 1024 / 2352 + 1;   // 892

struct FrameSpan {
    long first = 0;
    long frames = 0;
};
// The frames to read so that a cache of `cacheFrames` holds none of [first, first +
// count): a span of audio frames in [0, audioEnd) apart from them. Two such spans
// are taken in turn (`turn` 0, 1, 2, ...): reading the same span again would be
// answered from the cache that its last reading filled. A disc without room for a
// whole span gives the largest it has; no cache gives no frames.
FrameSpan PlanCachePass(long first, long count, long cacheFrames, long audioEnd, unsigned turn);

constexpr int kMaxBlockReads = 16;   // reads of a block, the copy and the test included

// The drive and the file as the check reaches them; frames are numbered within the
// track (0 is its first).
struct VerifyIo {
    // Reads `count` frames from `first` again, handing each frame's 2,352 bytes to `take`
    // in order. False, with the first frame of the read that failed in *failedFrame,
    // when the drive could not read them.
    std::function<bool(long first, long count, const std::function<void(const uint8_t*)>& take, long* failedFrame)>
        read;
    // Reads frame `frame` of the file, as the copy wrote it, into `bytes` (2,352).
    std::function<bool(long frame, uint8_t* bytes)> readBack;
    // Writes `bytes` (2,352) over frame `frame` of the file; false when that failed.
    std::function<bool(long frame, const uint8_t* bytes)> rewrite;
};

enum class VerifyOutcome { kDone, kReadFailed, kFileFailed };

struct VerifyResult {
    VerifyOutcome outcome = VerifyOutcome::kDone;
    long failedFrame = 0;          // kReadFailed: where the test pass could not read
    uint32_t testCrc = 0;          // CRC32 of the test pass as it was read
    std::vector<long> reread;      // frames the two passes disagreed on, re-read
    std::vector<long> unsettled;   // of those, the frames no two reads agreed on
};

// Reads the copied track a second time and compares the two reads block by block (26
// frames). In a block that differs, the copy's frames are read back from the file and
// compared frame by frame, and the frames that differ are read again until two reads of
// each agree, at most kMaxBlockReads reads of the block in all. A frame settled on
// other bytes than the copy's is written over the file's, and its block's sums in
// `copy` follow. Frames that never agree keep the copy's bytes.
VerifyResult VerifyTrack(TrackSummer* copy, const VerifyIo& io);

// Ranges of a sorted list of frames: "230-240, 300" (empty for none); `offset` is
// added to each frame.
std::string FrameRanges(const std::vector<long>& frames, long offset = 0);
