// MP3 files made by CD Quorrel through LameEnc.dll: after a recording with conversion
// on, and from a chosen WAV file in Convert WAV to MP3. Every MP3 file is checked by
// tools that share nothing with the encoder: a walk over its frame headers here, the
// Linux decoder mpg123 (Wine starts Linux programs), whose output must be the sound of
// the WAV file, delayed by the encoder and decoder, and the Linux tag reader mutagen
// for its ID3v2 tag.
#include "quorrel_session.h"

#include <cmath>

#include "conversion_plan.h"
#include "mp3_tag.h"
#include "riff_builder.h"

namespace quorrel {
namespace {

const char kDeleteQuestion[] = "Are you sure you want to delete the WAV file after conversion?";
const char kOverwriteText[] = "File name already exists. Overwrite current file?";
const char kFormatRefusal[] =
    "To convert, the WAV file must be recorded in stereo with 16 bits per sample and 44,100 samples per second "
    "(Click on \"Options->Recording Parameters\").";

// ---- the frame-header walk ----

// Walks every frame of `mp3`: each must be MPEG-1 Layer III, 44,100 Hz, plain stereo,
// `kbps`, without CRC, private, copyright or original bits, and the frames must fill
// the file exactly: after an ID3v2 tag at most, no ID3v1 tag and no Xing/Info frame.
::testing::AssertionResult WalkFrames(const std::string& mp3, int kbps, int* frames) {
    static const int kRates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
    *frames = 0;
    size_t at = 0;
    if (mp3.size() >= 10 && mp3.compare(0, 3, "ID3") == 0) {   // its size: 4 bytes of 7 bits each
        for (int i = 6; i < 10; ++i) at = at << 7 | (static_cast<uint8_t>(mp3[i]) & 0x7F);
        at += 10;
    }
    const size_t first = at;
    while (at < mp3.size()) {
        if (mp3.size() - at < 4) return ::testing::AssertionFailure() << "a torn header at byte " << at;
        const uint8_t* h = reinterpret_cast<const uint8_t*>(mp3.data() + at);
        std::string where = "frame " + std::to_string(*frames) + " at byte " + std::to_string(at);
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
            return ::testing::AssertionFailure() << where << ": no frame sync"
                                                 << (mp3.compare(at, 3, "TAG") == 0 ? " (an ID3v1 tag)" : "");
        if (((h[1] >> 3) & 3) != 3) return ::testing::AssertionFailure() << where << ": not MPEG-1";
        if (((h[1] >> 1) & 3) != 1) return ::testing::AssertionFailure() << where << ": not Layer III";
        if ((h[1] & 1) != 1) return ::testing::AssertionFailure() << where << ": protected by a CRC";
        int rate = kRates[h[2] >> 4];
        if (rate != kbps) return ::testing::AssertionFailure() << where << ": " << rate << " kbit/s";
        if (((h[2] >> 2) & 3) != 0) return ::testing::AssertionFailure() << where << ": not 44,100 Hz";
        if ((h[2] & 1) != 0) return ::testing::AssertionFailure() << where << ": private bit set";
        if ((h[3] >> 6) != 0) return ::testing::AssertionFailure() << where << ": channel mode " << (h[3] >> 6);
        if ((h[3] & 0x0C) != 0) return ::testing::AssertionFailure() << where << ": copyright or original bit set";
        if ((h[3] & 3) != 0) return ::testing::AssertionFailure() << where << ": emphasis";
        size_t length = 144000u * static_cast<size_t>(kbps) / 44100u + ((h[2] >> 1) & 1);
        if (at == first && mp3.size() >= at + 40) {
            std::string tag = mp3.substr(at + 4 + 32, 4);   // after the stereo side information
            if (tag == "Xing" || tag == "Info") return ::testing::AssertionFailure() << "a " << tag << " frame";
        }
        if (at + length > mp3.size())
            return ::testing::AssertionFailure() << where << ": " << length << " bytes, the file ends before";
        at += length;
        ++*frames;
    }
    if (*frames == 0) return ::testing::AssertionFailure() << "no frames";
    return ::testing::AssertionSuccess();
}

// ---- decoding with mpg123 ----

struct Decoded {
    int rate = 0, channels = 0;
    std::string pcm;
};

// Decodes `mp3Path` with the Linux mpg123 into a WAV file beside it.
::testing::AssertionResult DecodeWithMpg123(const std::string& mp3Path, Decoded* decoded) {
    std::string out = mp3Path + ".decoded.wav";
    DeleteFileA(out.c_str());
    std::string unixIn = harness::UnixPath(mp3Path), unixOut = harness::UnixPath(out);
    if (unixIn.empty() || unixOut.empty())
        return ::testing::AssertionFailure() << "no Unix path for " << mp3Path << " (not under Wine?)";
    std::string dir = mp3Path.substr(0, mp3Path.find_last_of('\\'));
    int code = -1;
    if (!harness::RunUnixShell("mpg123 -q -w '" + unixOut + "' '" + unixIn + "'", dir, &code))
        return ::testing::AssertionFailure() << "mpg123 could not be run, or did not finish";
    if (code != 0) return ::testing::AssertionFailure() << "mpg123 failed with exit code " << code;
    std::string wav;
    bool read = harness::ReadFile(out, &wav);
    DeleteFileA(out.c_str());   // the folder holds what CD Quorrel made, nothing else
    if (!read) return ::testing::AssertionFailure() << "mpg123 wrote no " << out;
    // The chunks of mpg123's WAV file: "fmt " for the format, "data" for the sound.
    if (wav.size() < 12 || wav.compare(0, 4, "RIFF") || wav.compare(8, 4, "WAVE"))
        return ::testing::AssertionFailure() << "mpg123's output is not a WAV file";
    auto u32 = [&](size_t i) {
        uint32_t v = 0;
        std::memcpy(&v, wav.data() + i, 4);
        return v;
    };
    for (size_t i = 12; i + 8 <= wav.size();) {
        std::string id = wav.substr(i, 4);
        size_t size = std::min<size_t>(u32(i + 4), wav.size() - i - 8);
        if (id == "fmt " && size >= 16) {
            decoded->channels = static_cast<uint8_t>(wav[i + 10]);
            decoded->rate = static_cast<int>(u32(i + 12));
        } else if (id == "data") {
            decoded->pcm = wav.substr(i + 8, size);
        }
        i += 8 + size + (size & 1);
    }
    if (decoded->pcm.empty()) return ::testing::AssertionFailure() << "mpg123 decoded no sound";
    return ::testing::AssertionSuccess();
}

// ---- similarity ----

std::vector<int16_t> Samples(const std::string& pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    return samples;
}

// Whether `decoded` holds `source` after a delay of at most `maxLag` sample pairs: the
// correlation of both channels over the source's whole length must reach `least`.
// With `whole`, `decoded` is the source alone: delayed by less than two MP3 frames (the
// encoder's and the decoder's), nothing of it missing at the end, and at most the
// padding of the last frames after it.
::testing::AssertionResult Holds(const std::string& source, const std::string& decoded, double least, bool whole,
                                 size_t maxLag = 2 * 1152) {
    std::vector<int16_t> a = Samples(source), b = Samples(decoded);
    const size_t pairs = a.size() / 2;
    if (pairs < 4410) return ::testing::AssertionFailure() << "only " << pairs << " sample pairs in the source";
    size_t bestLag = 0;
    double best = -1e300;
    const size_t window = std::min<size_t>(pairs, maxLag > 2 * 1152 ? 4096 : 44100);
    for (size_t lag = 0; lag <= maxLag && 2 * (lag + window) <= b.size(); ++lag) {
        double dot = 0;
        for (size_t i = 0; i < 2 * window; ++i) dot += static_cast<double>(a[i]) * b[i + 2 * lag];
        if (dot > best) best = dot, bestLag = lag;
    }
    if (b.size() / 2 < pairs + bestLag)
        return ::testing::AssertionFailure() << "decoded " << b.size() / 2 << " pairs, the source has " << pairs
                                             << " and the delay is " << bestLag;
    if (whole && b.size() / 2 > pairs + bestLag + 3 * 1152)
        return ::testing::AssertionFailure() << "decoded " << b.size() / 2 << " pairs, more than the " << pairs
                                             << " of the source allow";
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    const size_t n = 2 * pairs;
    for (size_t i = 0; i < n; ++i) {
        double x = a[i], y = b[i + 2 * bestLag];
        sa += x, sb += y, saa += x * x, sbb += y * y, sab += x * y;
    }
    double cov = sab - sa * sb / n, va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    double r = va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0;
    std::printf("decoded: delay %zu pairs, correlation %.4f\n", bestLag, r);
    if (r < least) return ::testing::AssertionFailure() << "correlation " << r << " (delay " << bestLag << ")";
    return ::testing::AssertionSuccess();
}

using riff::Chunk;
using riff::FormatBody;
using riff::Le;
using riff::Riff;

class Mp3 : public QuorrelTest {
protected:
    // Starts with the settings given and a disc of a 3-second and a 2-second track.
    void LaunchWith(int kbps, int source, bool keepWav, bool convertToMp3) {
        WriteSettingsFile(SettingsFileBytes(16, 44100, 2, kbps, source, keepWav, convertToMp3));
        InsertDisc({225, 150});
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead());
    }
    // The MP3 file `name` is a well-formed stream at `kbps`, decodes to `wavData` and
    // carries the tag `tags` as ReadTags gives it.
    void ExpectMp3Of(const std::string& name, int kbps, const std::string& wavData,
                     const std::vector<std::string>& tags = {"untagged"}) {
        std::vector<std::string> read;
        EXPECT_TRUE(ReadTags(ScratchPath(name), &read));
        EXPECT_EQ(read, tags) << name;
        std::string mp3;
        ASSERT_TRUE(harness::ReadFile(ScratchPath(name), &mp3)) << name << " was not made";
        int frames = 0;
        EXPECT_TRUE(WalkFrames(mp3, kbps, &frames)) << name;
        size_t pairs = wavData.size() / 4;
        EXPECT_GE(static_cast<size_t>(frames) * 1152, pairs) << "too few frames for the sound";
        Decoded decoded;
        ASSERT_TRUE(DecodeWithMpg123(ScratchPath(name), &decoded));
        EXPECT_EQ(decoded.rate, 44100);
        EXPECT_EQ(decoded.channels, 2);
        EXPECT_TRUE(Holds(wavData, decoded.pcm, kbps >= 128 ? 0.98 : 0.95, true)) << name;
    }
    std::string WriteWav(const std::string& name, const rig::WaveFormat& format, const std::string& data) {
        std::vector<uint8_t> file = rig::MakeWavFile(format, std::vector<uint8_t>(data.begin(), data.end()));
        EXPECT_TRUE(harness::WriteFile(ScratchPath(name), std::string(file.begin(), file.end())));
        return ScratchPath(name);
    }
    // Waits until the program's thread takes messages again: a conversion started
    // from the Play command has ended.
    ::testing::AssertionResult Settled() { return Answers(30000); }
    std::vector<std::string> Files() { return harness::ListFiles(dir_); }
    // The FLAC file `name` as Debian's tools see it: flac -t passes, flac -d gives back
    // exactly `pcm`, metaflac shows the MD5 of it and the TITLE, and mutagen (Debian's
    // python3-mutagen, for Debian's Python) reads the same.
    void ExpectFlacOf(const std::string& name, const std::string& pcm, const std::string& title) {
        std::string flac = harness::UnixPath(ScratchPath(name));
        ASSERT_FALSE(flac.empty());
        int code = -1;
        const std::string script =
            "set -e; f='" + flac + "'; flac -t -s \"$f\"; flac -d -s -f --force-raw-format --endian=little "
            "--sign=signed -o \"$f.raw\" \"$f\"; metaflac --list \"$f\" > \"$f.list\"; "
            "md5sum < \"$f.raw\" | cut -c1-32 > \"$f.md5\"; "
            "/usr/bin/python3 -c 'import sys, mutagen.flac; print(mutagen.flac.FLAC(sys.argv[1])[\"title\"][0])' \"$f\" "
            "> \"$f.title\"";
        ASSERT_TRUE(harness::RunUnixShell(script, dir_, &code, 60000));
        EXPECT_EQ(code, 0) << "flac -t, flac -d, metaflac or mutagen failed on " << name;
        std::string raw, list, md5, tagged;
        for (auto [ending, text] : {std::pair<const char*, std::string*>{".raw", &raw}, {".list", &list},
                                    {".md5", &md5}, {".title", &tagged}}) {
            harness::ReadFile(ScratchPath(name + ending), text);
            DeleteFileA(ScratchPath(name + ending).c_str());
        }
        EXPECT_TRUE(raw == pcm) << name << " decodes to " << raw.size() << " bytes, the WAV holds " << pcm.size();
        EXPECT_NE(list.find("MD5 signature: " + md5.substr(0, 32)), std::string::npos) << list;
        EXPECT_NE(list.find("comment[0]: TITLE=" + title), std::string::npos) << list;
        EXPECT_EQ(tagged, title + "\n");
    }
};

TEST_F(Mp3, RecordingNamedSongMp3LeavesTheMp3AndTheKeptWav) {
    LaunchWith(128, 1, true, false);
    PressPlayFor("Song.MP3");
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(Saved("song.mp3", 15000)) << "the notice names the MP3 file";
    EXPECT_EQ(app_.ControlText(kSongName), "song.mp3");
    EXPECT_TRUE(app_.IsEnabled(kPlayBack)) << "the WAV file is kept";
    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("song.wav"), &wav));
    std::string why;
    EXPECT_NE(StretchOf(TrackPcm(1), wav.data.substr(wav.data.find_first_not_of('\0') & ~size_t{3}), 4, &why),
              std::string::npos)
        << why;
    ExpectMp3Of("song.mp3", 128, wav.data, {"ID3v2.3.0", "TIT2:0:song", "TRCK:0:1/2"});   // as the CD's track 1
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Mp3, RecordingWithoutKeepingTheWavLeavesOnlyTheMp3) {
    LaunchWith(320, 1, false, true);
    PressPlayFor("tune");
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(Saved("tune.mp3", 15000));
    EXPECT_FALSE(harness::FileExists(ScratchPath("tune.wav"))) << "the WAV file is not to be kept";
    EXPECT_FALSE(app_.IsEnabled(kPlayBack));
    // The WAV file is gone; what it held was the track between silence.
    std::string mp3;
    ASSERT_TRUE(harness::ReadFile(ScratchPath("tune.mp3"), &mp3));
    int frames = 0;
    EXPECT_TRUE(WalkFrames(mp3, 320, &frames));
    Decoded decoded;
    ASSERT_TRUE(DecodeWithMpg123(ScratchPath("tune.mp3"), &decoded));
    std::string track = TrackPcm(1);
    ASSERT_GE(decoded.pcm.size(), track.size());
    EXPECT_TRUE(Holds(track, decoded.pcm, 0.98, false, (decoded.pcm.size() - track.size()) / 4))
        << "the track is not in the MP3 file";
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Mp3, ConvertsARecordedWavFileAndKeepsIt) {
    LaunchWith(64, 1, true, false);
    PressPlayFor("take1");
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(Saved("take1.wav", 15000));
    EXPECT_FALSE(harness::FileExists(ScratchPath("take1.mp3"))) << "conversion is off";
    WavFile wav;
    ASSERT_TRUE(ReadWavFile(ScratchPath("take1.wav"), &wav));

    ASSERT_TRUE(app_.SendCommand(kConvert));
    EXPECT_EQ(app_.ControlText(kPlay), "Start");
    ASSERT_TRUE(app_.SetControlText(kSongName, "take1"));
    ASSERT_TRUE(app_.SendCommand(kPlay, 30000)) << "the conversion did not end";
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    ExpectMp3Of("take1.mp3", 64, wav.data, {"ID3v2.3.0", "TIT2:0:take1"});   // the title its name gives
    WavFile after;
    ASSERT_TRUE(ReadWavFile(ScratchPath("take1.wav"), &after));
    EXPECT_EQ(after.data, wav.data) << "the kept WAV file changed";
    EXPECT_TRUE(app_.IsEnabled(kPlay));
    EXPECT_TRUE(app_.IsEnabled(kPlayBack));
    EXPECT_TRUE(app_.IsEnabled(kSongName));
    EXPECT_EQ(app_.ControlText(kSongName), "take1.wav");
    EXPECT_EQ(ExitProgram(), 0u);
}

