// The track selection dialog (Options > Tracks to Record...) and the batches it sets up:
// tracks chosen, ordered and renamed in the dialog are recorded one after the other into
// files named after them, checked sample for sample against the disc's material.
#include "quorrel_session.h"

#include "discid.h"
#include "http_server.h"

namespace quorrel {
namespace {

const char kTracksTitle[] = "Select Tracks to Record";
const int kDiscList = IDC_TRACKS_DISC, kRecordList = IDC_TRACKS_RECORD, kRename = IDC_TRACKS_RENAME,
          kClear = IDC_TRACKS_CLEAR;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

using Texts = std::vector<std::string>;

class Tracks : public QuorrelTest {
protected:
    void Start(const std::vector<long>& frames) {
        InsertDisc(frames);
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead());
    }

    // Options > Tracks to Record...; the dialog once it shows.
    bool Open() {
        app_.PostCommand(kTracksMenu);
        dialog_ = app_.WaitForMessageBox(kTracksTitle, 5000);
        return dialog_.box != nullptr;
    }
    HWND Item(int id) const { return GetDlgItem(dialog_.box, id); }
    Texts Entries(int list) const { return ListBoxTexts(Item(list)); }
    std::string RenameField() const { return harness::Text(Item(kRename)); }

    // What the user's mouse does to the lists: select an entry, then the notification the
    // list sends. Returns once the dialog has handled it.
    bool Notify(int list, int index, WORD code) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(Item(list), LB_SETCURSEL, index, 0, SMTO_NORMAL, 3000, &result) &&
               SendMessageTimeoutA(dialog_.box, WM_COMMAND, MAKEWPARAM(list, code),
                                   reinterpret_cast<LPARAM>(Item(list)), SMTO_NORMAL, 3000, &result);
    }
    bool Add(int track) { return Notify(kDiscList, track - 1, LBN_DBLCLK); }
    bool Choose(int entry) { return Notify(kRecordList, entry, LBN_SELCHANGE); }

    bool SetRenameField(const std::string& text) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(Item(kRename), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                                   3000, &result);
    }
    // Keys go through the dialog's message loop, as typed keys do; Sync() waits for them.
    bool PostKey(UINT key) {
        return PostMessageA(Item(kRename), WM_KEYDOWN, key, 1) &&
               PostMessageA(Item(kRename), WM_KEYUP, key, 0xC0000001);
    }
    bool PostChars(const std::string& text) {
        for (char c : text)
            if (!PostMessageA(Item(kRename), WM_CHAR, static_cast<unsigned char>(c), 1)) return false;
        return true;
    }
    // Waits until every message posted to the dialog so far has been handled: posts a
    // marker behind them (another selection in the disc list, harmless there) and waits
    // for it.
    ::testing::AssertionResult Sync() {
        int marker = SendMessageA(Item(kDiscList), LB_GETCURSEL, 0, 0) == 0 ? 1 : 0;
        if (!PostMessageA(Item(kDiscList), LB_SETCURSEL, marker, 0))
            return ::testing::AssertionFailure() << "the dialog is gone";
        return harness::WaitUntil(
            [&] { return IsWindow(dialog_.box) && SendMessageA(Item(kDiscList), LB_GETCURSEL, 0, 0) == marker; }, 3000);
    }
    bool Enter() { return PostKey(VK_RETURN) && Sync(); }

    bool Press(int id) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(Item(id), BM_CLICK, 0, 0, SMTO_NORMAL, 3000, &result);
    }
    // Save or Cancel; succeeds once the dialog has closed and the main window shows the
    // song name the dialog left.
    ::testing::AssertionResult Close(int button, const std::string& songName) {
        if (!app_.Answer(dialog_, button)) return ::testing::AssertionFailure() << "the dialog did not close";
        return ShowsSongName(songName);
    }
    // Save, which tells `notice` about the entries it leaves out; then as Close.
    ::testing::AssertionResult SaveLeavingOut(const std::string& notice, const std::string& songName) {
        PostMessageA(dialog_.box, WM_COMMAND, IDOK, 0);
        harness::MessageBoxInfo box = app_.AnswerMessageBox("Tracks to Record", "OK");
        if (box.text != notice) return ::testing::AssertionFailure() << "Save said \"" << box.text << "\"";
        if (!harness::WaitUntil([&] { return !IsWindow(dialog_.box); }, 3000))
            return ::testing::AssertionFailure() << "the dialog did not close";
        return ShowsSongName(songName);
    }
    ::testing::AssertionResult ShowsSongName(const std::string& songName) {
        return harness::WaitUntil([&] { return app_.ControlText(kSongName) == songName; }, 3000)
               << "song name field: \"" << app_.ControlText(kSongName) << "\", expected \"" << songName << "\"";
    }
    // Whether the main window shows `track` as the current track with its length.
    ::testing::AssertionResult ShowsCurrent(int track) {
        ::testing::AssertionResult shown = ShowsTrack(std::to_string(track));
        if (!shown) return shown;
        return ShowsLength(LengthText(frames_, track));
    }

    // The recording of `path` holds `track` of the disc bit for bit, with silence around.
    ::testing::AssertionResult HoldsTrack(const std::string& path, int track) {
        WavFile wav;
        ::testing::AssertionResult read = ReadWavFile(path, &wav);
        if (!read) return read;
        return HoldsBetweenSilence(wav.data, TrackPcm(track, track == static_cast<int>(frames_.size())
                                                                  ? frames_.back() - 1
                                                                  : frames_[track - 1]),
                                   4);
    }

    harness::MessageBoxInfo dialog_;
};

