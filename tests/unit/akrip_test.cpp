// The extraction library's plain decisions: the table of contents it builds from a
// disc (and the rip reads back), its fault-injection ranges, and the checks that keep
// a read inside the disc and inside the caller's buffer; and the CD-Text packs it
// reads and the rig's drives answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "cdtext.h"
#include "cdtext_names.h"
#include "requests.h"
#include "sense.h"
#include "toc.h"

namespace akrip {
namespace {

std::vector<uint8_t> Address(const TocDescriptor& d) { return {d.address, d.address + 4}; }

TEST(AkripToc, LbaTableFollowsMmcFormatZero) {
    Toc toc;
    ASSERT_TRUE(BuildToc({0, 300, 70000}, 70500, false, &toc));
    EXPECT_EQ(toc.length[0], 0);
    EXPECT_EQ(toc.length[1], 2 + 8 * 4);   // three tracks and the lead-out after the length field
    EXPECT_EQ(toc.firstTrack, 1);
    EXPECT_EQ(toc.lastTrack, 3);
    const int tracks[] = {1, 2, 3, kLeadoutTrack};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(toc.descriptors[k].track, tracks[k]) << k;
        EXPECT_EQ(toc.descriptors[k].adrControl, 0x10) << k;
    }
    EXPECT_EQ(Address(toc.descriptors[1]), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x2C}));   // most significant first
    EXPECT_EQ(Address(toc.descriptors[2]), (std::vector<uint8_t>{0x00, 0x01, 0x11, 0x70}));
    EXPECT_EQ(DescriptorAddress(toc.descriptors[3]), 70500u);
    // Nothing beyond the lead-out descriptor.
    const uint8_t* rest = reinterpret_cast<const uint8_t*>(&toc.descriptors[4]);
    EXPECT_EQ(std::count(rest, rest + 8 * 96, 0), 8 * 96);
}

TEST(AkripToc, MsfTableCountsTheTwoSecondPregap) {
    Toc toc;
    ASSERT_TRUE(BuildToc({0, 70000}, 70500, true, &toc));
    EXPECT_EQ(Address(toc.descriptors[0]), (std::vector<uint8_t>{0, 0, 2, 0}));
    EXPECT_EQ(Address(toc.descriptors[1]), (std::vector<uint8_t>{0, 15, 35, 25}));   // 70,150 frames
    EXPECT_EQ(Address(toc.descriptors[2]), (std::vector<uint8_t>{0, 15, 42, 0}));    // 70,650 frames
}

TEST(AkripToc, RefusesDiscsItCannotDescribe) {
    Toc toc;
    EXPECT_FALSE(BuildToc({}, 100, false, &toc));
    EXPECT_FALSE(BuildToc({0, 50, 50}, 100, false, &toc));   // an empty track
    EXPECT_FALSE(BuildToc({0, 100}, 100, false, &toc));      // a track at the lead-out
    EXPECT_FALSE(BuildToc(std::vector<long>(100, 0), 1000, false, &toc));
    std::vector<long> most;
    for (long k = 0; k < 99; ++k) most.push_back(k * 10);
    ASSERT_TRUE(BuildToc(most, 990, false, &toc));
    EXPECT_EQ(toc.descriptors[99].track, kLeadoutTrack);
    EXPECT_EQ(DescriptorAddress(toc.descriptors[99]), 990u);
}