// A rip is CD audio whatever the WAV parameters say: with conversion checked, then 8
// bits and mono chosen in Rip from CD, the rip still gets its MP3, and with "Convert to
// FLAC" checked its FLAC file too; the switch is kept in the registry, not the settings.
TEST_F(Mp3, ARipIsConvertedWhateverTheWavParametersSay) {
    LaunchWith(128, 0, true, false);
    EXPECT_FALSE(app_.MenuChecked(kFlac));
    ASSERT_TRUE(app_.SendCommand(kFlac));
    EXPECT_TRUE(app_.MenuChecked(kFlac));
    harness::MessageBoxInfo wav = (app_.PostCommand(kWavParams), app_.WaitForMessageBox("WAV Recording Parameters"));
    ASSERT_TRUE(wav.box);
    for (int button : {217, 205, 210}) {   // Convert, 8 bits, Mono
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutA(GetDlgItem(wav.box, button), BM_CLICK, 0, 0, SMTO_NORMAL, 3000, &result));
    }
    ASSERT_TRUE(app_.Answer(wav, "OK"));
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("MP3 Recording Parameters"), "OK"));
    ASSERT_TRUE(app_.SetControlText(kSongName, "ripped"));
    ASSERT_TRUE(app_.SendCommand(kPlay, 60000)) << "the rip and its conversion did not end";
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("ripped.wav")).substr(44), TrackPcm(1));
    ExpectMp3Of("ripped.mp3", 128, TrackPcm(1), {"ID3v2.3.0", "TIT2:0:ripped", "TRCK:0:1/2"});
    ExpectFlacOf("ripped.flac", TrackPcm(1), "ripped");
    auto flacValue = [] {
        DWORD on = 2, size = sizeof on;
        RegGetValueA(HKEY_CURRENT_USER, "Software\\CD Quorrel", "ConvertToFlac", RRF_RT_REG_DWORD, nullptr, &on, &size);
        return on;
    };
    EXPECT_EQ(flacValue(), 1u) << "kept at once";
    ASSERT_TRUE(app_.SendCommand(kFlac));   // off again for the other tests
    EXPECT_FALSE(app_.MenuChecked(kFlac));
    EXPECT_EQ(flacValue(), 0u);
    app_.AutoAnswer({"Save", "", "No"});   // the changed parameters are not kept
    EXPECT_EQ(ExitProgram(), 0u);
}

