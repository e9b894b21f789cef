// The virtual sound card's format conversion, WAV writing and reading, and mixing.
//
// The resampler works in integers on precomputed filter tables (Q24 coefficients,
// 64-bit sums), so the native tests and the MinGW-built rig give the same samples.
#include "soundcard.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace rig {
namespace {

constexpr int kCoefBits = 24;
constexpr int64_t kCoefOne = int64_t(1) << kCoefBits;
constexpr int kZeroCrossings = 32;   // filter half-width in samples of the lower rate
constexpr double kKaiserBeta = 8.6;  // about 85 dB stop-band attenuation
constexpr double kBandwidth = 0.90;  // cut-off as a share of the lower Nyquist frequency
constexpr int kMaxPhases = 441;
constexpr size_t kMaxWavFileBytes = 256u << 20;

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

uint32_t Get16(const uint8_t* p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

int16_t Clamp16(int64_t v) { return static_cast<int16_t>(std::min<int64_t>(32767, std::max<int64_t>(-32768, v))); }

int Gcd(int a, int b) {
    while (b) {
        int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

double BesselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < sum * 1e-12) break;
    }
    return sum;
}

// Polyphase filter for resampling by up/down (reduced): for each of the `up`
// phases, `taps` Q24 coefficients applied to inputs i0 - half + 1 .. i0 + half.
struct Filter {
    int up = 1, down = 1, half = 0, taps = 0;
    std::vector<int32_t> coef;  // phase-major
};

Filter MakeFilter(int inRate, int outRate) {
    Filter flt;
    int g = Gcd(inRate, outRate);
    flt.up = outRate / g;
    flt.down = inRate / g;
    const double scale = std::min(1.0, static_cast<double>(flt.up) / flt.down);  // lower rate / input rate
    const double fc = 0.5 * scale * kBandwidth;                                   // cycles per input sample
    flt.half = static_cast<int>(std::ceil(kZeroCrossings / scale));
    flt.taps = 2 * flt.half;
    flt.coef.resize(static_cast<size_t>(flt.up) * flt.taps);
    const double pi = 3.14159265358979323846;
    const double i0Beta = BesselI0(kKaiserBeta);
    std::vector<double> h(flt.taps);
    for (int p = 0; p < flt.up; ++p) {
        const double frac = static_cast<double>(p) / flt.up;
        double sum = 0;
        for (int k = 0; k < flt.taps; ++k) {
            double tau = (k - flt.half + 1) - frac;  // input position minus output position
            double u = tau / flt.half;
            double w = std::fabs(u) >= 1 ? 0 : BesselI0(kKaiserBeta * std::sqrt(1 - u * u)) / i0Beta;
            double x = 2 * fc * tau;
            double sinc = std::fabs(x) < 1e-12 ? 1 : std::sin(pi * x) / (pi * x);
            h[k] = 2 * fc * sinc * w;
            sum += h[k];
        }
        // Each phase passes DC exactly: round, then give the rounding remainder to
        // the largest tap.
        int32_t* c = &flt.coef[static_cast<size_t>(p) * flt.taps];
        int64_t total = 0;
        int biggest = 0;
        for (int k = 0; k < flt.taps; ++k) {
            c[k] = static_cast<int32_t>(std::llround(h[k] / sum * kCoefOne));
            total += c[k];
            if (c[k] > c[biggest]) biggest = k;
        }
        c[biggest] += static_cast<int32_t>(kCoefOne - total);
    }
    return flt;
}

// Reads one WAV sample of `bits` bits as a 16-bit one (8-bit is unsigned; wider
// samples are rounded to their top 16 bits).
int16_t ReadSample(const uint8_t* p, int bits) {
    switch (bits) {
        case 8: return static_cast<int16_t>((p[0] - 128) * 256);
        case 16: return static_cast<int16_t>(Get16(p));
        case 24: {
            int32_t v = static_cast<int32_t>(p[0] | p[1] << 8 | static_cast<uint32_t>(p[2]) << 16);
            if (v & 0x800000) v -= 0x1000000;
            return Clamp16((static_cast<int64_t>(v) + 128) >> 8);
        }
        default: {
            int64_t v = static_cast<int32_t>(Get32(p));
            return Clamp16((v + 32768) >> 16);
        }
    }
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

struct FmtChunk {
    int tag = 0, channels = 0, rate = 0, bits = 0;
};

// Reads a "fmt " chunk body of `len` bytes (at least 16), resolving
// WAVE_FORMAT_EXTENSIBLE to the sub-format's tag.
FmtChunk ReadFmt(const uint8_t* p, size_t len) {
    FmtChunk f;
    f.tag = static_cast<int>(Get16(p));
    f.channels = static_cast<int>(Get16(p + 2));
    f.rate = static_cast<int>(std::min<uint32_t>(Get32(p + 4), 0x7FFFFFFF));
    f.bits = static_cast<int>(Get16(p + 14));
    if (f.tag == 0xFFFE) f.tag = len >= 40 ? static_cast<int>(Get16(p + 24)) : 0;
    return f;
}

}  // namespace

bool IsRecordingFormat(const WaveFormat& fmt) {
    return (fmt.rate == 11025 || fmt.rate == 22050 || fmt.rate == 44100) && (fmt.bits == 8 || fmt.bits == 16) &&
           (fmt.channels == 1 || fmt.channels == 2);
}

int BlockAlign(const WaveFormat& fmt) { return fmt.channels * (fmt.bits / 8); }

void WriteWavHeader(const WaveFormat& fmt, uint32_t dataBytes, uint8_t out[kWavHeaderBytes]) {
    const uint32_t limit = 0xFFFFFFFFu - 37;  // keeps the RIFF size representable
    dataBytes = std::min(dataBytes, limit);
    memcpy(out, "RIFF", 4);
    Put32(out + 4, 36 + dataBytes + (dataBytes & 1));
    memcpy(out + 8, "WAVEfmt ", 8);
    Put32(out + 16, 16);
    Put16(out + 20, 1);  // PCM
    Put16(out + 22, static_cast<uint32_t>(fmt.channels));
    Put32(out + 24, static_cast<uint32_t>(fmt.rate));
    Put32(out + 28, static_cast<uint32_t>(fmt.rate * BlockAlign(fmt)));
    Put16(out + 32, static_cast<uint32_t>(BlockAlign(fmt)));
    Put16(out + 34, static_cast<uint32_t>(fmt.bits));
    memcpy(out + 36, "data", 4);
    Put32(out + 40, dataBytes);
}

std::vector<uint8_t> MakeWavFile(const WaveFormat& fmt, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> file(kWavHeaderBytes + data.size() + (data.size() & 1));  // the pad byte stays 0
    WriteWavHeader(fmt, static_cast<uint32_t>(data.size()), file.data());
    if (!data.empty()) memcpy(file.data() + kWavHeaderBytes, data.data(), data.size());
    return file;
}

int16_t MonoAverage(int16_t left, int16_t right) {
    int sum = left + right;
    return static_cast<int16_t>(sum >= 0 ? (sum + 1) / 2 : -((1 - sum) / 2));
}

uint8_t To8Bit(int16_t sample) {
    int s = sample;
    int v = s >= 0 ? (s + 128) / 256 : -((128 - s) / 256);
    return static_cast<uint8_t>(std::min(255, std::max(0, v + 128)));
}

bool CanResample(int inRate, int outRate) {
    if (inRate < 1000 || inRate > 192000 || outRate < 1000 || outRate > 192000) return false;
    return outRate / Gcd(inRate, outRate) <= kMaxPhases;
}

std::vector<int16_t> Resample(const int16_t* samples, size_t frames, int channels, int inRate, int outRate) {
    if (channels < 1 || !CanResample(inRate, outRate)) return {};
    if (inRate == outRate) return std::vector<int16_t>(samples, samples + frames * channels);
    const Filter flt = MakeFilter(inRate, outRate);
    const uint64_t outFrames = (static_cast<uint64_t>(frames) * flt.up + flt.down - 1) / flt.down;
    std::vector<int16_t> out(static_cast<size_t>(outFrames) * channels);
    // Each channel padded with silence on both sides, so the inner loop needs no checks.
    std::vector<int16_t> padded(frames + 2 * static_cast<size_t>(flt.taps));
    for (int ch = 0; ch < channels; ++ch) {
        for (size_t i = 0; i < frames; ++i) padded[flt.taps + i] = samples[i * channels + ch];
        for (uint64_t j = 0; j < outFrames; ++j) {
            const uint64_t pos = j * flt.down;
            const size_t i0 = static_cast<size_t>(pos / flt.up);
            const int phase = static_cast<int>(pos % flt.up);
            const int32_t* c = &flt.coef[static_cast<size_t>(phase) * flt.taps];
            const int16_t* x = &padded[flt.taps + i0 - flt.half + 1];
            int64_t acc = 0;
            for (int k = 0; k < flt.taps; ++k) acc += static_cast<int64_t>(c[k]) * x[k];
            // Round half up; the shift of a negative sum is arithmetic on every compiler we use.
            out[static_cast<size_t>(j) * channels + ch] = Clamp16((acc + (kCoefOne >> 1)) >> kCoefBits);
        }
    }
    return out;
}

bool ConvertFromCd(const int16_t* samples, size_t pairs, const WaveFormat& fmt, std::vector<uint8_t>* data,
                   std::string* error) {
    data->clear();
    if (!IsRecordingFormat(fmt)) {
        char text[120];
        snprintf(text, sizeof text, "cannot record %d Hz, %d bits, %d channels", fmt.rate, fmt.bits, fmt.channels);
        return Fail(error, text);
    }
    std::vector<int16_t> resampled;
    const int16_t* in = samples;
    size_t frames = pairs;
    if (fmt.rate != kCdFormat.rate) {
        resampled = Resample(samples, pairs, 2, kCdFormat.rate, fmt.rate);
        in = resampled.data();
        frames = resampled.size() / 2;
    }
    data->reserve(frames * BlockAlign(fmt));
    for (size_t i = 0; i < frames; ++i) {
        int16_t v[2] = {in[2 * i], in[2 * i + 1]};
        int n = 2;
        if (fmt.channels == 1) {
            v[0] = MonoAverage(v[0], v[1]);
            n = 1;
        }
        for (int c = 0; c < n; ++c) {
            if (fmt.bits == 8) {
                data->push_back(To8Bit(v[c]));
            } else {
                uint16_t u = static_cast<uint16_t>(v[c]);
                data->push_back(static_cast<uint8_t>(u & 0xFF));
                data->push_back(static_cast<uint8_t>(u >> 8));
            }
        }
    }
    return true;
}

bool DecodeWavToCd(const uint8_t* bytes, size_t size, std::vector<int16_t>* samples, WaveFormat* source,
                   std::string* error) {
    samples->clear();
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0)
        return Fail(error, "not a RIFF WAVE file");
    FmtChunk fmt;
    bool haveFmt = false;
    const uint8_t* data = nullptr;
    size_t dataLen = 0;
    size_t pos = 12;
    while (size - pos >= 8) {
        const uint8_t* id = bytes + pos;
        const uint64_t len = Get32(bytes + pos + 4);
        const size_t body = pos + 8;
        const size_t avail = size - body;
        if (memcmp(id, "fmt ", 4) == 0) {
            if (len < 16 || len > avail) return Fail(error, "the fmt chunk is truncated");
            fmt = ReadFmt(bytes + body, static_cast<size_t>(len));
            haveFmt = true;
        } else if (memcmp(id, "data", 4) == 0) {
            if (!haveFmt) return Fail(error, "the data chunk comes before the fmt chunk");
            data = bytes + body;
            dataLen = static_cast<size_t>(std::min<uint64_t>(len, avail));
            break;
        }
        const uint64_t next = body + len + (len & 1);
        if (next >= size) break;
        pos = static_cast<size_t>(next);
    }
    if (!haveFmt) return Fail(error, "no fmt chunk");
    if (!data) return Fail(error, "no data chunk");

