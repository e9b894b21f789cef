// The virtual audio rig's sound card, driven through winmm as the program drives it:
// a "new" waveaudio device that records what the rig's CD plays (and the line input)
// and saves it, and a second device that plays a WAV file back and notifies its end.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "discgen.h"
#include "harness.h"
#include "rig_state.h"
#include "soundcard.h"

namespace {

const std::vector<long> kTracks = {150, 120, 3000};
const uint32_t kSeed = 11;

MCIERROR Send(const std::string& command, std::string* reply = nullptr) {
    char buffer[128] = "";
    MCIERROR error = mciSendStringA(command.c_str(), buffer, sizeof buffer, nullptr);
    if (reply) *reply = buffer;
    return error;
}

std::string Mode(const std::string& alias) {
    std::string reply;
    Send("status " + alias + " mode", &reply);
    return reply;
}

const std::string& TestDisc() {
    static const std::string cue = [] {
        std::string path = harness::JoinPath(harness::KeptScratchDir("rig_wave_discs"), "three.cue"), error;
        EXPECT_TRUE(discgen::WriteDisc(path, kTracks, kSeed, &error)) << error;
        return path;
    }();
    return cue;
}

// The format command of the recording engine: MCI_SET with 0x3F0400.
MCIERROR SetFormat(MCIDEVICEID id, int rate, int bits, int channels, DWORD tag = WAVE_FORMAT_PCM,
                   DWORD timeFormat = MCI_FORMAT_MILLISECONDS) {
    MCI_WAVE_SET_PARMS set = {};
    std::memset(&set, 0xCD, sizeof set);   // callers may leave garbage in the high words
    set.dwTimeFormat = timeFormat;
    set.wFormatTag = static_cast<WORD>(tag);
    set.nChannels = static_cast<WORD>(channels);
    set.nSamplesPerSec = rate;
    set.nAvgBytesPerSec = rate * channels * bits / 8;
    set.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    set.wBitsPerSample = static_cast<WORD>(bits);
    return mciSendCommandA(id, MCI_SET, 0x3F0400, reinterpret_cast<DWORD_PTR>(&set));
}

MCIERROR Save(MCIDEVICEID id, const std::string& path) {
    MCI_SAVE_PARMSA save = {};
    save.lpfilename = path.c_str();
    return mciSendCommandA(id, MCI_SAVE, MCI_WAIT | MCI_SAVE_FILE, reinterpret_cast<DWORD_PTR>(&save));
}

struct Wav {
    int channels = 0, rate = 0, bits = 0;
    std::string data;
};

// Reads a canonical 44-byte-header PCM WAV file.
::testing::AssertionResult ReadWav(const std::string& path, Wav* wav) {
    std::string bytes;
    if (!harness::ReadFile(path, &bytes)) return ::testing::AssertionFailure() << "cannot read " << path;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") || bytes.compare(8, 8, "WAVEfmt ") ||
        bytes.compare(36, 4, "data"))
        return ::testing::AssertionFailure() << "not a canonical WAV header";
    auto u16 = [&](size_t at) { return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8; };
    auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at)) | static_cast<uint32_t>(u16(at + 2)) << 16; };
    if (u32(16) != 16 || u16(20) != 1) return ::testing::AssertionFailure() << "not a 16-byte PCM format chunk";
    wav->channels = u16(22);
    wav->rate = static_cast<int>(u32(24));
    wav->bits = u16(34);
    uint32_t size = u32(40);
    if (u32(28) != static_cast<uint32_t>(wav->rate) * u16(32) || u16(32) != wav->channels * wav->bits / 8)
        return ::testing::AssertionFailure() << "inconsistent byte rate or block align";
    if (44 + size + (size & 1) != bytes.size() || u32(4) != bytes.size() - 8)
        return ::testing::AssertionFailure() << "sizes do not match the file";
    wav->data = bytes.substr(44, size);
    return ::testing::AssertionSuccess();
}