// With the WAV files not kept, a rip's WAV file goes only once its FLAC and MP3 files
// are whole; the rip's folder removed while its FLAC file is encoded leaves no file,
// whole or partial, under either name, and the messages say what became of the files.
TEST_F(Mp3, AFlacFileIsWholeOrNotThere) {
    WriteSettingsFile(SettingsFileBytes(16, 44100, 2, 128, 0, false, true));
    InsertDisc({150, 22500});   // five minutes in track 2: time to remove its folder
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    ASSERT_TRUE(app_.SendCommand(kFlac));
    ASSERT_TRUE(app_.SetControlText(kSongName, "kept"));
    ASSERT_TRUE(app_.SendCommand(kPlay, 60000));
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    const std::vector<std::string> kept = {"CDQuorrel.ini", "disc.bin", "disc.cue", "kept.flac", "kept.log", "kept.mp3"};
    EXPECT_EQ(Files(), kept);
    ExpectFlacOf("kept.flac", TrackPcm(1), "kept");

    const std::string away = ScratchPath("away");
    ASSERT_TRUE(CreateDirectoryA(away.c_str(), nullptr));
    ASSERT_TRUE(app_.SendCommand(kNextTrack));
    PressPlayFor("away\\long");
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::FileExists(away + "\\long.flac.part"); }, 60000));
    int code = -1;
    ASSERT_TRUE(harness::RunUnixShell("rm -rf '" + harness::UnixPath(away) + "'", dir_, &code));
    ASSERT_EQ(code, 0);
    harness::MessageBoxInfo box = app_.WaitForMessageBox("FLAC Error", 60000);
    EXPECT_EQ(box.text, "The FLAC file cannot be written under its name: its folder was removed. The FLAC file "
                        "away\\long.flac was not made; the WAV file is not there any more either.");
    ASSERT_TRUE(app_.Answer(box, "OK"));
    EXPECT_EQ(app_.AnswerMessageBox("File open error", "OK").text, "I can't find the file \"away\\long.wav\"");
    ASSERT_TRUE(Settled());
    EXPECT_FALSE(harness::DirExists(away));
    EXPECT_EQ(Files(), kept);
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000)) << "Start is not offered again";
    ASSERT_TRUE(app_.SendCommand(kFlac));   // off again for the other tests
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Mp3, AnExistingMp3IsAskedAboutAndNotKeepingTheWavAsksToo) {
    LaunchWith(128, 3, false, false);
    std::string sound = TrackPcm(2);
    WriteWav("one.wav", rig::kCdFormat, sound);
    WriteWav("two.wav", rig::kCdFormat, sound.substr(0, 10000));   // 10,000 bytes: two chunks and a part
    const std::string older(100000, 'x');
    ASSERT_TRUE(harness::WriteFile(ScratchPath("one.mp3"), older));

    // An MP3 file of that name is asked about as Record and Rip ask; Cancel keeps both files.
    PressPlayFor("one");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("one.mp3");
    EXPECT_EQ(box.text, kOverwriteText);
    EXPECT_TRUE(box.HasButton("OK") && box.HasButton("Cancel"));
    ASSERT_TRUE(app_.Answer(box, "Cancel"));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("one.mp3")), older);
    EXPECT_TRUE(harness::FileExists(ScratchPath("one.wav")));
    EXPECT_TRUE(app_.IsEnabled(kPlay));

    // OK, then Yes: the WAV file goes once the MP3 file is complete.
    PressPlayFor("one");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("one.mp3"), "OK"));
    box = app_.WaitForMessageBox("MP3 Convert");
    EXPECT_EQ(box.text, kDeleteQuestion);
    EXPECT_TRUE(box.HasButton("Yes") && box.HasButton("No"));
    ASSERT_TRUE(app_.Answer(box, "Yes"));
    ASSERT_TRUE(Settled());
    EXPECT_FALSE(harness::FileExists(ScratchPath("one.wav")));
    ExpectMp3Of("one.mp3", 128, sound, {"ID3v2.3.0", "TIT2:0:one"});
    EXPECT_FALSE(app_.IsEnabled(kPlayBack));
    EXPECT_EQ(app_.ControlText(kSongName), "one.mp3");

    // No: both files stay, and the question does not come again.
    PressPlayFor("two");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("MP3 Convert"), "No"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(harness::FileExists(ScratchPath("two.wav")));
    std::string mp3;
    ASSERT_TRUE(harness::ReadFile(ScratchPath("two.mp3"), &mp3));
    int frames = 0;
    EXPECT_TRUE(WalkFrames(mp3, 128, &frames));
    EXPECT_GE(frames * 1152, 2500);
    EXPECT_TRUE(app_.IsEnabled(kPlayBack));
    app_.PostCommand(kPlay);   // two.mp3 exists now
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("two.mp3"), "OK"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(app_.NoMessageBoxWithin(300)) << "asked again about deleting the WAV file";
    EXPECT_EQ(Files(), (std::vector<std::string>{"CDQuorrel.ini", "disc.bin", "disc.cue", "one.mp3", "two.mp3",
                                                  "two.wav"}));
    EXPECT_EQ(ExitProgram(), 0u);
}

