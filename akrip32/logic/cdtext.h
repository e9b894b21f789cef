// CD-Text: the 18-byte packs a drive answers to READ TOC format 5, read into the names
// of a disc and its tracks, and written from them (the rig's drives answer with what the
// encoder writes). A pack: its type (80h title, 81h performer, 82h songwriter, 8Fh size
// information), the track of its first character, a sequence number, the block (its
// language) and the character position, 12 bytes of text, and a CRC-16 over the 16
// before it. The strings of one type follow each other, each ended by a NUL, the disc's
// first and then one per track; a string that is a lone TAB repeats the previous one.
// Plain C++: the library, the rig and the program share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace akrip {

constexpr size_t kCdTextPackBytes = 18;
constexpr size_t kCdTextMaxPacks = 256;   // a block's sequence numbers
constexpr size_t kCdTextAnswerBytes = 4 + kCdTextMaxPacks * kCdTextPackBytes;   // the largest answer of one block
constexpr int kCdTextMaxTrack = 99;

// The texts of the disc or of one track, in UTF-8; empty where the disc has none.
struct CdTextEntry {
    std::string title;
    std::string performer;
    std::string songwriter;
};

struct CdText {
    CdTextEntry disc;
    std::vector<CdTextEntry> tracks;   // track n at [n - 1]; as many as the last track named
};

// The CRC the pack's last two bytes hold: CRC-16 CCITT (polynomial 1021h, initial 0) of
// its first 16 bytes, inverted.
uint16_t CdTextCrc(const uint8_t* pack);

// Reads an answer to READ TOC format 5 of `size` bytes: the 4-byte header (its length,
// big-endian, counts the bytes after itself; fewer may have arrived) and the packs. Only
// block 0 (the first language) is read. A pack with a wrong CRC is left out, and with it
// every string it held part of; the rest are taken. The character code comes from the
// size information (without it, ISO-8859-1 is taken): ISO-8859-1 and ASCII become
// UTF-8; control characters are left out. False (and *text emptied) when the answer
// holds no pack of block 0 with a right CRC, when block 0's characters are of a
// double-byte code (MS-JIS, Korean, Mandarin: not read), or when no text is left.
bool ParseCdText(const uint8_t* answer, size_t size, CdText* text);

// Writes the READ TOC format 5 answer (header and packs) of block 0 in English for
// tracks 1 to text.tracks.size(): title, performer and songwriter packs for each kind
// that any entry has, a TAB for a track's string that repeats the previous one, and the
// three size-information packs, each with its CRC. The text is UTF-8 (a byte sequence
// that is not UTF-8 is taken as ISO-8859-1); it is written in ISO-8859-1, a character
// beyond it as '?'. False (and *answer emptied) when no entry has text, when there are
// more than 99 tracks, or when the texts take more than 256 packs.
bool EncodeCdText(const CdText& text, std::vector<uint8_t>* answer);

}  // namespace akrip
