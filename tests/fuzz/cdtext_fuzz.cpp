// A drive's CD-Text (READ TOC format 5) as the program reads it.
//
// Beyond "no fault" (the answer is read from a block of exactly the bytes that
// arrived): bytes past the whole packs the header's length and the answer hold change
// nothing; every text is valid UTF-8 without a NUL or another control character, of at
// most 99 tracks; and what is read, written again as packs, reads back the same. Each
// input is read twice: as it came, and with every pack's CRC made right, so that the
// search reaches the reading of the texts without having to find CRCs.
#include <vector>

#include "cdtext.h"
#include "fuzz_check.h"

namespace {

// Whether `text` is well-formed UTF-8 without control characters.
bool CleanUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t extra = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : 9;
        if (extra == 9 || i + extra >= text.size() + (extra == 0)) return false;
        uint32_t point = extra ? c & (0x3F >> extra) : c;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
            point = point << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (point < 0x20 || (point >= 0x7F && point < 0xA0)) return false;
        i += extra + 1;
    }
    return true;
}

bool Same(const akrip::CdTextEntry& a, const akrip::CdTextEntry& b) {
    return a.title == b.title && a.performer == b.performer && a.songwriter == b.songwriter;
}

bool Same(const akrip::CdText& a, const akrip::CdText& b) {
    if (!Same(a.disc, b.disc) || a.tracks.size() != b.tracks.size()) return false;
    for (size_t k = 0; k < a.tracks.size(); ++k)
        if (!Same(a.tracks[k], b.tracks[k])) return false;
    return true;
}

bool Clean(const akrip::CdTextEntry& e) { return CleanUtf8(e.title) && CleanUtf8(e.performer) && CleanUtf8(e.songwriter); }

// Checks the promises on one answer of exactly `size` bytes.
void CheckAnswer(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(exact.get(), data, size);
    akrip::CdText text;
    const bool read = akrip::ParseCdText(exact.get(), size, &text);
    if (!read) FUZZ_CHECK(text.tracks.empty() && text.disc.title.empty());

    // The bytes that count: the header and the whole packs that both it and the answer hold.
    if (size >= 4) {
        const size_t said = static_cast<size_t>(data[0]) << 8 | data[1];
        const size_t body = std::min(size - 4, said >= 2 ? said - 2 : 0);
        const size_t used = 4 + body / akrip::kCdTextPackBytes * akrip::kCdTextPackBytes;
        if (used < size) {
            std::unique_ptr<uint8_t[]> spoiled(new uint8_t[size]);
            std::memcpy(spoiled.get(), data, size);
            for (size_t k = used; k < size; ++k) spoiled[k] ^= 0xFF;
            akrip::CdText again;
            FUZZ_CHECK(akrip::ParseCdText(spoiled.get(), size, &again) == read && Same(again, text));
        }
    }
    if (!read) return;
    FUZZ_CHECK(text.tracks.size() <= 99 && Clean(text.disc));
    for (const akrip::CdTextEntry& entry : text.tracks) FUZZ_CHECK(Clean(entry));

    std::vector<uint8_t> packs;
    if (akrip::EncodeCdText(text, &packs)) {
        akrip::CdText back;
        FUZZ_CHECK(akrip::ParseCdText(packs.data(), packs.size(), &back) && Same(back, text));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckAnswer(data, size);
    std::vector<uint8_t> sealed(data, data + size);
    for (size_t at = 4; at + akrip::kCdTextPackBytes <= sealed.size(); at += akrip::kCdTextPackBytes) {
        const uint16_t crc = akrip::CdTextCrc(&sealed[at]);
        sealed[at + 16] = static_cast<uint8_t>(crc >> 8);
        sealed[at + 17] = static_cast<uint8_t>(crc);
    }
    if (sealed.size() >= 4) CheckAnswer(sealed.data(), sealed.size());
    return 0;
}