// Sound after a LIST and a JUNK chunk and the extensible format chunk, followed by
// another chunk: exactly the data chunk's bytes are encoded, and the WAV file goes only
// then. Compressed sound is refused, not encoded.
TEST_F(Mp3, WavFilesWithMoreChunksConvertExactlyTheirSound) {
    LaunchWith(128, 3, false, false);
    const std::string sound = TrackPcm(2);
    const std::string info = Chunk("LIST", "INFOISFT" + Le(9, 4) + "A Writer" + std::string(1, '\0'));
    ASSERT_TRUE(harness::WriteFile(ScratchPath("tagged.wav"),
                                   Riff(info + Chunk("fmt ", riff::ExtensibleBody(riff::kPcmGuid)) +
                                        Chunk("JUNK", std::string(28, '\0')) + Chunk("data", sound) + info)));
    PressPlayFor("tagged");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("MP3 Convert"), "Yes"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(app_.NoMessageBoxWithin(200));
    ExpectMp3Of("tagged.mp3", 128, sound, {"ID3v2.3.0", "TIT2:0:tagged"});
    EXPECT_FALSE(harness::FileExists(ScratchPath("tagged.wav")));

    std::string voice = Riff(Chunk("fmt ", FormatBody(0x55, 2, 44100, 0)) + Chunk("data", std::string(8000, 'v')));
    ASSERT_TRUE(harness::WriteFile(ScratchPath("voice.wav"), voice));
    PressPlayFor("voice");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Error");
    EXPECT_EQ(box.text, "This WAV file holds compressed sound. Only uncompressed (PCM) WAV files can be converted.");
    ASSERT_TRUE(app_.Answer(box, "OK"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(app_.MenuChecked(kConvert)) << "another recording format would not help";
    EXPECT_TRUE(app_.IsEnabled(kPlay));
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("voice.wav")), voice);
    EXPECT_FALSE(harness::FileExists(ScratchPath("voice.mp3")));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Mp3, A22050HzWavIsRefusedAndTheSourceBecomesRecordFromCd) {
    LaunchWith(128, 3, true, false);
    WriteWav("low.wav", rig::WaveFormat{22050, 16, 2}, TrackPcm(2).substr(0, 40000));
    EXPECT_EQ(app_.ControlText(kPlay), "Start");
    PressPlayFor("low");
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Error");
    EXPECT_EQ(box.text, kFormatRefusal);
    ASSERT_TRUE(app_.Answer(box, "OK"));
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    EXPECT_FALSE(app_.MenuChecked(kConvert));
    EXPECT_NE(app_.ControlText(kPlay), "Start");
    EXPECT_FALSE(harness::FileExists(ScratchPath("low.mp3")));
    EXPECT_TRUE(harness::FileExists(ScratchPath("low.wav")));

    // A format the program cannot record is refused too, but not taken into the
    // settings: what Save Settings writes stays in the allowed values.
    ASSERT_TRUE(app_.SendCommand(kConvert));
    std::string high = Riff(Chunk("fmt ", FormatBody(1, 2, 48000, 24)) + Chunk("data", std::string(6000, 'h')));
    ASSERT_TRUE(harness::WriteFile(ScratchPath("high.wav"), high));
    PressPlayFor("high");
    EXPECT_EQ(app_.AnswerMessageBox("Error", "OK").text, kFormatRefusal);
    ASSERT_TRUE(Settled());
    app_.PostCommand(kSaveSettings);
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("Save Settings"), "OK"));
    EXPECT_EQ(SettingsFile().substr(6), std::string("16" "44100" "2" "128" "1" "1" "0"));
    EXPECT_EQ(ExitProgram(), 0u);
}

