// The disc ids against libdiscid and published ids; the MusicBrainz and freedb answers
// from fixtures in tests/fixtures.
#include <discid/discid.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cddb.h"
#include "discid.h"
#include "musicbrainz.h"

namespace {

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(QUORREL_SOURCE_DIR) + "/tests/fixtures/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    EXPECT_FALSE(bytes.str().empty()) << name;
    return bytes.str();
}

// A layout from a TOC as libdiscid takes it: offsets with the 150 frames, lead-out first.
DiscLayout Layout(const std::vector<long>& leadoutThenOffsets, size_t dataTracks = 0) {
    DiscLayout layout;
    layout.leadout = leadoutThenOffsets[0] - 150;
    for (size_t k = 1; k < leadoutThenOffsets.size(); ++k) {
        layout.starts.push_back(leadoutThenOffsets[k] - 150);
        layout.data.push_back(k + dataTracks >= leadoutThenOffsets.size());
    }
    return layout;
}

// libdiscid's answers for tracks 1 to `last` of the TOC (offsets[0] the lead-out).
std::string LibDiscId(std::vector<long> offsets, int last, std::string* freedb = nullptr) {
    std::vector<int> toc(offsets.begin(), offsets.begin() + last + 1);
    DiscId* disc = discid_new();
    std::string id = "<refused by libdiscid>";
    if (discid_put(disc, 1, last, toc.data())) {
        id = discid_get_id(disc);
        if (freedb) *freedb = discid_get_freedb_id(disc);
    }
    discid_free(disc);
    return id;
}

std::string Hex(const uint8_t* digest) {
    char text[41];
    for (int k = 0; k < 20; ++k) snprintf(text + 2 * k, 3, "%02x", digest[k]);
    return text;
}

