// Verified rips, their plain side: the database entry and the match of a track, the
// read offset's plan, the second read with its re-reads against a fake drive whose
// frames read right only now and then, and the log's verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "accuraterip.h"
#include "checksums.h"
#include "riplog.h"
#include "secureread.h"

namespace {

void Put32(std::string* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<char>(value >> (8 * i)));
}

std::string Record(const DiscIds& ids, const std::vector<std::pair<int, uint32_t>>& tracks) {
    std::string bytes(1, static_cast<char>(tracks.size()));
    Put32(&bytes, ids.id1);
    Put32(&bytes, ids.id2);
    Put32(&bytes, ids.freedb);
    for (const auto& t : tracks) {
        bytes.push_back(static_cast<char>(t.first));
        Put32(&bytes, t.second);
        Put32(&bytes, 0xF450F450);
    }
    return bytes;
}

TEST(AccurateRipEntry, RecordsParseAndTracksMatchTheirPressing) {
    DiscIds ids{2, 0x1234, 0x5678, 0x0A000102};
    DiscIds other{2, 0x1234, 0x5679, 0x0A000102};
    // Two pressings of this disc, and a record of another disc that happens to share
    // track 2's checksum.
    std::string entry = Record(ids, {{7, 0xAAAA0001}, {3, 0xBBBB0002}}) + Record(ids, {{12, 0xCCCC0001}, {2, 0x0}}) +
                        Record(other, {{99, 0x1}, {99, 0xDDDD0002}});
    ArLookup lookup;
    lookup.status = ArLookupStatus::kFound;
    ASSERT_TRUE(ParseDatabaseEntry(entry, &lookup.pressings));
    ASSERT_EQ(lookup.pressings.size(), 3u);
    EXPECT_EQ(lookup.pressings[1].tracks[0].confidence, 12);
    EXPECT_EQ(lookup.pressings[1].tracks[0].frame450Crc, 0xF450F450u);

    TrackSums v1Match{0, 0xAAAA0001, 0x9}, v2Match{0, 0x9, 0xCCCC0001};
    ArMatch m = MatchTrack(lookup, ids, 1, v1Match);
    EXPECT_EQ(ResultText(m), "accurate, confidence 7");
    EXPECT_EQ(m.version, 1);
    m = MatchTrack(lookup, ids, 1, v2Match);
    EXPECT_EQ(ResultText(m), "accurate, confidence 12");
    EXPECT_EQ(m.version, 2);
    EXPECT_EQ(ResultText(MatchTrack(lookup, ids, 2, TrackSums{0, 0xDDDD0002, 0x1})), "mismatch");
    EXPECT_EQ(ResultText(MatchTrack(lookup, DiscIds{2, 0x1, 0x2, 0x3}, 1, v1Match)), "not in database");
    lookup.status = ArLookupStatus::kNotReached;
    EXPECT_EQ(ResultText(MatchTrack(lookup, ids, 1, v1Match)), "database not reached");

    std::vector<ArPressing> pressings;
    EXPECT_FALSE(ParseDatabaseEntry("", &pressings));
    EXPECT_FALSE(ParseDatabaseEntry(entry.substr(0, entry.size() - 1), &pressings)) << "ends inside a record";
    EXPECT_FALSE(ParseDatabaseEntry(std::string(13, '\0'), &pressings)) << "a record of no track";
    EXPECT_EQ(DatabasePath(DiscIds{3, 0x0003B5C1, 0x001AB2E0, 0x1E02CE03}),
              "1/c/5/dBAR-003-0003b5c1-001ab2e0-1e02ce03.bin");
}

