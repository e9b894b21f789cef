// Recordings through the sound card: a CD track while the CD plays it, the line input
// until Save, a partial recording started by hand, and a recording abandoned by a
// click on the time display. What lands on disk is checked sample for sample against
// the disc's material.
#include "quorrel_session.h"

namespace quorrel {
namespace {

using RecordFromCd = QuorrelTest;
using LineIn = QuorrelTest;
using Partial = QuorrelTest;
using Abandon = QuorrelTest;

// Three-second tracks: short enough to record a few in one test.
const std::vector<long> kThreeTracks = {225, 225, 225};

TEST_F(RecordFromCd, MiddleAndLastTrackHoldTheirPcmBitForBit) {
    InsertDisc(kThreeTracks);
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());

    ASSERT_TRUE(app_.ClickButton(kNextTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("2"); }, 2000));
    PressPlayFor("Middle");
    ASSERT_TRUE(Recording());
    // While the track records: the song name lower-cased with its ending, the commands
    // that would disturb the recording out of reach, and the clock running.
    EXPECT_EQ(app_.ControlText(kSongName), "middle.wav");
    EXPECT_FALSE(app_.IsEnabled(kSongName));
    EXPECT_TRUE(RecordingItemsGrayed(true));
    EXPECT_EQ(app_.ControlText(kExit), "Exit");
    EXPECT_TRUE(app_.IsEnabled(kExit));
    EXPECT_FALSE(app_.IsEnabled(kPlayBack));
    EXPECT_FALSE(app_.IsEnabled(kStopPlayBack));
    EXPECT_FALSE(app_.IsEnabled(kEject));
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_TRUE(ShowsPrompt("Recording WAV file..."));
    EXPECT_TRUE(harness::WaitUntil([&] { return ShowsClock(app_.CaptureClient(), "00", "01"); }, 2500))
        << "the clock does not count the recording";

