// The FLAC conversion's plain decisions: the FLAC file's name, the Vorbis comments it
// carries, which WAV sound it takes and how that sound becomes libFLAC's samples. No
// windows.h, so the rules are tested natively; mp3/flac.cpp is the Win32 side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disc_names.h"
#include "mp3_tag.h"
#include "wav_layout.h"

namespace mp3 {

// libFLAC's compression level of every FLAC file (what "flac -5" makes).
constexpr unsigned kFlacLevel = 5;

// The tags of one FLAC file are those of its MP3 (UTF-8; empty fields, 0 for the
// numbers, are left out).
using FlacTags = Mp3Tag;

// The FLAC file's path: the WAV path with the ending of its file name replaced by
// ".flac" (appended when the name has none). False when it would not fit `size`
// characters with its NUL.
bool FlacPathFor(const char* wavPath, char* out, size_t size);

// The Vorbis comments "FIELD=value" of the tags in a fixed order: TITLE, ARTIST, ALBUM,
// DATE, TRACKNUMBER, TRACKTOTAL, MUSICBRAINZ_ALBUMID, MUSICBRAINZ_ARTISTID,
// MUSICBRAINZ_TRACKID. A value's line breaks become blanks.
std::vector<std::string> VorbisComments(const FlacTags& tags);

// Whether the WAV file's sound can become FLAC losslessly here: PCM of 8 or 16 bits,
// one or two channels, a sample rate FLAC's header can state (1 to 655,350 Hz).
bool FlacTakes(const WavLayout& layout);

// Bytes of WAV sound read at a time: 4,608 sample frames of the largest format taken.
constexpr size_t kFlacReadBytes = 4608 * 4;

// The whole sample frames of `bytes` of WAV sound as libFLAC's interleaved 32-bit
// samples: 16-bit little-endian signed as they are, 8-bit unsigned less 128. `out`
// holds `bytes` entries at least. Returns the sample frames written; a torn frame at the
// end is not written.
size_t ToFlacSamples(const uint8_t* pcm, size_t bytes, unsigned bitsPerSample, unsigned channels, int32_t* out);

}  // namespace mp3
