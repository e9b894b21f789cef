// Cross-check of the disc images against libcdio's tools: cd-info must see the
// tracks the disc model sees and the CD-Text its sheet gives, and cd-paranoia must
// rip exactly the BIN's bytes. And of
// the rip's checksums and disc ids against whipper's AccurateRip module and table code
// and Python's zlib. The tools are part of the set-up (./dev installs them): missing
// tools fail.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "accuraterip.h"
#include "cdtext.h"
#include "cdinfo_rows.h"
#include "checksums.h"
#include "cuesheet.h"
#include "disc.h"
#include "discgen.h"
#include "toc.h"
#include "wavwriter.h"

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

        CommandResult info = RunCommand(cdinfo::Command(Quoted(cue)));
        ASSERT_EQ(info.exitCode, 0) << info.output;
        std::vector<cdinfo::Row> rows = cdinfo::ParseTrackList(info.output);
        ASSERT_EQ(rows.size(), disc.trackStarts.size() + 1) << info.output;
        for (int k = 0; k <= disc.TrackCount(); ++k) {
            const cdinfo::Row& row = rows[k];
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

// cd-info's CD-Text of a sheet ("CD-TEXT for Disc:" or "CD-TEXT for Track  2:", then
// "\tTITLE: text" lines), the first language's.
akrip::CdText CdInfoText(const std::string& output, size_t tracks) {
    akrip::CdText text;
    text.tracks.resize(tracks);
    akrip::CdTextEntry* entry = nullptr;
    for (const std::string& line : cdinfo::OutputLines(output)) {
        unsigned track = 0;
        if (line == "CD-TEXT for Disc:") entry = &text.disc;
        else if (sscanf(line.c_str(), "CD-TEXT for Track %u:", &track) == 1)
            entry = track >= 1 && track <= tracks ? &text.tracks[track - 1] : nullptr;
        else if (line.rfind("Language 1", 0) == 0) break;
        else if (entry && line.rfind("\tTITLE: ", 0) == 0) entry->title = line.substr(8);
        else if (entry && line.rfind("\tPERFORMER: ", 0) == 0) entry->performer = line.substr(12);
        else if (entry && line.rfind("\tSONGWRITER: ", 0) == 0) entry->songwriter = line.substr(13);
    }
    return text;
}

// The texts of a sheet in ISO-8859-1, as libcdio reads them from the sheet, are what
// our packs of the same sheet read back as: the disc model keeps them, the encoder
// writes them, the parser reads them (a repeated performer goes as a TAB).
TEST_F(CdTools, CdInfoReadsTheSheetsCdTextAsOurPacksCarryIt) {
    akrip::CdText sheet;
    sheet.disc = {"Caf\xE9 del Mar", "The \xC5ngstr\xF6m Band", ""};
    sheet.tracks = {{"Opening", "The \xC5ngstr\xF6m Band", "J. Writer"},
                    {"A title long enough to run across several packs of twelve", "The \xC5ngstr\xF6m Band", ""},
                    {"", "", ""},
                    {"Last", "Guest", "J. Writer"}};
    const std::string cue = dir_ + "named.cue";
    std::string error;
    ASSERT_TRUE(discgen::WriteDisc(cue, {300, 200, 100, 150}, 5, &error, 0, &sheet)) << error;
    CommandResult info = RunCommand(cdinfo::Command(Quoted(cue)));
    ASSERT_EQ(info.exitCode, 0) << info.output;
    akrip::CdText theirs = CdInfoText(info.output, sheet.tracks.size());
    ASSERT_EQ(theirs.disc.title, "Caf\xC3\xA9 del Mar") << info.output;

    rig::Disc disc;
    ASSERT_TRUE(rig::LoadDisc(cue, &disc, &error)) << error;
    std::vector<uint8_t> packs;
    ASSERT_TRUE(akrip::EncodeCdText(disc.cdText, &packs));
    akrip::CdText ours;
    ASSERT_TRUE(akrip::ParseCdText(packs.data(), packs.size(), &ours));
    EXPECT_EQ(ours.disc.title, theirs.disc.title);
    EXPECT_EQ(ours.disc.performer, theirs.disc.performer);
    ASSERT_EQ(ours.tracks.size(), theirs.tracks.size());
    for (size_t k = 0; k < ours.tracks.size(); ++k) {
        EXPECT_EQ(ours.tracks[k].title, theirs.tracks[k].title) << "track " << k + 1;
        EXPECT_EQ(ours.tracks[k].performer, theirs.tracks[k].performer) << "track " << k + 1;
        EXPECT_EQ(ours.tracks[k].songwriter, theirs.tracks[k].songwriter) << "track " << k + 1;
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

// whipper's answers for a disc (a table of "start audio session" lines, then the
// lead-out) and the WAV files of its tracks: per track "v1 v2 crc32" in hex, then the
// AccurateRip ids, the freedb id and the entry's path.
const char kWhipperScript[] = R"(
import sys, zlib, accuraterip
from whipper.image.table import Table, Track
rows = [line.split() for line in open(sys.argv[1])]
table = Table()
for n, (start, audio, session) in enumerate(rows[:-1], 1):
    track = Track(n, audio=audio == '1', session=int(session))
    track.index(1, absolute=int(start))
    table.tracks.append(track)
table.leadout = int(rows[-1][0])
wavs = sys.argv[2:]
for n, wav in enumerate(wavs, 1):
    v1, v2 = accuraterip.compute(wav, n, len(wavs))
    data = open(wav, 'rb').read()[44:]
    print('%08x %08x %08x' % (v1, v2, zlib.crc32(data)))
id1, id2 = table.accuraterip_ids()
print(id1, id2, table.getCDDBDiscId(), table.accuraterip_path())
)";

std::string Hex(uint32_t value) {
    char text[12];
    snprintf(text, sizeof text, "%08x", value);
    return text;
}

// Tracks of awkward lengths, first, in the middle and last (a single frame, less than
// a read, exactly five frames, one read, six reads, three minutes), and a CD-Extra.
TEST_F(CdTools, ChecksumsAndDiscIdsAreWhippersAndZlibs) {
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c 'import accuraterip, whipper.image.table'").exitCode, 0)
        << "whipper's Python modules are missing (./dev installs whipper)";
    struct Case {
        std::vector<long> frames;
        long dataFrames;
    } cases[] = {{{1, 26, 13500, 131, 6}, 0}, {{5, 1, 6, 26}, 0}, {{131, 5}, 600}};
    for (const Case& c : cases) {
        const std::string cue = dir_ + "disc.cue";
        std::string args = Quoted(cue);
        for (long f : c.frames) args += " " + std::to_string(f);
        if (c.dataFrames) args += " --data " + std::to_string(c.dataFrames);
        CommandResult made = RunCommand(Mkdisc(args));
        ASSERT_EQ(made.exitCode, 0) << made.output;
        rig::Disc disc;
        std::string error;
        ASSERT_TRUE(rig::LoadDisc(cue, &disc, &error)) << error;
        const std::vector<uint8_t> bin = ReadAll(disc.binPath);

        // The layout as the program reads it from the drive's table of contents.
        akrip::Toc toc;
        ASSERT_TRUE(akrip::BuildToc(disc.trackStarts, disc.leadout, false, &toc, disc.dataTracks));
        DiscLayout layout;
        ASSERT_TRUE(LayoutFromToc(toc, &layout));
        std::string table, wavs, expected;
        for (size_t k = 0; k < layout.starts.size(); ++k)
            table += std::to_string(layout.starts[k]) + (layout.data[k] ? " 0 " : " 1 ") +
                     std::to_string(disc.Session(static_cast<int>(k + 1))) + "\n";
        table += std::to_string(layout.leadout) + "\n";
        std::ofstream(dir_ + "toc.txt") << table;
        const int audio = layout.AudioTracks();
        for (int track = 1; track <= audio; ++track) {
            long start = 0, frames = 0;
            ASSERT_TRUE(akrip::TrackSpan(toc, track, &start, &frames));
            long binFirst = 0;
            ASSERT_TRUE(rig::LbaToBinFrame(disc, start, &binFirst));
            const uint8_t* audioBytes = bin.data() + binFirst * kAudioFrameBytes;
            TrackSummer summer(frames, track == 1, track == audio);
            // Fed in pieces that do not keep to frames, as a rip with a read offset writes.
            for (size_t at = 0, n = static_cast<size_t>(frames) * kAudioFrameBytes; at < n; at += 1000)
                summer.Add(audioBytes + at, std::min<size_t>(1000, n - at));
            TrackSums sums = summer.Track();
            expected += Hex(sums.v1) + " " + Hex(sums.v2) + " " + Hex(sums.crc) + "\n";
            const std::string wav = dir_ + "track" + std::to_string(track) + ".wav";
            uint8_t header[kWavHeaderBytes];
            MakeWavHeader(static_cast<uint32_t>(frames * kAudioFrameBytes), header);
            std::ofstream out(wav, std::ios::binary);
            out.write(reinterpret_cast<const char*>(header), sizeof header);
            out.write(reinterpret_cast<const char*>(audioBytes), static_cast<std::streamsize>(frames * kAudioFrameBytes));
            wavs += " " + Quoted(wav);
        }
        DiscIds ids = ComputeDiscIds(layout);
        expected += Hex(ids.id1) + " " + Hex(ids.id2) + " " + Hex(ids.freedb) + " " + DatabasePath(ids) + "\n";
        std::ofstream(dir_ + "oracle.py") << kWhipperScript;
        CommandResult whipper = RunCommand("/usr/bin/python3 " + Quoted(dir_ + "oracle.py") + " " +
                                           Quoted(dir_ + "toc.txt") + wavs);
        ASSERT_EQ(whipper.exitCode, 0) << whipper.output;
        EXPECT_EQ(whipper.output, expected) << "tracks " << args;
    }
    // A last track shorter than the five frames skipped at the end has no sample that
    // counts (whipper's module wraps around there and sums the whole track).
    std::vector<uint8_t> frame(kAudioFrameBytes, 0x5A);
    Sums last = SumFrame(frame.data(), 0, AccurateRipWindow(1, false, true));
    EXPECT_EQ(last.v1, 0u);
    EXPECT_EQ(last.v2, 0u);
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

// The CUE sheet of a whole-disc rip, as written and as libcdio reads it: the disc's
// names and each track's, one FILE per track. (libcdio gives every track of a sheet of
// several files the start 0, so the lengths are checked on the files themselves, end
// to end; it also wants a BIN file named like the sheet, which stays empty.)
TEST_F(CdTools, CdInfoReadsTheCueSheetOfAWholeDisc) {
    CueSheet sheet;
    sheet.program = "CD Quorrel 1.0.0";
    sheet.haveDiscId = true;
    sheet.freedbId = 0x0a02b103;
    sheet.tracks = {{1, "Intro.flac", "", ""}, {2, "the \"best\" one.flac", "", ""}, {3, "c.flac", "", ""}};
    ReleaseNames release;
    release.artist = "Quartet";
    release.album = "Live \"At\" Home\r\nAgain";
    release.tracks = {{1, "Intro", "", "", ""}, {2, std::string(70, 'x') + "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", "Guest", "", ""},
                      {3, "Coda", "Quartet", "", ""}};
    AddReleaseNames(release, &sheet);
    std::string text = CueSheetText(sheet);
    EXPECT_EQ(text,
              "REM DISCID 0A02B103\r\nREM COMMENT \"CD Quorrel 1.0.0\"\r\nPERFORMER \"Quartet\"\r\n"
              "TITLE \"Live 'At' Home  Again\"\r\n"
              "FILE \"Intro.flac\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"Intro\"\r\n    INDEX 01 00:00:00\r\n"
              "FILE \"the 'best' one.flac\" WAVE\r\n  TRACK 02 AUDIO\r\n    TITLE \"" + std::string(70, 'x') +
                  "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\"\r\n    PERFORMER \"Guest\"\r\n    INDEX 01 00:00:00\r\n"
              "FILE \"c.flac\" WAVE\r\n  TRACK 03 AUDIO\r\n    TITLE \"Coda\"\r\n    INDEX 01 00:00:00\r\n")
        << "titles cut to 80 bytes on a whole character, a track's own artist only where it differs";
    EXPECT_EQ(CuePathFor("D:\\my.rips\\Intro.wav"), "D:\\my.rips\\Intro.cue");
    EXPECT_EQ(CuePathFor("D:\\my.rips\\Intro"), "D:\\my.rips\\Intro.cue");

    const std::string cue = dir_ + "disc.cue";
    std::ofstream(cue, std::ios::binary) << text;
    std::ofstream(dir_ + "disc.bin", std::ios::binary).flush();
    for (const char* name : {"Intro.flac", "the 'best' one.flac", "c.flac"})
        std::ofstream(dir_ + name, std::ios::binary) << std::string(2352 * 10, '\0');
    CommandResult info = RunCommand(cdinfo::Command(Quoted(cue)));
    ASSERT_EQ(info.exitCode, 0) << info.output;
    std::vector<cdinfo::Row> rows = cdinfo::ParseTrackList(info.output);
    ASSERT_EQ(rows.size(), 4u) << info.output;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rows[k].type, "audio") << k;
    for (const char* cdText : {"TITLE: Live 'At' Home  Again", "PERFORMER: Quartet", "TITLE: Intro", "PERFORMER: Guest",
                               "TITLE: Coda"})
        EXPECT_NE(info.output.find(cdText), std::string::npos) << cdText << " in\n" << info.output;
}

}  // namespace

