// Rip from CD: the current track read bit for bit from the virtual drive through the
// extraction library into a WAV file, with its progress in the prompt line; a bad
// sector, an open tray, no disc and no drive end it with a message and no file that
// could pass for the track. Then the same on the rig's emulated drive, met as a real
// drive (SCSI pass-through, Windows' own MCI CD driver): rips equal to cd-paranoia's
// read of the image with the drive's read offset, discs swapped between and during
// rips, the drive's sense faults ridden out or named, and a CD-Extra.
#include "http_server.h"
#include "quorrel_session.h"

namespace quorrel {
namespace {

const char kEnterPrompt[] = "Enter song name or click here:";

// The canonical header of a CD-format WAV file holding `dataBytes` of audio.
std::string CdWavHeader(uint32_t dataBytes) {
    std::string h = "RIFF....WAVEfmt ";
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + i] = static_cast<char>(v >> (8 * i));
    };
    put32(4, 36 + dataBytes);
    const unsigned char format[] = {16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    h.append(reinterpret_cast<const char*>(format), sizeof format);
    h += "data....";
    put32(40, dataBytes);
    return h;
}

class RipSession : public QuorrelTest {
protected:
    // Starts the program on the disc, switches to Rip from CD and waits for the disc.
    void StartRipping(const std::vector<long>& frames, long dataFrames = 0) {
        InsertDisc(frames, "disc", dataFrames);
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead());
        app_.PostCommand(kRip);
        ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRip); }, 2000));
        EXPECT_EQ(app_.ControlText(kPlay), "Rip");
    }
    // After a message of the rip (or its file): the rip runs inside the Play command and
    // is over when the window is back to the state it leaves (Eject and the song name
    // field enabled again).
    ::testing::AssertionResult RipOver(DWORD timeoutMs = 10000) {
        return harness::WaitUntil([&] { return app_.IsEnabled(kEject) && app_.IsEnabled(kSongName); }, timeoutMs);
    }
    // Waits until `name` is a complete WAV file (its header's sizes written last) and
    // the rip is over.
    ::testing::AssertionResult Ripped(const std::string& name) {
        WavFile wav;
        if (!harness::WaitUntil([&] { return static_cast<bool>(ReadWavFile(ScratchPath(name), &wav)); }, 10000))
            return ::testing::AssertionFailure() << name << " was not completed";
        return RipOver();
    }
    // The bytes of the disc's BIN from `first` for `frames` frames.
    std::string BinBytes(long first, long frames) {
        std::string bin;
        EXPECT_TRUE(harness::ReadFile(ScratchPath("disc.bin"), &bin));
        size_t at = static_cast<size_t>(first) * 2352, n = static_cast<size_t>(frames) * 2352;
        return at + n <= bin.size() ? bin.substr(at, n) : std::string();
    }
    // The window as the rip leaves it, ready for the next one.
    void ExpectIdleAfterRip() {
        EXPECT_TRUE(RecordingItemsGrayed(false));
        EXPECT_TRUE(app_.MenuChecked(kRip));
        EXPECT_TRUE(app_.IsEnabled(kPlay));
        EXPECT_EQ(app_.ControlText(kPlay), "Rip");
        EXPECT_FALSE(app_.IsEnabled(kSave));
        EXPECT_TRUE(TrackButtonsEnabled());
        EXPECT_TRUE(app_.IsEnabled(kEject));
        EXPECT_TRUE(ShowsPrompt(kEnterPrompt));
    }
    // Moves a message box off the main window, so the window's pixels can be read.
    void MoveAside(const harness::MessageBoxInfo& box) {
        SetWindowPos(box.box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
};

TEST_F(RipSession, MiddleAndLastTrackAreTheBinsBytes) {
    // Track 2 takes six reads (5 x 26 + 1), the last track runs to the lead-out.
    StartRipping({100, 131, 60});
    ASSERT_TRUE(app_.ClickButton(kNextTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("2"); }, 2000));
    PressPlayFor("Middle");
    ASSERT_TRUE(Ripped("middle.wav"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(app_.ControlText(kSongName), "middle.wav");
    ExpectIdleAfterRip();
    EXPECT_TRUE(app_.IsEnabled(kPlayBack)) << "the rip's WAV file is kept";
    EXPECT_TRUE(ShowsTrack("2"));

    std::string file = harness::ReadFileOrEmpty(ScratchPath("middle.wav"));
    ASSERT_EQ(file.size(), 44u + 131 * 2352);
    EXPECT_TRUE(file.compare(0, 44, CdWavHeader(131 * 2352)) == 0) << "not the canonical 44-byte header";
    EXPECT_TRUE(file.compare(44, std::string::npos, BinBytes(100, 131)) == 0) << "track 2 is not the BIN's bytes";
    EXPECT_TRUE(file.compare(44, std::string::npos, TrackPcm(2)) == 0);

    // A file of the log's name is the user's until asked: Cancel keeps it and rips nothing.
    ASSERT_TRUE(app_.ClickButton(kLastTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("3"); }, 2000));
    ASSERT_TRUE(harness::WriteFile(ScratchPath("last.log"), "my notes"));
    PressPlayFor("Last");
    EXPECT_EQ(app_.AnswerMessageBox("last.log", "Cancel").text, "File name already exists. Overwrite current file?");
    ASSERT_TRUE(RipOver());
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("last.log")), "my notes");
    EXPECT_FALSE(harness::FileExists(ScratchPath("last.wav")));
    PressPlayFor("Last");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("last.log"), "OK"));
    ASSERT_TRUE(Ripped("last.wav"));
    EXPECT_NE(harness::ReadFileOrEmpty(ScratchPath("last.log")).find("Track 3: last.wav"), std::string::npos);
    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("last.wav"), &wav));
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.channels, 2);
    ASSERT_EQ(wav.data.size(), 60u * 2352) << "the last track ends at the lead-out";
    EXPECT_TRUE(wav.data == BinBytes(231, 60));
    ExpectIdleAfterRip();
    EXPECT_EQ(ExitProgram(), 0u);
}