TEST(DiscIds, Sha1MatchesFips180Examples) {
    uint8_t digest[20];
    Sha1("", 0, digest);
    EXPECT_EQ(Hex(digest), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    Sha1("abc", 3, digest);
    EXPECT_EQ(Hex(digest), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // 56 bytes: the length no longer fits the block, padding takes a second one.
    const char two[] = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    Sha1(two, sizeof two - 1, digest);
    EXPECT_EQ(Hex(digest), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    std::string million(1000000, 'a');
    Sha1(million.data(), million.size(), digest);
    EXPECT_EQ(Hex(digest), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(DiscIds, MusicBrainzIdsAgreeWithLibdiscidAndPublishedIds) {
    struct Case {
        std::vector<long> toc;
        const char* published;
    };
    const Case cases[] = {
        // libdiscid's own test TOC.
        {{303602, 150, 9700, 25887, 39297, 53795, 63735, 77517, 94877, 107270, 123552, 135522, 148422, 161197,
          174790, 192022, 205545, 218010, 228700, 239590, 255470, 266932, 288750},
         "xUp1F2NkfP8s8jaeFn_Av3jNEI4-"},
        // Discs as MusicBrainz lists them (whipper's recorded answers); the first starts late.
        {{355532, 182, 8067, 14985, 28407, 39920, 74532, 79825, 93370, 135732, 162415, 168137, 182882},
         "b.yqPuCBdsV5hrzDvYrw52iK_jE-"},
        {{192868, 150, 13021, 27280, 44821, 57000, 69051, 84731, 100266, 121055, 134078, 150891, 167733},
         "xAq8L4ELMW14.6wI6tt7QAcxiDI-"},
        {{147674, 150, 6650, 17135, 29982, 37318, 44334, 53648, 60998, 69393, 77732, 96632, 106946, 121362, 137085},
         "xu338_M8WukSRi0J.KTlDoflB8Y-"},
        // Awkward lengths: one track of one frame past its start, a disc of 99 tracks.
        {{152, 151}, nullptr},
        {{405000, 150, 151, 33333, 404999}, nullptr},   // 90 minutes, libdiscid's longest
        {{}, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<long> toc = c.toc;
        if (toc.empty()) {   // 99 tracks of 3,900 frames after a start at 00:03:17
            toc.push_back(0);
            for (long k = 0; k < 99; ++k) toc.push_back(14942 + k * 3900);
            toc[0] = toc.back() + 3900;
        }
        std::string freedb;
        std::string expected = LibDiscId(toc, static_cast<int>(toc.size() - 1), &freedb);
        DiscLayout layout = Layout(toc);
        EXPECT_EQ(MusicBrainzDiscId(layout), expected);
        if (c.published) {
            EXPECT_EQ(expected, c.published);
        }
        // The freedb query names the id libdiscid computes, every offset and the seconds.
        std::string query = FreedbQueryCommand(layout);
        std::string head = "cddb query " + freedb + " " + std::to_string(toc.size() - 1) + " " + std::to_string(toc[1]);
        EXPECT_EQ(query.compare(0, head.size(), head), 0) << query;
        EXPECT_EQ(query.substr(query.rfind(' ') + 1), std::to_string(toc[0] / 75));
    }
}

TEST(DiscIds, CdExtraEndsItsAudioBeforeTheDataSession) {
    // Ten audio tracks, then a data track: MusicBrainz ids the audio session alone.
    std::vector<long> toc = {298000, 150, 20000, 41000, 60000, 83000, 104000, 127000, 150000, 172000, 195000, 230000};
    DiscLayout extra = Layout(toc, 1);
    std::vector<long> audio(toc.begin(), toc.end() - 1);
    audio[0] = toc.back() - 11400;
    EXPECT_EQ(MusicBrainzDiscId(extra), LibDiscId(audio, 10));
    // The same offsets as an audio disc give another id; freedb still counts the data track.
    EXPECT_NE(MusicBrainzDiscId(Layout(toc)), MusicBrainzDiscId(extra));
    std::string freedb;
    LibDiscId(toc, 11, &freedb);
    EXPECT_EQ(FreedbQueryCommand(extra).find("cddb query " + freedb + " 11 150 20000 "), 0u) << FreedbQueryCommand(extra);
    // No id for a layout no disc has.
    EXPECT_EQ(MusicBrainzDiscId(DiscLayout()), "");
    EXPECT_EQ(MusicBrainzDiscId(Layout({1000, 150, 900, 800})), "");
    EXPECT_EQ(MusicBrainzDiscId(Layout({40000, 150, 20000, 25000}, 1)), "");   // data 5,000 frames after audio
}

TEST(MusicBrainzAnswer, ReadsEveryReleaseOfTheDiscWithItsCredits) {
    std::vector<ReleaseNames> releases;
    const std::string disc = "xAq8L4ELMW14.6wI6tt7QAcxiDI-";
    ASSERT_TRUE(ParseMusicBrainzDisc(Fixture("musicbrainz/" + disc + ".json"), disc, 12, &releases));
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[0].artist, "Isobel Campbell & Mark Lanegan");
    EXPECT_EQ(releases[0].artistId, "d51f3a15-12a2-41a0-acfa-33b5eae71164");
    EXPECT_EQ(releases[0].album, "Ballad of the Broken Seas");
    EXPECT_EQ(releases[0].releaseId, "e32ae79a-336e-4d33-945c-8c5e8206dbd3");
    EXPECT_EQ(releases[0].year, "2006");
    EXPECT_EQ(releases[0].country, "GB");
    EXPECT_EQ(releases[1].country, "US");
    EXPECT_EQ(releases[1].year, "2006");
    ASSERT_EQ(releases[0].tracks.size(), 12u);
    EXPECT_EQ(releases[0].trackTotal, 12);
    EXPECT_EQ(releases[0].tracks[1].number, 2);
    EXPECT_EQ(releases[0].tracks[1].title, "Black Mountain");
    EXPECT_EQ(releases[0].tracks[1].artist, "");   // the release's own
    EXPECT_FALSE(releases[0].tracks[1].recordingId.empty());
    EXPECT_EQ(releases[0].tracks[11].number, 12);

    // Four discs in one release: the medium is the one holding the disc id, whatever
    // the count of audio tracks says.
    ASSERT_TRUE(ParseMusicBrainzDisc(Fixture("musicbrainz/Xu6RInhlajCJO7qolsctKG71COA-.json"),
                                     "Xu6RInhlajCJO7qolsctKG71COA-", 20, &releases));
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].artist, "Jörgen Gustafsson, Eva Österberg & Andy Cowle");
    ASSERT_EQ(releases[0].tracks.size(), 15u);
    EXPECT_EQ(releases[0].tracks[0].title, "The curious incident of the dog in the night‐time (sid. 37–39)");
}

TEST(MusicBrainzAnswer, ChoosesByTrackCountOrdersByPositionAndSkipsWhatDoesNotFit) {
    std::vector<ReleaseNames> releases;
    std::string japanese = Fixture("musicbrainz/toc-match-japanese.json");
    // No medium holds this id: the one of three tracks is chosen, the five-track release skipped.
    ASSERT_TRUE(ParseMusicBrainzDisc(japanese, "Ht3JpBq0wS9mEoV5yNcL2aKdXfG-", 3, &releases));
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].artist, "星野楽団");
    EXPECT_EQ(releases[0].album, "青い海の記憶");
    ASSERT_EQ(releases[0].tracks.size(), 3u);
    EXPECT_EQ(releases[0].tracks[1].title, "Blue Moon (Live)");
    EXPECT_EQ(releases[0].tracks[1].artist, "星野楽団 feat. Hanako");   // the credited name
    EXPECT_EQ(releases[0].tracks[2].title, "さよなら、夏の日");        // the recording's, the track has none
    EXPECT_EQ(releases[0].tracks[2].number, 3);
    EXPECT_FALSE(ParseMusicBrainzDisc(japanese, "Ht3JpBq0wS9mEoV5yNcL2aKdXfG-", 4, &releases));
    EXPECT_TRUE(releases.empty());

    const char* const broken[] = {
        "", "not json", "{\"releases\": 5}", "{\"error\": \"Not Found\", \"help\": \"\"}", "[1, 2]",
        // A position twice, a position past the tracks, a position that is text.
        R"({"releases":[{"media":[{"track-count":2,"tracks":[{"position":1},{"position":1}]}]}]})",
        R"({"releases":[{"media":[{"track-count":2,"tracks":[{"position":1},{"position":3}]}]}]})",
        R"({"releases":[{"media":[{"track-count":1,"tracks":[{"position":"1"}]}]}]})",
        R"({"releases":[{"media":[{"track-count":1,"tracks":[]}]}]})",
    };
    for (const char* answer : broken) EXPECT_FALSE(ParseMusicBrainzDisc(answer, "x", 2, &releases)) << answer;
    EXPECT_FALSE(ParseMusicBrainzDisc(japanese.substr(0, japanese.size() / 2), "x", 3, &releases));
    // Fields of a wrong type count as absent; the rest of the release stands.
    ASSERT_TRUE(ParseMusicBrainzDisc(
        R"({"releases":[{"title":7,"date":"20","artist-credit":{"name":"x"},"media":[{"track-count":1,"tracks":[{"position":1,"title":"t","recording":[]}]}]}]})",
        "x", 1, &releases));
    EXPECT_EQ(releases[0].album, "");
    EXPECT_EQ(releases[0].year, "");
    EXPECT_EQ(releases[0].tracks[0].title, "t");
    EXPECT_EQ(MusicBrainzLookupUrl("http://127.0.0.1:8080/ws/2", "a-"),
              "http://127.0.0.1:8080/ws/2/discid/a-?inc=recordings+artist-credits&fmt=json");
}

TEST(CddbAnswers, QueriesGiveTheirMatches) {
    std::vector<CddbMatch> matches;
    EXPECT_EQ(ParseCddbQuery(Fixture("cddb/query-200.txt"), &matches), CddbStatus::kFound);
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].category, "rock");
    EXPECT_EQ(matches[0].discId, "940aac0d");
    EXPECT_EQ(matches[0].title, "Isobel Campbell & Mark Lanegan / Ballad of the Broken Seas");
    EXPECT_EQ(CddbReadCommand(matches[0]), "cddb read rock 940aac0d");
    EXPECT_EQ(ParseCddbQuery(Fixture("cddb/query-211.txt"), &matches), CddbStatus::kFound);
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_FALSE(matches[2].exact);
    EXPECT_EQ(matches[2].title, "星野楽団 / 青い海の記憶");
    EXPECT_EQ(ParseCddbQuery(Fixture("cddb/query-210.txt"), &matches), CddbStatus::kFound);
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_TRUE(matches[1].exact);
    EXPECT_EQ(matches[1].category, "misc");
    EXPECT_EQ(ParseCddbQuery(Fixture("cddb/query-202.txt"), &matches), CddbStatus::kNotFound);
    EXPECT_TRUE(matches.empty());
    // Errors, a list cut before its ".", a line of one word or a short disc id, no code.
    for (const char* answer : {"403 Database entry is corrupt.\r\n", "409 No handshake.\r\n", "500 Command syntax error\n",
                               "210 Found exact matches\r\nrock 940aac0d A / B\r\n", "211 list\nrock\n.\n",
                               "211 list\nrock 940aac0 A\n.\n", "200\r\n", "", "hello", "2000 rock 940aac0d A / B\r\n"})
        EXPECT_EQ(ParseCddbQuery(answer, &matches), CddbStatus::kFailed) << answer;
    // An answer below protocol level 6 comes in ISO 8859-1.
    EXPECT_EQ(ParseCddbQuery("200 misc 12345678 Bj\xF6rk / Post\r\n", &matches), CddbStatus::kFound);
    EXPECT_EQ(matches[0].title, "Björk / Post");
}