// Twelve tracks, short ones; the last three differ in length from the rest.
const std::vector<long> kTwelveTracks = {150, 150, 150, 150, 150, 150, 150, 150, 150, 225, 300, 375};

TEST_F(Tracks, AddRenameRemoveAndTheSavedEntries) {
    Start(kTwelveTracks);
    ASSERT_TRUE(Open());
    Texts disc;
    for (int n = 1; n <= 12; ++n) disc.push_back("Track" + std::to_string(n));
    EXPECT_EQ(Entries(kDiscList), disc);
    EXPECT_TRUE(Entries(kRecordList).empty());
    EXPECT_EQ(FocusedControl(), Item(kRename)) << "the rename field has the focus at the opening";

    // A two-digit entry stands for its own track.
    ASSERT_TRUE(Add(12));
    EXPECT_EQ(Entries(kRecordList), Texts({"Track12"}));
    // Enter with an empty field, and Enter before an entry was chosen, change nothing;
    // neither presses Save.
    ASSERT_TRUE(Enter());
    ASSERT_TRUE(SetRenameField("Nowhere"));
    ASSERT_TRUE(Enter());
    EXPECT_EQ(Entries(kRecordList), Texts({"Track12"}));

    ASSERT_TRUE(Choose(0));
    EXPECT_EQ(RenameField(), "Track12");
    ASSERT_TRUE(SetRenameField("Intro"));
    ASSERT_TRUE(Enter()) << "Enter closed the dialog";
    EXPECT_EQ(Entries(kRecordList), Texts({"Intro"}));
    EXPECT_EQ(RenameField(), "Intro");
    EXPECT_EQ(SendMessageA(Item(kRecordList), LB_GETCURSEL, 0, 0), LB_ERR) << "an entry stays selected";

    // The same track twice; a removal empties the field and takes the track's name,
    // so its twin entry no longer stands for a track.
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Add(5));
    ASSERT_TRUE(Add(5));
    ASSERT_TRUE(Choose(3));
    EXPECT_EQ(RenameField(), "Track5");
    ASSERT_TRUE(Notify(kRecordList, 3, LBN_DBLCLK));
    EXPECT_EQ(Entries(kRecordList), Texts({"Intro", "Track3", "Track3", "Track5"}));
    EXPECT_EQ(RenameField(), "");
    // After the removal there is nothing to rename until an entry is chosen.
    ASSERT_TRUE(SetRenameField("Stray"));
    ASSERT_TRUE(Enter());
    EXPECT_EQ(Entries(kRecordList), Texts({"Intro", "Track3", "Track3", "Track5"}));

    // Save: the entry that stands for no track is left out, and the user is told; the
    // first track of the batch is shown under its name.
    ASSERT_TRUE(SaveLeavingOut("No track has the name \"Track5\", so this entry is left out. Add the track again "
                               "from the left-hand list to record it.",
                               "Intro.wav"));
    EXPECT_TRUE(ShowsCurrent(12));

    // The next opening shows what was saved, in order.
    ASSERT_TRUE(Open());
    EXPECT_EQ(Entries(kRecordList), Texts({"Intro", "Track3", "Track3"}));
    ASSERT_TRUE(Choose(1));
    ASSERT_TRUE(SetRenameField("Middle"));
    ASSERT_TRUE(Enter());
    ASSERT_TRUE(SaveLeavingOut("No track has the name \"Track3\", so this entry is left out. Add the track again "
                               "from the left-hand list to record it.",
                               "Intro.wav"))
        << "the twin of the renamed entry";
    ASSERT_TRUE(Open());
    EXPECT_EQ(Entries(kRecordList), Texts({"Intro", "Middle"})) << "after a second Save";

    // Cancel leaves no batch at all: track 1, "untitled", and an empty list next time.
    ASSERT_TRUE(Close(IDCANCEL, "untitled"));
    EXPECT_TRUE(ShowsCurrent(1));
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Entries(kRecordList).empty());
    EXPECT_EQ(Entries(kDiscList).size(), 12u);
    ASSERT_TRUE(Close(IDCANCEL, "untitled"));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Tracks, ANameNoFileCanHaveIsRefused) {
    Start({150, 150});
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(1));
    ASSERT_TRUE(Choose(0));
    ASSERT_TRUE(SetRenameField("AC/DC: Live?"));
    ASSERT_TRUE(PostKey(VK_RETURN));
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Rename", 5000);
    EXPECT_EQ(box.text, "A track name becomes a file name. A file name cannot contain the character /. Please choose "
                        "another name.");
    ASSERT_TRUE(app_.Answer(box, "OK"));
    EXPECT_EQ(Entries(kRecordList), Texts({"Track1"}));
    ASSERT_TRUE(SetRenameField(" nul "));
    ASSERT_TRUE(PostKey(VK_RETURN));
    EXPECT_EQ(app_.AnswerMessageBox("Rename", "OK").text,
              "A track name becomes a file name. \"nul\" is the name of a device, not of a file. Please choose another "
              "name.");
    EXPECT_EQ(Entries(kRecordList), Texts({"Track1"}));

    // Nor may two tracks get names that make one file: the later would replace the
    // earlier. Names that differ in case only, or not at all, are refused.
    ASSERT_TRUE(Add(2));
    ASSERT_TRUE(Choose(0));
    ASSERT_TRUE(SetRenameField("Song"));
    ASSERT_TRUE(Enter());
    for (const char* same : {"SONG", "Song"}) {
        ASSERT_TRUE(Choose(1));
        ASSERT_TRUE(SetRenameField(same));
        ASSERT_TRUE(PostKey(VK_RETURN));
        EXPECT_EQ(app_.AnswerMessageBox("Rename", "OK").text,
                  "\"Song\" and \"" + std::string(same) +
                      "\" would both be saved as song.wav, the one replacing the other. Please give one of them "
                      "another name.");
        EXPECT_EQ(Entries(kRecordList), Texts({"Song", "Track2"}));
    }
    // A track named like another track before that track was added: Save refuses.
    ASSERT_TRUE(Notify(kRecordList, 0, LBN_DBLCLK));
    ASSERT_TRUE(Choose(0));
    ASSERT_TRUE(SetRenameField("Track1"));
    ASSERT_TRUE(Enter());
    ASSERT_TRUE(Add(1));
    EXPECT_EQ(Entries(kRecordList), Texts({"Track1", "Track1"}));
    PostMessageA(dialog_.box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(app_.AnswerMessageBox("Tracks to Record", "OK").text,
              "\"Track1\" and \"Track1\" would both be saved as track1.wav, the one replacing the other. Please "
              "give one of them another name.");
    EXPECT_TRUE(IsWindow(dialog_.box)) << "Save closed the dialog";
    ASSERT_TRUE(Close(IDCANCEL, "untitled"));
}

