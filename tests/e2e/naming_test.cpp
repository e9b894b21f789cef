// What becomes of the song name before anything is recorded: the ".wav" ending and
// lower case, the questions about "untitled" and about files that exist, the MP3
// ending, names no file can have, and the room on the target drive. Most of it runs
// in Record from Line In, where a recording is as short as the test wants.
#include <thread>

#include "quorrel_session.h"

namespace quorrel {
namespace {

const char kOverwriteText[] = "File name already exists. Overwrite current file?";

class Naming : public QuorrelTest {
protected:
    // Starts in Record from Line In, without a disc, and waits until Play is offered.
    void LaunchInLineIn(bool convertToMp3 = false, bool keepWav = true) {
        WriteSettingsFile(SettingsFileBytes(16, 44100, 2, 128, 2, keepWav, convertToMp3));
        SetLineIn(4410);
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead(4000));
    }
    // Records briefly under `song` and saves; the notice must carry `title`.
    void RecordBriefly(const std::string& song, const std::string& title) {
        PressPlayFor(song);
        ASSERT_TRUE(Recording());
        Sleep(300);
        ASSERT_TRUE(SaveNow(title));
    }
    // Play was refused: no recording runs and the commands are all still there.
    ::testing::AssertionResult Idle() {
        if (!harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000))
            return ::testing::AssertionFailure() << "Play is not offered";
        if (app_.IsEnabled(kSave)) return ::testing::AssertionFailure() << "a recording runs";
        if (!app_.IsEnabled(kSongName)) return ::testing::AssertionFailure() << "the song name field is disabled";
        // The items a recording grays that Record from Line In itself leaves alone.
        for (int id : {kWavParams, kRip, kRecordCd, kLineIn, kConvert})
            if (app_.MenuGrayed(id)) return ::testing::AssertionFailure() << "menu item " << id << " is grayed";
        return ::testing::AssertionSuccess();
    }
    static std::string Bytes(const std::string& path) { return harness::ReadFileOrEmpty(path); }
};

TEST_F(Naming, UntitledAsksAndCapitalUntitledDoesNot) {
    LaunchInLineIn();
    PressPlayFor("untitled");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Question");
    EXPECT_EQ(box.text, "Don't you want to save this song using a more original name?");
    EXPECT_TRUE(box.HasButton("Yes") && box.HasButton("No"));
    ASSERT_TRUE(app_.Answer(box, "Yes"));
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(app_.ControlText(kSongName) == "" || app_.ControlText(kSongName) == "untitled")
        << app_.ControlText(kSongName);

    // Capital U: no question, and the file is lower case all the same.
    PressPlayFor("Untitled");
    ASSERT_TRUE(Recording()) << "a question came: " << (app_.MessageBoxes().empty() ? "" : app_.MessageBoxes()[0].text);
    Sleep(300);
    ASSERT_TRUE(SaveNow("untitled.wav"));
    EXPECT_EQ(harness::ListFiles(dir_),
              (std::vector<std::string>{"CDQuorrel.ini", "line-in source.wav", "untitled.wav"}));

    // No goes on; the file of that name is asked about next.
    std::string first = Bytes(ScratchPath("untitled.wav"));
    PressPlayFor("untitled");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("Question"), "No"));
    box = app_.WaitForMessageBox("untitled.wav");
    EXPECT_EQ(box.text, kOverwriteText);
    ASSERT_TRUE(app_.Answer(box, "OK"));
    ASSERT_TRUE(Recording());
    Sleep(600);
    ASSERT_TRUE(SaveNow("untitled.wav"));
    EXPECT_NE(Bytes(ScratchPath("untitled.wav")), first) << "the second recording did not replace the first";
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Naming, Mp3EndingRecordsTheWavFileAndTurnsConversionOn) {
    // 22,050 Hz, 8-bit mono: a recording for MP3 is made at CD quality whatever is set.
    WriteSettingsFile(SettingsFileBytes(8, 22050, 1, 128, 2, true, false));
    SetLineIn(4410);
    ASSERT_TRUE(harness::WriteFile(ScratchPath("SONG.MP3"), "an older song"));
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead(4000));
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params));

    // The MP3 file of that name is asked about; Cancel keeps it.
    PressPlayFor("Song.MP3");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("song.mp3");
    EXPECT_EQ(box.text, kOverwriteText);
    EXPECT_TRUE(box.HasButton("OK") && box.HasButton("Cancel"));
    ASSERT_TRUE(app_.Answer(box, "Cancel"));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Bytes(ScratchPath("SONG.MP3")), "an older song");
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params)) << "the MP3 ending did not turn conversion on";

    PressPlayFor("Song.MP3");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("song.mp3"), "OK"));
    ASSERT_TRUE(Recording());
    EXPECT_EQ(app_.ControlText(kSongName), "song.wav");
    Sleep(500);
    // The recording is converted: the notice names the MP3 file, which replaces the older one.
    ASSERT_TRUE(SaveNow("song.mp3"));
    EXPECT_EQ(app_.ControlText(kSongName), "song.mp3");
    std::string mp3 = Bytes(ScratchPath("song.mp3"));
    // Past its ID3v2 tag: ten bytes of header, then a size of four 7-bit bytes.
    size_t at = mp3.compare(0, 3, "ID3") == 0 && mp3.size() > 10
                    ? 10 + ((mp3[6] & 0x7F) << 21 | (mp3[7] & 0x7F) << 14 | (mp3[8] & 0x7F) << 7 | (mp3[9] & 0x7F))
                    : 0;
    ASSERT_GT(mp3.size(), at + 417u) << "not even one 128 kbit/s frame";
    EXPECT_EQ(static_cast<uint8_t>(mp3[at]), 0xFF) << "the older song was not replaced by MPEG frames";
    EXPECT_EQ(static_cast<uint8_t>(mp3[at + 1]) & 0xFE, 0xFA) << "not MPEG-1 Layer III";
    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("song.wav"), &wav)) << "the WAV file is kept (Save WAV file is on)";
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.channels, 2);
    app_.PostCommand(kSaveSettings);
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("Save Settings"), "OK"));
    EXPECT_EQ(SettingsFile().substr(6), std::string("16" "44100" "2" "128" "2" "1" "1"));
    EXPECT_EQ(ExitProgram(), 0u);
}

