// WAV files laid out otherwise than the canonical 44 bytes, built chunk by chunk for
// the tests of the converter (unit and end-to-end).
#pragma once

#include <cstdint>
#include <string>

namespace riff {

// `value` as `bytes` little-endian bytes.
inline std::string Le(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}
// A chunk: its id, its size, its body and the pad byte after an odd size.
inline std::string Chunk(const std::string& id, const std::string& body) {
    return id + Le(static_cast<uint32_t>(body.size()), 4) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}
// The 16 bytes of a format chunk: tag, channels, rate, byte rate, block align, bits.
inline std::string FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) + Le(bits, 2);
}
// The sub-format of extensible PCM, as it lies in the file.
const std::string kPcmGuid("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
// The 40 bytes of an extensible format chunk of 16-bit stereo at 44,100 Hz.
inline std::string ExtensibleBody(const std::string& subFormat) {
    return FormatBody(0xFFFE, 2, 44100, 16) + Le(22, 2) + Le(16, 2) + Le(3, 4) + subFormat;
}
inline std::string Riff(const std::string& chunks) {
    return "RIFF" + Le(static_cast<uint32_t>(4 + chunks.size()), 4) + "WAVE" + chunks;
}

}  // namespace riff