TEST(AkripToc, TrackSpanReadsEachTrackUpToTheNextOrTheLeadout) {
    Toc toc;
    ASSERT_TRUE(BuildToc({0, 300, 70000}, 70500, false, &toc));
    long start = -1, frames = -1;
    ASSERT_TRUE(TrackSpan(toc, 2, &start, &frames));
    EXPECT_EQ(start, 300);
    EXPECT_EQ(frames, 69700);
    ASSERT_TRUE(TrackSpan(toc, 3, &start, &frames));
    EXPECT_EQ(start, 70000);
    EXPECT_EQ(frames, 500) << "the last track runs to the lead-out";
    for (int missing : {0, -1, 4, 99, 100, 255}) EXPECT_FALSE(TrackSpan(toc, missing, &start, &frames)) << missing;

    // CD-Extra: the last audio track ends a session gap before the data track.
    ASSERT_TRUE(BuildToc({0, 300, 12000}, 12500, false, &toc, {false, false, true}));
    EXPECT_EQ(toc.descriptors[1].adrControl, 0x10);
    EXPECT_EQ(toc.descriptors[2].adrControl, 0x14);
    EXPECT_FALSE(IsDataTrack(toc, 2));
    EXPECT_TRUE(IsDataTrack(toc, 3));
    EXPECT_FALSE(IsDataTrack(toc, 4));
    ASSERT_TRUE(TrackSpan(toc, 2, &start, &frames));
    EXPECT_EQ(frames, 12000 - kSessionGapFrames - 300);
    ASSERT_TRUE(TrackSpan(toc, 3, &start, &frames));
    EXPECT_EQ(frames, 500);
    // The first session's lead-out from the full table of contents, where it is one.
    ASSERT_TRUE(TrackSpan(toc, 2, &start, &frames, 700));
    EXPECT_EQ(frames, 400);
    for (long leadout : {300L, 12000L, 13000L}) {
        ASSERT_TRUE(TrackSpan(toc, 2, &start, &frames, leadout));
        EXPECT_EQ(frames, 12000 - kSessionGapFrames - 300) << "no lead-out of track 2's session: " << leadout;
    }
    ASSERT_TRUE(BuildToc({0, 300, 11600}, 12500, false, &toc, {false, false, true}));
    EXPECT_FALSE(TrackSpan(toc, 2, &start, &frames)) << "a gap longer than the track";
}

// A drive's sense data and what the library does about it: wait for a drive becoming
// ready (a few seconds), read a table of contents again after a unit attention (a
// read ends there), give up on anything else; the status word carries the sense.
TEST(AkripSense, SenseDataDecidesWaitingRetryingAndTheResult) {
    const uint8_t fixed[18] = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01};
    const uint8_t descriptor[8] = {0x72, 0x06, 0x28, 0x00};
    Sense sense;
    ASSERT_TRUE(ParseSense(fixed, sizeof fixed, &sense));
    EXPECT_EQ(KindOf(sense), SenseKind::kBecomingReady);
    ASSERT_TRUE(ParseSense(fixed, 8, &sense)) << "the key alone";
    EXPECT_EQ(sense.key, 2);
    EXPECT_EQ(sense.asc, 0) << "the code lies beyond what arrived";
    ASSERT_TRUE(ParseSense(descriptor, sizeof descriptor, &sense));
    EXPECT_EQ(ResultOf(sense), kResultMediumChanged);
    EXPECT_FALSE(ParseSense(descriptor, 3, &sense));
    const uint8_t nothing[18] = {0x00};
    EXPECT_FALSE(ParseSense(nothing, sizeof nothing, &sense));

    struct Case {
        Sense sense;
        Result result;
    } cases[] = {{{1, 0x17, 1}, kResultOk}, {{2, 0x3A, 2}, kResultNotReady}, {{3, 0x11, 0}, kResultReadError},
                 {{4, 0x44, 0}, kResultDriveError}, {{2, 0x30, 0}, kResultDriveError}, {{5, 0x24, 0}, kResultDriveError}};
    for (const Case& c : cases) {
        EXPECT_EQ(ResultOf(c.sense), c.result) << int(c.sense.key) << "/" << int(c.sense.asc);
        CommandRetry retry(true);
        EXPECT_EQ(retry.After(c.sense, 0), CommandRetry::Step::kGiveUp);
        uint32_t word = StatusWord(c.result, c.sense);
        EXPECT_EQ(StatusResult(word), c.result);
        EXPECT_EQ(StatusSense(word).asc, c.sense.asc);
    }
    EXPECT_EQ(DescribeSense({4, 0x44, 0}), "HARDWARE ERROR (sense 4/44/00)");

    CommandRetry becoming(false);
    const Sense ready = {2, 0x04, 0x01};
    EXPECT_EQ(becoming.After(ready, 0), CommandRetry::Step::kRetryAfterWait);
    EXPECT_EQ(becoming.After(ready, kBecomingReadyLimitMs - kBecomingReadyPollMs), CommandRetry::Step::kRetryAfterWait);
    EXPECT_EQ(becoming.After(ready, kBecomingReadyLimitMs - kBecomingReadyPollMs + 1), CommandRetry::Step::kGiveUp);
    const Sense changed = {6, 0x28, 0};
    EXPECT_EQ(becoming.After(changed, 0), CommandRetry::Step::kGiveUp) << "a read does not go on after a change";
    CommandRetry toc(true);
    for (int k = 0; k < kUnitAttentionRetries; ++k) EXPECT_EQ(toc.After(changed, 0), CommandRetry::Step::kRetryNow);
    EXPECT_EQ(toc.After(changed, 0), CommandRetry::Step::kGiveUp) << "a drive that keeps changing";
}

