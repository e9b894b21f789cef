// The rip's copy of one track (copy.cpp), as rip.cpp finds it on the disc.
#pragma once

#include <windows.h>

#include "accuraterip.h"
#include "akrip32.h"

// The track to rip and what the checks need of the disc.
struct TrackToRip {
    int track = 0;
    long start = 0, length = 0;
    int arTrack = 0;      // its place among the disc's audio tracks (1-based)
    long audioEnd = 0;    // the frame after the disc's last audio frame
    DiscLayout layout;
};

// Copies the track from drive `cd` into the file `path`, checks it and logs it (a new
// log, unless `continuesBatch`). True when the file is complete; otherwise it is gone
// and the user has been told why.
bool CopyTrack(HWND hwnd, HCDROM cd, const TrackToRip& rip, const char* path, bool continuesBatch);

// The rip's messages, titled "Message".
void Tell(HWND hwnd, const char* text);
