// The encoder library's plain decisions about a stream's ID3v2 tag: the tag record a
// caller hands to beWriteTag, what the library takes of it, and the text of each frame
// (UTF-8 in the record; ISO-8859-1 in the tag where every character fits, UTF-16
// otherwise). No windows.h and no LAME here, so the rules are tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "encoder_config.h"

namespace lameenc {

// The tag record: packed, little-endian, 904 bytes.
//   offset   0, 4 bytes: the record's size as the caller built it (at least 904; a later,
//                        longer record keeps these fields where they are)
//   offset   4, 2 bytes: the track's number, 0 when unknown
//   offset   6, 2 bytes: the tracks of the medium, 0 when unknown
//   offset   8, 256 bytes each: title, artist, album
//   offset 776, 8 bytes: the year ("1997")
//   offset 784, 40 bytes each: the MusicBrainz release, artist and recording ids
// Every text is UTF-8 and ends with a NUL inside its field; an empty text writes no frame.
constexpr size_t kTagRecordBytes = 904;
constexpr size_t kTagTextBytes = 256;
constexpr size_t kTagYearBytes = 8;
constexpr size_t kTagIdBytes = 40;

struct TagFields {
    unsigned track = 0, trackTotal = 0;
    std::string title, artist, album, year, releaseId, artistId, recordingId;
};

enum class TagRecordProblem { kNone, kTooShort, kUnterminated };

// The text of a field: up to its NUL; false when the field holds none.
inline bool ReadTagText(const uint8_t* field, size_t size, std::string* text) {
    for (size_t i = 0; i < size; ++i) {
        if (field[i] != 0) continue;
        text->assign(reinterpret_cast<const char*>(field), i);
        return true;
    }
    return false;
}

// The fields of a record of `size` bytes (the caller's size field is checked against
// the bytes it hands over by the caller of this function).
inline TagRecordProblem ReadTagRecord(const uint8_t* record, size_t size, TagFields* fields) {
    if (size < kTagRecordBytes || LittleEndian32(record) < kTagRecordBytes) return TagRecordProblem::kTooShort;
    fields->track = static_cast<unsigned>(record[4] | record[5] << 8);
    fields->trackTotal = static_cast<unsigned>(record[6] | record[7] << 8);
    struct Field {
        size_t offset, size;
        std::string* text;
    } layout[] = {{8, kTagTextBytes, &fields->title},         {264, kTagTextBytes, &fields->artist},
                  {520, kTagTextBytes, &fields->album},       {776, kTagYearBytes, &fields->year},
                  {784, kTagIdBytes, &fields->releaseId},     {824, kTagIdBytes, &fields->artistId},
                  {864, kTagIdBytes, &fields->recordingId}};
    for (const Field& f : layout)
        if (!ReadTagText(record + f.offset, f.size, f.text)) return TagRecordProblem::kUnterminated;
    return TagRecordProblem::kNone;
}

// UTF-8 as UTF-16 units, each malformed sequence (a stray or missing continuation byte,
// an overlong form, a surrogate, past U+10FFFF) read as U+FFFD.
inline std::u16string Utf16FromUtf8(const std::string& text) {
    std::u16string out;
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        uint8_t lead = static_cast<uint8_t>(text[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
        size_t taken = 1;
        bool good = length != 0;
        while (good && taken < length) {
            uint8_t next = i + taken < n ? static_cast<uint8_t>(text[i + taken]) : 0;
            if ((next & 0xC0) != 0x80) break;   // the sequence is cut: what came so far is one U+FFFD
            code = code << 6 | (next & 0x3Fu);
            ++taken;
        }
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        good = good && taken == length && code >= kLeast[length] && code <= 0x10FFFF &&
               !(code >= 0xD800 && code <= 0xDFFF);
        if (!good) code = 0xFFFD;
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += taken;
    }
    return out;
}

// The text as ISO-8859-1 bytes, or false when a character is not in it.
inline bool Latin1FromUtf16(const std::u16string& text, std::string* latin1) {
    latin1->clear();
    for (char16_t unit : text) {
        if (unit > 0xFF) return false;
        latin1->push_back(static_cast<char>(unit));
    }
    return true;
}

// The TRCK frame's text: "3/12", "3" when the count is unknown or smaller, "" without a number.
inline std::string TrackText(unsigned track, unsigned total) {
    if (track == 0) return "";
    std::string text = std::to_string(track);
    if (total >= track) text += "/" + std::to_string(total);
    return text;
}

// The TYER frame's text: ID3v2.3 takes four digits, so a date ("1997-03-12") gives its
// year and anything else none.
inline std::string YearText(const std::string& year) {
    if (year.size() < 4) return "";
    for (size_t i = 0; i < 4; ++i)
        if (year[i] < '0' || year[i] > '9') return "";
    if (year.size() > 4 && year[4] != '-') return "";
    return year.substr(0, 4);
}

// Whether `id` has a MusicBrainz id's form: 36 characters, hexadecimal digits in groups
// of 8-4-4-4-12 parted by hyphens. Nothing else is written as one.
inline bool IsMusicBrainzId(const std::string& id) {
    if (id.size() != 36) return false;
    for (size_t i = 0; i < id.size(); ++i) {
        char c = id[i];
        bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (hyphen ? c != '-' : !hex) return false;
    }
    return true;
}

// Whether the record names anything a frame would carry; a record that does not
// makes no tag at all (not even LAME's encoder frame).
inline bool HasAnythingToTag(const TagFields& f) {
    return !f.title.empty() || !f.artist.empty() || !f.album.empty() || !YearText(f.year).empty() ||
           !TrackText(f.track, f.trackTotal).empty() || IsMusicBrainzId(f.releaseId) ||
           IsMusicBrainzId(f.artistId) || IsMusicBrainzId(f.recordingId);
}

// The most a tag can take: the header, three texts of 255 UTF-16 units with their
// byte-order mark, the year, the track, three TXXX frames of an id and LAME's own
// encoder frame (TSSE, under 100 bytes). It fits the output buffer every stream has.
constexpr uint32_t kTagMostBytes = 10 + 3 * (11 + 2 * 256) + (11 + 4) + (11 + 11) + 3 * (11 + 30 + 37) + 100;
static_assert(kTagMostBytes <= kOutputBufferBytes, "a tag must fit the output buffer");

}  // namespace lameenc