// A disc of 40 frames whose samples differ from each other, ripped through a plan in
// reads of up to 26 frames: the file must hold the disc's samples from start * 588 +
// offset on, silence off the disc.
TEST(ReadOffset, ThePlanTakesTheDiscsSamplesShiftedWithSilenceOffTheDisc) {
    const long discFrames = 40;
    auto sampleAt = [&](int64_t n) -> uint32_t {
        return n >= 0 && n < discFrames * 588 ? static_cast<uint32_t>(n * 2654435761u) : 0;
    };
    std::vector<uint8_t> area(26 * 2352);
    FrameCopyIo io;
    io.read = [&](long first, long frames, Delivery* delivery) {
        EXPECT_TRUE(first >= 0 && first + frames <= discFrames) << "a read off the disc";
        for (long i = 0; i < frames * 588; ++i)
            for (int b = 0; b < 4; ++b) area[4 * i + b] = static_cast<uint8_t>(sampleAt(first * 588 + i) >> (8 * b));
        *delivery = Delivery{area.data(), static_cast<uint32_t>(area.size()), 0, static_cast<uint32_t>(frames * 2352)};
        return true;
    };
    std::vector<uint8_t> file;
    io.write = [&](const uint8_t* bytes, uint32_t count) {
        file.insert(file.end(), bytes, bytes + count);
        return true;
    };
    struct Case {
        long start, frames, offset;
    } cases[] = {{10, 5, 0}, {10, 30, 30}, {10, 5, -30}, {10, 5, 588}, {0, 3, -700}, {35, 5, 1000}, {0, 2, 100000}};
    for (const Case& c : cases) {
        file.clear();
        CopyResult copy = CopyPlanned(PlanRead(c.start, c.frames, c.offset, discFrames), io);
        ASSERT_EQ(copy.outcome, CopyOutcome::kComplete);
        ASSERT_EQ(copy.bytes, static_cast<uint32_t>(c.frames) * 2352) << c.start << " " << c.offset;
        ASSERT_EQ(file.size(), copy.bytes);
        for (size_t i = 0; i < file.size() / 4; ++i) {
            uint32_t got = file[4 * i] | file[4 * i + 1] << 8 | file[4 * i + 2] << 16 |
                           static_cast<uint32_t>(file[4 * i + 3]) << 24;
            ASSERT_EQ(got, sampleAt(static_cast<int64_t>(c.start) * 588 + c.offset + static_cast<int64_t>(i)))
                << "sample " << i << " of start " << c.start << " offset " << c.offset;
        }
    }
    ReadPlan exact = PlanRead(100, 131, 0, 1000);
    EXPECT_EQ(exact.first, 100);
    EXPECT_EQ(exact.frames, 131);
    EXPECT_EQ(exact.zeroFramesBefore + exact.zeroFramesAfter + exact.skipBytes, 0);
}

// A track on a fake drive: frame j's true bytes are a pattern of j. Flaky frames read
// right on every third read of them and otherwise damaged anew each time; a broken
// frame never reads the same twice.
struct FakeDrive {
    std::map<long, int> flaky;   // frame -> reads so far
    long broken = -1;
    int brokenReads = 0;
    long failFrom = -1;          // reads that reach this frame fail
    std::vector<std::vector<uint8_t>> file;
    std::vector<long> rewritten;
    std::vector<std::pair<long, long>> reads;

    static std::vector<uint8_t> Truth(long j) {
        std::vector<uint8_t> bytes(2352);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(j * 13 + i * 7);
        return bytes;
    }
    std::vector<uint8_t> Read(long j) {
        std::vector<uint8_t> bytes = Truth(j);
        int damage = 0;
        if (flaky.count(j) && ++flaky[j] % 3 != 0) damage = flaky[j];
        if (j == broken) damage = 100 + ++brokenReads;
        if (damage) bytes[100] ^= static_cast<uint8_t>(damage), bytes[2000] ^= 0x40;
        return bytes;
    }
    VerifyIo Io() {
        VerifyIo io;
        io.read = [this](long first, long count, const std::function<void(const uint8_t*)>& take, long* failed) {
            reads.push_back({first, count});
            if (failFrom >= first && failFrom < first + count) {
                *failed = first;
                return false;
            }
            for (long j = first; j < first + count; ++j) take(Read(j).data());
            return true;
        };
        io.readBack = [this](long frame, uint8_t* bytes) {
            std::copy(file[static_cast<size_t>(frame)].begin(), file[static_cast<size_t>(frame)].end(), bytes);
            return true;
        };
        io.rewrite = [this](long frame, const uint8_t* bytes) {
            rewritten.push_back(frame);
            file[static_cast<size_t>(frame)].assign(bytes, bytes + 2352);
            return true;
        };
        return io;
    }
    // The copy pass: every frame read once into the file and summed.
    void Copy(TrackSummer* summer, long frames) {
        for (long j = 0; j < frames; ++j) {
            file.push_back(Read(j));
            summer->Add(file.back().data(), file.back().size());
        }
    }
};

