// Verified rips: every rip leaves a log beside its file that says what was read and
// whether it is accurate. The AccurateRip database is a server on this machine that
// serves entries the test builds; flaky sectors of the virtual drive read right only
// now and then, and a second read with re-reads puts the file right.
#include "http_server.h"

#include <zlib.h>

#include "quorrel_session.h"

namespace quorrel {
namespace {

// whipper's reckoning of a disc image of tracks of the given frames, back to back from
// frame 0: the AccurateRip entry of a pressing that `confidence` rips agree on (track
// count, ids, then per track the confidence, the v2 checksum and a frame-450 checksum
// of 0), the entry's path below the base address, and each track's "v1 ..., v2 ...".
const char kWhipperEntry[] = R"(
import struct, sys, wave, accuraterip
from whipper.image.table import Table, Track
bin_path, confidence, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
lengths = [int(f) for f in sys.argv[4:]]
table, start = Table(), 0
for n, frames in enumerate(lengths, 1):
    track = Track(n, audio=True, session=1)
    track.index(1, absolute=start)
    table.tracks.append(track)
    start += frames
table.leadout = start
id1, id2 = table.accuraterip_ids()
entry = struct.pack('<BIII', len(lengths), int(id1, 16), int(id2, 16), int(table.getCDDBDiscId(), 16))
pcm, start, sums = open(bin_path, 'rb').read(), 0, ''
for n, frames in enumerate(lengths, 1):
    wav = wave.open('%s-%d.wav' % (out, n), 'wb')
    wav.setnchannels(2); wav.setsampwidth(2); wav.setframerate(44100)
    wav.writeframes(pcm[start * 2352:(start + frames) * 2352])
    wav.close()
    v1, v2 = accuraterip.compute('%s-%d.wav' % (out, n), n, len(lengths))
    entry += struct.pack('<BII', confidence, v2, 0)
    sums += 'v1 %08X, v2 %08X\n' % (v1, v2)
    start += frames
open(out + '.entry', 'wb').write(entry)
open(out + '.path', 'w').write(table.accuraterip_path())
open(out + '.sums', 'w').write(sums)
)";

class VerifiedRip : public QuorrelTest {
protected:
    void StartRipping(const std::vector<long>& frames) {
        InsertDisc(frames);
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead());
        app_.PostCommand(kRip);
        ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRip); }, 2000));
        ASSERT_TRUE(app_.ClickButton(kNextTrack));
        ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("2"); }, 2000));
    }
    // Rips track 2 as `song` and returns its log ("" when the rip did not finish).
    std::string Rip(const std::string& song) {
        std::string log = ScratchPath(song + ".log");
        PressPlayFor(song);
        bool done = harness::WaitUntil([&] { return app_.IsEnabled(kEject) && harness::FileExists(log); }, 15000);
        EXPECT_TRUE(done) << song << " was not ripped and logged";
        return harness::ReadFileOrEmpty(log);
    }
    // The log's line that starts with `label` (after its indent), without the label.
    static std::string Line(const std::string& log, const std::string& label) {
        size_t at = log.find("  " + label);
        if (at == std::string::npos) return "";
        size_t end = log.find("\r\n", at);
        std::string line = log.substr(at + 2, end - at - 2);
        size_t value = line.find_first_not_of(' ', label.size());
        return value == std::string::npos ? "" : line.substr(value);
    }
    struct WhipperEntry {
        std::string path, entry, sums;
    };
    WhipperEntry EntryFromWhipper(int confidence) {
        const std::string script = ScratchPath("entry.py"), out = ScratchPath("whipper");
        EXPECT_TRUE(harness::WriteFile(script, kWhipperEntry));
        std::string command = "/usr/bin/python3 '" + harness::UnixPath(script) + "' '" +
                              harness::UnixPath(ScratchPath("disc.bin")) + "' " + std::to_string(confidence) + " '" +
                              harness::UnixPath(out) + "'";
        for (long frames : frames_) command += " " + std::to_string(frames);
        int code = -1;
        EXPECT_TRUE(harness::RunUnixShell(command, dir_, &code, 60000) && code == 0)
            << "whipper's modules did not answer (./dev installs whipper)";
        return {harness::ReadFileOrEmpty(out + ".path"), harness::ReadFileOrEmpty(out + ".entry"),
                harness::ReadFileOrEmpty(out + ".sums")};
    }
    static std::string Hex(uint32_t value) {
        char text[12];
        snprintf(text, sizeof text, "%08X", value);
        return text;
    }
};