TEST(AkripToc, TrackSpanFindsTracksByNumberAndDistrustsOddTables) {
    Toc toc;
    ASSERT_TRUE(BuildToc({0, 300, 600}, 900, false, &toc));
    // A disc whose tracks are numbered from 3: track 1 is not on it.
    toc.descriptors[0].track = 3;
    toc.descriptors[1].track = 4;
    toc.descriptors[2].track = 5;
    long start = -1, frames = -1;
    EXPECT_FALSE(TrackSpan(toc, 1, &start, &frames));
    ASSERT_TRUE(TrackSpan(toc, 4, &start, &frames));
    EXPECT_EQ(start, 300);
    EXPECT_EQ(frames, 300);

    // An end below the start, and an end at the start: no frame to rip.
    ASSERT_TRUE(BuildToc({0, 300, 600}, 900, false, &toc));
    toc.descriptors[1].address[2] = 0;
    toc.descriptors[1].address[3] = 0;
    toc.descriptors[0].address[3] = 10;
    EXPECT_FALSE(TrackSpan(toc, 1, &start, &frames));
    toc.descriptors[0].address[3] = 0;
    EXPECT_FALSE(TrackSpan(toc, 1, &start, &frames));

    // A header that claims more descriptors than the record holds, each of them track 7:
    // the search stays inside the record and needs a descriptor after the track.
    std::memset(&toc, 0, sizeof toc);
    toc.length[0] = 0xFF;
    toc.length[1] = 0xFF;
    for (TocDescriptor& d : toc.descriptors) d.track = 7;
    toc.descriptors[1].address[3] = 75;
    ASSERT_TRUE(TrackSpan(toc, 7, &start, &frames));
    EXPECT_EQ(frames, 75);
    toc.length[0] = 0;
    toc.length[1] = 2 + 8;   // one descriptor: nothing marks the track's end
    EXPECT_FALSE(TrackSpan(toc, 7, &start, &frames));

    // A track longer than a WAV file can hold.
    ASSERT_TRUE(BuildToc({0, 300}, 600, false, &toc));
    toc.descriptors[2].address[0] = 0x7F;
    EXPECT_FALSE(TrackSpan(toc, 2, &start, &frames));
}

TEST(AkripRequests, SectorRangesTakeNumbersAndRangesAndSkipTheRest) {
    std::vector<SectorRange> ranges = ParseSectorRanges("17, 40-45,900 ");
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0].first, 17);
    EXPECT_EQ(ranges[0].last, 17);
    EXPECT_EQ(ranges[1].first, 40);
    EXPECT_EQ(ranges[1].last, 45);
    EXPECT_EQ(ranges[2].first, 900);
    ranges = ParseSectorRanges(" x, 5-3, -4, 7-, 1e3, ,12 - 14");
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].first, 12);
    EXPECT_EQ(ranges[0].last, 14);
    EXPECT_TRUE(ParseSectorRanges("").empty());
}

TEST(AkripRequests, ARangeIsHitByAnyFrameOfARead) {
    std::vector<SectorRange> ranges = ParseSectorRanges("40-45,100");
    EXPECT_FALSE(HitsRange(ranges, 14, 26));   // 14..39
    EXPECT_TRUE(HitsRange(ranges, 15, 26));    // 15..40
    EXPECT_TRUE(HitsRange(ranges, 45, 1));
    EXPECT_FALSE(HitsRange(ranges, 46, 54));   // 46..99
    EXPECT_TRUE(HitsRange(ranges, 46, 55));
    EXPECT_FALSE(HitsRange(ranges, 40, 0));
    EXPECT_FALSE(HitsRange({}, 0, 1000));
}

TEST(AkripRequests, ReadsStayOnTheDiscAndInsideTheBuffer) {
    TransferHeader request = {};
    request.capacity = 26 * kFrameBytes;
    request.firstFrame = 274;
    request.frames = 26;
    EXPECT_EQ(CheckRead(request, 300), kResultOk);   // up to the lead-out exactly
    request.firstFrame = 275;
    EXPECT_EQ(CheckRead(request, 300), kResultBadRequest);
    request.firstFrame = 300;
    request.frames = 1;
    EXPECT_EQ(CheckRead(request, 300), kResultBadRequest);
    request.firstFrame = 0xFFFFFFF0u;   // no wrap-around to the disc's start
    request.frames = 26;
    EXPECT_EQ(CheckRead(request, 300), kResultBadRequest);
    request.firstFrame = 0;
    request.frames = 0;
    EXPECT_EQ(CheckRead(request, 300), kResultBadRequest);
    request.frames = 27;   // one frame more than the data area holds
    EXPECT_EQ(CheckRead(request, 300), kResultBadRequest);
    request.capacity = 27 * kFrameBytes - 1;
    EXPECT_EQ(CheckRead(request, 300), kResultBadRequest);
    request.capacity = 27 * kFrameBytes;
    EXPECT_EQ(CheckRead(request, 300), kResultOk);
}

}  // namespace
}  // namespace akrip

