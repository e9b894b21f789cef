// The rig's emulated drive as a host meets it through its command blocks: the MMC
// answers byte for byte, the sense of each state and fault, the read offset, the read
// cache with its counters, and C2 error pointers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "mmc.h"
#include "mmcdrive.h"
#include "toc.h"

namespace rig {
namespace {

using mmc::Sense;

// Two audio tracks, then a data track in a second session (frames of the BIN: 100, 50, 20).
Disc CdExtra() {
    Disc disc;
    disc.trackStarts = {0, 100, 150 + kSessionGapFrames};
    disc.dataTracks = {false, false, true};
    disc.sessions = {1, 1, 2};
    disc.leadout = 170 + kSessionGapFrames;
    return disc;
}

// A BIN whose every byte tells its frame and place: frame f, byte i holds (f * 7 + i) % 251.
uint8_t BinByte(long frame, size_t i) { return static_cast<uint8_t>((frame * 7 + static_cast<long>(i)) % 251); }

class Drive : public ::testing::Test {
protected:
    Drive() {
        disc_ = CdExtra();
        medium_.disc = &disc_;
        medium_.identity = "first";
        medium_.readBin = [this](long first, long count, uint8_t* out) {
            ++binReads_;
            for (long f = 0; f < count; ++f)
                for (size_t i = 0; i < 2352; ++i) out[f * 2352 + i] = BinByte(first + f, i);
            return true;
        };
        settings_.unitAttention = false;
    }
    CommandResult Run(std::vector<uint8_t> cdb, uint32_t allocation = 1 << 20) {
        cdb.resize(std::max<size_t>(cdb.size(), 12), 0);
        return drive_.Execute(cdb.data(), cdb.size(), allocation, settings_, medium_);
    }
    // READ CD of CD-DA sectors: user data, with `errorField` 1 (294 C2 bytes) or 2 (296).
    CommandResult ReadCd(uint32_t lba, uint32_t frames, int errorField = 0) {
        return Run({mmc::kReadCd, 0x04, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
                    static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba), 0, 0, static_cast<uint8_t>(frames),
                    static_cast<uint8_t>(0x10 | errorField << 1), 0, 0});
    }
    static std::string SenseText(const CommandResult& r) {
        char text[16];
        snprintf(text, sizeof text, "%X/%02X/%02X", r.sense.key, r.sense.asc, r.sense.ascq);
        return r.good ? "GOOD" : text;
    }

