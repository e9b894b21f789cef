// What the end-to-end tests of CDQuorrel.exe share: its ids, its layout units, test
// discs in the virtual drive, and a fixture that starts the program in a scratch folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "disc.h"
#include "discgen.h"
#include "harness.h"
#include "rig_state.h"

namespace quorrel {

enum Id {
    kPlay = 102, kSave = 103, kPlayBack = 104, kStopPlayBack = 105, kEject = 106, kExit = 107,
    kPrevTrack = 108, kNextTrack = 109, kFirstTrack = 110, kLastTrack = 111,
    kTracksMenu = 112, kSaveSettings = 115, kRecordCd = 116, kLineIn = 117, kPartial = 118,
    kConvert = 119, kRip = 120, kWavParams = 121, kMp3Params = 122,
    kSongName = 65535,
};

const int kTrackButtons[] = {kFirstTrack, kPrevTrack, kNextTrack, kLastTrack};

// The layout units the program measures: its window's default (system) font.
struct Units {
    int cw = 0, lh = 0;
    int X(int tenths) const { return cw * tenths / 10; }
    int Y(int tenths) const { return lh * tenths / 10; }
};

inline Units MeasureUnits() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return Units{tm.tmAveCharWidth, tm.tmHeight + tm.tmExternalLeading};
}

// The drive's length text of a track, "mm:ss:ff" (the last track one frame short).
inline std::string LengthText(const std::vector<long>& trackFrames, int track) {
    rig::Disc disc;
    long start = 0;
    for (long frames : trackFrames) {
        disc.trackStarts.push_back(start);
        start += frames;
    }
    disc.leadout = start;
    rig::Msf msf = rig::FramesToMsf(rig::TrackLengthFrames(disc, track));
    char text[16];
    snprintf(text, sizeof text, "%02d:%02d:%02d", msf.m, msf.s, msf.f);
    return text;
}

inline LOGFONTA ArialFont(int height, int weight) {
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    return font;
}

// Whether `image` shows `text` at (x, y) exactly as a device context draws it with
// `font` (null: the system font) in `fg` on an opaque `bg`: the test draws the same
// text itself and compares every pixel (only those inside `clip`, when given: a paint
// of one area draws no further).
inline ::testing::AssertionResult ShowsText(const harness::Image& image, int x, int y, const std::string& text,
                                            const LOGFONTA* font, COLORREF fg, COLORREF bg,
                                            const RECT* clip = nullptr) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HFONT created = font ? CreateFontIndirectA(font) : nullptr;
    HGDIOBJ oldFont = SelectObject(dc, created ? static_cast<HGDIOBJ>(created) : GetStockObject(SYSTEM_FONT));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    SetTextColor(dc, fg);
    SetBkColor(dc, bg);
    SetBkMode(dc, OPAQUE);
    TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
    int mismatches = 0, first = -1;
    const uint32_t* pixels = static_cast<const uint32_t*>(bits);
    for (int j = 0; j < size.cy; ++j)
        for (int i = 0; i < size.cx; ++i) {
            POINT at = {x + i, y + j};
            if (clip && !PtInRect(clip, at)) continue;
            uint32_t p = pixels[j * size.cx + i] & 0xFFFFFF;
            COLORREF want = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
            if (image.Pixel(x + i, y + j) != want && mismatches++ == 0) first = j * size.cx + i;
        }
    SelectObject(dc, oldBitmap);
    SelectObject(dc, oldFont);
    DeleteObject(bitmap);
    if (created) DeleteObject(created);
    DeleteDC(dc);
    if (size.cx == 0 || size.cy == 0) return ::testing::AssertionFailure() << "cannot measure \"" << text << "\"";
    if (mismatches == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" is not shown at (" << x << ", " << y << "): "
                                         << mismatches << " of " << size.cx * size.cy
                                         << " pixels differ, the first at (" << x + first % size.cx << ", "
                                         << y + first / size.cx << ")";
}

// Starts CDQuorrel.exe in a scratch folder with the rig in a known state.
class QuorrelTest : public ::testing::Test {
protected:
    void SetUp() override {
        rigstate::Reset();
        dir_ = harness::ScratchDir();
        units_ = MeasureUnits();
    }
    void TearDown() override {
        app_.Kill();
        rigstate::Reset();
    }

    // Writes a disc into the scratch folder; returns its .cue path.
    std::string MakeDisc(const std::string& name, const std::vector<long>& frames, uint32_t seed = 7) {
        std::string cue = harness::JoinPath(dir_, name + ".cue"), error;
        EXPECT_TRUE(discgen::WriteDisc(cue, frames, seed, &error)) << error;
        return cue;
    }
    void InsertDisc(const std::vector<long>& frames, const std::string& name = "disc") {
        frames_ = frames;
        rigstate::SetDisc(MakeDisc(name, frames));
        rigstate::SetDoorOpen(false);
    }

    void WriteSettingsFile(const std::string& bytes) {
        ASSERT_TRUE(harness::WriteFile(harness::JoinPath(dir_, "CDQuorrel.ini"), bytes));
    }
    std::string SettingsFile() { return harness::ReadFileOrEmpty(harness::JoinPath(dir_, "CDQuorrel.ini")); }

    // Starts the program and waits for its main window. The encoder library's notice
    // at start-up is answered as it comes.
    bool Launch() {
        if (!app_.Start(harness::BinPath("CDQuorrel.exe"), dir_)) return false;
        app_.AutoAnswer({"MP3 Error", "", "OK"});
        return app_.WaitForWindow("CDQuorl") != nullptr;
    }
    // Waits until the start-up check or the poll has read the disc (Play enabled).
    ::testing::AssertionResult DiscRead(DWORD timeoutMs = 8000) {
        return harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, timeoutMs);
    }
    // Exit, answering "No" to the save question if it comes; the exit code.
    DWORD ExitProgram() {
        app_.PostCommand(kExit);
        DWORD code = 0xFFFF;
        EXPECT_TRUE(app_.WaitForExit(10000, &code)) << "CD Quorrel did not end after Exit";
        return code;
    }

    bool TrackButtonsEnabled() {
        for (int id : kTrackButtons)
            if (!app_.IsEnabled(id)) return false;
        return true;
    }
    bool TrackButtonsDisabled() {
        for (int id : kTrackButtons)
            if (app_.IsEnabled(id)) return false;
        return true;
    }

    // The client area once the program has painted it.
    harness::Image Screen() { return app_.CaptureClientSettled(); }

    // Whether the track-length area shows `length` (its first five characters).
    ::testing::AssertionResult ShowsLength(const std::string& length) {
        LOGFONTA font = ArialFont(14, FW_NORMAL);
        RECT area = {units_.X(220), units_.Y(114), units_.X(270), units_.Y(122)};
        return ShowsText(Screen(), units_.X(225), units_.Y(114), length.substr(0, 5), &font, RGB(0, 0, 0),
                         GetSysColor(COLOR_BTNFACE), &area);
    }
    // Whether the time display shows the current track `track`.
    ::testing::AssertionResult ShowsTrack(const std::string& track) {
        LOGFONTA font = ArialFont(32, FW_BOLD);
        return ShowsText(Screen(), units_.X(track.size() == 2 ? 30 : 40), units_.Y(7), track, &font,
                         RGB(0, 255, 0), RGB(0, 0, 0));
    }

    harness::Program app_;
    std::string dir_;
    Units units_;
    std::vector<long> frames_;
};

}  // namespace quorrel
