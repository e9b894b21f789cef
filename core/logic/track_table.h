// The program's picture of the disc: track count, length texts as the drive gives
// them (mm:ss:ff), the current track and the tracks' names.
#pragma once

#include <cstddef>

#include "text.h"

constexpr int kMaxTrack = 99;         // slots 1..99; slot 0 belongs to no track
constexpr size_t kLengthText = 12;    // "mm:ss:ff" and room to spare
constexpr size_t kTrackNameText = 50;

struct TrackTable {
    int trackCount;                              // 0 before the first scan
    char lengths[kMaxTrack + 1][kLengthText];    // reply of "status cd length track k"
    char currentTrack[4];                        // "1".."99", "L" (line in), "C" (convert)
    char currentLength[kLengthText];             // length text of the current track
    char trackNames[kMaxTrack + 1][kTrackNameText];
    int discChanges;                             // discs forgotten: what was chosen for one belongs to it
};

// Decimal value of a reply text as the program reads numbers (leading digits; 0 if none).
int ReplyNumber(const char* text);

// The track count a "status cd number of tracks" reply stands for, limited to the
// table's 99 slots (an audio CD has at most 99 tracks).
int TrackCountFromReply(const char* reply);

// The current track as a number (0 for "L", "C" or anything not a track).
int CurrentTrackNumber(const TrackTable& table);
void SetCurrentTrack(TrackTable* table, int track);
void SetCurrentTrackText(TrackTable* table, const char* text);
bool IsLetterTrack(const TrackTable& table);   // "L" or "C"

// Track buttons: "<" wraps from 1 to `count`, ">" from `count` to 1.
int PreviousTrack(int current, int count);
int NextTrack(int current, int count);

// Seconds of a length text: minutes from characters 1–2, seconds from 4–5.
int LengthSeconds(const char* lengthText);
// Frames of a length text "mm:ss:ff" (75 a second); 0 for a text that holds none.
long LengthFrames(const char* lengthText);

// Whether the play of `track` (up to the next track, or to `lengthText` into the last
// one), which the drive reports stopped at `position` ("tt:mm:ss:ff" in tmsf), got to
// the track's end, allowing a drive that stops up to a second short of it or past it.
// False when it stopped earlier, on another track (the disc was changed: the position
// went back to track 1) or the position is not a tmsf text.
bool PlayReachedTrackEnd(const char* position, int track, const char* lengthText);