    char text[120];
    if (fmt.tag != 1) {
        snprintf(text, sizeof text, "only PCM WAV files are supported (format tag %d)", fmt.tag);
        return Fail(error, text);
    }
    if (fmt.channels != 1 && fmt.channels != 2) {
        snprintf(text, sizeof text, "only mono and stereo WAV files are supported (%d channels)", fmt.channels);
        return Fail(error, text);
    }
    if (fmt.bits != 8 && fmt.bits != 16 && fmt.bits != 24 && fmt.bits != 32) {
        snprintf(text, sizeof text, "%d-bit samples are not supported", fmt.bits);
        return Fail(error, text);
    }
    if (!CanResample(fmt.rate, kCdFormat.rate)) {
        snprintf(text, sizeof text, "a sample rate of %d Hz is not supported", fmt.rate);
        return Fail(error, text);
    }
    const size_t bytesPerSample = static_cast<size_t>(fmt.bits / 8);
    const size_t frames = dataLen / (bytesPerSample * fmt.channels);
    if (static_cast<double>(frames) * kCdFormat.rate / fmt.rate > static_cast<double>(kMaxLineInPairs))
        return Fail(error, "the WAV file is longer than five minutes");

    std::vector<int16_t> stereo(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* p = data + i * bytesPerSample * fmt.channels;
        stereo[2 * i] = ReadSample(p, fmt.bits);
        stereo[2 * i + 1] = fmt.channels == 2 ? ReadSample(p + bytesPerSample, fmt.bits) : stereo[2 * i];
    }
    if (fmt.rate == kCdFormat.rate)
        samples->swap(stereo);
    else
        *samples = Resample(stereo.data(), frames, 2, fmt.rate, kCdFormat.rate);
    if (source) *source = WaveFormat{fmt.rate, fmt.bits, fmt.channels};
    return true;
}

bool LoadWavToCd(const std::string& path, std::vector<int16_t>* samples, WaveFormat* source, std::string* error) {
    samples->clear();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (!in || size < 0) return Fail(error, "WAV file '" + path + "' cannot be opened");
    if (static_cast<uint64_t>(size) > kMaxWavFileBytes) return Fail(error, "WAV file '" + path + "' is too large");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), size))
        return Fail(error, "WAV file '" + path + "' cannot be read");
    if (!DecodeWavToCd(bytes.data(), bytes.size(), samples, source, error)) {
        if (error) *error = "WAV file '" + path + "': " + *error;
        return false;
    }
    return true;
}

void MixSaturating(int16_t* dst, const int16_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] = Clamp16(static_cast<int32_t>(dst[i]) + src[i]);
}

void MixLooped(int16_t* dst, size_t count, const std::vector<int16_t>& loop, size_t* position) {
    if (loop.empty()) return;
    size_t at = *position % loop.size();
    for (size_t i = 0; i < count; ++i) {
        dst[i] = Clamp16(static_cast<int32_t>(dst[i]) + loop[at]);
        if (++at == loop.size()) at = 0;
    }
    *position = at;
}

}  // namespace rig
