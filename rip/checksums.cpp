#include "checksums.h"

#include <cstring>

#include <zlib.h>

namespace {

void AddArShares(const uint8_t* frame, long frameIndex, const ArWindow& window, Sums* sums) {
    uint64_t position = static_cast<uint64_t>(frameIndex) * kFrameSamples + 1;
    if (position > window.last || position + kFrameSamples <= window.first) return;
    for (uint32_t i = 0; i < kFrameSamples; ++i, ++position) {
        if (position < window.first || position > window.last) continue;
        const uint8_t* s = frame + 4 * i;
        uint32_t sample = s[0] | s[1] << 8 | s[2] << 16 | static_cast<uint32_t>(s[3]) << 24;
        uint64_t product = static_cast<uint64_t>(sample) * static_cast<uint32_t>(position);
        sums->v1 += static_cast<uint32_t>(product);
        sums->v2 += static_cast<uint32_t>(product) + static_cast<uint32_t>(product >> 32);
    }
}

}  // namespace

ArWindow AccurateRipWindow(long trackFrames, bool firstTrack, bool lastTrack) {
    ArWindow window;
    const uint64_t samples = trackFrames > 0 ? static_cast<uint64_t>(trackFrames) * kFrameSamples : 0;
    window.first = firstTrack ? kEdgeSkipSamples : 1;
    // A last track no longer than the skipped stretch has no sample that counts.
    window.last = !lastTrack ? samples : samples > kEdgeSkipSamples ? samples - kEdgeSkipSamples : 0;
    return window;
}

Sums SumFrame(const uint8_t* frame, long frameIndex, const ArWindow& window) {
    Sums sums;
    sums.crc = static_cast<uint32_t>(crc32(0, frame, kAudioFrameBytes));
    AddArShares(frame, frameIndex, window, &sums);
    return sums;
}

Sums FoldSums(const std::vector<Sums>& stretches, long frames, long lastFrames) {
    Sums total;
    const uLong op = crc32_combine_gen(static_cast<z_off_t>(frames) * kAudioFrameBytes);
    uLong crc = 0;
    for (size_t k = 0; k < stretches.size(); ++k) {
        const Sums& s = stretches[k];
        if (k + 1 < stretches.size() || lastFrames == frames)
            crc = crc32_combine_op(crc, s.crc, op);
        else
            crc = crc32_combine(crc, s.crc, static_cast<z_off_t>(lastFrames) * kAudioFrameBytes);
        total.v1 += s.v1;
        total.v2 += s.v2;
    }
    total.crc = static_cast<uint32_t>(crc);
    return total;
}

void FrameCutter::Add(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        if (held_ == 0 && count >= kAudioFrameBytes) {
            onFrame_(bytes);
            bytes += kAudioFrameBytes;
            count -= kAudioFrameBytes;
            continue;
        }
        size_t take = count < kAudioFrameBytes - held_ ? count : kAudioFrameBytes - held_;
        std::memcpy(partial_ + held_, bytes, take);
        held_ += take;
        bytes += take;
        count -= take;
        if (held_ == kAudioFrameBytes) {
            onFrame_(partial_);
            held_ = 0;
        }
    }
}

TrackSummer::TrackSummer(long trackFrames, bool firstTrack, bool lastTrack)
    : window_(AccurateRipWindow(trackFrames, firstTrack, lastTrack)), cutter_([this](const uint8_t* frame) {
          if (frames_ % kBlockFrames == 0) blocks_.emplace_back();
          Sums& block = blocks_.back();
          block.crc = static_cast<uint32_t>(crc32(block.crc, frame, kAudioFrameBytes));
          AddArShares(frame, frames_++, window_, &block);
      }) {
    if (trackFrames > 0) blocks_.reserve(static_cast<size_t>((trackFrames + kBlockFrames - 1) / kBlockFrames));
}

TrackSums TrackSummer::Track() const {
    long last = frames_ % kBlockFrames == 0 ? kBlockFrames : frames_ % kBlockFrames;
    return FoldSums(blocks_, kBlockFrames, last);
}
