// The rip's plain side: the WAV header and its rewrite, and the copy of a frame range
// in reads of 26 frames against a fake drive that records what it was asked.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framecopy.h"
#include "wavwriter.h"

namespace {

uint32_t U32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24; }
uint16_t U16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

TEST(WavWriter, HeaderIsTheCanonicalOneForCdAudio) {
    uint8_t header[kWavHeaderBytes];
    MakeWavHeader(2352, header);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 4), "RIFF");
    EXPECT_EQ(U32(header + 4), 2388u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header + 8), 8), "WAVEfmt ");
    EXPECT_EQ(U32(header + 16), 16u);
    EXPECT_EQ(U16(header + 20), 1);
    EXPECT_EQ(U16(header + 22), 2);
    EXPECT_EQ(U32(header + 24), 44100u);
    EXPECT_EQ(U32(header + 28), 176400u);
    EXPECT_EQ(U16(header + 32), 4);
    EXPECT_EQ(U16(header + 34), 16);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header + 36), 4), "data");
    EXPECT_EQ(U32(header + 40), 2352u);
    MakeWavHeader(kMaxWavDataBytes, header);
    EXPECT_EQ(U32(header + 4), 0xFFFFFFFFu);
}

TEST(WavWriter, RewritingTheHeaderKeepsTheAudioAndTheLength) {
    FILE* file = tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(WriteWavHeader(file, 0));
    std::vector<uint8_t> audio(2352);
    for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(fwrite(audio.data(), 1, audio.size(), file), audio.size());
    ASSERT_TRUE(WriteWavHeader(file, 2352));
    EXPECT_EQ(ftell(file), 44);
    ASSERT_EQ(fseek(file, 0, SEEK_END), 0);
    EXPECT_EQ(ftell(file), 2396);
    std::vector<uint8_t> bytes(2396);
    rewind(file);
    ASSERT_EQ(fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    fclose(file);
    EXPECT_EQ(U32(&bytes[4]), 2388u);
    EXPECT_EQ(U32(&bytes[40]), 2352u);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), bytes.begin() + 44));
    EXPECT_FALSE(WriteWavHeader(nullptr, 0));
}

uint8_t FrameByte(long frame, long i) { return static_cast<uint8_t>(frame * 31 + i * 7); }

// A drive of numbered frames: byte i of frame f is FrameByte(f, i). Reads listed in
// `reads`; attempts for frames in `failing` fail (`failures` times before succeeding,
// or always when negative).
struct FakeDrive {
    std::vector<std::pair<long, long>> reads;
    std::vector<std::pair<long, long>> progress;
    std::vector<uint8_t> area = std::vector<uint8_t>(26 * 2352 + 200);
    std::string written;
    long failing = -1;
    int failures = 0;
    uint32_t offset = 0;
    long shortBy = 0;   // frames the drive claims less than asked
    bool writeFails = false;

    FrameCopyIo Io() {
        FrameCopyIo io;
        io.read = [this](long first, long frames, Delivery* delivery) {
            reads.emplace_back(first, frames);
            if (failing >= first && failing < first + frames && failures != 0) {
                if (failures > 0) --failures;
                return false;
            }
            for (long i = 0; i < frames * 2352 && offset + i < static_cast<long>(area.size()); ++i)
                area[offset + i] = FrameByte(first + i / 2352, i % 2352);
            delivery->area = area.data();
            delivery->capacity = static_cast<uint32_t>(area.size());
            delivery->offset = offset;
            delivery->bytes = static_cast<uint32_t>((frames - shortBy) * 2352);
            return true;
        };
        io.write = [this](const uint8_t* bytes, uint32_t count) {
            if (writeFails) return false;
            written.append(reinterpret_cast<const char*>(bytes), count);
            return true;
        };
        io.progress = [this](long frame, long remaining) { progress.emplace_back(frame, remaining); };
        return io;
    }
};

// Frames from `first` as the fake drive holds them.
std::string Frames(long first, long count) {
    std::string bytes;
    for (long i = 0; i < count * 2352; ++i) bytes += static_cast<char>(FrameByte(first + i / 2352, i % 2352));
    return bytes;
}

using Reads = std::vector<std::pair<long, long>>;