TEST_F(Tracks, ClearLongNamesAndMoreThanAHundredEntries) {
    Start(kTwelveTracks);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(10));
    ASSERT_TRUE(Close(IDOK, "Track10.wav"));
    EXPECT_TRUE(ShowsCurrent(10));

    // Clear empties the list at once; Save then leaves no batch.
    ASSERT_TRUE(Open());
    EXPECT_EQ(Entries(kRecordList), Texts({"Track10"}));
    ASSERT_TRUE(Press(kClear));
    EXPECT_TRUE(Entries(kRecordList).empty());
    ASSERT_TRUE(Close(IDOK, "untitled"));
    EXPECT_TRUE(ShowsCurrent(1));

    // A name holds 49 characters: typing stops there.
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(11));
    ASSERT_TRUE(Choose(0));
    ASSERT_TRUE(SetRenameField(""));
    const std::string typed(60, 'x');
    ASSERT_TRUE(PostChars(typed));
    ASSERT_TRUE(Sync());
    EXPECT_EQ(RenameField(), typed.substr(0, 49));
    ASSERT_TRUE(Enter());
    EXPECT_EQ(Entries(kRecordList), Texts({typed.substr(0, 49)}));

    // The batch holds 100 tracks; entries past them are left out, and the user is told.
    for (int i = 0; i < 104; ++i) ASSERT_TRUE(Add(2));
    ASSERT_EQ(Entries(kRecordList).size(), 105u);
    ASSERT_TRUE(SaveLeavingOut("Only 100 tracks are recorded at a time: the last 5 entries are left out.",
                               typed.substr(0, 49) + ".wav"));
    EXPECT_TRUE(ShowsCurrent(11));
    ASSERT_TRUE(Open());
    Texts saved = Entries(kRecordList);
    ASSERT_EQ(saved.size(), 100u);
    EXPECT_EQ(saved.front(), typed.substr(0, 49));
    EXPECT_EQ(saved.back(), "Track2");
    ASSERT_TRUE(Close(IDCANCEL, "untitled"));
    EXPECT_EQ(ExitProgram(), 0u);
}