// A conversion that fails says why, keeps the WAV file even when it was to be deleted,
// leaves no MP3 file that could pass for a finished one, and offers Start again.
TEST_F(Mp3, FailuresKeepTheWavAndLeaveNoMp3) {
    LaunchWith(100, 3, false, false);   // 100 kbit/s in the settings file: no bit rate the program offers
    std::string sound = TrackPcm(2).substr(0, 20000);
    auto failsWith = [&](const std::string& song, const std::string& text) {
        PressPlayFor(song);
        ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("MP3 Convert"), "Yes"));
        harness::MessageBoxInfo box = app_.WaitForMessageBox("Message");
        EXPECT_EQ(box.text, text) << song;
        ASSERT_TRUE(app_.Answer(box, "OK"));
        ASSERT_TRUE(Settled());
        EXPECT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000)) << "Start is not offered again";
        EXPECT_TRUE(app_.IsEnabled(kSongName));
        EXPECT_TRUE(app_.IsEnabled(kPlayBack)) << "the WAV file is still there to be played";
        EXPECT_FALSE(harness::FileExists(ScratchPath(song + ".mp3.part")));
    };
    // The settings file's 100 kbit/s reads as the default, 128.
    WriteWav("odd.wav", rig::kCdFormat, sound);
    PressPlayFor("odd");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("MP3 Convert"), "Yes"));
    ASSERT_TRUE(Settled());
    std::string mp3;
    int frames = 0;
    ASSERT_TRUE(harness::ReadFile(ScratchPath("odd.mp3"), &mp3));
    EXPECT_TRUE(WalkFrames(mp3, 128, &frames));
    EXPECT_FALSE(harness::FileExists(ScratchPath("odd.wav")));

    // A folder where the MP3 file would go.
    WriteWav("clash.wav", rig::kCdFormat, sound);
    ASSERT_TRUE(CreateDirectoryA(ScratchPath("clash.mp3").c_str(), nullptr));
    failsWith("clash", "Error creating file");
    EXPECT_TRUE(harness::FileExists(ScratchPath("clash.wav")));
    EXPECT_TRUE(harness::DirExists(ScratchPath("clash.mp3")));

    // A file cut inside its header: its format fields are there, its sound is not.
    std::string header = harness::ReadFileOrEmpty(ScratchPath("clash.wav")).substr(0, 40);
    ASSERT_TRUE(harness::WriteFile(ScratchPath("cut.wav"), header));
    failsWith("cut", "Read error");
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("cut.wav")), header);
    EXPECT_FALSE(harness::FileExists(ScratchPath("cut.mp3")));

    // The WAV file removed after its name was typed.
    WriteWav("gone.wav", rig::kCdFormat, sound);
    ASSERT_TRUE(app_.SetControlText(kSongName, "gone"));
    ASSERT_TRUE(DeleteFileA(ScratchPath("gone.wav").c_str()));
    ASSERT_TRUE(app_.ClickButton(kPlay));
    EXPECT_EQ(app_.AnswerMessageBox("File Error", "OK").text, "I can't find this WAV file.");
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(app_.IsEnabled(kPlay));
    EXPECT_FALSE(harness::FileExists(ScratchPath("gone.mp3")));
    EXPECT_EQ(ExitProgram(), 0u);
}

