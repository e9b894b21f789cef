// The tag an MP3 file is given, as the conversion hands it to the encoder library: the
// names of a track, in UTF-8, and the 904-byte tag record they are packed into for
// beWriteTag. No windows.h, so the rules are tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "disc_names.h"

namespace mp3 {

// What an MP3 file's ID3v2 tag carries; an empty text (or a number of 0) is left out,
// and a tag with nothing in it is not written at all.
struct Mp3Tag {
    std::string title, artist, album;
    std::string year;                               // "1997" (a date gives its year)
    int track = 0, trackTotal = 0;                  // written "3/12"
    std::string releaseId, artistId, recordingId;   // MusicBrainz ids, where known
};

// The encoder library's tag record: 904 bytes, packed, little-endian (the library's
// reading of it is lameenc/tag_record.h).
constexpr size_t kTagRecordBytes = 904;

// Packs `tag` into the record. Each text is cut to its field (255 bytes for a name, 7
// for the year, 39 for an id) at a character's start, so no UTF-8 sequence is torn;
// numbers outside 0..65535 are left out.
void FillTagRecord(const Mp3Tag& tag, uint8_t (&record)[kTagRecordBytes]);

// The name a file gives a title: its file name without folder and ending
// ("c:\music\take1.wav" gives "take1"), in the path's own bytes.
std::string TitleFromPath(const char* path);

// The tag of a track of a release as a name source gave them; the track's own artist
// where it has one, else the release's.
Mp3Tag TagFromNames(const ReleaseNames& release, const TrackNames& track);

}  // namespace mp3
