// The converter's plain decisions: the configuration record it hands the encoder
// library, the MP3 file's name, the chunks the sound is read in, the progress shown and
// how long a complete MP3 file is at least (where the sound lies: logic/wav_layout.h).
// No windows.h, so the rules are tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mp3 {

// The encoder library's configuration record: 27 bytes, packed, little-endian.
constexpr size_t kEncoderConfigBytes = 27;

inline void PutLittleEndian(uint8_t* at, uint32_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// MP3 (kind 0) from 44,100 Hz stereo (mode 0) at `kbps`, with the private, CRC,
// copyright and original flags all clear.
inline void FillEncoderConfig(uint8_t (&record)[kEncoderConfigBytes], unsigned kbps) {
    memset(record, 0, sizeof record);
    PutLittleEndian(record + 0, 0, 4);
    PutLittleEndian(record + 4, 44100, 4);
    record[8] = 0;
    PutLittleEndian(record + 9, kbps, 2);
}

// The MP3 file's path: the WAV path with the ending of its file name (from the last
// "." after the last folder separator) replaced by ".mp3", or ".mp3" appended when the
// file name has no dot. False when the result would not fit `size` characters with
// its NUL.
inline bool Mp3PathFor(const char* wavPath, char* out, size_t size) {
    size_t length = strlen(wavPath), cut = length;
    for (size_t i = length; i > 0; --i) {
        char c = wavPath[i - 1];
        if (c == '\\' || c == '/' || c == ':') break;
        if (c == '.') {
            cut = i - 1;
            break;
        }
    }
    const char ending[] = ".mp3";
    if (size == 0 || cut + sizeof ending > size) return false;
    memcpy(out, wavPath, cut);
    memcpy(out + cut, ending, sizeof ending);
    return true;
}

// Bytes of the next read: a whole chunk, or what is left.
inline int64_t NextChunkBytes(int64_t total, int64_t done, int64_t chunkBytes) {
    return done + chunkBytes < total ? chunkBytes : total - done;
}

// 16-bit samples of a read of `bytes` the encoder gets: whole stereo pairs only (a
// truncated file may end in half a pair, which cannot be encoded).
inline uint32_t SamplesToEncode(int64_t bytes) { return static_cast<uint32_t>(bytes / 4 * 2); }

// Whether the sizes an encoder reported can be worked with: a chunk of whole stereo
// pairs, and buffers of sane size.
inline bool EncoderSizesUsable(uint32_t samplesPerChunk, uint32_t outputBytes) {
    const uint32_t kLimit = 16u << 20;
    return samplesPerChunk > 0 && samplesPerChunk % 2 == 0 && samplesPerChunk <= kLimit / 2 && outputBytes > 0 &&
           outputBytes <= kLimit;
}

// The fewest bytes an MP3 stream at `kbps` can have when it holds `pairs` stereo sample
// pairs: a frame (of 1,152 pairs, without its padding byte) for every 1,152 pairs
// begun. A converted file shorter than this has lost sound.
inline uint64_t LeastMp3Bytes(uint64_t pairs, unsigned kbps) {
    const uint64_t framePairs = 1152, frameBytes = 144000u * kbps / 44100u;
    return (pairs + framePairs - 1) / framePairs * frameBytes;
}

// Percent done, truncated toward zero.
inline int ProgressPercent(int64_t done, int64_t total) {
    return total > 0 ? static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0) : 100;
}

}  // namespace mp3