// CD-Extra: the last audio track ends where the audio session ends, and the data
// track after the session gap is refused, as a recording of it is.
TEST_F(RipSession, ACdExtraGivesItsAudioAndRefusesItsDataTrack) {
    StartRipping({100, 60}, 40);
    ASSERT_TRUE(app_.ClickButton(kLastTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("3"); }, 2000));
    PressPlayFor("Data");
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text, "Track 3 is a data track, not audio: it cannot be ripped.");
    ASSERT_TRUE(RipOver());
    EXPECT_FALSE(harness::FileExists(ScratchPath("data.wav")));

    ASSERT_TRUE(app_.ClickButton(kPrevTrack));
    PressPlayFor("Last Audio");
    ASSERT_TRUE(Ripped("last audio.wav"));
    EXPECT_TRUE(harness::ReadFileOrEmpty(ScratchPath("last audio.wav")).substr(44) == BinBytes(100, 60));

    app_.PostCommand(kRecordCd);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRecordCd); }, 2000));
    ASSERT_TRUE(app_.ClickButton(kLastTrack));
    PressPlayFor("Data");
    EXPECT_EQ(app_.AnswerMessageBox("CD Error", "OK").text,
              "Track 3 is a data track, not audio: it cannot be recorded.");
    EXPECT_FALSE(harness::FileExists(ScratchPath("data.wav")));
    // The last audio track records whole (the next notice is its own), ending with its audio.
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay) && !app_.IsEnabled(kSave); }, 3000));
    ASSERT_TRUE(app_.ClickButton(kPrevTrack));
    PressPlayFor("Recorded");
    ASSERT_TRUE(Saved("recorded.wav", 1000 + 4000));
    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("recorded.wav"), &wav));
    EXPECT_TRUE(HoldsBetweenSilence(wav.data, TrackPcm(2), 4));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(RipSession, ABadSectorEndsTheRipWithAMessageAndNoFile) {
    // Track 2 is frames 100..299; its sixth read (frames 230..255, after the second
    // progress text) meets the bad sector 233 three times.
    StartRipping({100, 200, 60});
    rigstate::SetBadSectors("233");
    ASSERT_TRUE(app_.ClickButton(kNextTrack));
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("2"); }, 2000));
    PressPlayFor("Scratched");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Message");
    ASSERT_TRUE(box.box);
    EXPECT_EQ(box.text, "Error reading the CD at frame 230: the track was not ripped.");
    MoveAside(box);
    EXPECT_TRUE(ShowsPrompt("Ripping... 230: 70       ")) << "the last progress text before the failed read";
    EXPECT_FALSE(harness::FileExists(ScratchPath("scratched.wav"))) << "a partial file passes for the track";
    ASSERT_TRUE(app_.Answer(box, "OK"));
    ASSERT_TRUE(RipOver());
    // No partial file is left; the log beside it says where the rip failed.
    EXPECT_EQ(harness::ListFiles(dir_), (std::vector<std::string>{"disc.bin", "disc.cue", "scratched.log"}));
    ExpectIdleAfterRip();
    std::string log = harness::ReadFileOrEmpty(ScratchPath("scratched.log"));
    EXPECT_NE(log.find("Read error at frame 230: the track was not ripped.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nVerdict: not ripped: track 2 could not be read.\r\n"), std::string::npos) << log;

    // A file the user agreed to replace stays as it was when the rip fails.
    ASSERT_TRUE(harness::WriteFile(ScratchPath("scratched.wav"), "an older rip"));
    PressPlayFor("Scratched");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("scratched.wav"), "OK"));
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("scratched.log"), "OK"));
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text,
              "Error reading the CD at frame 230: the track was not ripped.");
    ASSERT_TRUE(RipOver());
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("scratched.wav")), "an older rip");

    // The sector reads again: the same rip completes, and replaces it.
    rigstate::SetBadSectors("");
    PressPlayFor("Scratched");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("scratched.wav"), "OK"));
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("scratched.log"), "OK"));
    ASSERT_TRUE(Ripped("scratched.wav"));
    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("scratched.wav"), &wav));
    EXPECT_TRUE(wav.data == TrackPcm(2));

    // A disk that fills during the rip: the older rip stays, and the log, where there
    // was room for it, says why the track was not ripped; none is left that says nothing.
    harness::SmallDrive drive(1024, dir_);
    if (drive.Root().empty()) GTEST_SKIP() << "this machine cannot mount a small disk for the test";
    const std::string older = drive.Root() + "full.wav";
    ASSERT_TRUE(harness::WriteFile(older, "an older rip"));
    PressPlayFor(drive.Root() + "Full");
    harness::MessageBoxInfo question = app_.WaitForMessageBox("full.wav");
    ASSERT_TRUE(drive.Fill(64 * 1024));
    ASSERT_TRUE(app_.Answer(question, "OK"));
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text, "Error writing file: the track was not ripped.");
    ASSERT_TRUE(RipOver());
    EXPECT_EQ(harness::ReadFileOrEmpty(older), "an older rip");
    const std::string fullLog = drive.Root() + "full.log";
    EXPECT_TRUE(!harness::FileExists(fullLog) ||
                harness::ReadFileOrEmpty(fullLog).find("\r\nVerdict: not ripped") != std::string::npos)
        << "full.log: \"" << harness::ReadFileOrEmpty(fullLog) << "\"";
    std::vector<std::string> left = harness::ListFiles(drive.Root());
    left.erase(std::remove(left.begin(), left.end(), "full.log"), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"filler.bin", "full.wav"})) << "a partial file is left";

    // With Convert to FLAC on, a disk with room for the rip and its log but not for the
    // FLAC file: the rip stands, and no FLAC file is left, whole or partial.
    ASSERT_TRUE(app_.SendCommand(kFlac));
    ASSERT_TRUE(DeleteFileA((drive.Root() + "filler.bin").c_str()));
    ASSERT_TRUE(drive.Fill(44 + 200 * 2352 + 48 * 1024));
    PressPlayFor(drive.Root() + "Lossless");
    harness::MessageBoxInfo flac = app_.WaitForMessageBox("FLAC Error", 30000);
    EXPECT_NE(flac.text.find("was not made; the WAV file is unchanged."), std::string::npos) << flac.text;
    ASSERT_TRUE(app_.Answer(flac, "OK"));
    ASSERT_TRUE(RipOver());
    EXPECT_EQ(harness::ReadFileOrEmpty(drive.Root() + "lossless.wav").substr(44), TrackPcm(2));
    left = harness::ListFiles(drive.Root());
    EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const std::string& name) { return name.find(".flac") != std::string::npos; }), 0)
        << ::testing::PrintToString(left);
    ASSERT_TRUE(app_.SendCommand(kFlac));   // off again for the tests after this one
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(RipSession, AnOpenTrayOrNoDiscGivesTheTocError) {
    StartRipping({100, 100});
    app_.AutoAnswer({"Seek Error", "", "OK"});   // the Play command positions the CD first
    ASSERT_TRUE(app_.SetControlText(kSongName, "Tray"));
    rigstate::SetDoorOpen(true);
    app_.PostCommand(kPlay);   // the drive poll may gray Play at any moment now
    harness::MessageBoxInfo box = app_.AnswerMessageBox("Message", "OK");
    EXPECT_EQ(box.text, "Error reading TOC");
    ASSERT_TRUE(RipOver());
    EXPECT_FALSE(harness::FileExists(ScratchPath("tray.wav")));

    rigstate::SetDoorOpen(false);
    rigstate::SetDisc("");
    ASSERT_TRUE(app_.SetControlText(kSongName, "Empty"));
    app_.PostCommand(kPlay);
    box = app_.AnswerMessageBox("Message", "OK");
    EXPECT_EQ(box.text, "Error reading TOC");
    ASSERT_TRUE(RipOver());
    EXPECT_FALSE(harness::FileExists(ScratchPath("empty.wav")));
    EXPECT_TRUE(ShowsPrompt(kEnterPrompt));
}