class RigWave : public ::testing::Test {
protected:
    void SetUp() override {
        rigstate::Reset();
        rigstate::SetDisc(TestDisc());
        dir_ = harness::ScratchDir();
    }
    void TearDown() override {
        mciSendStringA("stop cd", nullptr, 0, nullptr);   // a drive plays on after a close
        mciSendStringA("close all", nullptr, 0, nullptr);
        rigstate::Reset();
    }
    // Opens the recording device as the program does; returns its id.
    MCIDEVICEID OpenNew() {
        EXPECT_EQ(Send("open new type waveaudio alias wave"), 0u);
        return mciGetDeviceIDA("wave");
    }
    // Records for `ms` milliseconds in the given format and saves; returns the file.
    std::string RecordFor(DWORD ms, int rate, int bits, int channels, const std::string& name) {
        MCIDEVICEID id = OpenNew();
        EXPECT_EQ(SetFormat(id, rate, bits, channels), 0u);
        EXPECT_EQ(mciSendCommandA(id, MCI_RECORD, 0, 0), 0u);
        Sleep(ms);
        EXPECT_EQ(mciSendCommandA(id, MCI_STOP, 0, 0), 0u);
        std::string path = harness::JoinPath(dir_, name);
        EXPECT_EQ(Save(id, path), 0u);
        EXPECT_EQ(mciSendCommandA(id, MCI_CLOSE, 0, 0), 0u);
        return path;
    }
    std::string dir_;
};

TEST_F(RigWave, RecordingDuringACdPlayHoldsTheTrackBitForBit) {
    ASSERT_EQ(Send("open cdaudio shareable alias cd"), 0u);
    ASSERT_EQ(Send("set cd time format tmsf"), 0u);
    MCIDEVICEID id = OpenNew();
    ASSERT_NE(id, 0u);
    ASSERT_EQ(SetFormat(id, 44100, 16, 2), 0u);
    ASSERT_EQ(mciSendCommandA(id, MCI_RECORD, 0, 0), 0u);
    EXPECT_EQ(Mode("wave"), "recording");
    std::string length;
    ASSERT_EQ(Send("status cd length track 2", &length), 0u);
    ASSERT_EQ(Send("play cd from 2:00:00:00 to 2:" + length), 0u);
    EXPECT_TRUE(harness::WaitUntil([] { return Mode("cd") == "stopped"; }, 15000));
    Sleep(200);
    ASSERT_EQ(mciSendCommandA(id, MCI_STOP, 0, 0), 0u);
    EXPECT_EQ(Mode("wave"), "stopped");
    std::string path = harness::JoinPath(dir_, "track2.wav");
    ASSERT_EQ(Save(id, path), 0u);
    ASSERT_EQ(mciSendCommandA(id, MCI_CLOSE, 0, 0), 0u);

    Wav wav;
    ASSERT_TRUE(ReadWav(path, &wav));
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.bits, 16);
    std::vector<uint8_t> track;
    discgen::TrackFrames(kSeed, 2, 0, kTracks[1], &track);
    std::string expected(track.begin(), track.end());
    size_t at = wav.data.find(expected);
    ASSERT_NE(at, std::string::npos) << "the played track is not in the recording bit for bit";
    EXPECT_EQ(at % 4, 0u);
    EXPECT_EQ(wav.data.find_first_not_of('\0'), wav.data.find_first_not_of('\0', at)) << "sound before the play";
    EXPECT_EQ(wav.data.find_first_not_of('\0', at + expected.size()), std::string::npos) << "sound after the play";
}

