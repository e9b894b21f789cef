// Digital extraction of the current track through the extraction library.
#pragma once

#include <windows.h>

// Rips the current track into the file named by the song name field; shows its own
// messages. True when the file is complete.
bool RipCurrentTrack(HWND hwnd);