// Two-, three- and two-second tracks.
const std::vector<long> kShortDisc = {150, 225, 150};

using Batch = Tracks;

TEST_F(Batch, RecordsEachTrackUnderItsNameInTheFirstFilesFolder) {
    Start(kShortDisc);
    const std::string folder = ScratchPath("Batch");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    // A file of the batch's name already there is asked about, once for the batch.
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(folder, "track1.wav"), "not a recording"));

    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(2));
    ASSERT_TRUE(Add(1));
    ASSERT_TRUE(Choose(0));
    ASSERT_TRUE(SetRenameField("Second Song"));
    ASSERT_TRUE(Enter());
    ASSERT_TRUE(Close(IDOK, "Second Song.wav"));
    EXPECT_TRUE(ShowsCurrent(2));

    // The user names the first file into a folder: the batch records there. Cancel to
    // the question keeps the file and records nothing.
    const std::string question = "Files of the chosen tracks already exist: " +
                                 Lower(harness::JoinPath(folder, "track1.wav")) + ". Overwrite them?";
    PressPlayFor(harness::JoinPath(folder, "First.wav"));
    EXPECT_EQ(app_.AnswerMessageBox("Tracks to Record", "Cancel").text, question);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000));
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_EQ(harness::ReadFileOrEmpty(harness::JoinPath(folder, "track1.wav")), "not a recording");
    PressPlayFor(harness::JoinPath(folder, "First.wav"));
    EXPECT_EQ(app_.AnswerMessageBox("Tracks to Record", "OK").text, question);
    ASSERT_TRUE(Recording());
    EXPECT_EQ(app_.ControlText(kSongName), Lower(harness::JoinPath(folder, "second song.wav")));
    EXPECT_TRUE(ShowsTrack("2"));
    EXPECT_TRUE(ShowsPrompt("Recording WAV file..."));
    // When track 2 ends, track 1 follows at once, with no notice in between.
    ASSERT_TRUE(harness::WaitUntil(
        [&] { return app_.ControlText(kSongName) == Lower(harness::JoinPath(folder, "track1.wav")); }, 3000 + 4000))
        << "track 1 did not follow track 2; showing " << app_.ControlText(kSongName);
    EXPECT_TRUE(app_.IsEnabled(kSave));
    EXPECT_TRUE(ShowsTrack("1"));
    ASSERT_TRUE(BatchSaved(2000 + 4000));
    EXPECT_TRUE(RecordingItemsGrayed(false));
    EXPECT_TRUE(app_.IsEnabled(kSongName));

    EXPECT_TRUE(HoldsTrack(harness::JoinPath(folder, "second song.wav"), 2));
    EXPECT_TRUE(HoldsTrack(harness::JoinPath(folder, "track1.wav"), 1));
    EXPECT_EQ(harness::ListFiles(folder), Texts({"second song.wav", "track1.wav"}));
    EXPECT_FALSE(harness::FileExists(ScratchPath("second song.wav")));

    // Play Back plays the last file saved, track 1's: the first one may go.
    ASSERT_TRUE(DeleteFileA(harness::JoinPath(folder, "second song.wav").c_str()));
    ASSERT_TRUE(app_.ClickButton(kPlayBack));
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kStopPlayBack); }, 3000));
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    ASSERT_TRUE(app_.ClickButton(kStopPlayBack));
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000));

    // The batch is over: the next Play records one track, with the usual notice.
    PressPlayFor("alone");
    ASSERT_TRUE(Recording());
    EXPECT_TRUE(ShowsTrack("1"));
    ASSERT_TRUE(Saved("alone.wav", 2000 + 4000));
    EXPECT_TRUE(HoldsTrack(ScratchPath("alone.wav"), 1));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Batch, SameTrackTwiceWithoutTheNamingQuestions) {
    Start(kShortDisc);
    ASSERT_TRUE(harness::WriteFile(ScratchPath("track3.wav"), "not a recording"));
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Close(IDOK, "Track3.wav"));
    EXPECT_TRUE(ShowsCurrent(3));

    // "untitled" is not questioned in a batch; the file that exists is, once.
    PressPlayFor("untitled");
    EXPECT_EQ(app_.AnswerMessageBox("Tracks to Record", "OK").text,
              "Files of the chosen tracks already exist: track3.wav. Overwrite them?");
    ASSERT_TRUE(Recording());
    EXPECT_EQ(app_.ControlText(kSongName), "track3.wav");
    // The first recording lands; taking it away shows that a second one follows.
    WavFile first;
    ASSERT_TRUE(harness::WaitUntil([&] { return bool(ReadWavFile(ScratchPath("track3.wav"), &first)); }, 2000 + 4000))
        << "the first recording of track 3 was not saved";
    ASSERT_TRUE(harness::WaitUntil([&] { return DeleteFileA(ScratchPath("track3.wav").c_str()) != 0; }, 2000));
    ASSERT_TRUE(BatchSaved(2000 + 4000));
    EXPECT_TRUE(HoldsTrack(ScratchPath("track3.wav"), 3)) << "the second recording of track 3";
    EXPECT_TRUE(HoldsBetweenSilence(first.data, TrackPcm(3, frames_[2] - 1), 4)) << "the first recording";
    EXPECT_FALSE(harness::FileExists(ScratchPath("untitled.wav")));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Batch, AnotherDiscOrAnotherSourceEndsTheBatch) {
    Start(kShortDisc);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(2));
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Close(IDOK, "Track2.wav"));

    // The door opened while track 2 records and closed on another disc: the recording
    // ends unsaved, with no track of the batch after it, and the new disc is read.
    ASSERT_TRUE(app_.ClickButton(kPlay));
    ASSERT_TRUE(Recording());
    rigstate::SetDoorOpen(true);
    EXPECT_EQ(app_.AnswerMessageBox("CD Error", "OK", 4000).text,
              "The CD stopped before the end of track 2 (the drive was opened or the disc was changed): the "
              "recording was not saved.");
    EXPECT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 3000));
    InsertDisc({450, 375}, "other");
    EXPECT_TRUE(harness::WaitUntil([&] { return ShowsTrack("1") && ShowsLength(LengthText(frames_, 1)); }, 4000))
        << "the new disc was not read";
    EXPECT_TRUE(app_.NoMessageBoxWithin(2000));
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_FALSE(harness::FileExists(ScratchPath("track2.wav")));
    EXPECT_FALSE(harness::FileExists(ScratchPath("track3.wav")));

    // A batch, then Record from Line In: one Save saves one recording.
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(1));
    ASSERT_TRUE(Close(IDOK, "Track1.wav"));
    app_.PostCommand(kLineIn);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kLineIn) && app_.IsEnabled(kPlay); }, 3000));
    PressPlayFor("line");
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(SaveNow("line.wav"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500));
    EXPECT_FALSE(app_.IsEnabled(kSave)) << "another recording began by itself";
    EXPECT_FALSE(harness::FileExists(ScratchPath("track1.wav")));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Batch, OpeningTheDoorDropsTheBatch) {
    Start(kShortDisc);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(2));
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Close(IDOK, "Track2.wav"));

    rigstate::SetDoorOpen(true);
    ASSERT_TRUE(harness::WaitUntil([&] { return !app_.IsEnabled(kPlay); }, 3000)) << "the poll missed the open door";
    rigstate::SetDoorOpen(false);
    ASSERT_TRUE(DiscRead());
    EXPECT_TRUE(ShowsTrack("1"));

    // Play records the current track alone, under the typed name.
    PressPlayFor("single");
    ASSERT_TRUE(Recording());
    EXPECT_EQ(app_.ControlText(kSongName), "single.wav");
    ASSERT_TRUE(Saved("single.wav", 2000 + 4000));
    EXPECT_TRUE(HoldsTrack(ScratchPath("single.wav"), 1));
    EXPECT_FALSE(harness::FileExists(ScratchPath("track2.wav")));
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Entries(kRecordList).empty());
    ASSERT_TRUE(Close(IDCANCEL, "untitled"));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Batch, PlayAfterTheLastTrackWasAbandonedRecordsTheCurrentTrackAlone) {
    Start(kShortDisc);
    // A longer batch first, then a batch of one: the slot after it still holds track 1.
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Add(1));
    ASSERT_TRUE(Close(IDOK, "Track3.wav"));
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Press(kClear));
    ASSERT_TRUE(Add(2));
    ASSERT_TRUE(Close(IDOK, "Track2.wav"));

    ASSERT_TRUE(app_.ClickButton(kPlay));
    ASSERT_TRUE(Recording());
    EXPECT_EQ(app_.ControlText(kSongName), "track2.wav");
    ASSERT_TRUE(ClickTimeDisplay());
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay) && !app_.IsEnabled(kSave); }, 3000))
        << "the click did not abandon";
    EXPECT_FALSE(harness::FileExists(ScratchPath("track2.wav")));

    // The batch is spent: Play records track 2 on its own, under the name shown.
    ASSERT_TRUE(app_.ClickButton(kPlay));
    ASSERT_TRUE(Recording());
    EXPECT_TRUE(ShowsTrack("2"));
    EXPECT_EQ(app_.ControlText(kSongName), "track2.wav");
    ASSERT_TRUE(Saved("track2.wav", 3000 + 4000));
    EXPECT_TRUE(HoldsTrack(ScratchPath("track2.wav"), 2));
    EXPECT_FALSE(harness::FileExists(ScratchPath("track1.wav"))) << "a track of an old batch was recorded";
    EXPECT_EQ(ExitProgram(), 0u);
}

}  // namespace
}  // namespace quorrel