TEST(SecureRead, DisagreeingFramesAreReadUntilTwoReadsAgreeAndPutRight) {
    FakeDrive drive;
    for (long j = 30; j <= 33; ++j) drive.flaky[j] = 0;   // four frames of one block
    drive.flaky[60] = 0;
    drive.broken = 61;
    TrackSummer copy(80, true, false);
    drive.Copy(&copy, 80);
    VerifyResult result = VerifyTrack(&copy, drive.Io());
    ASSERT_EQ(result.outcome, VerifyOutcome::kDone);
    EXPECT_EQ(FrameRanges(result.reread), "30-33, 60-61");
    EXPECT_EQ(FrameRanges(result.unsettled), "61");
    // Read 3 and read 6 of a flaky frame agree: four re-reads of its block, only of the
    // frames that disagreed; the broken frame's block is read 16 times in all.
    EXPECT_EQ(drive.flaky[30], 6);
    EXPECT_EQ(drive.brokenReads, kMaxBlockReads);
    EXPECT_EQ(drive.reads[1], std::make_pair(30L, 4L));
    EXPECT_EQ(FrameRanges(drive.rewritten), "30-33, 60");
    for (long j = 0; j < 80; ++j) {
        if (j == 61) continue;
        EXPECT_EQ(drive.file[static_cast<size_t>(j)], FakeDrive::Truth(j)) << "frame " << j;
    }

    // The sums now describe the file as put right; the test pass's CRC what it read.
    TrackSummer truth(80, true, false);
    for (long j = 0; j < 80; ++j) truth.Add(drive.file[static_cast<size_t>(j)].data(), 2352);
    TrackSums fixed = copy.Track(), expected = truth.Track();
    EXPECT_EQ(fixed.crc, expected.crc);
    EXPECT_EQ(fixed.v1, expected.v1);
    EXPECT_EQ(fixed.v2, expected.v2);
    EXPECT_NE(result.testCrc, fixed.crc);

    // Two clean reads agree at once; a test pass that cannot be read leaves the copy.
    FakeDrive clean;
    TrackSummer cleanCopy(30, true, false);
    clean.Copy(&cleanCopy, 30);
    result = VerifyTrack(&cleanCopy, clean.Io());
    EXPECT_TRUE(result.reread.empty());
    EXPECT_EQ(result.testCrc, cleanCopy.Track().crc);
    EXPECT_EQ(clean.reads.size(), 1u);
    clean.failFrom = 12;
    result = VerifyTrack(&cleanCopy, clean.Io());
    EXPECT_EQ(result.outcome, VerifyOutcome::kReadFailed);
    // A read that delivers more frames than the track is no read of the track.
    clean.failFrom = -1;
    VerifyIo io = clean.Io();
    auto exact = io.read;
    io.read = [&](long first, long count, const std::function<void(const uint8_t*)>& take, long* failed) {
        return exact(first, count + 27, take, failed);
    };
    result = VerifyTrack(&cleanCopy, io);
    EXPECT_EQ(result.outcome, VerifyOutcome::kReadFailed);
    EXPECT_EQ(result.failedFrame, 30);
}

