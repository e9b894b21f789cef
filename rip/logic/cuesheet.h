// The CUE sheet of a whole-disc rip: beside the ripped files, one FILE per track (the
// FLAC files where they were made, else the WAV files), each holding its track from
// its start, with the disc's and tracks' names where they are known, the disc's freedb
// id and the program that wrote it. It lets the disc be rebuilt and checked later; the
// syntax is what libcdio reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disc_names.h"

struct CueTrack {
    int number = 0;           // on the disc, 1..99
    std::string file;         // the file's name, without its folder
    std::string title;        // UTF-8; empty when unknown
    std::string performer;
};

struct CueSheet {
    std::string program;      // "CD Quorrel 1.0.0"
    bool haveDiscId = false;
    uint32_t freedbId = 0;
    std::string title;        // the album, UTF-8; empty when unknown
    std::string performer;
    std::vector<CueTrack> tracks;   // in the disc's order
};

// The sheet of a batch whose first file is `firstFile`: the same path, ending ".cue"
// in place of the name's ending.
std::string CuePathFor(const std::string& firstFile);

// The release's names on the sheet: the album and its artist, each track's title and
// its artist where it differs from the release's.
void AddReleaseNames(const ReleaseNames& release, CueSheet* sheet);

// The sheet's text, lines ended by CR LF. A quoted text holds no double quote (one
// becomes a single quote) and no line break, and is cut to 80 bytes on a whole UTF-8
// character.
std::string CueSheetText(const CueSheet& sheet);
