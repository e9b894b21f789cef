#include "flac_plan.h"

#include <cstring>

namespace mp3 {

namespace {

// Where the file's name begins in `path`: after its last folder separator.
size_t NameStart(const char* path) {
    size_t start = 0;
    for (size_t i = 0; path[i] != '\0'; ++i)
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') start = i + 1;
    return start;
}

// Where the file name's ending (its last ".") begins, or the path's end.
size_t EndingStart(const char* path) {
    size_t length = strlen(path), name = NameStart(path);
    for (size_t i = length; i > name; --i)
        if (path[i - 1] == '.') return i - 1;
    return length;
}

void Add(std::vector<std::string>* comments, const char* field, std::string value) {
    if (value.empty()) return;
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    comments->push_back(std::string(field) + "=" + value);
}

}  // namespace

bool FlacPathFor(const char* wavPath, char* out, size_t size) {
    size_t cut = EndingStart(wavPath);
    const char ending[] = ".flac";
    if (size == 0 || cut + sizeof ending > size) return false;
    memmove(out, wavPath, cut);
    memcpy(out + cut, ending, sizeof ending);
    return true;
}

std::vector<std::string> VorbisComments(const FlacTags& tags) {
    std::vector<std::string> comments;
    Add(&comments, "TITLE", tags.title);
    Add(&comments, "ARTIST", tags.artist);
    Add(&comments, "ALBUM", tags.album);
    Add(&comments, "DATE", tags.year);
    if (tags.track > 0) Add(&comments, "TRACKNUMBER", std::to_string(tags.track));
    if (tags.trackTotal > 0) Add(&comments, "TRACKTOTAL", std::to_string(tags.trackTotal));
    Add(&comments, "MUSICBRAINZ_ALBUMID", tags.releaseId);
    Add(&comments, "MUSICBRAINZ_ARTISTID", tags.artistId);
    Add(&comments, "MUSICBRAINZ_TRACKID", tags.recordingId);
    return comments;
}

bool FlacTakes(const WavLayout& layout) {
    // The canonical layout's format tag is not looked at, as for the MP3.
    return HasSound(layout) && (layout.kind == WavLayoutKind::kCanonical || layout.formatTag == 1) &&
           (layout.bitsPerSample == 8 || layout.bitsPerSample == 16) && (layout.channels == 1 || layout.channels == 2) &&
           layout.sampleRate >= 1 && layout.sampleRate <= 655350;
}

size_t ToFlacSamples(const uint8_t* pcm, size_t bytes, unsigned bitsPerSample, unsigned channels, int32_t* out) {
    size_t sampleBytes = bitsPerSample / 8, frameBytes = sampleBytes * channels;
    if (frameBytes == 0) return 0;
    size_t frames = bytes / frameBytes, samples = frames * channels;
    if (sampleBytes == 1) {
        for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int32_t>(pcm[i]) - 128;
    } else {
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8));
    }
    return frames;
}

void ToFlacMd5Input(uint8_t* pcm, size_t bytes, unsigned bitsPerSample) {
    if (bitsPerSample != 8) return;
    for (size_t i = 0; i < bytes; ++i) pcm[i] ^= 0x80;
}

