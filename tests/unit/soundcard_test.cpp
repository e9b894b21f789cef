// The sound card's format conversion, WAV writing and reading, and mixing,
// checked against references computed here (tone fits, hand-picked values).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "soundcard.h"

using rig::WaveFormat;

namespace {

const double kPi = 3.14159265358979323846;

// Interleaved stereo: a tone of `hz` in both channels (right at half amplitude).
std::vector<int16_t> StereoTone(double hz, int rate, size_t frames, double amplitude) {
    std::vector<int16_t> s(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        double v = amplitude * std::sin(2 * kPi * hz * i / rate);
        s[2 * i] = static_cast<int16_t>(std::lround(v));
        s[2 * i + 1] = static_cast<int16_t>(std::lround(v / 2));
    }
    return s;
}

struct ToneFit {
    double amplitude;  // of the best-fitting sine at the expected frequency
    double residual;   // RMS of what that sine does not explain
    double rms;        // RMS of the signal
};

// Least-squares fit of a sine of `hz` to channel `ch` of `channels`, over the
// middle of the signal (away from the filter's edges).
ToneFit FitTone(const std::vector<int16_t>& s, int channels, int ch, int rate, double hz) {
    size_t frames = s.size() / channels;
    size_t from = frames / 4, to = frames * 3 / 4;
    double a = 0, b = 0;
    for (size_t i = from; i < to; ++i) {
        double x = s[i * channels + ch];
        a += x * std::sin(2 * kPi * hz * i / rate);
        b += x * std::cos(2 * kPi * hz * i / rate);
    }
    a *= 2.0 / (to - from);
    b *= 2.0 / (to - from);
    double res = 0, sq = 0;
    for (size_t i = from; i < to; ++i) {
        double x = s[i * channels + ch];
        double fit = a * std::sin(2 * kPi * hz * i / rate) + b * std::cos(2 * kPi * hz * i / rate);
        res += (x - fit) * (x - fit);
        sq += x * x;
    }
    return {std::hypot(a, b), std::sqrt(res / (to - from)), std::sqrt(sq / (to - from))};
}

std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return s;
}

TEST(SoundCard, HeaderFieldsOfACanonicalWav) {
    uint8_t h[rig::kWavHeaderBytes];
    rig::WriteWavHeader({22050, 8, 1}, 1001, h);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h), 4), "RIFF");
    EXPECT_EQ(h[4] | h[5] << 8 | h[6] << 16 | h[7] << 24, 36 + 1001 + 1) << "counts the pad byte";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h + 8), 8), "WAVEfmt ");
    EXPECT_EQ(h[16], 16);
    EXPECT_EQ(h[20], 1);                              // PCM
    EXPECT_EQ(h[22], 1);                              // channels
    EXPECT_EQ(h[24] | h[25] << 8 | h[26] << 16, 22050);
    EXPECT_EQ(h[28] | h[29] << 8 | h[30] << 16, 22050);  // byte rate
    EXPECT_EQ(h[32], 1);                              // block align
    EXPECT_EQ(h[34], 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h + 36), 4), "data");
    EXPECT_EQ(h[40] | h[41] << 8 | h[42] << 16 | h[43] << 24, 1001);

    rig::WriteWavHeader(rig::kCdFormat, 176400, h);
    EXPECT_EQ(h[28] | h[29] << 8 | h[30] << 16, 176400);
    EXPECT_EQ(h[32], 4);
    EXPECT_EQ(rig::MakeWavFile({11025, 8, 1}, std::vector<uint8_t>(3, 128)).size(), 44u + 3 + 1);
}

TEST(SoundCard, CdFormatIsTheIdentityBitForBit) {
    std::mt19937 rng(3);
    std::vector<int16_t> in(44100 * 2);
    for (int16_t& s : in) s = static_cast<int16_t>(rng());
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(rig::ConvertFromCd(in.data(), in.size() / 2, rig::kCdFormat, &out, &error)) << error;
    ASSERT_EQ(out.size(), in.size() * 2);
    EXPECT_EQ(Samples16(out), in);
}