// Without LameEnc.dll beside the program (started from a folder that lacks it), every
// conversion says so and keeps its WAV file, which Play Back still offers.
TEST_F(Mp3, WithoutTheEncoderLibraryTheWavFilesStay) {
    std::string folder = ScratchPath("program");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const char* file : {"CDQuorrel.exe", "AKrip32.dll"})
        ASSERT_TRUE(CopyFileA(harness::BinPath(file).c_str(), harness::JoinPath(folder, file).c_str(), FALSE)) << file;
    WriteSettingsFile(SettingsFileBytes(16, 44100, 2, 128, 3, false, false));
    SetLineIn(4410);
    std::string sound = TrackPcm(1, 150);
    WriteWav("take.wav", rig::kCdFormat, sound);
    ASSERT_TRUE(app_.Start(harness::JoinPath(folder, "CDQuorrel.exe"), dir_));
    EXPECT_EQ(app_.AnswerMessageBox("MP3 Error", "OK").text, "I Can't find the DLL file needed to make MP3 files.");
    ASSERT_TRUE(app_.WaitForWindow("CDQuorl"));
    ASSERT_TRUE(DiscRead(4000));

    PressPlayFor("take");
    ASSERT_TRUE(app_.Answer(app_.WaitForMessageBox("MP3 Convert"), "Yes"));
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text, "Unable to get Lame_Enc interface");
    ASSERT_TRUE(Settled());
    EXPECT_EQ(harness::ReadFileOrEmpty(ScratchPath("take.wav")).substr(44), sound);
    EXPECT_TRUE(app_.IsEnabled(kPlay));
    EXPECT_TRUE(app_.IsEnabled(kPlayBack)) << "the WAV file is still there";

    // A recording to be converted: saved as WAV, and said so.
    ASSERT_TRUE(app_.SendCommand(kLineIn));
    PressPlayFor("song.mp3");
    ASSERT_TRUE(Recording());
    Sleep(300);
    ASSERT_TRUE(app_.ClickButton(kSave));
    EXPECT_EQ(app_.AnswerMessageBox("Message", "OK").text, "Unable to get Lame_Enc interface");
    ASSERT_TRUE(Saved("song.wav"));
    WavFile wav;
    EXPECT_TRUE(ReadWavFile(ScratchPath("song.wav"), &wav));
    EXPECT_TRUE(app_.IsEnabled(kPlayBack));
    EXPECT_EQ(Files(), (std::vector<std::string>{"CDQuorrel.ini", "line-in source.wav", "program", "song.wav",
                                                  "take.wav"}));
    EXPECT_EQ(ExitProgram(), 0u);
}

