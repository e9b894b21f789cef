// The virtual drive's disc model: CUE parsing, BIN checks, CD arithmetic, and a
// bounded fuzz loop over the CUE parser.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "disc.h"

using rig::Disc;

namespace {

const char kGoodSheet[] =
    "REM GENRE Test\n"
    "PERFORMER \"Nobody\"\n"
    "TITLE \"Three tracks\"\n"
    "FILE \"three tracks.bin\" BINARY\n"
    "  TRACK 01 AUDIO\n"
    "    TITLE \"One\"\n"
    "    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n"
    "    FLAGS DCP\n"
    "    INDEX 00 00:29:70\n"
    "    INDEX 01 00:30:00\n"
    "  TRACK 03 AUDIO\n"
    "    PREGAP 00:00:00\n"
    "    INDEX 01 01:00:01\n";

std::string MakeTempDir() {
    char pattern[] = "/tmp/disc_model_test.XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? std::string(dir) + "/" : std::string();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

Disc DiscOf(std::vector<long> starts, long leadout) {
    Disc d;
    d.trackStarts = starts;
    d.leadout = leadout;
    return d;
}

TEST(ParseCue, ReadsTrackStartsAndToleratesKnownLines) {
    Disc disc;
    std::string error;
    ASSERT_TRUE(rig::ParseCue(kGoodSheet, "/data/discs/", &disc, &error)) << error;
    EXPECT_EQ(disc.trackStarts, (std::vector<long>{0, 30 * 75, 60 * 75 + 1}));
    EXPECT_EQ(disc.binPath, "/data/discs/three tracks.bin");
    EXPECT_EQ(disc.leadout, 0);
}

TEST(ParseCue, AcceptsCrLfByteOrderMarkLowerCaseAndUnquotedNames) {
    const std::string sheet =
        "\xEF\xBB\xBF" "file disc.bin binary\r\n\ttrack 1 audio\r\n\tindex 1 00:00:00\r\n"
        "\ttrack 02 audio\r\n\tindex 01 00:02:00";
    Disc disc;
    std::string error;
    ASSERT_TRUE(rig::ParseCue(sheet, "/d", &disc, &error)) << error;
    EXPECT_EQ(disc.trackStarts, (std::vector<long>{0, 150}));
    EXPECT_EQ(disc.binPath, "/d/disc.bin");
}

TEST(ParseCue, ResolvesTheBinAgainstPosixAndWindowsFolders) {
    struct Case {
        const char* dir;
        const char* name;
        const char* expected;
    } cases[] = {
        {"/work/x/", "a.bin", "/work/x/a.bin"},
        {"/work/x", "a.bin", "/work/x/a.bin"},
        {"Z:\\work\\x\\", "a.bin", "Z:\\work\\x\\a.bin"},
        {"Z:\\work\\x", "a.bin", "Z:\\work\\x\\a.bin"},
        {"Z:\\work\\x\\", "sub/a.bin", "Z:\\work\\x\\sub\\a.bin"},
        {"/work/x/", "sub\\a.bin", "/work/x/sub/a.bin"},
        {"/work/x/", "/elsewhere/a.bin", "/elsewhere/a.bin"},
        {"Z:\\work\\x\\", "C:\\discs\\a.bin", "C:\\discs\\a.bin"},
        {"", "a.bin", "a.bin"},
    };
    for (const Case& c : cases) {
        std::string sheet = std::string("FILE \"") + c.name + "\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        Disc disc;
        std::string error;
        ASSERT_TRUE(rig::ParseCue(sheet, c.dir, &disc, &error)) << c.dir << " " << c.name << ": " << error;
        EXPECT_EQ(disc.binPath, c.expected) << c.dir << " + " << c.name;
    }
}

TEST(ParseCue, RejectsBrokenSheetsWithOneLineReasons) {
    const std::string file = "FILE \"d.bin\" BINARY\n";
    struct Case {
        std::string sheet;
        const char* reason;
    } cases[] = {
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:10:00\n", "TRACK 03 out of order"},
        {file + "TRACK 02 AUDIO\nINDEX 01 00:00:00\n", "TRACK 02 out of order"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:05:00\n", "no INDEX 01 for TRACK 02"},
        {file + "TRACK 01 AUDIO\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", "no INDEX 01 for TRACK 01"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 AUDIO\nINDEX 01 00:10:00\n", "TRACK 02 starts before"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 01 00:01:00\n", "second INDEX 01 for TRACK 01"},
        {file + "TRACK 01 MODE2/2352\nINDEX 01 00:00:00\n", "TRACK 01 is of type 'MODE2/2352'"},
        {"REM SESSION 02\n" + file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "SESSION 01 has no track"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nREM SESSION 03\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n",
         "SESSION 03 out of order"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nREM SESSION 02\n", "SESSION 02 has no track"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:02:00\nREM SESSION 02\nTRACK 02 MODE1/2352\nINDEX 01 00:01:00\n",
         "TRACK 02 starts before the end of TRACK 01"},
        {"FILE \"d.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "FILE type 'WAVE' is not supported"},
        {file + file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "more than one FILE"},
        {"TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "TRACK 01 before any FILE"},
        {file + "INDEX 01 00:00:00\n", "INDEX before any TRACK"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:60:00\n", "INDEX needs a number and a position"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:75\n", "INDEX needs a number and a position"},
        {file + "TRACK 01 AUDIO\nINDEX 01 0:0\n", "INDEX needs a number and a position"},
        {file + "TRACK 00 AUDIO\nINDEX 01 00:00:00\n", "TRACK needs a number from 01 to 99"},
        {file + "TRACK 100 AUDIO\nINDEX 01 00:00:00\n", "TRACK needs a number from 01 to 99"},
        {file + "TRACK 01 AUDIO\nPREGAP 00:02:00\nINDEX 01 00:00:00\n", "PREGAP with silence outside the BIN"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nBOGUS 1\n", "unknown CUE command 'BOGUS' (line 4)"},
        {file, "no TRACK in the CUE sheet"},
        {"", "no FILE in the CUE sheet"},
    };
    for (const Case& c : cases) {
        Disc disc;
        disc.trackStarts = {5};
        std::string error;
        EXPECT_FALSE(rig::ParseCue(c.sheet, "/x", &disc, &error)) << c.sheet;
        EXPECT_NE(error.find(c.reason), std::string::npos) << "got '" << error << "' for\n" << c.sheet;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(disc.trackStarts.empty() && disc.binPath.empty()) << "a failed parse leaves no disc behind";
    }
}

// CD-Extra: the audio session, then a data track in a second session. The BIN holds
// the tracks back to back; on the disc the session gap lies between them.
TEST(ParseCue, DataTracksAndSessionsPutTheGapBetweenTheSessions) {
    const char sheet[] =
        "REM SESSION 01\n"
        "FILE \"extra.bin\" BINARY\n"
        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n"
        "REM LEAD-OUT 01:30:00\n"
        "rem session 02\n"
        "  TRACK 03 MODE1/2352\n    INDEX 01 00:08:00\n";
    Disc disc;
    std::string error;
    ASSERT_TRUE(rig::ParseCue(sheet, "/d", &disc, &error)) << error;
    EXPECT_EQ(disc.trackStarts, (std::vector<long>{0, 300, 600 + rig::kSessionGapFrames}));
    EXPECT_EQ(disc.dataTracks, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(disc.sessions, (std::vector<int>{1, 1, 2}));
    disc.leadout = 1000 + rig::kSessionGapFrames;

    // The last audio track ends where the first session's audio ends, not at the data track.
    EXPECT_EQ(rig::TrackLengthFrames(disc, 2), 300);
    EXPECT_EQ(rig::TrackLengthFrames(disc, 3), 399) << "the last track, one frame short as always";
    long frame = -1;
    EXPECT_FALSE(rig::LbaToBinFrame(disc, 600, &frame)) << "the gap is not in the BIN";
    EXPECT_TRUE(rig::LbaToBinFrame(disc, 600 + rig::kSessionGapFrames, &frame));
    EXPECT_EQ(frame, 600);
    EXPECT_EQ(rig::AudioRunEnd(disc, 0), 600) << "both audio tracks play on, up to the gap";
    EXPECT_EQ(rig::AudioRunEnd(disc, 600 + rig::kSessionGapFrames), 600 + rig::kSessionGapFrames) << "a data track";
}

TEST(ParseCue, AcceptsNinetyNineTracksButNotAHundred) {
    std::string sheet = "FILE \"d.bin\" BINARY\n";
    char line[80];
    for (int t = 1; t <= 99; ++t) {
        snprintf(line, sizeof line, "TRACK %02d AUDIO\nINDEX 01 %02d:%02d:00\n", t, t / 60, t % 60);
        sheet += line;
    }
    Disc disc;
    std::string error;
    ASSERT_TRUE(rig::ParseCue(sheet, "", &disc, &error)) << error;
    EXPECT_EQ(disc.TrackCount(), 99);
    EXPECT_FALSE(rig::ParseCue(sheet + "TRACK 100 AUDIO\nINDEX 01 10:00:00\n", "", &disc, &error));
}

TEST(LoadDisc, TakesTheLeadoutFromTheBinAndChecksIt) {
    const std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string cue = dir + "d.cue";
    const std::string sheet = "FILE \"d.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                              "TRACK 02 AUDIO\nINDEX 01 00:01:00\n";
    WriteFile(cue, sheet);
    Disc disc;
    std::string error;

    EXPECT_FALSE(rig::LoadDisc(cue, &disc, &error));
    EXPECT_EQ(error, "BIN file 'd.bin' not found");

    WriteFile(dir + "d.bin", std::string(80 * 2352 + 7, '\1'));
    EXPECT_FALSE(rig::LoadDisc(cue, &disc, &error));
    EXPECT_EQ(error, "BIN file 'd.bin' is not a whole number of frames");

    WriteFile(dir + "d.bin", std::string(75 * 2352, '\1'));  // track 2 would start at the very end
    EXPECT_FALSE(rig::LoadDisc(cue, &disc, &error));
    EXPECT_EQ(error, "TRACK 02 starts beyond the end of the BIN");

    WriteFile(dir + "d.bin", std::string(80 * 2352, '\1'));
    ASSERT_TRUE(rig::LoadDisc(cue, &disc, &error)) << error;
    EXPECT_EQ(disc.leadout, 80);
    EXPECT_EQ(disc.binPath, dir + "d.bin");
    EXPECT_EQ(rig::TrackLengthFrames(disc, 2), 4);

    // A data track in a second session: it must start inside the BIN, and the
    // leadout lies a session gap beyond the BIN's end.
    const std::string extra = "FILE \"d.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                              "REM SESSION 02\nTRACK 02 MODE1/2352\nINDEX 01 00:01:";
    WriteFile(cue, extra + "04\n");
    ASSERT_TRUE(rig::LoadDisc(cue, &disc, &error)) << error;
    EXPECT_EQ(disc.trackStarts, (std::vector<long>{0, 79 + rig::kSessionGapFrames}));
    EXPECT_EQ(disc.leadout, 80 + rig::kSessionGapFrames);
    WriteFile(cue, extra + "05\n");
    EXPECT_FALSE(rig::LoadDisc(cue, &disc, &error));
    EXPECT_EQ(error, "TRACK 02 starts beyond the end of the BIN");

    EXPECT_FALSE(rig::LoadDisc(dir + "missing.cue", &disc, &error));
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
    EXPECT_EQ(disc.TrackCount(), 0);

    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

TEST(CdArithmetic, MsfAndPackings) {
    rig::Msf msf = rig::FramesToMsf(4 * 4500 + 31 * 75 + 22);
    EXPECT_EQ(msf.m, 4);
    EXPECT_EQ(msf.s, 31);
    EXPECT_EQ(msf.f, 22);
    EXPECT_EQ(rig::MsfToFrames(4, 31, 22), 4 * 4500 + 31 * 75 + 22);
    EXPECT_EQ(rig::PackTmsf(12, msf), 0x161F040Cu);
    EXPECT_EQ(rig::PackMsf(msf), 0x161F04u);

    int track = 0;
    rig::Msf back;
    rig::UnpackTmsf(0x161F040Cu, &track, &back);
    EXPECT_EQ(track, 12);
    EXPECT_EQ(back.m, 4);
    EXPECT_EQ(back.s, 31);
    EXPECT_EQ(back.f, 22);
    for (long f = 0; f < 100L * 4500; f += 37) {
        rig::Msf m = rig::FramesToMsf(f);
        ASSERT_TRUE(m.s < 60 && m.f < 75);
        rig::Msf u = rig::UnpackMsf(rig::PackMsf(m));
        ASSERT_EQ(rig::MsfToFrames(u.m, u.s, u.f), f);
    }
    EXPECT_EQ(rig::LbaToMsf(0), rig::PackMsf({0, 2, 0}));
    EXPECT_EQ(rig::MsfToLba(rig::PackMsf({0, 2, 0})), 0);
    EXPECT_EQ(rig::MsfToLba(rig::PackMsf({0, 0, 0})), -150);
    EXPECT_EQ(rig::MsfToLba(rig::LbaToMsf(123456)), 123456);
}

TEST(CdArithmetic, TrackAndDiscLengthsMakeTheLastTrackOneFrameShorter) {
    Disc disc = DiscOf({0, 2250, 5325}, 6975);
    EXPECT_EQ(rig::TrackLengthFrames(disc, 1), 2250);
    EXPECT_EQ(rig::TrackLengthFrames(disc, 2), 3075);
    EXPECT_EQ(rig::TrackLengthFrames(disc, 3), 1649);
    EXPECT_EQ(rig::TrackLengthFrames(disc, 0), 0);
    EXPECT_EQ(rig::TrackLengthFrames(disc, 4), 0);
    EXPECT_EQ(rig::DiscLengthFrames(disc), 6974);
    EXPECT_EQ(rig::DiscLengthFrames(DiscOf({150}, 1000)), 849);
    EXPECT_EQ(rig::DiscLengthFrames(Disc()), 0);
    EXPECT_EQ(rig::TrackLengthFrames(DiscOf({0}, 1), 1), 0);
    // Start + length of every track is an address the drive can still play.
    for (int t = 1; t <= disc.TrackCount(); ++t)
        EXPECT_LT(disc.trackStarts[t - 1] + rig::TrackLengthFrames(disc, t), disc.leadout);
}

TEST(CdArithmetic, TmsfAndLbaRoundTripOverAWholeDisc) {
    Disc disc = DiscOf({0, 1, 300, 4800}, 9000);
    for (long lba = 0; lba < disc.leadout; ++lba) {
        uint32_t tmsf = rig::LbaToTmsf(disc, lba);
        int track;
        rig::Msf msf;
        rig::UnpackTmsf(tmsf, &track, &msf);
        ASSERT_GE(track, 1);
        ASSERT_LE(track, 4);
        ASSERT_GE(lba, disc.trackStarts[track - 1]);
        if (track < 4) {
            ASSERT_LT(lba, disc.trackStarts[track]);
        }
        long back = -1;
        ASSERT_TRUE(rig::TmsfToLba(disc, tmsf, &back));
        ASSERT_EQ(back, lba);
    }
    long lba = -1;
    EXPECT_TRUE(rig::TmsfToLba(disc, 3, &lba));
    EXPECT_EQ(lba, 300);
    EXPECT_FALSE(rig::TmsfToLba(disc, 5, &lba));
    EXPECT_FALSE(rig::TmsfToLba(disc, 0, &lba));
    EXPECT_EQ(rig::LbaToTmsf(DiscOf({150, 300}, 400), 10), 0x01u) << "before track 1: its start";
    EXPECT_EQ(rig::LbaToTmsf(Disc(), 10), 0u);
}

TEST(CdArithmetic, MillisecondsAsTheCdDriverConvertsThem) {
    EXPECT_EQ(rig::FramesToMs(0), 1u);
    EXPECT_EQ(rig::FramesToMs(75), 1001u);
    EXPECT_EQ(rig::FramesToMs(1), 14u);
    EXPECT_EQ(rig::MsToFrames(1001), 75);
    EXPECT_EQ(rig::MsToFrames(0), 0);
    EXPECT_EQ(rig::MsToFrames(1), 0);
    EXPECT_EQ(rig::MsToFrames(8), 1) << "((8 - 1) * 75 + 500) / 1000";
    EXPECT_EQ(rig::FramesToMs(100L * 4500), 6000001u);
    EXPECT_EQ(rig::MsToFrames(0xFFFFFFFFu), 322122547L) << "no overflow on 32-bit long";
    for (long f = 0; f < 100L * 4500; ++f) ASSERT_EQ(rig::MsToFrames(rig::FramesToMs(f)), f);
}

}  // namespace