TEST(CddbAnswers, ReadGivesTheEntrysNames) {
    ReleaseNames names;
    ASSERT_TRUE(ParseCddbRead(Fixture("cddb/read-various.txt"), &names));
    EXPECT_EQ(names.artist, "Various");
    EXPECT_EQ(names.album, "2 Meter Sessies, Volume 10");
    EXPECT_EQ(names.year, "1993");
    ASSERT_EQ(names.tracks.size(), 3u);
    EXPECT_EQ(names.trackTotal, 3);
    EXPECT_EQ(names.tracks[0].artist, "Isobel Campbell & Mark Lanegan");
    EXPECT_EQ(names.tracks[0].title, "Black Mountain");
    EXPECT_EQ(names.tracks[1].artist, "Jörgen Gustafsson");
    EXPECT_EQ(names.tracks[1].title, "The curious incident of the dog in the night-time (sid. 37–39)");
    EXPECT_EQ(names.tracks[2].artist, "");
    EXPECT_EQ(names.tracks[2].title, "Unknown Track With \\ Backslash and tab");
    EXPECT_EQ(names.tracks[2].number, 3);

    ASSERT_TRUE(ParseCddbRead(Fixture("cddb/read-single.txt"), &names));
    EXPECT_EQ(names.artist, "星野楽団");
    EXPECT_EQ(names.album, "星野楽団");
    EXPECT_EQ(names.year, "");
    ASSERT_EQ(names.tracks.size(), 3u);
    EXPECT_EQ(names.tracks[1].title, "");
    EXPECT_EQ(names.tracks[2].title, "Blue Moon / Live");   // one artist: the title stays whole
    EXPECT_EQ(names.tracks[2].artist, "");

    for (const char* answer : {"401 rock 940aac0d No such CD entry in database.\r\n",
                               "210 rock 940aac0d entry follows\r\nDTITLE=A / B\r\nTTITLE0=x\r\n",
                               "210 rock 940aac0d entry follows\r\nDTITLE=A / B\r\n.\r\n", ""})
        EXPECT_FALSE(ParseCddbRead(answer, &names)) << answer;
    EXPECT_TRUE(names.tracks.empty());

    EXPECT_EQ(CddbRequestUrl("http://127.0.0.1/~cddb/cddb.cgi", "cddb read rock 940aac0d", "jo ann", "", "1.2"),
              "http://127.0.0.1/~cddb/cddb.cgi?cmd=cddb+read+rock+940aac0d&hello=jo_ann+localhost+CDQuorrel+1.2&proto=6");
    EXPECT_EQ(CddbRequestUrl("b", "a&b=c", "u", "h", "1"), "b?cmd=a%26b%3Dc&hello=u+h+CDQuorrel+1&proto=6");
}

}  // namespace
