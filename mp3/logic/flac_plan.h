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

// The bytes of which a FLAC file's MD5 is taken, in place: 16-bit WAV sound as it is,
// 8-bit unsigned made signed.
void ToFlacMd5Input(uint8_t* pcm, size_t bytes, unsigned bitsPerSample);

// ---- one FLAC file from two encoders at once ----
// A long sound is encoded in two parts on two processors: the first part's frames as
// libFLAC writes them, then the second part's, numbered on from the first's. The first
// part is a whole number of blocks, so every frame but the last holds one block, as
// when one encoder makes the file, and STREAMINFO is then finished for the whole.

// Sample frames in each frame but the last (libFLAC's block size at level 5).
constexpr uint32_t kFlacBlockSize = 4096;

// The first part's sample frames when `frames` are encoded in two parts: about half, a
// whole number of blocks. 0 when the sound is too short to be worth a second encoder.
uint64_t FlacFirstPart(uint64_t frames);

// A frame of a fixed-block-size stream as libFLAC wrote it (`bytes` long), numbered
// `add` frames later: its number's coding, its header's CRC-8 and the frame's CRC-16
// made anew, into `out`. False, `out` untouched, when `frame` is no such frame (no sync
// code, variable block size, a cut or unchecked header) or the number would not fit.
bool RenumberFlacFrame(const uint8_t* frame, size_t bytes, uint32_t add, std::vector<uint8_t>* out);

// STREAMINFO's 34 bytes as written for the first part, finished for the whole sound:
// its sample frames, the smallest and largest frame in bytes and the audio's MD5.
void FinishStreamInfo(uint8_t info[34], uint64_t frames, uint32_t minFrameBytes, uint32_t maxFrameBytes,
                      const uint8_t md5[16]);

}  // namespace mp3
