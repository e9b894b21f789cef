// The virtual audio rig's CD drive, driven through winmm exactly as the program drives
// it: command strings to the "cdaudio" device that winmm serves with rigcd.drv; and,
// with the rig's emulated drive offered, Windows' own MCI CD driver on that drive,
// whose answers are the rig's.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "disc.h"
#include "discgen.h"
#include "harness.h"
#include "rig_state.h"

namespace {

// Track lengths in frames: a long third track gives a minutes digit, the last one
// lasts about a second so that a play to its end is quick.
const std::vector<long> kTracks = {300, 451, 4600, 77};
const uint32_t kSeed = 7;

struct Reply {
    MCIERROR error;
    std::string text;
};

Reply Mci(const std::string& command, HWND callback = nullptr) {
    char buffer[128] = "";
    MCIERROR error = mciSendStringA(command.c_str(), buffer, sizeof buffer, callback);
    return {error, buffer};
}

// The reply of a command that must succeed.
std::string Text(const std::string& command) {
    Reply reply = Mci(command);
    EXPECT_EQ(reply.error, 0u) << command;
    return reply.text;
}

MCIERROR Error(const std::string& command) { return Mci(command).error; }

std::string MsfText(long frames) {
    rig::Msf msf = rig::FramesToMsf(frames);
    char text[16];
    snprintf(text, sizeof text, "%02d:%02d:%02d", msf.m, msf.s, msf.f);
    return text;
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The test disc, written once per run.
const std::string& TestDisc() {
    static const std::string cue = [] {
        std::string path = harness::JoinPath(harness::KeptScratchDir("rig_cd_discs"), "four.cue"), error;
        EXPECT_TRUE(discgen::WriteDisc(path, kTracks, kSeed, &error)) << error;
        return path;
    }();
    return cue;
}

rig::Disc ModelDisc() {
    rig::Disc disc;
    std::string error;
    EXPECT_TRUE(rig::LoadDisc(TestDisc(), &disc, &error)) << error;
    return disc;
}

class RigCd : public ::testing::Test {
protected:
    void SetUp() override {
        rigstate::Reset();
        rigstate::SetDisc(TestDisc());
    }
    void TearDown() override {
        mciSendStringA("stop cd", nullptr, 0, nullptr);
        mciSendStringA("close all", nullptr, 0, nullptr);
        rigstate::Reset();
    }
    void Open() { ASSERT_EQ(Error("open cdaudio shareable alias cd"), 0u); }
};

TEST_F(RigCd, OpensTheWayTheProgramDoes) {
    EXPECT_EQ(Error("stop cdaudio"), 0u);            // auto-open, stop, auto-close
    EXPECT_EQ(Error("close cdaudio"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(Text("open cdaudio shareable alias cd"), "1");
    EXPECT_EQ(Text("status cd time format"), "msf");
    EXPECT_EQ(Text("status cd ready"), "true");
    EXPECT_EQ(Text("status cd media present"), "true");
    EXPECT_EQ(Text("status cd mode"), "stopped");
    EXPECT_EQ(Text("set cd audio all on"), "");
    EXPECT_EQ(Text("info cd product"), "Virtual Audio Rig CD-ROM");
    EXPECT_EQ(Error("close cd"), 0u);
}

TEST_F(RigCd, AnswersTheDiscQueriesInEveryTimeFormat) {
    Open();
    rig::Disc disc = ModelDisc();
    ASSERT_EQ(Error("set cd time format tmsf"), 0u);
    EXPECT_EQ(Text("status cd time format"), "tmsf");
    EXPECT_EQ(Text("status cd number of tracks"), "4");
    EXPECT_EQ(Text("status cd start position"), "01:00:00:00");
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(Text("status cd length track " + std::to_string(k)), MsfText(rig::TrackLengthFrames(disc, k)))
            << "track " << k;
    EXPECT_EQ(Text("status cd length track 3"), "01:01:25");   // 4,600 frames
    EXPECT_EQ(Text("status cd length track 4"), "00:01:01");   // 77 frames, one fewer
    EXPECT_EQ(Text("status cd length"), MsfText(300 + 451 + 4600 + 77 - 1));
    EXPECT_EQ(Text("status cd position"), "01:00:00:00");
    EXPECT_EQ(Text("status cd current track"), "1");
    EXPECT_EQ(Error("status cd length track 5"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Error("status cd length track 0"), MCIERR_OUTOFRANGE);

    ASSERT_EQ(Error("set cd time format msf"), 0u);
    EXPECT_EQ(Text("status cd start position"), "00:02:00");
    EXPECT_EQ(Text("status cd position track 2"), "00:06:00");   // LBA 300 + 150
    EXPECT_EQ(Text("status cd length track 2"), "00:06:01");

    ASSERT_EQ(Error("set cd time format milliseconds"), 0u);
    EXPECT_EQ(Text("status cd time format"), "milliseconds");
    EXPECT_EQ(Text("status cd length track 1"), std::to_string(rig::FramesToMs(300)));
    EXPECT_EQ(Text("status cd start position"), std::to_string(rig::FramesToMs(150)));

    // The CD command table knows no other format words; binary callers can send any.
    MCI_SET_PARMS set = {};
    for (DWORD format : {DWORD{MCI_FORMAT_FRAMES}, DWORD{MCI_FORMAT_HMS}, DWORD{MCI_FORMAT_BYTES}, DWORD{99}}) {
        set.dwTimeFormat = format;
        EXPECT_EQ(mciSendCommandA(mciGetDeviceIDA("cd"), MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&set)),
                  static_cast<MCIERROR>(MCIERR_BAD_TIME_FORMAT))
            << "format " << format;
    }
    EXPECT_EQ(Text("status cd time format"), "milliseconds");
}

TEST_F(RigCd, DoorStateSurvivesCloseAndReopen) {
    Open();
    ASSERT_EQ(Error("set cd time format tmsf"), 0u);
    ASSERT_EQ(Error("play cd from 3 to 4"), 0u);
    ASSERT_EQ(Error("set cd door open"), 0u);
    EXPECT_TRUE(rigstate::DoorOpen());
    EXPECT_EQ(Text("status cd ready"), "false");
    EXPECT_EQ(Text("status cd media present"), "false");
    EXPECT_EQ(Text("status cd mode"), "open");
    EXPECT_EQ(Error("status cd number of tracks"), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Error("status cd length track 1"), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Error("play cd from 1 to 2"), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Error("seek cd to 1"), MCIERR_DEVICE_NOT_READY);

    ASSERT_EQ(Error("close cd"), 0u);   // the last device: winmm unloads the driver
    Open();
    EXPECT_EQ(Text("status cd mode"), "open");
    ASSERT_EQ(Error("set cd door closed"), 0u);
    EXPECT_FALSE(rigstate::DoorOpen());
    EXPECT_EQ(Text("status cd ready"), "true");
    EXPECT_EQ(Text("status cd mode"), "stopped");   // opening the door ended the play
    ASSERT_EQ(Error("close cd"), 0u);
    Open();
    EXPECT_EQ(Text("status cd ready"), "true");
}

// Windows' own driver (Wine's mcicda.dll) serving the emulated drive through the CD-ROM
// class driver's requests answers the program's queries as rigcd.drv does on the same
// disc: the track table, the lengths, positions, play and the door. Only the type of
// a track is a number there (1088: audio), a gap of Wine's.
TEST_F(RigCd, WindowsOwnDriverOnTheEmulatedDriveAnswersAsTheRigDoes) {
    const char* const queries[] = {
        "set cd time format tmsf", "status cd number of tracks", "status cd start position",
        "status cd length track 1", "status cd length track 2", "status cd length track 3", "status cd length track 4",
        "status cd length", "status cd ready", "status cd media present", "status cd mode", "seek cd to 3",
        "status cd position", "set cd time format msf", "status cd position track 2", "play cd from 00:02:00 to 00:03:00",
        "status cd mode"};
    std::vector<std::string> answers[2];
    for (int emulated = 0; emulated < 2; ++emulated) {
        rigstate::OfferEmulatedDrive(emulated != 0);
        Open();
        for (const char* query : queries) answers[emulated].push_back(Text(query));
        EXPECT_TRUE(harness::WaitUntil([] { return Mci("status cd mode").text == "stopped"; }, 3000))
            << "the play of a second does not end";
        EXPECT_EQ(Text("status cd type track 2"), emulated ? "1088" : "audio");
        ASSERT_EQ(Error("set cd door open"), 0u);
        EXPECT_TRUE(rigstate::DoorOpen());
        answers[emulated].push_back(Text("status cd ready"));
        answers[emulated].push_back(Text("status cd mode"));
        EXPECT_NE(Error("status cd number of tracks"), 0u);
        ASSERT_EQ(Error("set cd door closed"), 0u);
        EXPECT_FALSE(rigstate::DoorOpen());
        answers[emulated].push_back(Text("status cd ready"));
        ASSERT_EQ(Error("close cd"), 0u);   // winmm unloads the driver: the next open chooses again
    }
    EXPECT_EQ(answers[1], answers[0]);
    EXPECT_EQ(answers[0][1], "4");
}

TEST_F(RigCd, SeeksToTracksAndToTheEnds) {
    Open();
    ASSERT_EQ(Error("set cd time format tmsf"), 0u);
    ASSERT_EQ(Error("seek cd to 3"), 0u);
    EXPECT_EQ(Text("status cd mode"), "stopped");
    EXPECT_EQ(Text("status cd position"), "03:00:00:00");
    EXPECT_EQ(Text("status cd current track"), "3");
    EXPECT_EQ(Error("seek cd to 5"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Text("status cd position"), "03:00:00:00");
    ASSERT_EQ(Error("seek cd to end"), 0u);
    EXPECT_EQ(Text("status cd position"), "04:00:01:01");   // leadout - 1
    ASSERT_EQ(Error("seek cd to start"), 0u);
    EXPECT_EQ(Text("status cd position"), "01:00:00:00");
}

TEST_F(RigCd, PlaysAShortStretchInRealTime) {
    Open();
    ASSERT_EQ(Error("set cd time format tmsf"), 0u);
    DWORD started = GetTickCount();
    ASSERT_EQ(Error("play cd from 2:00:00:00 to 2:00:01:00"), 0u);
    EXPECT_EQ(Text("status cd mode"), "playing");
    EXPECT_EQ(Text("status cd current track"), "2");
    EXPECT_TRUE(harness::WaitUntil(
        [] {
            std::string position = Mci("status cd position").text;
            return position > "02:00:00:00" && position < "02:00:01:00";
        },
        5000, 20))
        << "the position does not advance while playing";
    EXPECT_TRUE(harness::WaitUntil([] { return Mci("status cd mode").text == "stopped"; }, 15000));
    EXPECT_GE(GetTickCount() - started, 900u) << "one second of audio ended early";
    EXPECT_EQ(Text("status cd position"), "02:00:01:00");
}

TEST_F(RigCd, PlaysToTheEndOfTheLastTrack) {
    Open();
    ASSERT_EQ(Error("set cd time format tmsf"), 0u);
    std::string length = Text("status cd length track 4");
    ASSERT_EQ(Error("play cd from 4:00:00:00 to 4:" + length), 0u);
    EXPECT_EQ(Text("status cd mode"), "playing");
    EXPECT_TRUE(harness::WaitUntil([] { return Mci("status cd mode").text == "stopped"; }, 15000));
    EXPECT_EQ(Text("status cd position"), "04:" + length);

    EXPECT_EQ(Error("play cd from 4:00:01:02"), MCIERR_OUTOFRANGE);          // the leadout
    EXPECT_EQ(Error("play cd from 4 to 4:00:01:02"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Error("play cd from 3 to 2"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Error("play cd from 5 to 5:00:00:01"), MCIERR_OUTOFRANGE);     // no track 5
    EXPECT_EQ(Error("play cd from 1 to 9"), MCIERR_OUTOFRANGE);
    // Without "to", a play runs to leadout - 1.
    ASSERT_EQ(Error("play cd from 4:00:01:00"), 0u);
    EXPECT_TRUE(harness::WaitUntil([] { return Mci("status cd mode").text == "stopped"; }, 15000));
    EXPECT_EQ(Text("status cd position"), "04:00:01:01");
}

TEST_F(RigCd, PauseHoldsThePositionAndPlayResumes) {
    Open();
    ASSERT_EQ(Error("set cd time format tmsf"), 0u);
    ASSERT_EQ(Error("play cd from 3 to 4"), 0u);
    Sleep(300);
    ASSERT_EQ(Error("pause cd"), 0u);
    EXPECT_EQ(Text("status cd mode"), "paused");
    std::string held = Text("status cd position");
    EXPECT_GT(held, "03:00:00:00");
    Sleep(200);
    EXPECT_EQ(Text("status cd position"), held);
    ASSERT_EQ(Error("play cd"), 0u);
    EXPECT_EQ(Text("status cd mode"), "playing");
    ASSERT_EQ(Error("stop cd"), 0u);
    EXPECT_EQ(Text("status cd mode"), "stopped");
    EXPECT_GE(Text("status cd position"), held);
}

TEST_F(RigCd, WithoutADiscNothingIsReady) {
    rigstate::SetDisc("");
    Open();
    EXPECT_EQ(Text("status cd ready"), "false");
    EXPECT_EQ(Text("status cd media present"), "false");
    EXPECT_EQ(Text("status cd mode"), "not ready");
    EXPECT_EQ(Error("status cd number of tracks"), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Error("status cd start position"), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Error("seek cd to 1"), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Error("play cd from 1 to 2"), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Error("stop cd"), 0u);
    // A disc put in while the device is open is seen at the next command.
    rigstate::SetDisc(TestDisc());
    EXPECT_EQ(Text("status cd media present"), "true");
    EXPECT_EQ(Text("status cd number of tracks"), "4");
}

TEST_F(RigCd, BrokenCueAndMissingBinMeanNoDisc) {
    std::string dir = harness::ScratchDir(), error;
    std::string broken = harness::JoinPath(dir, "broken.cue");
    ASSERT_TRUE(harness::WriteFile(broken, "FILE \"broken.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 xx:yy\r\n"));
    rigstate::SetDisc(broken);
    Open();
    EXPECT_EQ(Text("status cd media present"), "false");
    EXPECT_EQ(Text("status cd ready"), "false");
    EXPECT_EQ(Error("status cd number of tracks"), MCIERR_DEVICE_NOT_READY);

    std::string cue = harness::JoinPath(dir, "nobin.cue");
    std::string bin = harness::JoinPath(dir, "nobin.bin");
    ASSERT_TRUE(discgen::WriteDisc(cue, {100, 100}, 3, &error)) << error;
    ASSERT_TRUE(DeleteFileA(bin.c_str()));
    rigstate::SetDisc(cue);
    EXPECT_EQ(Text("status cd media present"), "false");
    EXPECT_EQ(Text("status cd mode"), "not ready");
    // The BIN arriving later makes the disc appear.
    ASSERT_TRUE(discgen::WriteDisc(cue, {100, 100}, 3, &error)) << error;
    EXPECT_TRUE(harness::WaitUntil([] { return Mci("status cd media present").text == "true"; }, 5000, 100));
    EXPECT_EQ(Text("status cd number of tracks"), "2");
}

TEST_F(RigCd, BusyDriveRefusesEveryOpen) {
    rigstate::SetDriveBusy(true);
    EXPECT_EQ(Error("open cdaudio shareable alias cd"), MCIERR_MUST_USE_SHAREABLE);
    EXPECT_EQ(Error("open cdaudio alias cd2"), MCIERR_MUST_USE_SHAREABLE);
    EXPECT_EQ(Error("stop cdaudio"), MCIERR_MUST_USE_SHAREABLE);
    rigstate::SetDriveBusy(false);
    EXPECT_EQ(Text("open cdaudio shareable alias cd"), "1");
}

TEST_F(RigCd, UnsupportedRequestsAndTheUnopenedWaveDevice) {
    Open();
    EXPECT_EQ(Error("record cd"), MCIERR_UNSUPPORTED_FUNCTION);
    MCIDEVICEID id = mciGetDeviceIDA("cd");
    ASSERT_NE(id, 0u);
    MCI_STATUS_PARMS status = {};
    status.dwItem = 0x99;
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)),
              MCIERR_UNSUPPORTED_FUNCTION);
    MCI_SAVE_PARMSA save = {};
    save.lpfilename = "x.wav";
    EXPECT_EQ(mciSendCommandA(id, MCI_SAVE, MCI_SAVE_FILE | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&save)),
              MCIERR_UNSUPPORTED_FUNCTION);
    // Binary callers see plain values, not the resource encoding.
    status.dwItem = MCI_STATUS_MEDIA_PRESENT;
    ASSERT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)), 0u);
    EXPECT_EQ(status.dwReturn, static_cast<DWORD_PTR>(TRUE));