    // The track's end saves the recording by itself.
    ASSERT_TRUE(Saved("middle.wav", 3000 + 4000));
    EXPECT_TRUE(RecordingItemsGrayed(false));
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    EXPECT_TRUE(app_.IsEnabled(kSongName));
    EXPECT_EQ(app_.ControlText(kExit), "E&xit");
    EXPECT_EQ(app_.ControlText(kPlay), "Play");
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_TRUE(app_.IsEnabled(kPlayBack));
    EXPECT_TRUE(app_.IsEnabled(kEject));
    EXPECT_TRUE(TrackButtonsEnabled());
    EXPECT_EQ(app_.Title(), "CD Quorrel");
    EXPECT_TRUE(ShowsTrack("2"));
    EXPECT_TRUE(ShowsLength(LengthText(frames_, 2)));
    EXPECT_TRUE(ShowsClock(Screen(), "00", "00")) << "the clock was not reset";
    // The whole prompt, also where it runs past the prompt-line area that the saving
    // notice overwrote.
    EXPECT_TRUE(ShowsPrompt("Enter song name or click here:"));

    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("middle.wav"), &wav));
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_TRUE(HoldsBetweenSilence(wav.data, TrackPcm(2), 4)) << "track 2";

    // The last track plays to the drive's length of it, one frame short of the leadout.
    ASSERT_TRUE(app_.ClickButton(kLastTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("3"); }, 2000));
    PressPlayFor("Last");
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(Saved("last.wav", 3000 + 4000));
    ASSERT_TRUE(ReadWavFile(ScratchPath("last.wav"), &wav));
    EXPECT_TRUE(HoldsBetweenSilence(wav.data, TrackPcm(3, frames_[2] - 1), 4)) << "track 3 but its last frame";
    EXPECT_TRUE(harness::ReadFileOrEmpty(ScratchPath("middle.wav")).size() > 44) << "the first recording is gone";
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(RecordFromCd, RecordsInTheSettingsFormatAndSavesNothingThatDidNotPlay) {
    WriteSettingsFile(SettingsFileBytes(8, 22050, 1, 128, 1, true, false));
    InsertDisc({225, 300, 1});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    PressPlayFor("small");
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(Saved("small.wav", 3000 + 4000));

    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("small.wav"), &wav));
    EXPECT_EQ(wav.rate, 22050);
    EXPECT_EQ(wav.bits, 8);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.byteRate, 22050u);
    EXPECT_EQ(wav.blockAlign, 1);
    // Halving the rate takes every second sample pair's place: the track lands on an
    // even or an odd pair after the lead-in, and converts accordingly.
    std::string track = TrackPcm(1);
    std::vector<int16_t> even(track.size() / 2), odd(track.size() / 2 + 2, 0);
    std::memcpy(even.data(), track.data(), track.size());
    std::memcpy(odd.data() + 2, track.data(), track.size());
    rig::WaveFormat format = {22050, 8, 1};
    std::vector<uint8_t> fromEven, fromOdd;
    std::string error;
    ASSERT_TRUE(rig::ConvertFromCd(even.data(), even.size() / 2, format, &fromEven, &error)) << error;
    ASSERT_TRUE(rig::ConvertFromCd(odd.data(), odd.size() / 2, format, &fromOdd, &error)) << error;
    // The odd case begins with the silent pair's own sample: skip it.
    std::string a(fromEven.begin(), fromEven.end()), b(fromOdd.begin() + 1, fromOdd.end());
    EXPECT_TRUE(wav.data.find(a) != std::string::npos || wav.data.find(b) != std::string::npos)
        << "track 1 converted to 22,050 Hz, 8 bits, mono is not in the recording";

    // A one-frame last track: the drive reports it a frame short, so nothing of it plays.
    auto idleWithoutFile = [&](const std::string& name) {
        EXPECT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay) && !app_.IsEnabled(kSave); }, 3000));
        EXPECT_TRUE(app_.NoMessageBoxWithin(2500)) << "a notice after the recording of " << name << " ended";
        EXPECT_FALSE(harness::FileExists(ScratchPath(name)));
        EXPECT_TRUE(RecordingItemsGrayed(false));
    };
    ASSERT_TRUE(app_.ClickButton(kLastTrack));
    PressPlayFor("empty");
    EXPECT_EQ(app_.AnswerMessageBox("CD Error", "OK").text,
              "Nothing of track 3 can be recorded: the drive reports no audio in it.");
    idleWithoutFile("empty.wav");

    // Another disc slipped in with the door never opened: the table still counts three
    // tracks, so the play of track 2 up to track 3 fails once the recording has begun.
    InsertDisc({150, 150}, "other");
    ASSERT_TRUE(app_.ClickButton(kPrevTrack));
    PressPlayFor("swapped");
    app_.AnswerMessageBox("CD Play Error", "OK");
    idleWithoutFile("swapped.wav");

    // The new disc is read; a third disc while its track records ends that recording.
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("1") && app_.IsEnabled(kPlay); }, 4000));
    PressPlayFor("changed");
    ASSERT_TRUE(Recording());
    InsertDisc({225, 225}, "third");
    EXPECT_EQ(app_.AnswerMessageBox("CD Error", "OK").text,
              "The CD stopped before the end of track 1 (the drive was opened or the disc was changed): the "
              "recording was not saved.");
    idleWithoutFile("changed.wav");
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(LineIn, RecordsTheLoopedInputUntilSave) {
    // Started in Partial CD Recording: Record from Line In switches it off, so Play
    // records at once, without a Start.
    WriteSettingsFile(SettingsFileBytes(16, 44100, 2, 128, 4, true, false));
    InsertDisc({225, 225});
    std::string loop = SetLineIn(8820);   // a fifth of a second
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    ASSERT_TRUE(app_.MenuChecked(kPartial));
    app_.PostCommand(kLineIn);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kLineIn); }, 2000));
    EXPECT_FALSE(app_.MenuChecked(kPartial));
    EXPECT_FALSE(app_.MenuChecked(kRecordCd));
    EXPECT_EQ(app_.ControlText(kPlay), "&Record");
    PressPlayFor("Line");
    ASSERT_TRUE(Recording());
    EXPECT_TRUE(ShowsTrack("L"));
    EXPECT_TRUE(RecordingItemsGrayed(true));
    EXPECT_EQ(app_.ControlText(kExit), "Exit");
    // Nothing ends a line-in recording but the user: two clock ticks go by.
    EXPECT_TRUE(app_.NoMessageBoxWithin(2200));
    EXPECT_TRUE(app_.IsEnabled(kSave));
    ASSERT_TRUE(SaveNow("line.wav"));

    EXPECT_EQ(app_.ControlText(kPlay), "Play");
    EXPECT_EQ(app_.ControlText(kExit), "E&xit");
    EXPECT_TRUE(RecordingItemsGrayed(false));
    EXPECT_TRUE(app_.MenuChecked(kLineIn));
    EXPECT_TRUE(app_.IsEnabled(kPlayBack));
    EXPECT_FALSE(app_.IsEnabled(kEject));
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_TRUE(ShowsTrack("L"));

    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("line.wav"), &wav));
    EXPECT_EQ(wav.rate, 44100);
    ASSERT_GE(wav.data.size(), loop.size() * 10) << "the recording stopped before Save";
    for (size_t at = 0; at < wav.data.size(); at += loop.size()) {
        size_t n = std::min(loop.size(), wav.data.size() - at);
        ASSERT_EQ(wav.data.compare(at, n, loop, 0, n), 0) << "the line input is not looped from its start, at " << at;
    }
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Partial, StartsByHandAndEndsBySaveOrByTheTrack) {
    InsertDisc({300, 300, 150});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    app_.PostCommand(kPartial);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kPartial); }, 2000));
    // Record from CD keeps Partial CD Recording, as its check mark says.
    ASSERT_TRUE(app_.SendCommand(kRecordCd));
    EXPECT_TRUE(app_.MenuChecked(kPartial));
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));

    // Play arms: the CD plays, the button offers Start, nothing can be saved yet.
    PressPlayFor("by hand");
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kPlay) == "Start"; }, 5000));
    EXPECT_TRUE(app_.IsEnabled(kPlay));
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_TRUE(RecordingItemsGrayed(true));
    EXPECT_TRUE(ShowsPrompt("Click on Start to record..."));
    Sleep(300);   // into the track
    ASSERT_TRUE(app_.ClickButton(kPlay));
    ASSERT_TRUE(Recording());
    EXPECT_TRUE(ShowsPrompt("Click on Save to stop..."));
    Sleep(500);
    ASSERT_TRUE(SaveNow("by hand.wav"));
    EXPECT_EQ(app_.ControlText(kPlay), "Play");
    EXPECT_TRUE(app_.MenuChecked(kPartial));

    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("by hand.wav"), &wav));
    std::string why, track = TrackPcm(1);
    size_t at = StretchOf(track, wav.data, 4, &why);
    ASSERT_NE(at, std::string::npos) << why;
    EXPECT_GT(at, 0u) << "the recording began with the track, not when Start was pressed";

    // Never pressing Save: the end of the track saves what was recorded.
    ASSERT_TRUE(app_.ClickButton(kNextTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("2"); }, 2000));
    PressPlayFor("to the end");
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kPlay) == "Start"; }, 5000));
    Sleep(300);
    ASSERT_TRUE(app_.ClickButton(kPlay));
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(Saved("to the end.wav", 4000 + 4000));
    ASSERT_TRUE(ReadWavFile(ScratchPath("to the end.wav"), &wav));
    track = TrackPcm(2);
    at = StretchOf(track, wav.data, 4, &why);
    ASSERT_NE(at, std::string::npos) << why;
    EXPECT_GT(wav.data.size(), track.size() - at) << "the recording did not reach the end of the track";

    // Never pressing Start: the track ends with nothing recorded, and no file claims
    // to hold a song.
    ASSERT_TRUE(app_.ClickButton(kLastTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("3"); }, 2000));
    PressPlayFor("never started");
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kPlay) == "Start"; }, 5000));
    harness::MessageBoxInfo box = app_.WaitForMessageBox("", 2000 + 4000);
    ASSERT_TRUE(box.box);
    EXPECT_NE(box.text, kSavedText) << "an empty recording was reported as a saved song";
    std::printf("track ended before Start: \"%s\": \"%s\"\n", box.title.c_str(), box.text.c_str());
    ASSERT_TRUE(app_.Answer(box, "OK"));
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kPlay) == "Play" && app_.IsEnabled(kPlay); }, 3000));
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_TRUE(RecordingItemsGrayed(false));
    EXPECT_FALSE(harness::FileExists(ScratchPath("never started.wav")));

    // Start pressed just after the track ended, before the clock tick saw it (the
    // button still reads "Start"): the same answer, and no file of silence. The tick
    // comes about every second from Play on; the 2-second track ends between two.
    PressPlayFor("too late");
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kPlay) == "Start"; }, 5000));
    Sleep(2300);
    if (app_.ControlText(kPlay) == "Start") {
        ASSERT_TRUE(app_.ClickButton(kPlay));
    }
    harness::MessageBoxInfo late = app_.WaitForMessageBox("", 3000);
    EXPECT_EQ(late.title, box.title);
    EXPECT_EQ(late.text, box.text);
    ASSERT_TRUE(app_.Answer(late, "OK"));
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kPlay) == "Play" && app_.IsEnabled(kPlay); }, 3000));
    EXPECT_FALSE(harness::FileExists(ScratchPath("too late.wav")));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Abandon, ClickOnTheTimeDisplayDropsTheRecording) {
    InsertDisc(kThreeTracks);
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    // Nothing records: the click does nothing.
    ASSERT_TRUE(ClickTimeDisplay());
    EXPECT_TRUE(app_.NoMessageBoxWithin(500));
    EXPECT_TRUE(app_.IsEnabled(kPlay));

    PressPlayFor("dropped");
    ASSERT_TRUE(Recording());
    // Just below the panel and just left of it: no abandon.
    ASSERT_TRUE(app_.Click(units_.X(100), units_.Y(31)));
    ASSERT_TRUE(app_.Click(units_.X(5), units_.Y(15)));
    EXPECT_FALSE(harness::WaitUntil([&] { return !app_.IsEnabled(kSave); }, 600)) << "a click beside the panel abandoned";
    ASSERT_TRUE(ClickTimeDisplay());
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000)) << "the click did not abandon";
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_EQ(app_.ControlText(kPlay), "Play");
    EXPECT_EQ(app_.ControlText(kExit), "E&xit");
    EXPECT_TRUE(app_.IsEnabled(kSongName));
    EXPECT_TRUE(RecordingItemsGrayed(false));
    EXPECT_FALSE(app_.IsEnabled(kPlayBack));
    EXPECT_TRUE(app_.IsEnabled(kEject));
    EXPECT_TRUE(TrackButtonsEnabled());
    EXPECT_TRUE(ShowsClock(Screen(), "00", "00"));
    // The track would have ended by now: nothing is saved, nothing asked.
    EXPECT_TRUE(app_.NoMessageBoxWithin(3500));
    EXPECT_FALSE(harness::FileExists(ScratchPath("dropped.wav")));

    // A line-in recording afterwards runs until Save, whatever the CD does.
    app_.PostCommand(kLineIn);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kLineIn); }, 2000));
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000));
    PressPlayFor("after");
    ASSERT_TRUE(Recording());
    EXPECT_TRUE(app_.NoMessageBoxWithin(2200)) << "the line-in recording ended by itself";
    ASSERT_TRUE(SaveNow("after.wav"));
    WavFile wav;
    EXPECT_TRUE(ReadWavFile(ScratchPath("after.wav"), &wav));

    // Exit drops a running recording: the program ends and writes nothing.
    PressPlayFor("cut short");
    ASSERT_TRUE(Recording());
    EXPECT_EQ(ExitProgram(), 0u);
    EXPECT_FALSE(harness::FileExists(ScratchPath("cut short.wav")));
}

}  // namespace
}  // namespace quorrel