    Disc disc_;
    Medium medium_;
    DriveSettings settings_;
    EmulatedDrive drive_;
    int binReads_ = 0;
};

TEST(Mmc, AnswersInquiryConfigurationAndModeSenseAsTheDriveIs) {
    mmc::Identity id = mmc::ParseIdentity(" QUORREL ,, 2.5 ");
    EXPECT_EQ(id.product, "EMULATED CD-ROM") << "an empty part keeps the default";
    std::vector<uint8_t> inquiry = mmc::InquiryAnswer(id);
    ASSERT_EQ(inquiry.size(), 36u);
    EXPECT_EQ(inquiry[0], 0x05);
    EXPECT_EQ(std::string(inquiry.begin() + 8, inquiry.end()), "QUORREL EMULATED CD-ROM 2.5 ");

    mmc::Capabilities caps;
    caps.mediumPresent = true;
    caps.c2 = mmc::C2Support::kBothForms;
    caps.cacheFrames = 1000;
    std::vector<uint8_t> cdRead = mmc::ConfigurationAnswer(caps, 2, 0x001E);
    ASSERT_EQ(cdRead.size(), 8u + 8u);
    EXPECT_EQ(cdRead[7], 0x08) << "CD-ROM profile";
    EXPECT_EQ(std::vector<uint8_t>(cdRead.begin() + 8, cdRead.end()),
              (std::vector<uint8_t>{0x00, 0x1E, 0x09, 4, 0x03, 0, 0, 0}))
        << "version 2, current; C2, CD-Text";
    caps.mediumPresent = false;
    caps.c2 = mmc::C2Support::kNone;
    std::vector<uint8_t> current = mmc::ConfigurationAnswer(caps, 1, 0);
    EXPECT_EQ(current[7], 0x00);
    EXPECT_EQ(current[3], current.size() - 4);
    for (size_t at = 8; at < current.size(); at += 4 + current[at + 3])
        EXPECT_LT(current[at + 1], 0x10) << "a feature of the medium is current without one";

    caps.locked = true;
    caps.c2 = mmc::C2Support::kNot296;   // says it has C2 pointers
    std::vector<uint8_t> page;
    ASSERT_TRUE(mmc::ModeSenseAnswer(caps, true, 0, 0x2A, &page));
    ASSERT_EQ(page.size(), 8u + 22u);
    EXPECT_EQ(page[1], page.size() - 2);
    EXPECT_EQ(page[8], 0x2A);
    EXPECT_EQ(page[8 + 5] & 0x10, 0x10) << "C2 pointers";
    EXPECT_EQ(page[8 + 6] & 0x02, 0x02) << "lock state";
    EXPECT_EQ(page[8 + 12] << 8 | page[8 + 13], 1000 * 2352 / 1024) << "buffer in KB";
    ASSERT_TRUE(mmc::ModeSenseAnswer(caps, false, 1, 0x3F, &page));
    EXPECT_EQ(page[0], page.size() - 1);
    EXPECT_EQ(page[4 + 5], 0) << "nothing is changeable";
    EXPECT_FALSE(mmc::ModeSenseAnswer(caps, true, 0, 0x01, &page));
}

// Format 1 names the last session's first track; format 2 gives each session's first
// and last track and lead-out, from which the library reads the first session's end.
TEST(Mmc, TablesOfContentsDescribeBothSessionsOfACdExtra) {
    const Disc disc = CdExtra();
    std::vector<uint8_t> toc;
    ASSERT_TRUE(mmc::TocAnswer(disc, 0, false, 0xAA, &toc));
    ASSERT_EQ(toc.size(), 12u);
    EXPECT_EQ(toc[6], 0xAA);
    EXPECT_FALSE(mmc::TocAnswer(disc, 0, false, 4, &toc)) << "a track past the last";
    ASSERT_TRUE(mmc::TocAnswer(disc, 1, false, 0, &toc));
    EXPECT_EQ(std::vector<uint8_t>(toc.begin() + 2, toc.end()),
              (std::vector<uint8_t>{1, 2, 0, 0x14, 3, 0, 0, 0, (150 + kSessionGapFrames) >> 8 & 0xFF,
                                    (150 + kSessionGapFrames) & 0xFF}));
    ASSERT_TRUE(mmc::TocAnswer(disc, 2, false, 0, &toc));
    ASSERT_EQ(toc.size(), 4u + 11 * (3 + 2 + 3 + 1));
    EXPECT_EQ(toc[0] << 8 | toc[1], static_cast<int>(toc.size()) - 2);
    EXPECT_EQ(toc[3], 2) << "last session";
    // Session 2's points: A0 names track 3, A2 the disc's lead-out.
    const uint8_t* a0 = &toc[4 + 11 * 5];
    EXPECT_EQ(std::vector<uint8_t>(a0, a0 + 11), (std::vector<uint8_t>{2, 0x14, 0, 0xA0, 0, 0, 0, 0, 3, 0, 0}));
    long leadout = 0;
    ASSERT_TRUE(akrip::FirstSessionLeadout(toc.data(), toc.size(), &leadout));
    EXPECT_EQ(leadout, 150);
    EXPECT_FALSE(akrip::FirstSessionLeadout(toc.data(), 4 + 11 * 2, &leadout)) << "A2 lies beyond what arrived";
    // A drive refusing the full table: the session information gives the same lead-out.
    ASSERT_TRUE(mmc::TocAnswer(disc, 1, false, 0, &toc));
    long lastStart = 0, fromSessions = 0;
    akrip::FullToc full;
    ASSERT_TRUE(akrip::LastSessionStart(toc.data(), toc.size(), &lastStart));
    ASSERT_TRUE(akrip::FullTocFromSessionStart(lastStart, &full));
    ASSERT_TRUE(akrip::FirstSessionLeadout(full.bytes, sizeof full.bytes, &fromSessions));
    EXPECT_EQ(fromSessions, leadout);
    EXPECT_FALSE(akrip::LastSessionStart(toc.data(), 11, &lastStart)) << "the descriptor cut short";
    toc[3] = 1;
    EXPECT_FALSE(akrip::LastSessionStart(toc.data(), toc.size(), &lastStart)) << "one session: no first one to end";
    EXPECT_FALSE(akrip::FullTocFromSessionStart(kSessionGapFrames, &full)) << "no room for a session before";

    uint8_t sense[mmc::kSenseBytes];
    Sense failed = mmc::kUnrecoveredReadError;
    failed.hasLba = true;
    failed.lba = 0x01020304;
    ASSERT_EQ(mmc::SenseData(failed, sense, sizeof sense), sizeof sense);
    EXPECT_EQ(std::vector<uint8_t>(sense, sense + 14),
              (std::vector<uint8_t>{0xF0, 0, 3, 1, 2, 3, 4, 10, 0, 0, 0, 0, 0x11, 0}));
    Sense parsed;
    ASSERT_TRUE(mmc::ParseSenseText(" 4/44/0a ", &parsed));
    EXPECT_TRUE(parsed == (Sense{4, 0x44, 0x0A}));
    for (const char* bad : {"", "3/11", "10/11/00", "3/111/00", "x/11/00"}) EXPECT_FALSE(mmc::ParseSenseText(bad, &parsed)) << bad;
}

TEST_F(Drive, ReportsNoMediumAChangeAndBecomingReadyBeforeItAnswers) {
    medium_.trayOpen = true;
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "2/3A/02");
    EXPECT_EQ(Run({mmc::kInquiry, 0, 0, 0, 36}).data.size(), 36u) << "INQUIRY is answered without a medium";
    EXPECT_EQ(Run({mmc::kInquiry, 0, 0, 0, 5}).data.size(), 5u) << "nor more than its allocation";