    // No "wave" device: Wine answers 281 (it tries to open "wave" as a file), Windows 263.
    EXPECT_EQ(mciGetDeviceIDA("wave"), 0u);
    EXPECT_EQ(Error("status wave mode"),
              RunningUnderWine() ? static_cast<MCIERROR>(MCIERR_EXTENSION_NOT_FOUND)
                                 : static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_NAME));
}

TEST_F(RigCd, NotifiesAbortedSupersededAndSuccessful) {
    Open();
    harness::NotifyWindow notify;
    ASSERT_NE(notify.handle(), nullptr);
    LPARAM id = mciGetDeviceIDA("cd");
    ASSERT_EQ(Error("set cd time format tmsf"), 0u);

    ASSERT_EQ(Mci("play cd from 3 to 4 notify", notify.handle()).error, 0u);
    EXPECT_TRUE(notify.Collect(100).empty()) << "a running play has nothing to report yet";
    ASSERT_EQ(Error("stop cd"), 0u);
    auto got = notify.Collect(200);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::make_pair(id, static_cast<WPARAM>(MCI_NOTIFY_ABORTED)));

    ASSERT_EQ(Mci("play cd from 3 to 4 notify", notify.handle()).error, 0u);
    ASSERT_EQ(Mci("status cd mode notify", notify.handle()).error, 0u);
    got = notify.Collect(200);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].second, static_cast<WPARAM>(MCI_NOTIFY_SUPERSEDED));
    EXPECT_EQ(got[1].second, static_cast<WPARAM>(MCI_NOTIFY_SUCCESSFUL));

    // A failing command sets up no notification.
    EXPECT_EQ(Mci("play cd from 9 to 9 notify", notify.handle()).error, static_cast<MCIERROR>(MCIERR_OUTOFRANGE));
    EXPECT_TRUE(notify.Collect(100).empty());
}

