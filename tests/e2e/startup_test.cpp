// Starting CD Quorrel: reading the disc, the drive's states at start, the AutoRun guard.
#include "quorrel_session.h"

namespace quorrel {
namespace {

const char kPolicyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

struct AutorunValue {
    bool present = false;
    DWORD type = 0;
    std::string bytes;
};

AutorunValue ReadAutorun() {
    AutorunValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    char data[64];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, "NoDriveTypeAutoRun", nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.present = true;
        value.bytes.assign(data, size);
    }
    RegCloseKey(key);
    return value;
}

// Sets the value as a REG_DWORD, or removes it (the key stays).
void SetAutorunDword(bool present, DWORD dword = 0) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (present)
        RegSetValueExA(key, "NoDriveTypeAutoRun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword);
    else
        RegDeleteValueA(key, "NoDriveTypeAutoRun");
    RegCloseKey(key);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

using Startup = QuorrelTest;

TEST_F(Startup, ReadsTheDiscAndOffersItsTracks) {
    InsertDisc({1200, 2000, 1650});
    ASSERT_TRUE(Launch());
    EXPECT_EQ(app_.Title(), "CD Quorrel");
    ASSERT_TRUE(DiscRead()) << "Play was not enabled for a readable disc";
    EXPECT_TRUE(TrackButtonsEnabled());
    EXPECT_TRUE(app_.IsEnabled(kEject));
    EXPECT_FALSE(app_.IsEnabled(kSave));
    EXPECT_FALSE(app_.IsEnabled(kPlayBack));
    EXPECT_FALSE(app_.IsEnabled(kStopPlayBack));
    EXPECT_EQ(app_.ControlText(kPlay), "Play");
    EXPECT_EQ(app_.ControlText(kSongName), "untitled");
    // No settings file: Record from CD, and MP3 parameters grayed while MP3 is off.
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    EXPECT_FALSE(app_.MenuChecked(kPartial));
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params));
    EXPECT_TRUE(ShowsTrack("1"));
    EXPECT_TRUE(ShowsLength(LengthText(frames_, 1)));
    EXPECT_TRUE(app_.NoMessageBoxWithin(1500));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Startup, WithoutDiscSaysSoOnce) {
    ASSERT_TRUE(Launch());
    harness::MessageBoxInfo box = app_.WaitForMessageBox("CD Error");
    EXPECT_EQ(box.text, "No audio CD present.");
    EXPECT_TRUE(app_.Answer(box, "OK"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(3000)) << "the message came again";
    EXPECT_FALSE(app_.IsEnabled(kPlay));
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_TRUE(app_.IsEnabled(kEject));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Startup, WithoutDiscIsQuietInLineIn) {
    WriteSettingsFile(std::string("CDQRL1") + "16" + "44100" + "2" + "128" + "2" + "1" + "0");
    ASSERT_TRUE(Launch());
    EXPECT_TRUE(app_.NoMessageBoxWithin(3500));
    EXPECT_TRUE(app_.MenuChecked(kLineIn));
    EXPECT_TRUE(ShowsTrack("L"));
    EXPECT_TRUE(DiscRead(3000)) << "the poll enables Play in Line In without a disc";
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Startup, WithoutDiscIsQuietInConvert) {
    WriteSettingsFile(std::string("CDQRL1") + "16" + "44100" + "2" + "128" + "3" + "1" + "0");
    ASSERT_TRUE(Launch());
    EXPECT_TRUE(app_.NoMessageBoxWithin(3500));
    EXPECT_TRUE(app_.MenuChecked(kConvert));
    EXPECT_EQ(app_.ControlText(kPlay), "Start");
    EXPECT_TRUE(ShowsTrack("C"));
    EXPECT_EQ(ExitProgram(), 0u);
}

TEST_F(Startup, ClosesAnOpenDoor) {
    InsertDisc({900, 1100, 1300});
    rigstate::SetDoorOpen(true);
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    EXPECT_FALSE(rigstate::DoorOpen()) << "the start-up check closes the door";
    EXPECT_TRUE(app_.NoMessageBoxWithin(1000));
}

TEST_F(Startup, OneTrackDiscAsksAndOkGoesOn) {
    InsertDisc({2000});
    ASSERT_TRUE(Launch());
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Error?");
    EXPECT_EQ(box.text, "I don't think this is an audio CD. Continue anyway?");
    EXPECT_TRUE(box.HasButton("OK") && box.HasButton("Cancel"));
    EXPECT_TRUE(app_.Answer(box, "OK"));
    ASSERT_TRUE(DiscRead());
    EXPECT_TRUE(ShowsLength(LengthText(frames_, 1)));
    EXPECT_TRUE(app_.NoMessageBoxWithin(1500));
}

TEST_F(Startup, OneTrackDiscCancelStopsWatchingTheDrive) {
    InsertDisc({2000});
    ASSERT_TRUE(Launch());
    EXPECT_TRUE(app_.Answer(app_.WaitForMessageBox("Error?"), "Cancel"));
    // The start-up is over all the same: over the window the pointer is an arrow again.
    RECT client = harness::ClientRectOnScreen(app_.Window());
    ASSERT_TRUE(SetCursorPos(client.left + units_.X(100), client.top + units_.Y(15)));
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.CursorShape() == "arrow"; }, 3000))
        << "the pointer shows " << app_.CursorShape();
    // Nothing watches the drive now: a new disc goes unnoticed.
    rigstate::SetDoorOpen(true);
    InsertDisc({900, 900, 900}, "other");
    EXPECT_FALSE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500));
}