// With Save WAV file off, the recording still goes first into the ".wav" file, which
// is then deleted: a file of that name is asked about like any other.
TEST_F(Naming, AWavFileThatIsNotToBeKeptIsAskedAboutToo) {
    LaunchInLineIn(true, false);
    ASSERT_TRUE(harness::WriteFile(ScratchPath("tune.wav"), "an older tune"));
    PressPlayFor("tune");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("", 5000);
    EXPECT_EQ(box.title, "tune.wav");
    EXPECT_EQ(box.text, kOverwriteText);
    ASSERT_TRUE(app_.Answer(box, "Cancel"));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Bytes(ScratchPath("tune.wav")), "an older tune");

    PressPlayFor("tune");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("tune.wav"), "OK"));
    ASSERT_TRUE(Recording());
    Sleep(300);
    ASSERT_TRUE(SaveNow("tune.mp3"));
    EXPECT_EQ(harness::ListFiles(dir_), (std::vector<std::string>{"CDQuorrel.ini", "line-in source.wav", "tune.mp3"}));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Naming, OverwriteCancelKeepsTheFileAndTheWorkingFolder) {
    LaunchInLineIn();
    std::string sub = ScratchPath("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(sub, "tune.wav"), "keep me"));

    PressPlayFor("sub\\Tune");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("tune.wav");
    EXPECT_EQ(box.text, kOverwriteText);
    EXPECT_TRUE(box.HasButton("OK") && box.HasButton("Cancel"));
    ASSERT_TRUE(app_.Answer(box, "Cancel"));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Bytes(harness::JoinPath(sub, "tune.wav")), "keep me");
    EXPECT_EQ(app_.ControlText(kSongName), "sub\\tune.wav");

    // A plain name lands in the program's own folder, not in the one just looked at.
    RecordBriefly("Plain", "plain.wav");
    EXPECT_TRUE(harness::FileExists(ScratchPath("plain.wav")));
    EXPECT_FALSE(harness::FileExists(harness::JoinPath(sub, "plain.wav")));

    // OK replaces the file in that folder, and the working folder comes back again.
    std::string full = harness::JoinPath(harness::FullPath(sub), "Tune");
    PressPlayFor(full);
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("tune.wav"), "OK"));
    ASSERT_TRUE(Recording());
    Sleep(300);
    std::string lower = full + ".wav";
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    ASSERT_TRUE(SaveNow(lower));
    WavFile wav;
    EXPECT_TRUE(ReadWavFile(harness::JoinPath(sub, "tune.wav"), &wav));
    RecordBriefly("Plain2", "plain2.wav");
    EXPECT_TRUE(harness::FileExists(ScratchPath("plain2.wav")));
    EXPECT_EQ(harness::ListFiles(sub), std::vector<std::string>{"tune.wav"});
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Naming, ExistingFileIsFoundWhateverTheCaseOfItsName) {
    LaunchInLineIn();
    ASSERT_TRUE(harness::WriteFile(ScratchPath("SONG.WAV"), "upper case"));
    PressPlayFor("song");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("", 5000);
    ASSERT_TRUE(box.box);
    EXPECT_EQ(box.title, "song.wav");
    EXPECT_EQ(box.text, kOverwriteText);
    ASSERT_TRUE(app_.Answer(box, "Cancel"));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Bytes(ScratchPath("SONG.WAV")), "upper case");

    PressPlayFor("song");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("song.wav"), "OK"));
    ASSERT_TRUE(Recording());
    Sleep(300);
    ASSERT_TRUE(SaveNow("song.wav"));
    WavFile wav;
    EXPECT_TRUE(ReadWavFile(ScratchPath("song.wav"), &wav));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Naming, AFileInUseIsReplacedWhenFreedAndAReadOnlyOneIsNeverLost) {
    LaunchInLineIn();
    // Another program reads the old take as Save replaces it, and lets go of it soon.
    ASSERT_TRUE(harness::WriteFile(ScratchPath("busy.wav"), "old take"));
    PressPlayFor("busy");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("busy.wav"), "OK"));
    ASSERT_TRUE(Recording());
    FILE* reader = fopen(ScratchPath("busy.wav").c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    std::thread letGo([reader] { Sleep(400); fclose(reader); });
    EXPECT_TRUE(SaveNow("busy.wav"));
    letGo.join();
    WavFile take;
    EXPECT_TRUE(ReadWavFile(ScratchPath("busy.wav"), &take));
    EXPECT_FALSE(harness::FileExists(ScratchPath("busy.wav.part")));

    std::string locked = ScratchPath("locked.wav");
    ASSERT_TRUE(harness::WriteFile(locked, "read-only song"));
    ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    PressPlayFor("locked");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("locked.wav"), "OK"));
    // Whatever comes next, the user is told, and the file is still there.
    harness::MessageBoxInfo box = app_.WaitForMessageBox("", 5000);
    EXPECT_FALSE(box.text.empty());
    if (box.box) {
        std::printf("read-only target: \"%s\": \"%s\"\n", box.title.c_str(), box.text.c_str());
        app_.Answer(box, "OK");
    }
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Bytes(locked), "read-only song");
    EXPECT_TRUE(app_.Running());
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Naming, NamesNoFileCanHaveAreRefused) {
    LaunchInLineIn();
    ASSERT_TRUE(CreateDirectoryA(ScratchPath("sub").c_str(), nullptr));
    ASSERT_TRUE(harness::WriteFile(ScratchPath("a.wav"), "older"));
    const std::vector<std::string> before = harness::ListFiles(dir_);

    // An empty name has its own message.
    app_.SetControlText(kSongName, "");
    ASSERT_TRUE(app_.ClickButton(kPlay));
    harness::MessageBoxInfo box = app_.WaitForMessageBox("FileName Error");
    EXPECT_EQ(box.text, "Please enter a file name after clicking on OK.");
    ASSERT_TRUE(app_.Answer(box, "OK"));
    EXPECT_TRUE(Idle());

    const std::string bad[] = {
        "a<b", "what?", "x|y", "st*r", "say \"a\"", "a>b", "co:lon",
        "sub.\\song", "sub \\song",                 // folder names ending in a dot or a blank
        ".wav", ".MP3",                            // only an ending
        "no such folder\\song",                    // a folder that does not exist
        std::string(252, 'a'),                     // ".wav" makes it 256 characters
        std::string(300, 'b') + ".wav",
        "nul", "Con.mp3", "lpt1 ", "sub\\aux",       // names of devices
        "..", "...", "  .. ",                       // dots only
    };
    for (const std::string& name : bad) {
        SCOPED_TRACE("song name \"" + name.substr(0, 40) + "\"");
        PressPlayFor(name);
        box = app_.WaitForMessageBox("", 5000);
        ASSERT_TRUE(box.box);
        EXPECT_FALSE(box.text.empty());
        std::printf("\"%s\": \"%s\": \"%s\"\n", name.substr(0, 24).c_str(), box.title.c_str(), box.text.c_str());
        ASSERT_TRUE(app_.Answer(box, "OK"));
        EXPECT_TRUE(Idle());
        EXPECT_TRUE(app_.NoMessageBoxWithin(300));
        ASSERT_TRUE(app_.Running());
    }
    // The message names the character at fault, a control character too.
    PressPlayFor("tab\there");
    EXPECT_EQ(app_.AnswerMessageBox("FileName Error", "OK").text,
              "A file name cannot contain control characters (code 9). Please choose another name.");
    EXPECT_TRUE(Idle());
    EXPECT_EQ(harness::ListFiles(dir_), before);
    EXPECT_TRUE(harness::ListFiles(ScratchPath("sub")).empty());
    EXPECT_EQ(Bytes(ScratchPath("a.wav")), "older");
    // A good name still records afterwards, without the blanks around it.
    RecordBriefly("   Good  .wav ", "good.wav");
    EXPECT_EQ(app_.ControlText(kSongName), "good.wav");
    EXPECT_TRUE(harness::FileExists(ScratchPath("good.wav")));
    EXPECT_EQ(ExitProgram(), 0u);
}