TEST_F(RipSession, WithoutADriveAtStartTheRipSaysSo) {
    // No rig key when the program starts: the extraction library lists no drive. The
    // disc that comes later is seen by the CD audio device but cannot be ripped.
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VirtualAudioRig"), ERROR_SUCCESS);
    ASSERT_TRUE(Launch());
    app_.AutoAnswer({"CD Error", "No audio CD present.", "OK"});
    InsertDisc({100, 100});
    ASSERT_TRUE(DiscRead(15000));
    app_.PostCommand(kRip);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRip); }, 2000));
    PressPlayFor("No Drive");
    harness::MessageBoxInfo box = app_.AnswerMessageBox("Message", "OK");
    EXPECT_EQ(box.text, "Could not get handle to CD");
    ASSERT_TRUE(RipOver());
    EXPECT_FALSE(harness::FileExists(ScratchPath("no drive.wav")));
    EXPECT_TRUE(ShowsPrompt(kEnterPrompt));
}

// ---- the emulated drive ----

class EmulatedRip : public RipSession {
protected:
    void SetUp() override {
        RipSession::SetUp();
        rigstate::OfferEmulatedDrive(true);
    }
    // Rips the current track as `song` and returns the file's bytes ("" when there is none).
    std::string RipAs(const std::string& song) {
        PressPlayFor(song);
        std::string name = song + ".wav";
        for (char& c : name) c = static_cast<char>(tolower(c));
        EXPECT_TRUE(Ripped(name)) << song;
        return harness::ReadFileOrEmpty(ScratchPath(name));
    }
    // The value of the line of `song`'s rip log that starts with `label`.
    std::string LogLine(const std::string& song, const std::string& label) {
        std::string name = song;
        for (char& c : name) c = static_cast<char>(tolower(c));
        const std::string log = harness::ReadFileOrEmpty(ScratchPath(name + ".log"));
        size_t at = log.find("\r\n  " + label);
        if (at == std::string::npos) return "(no line " + label + ")";
        at = log.find_first_not_of(' ', at + 4 + label.size());
        return log.substr(at, log.find("\r\n", at) - at);
    }
    // Steps to track `track` with the track buttons.
    void GoToTrack(int track) {
        ASSERT_TRUE(app_.ClickButton(kFirstTrack));
        for (int k = 1; k < track; ++k) ASSERT_TRUE(app_.ClickButton(kNextTrack));
        ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack(std::to_string(track)); }, 2000)) << track;
    }
};