namespace quorrel {
namespace {

TEST_F(Batch, RipsEachChosenTrackBitForBit) {
    Start({100, 131, 60});
    app_.PostCommand(kRip);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRip); }, 2000));
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Add(3));
    ASSERT_TRUE(Add(2));
    ASSERT_TRUE(Close(IDOK, "Track3.wav"));

    // One Play rips both, the second inside the first, each file named after its track.
    app_.PostCommand(kPlay);
    std::string last = ScratchPath("track3.wav"), middle = ScratchPath("track2.wav");
    ASSERT_TRUE(harness::WaitUntil(
        [&] {
            return harness::ReadFileOrEmpty(middle).size() == 44u + 131 * 2352 && app_.IsEnabled(kEject) &&
                   app_.IsEnabled(kSongName);
        },
        15000))
        << "the batch did not rip track 2 after track 3";
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(harness::ReadFileOrEmpty(last).substr(44), TrackPcm(3, 60)) << "track 3 runs to the lead-out";
    EXPECT_EQ(harness::ReadFileOrEmpty(middle).substr(44), TrackPcm(2));
    EXPECT_EQ(app_.ControlText(kSongName), "track2.wav");
    EXPECT_TRUE(ShowsTrack("2"));
    // One log for the batch, named after its first file.
    std::string log = harness::ReadFileOrEmpty(ScratchPath("track3.log"));
    size_t third = log.find("\r\nTrack 3: track3.wav\r\n"), second = log.find("\r\nTrack 2: track2.wav\r\n");
    EXPECT_TRUE(third != std::string::npos && second != std::string::npos && third < second) << log;
    EXPECT_FALSE(harness::FileExists(ScratchPath("track2.log")));

    // The batch is over: the next rip is of the current track alone, with its own log.
    PressPlayFor("Again");
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::ReadFileOrEmpty(ScratchPath("again.wav")).size() ==
                                                44u + 131 * 2352; }, 10000));
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::FileExists(ScratchPath("again.log")); }, 3000));
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("again.log")).find("Track 3:"), std::string::npos);

    // Every track of the disc, to FLAC as well: the batch ends with a CUE sheet of its
    // FLAC files, which libcdio reads as a disc of three audio tracks; each FLAC file
    // decodes to its track.
    for (const char* old : {"track2.wav", "track3.wav", "track3.log"}) DeleteFileA(ScratchPath(old).c_str());
    ASSERT_TRUE(app_.SendCommand(kFlac));
    ASSERT_TRUE(Open());
    for (int track : {1, 2, 3}) ASSERT_TRUE(Add(track));
    ASSERT_TRUE(Close(IDOK, "Track1.wav"));
    app_.PostCommand(kPlay);
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::FileExists(ScratchPath("track1.cue")); }, 30000))
        << "no CUE sheet after the batch";
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    const std::string cue = harness::ReadFileOrEmpty(ScratchPath("track1.cue"));
    EXPECT_NE(cue.find("FILE \"track3.flac\" WAVE\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:00:00\r\n"), std::string::npos)
        << cue;
    int code = -1;
    ASSERT_TRUE(harness::RunUnixShell(
        "set -e; cd '" + harness::UnixPath(dir_) + "'; for t in 1 2 3; do flac -d -s -f --force-raw-format --endian=little --sign=signed -o track$t.raw "
        "track$t.flac; done; sed 's/\\.flac\"/.raw\"/' track1.cue > check.cue; : > check.bin; "
        "cd-info --no-device-info --no-cddb --cue-file check.cue > check.txt",
        dir_, &code, 60000));
    EXPECT_EQ(code, 0) << "flac -d or cd-info failed";
    EXPECT_NE(harness::ReadFileOrEmpty(ScratchPath("check.txt")).find("CD-ROM Track List (1 - 3)"), std::string::npos)
        << harness::ReadFileOrEmpty(ScratchPath("check.txt"));
    for (int track : {1, 2, 3})
        EXPECT_TRUE(harness::ReadFileOrEmpty(ScratchPath("track" + std::to_string(track) + ".raw")) ==
                    TrackPcm(track))
            << "track " << track;
    ASSERT_TRUE(app_.SendCommand(kFlac));   // off again for the tests after this one
    EXPECT_EQ(ExitProgram(), 0u);
}

