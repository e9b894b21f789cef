// The checksums of a ripped track, kept per 2,352-byte frame of the file's audio as the
// frames are written: the frame's CRC32 and its share of the two AccurateRip sums. The
// track's checksums fold the frames together, so a frame put right by a re-read only
// replaces its own entry.
//
// AccurateRip takes the audio as 32-bit samples (left in the low half, right in the
// high half), each multiplied by its 1-based position in the track. v1 adds the low 32
// bits of the products, v2 the low and the high 32 bits. On the disc's first track the
// first five frames less one sample do not count, on its last track the last five
// frames, as drives read the edges of a disc unreliably.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

constexpr uint32_t kAudioFrameBytes = 2352;
constexpr uint32_t kFrameSamples = 588;
constexpr uint32_t kEdgeSkipSamples = 5 * kFrameSamples;

// The samples of a track that count for AccurateRip: positions `first` to `last`
// (1-based, inclusive); none when first > last.
struct ArWindow {
    uint64_t first = 1;
    uint64_t last = 0;
};
ArWindow AccurateRipWindow(long trackFrames, bool firstTrack, bool lastTrack);

struct FrameSums {
    uint32_t crc = 0;
    uint32_t v1 = 0;
    uint32_t v2 = 0;
};

// The sums of frame `frameIndex` (0-based within the track) of 2,352 bytes.
FrameSums SumFrame(const uint8_t* frame, long frameIndex, const ArWindow& window);

struct TrackSums {
    uint32_t crc = 0;   // CRC32 of the track's audio bytes
    uint32_t v1 = 0;
    uint32_t v2 = 0;
};
TrackSums FoldFrames(const std::vector<FrameSums>& frames);

// Cuts a stream of audio bytes into frames of 2,352 bytes, handing on each as it
// completes (bytes of an incomplete last frame stay held).
class FrameCutter {
public:
    explicit FrameCutter(std::function<void(const uint8_t* frame)> onFrame) : onFrame_(std::move(onFrame)) {}
    void Add(const uint8_t* bytes, size_t count);

private:
    std::function<void(const uint8_t*)> onFrame_;
    uint8_t partial_[kAudioFrameBytes];
    size_t held_ = 0;
};

// Sums each frame of a track's audio as it is written.
class FrameSummer {
public:
    FrameSummer(long trackFrames, bool firstTrack, bool lastTrack);
    FrameSummer(const FrameSummer&) = delete;
    FrameSummer& operator=(const FrameSummer&) = delete;
    void Add(const uint8_t* bytes, size_t count) { cutter_.Add(bytes, count); }
    // The frames summed so far, in order.
    const std::vector<FrameSums>& Frames() const { return frames_; }
    std::vector<FrameSums>& Frames() { return frames_; }
    const ArWindow& Window() const { return window_; }

private:
    ArWindow window_;
    std::vector<FrameSums> frames_;
    FrameCutter cutter_;
};
