// The MP3 path's plain rules: the configuration record as the converter fills it and
// the encoder library reads it, what the library accepts, the sizes it reports, and the
// converter's file name, chunks and progress.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion_plan.h"
#include "encoder_config.h"

namespace {

using lameenc::EncoderConfig;

TEST(EncoderConfigRecord, WhatTheConverterFillsTheLibraryReadsBack) {
    static_assert(mp3::kEncoderConfigBytes == lameenc::kConfigBytes, "one record size on both sides");
    for (unsigned kbps : {32u, 64u, 128u, 320u}) {
        uint8_t record[mp3::kEncoderConfigBytes];
        memset(record, 0xAA, sizeof record);   // nothing of an earlier record may survive
        mp3::FillEncoderConfig(record, kbps);
        EncoderConfig config = lameenc::ReadConfig(record);
        EXPECT_EQ(config.kind, 0u);
        EXPECT_EQ(config.sampleRate, 44100u);
        EXPECT_EQ(config.mode, 0);
        EXPECT_EQ(config.kbps, kbps);
        EXPECT_FALSE(config.privateBit || config.crc || config.copyright || config.original);
        EXPECT_TRUE(lameenc::Acceptable(config)) << kbps;
    }
    // The layout itself, byte by byte: little-endian, no gaps.
    uint8_t record[mp3::kEncoderConfigBytes];
    mp3::FillEncoderConfig(record, 320);
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0x44, 0xAC, 0, 0, 0, 0x40, 0x01, 0, 0, 0,
                                           0, 0, 0, 0, 0, 0, 0,    0, 0, 0, 0,    0,    0};
    EXPECT_EQ(std::vector<uint8_t>(record, record + sizeof record), expected);
}

TEST(EncoderConfigRecord, EachFlagIsReadFromItsOwnFourBytes) {
    struct Case {
        size_t offset;
        bool EncoderConfig::*flag;
    } cases[] = {{11, &EncoderConfig::privateBit},
                 {15, &EncoderConfig::crc},
                 {19, &EncoderConfig::copyright},
                 {23, &EncoderConfig::original}};
    for (const Case& c : cases) {
        for (size_t byte = 0; byte < 4; ++byte) {   // any non-zero byte of the field sets it
            uint8_t record[lameenc::kConfigBytes];
            mp3::FillEncoderConfig(record, 128);
            record[c.offset + byte] = 1;
            EncoderConfig config = lameenc::ReadConfig(record);
            EXPECT_TRUE(config.*c.flag) << "offset " << c.offset << " + " << byte;
            int set = config.privateBit + config.crc + config.copyright + config.original;
            EXPECT_EQ(set, 1) << "offset " << c.offset << " + " << byte << " set another flag too";
            EXPECT_EQ(config.kbps, 128);
        }
    }
}

TEST(EncoderConfigRecord, OnlyMpeg1StereoAt44100AndAFrameBitRateIsAccepted) {
    uint8_t base[lameenc::kConfigBytes];
    mp3::FillEncoderConfig(base, 128);
    auto accepted = [&](size_t offset, uint8_t value) {
        uint8_t record[lameenc::kConfigBytes];
        memcpy(record, base, sizeof record);
        record[offset] = value;
        return lameenc::Acceptable(lameenc::ReadConfig(record));
    };
    EXPECT_FALSE(accepted(0, 1)) << "a kind other than MP3";
    EXPECT_FALSE(accepted(3, 1)) << "the kind's high byte";
    EXPECT_FALSE(accepted(4, 0x80)) << "48,000 Hz";
    EXPECT_FALSE(accepted(6, 1)) << "a sample rate beyond 65,535";
    EXPECT_FALSE(accepted(8, 1)) << "joint stereo";
    EXPECT_FALSE(accepted(8, 3)) << "mono";
    for (unsigned kbps : {0u, 8u, 100u, 129u, 384u, 448u, 128u + 256u * 256u})
        EXPECT_FALSE(lameenc::IsMpeg1Layer3BitRate(kbps)) << kbps;
    for (unsigned kbps : {32u, 40u, 48u, 56u, 64u, 80u, 96u, 112u, 128u, 160u, 192u, 224u, 256u, 320u})
        EXPECT_TRUE(lameenc::IsMpeg1Layer3BitRate(kbps)) << kbps;
}