TEST_F(VerifiedRip, TheDatabaseSaysWhetherTheRipIsAccurate) {
    StartRipping({100, 131, 60});
    // What a right rip of track 2 sums to, and the disc's entry in three databases: one
    // with this pressing, one whose rips of track 2 disagree, one without the disc.
    const std::string pcm = TrackPcm(2);
    WhipperEntry whipper = EntryFromWhipper(5);
    const std::string path = whipper.path, sums = whipper.sums.substr(whipper.sums.find('\n') + 1, 24);
    std::string entry = whipper.entry;
    ASSERT_EQ(entry.size(), 13u + 9 * 3) << "whipper gave no entry";
    ASSERT_EQ(sums.size(), 24u) << whipper.sums;
    harness::HttpServer server;
    ASSERT_TRUE(server.Start());
    server.Serve("/match/" + path, entry);
    entry[13 + 9 + 1] ^= 1;   // track 2's checksum
    server.Serve("/other/" + path, entry);

    struct Case {
        std::string song, base, result, verdict;
    } cases[] = {
        {"match", server.Base() + "match/", "accurate, confidence 5", "accurate: every track matches"},
        {"other", server.Base() + "other", "mismatch", "secure: every track read alike twice; AccurateRip has"},
        {"missing", server.Base() + "missing/", "not in database", "secure: every track read alike twice; not"},
        {"down", kNoDatabase, "database not reached", "secure: every track read alike twice; not"},
    };
    const std::string crc = Hex(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(pcm.data()),
                                                          static_cast<uInt>(pcm.size()))));
    for (const Case& c : cases) {
        SetProgramValue("AccurateRipUrl", c.base);
        std::string log = Rip(c.song);
        EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath(c.song + ".wav")).substr(44), pcm) << c.song;
        EXPECT_NE(log.find("Track 2: " + c.song + ".wav\r\n"), std::string::npos) << log;
        EXPECT_EQ(Line(log, "Range"), "frames 100-230 (131 frames, 00:01.56)") << c.song;
        EXPECT_EQ(Line(log, "Copy CRC"), crc) << c.song;
        EXPECT_EQ(Line(log, "Test CRC"), c.song == "match" ? "not read: AccurateRip confirms the copy" : crc);
        EXPECT_NE(log.find(sums + ": " + c.result + "\r\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("\r\nVerdict: " + c.verdict), std::string::npos) << log;
        std::string address = c.base + (c.base.back() == '/' ? "" : "/") + path;   // the disc's ids
        EXPECT_NE(log.find("  AccurateRip  " + address + ": "), std::string::npos) << log;
    }
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    // Once per disc: the same database is not asked again in this run.
    SetProgramValue("AccurateRipUrl", server.Base() + "match/");
    EXPECT_NE(Rip("again").find(": accurate, confidence 5\r\n"), std::string::npos);
    EXPECT_EQ(server.Requests("/match/" + path), 1);
    EXPECT_EQ(server.Requests("/missing/" + path), 1);
    EXPECT_EQ(ExitProgram(), 0u);
}

// Without a database: a stretch of flaky sectors across two blocks is read again until
// two reads agree, and the file is the disc's; a read offset shifts the rip by its
// samples.
TEST_F(VerifiedRip, FlakySectorsAreReadAgainAndAReadOffsetShiftsTheRip) {
    StartRipping({100, 200, 60});
    rigstate::SetFlakySectors("150-155");
    std::string log = Rip("flaky");
    std::string bin = harness::ReadFileOrEmpty(ScratchPath("disc.bin"));
    ASSERT_EQ(bin.size(), 360u * 2352);
    EXPECT_TRUE(harness::ReadFileOrEmpty(ScratchPath("flaky.wav")).substr(44) == bin.substr(100 * 2352, 200 * 2352))
        << "the file is not the disc's track 2";
    EXPECT_EQ(Line(log, "Re-read"), "frames 150-155, all settled") << log;
    EXPECT_NE(Line(log, "Test CRC"), Line(log, "Copy CRC")) << "the second read met the flaky sectors too";
    EXPECT_NE(log.find("\r\nVerdict: secure: "), std::string::npos) << log;
    // The virtual drive has no offset, cache or C2 pointers of its own.
    EXPECT_EQ(Line(log, "Read offset"), "0 samples (a virtual drive has none)");
    EXPECT_EQ(Line(log, "C2 pointers") + "; " + Line(log, "Read cache"), "none; none");

    rigstate::SetFlakySectors("");
    SetProgramValue("ReadOffset", "30");
    log = Rip("shifted");
    EXPECT_TRUE(harness::ReadFileOrEmpty(ScratchPath("shifted.wav")).substr(44) ==
                bin.substr(100 * 2352 + 30 * 4, 200 * 2352));
    EXPECT_EQ(Line(log, "Read offset"), "+30 samples, set by the user");
    EXPECT_EQ(Line(log, "Re-read"), "none");
    EXPECT_EQ(ExitProgram(), 0u);
}

}  // namespace
}  // namespace quorrel
