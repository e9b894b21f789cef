// The virtual sound card's audio arithmetic: the formats it records in, the WAV
// files it writes and reads, and the conversions between them.
//
// Internally the card hears one stream: 44,100 Hz, 16-bit, stereo, interleaved
// left/right (what the CD plays). Recordings are converted from it to the format
// set on the device; the line input's WAV file is converted to it. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rig {

struct WaveFormat {
    int rate;      // samples per second
    int bits;      // 8 (unsigned) or 16 (signed little-endian)
    int channels;  // 1 or 2
};

constexpr WaveFormat kCdFormat = {44100, 16, 2};
constexpr size_t kWavHeaderBytes = 44;
// The longest line input the card keeps in memory: five minutes of CD audio
// (about 53 MB, with room for the decoding in a 32-bit process).
constexpr size_t kMaxLineInPairs = 5 * 60 * 44100;

// True for the formats a recording can be set to: 11,025/22,050/44,100 Hz,
// 8 or 16 bits, mono or stereo.
bool IsRecordingFormat(const WaveFormat& fmt);
int BlockAlign(const WaveFormat& fmt);  // bytes per sample frame

// The canonical 44-byte PCM header (RIFF, WAVE, a 16-byte "fmt " chunk, "data")
// for `dataBytes` bytes of samples. The RIFF size counts the pad byte that must
// follow an odd-sized data chunk.
void WriteWavHeader(const WaveFormat& fmt, uint32_t dataBytes, uint8_t out[kWavHeaderBytes]);
// Header, data, and the pad byte when the data size is odd: a whole WAV file.
std::vector<uint8_t> MakeWavFile(const WaveFormat& fmt, const std::vector<uint8_t>& data);

// The rounded average of two samples (halves round away from zero).
int16_t MonoAverage(int16_t left, int16_t right);
// A 16-bit sample as an unsigned 8-bit one (128 is silence), rounded and clamped.
uint8_t To8Bit(int16_t sample);

// True when Resample can convert between the two rates: both from 1,000 to
// 192,000 Hz and a ratio whose reduced numerator is at most 441 (every common
// rate against 44,100 Hz).
bool CanResample(int inRate, int outRate);
// Band-limited resampling of `frames` interleaved frames of `channels` channels:
// a Kaiser-windowed sinc filter in polyphase form, cutting off below the lower
// rate's Nyquist frequency. Returns ceil(frames * outRate / inRate) frames; the
// same rate returns the input unchanged. Empty for rates CanResample refuses.
std::vector<int16_t> Resample(const int16_t* samples, size_t frames, int channels, int inRate, int outRate);

// The data bytes of a recording in `fmt` made from `pairs` stereo frames of CD
// audio. 44,100/16/2 is the identity, byte for byte. False for a format that
// IsRecordingFormat refuses.
bool ConvertFromCd(const int16_t* samples, size_t pairs, const WaveFormat& fmt, std::vector<uint8_t>* data,
                   std::string* error);

// Decodes a PCM WAV file's bytes (8, 16, 24 or 32 bits, mono or stereo, any rate
// CanResample accepts against 44,100 Hz; plain or WAVE_FORMAT_EXTENSIBLE) to CD
// audio. Unknown chunks are skipped; a data chunk that claims more than the file
// holds is read as far as the file goes. Fails with a one-line reason for
// anything else, and for audio longer than kMaxLineInPairs.
bool DecodeWavToCd(const uint8_t* bytes, size_t size, std::vector<int16_t>* samples, WaveFormat* source,
                   std::string* error);
// Reads the file (at most 256 MB) and decodes it as DecodeWavToCd does.
bool LoadWavToCd(const std::string& path, std::vector<int16_t>* samples, WaveFormat* source, std::string* error);

// dst[i] += src[i] for `count` samples, saturating at the 16-bit limits.
void MixSaturating(int16_t* dst, const int16_t* src, size_t count);
// Adds a looped stream (the line input) to `count` samples of dst, starting at
// *position within the loop and leaving *position where the next call goes on.
// Counts are in samples: pass whole stereo pairs (even counts) to keep the
// channels in step. An empty loop adds nothing.
void MixLooped(int16_t* dst, size_t count, const std::vector<int16_t>& loop, size_t* position);

}  // namespace rig