TEST(FrameCopy, ReadsInChunksOf26WithProgressBeforeEveryFifthRead) {
    FakeDrive drive;
    CopyResult result = CopyFrames(0, 60, drive.Io());
    EXPECT_EQ(result.outcome, CopyOutcome::kComplete);
    EXPECT_EQ(drive.reads, (Reads{{0, 26}, {26, 26}, {52, 8}}));
    EXPECT_EQ(drive.progress, (Reads{{0, 60}}));
    EXPECT_EQ(result.bytes, 141120u);
    EXPECT_TRUE(drive.written == Frames(0, 60));

    FakeDrive longer;
    result = CopyFrames(1000, 131, longer.Io());
    ASSERT_EQ(longer.reads.size(), 6u);
    EXPECT_EQ(longer.reads[5], (std::pair<long, long>{1130, 1}));
    EXPECT_EQ(longer.progress, (Reads{{1000, 131}, {1130, 1}}));
    EXPECT_TRUE(longer.written == Frames(1000, 131));

    FakeDrive empty;
    result = CopyFrames(500, 0, empty.Io());
    EXPECT_EQ(result.outcome, CopyOutcome::kComplete);
    EXPECT_TRUE(empty.reads.empty());
    EXPECT_EQ(result.bytes, 0u);
}

TEST(FrameCopy, ARetryThatSucceedsLosesNothing) {
    FakeDrive drive;
    drive.failing = 30;
    drive.failures = 2;
    CopyResult result = CopyFrames(0, 60, drive.Io());
    EXPECT_EQ(result.outcome, CopyOutcome::kComplete);
    EXPECT_EQ(drive.reads, (Reads{{0, 26}, {26, 26}, {26, 26}, {26, 26}, {52, 8}}));
    EXPECT_TRUE(drive.written == Frames(0, 60));
}

TEST(FrameCopy, AReadThatFailsThreeTimesEndsTheCopy) {
    FakeDrive drive;
    drive.failing = 55;
    drive.failures = -1;
    CopyResult result = CopyFrames(0, 131, drive.Io());
    EXPECT_EQ(result.outcome, CopyOutcome::kReadFailed);
    EXPECT_EQ(result.failedFrame, 52);
    EXPECT_EQ(drive.reads, (Reads{{0, 26}, {26, 26}, {52, 26}, {52, 26}, {52, 26}}));
    EXPECT_TRUE(drive.written == Frames(0, 52)) << "nothing after the hole";
}

TEST(FrameCopy, TakesExactlyTheDeliveredBytesAndRefusesOddDeliveries) {
    FakeDrive shifted;
    shifted.offset = 100;
    EXPECT_EQ(CopyFrames(7, 30, shifted.Io()).outcome, CopyOutcome::kComplete);
    EXPECT_TRUE(shifted.written == Frames(7, 30));

    FakeDrive beyond;   // delivered bytes reaching past the data area
    beyond.offset = 201;
    EXPECT_EQ(CopyFrames(0, 26, beyond.Io()).outcome, CopyOutcome::kReadFailed);
    EXPECT_EQ(beyond.reads.size(), 3u);
    EXPECT_TRUE(beyond.written.empty());

    FakeDrive shortOne;   // a frame less than asked would shift the rest of the track
    shortOne.shortBy = 1;
    EXPECT_EQ(CopyFrames(0, 26, shortOne.Io()).outcome, CopyOutcome::kReadFailed);
    EXPECT_TRUE(shortOne.written.empty());

    Delivery none;
    EXPECT_FALSE(DeliveryUsable(none, 0));
}

TEST(FrameCopy, AFailedWriteEndsTheCopy) {
    FakeDrive drive;
    drive.writeFails = true;
    CopyResult result = CopyFrames(0, 60, drive.Io());
    EXPECT_EQ(result.outcome, CopyOutcome::kWriteFailed);
    EXPECT_EQ(drive.reads.size(), 1u);
}

TEST(FrameCopy, PromptTextsAndHowOftenTheyAreDrawn) {
    EXPECT_EQ(RipRangeText(60, 0), "Ripping... 60 ... 0");
    EXPECT_EQ(RipProgressText(0, 60), "Ripping... 0: 60       ");

    ProgressPacer pacer;   // a clock about to wrap
    EXPECT_TRUE(pacer.Due(0xFFFFFFF0u)) << "the first text is drawn at once";
    EXPECT_FALSE(pacer.Pending());
    EXPECT_FALSE(pacer.Due(0xFFFFFFF0u + kProgressDrawMs - 1));
    EXPECT_TRUE(pacer.Pending()) << "the last text is still to be drawn";
    EXPECT_TRUE(pacer.Due(0xFFFFFFF0u + kProgressDrawMs)) << "across the wrap";
    EXPECT_FALSE(pacer.Pending());
}

}  // namespace
