#include "secureread.h"

#include <algorithm>
#include <map>
#include <string>

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

namespace {

// The frames of one block that the two passes disagreed on, and every read of each.
struct BlockCheck {
    std::map<long, std::vector<uint32_t>> reads;   // unsettled frame -> CRCs read so far
};

}  // namespace

VerifyResult VerifyTrack(FrameSummer* copy, const VerifyIo& io) {
    VerifyResult result;
    std::vector<FrameSums>& sums = copy->Frames();
    const long frames = static_cast<long>(sums.size());
    std::vector<FrameSums> test;
    test.reserve(sums.size());
    auto takeTest = [&](const uint8_t* frame) {
        test.push_back(SumFrame(frame, static_cast<long>(test.size()), copy->Window()));
    };
    if (!io.read(0, frames, takeTest, &result.failedFrame) || static_cast<long>(test.size()) != frames) {
        result.outcome = VerifyOutcome::kReadFailed;
        return result;
    }
    result.testCrc = FoldFrames(test).crc;

    std::map<long, BlockCheck> blocks;
    for (long j = 0; j < frames; ++j)
        if (test[j].crc != sums[j].crc) {
            result.reread.push_back(j);
            blocks[j / kVerifyBlockFrames].reads[j] = {sums[j].crc, test[j].crc};
        }
    for (auto& entry : blocks) {
        BlockCheck& block = entry.second;
        for (int reads = 2; !block.reads.empty() && reads < kMaxBlockReads; ++reads) {
            long first = block.reads.begin()->first, last = block.reads.rbegin()->first;
            long at = first;
            bool written = true;
            auto takeAgain = [&](const uint8_t* frame) {
                long j = at++;
                auto seen = block.reads.find(j);
                if (seen == block.reads.end()) return;
                FrameSums now = SumFrame(frame, j, copy->Window());
                std::vector<uint32_t>& crcs = seen->second;
                if (std::find(crcs.begin(), crcs.end(), now.crc) == crcs.end()) {
                    crcs.push_back(now.crc);
                    return;
                }
                if (now.crc != sums[j].crc) {
                    written = written && io.rewrite(j, frame);
                    sums[j] = now;
                }
                block.reads.erase(seen);
            };
            long failed = 0;
            io.read(first, last - first + 1, takeAgain, &failed);   // a failed read is one that agreed on nothing
            if (!written) {
                result.outcome = VerifyOutcome::kWriteFailed;
                return result;
            }
        }
        for (const auto& left : block.reads) result.unsettled.push_back(left.first);
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