// A drive list of AccurateRip's form: records of the offset, the name and 34 bytes more.
std::string DriveListOf(const std::vector<std::pair<std::string, int>>& drives) {
    std::string list;
    for (const auto& drive : drives) {
        std::string record(69, '\0');
        record[0] = static_cast<char>(drive.second & 0xFF);
        record[1] = static_cast<char>(drive.second >> 8 & 0xFF);
        record.replace(2, drive.first.size(), drive.first);
        list += record;
    }
    return list;
}

// Tracks of awkward lengths (one frame, less than a read, one read, one more, five
// reads' worth of frames, six reads, many), ripped with the drive's own offset (+6),
// which the AccurateRip drive list gives: each file is cd-paranoia's of the image, byte
// for byte. With a read offset of 0 set by the user the rip is the image's audio 6
// samples early.
TEST_F(EmulatedRip, AwkwardLengthsAreCdParanoiasWithTheDrivesOffset) {
    const std::vector<long> lengths = {1, 25, 26, 27, 60, 131, 2000};
    rigstate::SetNumber("DriveReadOffset", 6);
    harness::HttpServer database;
    ASSERT_TRUE(database.Start());
    database.Serve("/DriveOffsets.bin", DriveListOf({{"PLEXTOR - DVDR   PX-716A", 30},
                                                     {"RIG - EMULATED CD-ROM2", -12},
                                                     {"Rig - Emulated CD-ROM", 6},
                                                     {"RIG - EMULATED", 667}}));
    SetProgramValue("AccurateRipUrl", database.Base());
    StartRipping(lengths);
    std::vector<std::string> rips;
    for (int track = 1; track <= 7; ++track) {
        GoToTrack(track);
        rips.push_back(RipAs("Track " + std::to_string(track)));
    }
    int code = -1;
    ASSERT_TRUE(harness::RunUnixShell("cd '" + harness::UnixPath(dir_) +
                                          "' && for n in 1 2 3 4 5 6 7; do cd-paranoia -q -Z -d disc.cue -w $n "
                                          "paranoia$n.wav || exit 1; done",
                                      dir_, &code, 60000));
    ASSERT_EQ(code, 0) << "cd-paranoia failed";
    for (int track = 1; track <= 7; ++track) {
        std::string paranoia = harness::ReadFileOrEmpty(ScratchPath("paranoia" + std::to_string(track) + ".wav"));
        ASSERT_EQ(paranoia.size(), 44 + lengths[track - 1] * 2352u) << track;
        ASSERT_EQ(rips[track - 1].size(), paranoia.size()) << track;
        // The disc's last 6 samples would lie in the lead-out's first frame, which the
        // drive does not read: the rip ends with silence there.
        if (track == 7) paranoia.replace(paranoia.size() - 24, 24, 24, '\0');
        EXPECT_TRUE(rips[track - 1] == paranoia) << "track " << track << " differs from cd-paranoia's";
    }
    EXPECT_EQ(LogLine("Track 1", "Read offset"), "+6 samples, from the AccurateRip drive list");
    EXPECT_EQ(database.Requests("/DriveOffsets.bin"), 1) << "the list is fetched once";
    DWORD kept = 0;
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\CD Quorrel", "DriveOffsets", RRF_RT_REG_BINARY, nullptr,
                           nullptr, &kept),
              ERROR_SUCCESS);
    EXPECT_EQ(kept, 4 * 69u) << "the list is kept";
    SetProgramValue("ReadOffset", "0");
    std::string early = RipAs("Early");   // still track 7, frames 270..2269
    EXPECT_TRUE(early.substr(44) == BinBytes(269, 2001).substr(2352 - 24, 2000 * 2352)) << "not 6 samples early";
    EXPECT_EQ(LogLine("Early", "Read offset"), "0 samples, set by the user");
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(ExitProgram(), 0u);
}