namespace {

// The frame's CRC-8 (x^8 + x^2 + x + 1) and CRC-16 (x^16 + x^15 + x^2 + 1), from 0, most
// significant bit first, a byte at a time.
struct FlacCrcTables {
    uint8_t crc8[256] = {};
    uint16_t crc16[256] = {};
    constexpr FlacCrcTables() {
        for (unsigned byte = 0; byte < 256; ++byte) {
            unsigned c8 = byte, c16 = byte << 8;
            for (int bit = 0; bit < 8; ++bit) {
                c8 = (c8 & 0x80) ? ((c8 << 1) ^ 0x07) & 0xFF : (c8 << 1) & 0xFF;
                c16 = (c16 & 0x8000) ? ((c16 << 1) ^ 0x8005) & 0xFFFF : (c16 << 1) & 0xFFFF;
            }
            crc8[byte] = static_cast<uint8_t>(c8);
            crc16[byte] = static_cast<uint16_t>(c16);
        }
    }
};
constexpr FlacCrcTables kCrc;

uint8_t Crc8(const uint8_t* data, size_t bytes) {
    uint8_t crc = 0;
    for (size_t i = 0; i < bytes; ++i) crc = kCrc.crc8[crc ^ data[i]];
    return crc;
}

uint16_t Crc16(const uint8_t* data, size_t bytes) {
    unsigned crc = 0;
    for (size_t i = 0; i < bytes; ++i) crc = ((crc << 8) & 0xFFFF) ^ kCrc.crc16[(crc >> 8) ^ data[i]];
    return static_cast<uint16_t>(crc);
}

// A frame number as FLAC codes it (as UTF-8 codes a character, at most 31 bits):
// its bytes into `out`, their count returned.
size_t CodeFrameNumber(uint32_t number, uint8_t out[6]) {
    if (number < 0x80) {
        out[0] = static_cast<uint8_t>(number);
        return 1;
    }
    size_t length = number < 0x800 ? 2 : number < 0x10000 ? 3 : number < 0x200000 ? 4 : number < 0x4000000 ? 5 : 6;
    for (size_t i = length - 1; i > 0; --i, number >>= 6) out[i] = static_cast<uint8_t>(0x80 | (number & 0x3F));
    out[0] = static_cast<uint8_t>((0xFF00u >> length) | number);
    return length;
}

// The coded frame number at `at` (at most `left` bytes): its length, 0 when it is not
// a frame number of a fixed-block-size stream.
size_t ReadFrameNumber(const uint8_t* at, size_t left, uint32_t* number) {
    if (left == 0) return 0;
    size_t length = 1;
    if (at[0] & 0x80) {
        while (length < 8 && (at[0] & (0x80 >> length))) ++length;
        if (length < 2 || length > 6) return 0;
    }
    if (left < length) return 0;
    uint32_t value = length == 1 ? at[0] : at[0] & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((at[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (at[i] & 0x3F);
    }
    *number = value;
    return length;
}

}  // namespace

uint64_t FlacFirstPart(uint64_t frames) {
    // Below 16 blocks the second encoder's start costs about what it saves.
    if (frames < 16ull * kFlacBlockSize) return 0;
    return frames / 2 / kFlacBlockSize * kFlacBlockSize;
}

bool RenumberFlacFrame(const uint8_t* frame, size_t bytes, uint32_t add, std::vector<uint8_t>* out) {
    // Sync code, reserved bit and fixed block size; block size and sample rate codes;
    // channels and sample size; the number; then what the two codes leave to the end
    // of the header, and its CRC-8.
    if (bytes < 6 || frame[0] != 0xFF || frame[1] != 0xF8) return false;
    uint32_t number = 0;
    const size_t numberLength = ReadFrameNumber(frame + 4, bytes - 4, &number);
    if (numberLength == 0) return false;
    const unsigned sizeCode = frame[2] >> 4, rateCode = frame[2] & 0x0F;
    if (sizeCode == 0 || rateCode == 15) return false;
    const size_t extra = (sizeCode == 6 ? 1 : sizeCode == 7 ? 2 : 0) + (rateCode == 12 ? 1 : rateCode >= 13 ? 2 : 0);
    const size_t header = 4 + numberLength + extra;   // without its CRC-8
    if (bytes < header + 1 + 2 || Crc8(frame, header) != frame[header]) return false;
    if (number > 0x7FFFFFFFu - add) return false;
    uint8_t coded[6];
    const size_t codedLength = CodeFrameNumber(number + add, coded);
    const size_t body = bytes - header - 1 - 2;   // subframes and padding
    out->resize(4 + codedLength + extra + 1 + body + 2);
    uint8_t* o = out->data();
    std::memcpy(o, frame, 4);
    std::memcpy(o + 4, coded, codedLength);
    std::memcpy(o + 4 + codedLength, frame + 4 + numberLength, extra);
    const size_t newHeader = 4 + codedLength + extra;
    o[newHeader] = Crc8(o, newHeader);
    std::memcpy(o + newHeader + 1, frame + header + 1, body);
    const uint16_t crc = Crc16(o, out->size() - 2);
    o[out->size() - 2] = static_cast<uint8_t>(crc >> 8);
    o[out->size() - 1] = static_cast<uint8_t>(crc);
    return true;
}

void FinishStreamInfo(uint8_t info[34], uint64_t frames, uint32_t minFrameBytes, uint32_t maxFrameBytes,
                      const uint8_t md5[16]) {
    // 16 bits each: smallest and largest block; 24 each: smallest and largest frame;
    // 20: sample rate, 3: channels, 5: sample size, 36: sample frames; then the MD5.
    for (int i = 0; i < 3; ++i) {
        info[4 + i] = static_cast<uint8_t>(minFrameBytes >> (16 - 8 * i));
        info[7 + i] = static_cast<uint8_t>(maxFrameBytes >> (16 - 8 * i));
    }
    info[13] = static_cast<uint8_t>((info[13] & 0xF0) | ((frames >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i) info[14 + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
    std::memcpy(info + 18, md5, 16);
}

}  // namespace mp3
