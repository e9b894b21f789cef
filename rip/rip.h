// Digital extraction of the current track through the extraction library
// (AKrip32.dll): bit for bit from the drive into a WAV file, no sound card involved.
#pragma once

#include <windows.h>

// The extraction handle of the first CD drive the library lists, or 0 when it lists
// none or refuses the handle. Called once at start-up.
int OpenExtractionDrive();
// Gives the handle back to the library (at exit); nothing for 0.
void CloseExtractionDrive(int handle);

// Whether the extraction drive's table of contents marks `track` a data track (its
// control nibble): the CD audio device may not say so in words. False without a handle
// or a table.
bool TrackIsData(int track);

// Rips the current track into the file `path`, drawing its progress into the prompt
// line and showing its own messages; `continuesBatch`: a later track of a batch, whose
// log is under way. True when the file is complete; on failure no file is left under
// that name.
bool RipCurrentTrack(HWND hwnd, const char* path, bool continuesBatch);