namespace akrip {
namespace {

CdText SampleText() {
    CdText text;
    text.disc = {"Caf\xC3\xA9 Songs", "The Band", ""};
    text.tracks = {{"Opening", "The Band", ""},
                   {"A title that runs well past one pack and the position's cap", "The Band", "J. Writer"},
                   {"\xE6\x9D\xB1 East", "Guest", "J. Writer"}};
    return text;
}

const uint8_t* PackAt(const std::vector<uint8_t>& answer, size_t k) { return answer.data() + 4 + 18 * k; }

// What the encoder writes the parser reads back: texts across packs, the repeat of the
// previous track's string, ISO-8859-1 and a character beyond it; and the packs' fields.
TEST(AkripCdText, EncodedPacksReadBackWithSizeInformationAndCrcs) {
    // The CRC of a pack as Python's binascii.crc_hqx(pack[:16], 0) ^ 0xFFFF gives it.
    const uint8_t known[18] = {0x80, 0, 0, 0, 'H', 'e', 'l', 'l', 'o', ' ', 'W', 'o', 'r', 'l', 'd', '!'};
    EXPECT_EQ(CdTextCrc(known), 0xFB5D);

    std::vector<uint8_t> answer;
    ASSERT_TRUE(EncodeCdText(SampleText(), &answer));
    ASSERT_EQ((answer.size() - 4) % 18, 0u);
    const size_t packs = (answer.size() - 4) / 18;
    EXPECT_EQ(answer[0] << 8 | answer[1], static_cast<int>(answer.size() - 2));
    std::string songwriters;   // the text bytes of the songwriter packs, in order
    uint8_t sequence = 0;
    for (size_t k = 0; k < packs; ++k, ++sequence) {
        const uint8_t* pack = PackAt(answer, k);
        EXPECT_EQ(pack[2], sequence);
        EXPECT_EQ(pack[16] << 8 | pack[17], CdTextCrc(pack)) << k;
        if (pack[0] == 0x82) songwriters.append(reinterpret_cast<const char*>(pack) + 4, 12);
    }
    EXPECT_EQ(songwriters.substr(0, 16), std::string("\0\0J. Writer\0\t\0\0", 16)) << "track 3 repeats track 2";
    const uint8_t* info = PackAt(answer, packs - 3);
    EXPECT_EQ(std::vector<uint8_t>(info, info + 7), (std::vector<uint8_t>{0x8F, 0, static_cast<uint8_t>(packs - 3), 0, 0x00, 1, 3}));
    EXPECT_EQ(PackAt(answer, packs - 2)[4 + 8], packs - 1) << "block 0's last sequence number";
    EXPECT_EQ(PackAt(answer, packs - 1)[4 + 4], 0x09) << "English";
    // The long title begins in the second title pack, after 5 bytes of it: the packs
    // that begin inside it count its characters before them, capped at 15.
    std::vector<int> positions;
    for (size_t k = 0; k < packs; ++k)
        if (PackAt(answer, k)[0] == 0x80 && PackAt(answer, k)[1] == 2) positions.push_back(PackAt(answer, k)[3]);
    EXPECT_EQ(positions, (std::vector<int>{5, 15, 15, 15, 15}));

    CdText back;
    ASSERT_TRUE(ParseCdText(answer.data(), answer.size(), &back));
    CdText expected = SampleText();
    expected.tracks[2].title = "? East";
    EXPECT_EQ(back.disc.title, expected.disc.title);
    EXPECT_EQ(back.disc.performer, expected.disc.performer);
    ASSERT_EQ(back.tracks.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(back.tracks[k].title, expected.tracks[k].title) << k;
        EXPECT_EQ(back.tracks[k].performer, expected.tracks[k].performer) << k;
        EXPECT_EQ(back.tracks[k].songwriter, expected.tracks[k].songwriter) << k;
    }
    // The names the program takes: one release, a track's artist only where it differs.
    DiscNames names;
    ASSERT_TRUE(NamesFromCdText(back, &names));
    EXPECT_EQ(names.source, NameSource::kCdText);
    ASSERT_EQ(names.releases.size(), 1u);
    const ReleaseNames& release = names.releases[0];
    EXPECT_EQ(release.album + "|" + release.artist, "Caf\xC3\xA9 Songs|The Band");
    EXPECT_EQ(release.trackTotal, 3);
    ASSERT_EQ(release.tracks.size(), 3u);
    EXPECT_EQ(release.tracks[2].number, 3);
    EXPECT_EQ(release.tracks[1].songwriter, "J. Writer");
    EXPECT_EQ(release.tracks[0].artist + "|" + release.tracks[2].artist, "|Guest");
    CdText nameless;
    nameless.tracks.resize(2);
    nameless.tracks[1].performer = "Only a performer";
    EXPECT_FALSE(NamesFromCdText(nameless, &names));
    EXPECT_EQ(names.releases.size(), 1u) << "left as it was";

    // An answer cut short by the allocation keeps what its whole packs hold.
    ASSERT_TRUE(ParseCdText(answer.data(), 4 + 18 * 2 + 7, &back));
    EXPECT_EQ(back.disc.title, expected.disc.title);
    EXPECT_EQ(back.tracks[0].title, "Opening");
    EXPECT_EQ(back.tracks[1].title, "") << "its string was cut";
}

// A pack with a wrong CRC loses the strings it held part of, and no other; a lost
// string leaves the TAB that repeats it without a value; other blocks, double-byte
// codes and answers without a usable pack give nothing.
TEST(AkripCdText, DamagedPacksLoseOnlyTheirStrings) {
    std::vector<uint8_t> answer;
    ASSERT_TRUE(EncodeCdText(SampleText(), &answer));
    const size_t packs = (answer.size() - 4) / 18;
    auto find = [&](uint8_t type, const char* text) {
        for (size_t k = 0; k < packs; ++k)
            if (PackAt(answer, k)[0] == type &&
                std::string(reinterpret_cast<const char*>(PackAt(answer, k)) + 4, 12).find(text) != std::string::npos)
                return 4 + 18 * k;
        return size_t{0};
    };
    std::vector<uint8_t> damaged = answer;
    damaged[find(0x80, "past") + 10] ^= 0x20;    // inside the long title
    damaged[find(0x82, "Writer") + 5] ^= 0x01;   // track 2's songwriter, which track 3 repeats
    CdText back;
    ASSERT_TRUE(ParseCdText(damaged.data(), damaged.size(), &back));
    EXPECT_EQ(back.disc.title, "Caf\xC3\xA9 Songs");
    EXPECT_EQ(back.tracks[0].title, "Opening");
    EXPECT_EQ(back.tracks[1].title, "");
    EXPECT_EQ(back.tracks[2].title, "? East");
    EXPECT_EQ(back.tracks[1].songwriter, "");
    EXPECT_EQ(back.tracks[2].songwriter, "");
    EXPECT_EQ(back.tracks[2].performer, "Guest");

    std::vector<uint8_t> other = answer, jis = answer;
    for (size_t k = 0; k < packs; ++k) {
        uint8_t* pack = other.data() + 4 + 18 * k;
        pack[3] |= 0x10;   // block 1
        pack[16] = static_cast<uint8_t>(CdTextCrc(pack) >> 8);
        pack[17] = static_cast<uint8_t>(CdTextCrc(pack));
    }
    EXPECT_FALSE(ParseCdText(other.data(), other.size(), &back)) << "a second language only";
    uint8_t* info = jis.data() + 4 + 18 * (packs - 3);
    info[4] = 0x80;   // MS-JIS
    info[16] = static_cast<uint8_t>(CdTextCrc(info) >> 8);
    info[17] = static_cast<uint8_t>(CdTextCrc(info));
    EXPECT_FALSE(ParseCdText(jis.data(), jis.size(), &back));
    EXPECT_TRUE(back.tracks.empty());
    EXPECT_FALSE(ParseCdText(answer.data(), 4 + 17, &back)) << "no whole pack";

    CdText none;
    none.tracks.resize(2);
    EXPECT_FALSE(EncodeCdText(none, &answer));
    CdText long_ = SampleText();
    long_.disc.title.assign(256 * 12, 'x');
    EXPECT_FALSE(EncodeCdText(long_, &answer)) << "more than a block's 256 packs";
}

}  // namespace
}  // namespace akrip