// A drive with a read cache of 1,000 frames and C2 pointers, and 30 flaky sectors at
// the end of a track (damaged two reads in three), without a database: the copy pass
// finds them by C2 and reads them again at once, the second read and every re-read
// come from the disc, never from the cache, and the file is the disc's. The same when
// the drive refuses the C2 reads it said it could make.
TEST_F(EmulatedRip, ReReadsComeFromTheDiscAndC2FindsTheDamage) {
    rigstate::SetNumber("DriveCacheFrames", 1000);
    rigstate::SetNumber("DriveC2", 1);
    StartRipping({2500, 1500, 1200});
    GoToTrack(2);
    rigstate::SetFlakySectors("3960-3989");
    for (const char* song : {"C2", "No C2"}) {
        if (std::string(song) == "No C2") rigstate::SetNumber("DriveC2", 3);
        rigstate::SetString("CountedSectors", "3960-3989");
        EXPECT_TRUE(RipAs(song).substr(44) == BinBytes(2500, 1500)) << song << ": not the disc's track 2";
        EXPECT_EQ(rigstate::String("CacheHits"), "0") << song;
        EXPECT_NE(rigstate::String("MediumReads"), "0") << song;
        EXPECT_EQ(LogLine(song, "Read cache"), "1000 frames as the drive reports it: read past before each re-read");
        EXPECT_EQ(LogLine(song, "Read offset"), "unknown: 0 samples (the AccurateRip drive list was not reached)");
        EXPECT_NE(LogLine(song, "Re-read").find("all settled"), std::string::npos) << LogLine(song, "Re-read");
    }
    EXPECT_EQ(LogLine("C2", "C2 pointers"), "read with every frame of the copy");
    EXPECT_EQ(LogLine("C2", "C2 errors"), "frames 3960-3989, read again at once");
    EXPECT_EQ(LogLine("No C2", "C2 pointers"), "refused by the drive, which says it has them: read without them");
    EXPECT_EQ(LogLine("No C2", "C2 errors"), "(no line C2 errors)");
    EXPECT_EQ(ExitProgram(), 0u);
}

