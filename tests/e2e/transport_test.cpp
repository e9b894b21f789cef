// Moving around the disc and listening without recording: the track buttons, the
// Eject button, and Play Back / Stop Play Back of the last recording.
#include "quorrel_session.h"

#include <mmsystem.h>

namespace quorrel {
namespace {

class Transport : public QuorrelTest {
protected:
    // Presses a track button; success when the display then shows `track` and its length.
    ::testing::AssertionResult Moves(int button, int track) {
        if (!app_.ClickButton(button)) return ::testing::AssertionFailure() << "button " << button << " is not enabled";
        std::string number = std::to_string(track);
        if (!harness::WaitUntil([&] { return static_cast<bool>(ShowsTrack(number)); }, 2000))
            return ::testing::AssertionFailure() << "button " << button << ": " << ShowsTrack(number).message();
        ::testing::AssertionResult shown = ShowsLength(LengthText(frames_, track));
        if (!shown) return ::testing::AssertionFailure() << "button " << button << ": " << shown.message();
        return ::testing::AssertionSuccess();
    }
};

TEST_F(Transport, TrackButtonsWrapAroundTheDisc) {
    InsertDisc({150, 225, 300});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    EXPECT_TRUE(Moves(kPrevTrack, 3)) << "\"<\" from track 1";
    EXPECT_TRUE(Moves(kNextTrack, 1)) << "\">\" from track 3";
    EXPECT_TRUE(Moves(kNextTrack, 2));
    EXPECT_TRUE(Moves(kLastTrack, 3));
    EXPECT_TRUE(Moves(kPrevTrack, 2));
    EXPECT_TRUE(Moves(kFirstTrack, 1));
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Transport, TrackButtonsStayOnTheOnlyTrack) {
    InsertDisc({300});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("Error?"), "OK"));
    ASSERT_TRUE(DiscRead());
    for (int button : {kFirstTrack, kLastTrack, kNextTrack, kPrevTrack, kLastTrack})
        EXPECT_TRUE(Moves(button, 1));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Transport, EjectOpensAndClosesAndAnEmptyDriveStaysShut) {
    InsertDisc({225, 225});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    ASSERT_TRUE(app_.SetControlText(kSongName, "kept for later"));

    ASSERT_TRUE(app_.ClickButton(kEject));
    ASSERT_TRUE(harness::WaitUntil([] { return rigstate::DoorOpen(); }, 3000)) << "the door did not open";
    EXPECT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 2000));
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_TRUE(app_.IsEnabled(kEject));
    EXPECT_FALSE(app_.IsEnabled(kPlayBack));
    std::string field = app_.ControlText(kSongName);
    EXPECT_TRUE(field.empty() || field == "untitled") << field;
    EXPECT_TRUE(harness::WaitUntil([&] { return ShowsLength("00:00"); }, 3000));

    // Closing the door on the same disc: the poll reads it again.
    ASSERT_TRUE(app_.ClickButton(kEject));
    ASSERT_TRUE(harness::WaitUntil([] { return !rigstate::DoorOpen(); }, 3000)) << "the door did not close";
    ASSERT_TRUE(DiscRead(4000));
    EXPECT_TRUE(TrackButtonsEnabled());
    EXPECT_TRUE(ShowsLength(LengthText(frames_, 1)));

    // Two presses before the poll looks: out and in again, and the disc is read anew.
    ASSERT_TRUE(app_.SendCommand(kEject));
    ASSERT_TRUE(rigstate::DoorOpen());
    ASSERT_TRUE(app_.SendCommand(kEject));
    ASSERT_FALSE(rigstate::DoorOpen());
    EXPECT_TRUE(DiscRead(4000)) << "the disc was not read again after the door closed";
    EXPECT_TRUE(TrackButtonsEnabled());

    // Out with the disc, door shut by the button: an empty drive is not ready, so every
    // further press closes the door again instead of opening it.
    ASSERT_TRUE(app_.ClickButton(kEject));
    ASSERT_TRUE(harness::WaitUntil([] { return rigstate::DoorOpen(); }, 3000));
    rigstate::SetDisc("");
    ASSERT_TRUE(app_.ClickButton(kEject));
    ASSERT_TRUE(harness::WaitUntil([] { return !rigstate::DoorOpen(); }, 3000));
    for (int press = 0; press < 2; ++press) {
        ASSERT_TRUE(app_.ClickButton(kEject)) << "Eject is not offered for an empty drive";
        EXPECT_FALSE(harness::WaitUntil([] { return rigstate::DoorOpen(); }, 1200)) << "the door opened, press " << press;
    }
    EXPECT_FALSE(app_.IsEnabled(kPlay));
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Transport, PlayBackEndsByItselfAsStopPlayBackEndsIt) {
    InsertDisc({225, 225});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    EXPECT_FALSE(app_.IsEnabled(kPlayBack)) << "nothing recorded yet";
    PressPlayFor("short");
    ASSERT_TRUE(Recording());
    Sleep(800);
    ASSERT_TRUE(SaveNow("short.wav"));
    ASSERT_TRUE(app_.IsEnabled(kPlayBack));

    struct Buttons {
        bool play, save, playBack, stop, eject, tracks;
        bool operator==(const Buttons& o) const {
            return play == o.play && save == o.save && playBack == o.playBack && stop == o.stop && eject == o.eject &&
                   tracks == o.tracks;
        }
    };
    auto buttons = [&] {
        return Buttons{app_.IsEnabled(kPlay), app_.IsEnabled(kSave), app_.IsEnabled(kPlayBack),
                       app_.IsEnabled(kStopPlayBack), app_.IsEnabled(kEject), TrackButtonsEnabled()};
    };
    const Buttons playing = {false, false, false, true, false, false};
    const Buttons idle = {true, false, true, false, true, true};

    ASSERT_TRUE(app_.ClickButton(kPlayBack));
    ASSERT_TRUE(harness::WaitUntil([&] { return buttons() == playing; }, 3000)) << "play-back did not start";
    EXPECT_TRUE(TrackButtonsDisabled());
    ASSERT_TRUE(app_.ClickButton(kStopPlayBack));
    ASSERT_TRUE(harness::WaitUntil([&] { return buttons() == idle; }, 3000)) << "Stop Play Back";
    EXPECT_TRUE(ShowsClock(Screen(), "00", "00"));

    // To the end of the file, about a second: the same buttons as after the stop.
    ASSERT_TRUE(app_.ClickButton(kPlayBack));
    ASSERT_TRUE(harness::WaitUntil([&] { return buttons() == playing; }, 3000)) << "play-back did not start again";
    ASSERT_TRUE(harness::WaitUntil([&] { return buttons() == idle; }, 6000)) << "the end of the file";
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));

    // The file removed behind the program's back: the system's text for it.
    ASSERT_TRUE(DeleteFileA(ScratchPath("short.wav").c_str()));
    ASSERT_TRUE(app_.ClickButton(kPlayBack));
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Open NewWave Error");
    char text[128] = "";
    ASSERT_TRUE(mciGetErrorStringA(MCIERR_FILE_NOT_FOUND, text, sizeof text));
    EXPECT_EQ(box.text, text);
    ASSERT_TRUE(app_.Answer(box, "OK"));
    // Nothing plays: the drive is watched again.
    EXPECT_FALSE(app_.IsEnabled(kStopPlayBack));
    rigstate::SetDoorOpen(true);
    EXPECT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 4000))
        << "the drive is no longer watched after the failed play-back";
    EXPECT_EQ(ExitProgram(), 0u);
}

}  // namespace
}  // namespace quorrel