TEST_F(Startup, HeldDriveEndsTheProgramAfterOneMessage) {
    SetAutorunDword(true, 0x91);
    rigstate::SetDriveBusy(true);
    ASSERT_TRUE(app_.Start(harness::BinPath("CDQuorrel.exe"), dir_));
    app_.AutoAnswer({"MP3 Error", "", "OK"});
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Open CD Device Error");
    char systemText[256] = {};
    mciGetErrorStringA(291, systemText, sizeof systemText);   // MCIERR_MUST_USE_SHAREABLE
    EXPECT_EQ(box.text, std::string(systemText) +
                            " Please click on the \"OK\" button and then try again. If problems persist, make sure "
                            "no other CD playing software is running and that your CD player is configured to play "
                            "audio CDs.");
    EXPECT_TRUE(app_.Answer(box, "OK"));
    DWORD code = 0xFFFF;
    ASSERT_TRUE(app_.WaitForExit(10000, &code)) << "the program goes on without a CD device";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(app_.FindTopWindow("CDQuorl", false), nullptr);
    AutorunValue after = ReadAutorun();
    EXPECT_EQ(after.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(after.bytes, Bytes({0x91, 0, 0, 0}));
}

TEST_F(Startup, AutorunIsOffWhileRunningAndRestoredAsBinary) {
    InsertDisc({900, 900});
    SetAutorunDword(true, 0x91);
    ASSERT_TRUE(Launch());
    AutorunValue during = ReadAutorun();
    EXPECT_EQ(during.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(during.bytes, Bytes({0xFF, 0, 0, 0}));
    EXPECT_EQ(ExitProgram(), 0u);
    AutorunValue after = ReadAutorun();
    EXPECT_EQ(after.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(after.bytes, Bytes({0x91, 0, 0, 0}));

    // Two copies at once: AutoRun stays off until the last one ends, whichever ends
    // first, and then the user's value comes back.
    for (bool firstEndsFirst : {true, false}) {
        harness::Program second;
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(Launch(second));
        harness::Program& early = firstEndsFirst ? app_ : second;
        harness::Program& late = firstEndsFirst ? second : app_;
        DWORD code = 0xFFFF;
        ASSERT_TRUE(early.PostCommand(kExit) && early.WaitForExit(10000, &code));
        EXPECT_EQ(ReadAutorun().bytes, Bytes({0xFF, 0, 0, 0})) << "while a copy still runs";
        ASSERT_TRUE(late.PostCommand(kExit) && late.WaitForExit(10000, &code));
        EXPECT_EQ(ReadAutorun().bytes, Bytes({0x91, 0, 0, 0})) << (firstEndsFirst ? "first" : "second")
                                                               << " copy ended first";
    }
    // A copy that ended without its exit steps left AutoRun off: the next one to run
    // still puts the user's value back.
    ASSERT_TRUE(Launch());
    app_.Kill();
    EXPECT_EQ(ReadAutorun().bytes, Bytes({0xFF, 0, 0, 0}));
    ASSERT_TRUE(Launch());
    EXPECT_EQ(ExitProgram(), 0u);
    EXPECT_EQ(ReadAutorun().bytes, Bytes({0x91, 0, 0, 0}));
}

TEST_F(Startup, AbsentAutorunValueIs149Afterwards) {
    InsertDisc({900, 900});
    SetAutorunDword(false);
    ASSERT_TRUE(Launch());
    EXPECT_FALSE(ReadAutorun().present) << "nothing is written at start for an absent value";
    EXPECT_EQ(ExitProgram(), 0u);
    AutorunValue after = ReadAutorun();
    ASSERT_TRUE(after.present);
    EXPECT_EQ(after.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(after.bytes, Bytes({149, 0, 0, 0}));
}

}  // namespace
}  // namespace quorrel
