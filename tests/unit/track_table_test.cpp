#include "track_table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "clock.h"
#include "disc_names.h"
#include "layout.h"
#include "source_table.h"

namespace {

TEST(TrackTable, TrackButtonsWrapAroundTheDisc) {
    EXPECT_EQ(PreviousTrack(1, 3), 3);
    EXPECT_EQ(PreviousTrack(3, 3), 2);
    EXPECT_EQ(NextTrack(3, 3), 1);
    EXPECT_EQ(NextTrack(1, 3), 2);
    EXPECT_EQ(PreviousTrack(1, 1), 1);
    EXPECT_EQ(NextTrack(1, 1), 1);
    // A current track left from a longer disc never points past the new one.
    EXPECT_EQ(PreviousTrack(7, 3), 3);
    EXPECT_EQ(NextTrack(7, 3), 1);
}

TEST(TrackTable, CurrentTrackTexts) {
    TrackTable table{};
    SetCurrentTrack(&table, 7);
    EXPECT_STREQ(table.currentTrack, "7");
    EXPECT_EQ(CurrentTrackNumber(table), 7);
    SetCurrentTrack(&table, 12);
    EXPECT_STREQ(table.currentTrack, "12");
    SetCurrentTrack(&table, 99);
    EXPECT_STREQ(table.currentTrack, "99");
    EXPECT_FALSE(IsLetterTrack(table));
    SetCurrentTrackText(&table, "L");
    EXPECT_TRUE(IsLetterTrack(table));
    EXPECT_EQ(CurrentTrackNumber(table), 0);
}

TEST(TrackTable, RepliesAndLengths) {
    EXPECT_EQ(TrackCountFromReply("12"), 12);
    EXPECT_EQ(TrackCountFromReply("150"), 99);   // the table holds tracks 1 to 99
    EXPECT_EQ(TrackCountFromReply(""), 0);
    EXPECT_EQ(LengthSeconds("04:31:22"), 271);
    EXPECT_EQ(LengthSeconds("00:00"), 0);
    EXPECT_EQ(LengthSeconds(""), 0);
    char small[6];
    CopyText(small, "04:31:22");
    EXPECT_STREQ(small, "04:31");
}

TEST(TrackTable, APlayReachedTheTrackEndOnlyWhereTheDriveStopsAtIt) {
    EXPECT_EQ(LengthFrames("04:31:22"), 271 * 75 + 22);
    EXPECT_EQ(LengthFrames("00:00:01"), 1);
    EXPECT_EQ(LengthFrames("00:00:00"), 0);
    EXPECT_EQ(LengthFrames("00:00"), 0);
    EXPECT_EQ(LengthFrames("x"), 0);
    // Up to the next track, or to the length of the last.
    EXPECT_TRUE(PlayReachedTrackEnd("03:00:00:00", 2, "00:10:00"));
    EXPECT_TRUE(PlayReachedTrackEnd("12:04:31:22", 12, "04:31:22"));
    EXPECT_TRUE(PlayReachedTrackEnd("12:04:30:22", 12, "04:31:22")) << "a second short";
    EXPECT_FALSE(PlayReachedTrackEnd("12:04:30:21", 12, "04:31:22"));
    // The door opened or another disc: the drive went back to track 1, or elsewhere.
    EXPECT_FALSE(PlayReachedTrackEnd("01:00:00:00", 1, "00:10:00"));
    EXPECT_FALSE(PlayReachedTrackEnd("01:00:00:00", 2, "00:10:00"));
    EXPECT_FALSE(PlayReachedTrackEnd("04:00:00:00", 2, "00:10:00"));
    EXPECT_TRUE(PlayReachedTrackEnd("03:00:01:00", 2, "00:10:00")) << "a second past";
    EXPECT_FALSE(PlayReachedTrackEnd("03:00:01:01", 2, "00:10:00"));
    EXPECT_FALSE(PlayReachedTrackEnd("", 2, "00:10:00"));
    EXPECT_FALSE(PlayReachedTrackEnd("00:02:00", 1, "00:01:00")) << "not a tmsf position";
}

// A release's titles go where no user named a track, told apart, cut on a character; a
// second release replaces what the first gave and nothing the user typed.
TEST(TrackTable, ReleaseNamesFillOnlyWhatNoUserNamed) {
    TrackTable table = {};
    table.trackCount = 4;
    GivenNames given = {};
    CopyText(table.trackNames[3], "Mine");
    ReleaseNames release;
    const std::string longJapanese(16, 'x');   // 16 bytes, then three-byte characters
    release.tracks = {{1, "Intro", "", ""}, {2, "Intro", "", ""}, {3, "Theirs", "", ""},
                      {4, longJapanese + "\xE6\xB3\xA2\xE3\x81\xAE\xE9\x9F\xB3\xE6\xB3\xA2\xE3\x81\xAE\xE9\x9F\xB3"
                                       "\xE6\xB3\xA2\xE3\x81\xAE\xE9\x9F\xB3\xE6\xB3\xA2\xE3\x81\xAE\xE9\x9F\xB3", "", ""}};
    ApplyReleaseNames(release, &table, &given);
    EXPECT_STREQ(table.trackNames[1], "Intro");
    EXPECT_STREQ(table.trackNames[2], "Intro (2)") << "an entry belongs to a track through its text";
    EXPECT_STREQ(table.trackNames[3], "Mine");
    EXPECT_EQ(strlen(table.trackNames[4]), 16u + 33u) << "49 bytes hold eleven whole characters";
    EXPECT_TRUE(HoldsGivenName(table, given, 2));
    EXPECT_FALSE(HoldsGivenName(table, given, 3));

    CopyText(table.trackNames[1], "Renamed");
    release.tracks = {{2, "Other", "", ""}};
    ApplyReleaseNames(release, &table, &given);
    EXPECT_STREQ(table.trackNames[1], "Renamed");
    EXPECT_STREQ(table.trackNames[2], "Other");
    EXPECT_STREQ(table.trackNames[4], "") << "the new release does not name it";
}

TEST(Clock, CountsTo5959AndStartsAgain) {
    ElapsedClock clock{0, 0};
    EXPECT_FALSE(TickClock(&clock));
    EXPECT_EQ(clock.seconds, 1);
    clock = {0, 59};
    EXPECT_TRUE(TickClock(&clock)) << "the minutes change";
    EXPECT_EQ(clock.minutes, 1);
    EXPECT_EQ(clock.seconds, 0);
    clock = {59, 59};
    EXPECT_TRUE(TickClock(&clock));
    EXPECT_EQ(clock.minutes, 0);
    EXPECT_EQ(clock.seconds, 0);
    int ticks = 0;
    clock = {0, 0};
    do ++ticks;
    while (TickClock(&clock), clock.minutes != 0 || clock.seconds != 0);
    EXPECT_EQ(ticks, 3600) << "an hour of ticks comes back to 00:00";
    char text[3];
    ClockText(7, text);
    EXPECT_STREQ(text, "07");
    ClockText(59, text);
    EXPECT_STREQ(text, "59");
}

TEST(SourceTable, StartupSendsTheStoredSourcesCommands) {
    int commands[2] = {};
    ASSERT_EQ(StartupSourceCommands(0, commands), 1);
    EXPECT_EQ(commands[0], 120);
    ASSERT_EQ(StartupSourceCommands(3, commands), 1);
    EXPECT_EQ(commands[0], 119);
    ASSERT_EQ(StartupSourceCommands(4, commands), 2);
    EXPECT_EQ(commands[0], 116);
    EXPECT_EQ(commands[1], 118);
    EXPECT_EQ(StartupSourceCommands(5, commands), 0);
    EXPECT_EQ(StartupSourceCommands(-1, commands), 0);
}

TEST(SourceTable, EachSourceChecksItselfOnly) {
    for (int command : {116, 117, 119, 120}) {
        const SourceCommandEffect* effect = FindSourceCommand(command);
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->checked, command);
        for (int id : effect->unchecked) EXPECT_NE(id, command);
        for (int id : effect->grayed) EXPECT_NE(id, command);
    }
    EXPECT_EQ(FindSourceCommand(118), nullptr);
    EXPECT_STREQ(FindSourceCommand(117)->playLabel, "&Record");
    EXPECT_FALSE(FindSourceCommand(117)->transportEnabled);
    EXPECT_TRUE(FindSourceCommand(119)->forceCdFormat == false && FindSourceCommand(120)->forceCdFormat);
    EXPECT_TRUE(IsCdSource(kSourceRip) && IsCdSource(kSourcePartial) && !IsCdSource(kSourceLineIn));
    EXPECT_FALSE(IsCdPlayed(kSourceRip));
}

TEST(Layout, PositionsTruncateTowardZero) {
    LayoutUnits units{7, 13};
    EXPECT_EQ(Cw10(units, 262), 183);   // 26.2 * 7 = 183.4
    EXPECT_EQ(Lh10(units, 33), 42);     // 3.3 * 13 = 42.9
    EXPECT_EQ(Lh10(units, 155), 201);
    // The song name prompt's bounds are exclusive.
    EXPECT_FALSE(StrictlyInside(units, kSongNamePrompt, 133, 110));
    EXPECT_TRUE(StrictlyInside(units, kSongNamePrompt, 134, 105));
    EXPECT_FALSE(StrictlyInside(units, kSongNamePrompt, 210, 105));
    EXPECT_FALSE(StrictlyInside(units, kSongNamePrompt, 150, 104));
}

}  // namespace
