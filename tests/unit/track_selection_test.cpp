// The decisions of the track selection dialog: entry texts to tracks, renames, and the
// batch a Save sets up.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "batch.h"
#include "track_selection.h"

namespace {

TrackTable Disc(int tracks) {
    TrackTable table;
    memset(&table, 0, sizeof table);
    table.trackCount = tracks;
    return table;
}

TEST(TrackOfEntry, ReadsOneOrTwoDigitsAfterTrack) {
    EXPECT_EQ(TrackOfEntry("Track1"), 1);
    EXPECT_EQ(TrackOfEntry("Track9"), 9);
    EXPECT_EQ(TrackOfEntry("Track12"), 12);
    EXPECT_EQ(TrackOfEntry("Track99"), 99);
    for (const char* text : {"Track", "Track123", "track1", "TrackA", "Track1x", "Intro", "", "Trak12"})
        EXPECT_EQ(TrackOfEntry(text), 0) << text;
}

TEST(TrackNamed, TheLowestTrackOfTheDiscWithExactlyThatName) {
    TrackTable table = Disc(12);
    NameTrack(&table, 7, "Intro");
    NameTrack(&table, 3, "Intro");
    NameTrack(&table, 12, "Track12");
    EXPECT_EQ(TrackNamed(table, "Intro"), 3);
    EXPECT_EQ(TrackNamed(table, "intro"), 0) << "names compare with case";
    EXPECT_EQ(TrackNamed(table, "Track12"), 12);
    EXPECT_EQ(TrackNamed(table, ""), 0) << "an empty name slot is no name";
    // Names beyond the disc's tracks (left from a longer disc) belong to no track.
    NameTrack(&table, 20, "Old");
    EXPECT_EQ(TrackNamed(table, "Old"), 0);
    ClearTrackName(&table, 3);
    EXPECT_EQ(TrackNamed(table, "Intro"), 7);
}

TEST(NameTrack, KeepsAtMost49CharactersAndIgnoresOtherTracks) {
    TrackTable table = Disc(99);
    std::string longName(80, 'n');
    NameTrack(&table, 99, longName.c_str());
    EXPECT_EQ(std::string(table.trackNames[99]), std::string(49, 'n'));
    TrackTable before = table;
    NameTrack(&table, 0, "slot 0 is no track");
    NameTrack(&table, 100, "past the table");
    ClearTrackName(&table, -1);
    EXPECT_EQ(memcmp(&before, &table, sizeof table), 0);
}

TEST(RenameTarget, OnlyAChosenEntryThatBelongsToATrack) {
    RenameTarget target = {};
    EXPECT_FALSE(RenameAllowed(target, 3, "Intro")) << "nothing chosen yet";
    ChooseRenameTarget(&target, 1, 3);
    EXPECT_TRUE(RenameAllowed(target, 3, "Intro"));
    EXPECT_EQ(target.position, 1);
    EXPECT_EQ(target.track, 3);
    EXPECT_FALSE(RenameAllowed(target, 3, "")) << "an empty field renames nothing";
    EXPECT_FALSE(RenameAllowed(target, 1, "Intro")) << "the entry is no longer in the list";
    DropRenameTarget(&target);
    EXPECT_FALSE(RenameAllowed(target, 3, "Intro")) << "after an addition or a removal";
    ChooseRenameTarget(&target, 0, 0);
    EXPECT_FALSE(RenameAllowed(target, 3, "Intro")) << "an entry of no track has nothing to name";
}

TEST(SetUpSelection, EntriesInOrderRepeatsIncluded) {
    TrackTable table = Disc(12);
    NameTrack(&table, 3, "Track3");
    NameTrack(&table, 12, "Track12");
    NameTrack(&table, 5, "Intro");
    Selection selection = SetUpSelection(table, {"Track12", "Track3", "Intro", "Track3"});
    EXPECT_EQ(selection.kept, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(selection.tracks, (std::vector<int>{12, 3, 5, 3}));
}

TEST(SetUpSelection, EntriesOfNoTrackTakeNoSlot) {
    TrackTable table = Disc(4);
    NameTrack(&table, 2, "Track2");
    NameTrack(&table, 4, "Same");
    NameTrack(&table, 1, "Same");
    // "Track3" lost its name when its twin entry was removed.
    Selection selection = SetUpSelection(table, {"Track3", "Track2", "Same", "Nobody", "Same"});
    EXPECT_EQ(selection.kept, (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(selection.tracks, (std::vector<int>{2, 1, 1}));

    EXPECT_EQ(LeftOutMessage(table, {"Track3", "Track2", "Same", "Nobody", "Same"}, selection.kept),
              "No track has the name \"Track3\", \"Nobody\", so these entries are left out. Add the track again "
              "from the left-hand list to record it.");

    selection = SetUpSelection(table, {"Nobody"});
    EXPECT_TRUE(selection.kept.empty() && selection.tracks.empty()) << "nothing to record: no batch";
    EXPECT_TRUE(SetUpSelection(table, {}).tracks.empty());
}

TEST(FindNameClash, TracksThatWouldShareAFileAreFound) {
    TrackTable table = Disc(4);
    NameTrack(&table, 1, "Song");
    NameTrack(&table, 2, "SONG");
    NameTrack(&table, 3, "Track3");
    const std::string longName(49, 'x');
    NameTrack(&table, 4, (longName + "a").c_str());
    int first = -1, second = -1;
    // Names that differ only in case share a file, whatever lies between them.
    ASSERT_TRUE(FindNameClash(table, {"Track3", "Song", "Track3", "SONG"}, &first, &second));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 3);
    EXPECT_EQ(NameClashMessage("Song", "SONG"),
              "\"Song\" and \"SONG\" would both be saved as song.wav, the one replacing the other. Please give one "
              "of them another name.");
    // One track chosen twice is no clash; an entry of no track is left out, not a clash.
    EXPECT_FALSE(FindNameClash(table, {"Song", "Track3", "Song", "song"}, &first, &second));
    // Two tracks bearing one name: the entries look alike, the files would be one.
    NameTrack(&table, 2, "Song");
    EXPECT_TRUE(FindNameClash(table, {"Song", "Song"}, &first, &second));
    // Names are cut to 49 characters before they become files.
    NameTrack(&table, 3, (longName + "b").c_str());
    EXPECT_TRUE(FindNameClash(table, {longName + "a", longName + "b"}, &first, &second));
}

TEST(SetUpSelection, KeepsTheFirstHundredThatCanBeRecorded) {
    TrackTable table = Disc(2);
    NameTrack(&table, 1, "Track1");
    NameTrack(&table, 2, "Track2");
    std::vector<std::string> entries(1, "Gone");
    for (int i = 0; i < 150; ++i) entries.push_back(i < 100 ? "Track1" : "Track2");
    Selection selection = SetUpSelection(table, entries);
    const std::vector<int>& kept = selection.kept;
    ASSERT_EQ(kept.size(), 100u);
    EXPECT_EQ(kept.front(), 1);
    EXPECT_EQ(kept.back(), 100);
    EXPECT_EQ(selection.tracks, std::vector<int>(100, 1)) << "entries past the hundredth recordable one are left out";
    for (int i = 0; i < 9; ++i) entries.push_back("Nobody" + std::to_string(i));
    EXPECT_EQ(LeftOutMessage(table, entries, kept),
              "No track has the name \"Gone\", \"Nobody0\", \"Nobody1\", \"Nobody2\", \"Nobody3\", \"Nobody4\", "
              "\"Nobody5\", \"Nobody6\" and 2 more, so these entries are left out. Add the track again from the "
              "left-hand list to record it.\n\nOnly 100 tracks are recorded at a time: the last 50 entries are left "
              "out.");
    EXPECT_EQ(LeftOutMessage(table, {"Track1"}, {0}), "");
}

// Recording and ripping walk a batch alike: each Play takes the next track, the folder
// is the first file's, and a disc change or a failure ends it.
TEST(Batch, GivesItsTracksInOrderIntoTheFirstFilesFolder) {
    TrackTable table = Disc(12);
    Batch batch;
    StartBatch(&batch, {3, 0, 7}, table);
    ASSERT_TRUE(BatchSetUp(&batch, table));
    EXPECT_TRUE(BatchAtStart(batch));
    EXPECT_EQ(NextBatchTrack(batch), 3) << "looking does not take";
    EXPECT_EQ(TakeBatchTrack(&batch, "D:\\Rips\\intro.wav"), 3);
    EXPECT_STREQ(batch.folder, "D:\\Rips\\");
    EXPECT_FALSE(BatchContinues(batch)) << "only the first track is under way";
    EXPECT_EQ(TakeBatchTrack(&batch, "E:\\Elsewhere\\x.wav"), 1) << "a slot of no track records track 1";
    EXPECT_STREQ(batch.folder, "D:\\Rips\\") << "later files keep the first one's folder";
    EXPECT_TRUE(BatchContinues(batch));
    EXPECT_EQ(TakeBatchTrack(&batch, ""), 7);
    EXPECT_FALSE(BatchTrackLeft(batch));
    EXPECT_TRUE(BatchSetUp(&batch, table)) << "set up until it is ended, its last track given out";
    // Another disc ends it; so does an empty choice; more than 100 tracks keep the first 100.
    StartBatch(&batch, {1, 2}, table);
    ++table.discChanges;
    EXPECT_FALSE(BatchSetUp(&batch, table));
    StartBatch(&batch, {}, table);
    EXPECT_FALSE(BatchSetUp(&batch, table));
    StartBatch(&batch, std::vector<int>(150, 2), table);
    EXPECT_EQ(batch.count, kBatchSlots);
}

// A whole-disc rip gets a CUE sheet: every audio track once, in any order, and nothing else.
TEST(Batch, TakesTheWholeDiscOnlyWithEveryAudioTrackOnce) {
    TrackTable table = Disc(4);
    const std::vector<bool> lastIsData = {false, false, false, true};
    auto whole = [&](const std::vector<int>& tracks, const std::vector<bool>& data) {
        Batch batch;
        StartBatch(&batch, tracks, table);
        return BatchTakesWholeDisc(batch, data);
    };
    EXPECT_TRUE(whole({1, 2, 3}, lastIsData));
    EXPECT_TRUE(whole({3, 1, 2}, lastIsData));
    EXPECT_TRUE(whole({1, 2, 3, 4}, {false, false, false, false}));
    EXPECT_FALSE(whole({1, 2}, lastIsData)) << "a track left out";
    EXPECT_FALSE(whole({1, 2, 2}, lastIsData)) << "a track twice, one left out";
    EXPECT_FALSE(whole({1, 2, 3, 4}, lastIsData)) << "the data track";
    EXPECT_FALSE(whole({1, 2, 3, 5}, lastIsData)) << "no such track";
    EXPECT_FALSE(whole({}, {})) << "no disc";
}

}  // namespace
