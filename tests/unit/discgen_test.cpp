// The disc generator: material that is audible everywhere, unique frame by frame
// and deterministic, and images the disc model reads back exactly.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "disc.h"
#include "discgen.h"
#include "soundcard.h"

namespace {

int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t index) {
    return static_cast<int16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
}

std::string MakeTempDir() {
    char pattern[] = "/tmp/discgen_test.XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? std::string(dir) + "/" : std::string();
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(DiscGen, MaterialIsDeterministicAndAgreesSampleByFrame) {
    std::vector<uint8_t> a, b, slice;
    discgen::TrackFrames(7, 3, 0, 200, &a);
    discgen::TrackFrames(7, 3, 0, 200, &b);
    ASSERT_EQ(a.size(), 200u * rig::kBytesPerFrame);
    EXPECT_EQ(a, b);
    // Frames generated from the middle of a track equal the same frames of a whole run.
    discgen::TrackFrames(7, 3, 123, 10, &slice);
    EXPECT_TRUE(std::equal(slice.begin(), slice.end(), a.begin() + 123 * rig::kBytesPerFrame));
    for (long frame : {0L, 57L, 199L}) {
        for (int pair : {0, 1, 300, 587}) {
            int16_t l, r;
            discgen::TrackSample(7, 3, frame, pair, &l, &r);
            size_t index = (static_cast<size_t>(frame) * rig::kSamplesPerFrame + pair) * 2;
            EXPECT_EQ(l, SampleAt(a, index));
            EXPECT_EQ(r, SampleAt(a, index + 1));
        }
    }
}

TEST(DiscGen, EveryFrameIsAudibleAndNoFrameRepeatsAnywhereOnADisc) {
    const std::vector<long> lengths = {900, 1, 750, 1200, 600};
    std::unordered_set<std::string> seen;
    std::vector<uint8_t> bytes;
    long frames = 0;
    for (size_t t = 0; t < lengths.size(); ++t) {
        discgen::TrackFrames(11, static_cast<int>(t + 1), 0, lengths[t], &bytes);
        for (long f = 0; f < lengths[t]; ++f, ++frames) {
            const uint8_t* frame = bytes.data() + f * rig::kBytesPerFrame;
            int peakL = 0, peakR = 0;
            for (int i = 0; i < rig::kSamplesPerFrame; ++i) {
                peakL = std::max(peakL, std::abs(static_cast<int>(SampleAt(bytes, (f * 588 + i) * 2))));
                peakR = std::max(peakR, std::abs(static_cast<int>(SampleAt(bytes, (f * 588 + i) * 2 + 1))));
            }
            ASSERT_GT(peakL, 1500) << "track " << t + 1 << " frame " << f;
            ASSERT_GT(peakR, 1500) << "track " << t + 1 << " frame " << f;
            ASSERT_TRUE(seen.insert(std::string(reinterpret_cast<const char*>(frame), rig::kBytesPerFrame)).second)
                << "track " << t + 1 << " frame " << f << " repeats an earlier frame";
        }
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(frames));
}

TEST(DiscGen, TracksAndSeedsGiveDifferentMusic) {
    // Not only different bytes: the tracks differ in loudness pattern, so a track
    // played in place of another is audible. Compare the per-frame peak envelopes.
    auto envelope = [](uint32_t seed, int track) {
        std::vector<uint8_t> bytes;
        discgen::TrackFrames(seed, track, 0, 300, &bytes);
        std::vector<int> peaks;
        for (size_t f = 0; f < 300; ++f) {
            int peak = 0;
            for (int i = 0; i < rig::kSamplesPerFrame * 2; ++i)
                peak = std::max(peak, std::abs(static_cast<int>(SampleAt(bytes, f * 588 * 2 + i))));
            peaks.push_back(peak);
        }
        return peaks;
    };
    auto distance = [](const std::vector<int>& a, const std::vector<int>& b) {
        long sum = 0;
        for (size_t i = 0; i < a.size(); ++i) sum += std::abs(a[i] - b[i]);
        return sum / static_cast<long>(a.size());
    };
    std::vector<int> t1 = envelope(1, 1), t2 = envelope(1, 2), other = envelope(2, 1);
    EXPECT_GT(distance(t1, t2), 500);
    EXPECT_GT(distance(t1, other), 500);
    EXPECT_EQ(distance(t1, envelope(1, 1)), 0);
}

TEST(DiscGen, WriteDiscMakesAnImageTheModelReadsBack) {
    const std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());
    const std::vector<long> lengths = {150, 76, 1};
    std::string error;
    ASSERT_TRUE(discgen::WriteDisc(dir + "three.cue", lengths, 5, &error)) << error;
    rig::Disc disc;
    ASSERT_TRUE(rig::LoadDisc(dir + "three.cue", &disc, &error)) << error;
    EXPECT_EQ(disc.trackStarts, (std::vector<long>{0, 150, 226}));
    EXPECT_EQ(disc.leadout, 227);
    EXPECT_EQ(disc.binPath, dir + "three.bin");

    std::vector<uint8_t> bin = ReadAll(dir + "three.bin"), expected, track;
    for (size_t t = 0; t < lengths.size(); ++t) {
        discgen::TrackFrames(5, static_cast<int>(t + 1), 0, lengths[t], &track);
        expected.insert(expected.end(), track.begin(), track.end());
    }
    EXPECT_TRUE(bin == expected) << "the BIN holds each track's material in order";

    // Writing again replaces both files.
    ASSERT_TRUE(discgen::WriteDisc(dir + "three.cue", {10}, 5, &error)) << error;
    ASSERT_TRUE(rig::LoadDisc(dir + "three.cue", &disc, &error)) << error;
    EXPECT_EQ(disc.leadout, 10);
    EXPECT_EQ(disc.TrackCount(), 1);

    // A WAV file of the material: the canonical CD header, then track 1's frames.
    ASSERT_TRUE(discgen::WriteTrackWav(dir + "one.wav", 76, 5, &error)) << error;
    discgen::TrackFrames(5, 1, 0, 76, &track);
    EXPECT_TRUE(ReadAll(dir + "one.wav") == rig::MakeWavFile(rig::kCdFormat, track));
    EXPECT_FALSE(discgen::WriteTrackWav(dir + "no-folder/one.wav", 76, 5, &error));

    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

TEST(DiscGen, WriteDiscRefusesBadRequests) {
    std::string error;
    EXPECT_FALSE(discgen::WriteDisc("/nonexistent-folder/x.cue", {75}, 1, &error));
    EXPECT_NE(error.find("/nonexistent-folder/x.bin"), std::string::npos) << error;
    EXPECT_FALSE(discgen::WriteDisc("/tmp/x.cue", {}, 1, &error));
    EXPECT_FALSE(discgen::WriteDisc("/tmp/x.cue", {75, 0}, 1, &error));
    EXPECT_NE(error.find("at least one frame"), std::string::npos) << error;
    EXPECT_FALSE(discgen::WriteDisc("/tmp/x.cue", std::vector<long>(100, 1), 1, &error));
    EXPECT_NE(error.find("99 tracks"), std::string::npos) << error;
    EXPECT_FALSE(discgen::WriteDisc("/tmp/x.cue", {450000}, 1, &error)) << "a disc must fit 100 minutes";
}

}  // namespace
