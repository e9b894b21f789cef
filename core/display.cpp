#include "display.h"

#include <cstring>

#include "drive.h"
#include "engine_state.h"
#include "window_kit.h"

DisplayState g_display;

const char kEnterPrompt[] = "Enter song name or click here:";

namespace {

const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kPromptColour = RGB(131, 31, 58);
const COLORREF kShadow = RGB(80, 80, 80);
const COLORREF kHighlight = RGB(255, 255, 255);

int X(int tenths) { return Cw10(g_app.units, tenths); }
int Y(int tenths) { return Lh10(g_app.units, tenths); }

void Text(HDC dc, int x, int y, const char* text) { TextOutA(dc, x, y, text, static_cast<int>(strlen(text))); }

void Font(LOGFONTA* font, int height, int weight) {
    memset(font, 0, sizeof *font);
    font->lfHeight = height;
    font->lfWeight = weight;
    CopyText(font->lfFaceName, "Arial");
}

// A path of connected line segments; the end point of each segment is not drawn.
void Path(HDC dc, const POINT* points, int count) {
    MoveToEx(dc, points[0].x, points[0].y, nullptr);
    for (int i = 1; i < count; ++i) LineTo(dc, points[i].x, points[i].y);
}

void DrawFrames(HDC dc) {
    HPEN shadow = CreatePen(PS_SOLID, 1, kShadow);
    HPEN highlight = CreatePen(PS_SOLID, 1, kHighlight);
    HGDIOBJ oldPen = SelectObject(dc, shadow);
    const POINT timeShadow[] = {{X(10) - 1, Y(30) - 1}, {X(10) - 1, Y(5) - 1}, {X(330), Y(5) - 1}};
    const POINT labelShadow[] = {{X(70), Y(123)}, {X(70), Y(113)}, {X(270), Y(113)}};
    const POINT nameShadow[] = {{X(10) - 1, Y(109)}, {X(10) - 1, Y(94) - 1}, {X(330), Y(94) - 1}};
    Path(dc, timeShadow, 3);
    Path(dc, labelShadow, 3);
    Path(dc, nameShadow, 3);
    SelectObject(dc, highlight);
    const POINT timeLight[] = {{X(330), Y(5) - 1}, {X(330), Y(30)}, {X(10) - 1, Y(30)}};
    const POINT labelLight[] = {{X(270), Y(113)}, {X(270), Y(123)}, {X(70), Y(123)}};
    const POINT nameLight[] = {{X(330), Y(94) - 1}, {X(330), Y(109)}, {X(10) - 1, Y(109)}};
    Path(dc, timeLight, 3);
    Path(dc, labelLight, 3);
    Path(dc, nameLight, 3);
    SelectObject(dc, oldPen);
    DeleteObject(shadow);
    DeleteObject(highlight);
}

const char* SourceLabel() {
    switch (g_engine.mode) {
        case kSourceRip: return "Quorling from CD";
        case kSourceRecordCd:
        case kSourcePartial: return "Playing time:";
        case kSourceConvert: return "Convert WAV to MP3";
        default: return "Source: External audio";
    }
}

// What every paint does to the song name field besides painting, before it paints:
// an emptied field gets "untitled" back, and the field gets the keyboard focus, so that
// whatever the user did elsewhere in the window, typing goes on into the name.
void KeepSongNameField() {
    if (GetWindowTextLengthA(g_app.songName) == 0) ShowSongName("untitled");
    FocusSongName();
}

// The prompt line at its place, in its colour on the button face.
void PaintPromptLine(HDC dc) {
    SetTextColor(dc, kPromptColour);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    Text(dc, X(10), Y(80), g_display.promptLine);
}

// Minutes and seconds in green on black cells, at the clock's fixed places.
void DrawClockTexts(HDC dc, bool withMinutes) {
    HFONT font = CreateFontIndirectA(&g_display.timeFont);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, kGreen);
    SetBkColor(dc, kBlack);
    SetBkMode(dc, OPAQUE);
    if (withMinutes) Text(dc, X(200), Y(7), g_display.minutesText);
    Text(dc, X(262), Y(7), g_display.secondsText);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

}  // namespace

