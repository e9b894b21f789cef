#include "discid.h"

#include <cstdio>
#include <cstring>

#include "toc.h"

namespace {

constexpr int kMaxTracks = 99;
// The gap between a CD-Extra's last audio session and its data session: the lead-out
// (6,750 frames), the next session's lead-in (4,500) and its first pregap (150).
constexpr long kSessionGapFrames = 11400;

uint32_t RotateLeft(uint32_t value, int bits) { return value << bits | value >> (32 - bits); }

// One 64-byte block into the state.
void Sha1Block(const uint8_t* block, uint32_t state[5]) {
    uint32_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = static_cast<uint32_t>(block[4 * t]) << 24 | static_cast<uint32_t>(block[4 * t + 1]) << 16 |
               static_cast<uint32_t>(block[4 * t + 2]) << 8 | block[4 * t + 3];
    for (int t = 16; t < 80; ++t) w[t] = RotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int t = 0; t < 80; ++t) {
        uint32_t f, k;
        if (t < 20) f = (b & c) | (~b & d), k = 0x5A827999;
        else if (t < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
        else if (t < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
        else f = b ^ c ^ d, k = 0xCA62C1D6;
        uint32_t next = RotateLeft(a, 5) + f + e + k + w[t];
        e = d, d = c, c = RotateLeft(b, 30), b = a, a = next;
    }
    state[0] += a, state[1] += b, state[2] += c, state[3] += d, state[4] += e;
}

// The first track, the last track and the lead-out by MusicBrainz's rules, as LBAs;
// false for a layout no id can be made of.
bool IdSpan(const DiscLayout& layout, size_t* last, long* leadout) {
    size_t count = layout.starts.size();
    if (count == 0 || count > kMaxTracks) return false;
    for (size_t k = 1; k < count; ++k)
        if (layout.starts[k] <= layout.starts[k - 1]) return false;
    if (layout.leadout <= layout.starts.back() || layout.starts[0] < 0) return false;
    auto isData = [&](size_t k) { return k < layout.data.size() && layout.data[k]; };
    size_t audioEnd = count;
    while (audioEnd > 0 && isData(audioEnd - 1)) --audioEnd;
    *last = count;
    *leadout = layout.leadout;
    if (audioEnd > 0 && audioEnd < count) {
        *last = audioEnd;
        *leadout = layout.starts[audioEnd] - kSessionGapFrames;
        // A data track closer than the gap to its audio would leave the lead-out before
        // the last audio track: such a layout is not a CD-Extra's.
        if (*leadout <= layout.starts[audioEnd - 1]) return false;
    }
    return true;
}

}  // namespace

// Debian ships a SHA-1 for the MinGW trees only inside libgcrypt, whose static library
// brings its whole cipher suite (some 1.4 MB in the program), libgpg-error and a global
// initialisation with it; the disc id needs the digest of 804 bytes, not cryptography.
// So the digest is this function, checked against FIPS 180's examples and, through the
// disc id, against libdiscid.
void Sha1(const void* data, size_t size, uint8_t digest[20]) {
    uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t whole = size / 64 * 64;
    for (size_t at = 0; at < whole; at += 64) Sha1Block(bytes + at, state);
    // The rest, the bit 1 after it, zeros and the length in bits: one or two blocks.
    uint8_t tail[128] = {};
    size_t rest = size - whole;
    if (rest > 0) memcpy(tail, bytes + whole, rest);
    tail[rest] = 0x80;
    size_t tailSize = rest < 56 ? 64 : 128;
    uint64_t bits = static_cast<uint64_t>(size) * 8;
    for (int k = 0; k < 8; ++k) tail[tailSize - 1 - k] = static_cast<uint8_t>(bits >> (8 * k));
    for (size_t at = 0; at < tailSize; at += 64) Sha1Block(tail + at, state);
    for (int k = 0; k < 20; ++k) digest[k] = static_cast<uint8_t>(state[k / 4] >> (24 - 8 * (k % 4)));
}

std::string MusicBrainzDiscId(const DiscLayout& layout) {
    size_t last = 0;
    long leadout = 0;
    if (!IdSpan(layout, &last, &leadout)) return "";
    // 2 + 2 + 100 times 8 hexadecimal digits.
    char text[2 + 2 + 8 * (kMaxTracks + 1) + 1];
    size_t used = static_cast<size_t>(snprintf(text, sizeof text, "%02X%02X%08lX", 1u, static_cast<unsigned>(last),
                                               static_cast<unsigned long>(leadout + akrip::kPregapFrames)));
    for (size_t k = 0; k < kMaxTracks; ++k) {
        unsigned long offset = k < last ? static_cast<unsigned long>(layout.starts[k] + akrip::kPregapFrames) : 0;
        used += static_cast<size_t>(snprintf(text + used, sizeof text - used, "%08lX", offset));
    }
    uint8_t digest[21] = {};   // the 21st byte pads the last group of three
    Sha1(text, used, digest);
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._";
    std::string id;
    for (size_t k = 0; k < 21; k += 3) {
        uint32_t group = static_cast<uint32_t>(digest[k]) << 16 | static_cast<uint32_t>(digest[k + 1]) << 8 | digest[k + 2];
        for (int s = 18; s >= 0; s -= 6) id += kAlphabet[group >> s & 0x3F];
    }
    id.back() = '-';   // 20 bytes make 27 characters and one of padding
    return id;
}

std::string FreedbQueryCommand(const DiscLayout& layout) {
    size_t count = layout.starts.size();
    if (count == 0 || count > kMaxTracks) return "";
    char number[32];
    snprintf(number, sizeof number, "%08x %u", static_cast<unsigned>(ComputeDiscIds(layout).freedb),
             static_cast<unsigned>(count));
    std::string command = std::string("cddb query ") + number;
    for (long start : layout.starts) {
        snprintf(number, sizeof number, " %ld", start + akrip::kPregapFrames);
        command += number;
    }
    snprintf(number, sizeof number, " %ld", (layout.leadout + akrip::kPregapFrames) / 75);
    return command + number;
}