// The verdict names the worst of the tracks; the end-to-end tests see the common ones.
// Spans read past a cache of 1,000 frames lie apart from the frames to be re-read and
// from each other, so that reading one after the other never answers from the cache.
TEST(SecureRead, ReadsPastTheCacheLieElsewhereAndTakeTurns) {
    auto overlaps = [](FrameSpan a, long first, long frames) {
        return a.first < first + frames && first < a.first + a.frames;
    };
    for (long target : {0L, 3000L, 5990L}) {
        FrameSpan a = PlanCachePass(target, 26, 1000, 6000, 0), b = PlanCachePass(target, 26, 1000, 6000, 1);
        EXPECT_EQ(a.frames, 1026) << target;
        EXPECT_EQ(b.frames, 1026) << target;
        EXPECT_FALSE(overlaps(a, target, 26) || overlaps(b, target, 26) || overlaps(a, b.first, b.frames)) << target;
        EXPECT_GE(a.first, 0);
        EXPECT_LE(b.first + b.frames, 6000);
        EXPECT_EQ(PlanCachePass(target, 26, 1000, 6000, 2).first, a.first) << target;
    }
    // A disc with room for one span alone gives it each time; one with less, what it has.
    EXPECT_EQ(PlanCachePass(1200, 26, 1000, 1300, 1).first, 0);
    EXPECT_EQ(PlanCachePass(1200, 26, 1000, 1300, 1).frames, 1026);
    EXPECT_EQ(PlanCachePass(100, 26, 1000, 300, 0).frames, 174);
    EXPECT_EQ(PlanCachePass(100, 26, 0, 6000, 0).frames, 0);
    // The drive list: found by the drive's name whatever its case, only in whole records.
    std::string list(2 * kDriveRecordBytes, '\0');
    list[0] = 6;
    list.replace(2, 21, "RIG - EMULATED CD-ROM");
    list[kDriveRecordBytes] = static_cast<char>(-12);
    list[kDriveRecordBytes + 1] = static_cast<char>(0xFF);
    list.replace(kDriveRecordBytes + 2, 13, "OTHER - DRIVE");
    long offset = 0;
    EXPECT_EQ(FindDriveOffset(list, DriveListName("Rig     ", "Emulated CD-ROM "), &offset), DriveListAnswer::kListed);
    EXPECT_EQ(offset, 6);
    EXPECT_EQ(FindDriveOffset(list, "OTHER - DRIVE", &offset), DriveListAnswer::kListed);
    EXPECT_EQ(offset, -12);
    EXPECT_EQ(FindDriveOffset(list, "RIG - EMULATED", &offset), DriveListAnswer::kNotListed);
    EXPECT_EQ(FindDriveOffset(list + "x", "OTHER - DRIVE", &offset), DriveListAnswer::kMalformed);
}

TEST(RipLogText, TheVerdictNamesTheWorstTrackAndTheLogLiesBesideTheFile) {
    RipLog log;
    TrackLog settled;
    settled.track = 2;
    settled.tested = true;
    settled.reread = {130, 131, 140};
    log.tracks = {TrackLog(), settled};
    log.tracks[0].track = 1;
    log.tracks[0].match.result = ArResult::kAccurate;
    EXPECT_NE(RipLogText(log).find("  Re-read      frames 130-131, 140, all settled\r\n"), std::string::npos);
    EXPECT_EQ(Verdict(log), "Verdict: secure: every track read alike twice; not confirmed by AccurateRip.");
    log.tracks[1].unsettled = {140};
    EXPECT_EQ(Verdict(log), "Verdict: errors: frames of track 2 never read alike twice.");
    log.tracks[0].state = TrackLog::State::kReadFailed;
    EXPECT_EQ(Verdict(log), "Verdict: not ripped: track 1 could not be read.");

    EXPECT_EQ(LogPathFor("c:\\rips.cd\\one.wav"), "c:\\rips.cd\\one.log");
    EXPECT_EQ(LogPathFor("c:\\rips.cd\\one"), "c:\\rips.cd\\one.log");
    EXPECT_EQ(FileNameOf("c:\\rips.cd\\one.wav"), "one.wav");
}

}  // namespace