// Faults on the way to the disk while a recording runs: the target folder removed, or
// made read-only. The user is told, nothing that was there is lost, no partial file is
// left, and the program records again afterwards.
TEST_F(Naming, TargetFolderRemovedOrReadOnlyBeforeSave) {
    LaunchInLineIn();
    std::string gone = ScratchPath("gone");
    ASSERT_TRUE(CreateDirectoryA(gone.c_str(), nullptr));
    PressPlayFor("gone\\take");
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(harness::RemoveTree(gone));
    ASSERT_TRUE(app_.ClickButton(kSave));
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Save Wave Error");
    EXPECT_FALSE(box.text.empty());
    std::printf("folder removed before Save: \"%s\"\n", box.text.c_str());
    ASSERT_TRUE(app_.Answer(box, "OK"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500)) << "more than the failure was said";
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(app_.IsEnabled(kPlayBack)) << "nothing was saved to play back";
    EXPECT_FALSE(harness::DirExists(gone));

    // A folder that takes no new files any more: the take the user agreed to replace is
    // replaced, not lost; a new take cannot be saved, and is said so.
    std::string locked = ScratchPath("locked");
    ASSERT_TRUE(CreateDirectoryA(locked.c_str(), nullptr));
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(locked, "take.wav"), "an older take"));
    PressPlayFor("locked\\take");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("take.wav"), "OK"));
    ASSERT_TRUE(Recording());
    {
        ReadOnlyFolder readOnly(locked, dir_);
        if (!readOnly.Locked()) GTEST_SKIP() << "this machine cannot make a folder read-only for this user";
        EXPECT_EQ(Bytes(harness::JoinPath(locked, "take.wav")), "an older take") << "replaced before the save";
        ASSERT_TRUE(SaveNow("locked\\take.wav"));
        WavFile wav;
        EXPECT_TRUE(ReadWavFile(harness::JoinPath(locked, "take.wav"), &wav));
        PressPlayFor("locked\\new");
        ASSERT_TRUE(Recording());
        Sleep(300);
        ASSERT_TRUE(app_.ClickButton(kSave));
        EXPECT_FALSE(app_.AnswerMessageBox("Save Wave Error", "OK").text.empty());
        EXPECT_TRUE(Idle());
        EXPECT_EQ(harness::ListFiles(locked), std::vector<std::string>{"take.wav"});
    }
    RecordBriefly("after", "after.wav");
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Naming, TrackIsRefusedOnADriveWithoutRoom) {
    // A drive letter with no disk behind it: no room at all.
    char letter = 0;
    for (char c = 'q'; c <= 'y' && !letter; ++c) {
        char root[] = {c, ':', '\\', '\0'};
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) letter = c;
    }
    ASSERT_NE(letter, 0) << "no free drive letter";
    InsertDisc({225, 225});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    PressPlayFor(std::string(1, letter) + ":\\song");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("", 5000);
    EXPECT_EQ(box.title, "Disk Space Error");
    EXPECT_EQ(box.text,
              "Either there is not enough available disk space to record this track, or this is a removeable drive "
              "and you need to insert the disk.");
    ASSERT_TRUE(app_.Answer(box, "OK"));
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(harness::WaitUntil([&] { return FocusedControl() == app_.Control(kSongName); }, 2000))
        << "the song name field does not have the focus";
    // Line In has no length to estimate: the missing disk is found by its folder.
    ASSERT_TRUE(app_.SendCommand(kLineIn));
    PressPlayFor(std::string(1, letter) + ":\\song");
    EXPECT_FALSE(app_.AnswerMessageBox("FileName Error", "OK").text.empty());
    EXPECT_TRUE(Idle());
    EXPECT_EQ(ExitProgram(), 0u);
}

