// The main window itself: its fixed size, the dispatcher, the settings file, the
// source commands and the painted status area.
#include "quorrel_session.h"

namespace quorrel {
namespace {

class MainWindow : public QuorrelTest {
protected:
    LOGFONTA labelFont_ = ArialFont(14, FW_NORMAL);
};

std::string SettingsBytes(const char* fields) { return std::string("CDQRL1") + fields; }

int CALLBACK CountFace(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return 1;
}

bool FontFamilyInstalled(const char* face) {
    LOGFONTA wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    snprintf(wanted.lfFaceName, sizeof wanted.lfFaceName, "%s", face);
    int count = 0;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &wanted, CountFace, reinterpret_cast<LPARAM>(&count), 0);
    ReleaseDC(nullptr, dc);
    return count > 0;
}

// The advance of "0" in bold "Arial" on an em of 2,048 pixels: Arial's own is 1,139.
int ArialDigitAdvance() {
    LOGFONTA font = ArialFont(-2048, FW_BOLD);
    HDC dc = GetDC(nullptr);
    HFONT created = CreateFontIndirectA(&font);
    HGDIOBJ old = SelectObject(dc, created);
    INT width = 0;
    GetCharWidth32A(dc, '0', '0', &width);
    SelectObject(dc, old);
    DeleteObject(created);
    ReleaseDC(nullptr, dc);
    return width;
}

TEST_F(MainWindow, HasItsFixedSizeAndCannotBeResized) {
    InsertDisc({900, 900});
    ASSERT_TRUE(Launch());
    RECT before = app_.WindowRect();
    EXPECT_EQ(before.right - before.left, units_.X(350));
    EXPECT_EQ(before.bottom - before.top, units_.Y(155));
    SetWindowPos(app_.Window(), nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(app_.Window(), SW_MAXIMIZE);
    RECT after = app_.WindowRect();
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    ShowWindow(app_.Window(), SW_MINIMIZE);
    EXPECT_TRUE(harness::WaitUntil([&] { return IsIconic(app_.Window()) != FALSE; }, 2000));
    ShowWindow(app_.Window(), SW_RESTORE);
}

TEST_F(MainWindow, IgnoresCommandsOutsideItsRange) {
    InsertDisc({900, 900, 900});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    for (int id : {1, 2, 101, 125, 130, 1000, 65535}) app_.PostCommand(id);
    EXPECT_TRUE(app_.NoMessageBoxWithin(1500));
    EXPECT_TRUE(app_.Running());
    EXPECT_TRUE(app_.IsEnabled(kPlay));
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    EXPECT_FALSE(harness::FileExists(harness::JoinPath(dir_, "CDQuorrel.ini")));
}

TEST_F(MainWindow, SaveSettingsWritesTheFileAndReadsItBack) {
    InsertDisc({900, 900});
    std::string written = std::string("CDQRL1") + std::string("8\0" "11025" "1" "32\0" "2" "0" "1", 14);
    WriteSettingsFile(written);
    ASSERT_TRUE(Launch());
    // Source index 2: Record from Line In, MP3 on so its parameters are offered.
    EXPECT_TRUE(app_.MenuChecked(kLineIn));
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params));
    EXPECT_EQ(app_.ControlText(kPlay), "&Record");
    // A different first six bytes: the writer keeps them, the reader never looks.
    std::string mine = "ABCDEF" + written.substr(6);
    WriteSettingsFile(mine);
    app_.PostCommand(kSaveSettings);
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Save Settings");
    EXPECT_EQ(box.text, "New recording parameters saved.");
    EXPECT_TRUE(app_.Answer(box, "OK"));
    EXPECT_EQ(SettingsFile(), mine);
    EXPECT_TRUE(app_.NoMessageBoxWithin(300));
    EXPECT_EQ(ExitProgram(), 0u);   // no question: nothing changed since the save
}

TEST_F(MainWindow, SaveSettingsCreatesAMissingFileWithTheDefaults) {
    InsertDisc({900, 900});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    app_.PostCommand(kSaveSettings);
    EXPECT_EQ(app_.AnswerMessageBox("Save Settings", "OK").text, "New recording parameters saved.");
    std::string file = SettingsFile();
    ASSERT_EQ(file.size(), 20u);
    EXPECT_EQ(file.substr(6), "16441002128110");
}

TEST_F(MainWindow, SaveSettingsReportsAFileItCannotWrite) {
    InsertDisc({900, 900});
    std::string path = harness::JoinPath(dir_, "CDQuorrel.ini");
    std::string original = SettingsBytes("16441002128110");
    WriteSettingsFile(original);
    ASSERT_TRUE(Launch());
    // Another program holds the file and shares nothing.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    app_.PostCommand(kSaveSettings);
    harness::MessageBoxInfo box = app_.WaitForMessageBox("Save Settings");
    EXPECT_NE(box.text, "New recording parameters saved.");
    EXPECT_NE(box.text.find("CDQuorrel.ini"), std::string::npos) << box.text;
    EXPECT_TRUE(app_.Answer(box, "OK"));
    CloseHandle(held);
    EXPECT_EQ(SettingsFile(), original);
}

