// Layout units of the main window: every position is a multiple of the character
// width (cw) or line height (lh), the product truncated toward zero. Positions are
// written in tenths so that "26.2 cw" is Cw10(units, 262), exactly.
#pragma once

struct LayoutUnits {
    int cw;  // average character width of the window's default font
    int lh;  // its height plus external leading
};

inline int Cw10(const LayoutUnits& units, int tenths) { return units.cw * tenths / 10; }
inline int Lh10(const LayoutUnits& units, int tenths) { return units.lh * tenths / 10; }

struct Area {
    int left, top, right, bottom;
};

// Areas of the status display (tenths of cw for x, of lh for y).
constexpr Area kTimeDisplayArea{10, 5, 330, 30};
constexpr Area kTrackNumberArea{30, 10, 80, 25};
constexpr Area kTrackLengthArea{220, 114, 270, 122};
constexpr Area kPromptLineArea{10, 80, 330, 90};
constexpr Area kSongNamePrompt{190, 80, 300, 90};   // clicks and the prompt cursor, bounds exclusive

// True when (x, y) lies strictly inside the area.
inline bool StrictlyInside(const LayoutUnits& units, const Area& area, int x, int y) {
    return x > Cw10(units, area.left) && x < Cw10(units, area.right) && y > Lh10(units, area.top) &&
           y < Lh10(units, area.bottom);
}