    medium_.trayOpen = false;
    settings_.unitAttention = true;
    settings_.notReadyCommands = 2;
    EXPECT_EQ(Run({mmc::kGetConfiguration, 0, 0, 0, 0, 0, 0, 0, 8}).data.size(), 8u) << "no unit attention for it";
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "6/28/00");
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "2/04/01");
    EXPECT_EQ(SenseText(Run({mmc::kReadToc, 0, 0, 0, 0, 0, 0, 0x03, 0x24})), "2/04/01");
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "GOOD");
    // The same value stays as it is; a new one arms the drive anew, as another disc does.
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "GOOD");
    settings_.notReadyCommands = 1;
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "2/04/01");
    medium_.identity = "second";
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "6/28/00");
    EXPECT_EQ(SenseText(Run({mmc::kTestUnitReady})), "2/04/01");
    EXPECT_EQ(SenseText(Run({mmc::kReadToc, 0, 0, 0, 0, 0, 0, 0x03, 0x24})), "GOOD");
    EXPECT_EQ(SenseText(Run({0xA8})), "5/20/00") << "READ(12) is not a command of this drive";

    // PREVENT MEDIUM REMOVAL holds the tray; START STOP UNIT opens and closes it.
    EXPECT_TRUE(Run({mmc::kPreventAllow, 0, 0, 0, 1}).good);
    EXPECT_EQ(SenseText(Run({mmc::kStartStopUnit, 0, 0, 0, 2})), "5/53/02");
    EXPECT_TRUE(Run({mmc::kPreventAllow, 0, 0, 0, 0}).good);
    EXPECT_EQ(Run({mmc::kStartStopUnit, 0, 0, 0, 2}).tray, CommandResult::Tray::kOpen);
    EXPECT_EQ(Run({mmc::kStartStopUnit, 0, 0, 0, 3}).tray, CommandResult::Tray::kClose);
}

// LBA n delivers the disc's samples from n * 588 - offset on: an offset of +6 brings in
// the previous frame's last 6 samples (silence before the disc), -6 the next frame's
// first (silence past the audio session's end, where no frame of the disc lies).
TEST_F(Drive, ReadOffsetShiftsTheAudioAndSilenceLiesOffTheDisc) {
    settings_.readOffset = 6;
    CommandResult first = ReadCd(0, 2);
    ASSERT_TRUE(first.good);
    ASSERT_EQ(first.data.size(), 2u * 2352);
    for (size_t i = 0; i < 24; ++i) ASSERT_EQ(first.data[i], 0) << i;
    for (size_t i = 24; i < first.data.size(); ++i) ASSERT_EQ(first.data[i], BinByte((i - 24) / 2352, (i - 24) % 2352)) << i;
    settings_.readOffset = -6;
    CommandResult last = ReadCd(149, 1);   // the last audio frame; a session gap follows it
    ASSERT_TRUE(last.good);
    for (size_t i = 0; i < 2352 - 24; ++i) ASSERT_EQ(last.data[i], BinByte(149, i + 24)) << i;
    for (size_t i = 2352 - 24; i < 2352; ++i) ASSERT_EQ(last.data[i], 0) << i;

    EXPECT_EQ(SenseText(ReadCd(149, 2)), "5/21/00") << "into the session gap";
    EXPECT_EQ(SenseText(ReadCd(150 + kSessionGapFrames, 1)), "5/64/00") << "CD-DA from the data track";
    EXPECT_EQ(SenseText(ReadCd(disc_.leadout, 1)), "5/21/00");
    EXPECT_EQ(SenseText(Run({mmc::kReadCd, 0x04, 0, 0, 0, 0, 0, 0, 1, 0x10, 0x02})), "5/24/00") << "subchannel Q";
    EXPECT_EQ(SenseText(ReadCd(0, 1)), "GOOD");
    EXPECT_EQ(ReadCd(0, 0).data.size(), 0u);
    EXPECT_EQ(SenseText(drive_.Execute(std::vector<uint8_t>{mmc::kReadCd, 0x04, 0, 0, 0, 0, 0, 0, 2, 0x10, 0, 0}.data(),
                                       12, 2352, settings_, medium_)),
              "5/24/00")
        << "two frames into a buffer of one";
}

