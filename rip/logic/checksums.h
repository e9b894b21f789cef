// The checksums of a ripped track, summed as its audio is written: the CRC32 of its
// bytes and the two AccurateRip checksums, kept per block of 26 frames so that a second
// read can be compared block by block and a frame put right by a re-read changes only
// its own block's sums. The blocks hold a few bytes for each second of audio.
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
constexpr long kBlockFrames = 26;   // frames of a block: those of one read

// The samples of a track that count for AccurateRip: positions `first` to `last`
// (1-based, inclusive); none when first > last.
struct ArWindow {
    uint64_t first = 1;
    uint64_t last = 0;
};
ArWindow AccurateRipWindow(long trackFrames, bool firstTrack, bool lastTrack);

// Checksums of a stretch of whole frames: CRC32 of their bytes, AccurateRip shares.
struct Sums {
    uint32_t crc = 0;
    uint32_t v1 = 0;
    uint32_t v2 = 0;
};
using TrackSums = Sums;

// The sums of frame `frameIndex` (0-based within the track) of 2,352 bytes.
Sums SumFrame(const uint8_t* frame, long frameIndex, const ArWindow& window);

// The sums of stretches laid end to end, each of `frames` frames but the last, which
// may be shorter (`lastFrames`).
Sums FoldSums(const std::vector<Sums>& stretches, long frames, long lastFrames);

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

// Sums a track's audio block by block as it is written.
class TrackSummer {
public:
    TrackSummer(long trackFrames, bool firstTrack, bool lastTrack);
    TrackSummer(const TrackSummer&) = delete;
    TrackSummer& operator=(const TrackSummer&) = delete;
    void Add(const uint8_t* bytes, size_t count) { cutter_.Add(bytes, count); }

    long Frames() const { return frames_; }   // whole frames summed so far
    // Block b covers frames 26b to 26b + 25 (the last one may be shorter).
    std::vector<Sums>& Blocks() { return blocks_; }
    const ArWindow& Window() const { return window_; }
    TrackSums Track() const;

private:
    ArWindow window_;
    std::vector<Sums> blocks_;
    long frames_ = 0;
    FrameCutter cutter_;
};