TEST_F(RigWave, RecordsInTheFormatSetOnTheDevice) {
    ASSERT_EQ(Send("open cdaudio shareable alias cd"), 0u);
    ASSERT_EQ(Send("play cd from 00:02:00 to 00:42:00"), 0u);   // 40 s of track 3, MSF
    struct Case { int rate, bits, channels; } cases[] = {{11025, 8, 1}, {22050, 16, 1}, {44100, 8, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + "/" + std::to_string(c.bits) + "/" + std::to_string(c.channels));
        DWORD started = GetTickCount();
        std::string path = RecordFor(600, c.rate, c.bits, c.channels, "fmt.wav");
        DWORD elapsed = GetTickCount() - started;
        Wav wav;
        ASSERT_TRUE(ReadWav(path, &wav));
        EXPECT_EQ(wav.rate, c.rate);
        EXPECT_EQ(wav.bits, c.bits);
        EXPECT_EQ(wav.channels, c.channels);
        size_t frames = wav.data.size() / (c.channels * c.bits / 8);
        EXPECT_GE(frames, static_cast<size_t>(c.rate) * 550 / 1000);
        EXPECT_LE(frames, static_cast<size_t>(c.rate) * (elapsed + 100) / 1000);
        char silence = c.bits == 8 ? static_cast<char>(0x80) : '\0';
        EXPECT_NE(wav.data.find_first_not_of(silence), std::string::npos) << "the playing CD was not heard";
    }
    // Default format of a new device: 11,025 Hz, 8-bit mono.
    MCIDEVICEID id = OpenNew();
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_WAVE_STATUS_SAMPLESPERSEC;
    ASSERT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)), 0u);
    EXPECT_EQ(status.dwReturn, 11025u);
}

TEST_F(RigWave, LineInputIsMixedInLoopedFromTheStart) {
    // A 0.1 s line input of known samples, at 44,100/16/2 so that it is heard unchanged.
    std::vector<uint8_t> pcm(4410 * 4);
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        int16_t v = static_cast<int16_t>((i * 37) % 2000 + 1);
        std::memcpy(&pcm[i * 2], &v, 2);
    }
    std::vector<uint8_t> file = rig::MakeWavFile(rig::kCdFormat, pcm);
    std::string lineIn = harness::JoinPath(dir_, "line.wav");
    ASSERT_TRUE(harness::WriteFile(lineIn, std::string(file.begin(), file.end())));
    rigstate::SetLineIn(lineIn);

    std::string path = RecordFor(500, 44100, 16, 2, "line-rec.wav");
    Wav wav;
    ASSERT_TRUE(ReadWav(path, &wav));
    ASSERT_GE(wav.data.size(), pcm.size() * 3);
    std::string loop(pcm.begin(), pcm.end());
    EXPECT_EQ(wav.data.compare(0, loop.size(), loop), 0) << "the recording does not start with the line input";
    EXPECT_EQ(wav.data.compare(loop.size(), loop.size(), loop), 0) << "the line input does not loop";
    EXPECT_EQ(wav.data.compare(2 * loop.size(), loop.size(), loop), 0);
}

TEST_F(RigWave, FormatAndSaveErrors) {
    EXPECT_EQ(Send("open new type waveaudio alias wave shareable"), static_cast<MCIERROR>(MCIERR_UNSUPPORTED_FUNCTION));
    MCIDEVICEID id = OpenNew();
    ASSERT_NE(id, 0u);
    // The checks come in order: time format, then format tag.
    EXPECT_EQ(SetFormat(id, 44100, 16, 2, 2, MCI_FORMAT_FRAMES), static_cast<MCIERROR>(MCIERR_BAD_TIME_FORMAT));
    EXPECT_EQ(SetFormat(id, 44100, 16, 2, 2), static_cast<MCIERROR>(MCIERR_OUTOFRANGE));
    EXPECT_EQ(SetFormat(id, 8000, 16, 2), static_cast<MCIERROR>(MCIERR_OUTOFRANGE));
    ASSERT_EQ(SetFormat(id, 22050, 16, 1), 0u);
    ASSERT_EQ(mciSendCommandA(id, MCI_RECORD, 0, 0), 0u);
    Sleep(100);
    ASSERT_EQ(mciSendCommandA(id, MCI_STOP, 0, 0), 0u);
    EXPECT_EQ(SetFormat(id, 44100, 16, 2), static_cast<MCIERROR>(MCIERR_NONAPPLICABLE_FUNCTION));
    EXPECT_EQ(SetFormat(id, 44100, 16, 2, 2, MCI_FORMAT_FRAMES), static_cast<MCIERROR>(MCIERR_BAD_TIME_FORMAT));

    MCIERROR error = Save(id, harness::JoinPath(dir_, "no such folder\\x.wav"));
    EXPECT_TRUE(error == MCIERR_FILE_NOT_SAVED || error == MCIERR_FILE_WRITE) << error;
    // A second save of the same recording gives the same file.
    std::string a = harness::JoinPath(dir_, "a.wav"), b = harness::JoinPath(dir_, "b.wav");
    ASSERT_EQ(Save(id, a), 0u);
    ASSERT_EQ(Save(id, b), 0u);
    EXPECT_EQ(harness::ReadFileOrEmpty(a), harness::ReadFileOrEmpty(b));
    Wav wav;
    EXPECT_TRUE(ReadWav(a, &wav));
    EXPECT_EQ(wav.rate, 22050);
}

