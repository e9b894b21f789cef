#include "cdtext.h"

#include <algorithm>

namespace akrip {
namespace {

constexpr uint8_t kPackTitle = 0x80;
constexpr uint8_t kPackSizeInfo = 0x8F;
constexpr int kKinds = 3;   // title, performer, songwriter: pack types 80h to 82h
constexpr uint8_t kTab = 0x09;
constexpr uint8_t kCodeLatin1 = 0x00;
constexpr uint8_t kCodeAscii = 0x01;
constexpr uint8_t kLanguageEnglish = 0x09;
constexpr size_t kTextBytes = 12;   // of a pack
constexpr int kStrings = kCdTextMaxTrack + 1;   // the disc's and one per track

std::string& Field(CdTextEntry& entry, int kind) {
    return kind == 0 ? entry.title : kind == 1 ? entry.performer : entry.songwriter;
}
const std::string& Field(const CdTextEntry& entry, int kind) {
    return kind == 0 ? entry.title : kind == 1 ? entry.performer : entry.songwriter;
}

int Block(const uint8_t* pack) { return pack[3] >> 4 & 7; }
bool DoubleByte(const uint8_t* pack) { return (pack[3] & 0x80) != 0; }

// Whether `pack` is one of block 0's with a right CRC (and without the extension flag,
// which no text pack of a disc sets).
bool Usable(const uint8_t* pack) {
    return Block(pack) == 0 && (pack[1] & 0x80) == 0 &&
           CdTextCrc(pack) == (static_cast<uint16_t>(pack[16]) << 8 | pack[17]);
}

// The bytes of one string in `code` as UTF-8, control characters left out (and, for
// ASCII, every byte beyond it).
std::string ToUtf8(const std::string& bytes, uint8_t code) {
    std::string out;
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (code == kCodeAscii && c >= 0x80)) continue;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The strings of one kind as the packs give them: strings[t] is the raw string of
// track t (0: the disc), got[t] whether all its bytes arrived.
struct KindStrings {
    std::string strings[kStrings];
    bool got[kStrings] = {};
};

// Gathers the strings of the packs of `type` among `packs` (block 0's usable ones, in
// the order the drive gave them). A pack that does not go on where the last one of its
// type ended (its sequence number, track and character position say so) starts a new
// string; what came before it of an unfinished string is dropped, and so is the rest of
// a string whose beginning is missing.
void GatherKind(const std::vector<const uint8_t*>& packs, uint8_t type, KindStrings* kind) {
    int track = -1;   // the string being read, -1 for none
    bool whole = false;
    std::string current;
    int lastSequence = -2;
    for (const uint8_t* pack : packs) {
        if (pack[0] != type) continue;
        const int packTrack = pack[1], position = pack[3] & 0x0F, sequence = pack[2];
        const bool goesOn = track == packTrack && lastSequence >= 0 && sequence == ((lastSequence + 1) & 0xFF) &&
                            position == static_cast<int>(std::min<size_t>(current.size(), 15));
        if (!goesOn) {
            track = packTrack;
            current.clear();
            whole = position == 0;
        }
        lastSequence = sequence;
        for (size_t k = 0; k < kTextBytes; ++k) {
            const uint8_t c = pack[4 + k];
            if (c != 0) {
                if (current.size() < 4096) current += static_cast<char>(c);   // no name is longer
                continue;
            }
            if (whole && track >= 0 && track < kStrings) {
                kind->strings[track] = current;
                kind->got[track] = true;
            }
            ++track;
            current.clear();
            whole = true;
        }
    }
}

// The code point at `text[*at]`, advancing past it; an ill-formed sequence gives its
// first byte as an ISO-8859-1 character.
uint32_t NextCodePoint(const std::string& text, size_t* at) {
    const unsigned char c = static_cast<unsigned char>(text[*at]);
    int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    if (c >= 0x80 && extra > 0 && *at + extra < text.size()) {
        uint32_t point = c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra && ok; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[*at + k]);
            ok = (next & 0xC0) == 0x80;
            point = point << 6 | (next & 0x3F);
        }
        const uint32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (ok && point >= least && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF)) {
            *at += static_cast<size_t>(extra) + 1;
            return point;
        }
    }
    ++*at;
    return c;
}

// UTF-8 text as ISO-8859-1 bytes for a pack: control characters left out, a character
// beyond ISO-8859-1 as '?'.
std::string ToLatin1(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const uint32_t point = NextCodePoint(text, &at);
        if (point < 0x20 || (point >= 0x7F && point < 0xA0)) continue;
        out += point <= 0xFF ? static_cast<char>(point) : '?';
    }
    return out;
}

void SealPack(uint8_t* pack) {
    const uint16_t crc = CdTextCrc(pack);
    pack[16] = static_cast<uint8_t>(crc >> 8);
    pack[17] = static_cast<uint8_t>(crc);
}

}  // namespace