TEST(SoundCard, MonoAveragesAndEightBitMapsWithRounding) {
    EXPECT_EQ(rig::MonoAverage(1, 0), 1);
    EXPECT_EQ(rig::MonoAverage(-1, 0), -1);
    EXPECT_EQ(rig::MonoAverage(3, 4), 4);
    EXPECT_EQ(rig::MonoAverage(-3, -4), -4);
    EXPECT_EQ(rig::MonoAverage(100, -100), 0);
    EXPECT_EQ(rig::MonoAverage(32767, 32767), 32767);
    EXPECT_EQ(rig::MonoAverage(-32768, -32768), -32768);
    EXPECT_EQ(rig::MonoAverage(32767, -32768), -1) << "-0.5 rounds away from zero";

    struct { int16_t in; int out; } eight[] = {
        {0, 128}, {127, 128}, {128, 129}, {-128, 127}, {-127, 128}, {256, 129}, {-256, 127},
        {32767, 255}, {-32768, 0}, {32639, 255}, {-32640, 0}, {12800, 178}, {-12800, 78},
    };
    for (auto c : eight) EXPECT_EQ(rig::To8Bit(c.in), c.out) << c.in;

    // Through the whole conversion: 44,100 Hz, 8 bits, mono.
    const int16_t pairs[] = {1000, 3000, -32768, -32768, 32767, 32767, 0, -1};
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(rig::ConvertFromCd(pairs, 4, {44100, 8, 1}, &out, &error)) << error;
    EXPECT_EQ(out, (std::vector<uint8_t>{136, 0, 255, 128}));
    ASSERT_TRUE(rig::ConvertFromCd(pairs, 4, {44100, 16, 1}, &out, &error)) << error;
    EXPECT_EQ(Samples16(out), (std::vector<int16_t>{2000, -32768, 32767, -1}));
}

TEST(SoundCard, RefusesFormatsTheCardDoesNotRecord) {
    std::vector<uint8_t> out;
    std::string error;
    const int16_t pair[] = {0, 0};
    for (WaveFormat f : {WaveFormat{48000, 16, 2}, WaveFormat{44100, 24, 2}, WaveFormat{44100, 16, 3},
                         WaveFormat{0, 0, 0}}) {
        EXPECT_FALSE(rig::ConvertFromCd(pair, 1, f, &out, &error)) << f.rate;
        EXPECT_FALSE(error.empty());
    }
}

TEST(SoundCard, DownsamplingKeepsTonesBelowTheNewNyquistAndRemovesThoseAbove) {
    struct Case {
        int rate;
        double hz;
        bool passes;
    } cases[] = {
        {22050, 1000, true},  {22050, 8000, true},  {11025, 440, true}, {11025, 3500, true},
        {22050, 15000, false}, {22050, 12000, false}, {11025, 8000, false}, {11025, 6200, false},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> in = StereoTone(c.hz, 44100, 44100, 20000);
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(rig::ConvertFromCd(in.data(), 44100, {c.rate, 16, 2}, &bytes, &error)) << error;
        std::vector<int16_t> out = Samples16(bytes);
        ASSERT_EQ(out.size(), static_cast<size_t>(c.rate) * 2) << "one second in, one second out";
        if (c.passes) {
            ToneFit left = FitTone(out, 2, 0, c.rate, c.hz), right = FitTone(out, 2, 1, c.rate, c.hz);
            EXPECT_NEAR(left.amplitude, 20000, 200) << c.hz << " Hz at " << c.rate;
            EXPECT_NEAR(right.amplitude, 10000, 100) << c.hz << " Hz at " << c.rate;
            EXPECT_LT(left.residual, 30) << "the tone keeps its frequency: " << c.hz << " Hz at " << c.rate;
        } else {
            // Dropping samples would fold the tone back at full strength.
            EXPECT_LT(FitTone(out, 2, 0, c.rate, c.hz).rms, 20000 * 0.01) << c.hz << " Hz at " << c.rate;
        }
    }
}

TEST(SoundCard, DownsampledMonoEightBitKeepsTheTone) {
    std::vector<int16_t> in = StereoTone(1000, 44100, 22050, 16000);  // right channel at half amplitude
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(rig::ConvertFromCd(in.data(), 22050, {11025, 8, 1}, &bytes, &error)) << error;
    ASSERT_EQ(bytes.size(), 5513u);
    std::vector<int16_t> centred;
    for (uint8_t b : bytes) centred.push_back(static_cast<int16_t>((b - 128) * 256));
    ToneFit fit = FitTone(centred, 1, 0, 11025, 1000);
    EXPECT_NEAR(fit.amplitude, 12000, 250);  // (16000 + 8000) / 2
    EXPECT_LT(fit.residual, 150) << "8-bit quantisation noise only";
}