// Bad sectors fail every read at their LBA, medium errors their first two; flaky
// sectors come back damaged and their C2 bits mark exactly the damaged bytes; a cached
// read gives what the medium gave last, without reading it, and the counters say so.
TEST_F(Drive, FaultsCacheAndC2PointersAreTheMediumsAsReadLast) {
    settings_.badSectors = "12";
    settings_.sectorSense = Sense{4, 0x44, 0};
    CommandResult bad = ReadCd(10, 5);
    EXPECT_EQ(SenseText(bad), "4/44/00");
    EXPECT_TRUE(bad.sense.hasLba && bad.sense.lba == 12);
    settings_.badSectors = "";
    settings_.sectorSense = mmc::kUnrecoveredReadError;
    settings_.mediumErrors = "20-21";
    EXPECT_EQ(SenseText(ReadCd(18, 4)), "3/11/00");
    EXPECT_EQ(ReadCd(21, 1).sense.lba, 21u) << "each sector counts its own reads";
    EXPECT_EQ(ReadCd(18, 4).sense.lba, 20u) << "sector 21 has failed twice, 20 fails its second";
    EXPECT_TRUE(ReadCd(18, 4).good);

    settings_.c2 = mmc::C2Support::kBothForms;
    settings_.flakySectors = "40";
    settings_.cacheFrames = 30;
    settings_.countedSectors = "40, 90-99";
    CommandResult damaged = ReadCd(30, 26, 2);
    ASSERT_TRUE(damaged.good);
    ASSERT_EQ(damaged.data.size(), 26u * (2352 + 296));
    const uint8_t* frame40 = &damaged.data[10 * (2352 + 296)];
    int wrong = 0;
    for (size_t i = 0; i < 2352; ++i) {
        bool differs = frame40[i] != BinByte(40, i);
        wrong += differs;
        ASSERT_EQ((frame40[2352 + i / 8] >> (7 - i % 8) & 1) != 0, differs) << "C2 bit of byte " << i;
    }
    EXPECT_GT(wrong, 0) << "the first read of a flaky sector is damaged";
    EXPECT_NE(frame40[2352 + 294], 0) << "the block error byte";
    EXPECT_EQ(damaged.data[9 * (2352 + 296) + 2352 + 294], 0) << "a sound frame has no block error";
    const int binReads = binReads_;
    CommandResult again = ReadCd(35, 10, 1);
    ASSERT_TRUE(again.good);
    EXPECT_EQ(binReads_, binReads) << "a cached read reaches the medium";
    EXPECT_TRUE(std::equal(frame40, frame40 + 2352 + 294, &again.data[5 * (2352 + 294)]));
    EXPECT_EQ(drive_.MediumReadsText(), "1,0");
    EXPECT_EQ(drive_.CacheHitsText(), "1,0");
    EXPECT_TRUE(drive_.CountsChanged());
    EXPECT_FALSE(drive_.CountsChanged());
    ASSERT_TRUE(ReadCd(60, 26).good);   // of 30..55 only 52..55 stay beside 60..85
    ASSERT_TRUE(ReadCd(40, 1).good);
    EXPECT_EQ(drive_.MediumReadsText(), "2,0") << "read from the medium once it left the cache";
    medium_.identity = "another disc";
    ASSERT_TRUE(ReadCd(62, 1).good);
    EXPECT_EQ(binReads_, binReads + 3) << "another disc leaves nothing in the cache";

    // C2 as the drive offers it: refused forms are an invalid field, not a wrong answer.
    settings_.c2 = mmc::C2Support::kNot296;
    EXPECT_TRUE(ReadCd(0, 1, 1).good);
    EXPECT_EQ(SenseText(ReadCd(0, 1, 2)), "5/24/00");
    settings_.c2 = mmc::C2Support::kNeither;
    EXPECT_EQ(SenseText(ReadCd(0, 1, 1)), "5/24/00");
    settings_.c2 = mmc::C2Support::kNone;
    EXPECT_EQ(SenseText(ReadCd(0, 1, 1)), "5/24/00");
}

}  // namespace
}  // namespace rig
