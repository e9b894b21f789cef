#include "secureread.h"

#include <algorithm>
#include <map>
#include <string>

#include <libdeflate.h>
#include <zlib.h>

ReadPlan PlanRead(long start, long frames, long offsetSamples, long audioEnd) {
    ReadPlan plan;
    // Samples of the disc the file takes: [from, to).
    const int64_t from = static_cast<int64_t>(start) * kFrameSamples + offsetSamples;
    const int64_t to = from + static_cast<int64_t>(frames) * kFrameSamples;
    auto floorFrame = [](int64_t sample) {
        return sample >= 0 ? sample / kFrameSamples : -((-sample + kFrameSamples - 1) / kFrameSamples);
    };
    int64_t firstFrame = floorFrame(from);
    int64_t endFrame = frames > 0 ? floorFrame(to - 1) + 1 : firstFrame;
    plan.skipBytes = static_cast<uint32_t>((from - firstFrame * kFrameSamples) * 4);
    plan.outputBytes = static_cast<uint64_t>(frames > 0 ? frames : 0) * kAudioFrameBytes;
    int64_t readFirst = std::max<int64_t>(firstFrame, 0);
    int64_t readEnd = std::min<int64_t>(endFrame, audioEnd);
    if (readEnd < readFirst) readEnd = readFirst;
    plan.zeroFramesBefore = static_cast<long>(std::min<int64_t>(readFirst, endFrame) - firstFrame);
    if (plan.zeroFramesBefore < 0) plan.zeroFramesBefore = 0;
    plan.first = static_cast<long>(readFirst);
    plan.frames = static_cast<long>(readEnd - readFirst);
    plan.zeroFramesAfter = static_cast<long>(endFrame - firstFrame) - plan.zeroFramesBefore - plan.frames;
    return plan;
}

void ByteWindow::Cut(const uint8_t*& bytes, uint32_t& count) {
    uint64_t skipped = std::min<uint64_t>(skip_, count);
    skip_ -= skipped;
    bytes += skipped;
    count -= static_cast<uint32_t>(skipped);
    if (count > left_) count = static_cast<uint32_t>(left_);
    left_ -= count;
}

CopyResult CopyPlanned(const ReadPlan& plan, const FrameCopyIo& io) {
    ByteWindow window(plan.skipBytes, plan.outputBytes);
    CopyResult result;
    auto pass = [&](const uint8_t* bytes, uint32_t count) {
        window.Cut(bytes, count);
        if (count == 0) return true;
        result.bytes += count;
        return io.write(bytes, count);
    };
    static const uint8_t kSilence[kAudioFrameBytes] = {};
    for (long k = 0; k < plan.zeroFramesBefore; ++k)
        if (!pass(kSilence, kAudioFrameBytes)) result.outcome = CopyOutcome::kWriteFailed;
    if (result.outcome != CopyOutcome::kComplete) return result;
    FrameCopyIo through = io;
    through.write = pass;
    CopyResult read = CopyFrames(plan.first, plan.frames, through);
    if (read.outcome != CopyOutcome::kComplete) {
        read.bytes = result.bytes;
        return read;
    }
    for (long k = 0; k < plan.zeroFramesAfter; ++k)
        if (!pass(kSilence, kAudioFrameBytes)) result.outcome = CopyOutcome::kWriteFailed;
    return result;
}

FrameSpan PlanCachePass(long first, long count, long cacheFrames, long audioEnd, unsigned turn) {
    if (cacheFrames <= 0 || audioEnd <= 0) return {};
    const long want = cacheFrames + kChunkFrames;
    const long end = std::min(first + std::max(count, 0L), audioEnd);
    first = std::max(0L, std::min(first, audioEnd));
    // The room before the frames and after them; spans are cut from the far end of each
    // toward the frames, the larger room first.
    struct Room {
        long from, to;   // [from, to)
        bool before;
    } rooms[2] = {{0, first, true}, {std::max(end, first), audioEnd, false}};
    if (rooms[1].to - rooms[1].from > rooms[0].to - rooms[0].from) std::swap(rooms[0], rooms[1]);
    FrameSpan spans[2];
    int found = 0;
    for (const Room& room : rooms) {
        for (long left = room.to - room.from; found < 2 && left > 0;) {
            const long size = std::min(want, left);
            if (size < want && found > 0) break;   // a part-span only where there is nothing better
            const long taken = room.to - room.from - left;
            spans[found].first = room.before ? room.from + taken : room.to - taken - size;
            spans[found].frames = size;
            ++found;
            left -= size;
        }
    }
    return found == 0 ? FrameSpan{} : spans[turn % static_cast<unsigned>(found)];
}