TEST(SoundCard, ResampleHandlesEdgesAndOtherRates) {
    EXPECT_TRUE(rig::Resample(nullptr, 0, 2, 44100, 22050).empty());
    const int16_t one[] = {1000, -1000};
    EXPECT_EQ(rig::Resample(one, 1, 2, 44100, 11025).size(), 2u);
    EXPECT_EQ(rig::Resample(one, 1, 2, 44100, 44100), (std::vector<int16_t>{1000, -1000}));
    EXPECT_FALSE(rig::CanResample(44100, 44101));
    EXPECT_TRUE(rig::Resample(one, 1, 2, 44100, 44101).empty());
    EXPECT_TRUE(rig::CanResample(48000, 44100));
    EXPECT_TRUE(rig::CanResample(8000, 44100));

    // A full-scale square wave must not wrap around when the filter rings.
    std::vector<int16_t> square(4000);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 ? -32768 : 32767;
    std::vector<int16_t> up = rig::Resample(square.data(), square.size(), 1, 22050, 44100);
    ASSERT_EQ(up.size(), 8000u);
    // Period: 100 samples in, 200 out; the first half high. Away from the edges of
    // the signal and of each half, the level holds; a wrapped overshoot would not.
    for (size_t period = 400; period + 400 < up.size(); period += 200) {
        for (size_t k = 5; k < 95; ++k) {
            ASSERT_GT(up[period + k], 25000) << period + k;
            ASSERT_LT(up[period + 100 + k], -25000) << period + 100 + k;
        }
    }
    int16_t peak = *std::max_element(up.begin(), up.end());
    EXPECT_EQ(peak, 32767) << "overshoot clamps instead of wrapping";
}

TEST(WavReader, RoundTripsEveryRecordingFormatToCdAudio) {
    std::vector<int16_t> cd = StereoTone(700, 44100, 44100, 12000);
    for (int rate : {11025, 22050, 44100})
        for (int bits : {8, 16})
            for (int channels : {1, 2}) {
                WaveFormat f{rate, bits, channels};
                std::vector<uint8_t> data;
                std::string error;
                ASSERT_TRUE(rig::ConvertFromCd(cd.data(), 44100, f, &data, &error));
                std::vector<uint8_t> file = rig::MakeWavFile(f, data);
                std::vector<int16_t> back;
                WaveFormat seen{};
                ASSERT_TRUE(rig::DecodeWavToCd(file.data(), file.size(), &back, &seen, &error)) << error;
                EXPECT_EQ(seen.rate, rate);
                EXPECT_EQ(seen.bits, bits);
                EXPECT_EQ(seen.channels, channels);
                EXPECT_NEAR(static_cast<double>(back.size()), 88200, 8) << rate;
                double left = channels == 1 ? 9000 : 12000, right = channels == 1 ? 9000 : 6000;
                double tolerance = bits == 8 ? 300 : 150;
                EXPECT_NEAR(FitTone(back, 2, 0, 44100, 700).amplitude, left, tolerance) << rate << "/" << bits;
                EXPECT_NEAR(FitTone(back, 2, 1, 44100, 700).amplitude, right, tolerance) << rate << "/" << bits;
                if (rate == 44100 && bits == 16 && channels == 2) {
                    EXPECT_EQ(back, cd) << "CD audio reads back unchanged";
                }
            }
}

TEST(WavReader, ConvertsOtherCommonRatesToCdAudio) {
    for (int rate : {8000, 16000, 32000, 48000, 96000}) {
        const size_t frames = static_cast<size_t>(rate) / 2;
        std::vector<uint8_t> data;
        for (size_t i = 0; i < frames; ++i) {
            uint16_t v = static_cast<uint16_t>(std::lround(10000 * std::sin(2 * kPi * 1500 * i / rate)));
            data.push_back(static_cast<uint8_t>(v));
            data.push_back(static_cast<uint8_t>(v >> 8));
        }
        std::vector<uint8_t> file = rig::MakeWavFile({rate, 16, 1}, data);
        std::vector<int16_t> out;
        std::string error;
        ASSERT_TRUE(rig::DecodeWavToCd(file.data(), file.size(), &out, nullptr, &error)) << rate << ": " << error;
        EXPECT_NEAR(static_cast<double>(out.size()), 44100, 2) << rate;
        ToneFit fit = FitTone(out, 2, 0, 44100, 1500);
        EXPECT_NEAR(fit.amplitude, 10000, 100) << rate;
        EXPECT_LT(fit.residual, 30) << "no images or aliases: " << rate;
    }
}

