// The names a disc's CD-Text gives, in the record every name source fills.
#pragma once

#include "cdtext.h"
#include "disc_names.h"

// Fills *names from CD-Text read by akrip::ParseCdText: one release, the disc's title
// as its album and its performer as its artist, and one TrackNames per track 1 to
// text.tracks.size() (its performer as artist where it differs from the disc's). False,
// and *names left as it was, when the text names neither the album nor any track.
bool NamesFromCdText(const akrip::CdText& text, DiscNames* names);