TEST_F(MainWindow, StoredPartialSourceSelectsRecordFromCdThenPartial) {
    InsertDisc({900, 900});
    WriteSettingsFile(SettingsBytes("16441002128410"));
    ASSERT_TRUE(Launch());
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    EXPECT_TRUE(app_.MenuChecked(kPartial));
    EXPECT_TRUE(app_.MenuGrayed(kTracksMenu));
    EXPECT_EQ(app_.ControlText(kPlay), "Play");
    // Switching Partial CD Recording off returns to Record from CD.
    app_.PostCommand(kPartial);
    EXPECT_TRUE(harness::WaitUntil([&] { return !app_.MenuChecked(kPartial); }, 2000));
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    EXPECT_FALSE(app_.MenuGrayed(kTracksMenu));
}

// A source index outside 0–4 reads as the default, Record from CD: the program never
// runs with no source chosen.
TEST_F(MainWindow, SourceIndexAboveFourSelectsRecordFromCd) {
    InsertDisc({900, 900});
    WriteSettingsFile(SettingsBytes("16441002128710"));
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    for (int id : {kRip, kLineIn, kConvert, kPartial}) EXPECT_FALSE(app_.MenuChecked(id)) << id;
    EXPECT_EQ(app_.ControlText(kPlay), "Play");
    EXPECT_TRUE(TrackButtonsEnabled());
}

TEST_F(MainWindow, SourceCommandsSetMenusLabelsAndTrack) {
    InsertDisc({1500, 2600, 1900});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());

    app_.PostCommand(kLineIn);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kLineIn); }, 2000));
    EXPECT_FALSE(app_.MenuChecked(kRecordCd));
    EXPECT_TRUE(app_.MenuGrayed(kPartial));
    EXPECT_TRUE(app_.MenuGrayed(kTracksMenu));
    EXPECT_EQ(app_.ControlText(kPlay), "&Record");
    EXPECT_TRUE(TrackButtonsDisabled());
    EXPECT_FALSE(app_.IsEnabled(kEject));
    EXPECT_TRUE(ShowsTrack("L"));

    app_.PostCommand(kConvert);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kConvert); }, 2000));
    EXPECT_EQ(app_.ControlText(kPlay), "Start");
    EXPECT_TRUE(app_.MenuGrayed(kWavParams));
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params));
    EXPECT_TRUE(ShowsTrack("C"));

    app_.PostCommand(kRip);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRip); }, 2000));
    EXPECT_EQ(app_.ControlText(kPlay), "Rip");
    EXPECT_TRUE(app_.MenuGrayed(kPartial));
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params));
    EXPECT_TRUE(TrackButtonsEnabled());
    EXPECT_TRUE(ShowsTrack("1"));
    EXPECT_TRUE(ShowsLength(LengthText(frames_, 1)));

    app_.PostCommand(kRecordCd);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(kRecordCd); }, 2000));
    EXPECT_FALSE(app_.MenuChecked(kRip));
    EXPECT_FALSE(app_.MenuGrayed(kPartial));
    EXPECT_EQ(app_.ControlText(kPlay), "Play");
}