// The rig core rebuilds what the CD's output carried; a stretch played appears in it
// bit for bit, the same bytes as the disc's track.
TEST_F(RigCd, CdOutputCarriesThePlayedPcmExactly) {
    Open();
    HMODULE core = GetModuleHandleA("rigcore.dll");
    ASSERT_NE(core, nullptr);
    using NowFn = int64_t(__cdecl*)();
    using OutputFn = void(__cdecl*)(int64_t, int64_t, int32_t, int16_t*);
    auto now = reinterpret_cast<NowFn>(reinterpret_cast<void*>(GetProcAddress(core, "RigClockNow")));
    auto output = reinterpret_cast<OutputFn>(reinterpret_cast<void*>(GetProcAddress(core, "RigCdOutput")));
    ASSERT_TRUE(now && output);

    ASSERT_EQ(Error("set cd time format tmsf"), 0u);
    int64_t origin = now();
    Sleep(50);
    ASSERT_EQ(Error("play cd from 2:00:00:10 to 2:00:00:40"), 0u);   // 30 frames
    EXPECT_TRUE(harness::WaitUntil([] { return Mci("status cd mode").text == "stopped"; }, 15000));

    const int32_t pairs = 44100 * 2;
    std::vector<int16_t> heard(pairs * 2);
    output(origin, 0, pairs / 2, heard.data());                       // in two calls: they line up
    output(origin, pairs / 2, pairs / 2, heard.data() + pairs);
    std::vector<uint8_t> expectedBytes;
    discgen::TrackFrames(kSeed, 2, 10, 30, &expectedBytes);
    std::vector<int16_t> expected(expectedBytes.size() / 2);
    memcpy(expected.data(), expectedBytes.data(), expectedBytes.size());

    size_t first = 0;
    while (first < heard.size() && heard[first] == 0) ++first;
    first &= ~static_cast<size_t>(1);
    ASSERT_LT(first, heard.size()) << "nothing was heard";
    // Allow for leading zero samples in the material itself.
    size_t lead = 0;
    while (lead < expected.size() && expected[lead] == 0) ++lead;
    lead &= ~static_cast<size_t>(1);
    ASSERT_GE(first, lead);
    size_t at = first - lead;
    ASSERT_LE(at + expected.size(), heard.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), heard.begin() + at)) << "the played PCM differs";
    for (size_t i = at + expected.size(); i < heard.size(); ++i)
        ASSERT_EQ(heard[i], 0) << "sound after the play ended, at sample " << i;
}

}  // namespace
