// The painted status area of the main window: the time display (a black panel with
// the current track and the clock in large green digits), "Track", the prompt line,
// the source label with the current length, and three sunken frames.
#pragma once

#include <windows.h>

#include "layout.h"

constexpr size_t kPromptText = 160;

// The prompt line of a window ready for the next Play.
extern const char kEnterPrompt[];

struct DisplayState {
    char minutesText[3];
    char secondsText[3];
    char promptLine[kPromptText];
    LOGFONTA timeFont;    // Arial 32, bold: clock and track number
    LOGFONTA labelFont;   // Arial 14: source label and current length
};

extern DisplayState g_display;

// Sets up the font descriptions and the clock texts "00" (window creation).
void InitDisplay();
void OnPaint(HWND hwnd);
// Sets both clock texts to "00" and draws them at once.
void ResetTimeDisplay(HWND hwnd);
// Draws the clock texts at once; the minutes only when `withMinutes`.
void DrawClock(HWND hwnd, bool withMinutes);
// Invalidates (with erasing) one fixed area so the next paint shows its new text.
void InvalidateArea(HWND hwnd, const Area& area);
// Sets the prompt line text and, when `repaint`, invalidates its area.
void SetPromptLine(HWND hwnd, const char* text, bool repaint = true);
// Draws the prompt line at once (during long operations that paint their progress).
void DrawPromptLine(HWND hwnd);
// Makes `track` (1–99; any other number is track 1) the current track, shows it in the
// time display, and shows its length: read from the drive, or when `readLength` is
// false as the lengths table holds it.
void ShowTrack(HWND hwnd, int track, bool readLength = true);