// Seventy one-frame tracks in one batch: each lands in its own file, to the last one.
TEST_F(Batch, RipsABatchOfAnyLengthToItsEnd) {
    const int kTracks = 70;
    Start(std::vector<long>(kTracks, 1));
    app_.PostCommand(kRip);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRip); }, 2000));
    ASSERT_TRUE(Open());
    for (int track = 1; track <= kTracks; ++track) ASSERT_TRUE(Add(track));
    ASSERT_TRUE(Close(IDOK, "Track1.wav"));

    app_.PostCommand(kPlay);
    const std::string last = ScratchPath("track70.wav");
    EXPECT_TRUE(harness::WaitUntil(
        [&] {
            return harness::ReadFileOrEmpty(last).size() == 44u + 2352 && app_.IsEnabled(kEject) &&
                   app_.IsEnabled(kSongName);
        },
        30000))
        << "the batch did not reach its last track";
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    for (int track = 1; track <= kTracks; ++track) {
        std::string file = harness::ReadFileOrEmpty(ScratchPath("track" + std::to_string(track) + ".wav"));
        EXPECT_TRUE(file.size() == 44u + 2352 && file.substr(44) == TrackPcm(track)) << "track " << track;
    }
    EXPECT_EQ(app_.ControlText(kSongName), "track70.wav");
    EXPECT_EQ(ExitProgram(), 0u);
}