// The encoder library on its own: a stream tagged with names in Japanese, in
// ISO-8859-1, with characters no file name may hold, a track "n/N" and MusicBrainz ids,
// read back by mutagen; the tag comes first, only once and only before the sound.
TEST_F(Mp3, TheLibraryTagsAStreamAsAnotherReaderReadsIt) {
    HMODULE library = LoadLibraryA(harness::BinPath("LameEnc.dll").c_str());
    ASSERT_TRUE(library);
    auto look = [library](auto* fn, const char* name) {
        *fn = reinterpret_cast<std::remove_reference_t<decltype(*fn)>>(
            reinterpret_cast<void*>(GetProcAddress(library, name)));
    };
    uint32_t(__cdecl * init)(const uint8_t*, uint32_t*, uint32_t*, uint32_t*);
    uint32_t(__cdecl * tag)(uint32_t, const uint8_t*, uint8_t*, uint32_t*);
    uint32_t(__cdecl * chunk)(uint32_t, uint32_t, const int16_t*, uint8_t*, uint32_t*);
    uint32_t(__cdecl * flush)(uint32_t, uint8_t*, uint32_t*);
    uint32_t(__cdecl * close)(uint32_t);
    look(&init, "beInitStream"), look(&tag, "beWriteTag"), look(&chunk, "beEncodeChunk");
    look(&flush, "beDeinitStream"), look(&close, "beCloseStream");
    ASSERT_TRUE(init && tag && chunk && flush && close);

    mp3::Mp3Tag names;
    names.title = "夜に駆ける";
    names.artist = "Björk";
    names.album = "AC/DC: Live?";
    names.year = "1992-10-27";
    names.track = 3, names.trackTotal = 12;
    names.releaseId = "a1b2c3d4-0000-1111-2222-333344445555";
    names.artistId = "66372d8b-1e5e-4e8b-a8a7-1ee1b1d2a7d3";
    names.recordingId = "0f0e0d0c-0b0a-0908-0706-050403020100";
    uint8_t config[mp3::kEncoderConfigBytes], record[mp3::kTagRecordBytes], empty[mp3::kTagRecordBytes];
    mp3::FillEncoderConfig(config, 128);
    mp3::FillTagRecord(names, record);
    mp3::FillTagRecord(mp3::Mp3Tag(), empty);
    const std::string sound = TrackPcm(2, 150);
    uint32_t samples = 0, bytes = 0, stream = 0, produced = 0, other = 0;
    ASSERT_EQ(init(config, &samples, &bytes, &stream), 0u);
    std::vector<uint8_t> out(bytes);
    std::string mp3;
    ASSERT_EQ(tag(stream, record, out.data(), &produced), 0u);
    mp3.append(reinterpret_cast<char*>(out.data()), produced);
    EXPECT_EQ(tag(stream, record, out.data(), &produced), 2u) << "a second tag";
    for (size_t at = 0; at < sound.size(); at += 2 * samples) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(2 * samples, sound.size() - at) / 2);
        ASSERT_EQ(chunk(stream, n, reinterpret_cast<const int16_t*>(sound.data() + at), out.data(), &produced), 0u);
        mp3.append(reinterpret_cast<char*>(out.data()), produced);
    }
    ASSERT_EQ(flush(stream, out.data(), &produced), 0u);
    mp3.append(reinterpret_cast<char*>(out.data()), produced);
    EXPECT_EQ(close(stream), 0u);
    ASSERT_TRUE(harness::WriteFile(ScratchPath("tagged.mp3"), mp3));
    ExpectMp3Of("tagged.mp3", 128, sound,
                {"ID3v2.3.0", "TALB:0:AC/DC: Live?", "TIT2:1:夜に駆ける", "TPE1:0:Björk", "TRCK:0:3/12",
                 "TXXX:0:MusicBrainz Album Id=" + names.releaseId, "TXXX:0:MusicBrainz Artist Id=" + names.artistId,
                 "TXXX:0:MusicBrainz Track Id=" + names.recordingId, "TYER:0:1992"});

    // A record with nothing to tag makes no bytes; a tag after the sound began is refused.
    ASSERT_EQ(init(config, &samples, &bytes, &other), 0u);
    EXPECT_EQ(tag(other, empty, out.data(), &produced), 0u);
    EXPECT_EQ(produced, 0u);
    ASSERT_EQ(init(config, &samples, &bytes, &stream), 0u);
    ASSERT_EQ(chunk(stream, samples, reinterpret_cast<const int16_t*>(sound.data()), out.data(), &produced), 0u);
    EXPECT_EQ(tag(stream, record, out.data(), &produced), 2u);
    close(stream), close(other);
    FreeLibrary(library);
}