// A small disk: the estimate is made for the format the file will have, Line In asks
// room for a minute, and a save that finds the disk full keeps the file it would have
// replaced.
TEST_F(Naming, AFullDiskLosesNoFile) {
    harness::SmallDrive drive(1024, dir_);
    if (drive.Root().empty()) GTEST_SKIP() << "this machine cannot mount a small disk for the test";
    const std::string take = drive.Root() + "take.wav";
    // 8 bits, mono, 11,025 Hz with conversion on: the recording is made in CD format,
    // 1.4 MB for the 8-second track, which the disk cannot hold.
    WriteSettingsFile(SettingsFileBytes(8, 11025, 1, 128, 1, true, true));
    InsertDisc({600, 150});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    PressPlayFor(drive.Root() + "song");
    EXPECT_EQ(app_.AnswerMessageBox("Disk Space Error", "OK", 5000).text,
              "Either there is not enough available disk space to record this track, or this is a removeable drive "
              "and you need to insert the disk.");
    EXPECT_TRUE(Idle());
    EXPECT_EQ(ExitProgram(), 0u);

    // Record from Line In in the same small format: a minute takes 661,500 bytes.
    WriteSettingsFile(SettingsFileBytes(8, 11025, 1, 128, 2, true, false));
    SetLineIn(4410);
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead(4000));
    ASSERT_TRUE(drive.Fill(600 * 1024));
    PressPlayFor(drive.Root() + "take");
    EXPECT_EQ(app_.AnswerMessageBox("Disk Space Error", "OK", 5000).text,
              "There is not enough available disk space to record a minute, or this is a removeable drive and you "
              "need to insert the disk.");
    EXPECT_TRUE(Idle());
    ASSERT_TRUE(DeleteFileA((drive.Root() + "filler.bin").c_str()));
    // Room for a minute, but the disk fills while the take is recorded: the older take
    // of that name stays.
    ASSERT_TRUE(harness::WriteFile(take, "an older take"));
    PressPlayFor(drive.Root() + "take");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("take.wav"), "OK"));
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(drive.Fill(4096));
    Sleep(1500);
    ASSERT_TRUE(app_.ClickButton(kSave));
    EXPECT_FALSE(app_.AnswerMessageBox("Save Wave Error", "OK").text.empty());
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Bytes(take), "an older take");
    EXPECT_EQ(harness::ListFiles(drive.Root()), (std::vector<std::string>{"filler.bin", "take.wav"}));
    EXPECT_EQ(ExitProgram(), 0u);
}

