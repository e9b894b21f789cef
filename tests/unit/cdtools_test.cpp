// Cross-check of the disc images against libcdio's tools: cd-info must see the
// tracks the disc model sees, and cd-paranoia must rip exactly the BIN's bytes.
// The tools are part of the set-up (./dev installs them): missing tools fail.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "disc.h"

namespace {

struct CommandResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) result.output.append(buf, n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct InfoRow {
    int track;  // 170 for the lead-out
    int m, s, f;
    long lsn;
    std::string type;  // "audio", "data" or "leadout"
};

// The rows of cd-info's track list: "  3: 01:13:00  005325 audio ..." and the lead-out.
std::vector<InfoRow> ParseTrackList(const std::string& output) {
    std::vector<InfoRow> rows;
    size_t pos = 0;
    while (pos < output.size()) {
        size_t end = output.find('\n', pos);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(pos, end - pos);
        pos = end + 1;
        InfoRow row;
        char type[16] = {0};
        if (sscanf(line.c_str(), " %d: %d:%d:%d %ld %15s", &row.track, &row.m, &row.s, &row.f, &row.lsn, type) == 6 &&
            (std::string(type) == "audio" || std::string(type) == "data" || std::string(type) == "leadout")) {
            row.type = type;
            rows.push_back(row);
        }
    }
    return rows;
}

class CdTools : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cdtools_test.XXXXXX";
        const char* dir = mkdtemp(pattern);
        ASSERT_NE(dir, nullptr);
        dir_ = std::string(dir) + "/";
        ASSERT_EQ(RunCommand("command -v cd-info").exitCode, 0) << "cd-info is missing (libcdio-utils; ./dev installs it)";
        ASSERT_EQ(RunCommand("command -v cd-paranoia").exitCode, 0) << "cd-paranoia is missing (./dev installs it)";
    }
    void TearDown() override {
        if (!dir_.empty()) RunCommand("rm -rf " + Quoted(dir_));
    }
    std::string Mkdisc(const std::string& args) { return std::string(TOOLS_BIN_DIR) + "/mkdisc " + args; }

    std::string dir_;
};

// An audio disc, and a CD-Extra whose data track libcdio reads at its place in the BIN:
// the model puts it a session gap further, where it lies on a real disc.
TEST_F(CdTools, CdInfoListsTheTracksTheModelSees) {
    struct Case {
        std::string args;
        std::vector<long> starts;
    } cases[] = {
        {"2250 3075 1 1650 76 --seed 9", {0, 2250, 5325, 5326, 6976}},
        {"300 450 --data 600", {0, 300, 750 + rig::kSessionGapFrames}},
    };
    for (const Case& c : cases) {
        const std::string cue = dir_ + "disc.cue";
        CommandResult made = RunCommand(Mkdisc(Quoted(cue) + " " + c.args));
        ASSERT_EQ(made.exitCode, 0) << made.output;

        rig::Disc disc;
        std::string error;
        ASSERT_TRUE(rig::LoadDisc(cue, &disc, &error)) << error;
        ASSERT_EQ(disc.trackStarts, c.starts) << c.args;

        CommandResult info = RunCommand("cd-info --no-cddb --no-header --no-device-info -q --cue-file " + Quoted(cue));
        ASSERT_EQ(info.exitCode, 0) << info.output;
        std::vector<InfoRow> rows = ParseTrackList(info.output);
        ASSERT_EQ(rows.size(), disc.trackStarts.size() + 1) << info.output;
        for (int k = 0; k <= disc.TrackCount(); ++k) {
            const InfoRow& row = rows[k];
            int track = k + 1;
            long gaps = (disc.Session(k < disc.TrackCount() ? track : k) - 1) * rig::kSessionGapFrames;
            long lba = (k < disc.TrackCount() ? disc.trackStarts[k] : disc.leadout) - gaps;
            EXPECT_EQ(row.track, k < disc.TrackCount() ? track : 170);
            EXPECT_EQ(row.type, k == disc.TrackCount() ? "leadout" : disc.IsData(track) ? "data" : "audio");
            EXPECT_EQ(row.lsn, lba) << "track " << row.track;
            rig::Msf msf = rig::UnpackMsf(rig::LbaToMsf(lba));
            EXPECT_EQ(row.m * 10000 + row.s * 100 + row.f, msf.m * 10000 + msf.s * 100 + msf.f) << "track " << row.track;
        }
        EXPECT_EQ(info.output.find("CD-Plus/Extra") != std::string::npos, disc.IsData(disc.TrackCount()))
            << info.output;
    }
}

TEST_F(CdTools, CdParanoiaRipsExactlyTheBinBytesOfAMiddleAndTheLastTrack) {
    const std::string cue = dir_ + "rip me.cue";
    CommandResult made = RunCommand(Mkdisc(Quoted(cue) + " 400 377 500 251"));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    rig::Disc disc;
    std::string error;
    ASSERT_TRUE(rig::LoadDisc(cue, &disc, &error)) << error;
    const std::vector<uint8_t> bin = ReadAll(disc.binPath);
    ASSERT_EQ(bin.size(), static_cast<size_t>(disc.leadout) * rig::kBytesPerFrame);

    for (int track : {2, 4}) {
        const std::string wav = dir_ + "track" + std::to_string(track) + ".wav";
        CommandResult rip = RunCommand("cd-paranoia -q -Z -d " + Quoted(cue) + " -w " + std::to_string(track) + " " +
                                Quoted(wav));
        ASSERT_EQ(rip.exitCode, 0) << rip.output;
        std::vector<uint8_t> out = ReadAll(wav);
        ASSERT_GE(out.size(), 44u);
        long start = disc.trackStarts[track - 1];
        long end = track < disc.TrackCount() ? disc.trackStarts[track] : disc.leadout;
        std::vector<uint8_t> expected(bin.begin() + start * rig::kBytesPerFrame, bin.begin() + end * rig::kBytesPerFrame);
        ASSERT_EQ(out.size() - 44, expected.size()) << "track " << track;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + 44)) << "track " << track;
    }
}

TEST_F(CdTools, MkdiscRejectsBadArgumentsWithAReason) {
    struct Case {
        std::string args;
        const char* reason;
    } cases[] = {
        {"", "usage"},
        {Quoted(dir_ + "a.cue"), "no track lengths"},
        {Quoted(dir_ + "a.cue") + " 75 x", "'x' is not a number of frames"},
        {Quoted(dir_ + "a.cue") + " 0", "'0' is not a number of frames"},
        {Quoted(dir_ + "a.cue") + " 75 --seed", "--seed needs a whole number"},
        {Quoted(dir_ + "a.cue") + " 75 --bogus", "unknown option '--bogus'"},
        {Quoted(dir_ + "missing/a.cue") + " 75", "cannot create"},
    };
    for (const Case& c : cases) {
        CommandResult r = RunCommand(Mkdisc(c.args));
        EXPECT_EQ(r.exitCode, 1) << c.args;
        EXPECT_NE(r.output.find(c.reason), std::string::npos) << c.args << ": " << r.output;
    }
    CommandResult ok = RunCommand(Mkdisc("--seed=3 " + Quoted(dir_ + "b.cue") + " 75"));
    EXPECT_EQ(ok.exitCode, 0) << ok.output;
}

}  // namespace