namespace {

// Re-reads the frames of block `b` that the copy and the test read disagree on
// (`testCrcs`, the test read's CRC of each frame of the block). False when the file
// could not be read back or written.
bool SettleBlock(TrackSummer* copy, const VerifyIo& io, long b, const std::vector<uint32_t>& testCrcs,
                 VerifyResult* result) {
    const long first = b * kBlockFrames, frames = static_cast<long>(testCrcs.size());
    std::vector<Sums> copied(static_cast<size_t>(frames));
    std::vector<uint8_t> bytes(kAudioFrameBytes);
    std::map<long, std::vector<uint32_t>> open;   // frame not yet settled -> the CRCs read of it
    for (long k = 0; k < frames; ++k) {
        if (!io.readBack(first + k, bytes.data())) return false;
        copied[k] = SumFrame(bytes.data(), first + k, copy->Window());
        if (copied[k].crc == testCrcs[k]) continue;
        result->reread.push_back(first + k);
        open[first + k] = {copied[k].crc, testCrcs[k]};
    }
    bool written = true;
    for (int reads = 2; !open.empty() && reads < kMaxBlockReads && written; ++reads) {
        long from = open.begin()->first, to = open.rbegin()->first, at = from;
        auto take = [&](const uint8_t* frame) {
            long j = at++;
            auto seen = open.find(j);
            if (seen == open.end()) return;
            Sums now = SumFrame(frame, j, copy->Window());
            std::vector<uint32_t>& crcs = seen->second;
            if (std::find(crcs.begin(), crcs.end(), now.crc) == crcs.end()) {
                crcs.push_back(now.crc);
                return;
            }
            Sums& kept = copied[static_cast<size_t>(j - first)];
            if (now.crc != kept.crc) {
                written = written && io.rewrite(j, frame);
                kept = now;
            }
            open.erase(seen);
        };
        long failed = 0;
        io.read(from, to - from + 1, take, &failed);   // a failed read is one that agreed on nothing
    }
    for (const auto& left : open) result->unsettled.push_back(left.first);
    copy->Blocks()[static_cast<size_t>(b)] = FoldSums(copied, 1, 1);
    return written;
}

}  // namespace

VerifyResult VerifyTrack(TrackSummer* copy, const VerifyIo& io) {
    VerifyResult result;
    const long frames = copy->Frames();
    std::vector<Sums>& blocks = copy->Blocks();
    // The test read's CRC is folded from its blocks' CRCs at the end, as the copy's is:
    // a frame's CRC is summed once, into its block.
    std::vector<Sums> tested(blocks.size());
    const uLong frameOp = crc32_combine_gen(kAudioFrameBytes);
    long done = 0, extra = 0;
    std::vector<uint32_t> crcs;                         // of the block being read
    std::map<long, std::vector<uint32_t>> differing;    // block -> the test read's frame CRCs
    auto take = [&](const uint8_t* frame) {
        if (done == frames) {   // more than the track: the read is not the track's
            ++extra;
            return;
        }
        const size_t b = static_cast<size_t>(done / kBlockFrames);
        uint32_t crc = static_cast<uint32_t>(libdeflate_crc32(0, frame, kAudioFrameBytes));
        tested[b].crc = static_cast<uint32_t>(crc32_combine_op(tested[b].crc, crc, frameOp));
        crcs.push_back(crc);
        if (++done % kBlockFrames != 0 && done != frames) return;
        if (tested[b].crc != blocks[b].crc) differing[static_cast<long>(b)] = crcs;
        crcs.clear();
    };
    if (!io.read(0, frames, take, &result.failedFrame) || done != frames || extra != 0) {
        result.outcome = VerifyOutcome::kReadFailed;
        if (done == frames) result.failedFrame = frames;
        return result;
    }
    const long last = frames % kBlockFrames == 0 ? kBlockFrames : frames % kBlockFrames;
    result.testCrc = FoldSums(tested, kBlockFrames, last).crc;
    for (const auto& block : differing)
        if (!SettleBlock(copy, io, block.first, block.second, &result)) {
            result.outcome = VerifyOutcome::kFileFailed;
            return result;
        }
    return result;
}

std::string FrameRanges(const std::vector<long>& frames, long offset) {
    std::string text;
    for (size_t k = 0; k < frames.size();) {
        size_t end = k;
        while (end + 1 < frames.size() && frames[end + 1] == frames[end] + 1) ++end;
        if (!text.empty()) text += ", ";
        text += std::to_string(frames[k] + offset);
        if (end > k) text += "-" + std::to_string(frames[end] + offset);
        k = end + 1;
    }
    return text;
}
