#include "checksums.h"

#include <cstring>

#include <libdeflate.h>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uint32_t Sample(const uint8_t* s) { return s[0] | s[1] << 8 | s[2] << 16 | static_cast<uint32_t>(s[3]) << 24; }

// Adds sample i * position for `count` samples from `position` on: v1 the low halves of
// the products, v2 both halves.
void AddProducts(const uint8_t* samples, uint32_t position, uint32_t count, Sums* sums) {
    uint32_t i = 0;
#if defined(__SSE2__)
    // Four samples at a time; the low and the high halves of the 64-bit products are
    // added up apart, in 64-bit lanes that cannot overflow within a frame.
    __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
    const __m128i mask = _mm_set_epi32(0, -1, 0, -1);
    __m128i at = _mm_set_epi32(0, static_cast<int>(position + 2), 0, static_cast<int>(position));
    const __m128i step = _mm_set_epi32(0, 4, 0, 4);
    for (; i + 4 <= count; i += 4) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 4 * i));
        __m128i even = _mm_mul_epu32(x, at);
        __m128i odd = _mm_mul_epu32(_mm_srli_epi64(x, 32), _mm_add_epi32(at, _mm_set_epi32(0, 1, 0, 1)));
        low = _mm_add_epi64(low, _mm_add_epi64(_mm_and_si128(even, mask), _mm_and_si128(odd, mask)));
        high = _mm_add_epi64(high, _mm_add_epi64(_mm_srli_epi64(even, 32), _mm_srli_epi64(odd, 32)));
        at = _mm_add_epi32(at, step);
    }
    uint64_t lanes[4];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 2), high);
    uint32_t lo = static_cast<uint32_t>(lanes[0] + lanes[1]), hi = static_cast<uint32_t>(lanes[2] + lanes[3]);
    sums->v1 += lo;
    sums->v2 += lo + hi;
    position += i;
#endif
    for (; i < count; ++i, ++position) {
        uint64_t product = static_cast<uint64_t>(Sample(samples + 4 * i)) * position;
        sums->v1 += static_cast<uint32_t>(product);
        sums->v2 += static_cast<uint32_t>(product) + static_cast<uint32_t>(product >> 32);
    }
}

// The frame's share of the AccurateRip sums: its samples inside the window.
void AddArShares(const uint8_t* frame, long frameIndex, const ArWindow& window, Sums* sums) {
    const uint64_t first = static_cast<uint64_t>(frameIndex) * kFrameSamples + 1, last = first + kFrameSamples - 1;
    uint64_t from = first > window.first ? first : window.first, to = last < window.last ? last : window.last;
    if (from > to) return;
    AddProducts(frame + 4 * (from - first), static_cast<uint32_t>(from), static_cast<uint32_t>(to - from + 1), sums);
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
    sums.crc = libdeflate_crc32(0, frame, kAudioFrameBytes);
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
          block.crc = libdeflate_crc32(block.crc, frame, kAudioFrameBytes);
          AddArShares(frame, frames_++, window_, &block);
      }) {
    if (trackFrames > 0) blocks_.reserve(static_cast<size_t>((trackFrames + kBlockFrames - 1) / kBlockFrames));
}

TrackSums TrackSummer::Track() const {
    long last = frames_ % kBlockFrames == 0 ? kBlockFrames : frames_ % kBlockFrames;
    return FoldSums(blocks_, kBlockFrames, last);
}