// An encoder library without beWriteTag (as older ones are: here the export renamed)
// still converts a chosen WAV file, untagged.
TEST_F(Mp3, AnOlderEncoderLibraryConvertsUntagged) {
    std::string folder = ScratchPath("program"), library;
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const char* file : {"CDQuorrel.exe", "AKrip32.dll"})
        ASSERT_TRUE(CopyFileA(harness::BinPath(file).c_str(), harness::JoinPath(folder, file).c_str(), FALSE)) << file;
    ASSERT_TRUE(harness::ReadFile(harness::BinPath("LameEnc.dll"), &library));
    const std::string name("beWriteTag\0", 11);
    size_t found = 0;
    for (size_t at = library.find(name); at != std::string::npos; at = library.find(name, at + 1), ++found)
        library[at + 9] = 'z';   // "beWriteTaz" is still sorted last among the export names
    ASSERT_GE(found, 1u);
    ASSERT_TRUE(harness::WriteFile(harness::JoinPath(folder, "LameEnc.dll"), library));
    HMODULE older = LoadLibraryA(harness::JoinPath(folder, "LameEnc.dll").c_str());
    ASSERT_TRUE(older);
    EXPECT_FALSE(GetProcAddress(older, "beWriteTag"));
    EXPECT_TRUE(GetProcAddress(older, "beWriteTaz") && GetProcAddress(older, "beInitStream"));
    FreeLibrary(older);
    WriteSettingsFile(SettingsFileBytes(16, 44100, 2, 128, 3, true, false));
    InsertDisc({225, 150});
    const std::string sound = TrackPcm(2);
    WriteWav("old.wav", rig::kCdFormat, sound);
    ASSERT_TRUE(app_.Start(harness::JoinPath(folder, "CDQuorrel.exe"), dir_));
    ASSERT_TRUE(app_.WaitForWindow("CDQuorl"));
    ASSERT_TRUE(DiscRead());
    PressPlayFor("old");
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    ExpectMp3Of("old.mp3", 128, sound);
    EXPECT_EQ(ExitProgram(), 0u);
}

}  // namespace
}  // namespace quorrel