TEST_F(RigWave, PlayBackNotifiesItsEndOrItsAbort) {
    // Half a second of 22,050 Hz mono.
    std::vector<uint8_t> pcm(22050);
    std::vector<uint8_t> bytes = rig::MakeWavFile({22050, 16, 1}, pcm);
    std::string path = harness::JoinPath(dir_, "half.wav");
    ASSERT_TRUE(harness::WriteFile(path, std::string(bytes.begin(), bytes.end())));
    harness::NotifyWindow notify;
    ASSERT_NE(notify.handle(), nullptr);

    MCI_OPEN_PARMSA open = {};
    open.dwCallback = reinterpret_cast<DWORD_PTR>(notify.handle());
    open.lpstrDeviceType = "waveaudio";
    open.lpstrElementName = path.c_str();
    open.lpstrAlias = "newwave";
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, 0x2600, reinterpret_cast<DWORD_PTR>(&open)), 0u);
    ASSERT_EQ(mciGetDeviceIDA("newwave"), open.wDeviceID);
    std::string length;
    ASSERT_EQ(Send("status newwave length", &length), 0u);
    EXPECT_EQ(length, "500");

    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(notify.handle());
    DWORD started = GetTickCount();
    ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)), 0u);
    EXPECT_EQ(Mode("newwave"), "playing");
    LPARAM device = 0;
    WPARAM status = 0;
    ASSERT_TRUE(notify.Wait(10000, &device, &status)) << "no notification at the end of the file";
    EXPECT_GE(GetTickCount() - started, 450u) << "the end came before the file's length";
    EXPECT_EQ(status, static_cast<WPARAM>(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(device, static_cast<LPARAM>(open.wDeviceID));
    EXPECT_EQ(Mode("newwave"), "stopped");

    ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)), 0u);
    Sleep(100);
    ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_STOP, 0, 0), 0u);
    ASSERT_TRUE(notify.Wait(1000, &device, &status));
    EXPECT_EQ(status, static_cast<WPARAM>(MCI_NOTIFY_ABORTED));
    EXPECT_FALSE(notify.Wait(800, &device, &status)) << "a stopped play still reported its end";

    // Closing while playing aborts the play and leaves no timer behind.
    ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)), 0u);
    ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0), 0u);
    ASSERT_TRUE(notify.Wait(1000, &device, &status));
    EXPECT_EQ(status, static_cast<WPARAM>(MCI_NOTIFY_ABORTED));
    EXPECT_FALSE(notify.Wait(800, &device, &status));
}

TEST_F(RigWave, PlayBackOfMissingOrInvalidFilesFails) {
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "waveaudio";
    std::string missing = harness::JoinPath(dir_, "gone.wav");
    open.lpstrElementName = missing.c_str();
    open.lpstrAlias = "newwave";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, 0x2600, reinterpret_cast<DWORD_PTR>(&open)),
              static_cast<MCIERROR>(MCIERR_FILE_NOT_FOUND));
    std::string text = harness::JoinPath(dir_, "text.wav");
    ASSERT_TRUE(harness::WriteFile(text, "this is not a sound file at all, not even close"));
    open.lpstrElementName = text.c_str();
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, 0x2600, reinterpret_cast<DWORD_PTR>(&open)),
              static_cast<MCIERROR>(MCIERR_INVALID_FILE));
    EXPECT_EQ(mciGetDeviceIDA("newwave"), 0u);
}

}  // namespace