// A WAV built by hand, chunk by chunk.
struct WavBuilder {
    std::vector<uint8_t> bytes;
    WavBuilder() { Raw("RIFF\0\0\0\0WAVE", 12); }
    WavBuilder& Raw(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
    WavBuilder& U16(uint32_t v) {
        uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        return Raw(b, 2);
    }
    WavBuilder& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    WavBuilder& Chunk(const char* id, const std::vector<uint8_t>& body, uint32_t claimed = 0xFFFFFFFF) {
        Raw(id, 4).U32(claimed == 0xFFFFFFFF ? static_cast<uint32_t>(body.size()) : claimed);
        Raw(body.data(), body.size());
        if (body.size() & 1) bytes.push_back(0);
        return *this;
    }
    static std::vector<uint8_t> Fmt(int tag, int channels, int rate, int bits, bool extensible = false) {
        WavBuilder b;
        b.bytes.clear();
        b.U16(extensible ? 0xFFFE : tag).U16(channels).U32(rate).U32(rate * channels * bits / 8);
        b.U16(channels * bits / 8).U16(bits);
        // The rest of the sub-format GUID after its 16-bit tag: xxxx0000-0000-0010-8000-00AA00389B71.
        static const uint8_t kGuidTail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        if (extensible) b.U16(22).U16(bits).U32(3).U16(tag).Raw(kGuidTail, sizeof kGuidTail);
        return b.bytes;
    }
};

TEST(WavReader, SkipsUnknownChunksAndReadsExtensibleAndWideSamples) {
    std::vector<uint8_t> data16 = {0x10, 0x00, 0xF0, 0xFF, 0x34, 0x12, 0x00, 0x80};
    WavBuilder b;
    b.Chunk("LIST", {'I', 'N', 'F', 'O', 'x'}).Chunk("fmt ", WavBuilder::Fmt(1, 2, 44100, 16, true));
    b.Chunk("fact", {1, 0, 0, 0}).Chunk("data", data16);
    std::vector<int16_t> out;
    std::string error;
    ASSERT_TRUE(rig::DecodeWavToCd(b.bytes.data(), b.bytes.size(), &out, nullptr, &error)) << error;
    EXPECT_EQ(out, (std::vector<int16_t>{16, -16, 0x1234, -32768}));

    // 24-bit mono: rounded to the top 16 bits, duplicated into both channels.
    WavBuilder w24;
    w24.Chunk("fmt ", WavBuilder::Fmt(1, 1, 44100, 24)).Chunk("data", {0x80, 0x34, 0x12, 0x7F, 0xFF, 0xFF, 0, 0, 0x80});
    ASSERT_TRUE(rig::DecodeWavToCd(w24.bytes.data(), w24.bytes.size(), &out, nullptr, &error)) << error;
    EXPECT_EQ(out, (std::vector<int16_t>{0x1235, 0x1235, -1, -1, -32768, -32768})) << "-129/256 rounds to -1";

    // A data chunk that claims more than the file holds is read as far as it goes.
    WavBuilder cut;
    cut.Chunk("fmt ", WavBuilder::Fmt(1, 2, 44100, 16)).Chunk("data", {1, 0, 2, 0, 3, 0}, 1000000);
    ASSERT_TRUE(rig::DecodeWavToCd(cut.bytes.data(), cut.bytes.size(), &out, nullptr, &error)) << error;
    EXPECT_EQ(out, (std::vector<int16_t>{1, 2})) << "the half frame at the end is dropped";
}

TEST(WavReader, RejectsWhatItCannotPlayWithAReason) {
    auto wav = [](std::vector<uint8_t> fmt, bool data = true) {
        WavBuilder b;
        b.Chunk("fmt ", fmt);
        if (data) b.Chunk("data", {0, 0, 0, 0});
        return b.bytes;
    };
    WavBuilder dataFirst;
    dataFirst.Chunk("data", {0, 0}).Chunk("fmt ", WavBuilder::Fmt(1, 1, 44100, 16));
    struct Case {
        std::vector<uint8_t> file;
        const char* reason;
    } cases[] = {
        {{'R', 'I', 'F', 'F'}, "not a RIFF WAVE file"},
        {std::vector<uint8_t>(100, 0), "not a RIFF WAVE file"},
        {wav(WavBuilder::Fmt(3, 2, 44100, 32)), "format tag 3"},
        {wav(WavBuilder::Fmt(3, 2, 44100, 32, true)), "format tag 3"},
        {wav(WavBuilder::Fmt(1, 6, 44100, 16)), "6 channels"},
        {wav(WavBuilder::Fmt(1, 0, 44100, 16)), "0 channels"},
        {wav(WavBuilder::Fmt(1, 2, 44100, 12)), "12-bit samples"},
        {wav(WavBuilder::Fmt(1, 2, 12345, 16)), "12345 Hz"},
        {wav(WavBuilder::Fmt(1, 2, 0, 16)), "0 Hz"},
        {wav(WavBuilder::Fmt(1, 2, 44100, 16), false), "no data chunk"},
        {wav({1, 0, 2, 0}), "fmt chunk is truncated"},
        {dataFirst.bytes, "before the fmt chunk"},
        {WavBuilder().bytes, "no fmt chunk"},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> out = {1};
        std::string error;
        EXPECT_FALSE(rig::DecodeWavToCd(c.file.data(), c.file.size(), &out, nullptr, &error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << "got '" << error << "', wanted " << c.reason;
        EXPECT_TRUE(out.empty());
    }
    std::string error;
    std::vector<int16_t> out;
    EXPECT_FALSE(rig::LoadWavToCd("/nonexistent/line.wav", &out, nullptr, &error));
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
}

TEST(WavReaderFuzz, RandomAndMutatedFilesNeverCrash) {
    std::mt19937 rng(77);
    std::vector<uint8_t> data(600);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    WavBuilder good;
    good.Chunk("LIST", {1, 2, 3}).Chunk("fmt ", WavBuilder::Fmt(1, 2, 22050, 16)).Chunk("data", data);
    int accepted = 0;
    for (int i = 0; i < 6000; ++i) {
        std::vector<uint8_t> file;
        if (i % 3 == 0) {
            file.resize(rng() % 120);
            for (uint8_t& b : file) b = static_cast<uint8_t>(rng());
            if (file.size() >= 12 && i % 2) memcpy(file.data(), "RIFF\0\0\0\0WAVE", 12);
        } else {
            file = good.bytes;
            for (int e = 0, edits = 1 + static_cast<int>(rng() % 4); e < edits && !file.empty(); ++e) {
                size_t at = rng() % std::min<size_t>(file.size(), 80);  // mostly the header and chunk fields
                switch (rng() % 3) {
                    case 0: file[at] = static_cast<uint8_t>(rng()); break;
                    case 1: file.resize(rng() % file.size()); break;
                    default: file.erase(file.begin() + at); break;
                }
            }
        }
        std::vector<int16_t> out;
        std::string error;
        // The bytes live in an exactly-sized heap block, so any read past the end trips ASan.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() + 1]);
        if (!file.empty()) memcpy(exact.get(), file.data(), file.size());
        bool ok = rig::DecodeWavToCd(exact.get(), file.size(), &out, nullptr, &error);
        if (ok) {
            ASSERT_EQ(out.size() % 2, 0u);
            ++accepted;
        } else {
            ASSERT_FALSE(error.empty());
            ASSERT_TRUE(out.empty());
        }
    }
    EXPECT_GT(accepted, 100);
}

TEST(Mixing, SumsWithSaturationAndLoopsTheLineInput) {
    int16_t a[] = {1000, 30000, -30000, -5, 32767};
    const int16_t b[] = {-2000, 30000, -30000, 5, -1};
    rig::MixSaturating(a, b, 5);
    EXPECT_EQ(std::vector<int16_t>(a, a + 5), (std::vector<int16_t>{-1000, 32767, -32768, 0, 32766}));

    const std::vector<int16_t> loop = {1, 2, 3, 4};
    std::vector<int16_t> dst(6, 100);
    size_t pos = 2;
    rig::MixLooped(dst.data(), dst.size(), loop, &pos);
    EXPECT_EQ(dst, (std::vector<int16_t>{103, 104, 101, 102, 103, 104}));
    EXPECT_EQ(pos, 0u);
    rig::MixLooped(dst.data(), 3, loop, &pos);
    EXPECT_EQ(dst[0], 104);
    EXPECT_EQ(pos, 3u);
    rig::MixLooped(dst.data(), 6, {}, &pos);
    EXPECT_EQ(dst[5], 104) << "no line input adds nothing";
}

}  // namespace