// Two copies record Line In under one name: the take saved second does not replace the
// first unasked; Cancel keeps both.
TEST_F(Naming, TwoCopiesSavingOneNameKeepBothTakes) {
    LaunchInLineIn();
    harness::Program other;
    ASSERT_TRUE(Launch(other));
    ASSERT_TRUE(harness::WaitUntil([&] { return other.IsEnabled(kPlay); }, 4000));
    ASSERT_TRUE(other.SetControlText(kSongName, "take"));
    ASSERT_TRUE(other.ClickButton(kPlay));
    PressPlayFor("take");
    ASSERT_TRUE(Recording());
    Sleep(300);
    ASSERT_TRUE(other.ClickButton(kSave));
    EXPECT_EQ(other.AnswerMessageBox("take.wav", "OK").text, kSavedText);
    ASSERT_TRUE(app_.ClickButton(kSave));
    EXPECT_EQ(app_.AnswerMessageBox("take.wav", "Cancel").text, kOverwriteText);
    ASSERT_TRUE(Saved("take (2).wav"));
    WavFile first, second;
    EXPECT_TRUE(ReadWavFile(ScratchPath("take.wav"), &first));
    EXPECT_TRUE(ReadWavFile(ScratchPath("take (2).wav"), &second));
    EXPECT_EQ(app_.ControlText(kSongName), "take (2).wav");
    other.PostCommand(kExit);
    EXPECT_TRUE(other.WaitForExit(10000));
    EXPECT_EQ(ExitProgram(), 0u);
}

}  // namespace
}  // namespace quorrel
