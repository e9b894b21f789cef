// Where the sound of a WAV file lies and what format it is in, found by walking the
// file's RIFF chunks: the "fmt " chunk gives the format, the "data" chunk the sound,
// whatever other chunks (LIST, JUNK, fact, ...) stand before, between or after them.
// A file whose chunk list cannot be walked is read by the canonical 44-byte layout:
// the format fields at bytes 20 to 37, the sound from byte 44 to the end.
//
// Plain C++ over the first bytes of the file, so the rule is tested natively and
// fuzzed; the converter and the conversion check read the bytes and ask it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mp3 {

// How many of the file's first bytes the walk is given: the chunks before the sound
// (tags, padding) are small; a file whose "data" chunk starts later than this is read
// by the canonical layout.
constexpr size_t kWavHeadBytes = 1024 * 1024;

enum class WavLayoutKind {
    kChunks,     // "fmt " and "data" found by the walk
    kCanonical,  // no chunk list to walk: the fixed 44-byte layout
    kNotPcm,     // the format chunk names compressed or floating-point sound
    kTooShort,   // not even the canonical header's 44 bytes (its format fields may be there)
};

struct WavLayout {
    WavLayoutKind kind = WavLayoutKind::kTooShort;
    uint16_t formatTag = 0;      // 1 for PCM; 0xFFFE (extensible) is reported as 1 when its sub-format is PCM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint64_t dataOffset = 0;     // first byte of the sound
    uint64_t dataBytes = 0;      // bytes of sound, all of them inside the file
};

// Walks the chunks in `head` (the file's first `headBytes` bytes, at most the whole
// file) of a file of `fileBytes`. The data chunk's size is trusted only when the file
// holds that much; a size of 0 (a writer that never came back to fill it in) or one
// past the end means "to the end of the file".
WavLayout FindWavLayout(const uint8_t* head, size_t headBytes, uint64_t fileBytes);

// The only format the converter takes: PCM, 44,100 Hz, 16 bits, stereo. (The canonical
// layout's format tag is not looked at: without a chunk list it means nothing.)
bool IsCdFormat(const WavLayout& layout);
// Whether the layout says where the sound is (kChunks or kCanonical).
bool HasSound(const WavLayout& layout);

}  // namespace mp3