TEST_F(MainWindow, PaintsTheStatusAreaWhereItBelongs) {
    // The fonts the window is drawn with: Arial's metrics, and Wine's Marlett for the
    // caption buttons (without it they show letters).
    EXPECT_TRUE(FontFamilyInstalled("Arial"));
    EXPECT_EQ(ArialDigitAdvance(), 1139);
    EXPECT_TRUE(FontFamilyInstalled("Marlett"));
    InsertDisc({1500, 2600, 1900, 300, 300, 300, 300, 300, 300, 300, 300, 2250});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    harness::Image screen = Screen();
    ASSERT_FALSE(screen.Empty());
    // The time display: a black panel with green digits.
    RECT panel = {units_.X(10) + 1, units_.Y(5) + 1, units_.X(330) - 1, units_.Y(30) - 1};
    int area = (panel.right - panel.left) * (panel.bottom - panel.top);
    int black = screen.CountColor(RGB(0, 0, 0), &panel), green = screen.CountColor(RGB(0, 255, 0), &panel);
    EXPECT_GT(green, 50) << "no green digits in the time display";
    EXPECT_GT(black, area / 2) << "the time display is not a black panel";
    LOGFONTA timeFont = ArialFont(32, FW_BOLD);
    RECT beforeColon = {units_.X(200), 0, units_.X(247), units_.Y(30)};   // ":" is drawn over its right edge
    EXPECT_TRUE(ShowsText(screen, units_.X(200), units_.Y(7), "00", &timeFont, RGB(0, 255, 0), RGB(0, 0, 0),
                          &beforeColon));
    EXPECT_TRUE(ShowsText(screen, units_.X(262), units_.Y(7), "00", &timeFont, RGB(0, 255, 0), RGB(0, 0, 0)));
    // The prompt line in its dark red, "Track" in the window font, the source label.
    EXPECT_TRUE(ShowsText(screen, units_.X(10), units_.Y(80), "Enter song name or click here:", nullptr,
                          RGB(131, 31, 58), GetSysColor(COLOR_BTNFACE)));
    EXPECT_TRUE(ShowsText(screen, units_.X(145), units_.Y(68), "Track", nullptr, RGB(0, 0, 0),
                          GetSysColor(COLOR_BTNFACE)));
    LOGFONTA labelFont = ArialFont(14, FW_NORMAL);
    EXPECT_TRUE(ShowsText(screen, units_.X(80), units_.Y(114), "Playing time:", &labelFont, RGB(0, 0, 0),
                          GetSysColor(COLOR_BTNFACE)));
    // The sunken frame: gray top-left, white bottom-right edges.
    EXPECT_EQ(screen.Pixel(units_.X(10) - 1, units_.Y(15)), RGB(80, 80, 80));
    EXPECT_EQ(screen.Pixel(units_.X(330), units_.Y(15)), RGB(255, 255, 255));

    // With a two-digit track and its length, every painted text keeps to its area and
    // frame, and no two meet: the digits of the clock and its colon, the label and the
    // length, the track number and the panel's edge.
    app_.PostCommand(kLastTrack);
    ASSERT_TRUE(harness::WaitUntil([&] { return ShowsTrack("12"); }, 3000));
    screen = Screen();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const RECT inPanel = {units_.X(10) + 1, units_.Y(5) + 1, units_.X(330) - 1, units_.Y(30) - 1};
    const RECT trackArea = units_.Of(kTrackNumberArea);
    const RECT inLabelFrame = {units_.X(70) + 1, units_.Y(113) + 1, units_.X(270), units_.Y(123)};
    const RECT lengthArea = units_.Of(kTrackLengthArea);
    const RECT promptArea = units_.Of(kPromptLineArea);
    RECT prev = {}, next = {};
    GetWindowRect(app_.Control(kPrevTrack), &prev);
    GetWindowRect(app_.Control(kNextTrack), &next);
    MapWindowPoints(nullptr, app_.Window(), reinterpret_cast<POINT*>(&prev), 2);
    MapWindowPoints(nullptr, app_.Window(), reinterpret_cast<POINT*>(&next), 2);
    const RECT betweenButtons = {prev.right, prev.top, next.left, prev.bottom};
    const std::string length = LengthText(frames_, 12).substr(0, 5);
    EXPECT_TRUE(TextsInPlace(screen, {
        {"12", &timeFont, units_.X(30), units_.Y(7), RGB(0, 255, 0), RGB(0, 0, 0), trackArea},
        {"00", &timeFont, units_.X(200), units_.Y(7), RGB(0, 255, 0), RGB(0, 0, 0), inPanel},
        {":", &timeFont, units_.X(247), units_.Y(7), RGB(0, 255, 0), RGB(0, 0, 0), inPanel},
        {"00", &timeFont, units_.X(262), units_.Y(7), RGB(0, 255, 0), RGB(0, 0, 0), inPanel},
        {"Track", nullptr, units_.X(145), units_.Y(68), RGB(0, 0, 0), face, betweenButtons},
        {"Enter song name or click here:", nullptr, units_.X(10), units_.Y(80), RGB(131, 31, 58), face, promptArea},
        {"Playing time:", &labelFont, units_.X(80), units_.Y(114), RGB(0, 0, 0), face, inLabelFrame},
        {length, &labelFont, units_.X(225), units_.Y(114), RGB(0, 0, 0), face, lengthArea},
    }));
    EXPECT_EQ(screen.CountColor(RGB(0, 255, 0)), screen.CountColor(RGB(0, 255, 0), &inPanel))
        << "green beyond the time display";
    screen.SaveBmp(harness::JoinPath(dir_, "window.bmp"));
}

TEST_F(MainWindow, EmptiedSongNameComesBackAsUntitled) {
    InsertDisc({900, 900});
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(DiscRead());
    app_.SetControlText(kSongName, "");
    InvalidateRect(app_.Window(), nullptr, TRUE);
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kSongName) == "untitled"; }, 2000));
    app_.SetControlText(kSongName, "My Song");
    InvalidateRect(app_.Window(), nullptr, TRUE);
    EXPECT_FALSE(harness::WaitUntil([&] { return app_.ControlText(kSongName) != "My Song"; }, 1000));
}

TEST_F(MainWindow, ClosingTheWindowEndsTheProgramLikeExit) {
    InsertDisc({900, 900});
    ASSERT_TRUE(Launch());
    app_.CloseBySystemMenu();
    DWORD code = 0xFFFF;
    ASSERT_TRUE(app_.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace quorrel
