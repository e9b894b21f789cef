#include "drive_features.h"

#include "akrip_records.h"

namespace akrip {

namespace {

uint32_t Be16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

}  // namespace

bool ParseCdReadFeature(const uint8_t* answer, size_t length, bool* c2) {
    if (length < 8) return false;
    // The data length counts the bytes after itself.
    const uint64_t said = static_cast<uint64_t>(Be32(answer)) + 4;
    const size_t end = said < length ? static_cast<size_t>(said) : length;
    for (size_t at = 8; at + 4 <= end;) {
        const uint16_t code = static_cast<uint16_t>(Be16(answer + at));
        const size_t data = at + 4, size = answer[at + 3];
        if (code == kCdReadFeature) {
            if (size < 1 || data + 1 > end) return false;
            *c2 = (answer[data] & 0x02) != 0;
            return true;
        }
        at = data + size;
    }
    return false;
}

bool ParseCapabilitiesPage(const uint8_t* answer, size_t length, bool tenByte, CapabilitiesPage* page) {
    const size_t header = tenByte ? 8 : 4;
    if (length < header) return false;
    const uint64_t said = tenByte ? static_cast<uint64_t>(Be16(answer)) + 2 : static_cast<uint64_t>(answer[0]) + 1;
    const size_t end = said < length ? static_cast<size_t>(said) : length;
    const size_t descriptors = tenByte ? Be16(answer + 6) : answer[3];
    for (size_t at = header + descriptors; at + 2 <= end;) {
        const size_t size = static_cast<size_t>(answer[at + 1]) + 2;
        if ((answer[at] & 0x3F) == kCapabilitiesPage) {
            // Through the buffer size: bytes 12 and 13 of the page.
            if (size < 14 || at + 14 > end) return false;
            page->c2 = (answer[at + 5] & 0x10) != 0;
            page->bufferKb = Be16(answer + at + 12);
            return true;
        }
        at += size;
    }
    return false;
}

uint32_t CacheFramesOf(uint32_t kb) {
    return static_cast<uint32_t>((static_cast<uint64_t>(kb) * 1024 + kFrameBytes - 1) / kFrameBytes);
}

}  // namespace akrip