void InitDisplay() {
    Font(&g_display.timeFont, 32, FW_BOLD);
    Font(&g_display.labelFont, 14, FW_NORMAL);
    CopyText(g_display.minutesText, "00");
    CopyText(g_display.secondsText, "00");
}

void OnPaint(HWND hwnd) {
    KeepSongNameField();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HFONT timeFont = CreateFontIndirectA(&g_display.timeFont);
    HFONT labelFont = CreateFontIndirectA(&g_display.labelFont);

    HBRUSH black = CreateSolidBrush(kBlack);
    HGDIOBJ oldBrush = SelectObject(dc, black);
    Rectangle(dc, X(10), Y(5), X(330), Y(30));
    SelectObject(dc, oldBrush);
    DeleteObject(black);

    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, X(350), 0);
    DrawFrames(dc);

    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    Text(dc, X(145), Y(68), "Track");
    PaintPromptLine(dc);

    SetTextColor(dc, kBlack);
    HGDIOBJ oldFont = SelectObject(dc, labelFont);
    Text(dc, X(80), Y(114), SourceLabel());
    // Line In and Convert have no length to show, whatever was read before.
    if (!IsLetterTrack(g_tracks) && g_tracks.currentLength[0] != '\0') {
        char shown[6] = {};
        CopyText(shown, g_tracks.currentLength);
        Text(dc, X(225), Y(114), shown);
    }
    SelectObject(dc, oldFont);

    oldFont = SelectObject(dc, timeFont);
    SetTextColor(dc, kGreen);
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, kBlack);
    Text(dc, X(200), Y(7), g_display.minutesText);
    Text(dc, X(247), Y(7), ":");
    Text(dc, strlen(g_tracks.currentTrack) == 2 ? X(30) : X(40), Y(7), g_tracks.currentTrack);
    Text(dc, X(262), Y(7), g_display.secondsText);
    SelectObject(dc, oldFont);
    DeleteObject(timeFont);
    DeleteObject(labelFont);
    EndPaint(hwnd, &ps);
}

void ResetTimeDisplay(HWND hwnd) {
    CopyText(g_display.minutesText, "00");
    CopyText(g_display.secondsText, "00");
    DrawClock(hwnd, true);
}

void DrawClock(HWND hwnd, bool withMinutes) {
    HDC dc = GetDC(hwnd);
    if (!dc) return;
    DrawClockTexts(dc, withMinutes);
    ReleaseDC(hwnd, dc);
}

void InvalidateArea(HWND hwnd, const Area& area) {
    RECT rect = {X(area.left), Y(area.top), X(area.right), Y(area.bottom)};
    InvalidateRect(hwnd, &rect, TRUE);
}

void SetPromptLine(HWND hwnd, const char* text, bool repaint) {
    CopyText(g_display.promptLine, text);
    if (repaint) InvalidateArea(hwnd, kPromptLineArea);
}

void DrawPromptLine(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    if (!dc) return;
    PaintPromptLine(dc);
    ReleaseDC(hwnd, dc);
}

void ShowTrack(HWND hwnd, int track, bool readLength) {
    if (track < 1 || track > kMaxTrack) track = 1;
    SetCurrentTrack(&g_tracks, track);
    // The whole panel: a two-digit number runs past the track-number area's right edge.
    InvalidateArea(hwnd, kTimeDisplayArea);
    if (readLength)
        QueryTrackLength(track, g_tracks.currentLength, sizeof g_tracks.currentLength);
    else
        CopyText(g_tracks.currentLength, g_tracks.lengths[track]);
    InvalidateArea(hwnd, kTrackLengthArea);
}