uint16_t CdTextCrc(const uint8_t* pack) {
    uint16_t crc = 0;
    for (size_t k = 0; k < 16; ++k) {
        crc ^= static_cast<uint16_t>(pack[k]) << 8;
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

bool ParseCdText(const uint8_t* answer, size_t size, CdText* text) {
    *text = CdText();
    if (size < 4) return false;
    const size_t said = static_cast<size_t>(answer[0]) << 8 | answer[1];
    const size_t bytes = std::min(size - 4, said >= 2 ? said - 2 : 0);
    std::vector<const uint8_t*> packs;
    for (size_t at = 4; at + kCdTextPackBytes <= 4 + bytes; at += kCdTextPackBytes)
        if (Usable(answer + at)) packs.push_back(answer + at);
    if (packs.empty()) return false;

    uint8_t code = kCodeLatin1;   // without size information, what nearly every disc has
    int lastTrack = 0;
    for (const uint8_t* pack : packs) {
        if (DoubleByte(pack)) return false;
        if (pack[0] == kPackSizeInfo && pack[1] == 0) {
            code = pack[4];
            lastTrack = pack[6] <= kCdTextMaxTrack ? pack[6] : 0;
        }
    }
    if (code != kCodeLatin1 && code != kCodeAscii) return false;

    KindStrings kinds[kKinds];
    std::string decoded[kKinds][kStrings];
    bool any = false;
    for (int kind = 0; kind < kKinds; ++kind) {
        GatherKind(packs, static_cast<uint8_t>(kPackTitle + kind), &kinds[kind]);
        for (int t = 0; t < kStrings; ++t) {
            if (!kinds[kind].got[t]) continue;
            const std::string& raw = kinds[kind].strings[t];
            if (raw.size() == 1 && raw[0] == static_cast<char>(kTab)) {
                if (t > 0 && kinds[kind].got[t - 1]) decoded[kind][t] = decoded[kind][t - 1];
                else kinds[kind].got[t] = false;   // the string it repeats is lost
            } else {
                decoded[kind][t] = ToUtf8(raw, code);
            }
            if (!decoded[kind][t].empty()) {
                any = true;
                if (t > lastTrack) lastTrack = t;
            }
        }
    }
    if (!any) return false;
    text->tracks.resize(static_cast<size_t>(lastTrack));
    for (int kind = 0; kind < kKinds; ++kind) {
        Field(text->disc, kind) = decoded[kind][0];
        for (int t = 1; t <= lastTrack; ++t) Field(text->tracks[static_cast<size_t>(t - 1)], kind) = decoded[kind][t];
    }
    return true;
}

bool EncodeCdText(const CdText& text, std::vector<uint8_t>* answer) {
    answer->clear();
    const size_t tracks = text.tracks.size();
    if (tracks == 0 || tracks > static_cast<size_t>(kCdTextMaxTrack)) return false;
    std::vector<uint8_t> packs;
    uint8_t counts[16] = {};
    size_t sequence = 0;
    for (int kind = 0; kind < kKinds; ++kind) {
        // The strings of this kind one after the other, and the track of each byte.
        std::string stream;
        std::vector<uint8_t> trackOf, positionOf;
        bool any = false;
        std::string previous;
        for (size_t t = 0; t <= tracks; ++t) {
            std::string s = ToLatin1(Field(t == 0 ? text.disc : text.tracks[t - 1], kind));
            any = any || !s.empty();
            const bool repeat = t >= 2 && !s.empty() && s == previous;
            previous = s;
            if (repeat) s = std::string(1, static_cast<char>(kTab));
            s += '\0';
            for (size_t k = 0; k < s.size(); ++k) {
                trackOf.push_back(static_cast<uint8_t>(t));
                positionOf.push_back(static_cast<uint8_t>(std::min<size_t>(k, 15)));
            }
            stream += s;
        }
        if (!any) continue;
        for (size_t at = 0; at < stream.size(); at += kTextBytes) {
            if (sequence + 3 >= kCdTextMaxPacks) return false;   // room for the size information
            uint8_t pack[kCdTextPackBytes] = {static_cast<uint8_t>(kPackTitle + kind), trackOf[at],
                                             static_cast<uint8_t>(sequence++), positionOf[at]};
            for (size_t k = 0; k < kTextBytes && at + k < stream.size(); ++k) pack[4 + k] = static_cast<uint8_t>(stream[at + k]);
            SealPack(pack);
            packs.insert(packs.end(), pack, pack + sizeof pack);
            ++counts[kind];
        }
    }
    if (packs.empty()) return false;
    counts[15] = 3;
    uint8_t info[36] = {kCodeLatin1, 1, static_cast<uint8_t>(tracks), 0};
    std::copy(counts, counts + 16, info + 4);
    info[20] = static_cast<uint8_t>(sequence + 2);   // block 0's last sequence number
    info[28] = kLanguageEnglish;
    for (uint8_t part = 0; part < 3; ++part) {
        uint8_t pack[kCdTextPackBytes] = {kPackSizeInfo, part, static_cast<uint8_t>(sequence++), 0};
        std::copy(info + 12 * part, info + 12 * part + 12, pack + 4);
        SealPack(pack);
        packs.insert(packs.end(), pack, pack + sizeof pack);
    }
    const size_t length = 2 + packs.size();
    answer->assign({static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 0});
    answer->insert(answer->end(), packs.begin(), packs.end());
    return true;
}

}  // namespace akrip