// ---- names from the name sources ----

std::wstring Wide(const std::string& utf8) {
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], units);
    wide.resize(wide.size() - 1);
    return wide;
}

// A window's text (or a combo box's entry `entry`) in UTF-8, whatever this program's
// code page.
std::string TextOf(HWND window, int entry = -1) {
    wchar_t text[512] = {};
    if (entry < 0)
        SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    else if (SendMessageW(window, CB_GETLBTEXTLEN, entry, 0) < 512)
        SendMessageW(window, CB_GETLBTEXT, entry, reinterpret_cast<LPARAM>(text));
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

// The MusicBrainz disc id of a disc of `frames` as the rig lays it out.
std::string DiscIdOf(const std::vector<long>& frames) {
    DiscLayout layout;
    for (long f : frames) {
        layout.starts.push_back(layout.leadout);
        layout.data.push_back(false);
        layout.leadout += f;
    }
    return MusicBrainzDiscId(layout);
}

std::string Fixture(const std::string& name) {
    std::string path = "Z:" QUORREL_FIXTURES_DIR "/" + name, text;
    std::replace(path.begin(), path.end(), '/', '\\');
    EXPECT_TRUE(harness::ReadFile(path, &text)) << path;
    return text;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A disc is named by the first source that names it: MusicBrainz's recorded answer for
// the disc's id, served here; with MusicBrainz out of reach, the disc's CD-Text. The
// names fill the dialog and the song name field, name the files (what no file name may
// hold replaced, any script kept) and tag the MP3s; the log says who named the disc.
TEST_F(Batch, NamesFromMusicBrainzOrCdTextNameAndTagTheFiles) {
    harness::HttpServer server;
    ASSERT_TRUE(server.Start());
    SetProgramValue("MusicBrainzUrl", server.Base());
    const std::string query = "?inc=recordings+artist-credits&fmt=json";
    const std::string twelve = "/discid/" + DiscIdOf(kTwelveTracks) + query;
    server.Serve(twelve, Fixture("musicbrainz/xAq8L4ELMW14.6wI6tt7QAcxiDI-.json"));
    WriteSettingsFile(SettingsFileBytes(16, 44100, 2, 128, 0, true, true));
    Start(kTwelveTracks);
    app_.PostCommand(kRip);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRip); }, 2000));
    EXPECT_TRUE(ShowsSongName("Deus Ibi Est.wav"));

    // Two releases share the disc id: the user picks the second, the American one.
    ASSERT_TRUE(Open());
    HWND chooser = Item(IDC_TRACKS_RELEASE);
    ASSERT_TRUE(chooser) << "no choice of release";
    EXPECT_EQ(SendMessageA(chooser, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(TextOf(chooser, 0), "Isobel Campbell & Mark Lanegan \xE2\x80\x93 Ballad of the Broken Seas (2006, GB)");
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(chooser, CB_SETCURSEL, 1, 0, SMTO_NORMAL, 3000, &result));
    ASSERT_TRUE(SendMessageTimeoutA(dialog_.box, WM_COMMAND, MAKEWPARAM(IDC_TRACKS_RELEASE, CBN_SELCHANGE),
                                    reinterpret_cast<LPARAM>(chooser), SMTO_NORMAL, 3000, &result));
    ASSERT_TRUE(Add(1));
    ASSERT_TRUE(Add(7));
    EXPECT_EQ(Entries(kRecordList), (Texts{"Deus Ibi Est", "(Do You Wanna) Come Walk With Me?"}));
    ASSERT_TRUE(Close(IDOK, "Deus Ibi Est.wav"));
    app_.PostCommand(kPlay);
    const std::string second = ScratchPath("(do you wanna) come walk with me_.mp3");
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::FileExists(second) && app_.IsEnabled(kEject); }, 30000))
        << "the batch made no MP3 of track 7";
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("deus ibi est.wav")).substr(44), TrackPcm(1));
    std::vector<std::string> tags;
    ASSERT_TRUE(ReadTags(second, &tags));
    for (const char* line : {"ID3v2.3.0", "TIT2:0:(Do You Wanna) Come Walk With Me?", "TALB:0:Ballad of the Broken Seas",
                             "TPE1:0:Isobel Campbell & Mark Lanegan", "TRCK:0:7/12", "TYER:0:2006",
                             "TXXX:0:MusicBrainz Album Id=8a457e97-ed59-31f1-8b1c-41f24e9a7183",
                             "TXXX:0:MusicBrainz Track Id=ef599a4c-8163-4829-9332-8dfe8c79219a"})
        EXPECT_TRUE(HasLine(tags, line)) << line;
    const std::string log = harness::ReadFileOrEmpty(ScratchPath("deus ibi est.log"));
    EXPECT_NE(log.find("Track names  from MusicBrainz (disc id " + DiscIdOf(kTwelveTracks) + ", 2 releases)"),
              std::string::npos) << log;
    EXPECT_EQ(server.Requests(twelve), 1) << "one lookup of the disc in a run";
    EXPECT_EQ(ExitProgram(), 0u);

    // A disc in Japanese: its file keeps the characters, its tag carries them.
    akrip::CdText text;
    text.disc = {"Sheet Album", "Sheet Band", ""};
    text.tracks = {{"Erste Spur", "", ""}};
    const std::vector<long> three = {225, 150, 150};
    server.Serve("/discid/" + DiscIdOf(three) + query, Fixture("musicbrainz/toc-match-japanese.json"));
    InsertDisc(three, "three", 0, &text);
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    app_.PostCommand(kRip);
    ASSERT_TRUE(harness::WaitUntil([&] { return TextOf(app_.Control(kSongName)) == "波の音.wav"; }, 5000))
        << TextOf(app_.Control(kSongName));
    ASSERT_TRUE(app_.SendCommand(kPlay, 60000));
    const std::wstring japanese = Wide(dir_ + "\\波の音.mp3");
    ASSERT_TRUE(CopyFileW(japanese.c_str(), Wide(ScratchPath("japanese.mp3")).c_str(), FALSE)) << "no 波の音.mp3";
    ASSERT_TRUE(ReadTags(ScratchPath("japanese.mp3"), &tags));
    EXPECT_TRUE(HasLine(tags, "TIT2:1:波の音") && HasLine(tags, "TPE1:1:星野楽団") && HasLine(tags, "TRCK:0:1/3"))
        << ::testing::PrintToString(tags);
    EXPECT_EQ(ExitProgram(), 0u);

    // MusicBrainz out of reach: the disc's CD-Text names it.
    SetProgramValue("MusicBrainzUrl", kNoDatabase);
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    app_.PostCommand(kRip);
    EXPECT_TRUE(ShowsSongName("Erste Spur.wav"));
    // Track 2 has no name of its own: the field is the user's again, until track 1 is back.
    ASSERT_TRUE(app_.SendCommand(kNextTrack));
    EXPECT_TRUE(ShowsSongName("untitled"));
    ASSERT_TRUE(app_.SendCommand(kFirstTrack));
    EXPECT_TRUE(ShowsSongName("Erste Spur.wav"));
    ASSERT_TRUE(app_.SendCommand(kPlay, 60000));
    ASSERT_TRUE(ReadTags(ScratchPath("erste spur.mp3"), &tags));
    EXPECT_TRUE(HasLine(tags, "TIT2:0:Erste Spur") && HasLine(tags, "TALB:0:Sheet Album") &&
                HasLine(tags, "TPE1:0:Sheet Band"))
        << ::testing::PrintToString(tags);
    EXPECT_NE(harness::ReadFileOrEmpty(ScratchPath("erste spur.log")).find("Track names  from the disc's CD-Text"),
              std::string::npos);
    EXPECT_EQ(ExitProgram(), 0u);
}

}  // namespace
}  // namespace quorrel
