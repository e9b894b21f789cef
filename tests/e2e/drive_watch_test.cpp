// The drive poll while CD Quorrel runs: the door opened, a new disc, an empty drive; and
// the same watch, the track table and Eject on the rig's emulated drive, through
// Windows' own MCI CD driver.
#include "quorrel_session.h"

namespace quorrel {
namespace {

using DriveWatch = QuorrelTest;

TEST_F(DriveWatch, OpenDoorResetsTheTrackAndDisablesPlay) {
    InsertDisc({1500, 2600, 1900});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    app_.ClickButton(kLastTrack);   // whatever the track buttons do, the open door resets to track 1
    rigstate::SetDoorOpen(true);
    ASSERT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 4000))
        << "the poll did not notice the open door";
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_TRUE(app_.IsEnabled(kEject));
    EXPECT_TRUE(ShowsTrack("1"));
    EXPECT_TRUE(ShowsLength("00:00"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(1000));
}

TEST_F(DriveWatch, NewDiscIsReadByTheNextPoll) {
    InsertDisc({1500, 2600, 1900});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    rigstate::SetDoorOpen(true);
    ASSERT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 4000));
    InsertDisc({4400, 700}, "second");   // closes the door on another disc
    ASSERT_TRUE(DiscRead(4000)) << "the new disc was not read";
    EXPECT_TRUE(TrackButtonsEnabled());
    EXPECT_TRUE(ShowsLength(LengthText(frames_, 1)));
}

TEST_F(DriveWatch, EmptyDriveKeepsButtonsDisabled) {
    InsertDisc({1500, 2600});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    rigstate::SetDoorOpen(true);
    ASSERT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 4000));
    rigstate::SetDisc("");
    rigstate::SetDoorOpen(false);
    EXPECT_FALSE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000));
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_TRUE(app_.NoMessageBoxWithin(500)) << "the poll shows no messages";
}

TEST_F(DriveWatch, BrokenDiscImageReadsAsNoDisc) {
    std::string cue = harness::JoinPath(dir_, "broken.cue");
    ASSERT_TRUE(harness::WriteFile(cue, "FILE \"missing.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"));
    rigstate::SetDisc(cue);
    ASSERT_TRUE(Launch());
    EXPECT_EQ(app_.WaitForMessageBox("CD Error").text, "No audio CD present.");
}

// On the emulated drive the program meets Windows' own MCI CD driver: it reads the
// track table, sees the door opened and another disc, and Eject opens and closes the
// drive's tray.
TEST_F(DriveWatch, TheEmulatedDriveIsWatchedAndEjectedThroughWindowsOwnDriver) {
    rigstate::OfferEmulatedDrive(true);
    InsertDisc({1500, 2600, 1900});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    EXPECT_TRUE(ShowsLength(LengthText(frames_, 1)));
    rigstate::SetDoorOpen(true);
    ASSERT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 4000)) << "the open door is not seen";
    EXPECT_TRUE(ShowsLength("00:00"));
    InsertDisc({4400, 700}, "second");
    ASSERT_TRUE(DiscRead(4000)) << "the new disc was not read";
    ASSERT_TRUE(app_.ClickButton(kLastTrack));
    EXPECT_TRUE(harness::WaitUntil([&] { return ShowsLength(LengthText(frames_, 2)); }, 2000));
    ASSERT_TRUE(app_.ClickButton(kEject));
    EXPECT_TRUE(harness::WaitUntil([] { return rigstate::DoorOpen(); }, 2000)) << "Eject did not open the tray";
    ASSERT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 4000));
    ASSERT_TRUE(app_.ClickButton(kEject));
    EXPECT_TRUE(harness::WaitUntil([] { return !rigstate::DoorOpen(); }, 2000)) << "Eject did not close the tray";
    EXPECT_TRUE(DiscRead(4000));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500));
}

}  // namespace
}  // namespace quorrel
