// What a real drive says it can do, from its own answers: C2 error pointers and the
// size of its read cache, out of GET CONFIGURATION (the CD Read feature) and MODE SENSE
// (the CD capabilities page, 2Ah). Each answer is read within the bytes that arrived
// and the lengths it gives itself, whichever is shorter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace akrip {

constexpr uint16_t kCdReadFeature = 0x001E;
constexpr uint8_t kCapabilitiesPage = 0x2A;

// GET CONFIGURATION's answer: whether it holds the CD Read feature, and then whether
// that feature says the drive delivers C2 error pointers.
bool ParseCdReadFeature(const uint8_t* answer, size_t length, bool* c2);

struct CapabilitiesPage {
    bool c2 = false;            // "C2 pointers supported"
    uint32_t bufferKb = 0;      // the drive's buffer, in units of 1,024 bytes (0: not said)
};
// MODE SENSE's answer, of the 10-byte command (an 8-byte header) or the 6-byte one
// (4 bytes), with its block descriptors: false when page 2Ah is not whole in it.
bool ParseCapabilitiesPage(const uint8_t* answer, size_t length, bool tenByte, CapabilitiesPage* page);

// Frames of 2,352 bytes a buffer of `kb` KiB holds, rounded up: a cache is reported
// in whole KiB, rounded down.
uint32_t CacheFramesOf(uint32_t kb);

}  // namespace akrip
