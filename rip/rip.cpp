#include "rip.h"

bool RipCurrentTrack(HWND hwnd) {
    // This version has no extraction library: the rip says so and makes no file.
    MessageBoxA(hwnd, "Digital ripping needs the CD extraction library, which this version of CD Quorrel does not have yet.",
                "Message", MB_OK);
    return false;
}
