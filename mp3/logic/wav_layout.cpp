#include "wav_layout.h"

#include <cstring>

namespace mp3 {
namespace {

constexpr size_t kCanonicalHeader = 44;
constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM as it lies in the file.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t U16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
uint32_t U32(const uint8_t* at) { return static_cast<uint32_t>(U16(at)) | static_cast<uint32_t>(U16(at + 2)) << 16; }

// The format fields of a "fmt " chunk's body (at least 16 bytes) into `layout`;
// false when the body names no PCM sound.
bool ReadFormat(const uint8_t* body, uint64_t bodyBytes, WavLayout* layout) {
    layout->formatTag = U16(body);
    layout->channels = U16(body + 2);
    layout->sampleRate = U32(body + 4);
    layout->bitsPerSample = U16(body + 14);
    if (layout->formatTag == kTagPcm) return true;
    // Extensible: cbSize at 16, then valid bits, channel mask and the sub-format at 24.
    if (layout->formatTag != kTagExtensible || bodyBytes < 40 || memcmp(body + 24, kPcmSubFormat, 16) != 0)
        return false;
    layout->formatTag = kTagPcm;
    return true;
}

// The fixed layout. A file cut inside the header still shows the format fields it
// holds (up to bits per sample, bytes 34 and 35), but no sound.
WavLayout Canonical(const uint8_t* head, size_t headBytes, uint64_t fileBytes) {
    WavLayout layout;
    if (headBytes < 36) return layout;
    layout.formatTag = U16(head + 20);
    layout.channels = U16(head + 22);
    layout.sampleRate = U32(head + 24);
    layout.bitsPerSample = U16(head + 34);
    if (fileBytes < kCanonicalHeader) return layout;
    layout.kind = WavLayoutKind::kCanonical;
    layout.dataOffset = kCanonicalHeader;
    layout.dataBytes = fileBytes - kCanonicalHeader;
    return layout;
}

}  // namespace

WavLayout FindWavLayout(const uint8_t* head, size_t headBytes, uint64_t fileBytes) {
    if (headBytes > fileBytes) headBytes = static_cast<size_t>(fileBytes);
    if (headBytes < 12 || memcmp(head, "RIFF", 4) != 0 || memcmp(head + 8, "WAVE", 4) != 0)
        return Canonical(head, headBytes, fileBytes);
    WavLayout layout;
    bool formatFound = false;
    // Every chunk: a 4-character id, a 32-bit size, the body, a pad byte after an odd size.
    for (uint64_t at = 12; at + 8 <= headBytes;) {
        const uint8_t* chunk = head + at;
        uint64_t size = U32(chunk + 4), body = at + 8;
        if (memcmp(chunk, "fmt ", 4) == 0 && !formatFound) {
            if (size < 16 || body + 16 > headBytes) break;
            uint64_t inHead = headBytes - body;
            formatFound = true;
            if (!ReadFormat(chunk + 8, size < inHead ? size : inHead, &layout)) {
                layout.kind = WavLayoutKind::kNotPcm;
                return layout;
            }
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (!formatFound) break;   // the format must come first
            uint64_t available = fileBytes - body;
            layout.kind = WavLayoutKind::kChunks;
            layout.dataOffset = body;
            layout.dataBytes = size != 0 && size <= available ? size : available;
            return layout;
        }
        at = body + size + (size & 1);
    }
    return Canonical(head, headBytes, fileBytes);
}

bool IsCdFormat(const WavLayout& layout) {
    return layout.kind != WavLayoutKind::kNotPcm && layout.channels == 2 && layout.sampleRate == 44100 &&
           layout.bitsPerSample == 16;
}

bool HasSound(const WavLayout& layout) {
    return layout.kind == WavLayoutKind::kChunks || layout.kind == WavLayoutKind::kCanonical;
}

}  // namespace mp3
