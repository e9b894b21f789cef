#include "naming.h"

#include <gtest/gtest.h>

#include <string>

namespace {

NameParts Split(const char* name) {
    NameParts parts;
    SplitName(name, &parts);
    return parts;
}

std::string Wav(const char* name, size_t size = 256) {
    NameParts parts = Split(name);
    char out[600];
    if (!BuildWavName(parts, out, size)) return "<too long>";
    return out;
}

TEST(Naming, SplitsWindowsPaths) {
    NameParts p = Split("C:\\Music\\Tune.Mp3");
    EXPECT_STREQ(p.drive, "C:");
    EXPECT_STREQ(p.folder, "\\Music\\");
    EXPECT_STREQ(p.stem, "Tune");
    EXPECT_STREQ(p.extension, ".Mp3");
    p = Split("a.b/c.d.wav");
    EXPECT_STREQ(p.drive, "");
    EXPECT_STREQ(p.folder, "a.b/");
    EXPECT_STREQ(p.stem, "c.d");
    EXPECT_STREQ(p.extension, ".wav");
    p = Split("song");
    EXPECT_STREQ(p.stem, "song");
    EXPECT_STREQ(p.extension, "");
}

TEST(Naming, AnyEndingBecomesWav) {
    EXPECT_EQ(Wav("Song.MP3"), "Song.wav");
    EXPECT_EQ(Wav("C:\\Music\\Tune"), "C:\\Music\\Tune.wav");
    EXPECT_EQ(Wav("live.at.home.txt"), "live.at.home.wav");
    // 251 characters and ".wav" fill 255 characters; one more does not fit.
    EXPECT_EQ(Wav(std::string(251, 'x').c_str()), std::string(251, 'x') + ".wav");
    EXPECT_EQ(Wav(std::string(252, 'x').c_str()), "<too long>");
}

TEST(Naming, RecognisesAnMp3EndingAndUntitled) {
    EXPECT_TRUE(ExtensionAsksForMp3(".MP3"));
    EXPECT_TRUE(ExtensionAsksForMp3(".mP3"));
    EXPECT_FALSE(ExtensionAsksForMp3(".mp"));
    EXPECT_FALSE(ExtensionAsksForMp3(".mp3x"));
    EXPECT_FALSE(ExtensionAsksForMp3(".wav"));
    EXPECT_TRUE(IsUntitled("untitled"));
    EXPECT_FALSE(IsUntitled("Untitled"));
}

TEST(Naming, RefusesNamesNoFileCanHave) {
    EXPECT_EQ(CheckSongName(Split("good song"), 256), kNameFine);
    EXPECT_EQ(CheckSongName(Split("C:\\Music\\..\\Tune"), 256), kNameFine);
    EXPECT_EQ(CheckSongName(Split("a<b"), 256), kNameReservedCharacter);
    EXPECT_EQ(CheckSongName(Split("what?"), 256), kNameReservedCharacter);
    EXPECT_EQ(CheckSongName(Split("C:\\x\\y:z"), 256), kNameReservedCharacter);
    EXPECT_EQ(CheckSongName(Split("*:song"), 256), kNameReservedCharacter) << "a drive is a letter";
    EXPECT_EQ(CheckSongName(Split("1:\\song"), 256), kNameReservedCharacter);
    EXPECT_EQ(CheckSongName(Split("z:song"), 256), kNameFine);
    EXPECT_EQ(CheckSongName(Split("tab\there"), 256), kNameReservedCharacter);
    EXPECT_EQ(CheckSongName(Split(".mp3"), 256), kNameOnlyExtension);
    EXPECT_EQ(CheckSongName(Split("C:\\Music\\"), 256), kNameOnlyExtension);
    EXPECT_EQ(CheckSongName(Split("music.\\tune"), 256), kNameBadFolderPart);
    EXPECT_EQ(CheckSongName(Split("music \\tune"), 256), kNameBadFolderPart);
    EXPECT_EQ(CheckSongName(Split(std::string(252, 'x').c_str()), 256), kNameTooLong);
    EXPECT_STRNE(NameProblemText(kNameTooLong), "");
    // Device names, whatever follows a dot and whatever the case; names of dots only.
    for (const char* device : {"nul", "NUL.mp3", "c:\\music\\Con", "aux .x", "com7", "LPT1.song", "conout$"})
        EXPECT_EQ(CheckSongName(Split(device), 256), kNameDevice) << device;
    for (const char* fine : {"null", "com", "com10", "console", "nul-song", "a.nul"})
        EXPECT_EQ(CheckSongName(Split(fine), 256), kNameFine) << fine;
    EXPECT_EQ(CheckSongName(Split(".."), 256), kNameOnlyDots);
    EXPECT_EQ(CheckSongName(Split("sub\\..."), 256), kNameOnlyDots);
}

TEST(Naming, BlanksAroundTheNameAndItsStemGo) {
    char typed[] = "   lead  .MP3  ";
    TrimBlanks(typed);
    EXPECT_STREQ(typed, "lead  .MP3");
    NameParts parts = Split(typed);
    TrimStem(&parts);
    EXPECT_STREQ(parts.stem, "lead");
    EXPECT_STREQ(parts.extension, ".MP3");
    char blanks[] = "    ";
    TrimBlanks(blanks);
    EXPECT_STREQ(blanks, "");
}

TEST(Naming, TheMessageSaysWhichCharacterOrDeviceIsAtFault) {
    auto message = [](const char* name) {
        char character = 0;
        NameParts parts = Split(name);
        NameProblem problem = CheckSongName(parts, 256, &character);
        char text[160];
        NameProblemMessage(problem, character, parts.stem, text, sizeof text);
        return std::string(text);
    };
    EXPECT_EQ(message("what?"), "A file name cannot contain the character ?. Please choose another name.");
    EXPECT_EQ(message("sub|x\\a*b"), "A file name cannot contain the character |. Please choose another name.");
    EXPECT_EQ(message("tab\there"),
              "A file name cannot contain control characters (code 9). Please choose another name.");
    EXPECT_EQ(message("Nul .wav"), "\"Nul\" is the name of a device, not of a file. Please choose another name.");
    EXPECT_EQ(message("..."), NameProblemText(kNameOnlyDots));
    EXPECT_EQ(message(std::string(252, 'x').c_str()), NameProblemText(kNameTooLong));
    char tiny[8];
    NameProblemMessage(kNameReservedCharacter, '?', "", tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "A file ");
}

TEST(Naming, TrackNamesMustBeFileStems) {
    EXPECT_TRUE(CanBeFileStem("Intro (live)"));
    EXPECT_TRUE(CanBeFileStem("Track12"));
    EXPECT_FALSE(CanBeFileStem(""));
    EXPECT_FALSE(CanBeFileStem("AC/DC"));
    EXPECT_FALSE(CanBeFileStem("a\\b"));
    EXPECT_FALSE(CanBeFileStem("why?"));
    EXPECT_FALSE(CanBeFileStem("x:y"));
    EXPECT_EQ(CheckFileStem("Prn"), kNameDevice);
    EXPECT_EQ(CheckFileStem(".."), kNameOnlyDots);
    char character = 0;
    EXPECT_EQ(CheckFileStem("AC/DC", &character), kNameReservedCharacter);
    EXPECT_EQ(character, '/');
}

// A name from a source is mended where a typed one is refused: the same names as above.
TEST(Naming, SourceNamesAreMendedIntoFileStems) {
    EXPECT_EQ(FileNameFromSourceName("AC/DC", 255), "AC-DC");
    EXPECT_EQ(FileNameFromSourceName("Live: 1999 / Take 2", 255), "Live - 1999 - Take 2");
    EXPECT_EQ(FileNameFromSourceName("x:y \\ \"why?\" <*|>", 255), "x-y - 'why_' ____");
    EXPECT_EQ(FileNameFromSourceName("tab\there\nnow\x01", 255), "tab_here_now_");
    EXPECT_EQ(FileNameFromSourceName("  Intro (live)... . ", 255), "Intro (live)");
    // Every script stays; a byte of no UTF-8 sequence does not.
    EXPECT_EQ(FileNameFromSourceName("青い海の記憶: 波の音", 255), "青い海の記憶 - 波の音");
    EXPECT_EQ(FileNameFromSourceName("Bj\xF6rk \xC3", 255), "Bj_rk _");
    // Device names, with an ending too, and however they are written.
    EXPECT_EQ(FileNameFromSourceName("Prn", 255), "Prn_");
    EXPECT_EQ(FileNameFromSourceName("nul.live", 255), "nul_.live");
    EXPECT_EQ(FileNameFromSourceName("COM1 .x", 255), "COM1_ .x");
    EXPECT_EQ(FileNameFromSourceName("CONSOLE", 255), "CONSOLE");
    EXPECT_EQ(FileNameFromSourceName("CONx", 3), "CO_");   // no room after the device part
    // Nothing left: the caller's fallback, else "Track".
    EXPECT_EQ(FileNameFromSourceName("..", 255, "Track 03"), "Track 03");
    EXPECT_EQ(FileNameFromSourceName(" ", 255, "?"), "_");
    EXPECT_EQ(FileNameFromSourceName("", 255, ". "), "Track");
    EXPECT_EQ(FileNameFromSourceName("", 0), "");
    // Shortened on a whole character ("記" is three bytes), trailing blanks and dots again removed.
    EXPECT_EQ(FileNameFromSourceName("青い海の記憶", 11), "青い海");
    EXPECT_EQ(FileNameFromSourceName("ab. cd", 4), "ab");
    for (const char* name : {"AC/DC", "nul.live", "..", "青い海の記憶: 波の音", "CONx"})
        EXPECT_TRUE(CanBeFileStem(FileNameFromSourceName(name, 6).c_str())) << name;
}

TEST(Naming, CandidatesAndComparisonIgnoreCase) {
    char out[32];
    Candidate("My Song", ".wav", out, sizeof out);
    EXPECT_STREQ(out, "my song.wav");
    Candidate("a-very-long-stem-indeed", ".mp3", out, 10);
    EXPECT_STREQ(out, "a-very-lo");
    EXPECT_TRUE(SameFileName("SONG.WAV", "song.wav"));
    EXPECT_FALSE(SameFileName("song.wav", "song.wa"));
    EXPECT_FALSE(SameFileName("song.wav", "song.mp3"));
    EXPECT_TRUE(PartialFileName("song.mp3", out, sizeof out));
    EXPECT_STREQ(out, "song.mp3.part");
    EXPECT_FALSE(PartialFileName("song.mp3", out, 13));
    EXPECT_STREQ(out, "");
    char text[] = "C:\\Music\\Tune.WAV";
    LowerAscii(text);
    EXPECT_STREQ(text, "c:\\music\\tune.wav");
    // A free name beside a file that must stay: the number goes before the file's ending.
    EXPECT_TRUE(NumberedName("c:\\a.b\\take.wav", 2, out, sizeof out));
    EXPECT_STREQ(out, "c:\\a.b\\take (2).wav");
    EXPECT_TRUE(NumberedName("c:\\a.b\\take", 12, out, sizeof out));
    EXPECT_STREQ(out, "c:\\a.b\\take (12)");
    EXPECT_FALSE(NumberedName("take.wav", 2, out, 12));
    EXPECT_STREQ(out, "");
    // A batch's file: folder, name and ".wav" in lower case; a name too long is cut
    // before the ending.
    BatchFileName("Rips\\", "Intro", out, sizeof out);
    EXPECT_STREQ(out, "rips\\intro.wav");
    BatchFileName("Rips\\", "Intro", out, 12);
    EXPECT_STREQ(out, "rips\\in.wav");
}

TEST(DiskSpace, EstimatesTheTrackInItsFormat) {
    EXPECT_EQ(RequiredBytes("04:00:00", 2, 44100, 16), 42336000u);
    EXPECT_EQ(RequiredBytes("04:00:74", 1, 11025, 8), 240u * 11025u);
    EXPECT_EQ(RequiredBytes("", 2, 44100, 16), 0u);
    EXPECT_TRUE(HasRoomFor(55036800u, 42336000u));
    EXPECT_FALSE(HasRoomFor(55036799u, 42336000u));
    EXPECT_TRUE(HasRoomFor(5000000000ull, 42336000u));
    EXPECT_EQ(EstimateDrive("d:\\x", 'C'), 'd');
    EXPECT_EQ(EstimateDrive("song", 'C'), 'c');
    EXPECT_EQ(EstimateDrive("", 'Z'), 'z');
}

}  // namespace