TEST(EncoderSizes, OneFrameAChunkAndRoomForLamesWorstCase) {
    EXPECT_EQ(lameenc::kChunkSamples, 2304u);
    // lame.h: worst case 1.25 × samples per channel + 7,200 bytes; a flush at most 7,200.
    EXPECT_GE(lameenc::kOutputBufferBytes, 1.25 * 1152 + 7200);
    EXPECT_GE(lameenc::WorstCaseBytes(1), 1.25 * 1 + 7200);
    EXPECT_GE(lameenc::WorstCaseBytes(3), 1.25 * 3 + 7200);
    EXPECT_TRUE(lameenc::ChunkSampleCountFits(0));
    EXPECT_TRUE(lameenc::ChunkSampleCountFits(392));
    EXPECT_TRUE(lameenc::ChunkSampleCountFits(2304));
    EXPECT_FALSE(lameenc::ChunkSampleCountFits(2306)) << "more than a chunk could overrun the output buffer";
    EXPECT_FALSE(lameenc::ChunkSampleCountFits(391)) << "half a stereo pair";
    EXPECT_TRUE(mp3::EncoderSizesUsable(lameenc::kChunkSamples, lameenc::kOutputBufferBytes));
    EXPECT_FALSE(mp3::EncoderSizesUsable(0, 8640));
    EXPECT_FALSE(mp3::EncoderSizesUsable(2303, 8640));
    EXPECT_FALSE(mp3::EncoderSizesUsable(2304, 0));
    EXPECT_FALSE(mp3::EncoderSizesUsable(0xFFFFFFFEu, 8640)) << "twice the samples would wrap";
}

std::string Mp3Path(const std::string& wav, size_t size = 260) {
    std::vector<char> out(size + 1, '#');
    if (!mp3::Mp3PathFor(wav.c_str(), out.data(), size)) return "(does not fit)";
    EXPECT_EQ(out[size], '#') << "wrote past the buffer";
    return out.data();
}

TEST(Mp3Name, TheFileNamesEndingBecomesMp3) {
    EXPECT_EQ(Mp3Path("c:\\music\\take1.wav"), "c:\\music\\take1.mp3");
    EXPECT_EQ(Mp3Path("c:\\my.music\\take1.wav"), "c:\\my.music\\take1.mp3");
    EXPECT_EQ(Mp3Path("c:\\my.music\\take.one.wav"), "c:\\my.music\\take.one.mp3");
    EXPECT_EQ(Mp3Path("take1.wav"), "take1.mp3");
    // No dot in the file name: a dot in a folder name must not cut the path.
    EXPECT_EQ(Mp3Path("c:\\my.music\\take1"), "c:\\my.music\\take1.mp3");
    EXPECT_EQ(Mp3Path("/my.music/take1"), "/my.music/take1.mp3");
    EXPECT_EQ(Mp3Path("d:take1"), "d:take1.mp3");
}

TEST(Mp3Name, ALongPathFitsExactlyOrIsRefused) {
    std::string wav = "c:\\" + std::string(247, 'x') + ".wav";   // 254 characters, the field's most
    EXPECT_EQ(Mp3Path(wav, 255), wav.substr(0, 250) + ".mp3");
    EXPECT_EQ(Mp3Path(wav, 254), "(does not fit)");
    std::string bare = "c:\\" + std::string(251, 'x');            // 254 characters without a dot
    EXPECT_EQ(Mp3Path(bare, 259), bare + ".mp3");
    EXPECT_EQ(Mp3Path(bare, 258), "(does not fit)");
    EXPECT_EQ(Mp3Path("a.wav", 0), "(does not fit)");
}

TEST(ConversionPlan, ChunksOfAFileWith10000SoundBytes) {
    std::vector<int64_t> reads;
    std::vector<int> percents;
    std::vector<uint32_t> samples;
    const int64_t total = 10000, chunk = 2 * 2304;
    for (int64_t done = 0; done < total;) {
        int64_t n = mp3::NextChunkBytes(total, done, chunk);
        reads.push_back(n);
        samples.push_back(mp3::SamplesToEncode(n));
        done += n;
        percents.push_back(mp3::ProgressPercent(done, total));
        ASSERT_LT(reads.size(), 10u);
    }
    EXPECT_EQ(reads, (std::vector<int64_t>{4608, 4608, 784}));
    EXPECT_EQ(samples, (std::vector<uint32_t>{2304, 2304, 392}));
    EXPECT_EQ(percents, (std::vector<int>{46, 92, 100}));
    // A chunk that exactly fills the file is the last one.
    EXPECT_EQ(mp3::NextChunkBytes(9216, 4608, chunk), 4608);
    // A truncated file's last half stereo pair is not handed to the encoder.
    EXPECT_EQ(mp3::SamplesToEncode(786), 392u);
    EXPECT_EQ(mp3::SamplesToEncode(3), 0u);
}

TEST(ConversionPlan, SoundBytesComeFromTheHeaderWhenTheFileHoldsThem) {
    EXPECT_EQ(mp3::SoundBytes(44, 0), 0);
    EXPECT_EQ(mp3::SoundBytes(10044, 10000), 10000);
    EXPECT_EQ(mp3::SoundBytes(10044 + 26, 10000), 10000) << "a chunk after the sound is not sound";
    EXPECT_EQ(mp3::SoundBytes(10044, 0), 10000) << "no size in the header: everything after it";
    EXPECT_EQ(mp3::SoundBytes(10044, 0xFFFFFFFFu), 10000) << "a size the file does not hold";
    EXPECT_LT(mp3::SoundBytes(43, 0), 0) << "shorter than the header";
    EXPECT_LT(mp3::SoundBytes(0, 0), 0);
}

}  // namespace