// A disc swapped between rips is the next rip's (the drive's unit attention has the
// table of contents read again); one swapped while a track is read ends the rip with a
// message and no file, whatever the new disc would deliver.
TEST_F(EmulatedRip, DiscSwapsBetweenAndDuringRips) {
    StartRipping({100, 131, 60});
    GoToTrack(2);
    EXPECT_TRUE(RipAs("First").substr(44) == BinBytes(100, 131));
    const std::string second = MakeDisc("second", {50, 4500, 40}, 3);
    rigstate::SetDisc(second);
    std::string bin = harness::ReadFileOrEmpty(ScratchPath("second.bin"));
    EXPECT_TRUE(RipAs("Second").substr(44) == bin.substr(50 * 2352, 4500 * 2352)) << "not the new disc's track 2";

    rigstate::SetString("CountedSectors", "50-4549");
    PressPlayFor("Swapped");
    ASSERT_TRUE(harness::WaitUntil([] { return !rigstate::String("MediumReads").empty(); }, 5000, 1));
    rigstate::SetDisc(ScratchPath("disc.cue"));
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK", 15000).text,
              "The CD was changed while track 2 was being ripped: the track was not ripped.");
    ASSERT_TRUE(RipOver());
    EXPECT_FALSE(harness::FileExists(ScratchPath("swapped.wav")));
    EXPECT_FALSE(harness::FileExists(ScratchPath("swapped.wav.part")));
    EXPECT_TRUE(RipAs("After").substr(44) == BinBytes(100, 131)) << "the table is read again for the next rip";
    EXPECT_EQ(ExitProgram(), 0u);
}

// A drive becoming ready is waited for and a medium error read past by the rip's
// attempts; a sector that never reads gives the rip's message, and another sense is
// named in it. A drive that refuses the access reading needs is named.
TEST_F(EmulatedRip, SenseFaultsAreRiddenOutOrNamed) {
    StartRipping({100, 200, 60});
    GoToTrack(2);
    rigstate::SetNumber("NotReadyCommands", 3);
    rigstate::SetString("MediumErrors", "150");
    EXPECT_TRUE(RipAs("Ridden").substr(44) == BinBytes(100, 200));
    rigstate::SetBadSectors("233");
    PressPlayFor("Bad");
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text, "Error reading the CD at frame 230: the track was not ripped.");
    ASSERT_TRUE(RipOver());
    rigstate::SetString("SectorSense", "04/44/00");
    PressPlayFor("Broken");
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text,
              "Error reading the CD at frame 230: the drive reports HARDWARE ERROR (sense 4/44/00). The track was not "
              "ripped.");
    ASSERT_TRUE(RipOver());
    EXPECT_FALSE(harness::FileExists(ScratchPath("bad.wav")) || harness::FileExists(ScratchPath("broken.wav")));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(EmulatedRip, ADriveThatRefusesAccessIsNamed) {
    rigstate::SetNumber("DriveDeniesAccess", 1);
    StartRipping({100, 200});
    PressPlayFor("Denied");
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text,
              "Could not get handle to CD: drive Q: refuses to be opened for reading and writing, which reading audio "
              "from it needs (on Windows, run CD Quorrel as an administrator).");
    ASSERT_TRUE(RipOver());
    EXPECT_EQ(ExitProgram(), 0u);
}

// CD-Extra on a real drive: the data track is known from the table of contents, for a
// rip and a recording alike (Windows' MCI CD driver under Wine names no track type in
// words), and the last audio track ends at the first session's lead-out.
TEST_F(EmulatedRip, ACdExtraIsKnownFromTheDrivesTables) {
    StartRipping({100, 60}, 40);
    GoToTrack(3);
    PressPlayFor("Data");
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text, "Track 3 is a data track, not audio: it cannot be ripped.");
    ASSERT_TRUE(RipOver());
    GoToTrack(2);
    EXPECT_TRUE(RipAs("Last Audio").substr(44) == BinBytes(100, 60));
    app_.PostCommand(kRecordCd);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRecordCd); }, 2000));
    GoToTrack(3);
    PressPlayFor("Data");
    EXPECT_EQ(app_.AnswerMessageBox("CD Error", "OK").text,
              "Track 3 is a data track, not audio: it cannot be recorded.");
    EXPECT_FALSE(harness::FileExists(ScratchPath("data.wav")));
    EXPECT_EQ(ExitProgram(), 0u);
}

}  // namespace
}  // namespace quorrel
