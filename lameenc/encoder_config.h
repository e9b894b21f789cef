// The encoder library's plain decisions: the 27-byte configuration record a caller
// hands to beInitStream, what the library accepts of it, and the sizes it reports (the
// tag record beWriteTag takes: tag_record.h). No windows.h and no LAME here, so the
// rules are tested natively.
//
// The six entry points, undecorated cdecl, each returning a Result:
//   beInitStream(config, samplesPerChunk*, outputBytes*, stream*)   opens a stream
//   beWriteTag(stream, tagRecord, output, produced*)   the stream's ID3v2 tag, before
//       the first chunk and once; written by the caller ahead of every frame. A library
//       without it (an older one) makes untagged streams.
//   beEncodeChunk(stream, samples, pcm, output, produced*)   one chunk at most
//   beDeinitStream(stream, output, produced*)   the last frames
//   beCloseStream(stream)
//   beVersion(text, size)
#pragma once

#include <cstddef>
#include <cstdint>

namespace lameenc {

// Results of the entry points; 0 is success.
enum Result : uint32_t {
    kOk = 0,
    kBadConfig = 1,      // a configuration the library does not encode
    kBadArgument = 2,    // a null pointer or a sample count it cannot take
    kBadHandle = 3,      // no open stream has this handle
    kNoRoom = 4,         // every stream slot is taken, or memory ran out
    kEncoderFailed = 5,  // LAME refused the parameters or the data
};

// The configuration record: packed, little-endian.
constexpr size_t kConfigBytes = 27;
constexpr uint32_t kKindMp3 = 0;       // offset 0, 4 bytes
constexpr uint32_t kSampleRate = 44100;// offset 4, 4 bytes
constexpr uint8_t kModeStereo = 0;     // offset 8, 1 byte
                                       // offset 9, 2 bytes: bit rate in kbit/s
                                       // offsets 11, 15, 19, 23, 4 bytes each: private,
                                       // CRC, copyright and original flags (non-zero: set)

struct EncoderConfig {
    uint32_t kind;
    uint32_t sampleRate;
    uint8_t mode;
    uint16_t kbps;
    bool privateBit;
    bool crc;
    bool copyright;
    bool original;
};

inline uint32_t LittleEndian32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

// The fields of a record, as they stand.
inline EncoderConfig ReadConfig(const uint8_t (&record)[kConfigBytes]) {
    EncoderConfig config;
    config.kind = LittleEndian32(record + 0);
    config.sampleRate = LittleEndian32(record + 4);
    config.mode = record[8];
    config.kbps = static_cast<uint16_t>(record[9] | record[10] << 8);
    config.privateBit = LittleEndian32(record + 11) != 0;
    config.crc = LittleEndian32(record + 15) != 0;
    config.copyright = LittleEndian32(record + 19) != 0;
    config.original = LittleEndian32(record + 23) != 0;
    return config;
}

// The bit rates an MPEG-1 Layer III frame header can carry.
inline bool IsMpeg1Layer3BitRate(unsigned kbps) {
    static const unsigned kRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (unsigned rate : kRates)
        if (rate == kbps) return true;
    return false;
}

// The library makes MPEG-1 Layer III at a constant bit rate from 44,100 Hz stereo and
// nothing else: anything else is refused rather than quietly encoded differently.
inline bool Acceptable(const EncoderConfig& config) {
    return config.kind == kKindMp3 && config.sampleRate == kSampleRate && config.mode == kModeStereo &&
           IsMpeg1Layer3BitRate(config.kbps);
}

// One chunk is one MPEG-1 Layer III frame's worth of sound: 1,152 stereo sample pairs,
// reported as 2,304 16-bit samples with both channels counted.
constexpr uint32_t kChunkFrames = 1152;
constexpr uint32_t kChunkSamples = 2 * kChunkFrames;

// LAME's own bound for what one call may produce from `frames` sample pairs:
// 1.25 bytes a pair plus 7,200 (rounded up). A flush needs at most 7,200.
constexpr uint32_t WorstCaseBytes(uint32_t frames) { return (frames * 5 + 3) / 4 + 7200; }
constexpr uint32_t kOutputBufferBytes = WorstCaseBytes(kChunkFrames);
static_assert(kOutputBufferBytes >= 7200, "a flush must fit the output buffer");

// Whether beEncodeChunk takes `samples` (both channels counted): whole stereo pairs,
// no more than one chunk, so the output always fits the buffer size reported.
constexpr bool ChunkSampleCountFits(uint32_t samples) { return samples % 2 == 0 && samples <= kChunkSamples; }

}  // namespace lameenc
