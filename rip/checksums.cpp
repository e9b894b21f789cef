#include "checksums.h"

#include <cstring>

#include <zlib.h>

ArWindow AccurateRipWindow(long trackFrames, bool firstTrack, bool lastTrack) {
    ArWindow window;
    const uint64_t samples = trackFrames > 0 ? static_cast<uint64_t>(trackFrames) * kFrameSamples : 0;
    window.first = firstTrack ? kEdgeSkipSamples : 1;
    // A last track no longer than the skipped stretch has no sample that counts.
    window.last = !lastTrack ? samples : samples > kEdgeSkipSamples ? samples - kEdgeSkipSamples : 0;
    return window;
}

FrameSums SumFrame(const uint8_t* frame, long frameIndex, const ArWindow& window) {
    FrameSums sums;
    sums.crc = static_cast<uint32_t>(crc32(0, frame, kAudioFrameBytes));
    uint64_t position = static_cast<uint64_t>(frameIndex) * kFrameSamples + 1;
    for (uint32_t i = 0; i < kFrameSamples; ++i, ++position) {
        if (position < window.first || position > window.last) continue;
        const uint8_t* s = frame + 4 * i;
        uint32_t sample = s[0] | s[1] << 8 | s[2] << 16 | static_cast<uint32_t>(s[3]) << 24;
        uint64_t product = static_cast<uint64_t>(sample) * static_cast<uint32_t>(position);
        sums.v1 += static_cast<uint32_t>(product);
        sums.v2 += static_cast<uint32_t>(product) + static_cast<uint32_t>(product >> 32);
    }
    return sums;
}

TrackSums FoldFrames(const std::vector<FrameSums>& frames) {
    TrackSums track;
    const uLong op = crc32_combine_gen(kAudioFrameBytes);
    uLong crc = 0;
    for (const FrameSums& f : frames) {
        crc = crc32_combine_op(crc, f.crc, op);
        track.v1 += f.v1;
        track.v2 += f.v2;
    }
    track.crc = static_cast<uint32_t>(crc);
    return track;
}

FrameSummer::FrameSummer(long trackFrames, bool firstTrack, bool lastTrack)
    : window_(AccurateRipWindow(trackFrames, firstTrack, lastTrack)),
      cutter_([this](const uint8_t* frame) {
          frames_.push_back(SumFrame(frame, static_cast<long>(frames_.size()), window_));
      }) {
    if (trackFrames > 0) frames_.reserve(static_cast<size_t>(trackFrames));
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
