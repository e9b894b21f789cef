// Synthetic audio CDs for tests and the demo: CUE/BIN images with tracks of given
// lengths, filled with deterministic, music-like material that differs from track
// to track and never repeats, so a misplaced or missing frame is always visible.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cdtext.h"

namespace discgen {

// The 16-bit stereo sample pair at `frameInTrack`, pair `pair` (0..587) of track
// `track` (1-based) on a disc made with `seed`. Pure function: the generator, the
// tests and the rig's checks compute the same material.
void TrackSample(uint32_t seed, int track, long frameInTrack, int pair, int16_t* left, int16_t* right);

// Fills `out` with the raw bytes (2,352 per frame, little-endian L/R pairs) of
// `frames` frames of `track`, starting at `firstFrame` within the track.
void TrackFrames(uint32_t seed, int track, long firstFrame, long frames, std::vector<uint8_t>* out);

// Writes `cuePath` and, beside it, the BIN named after it (same stem, ".bin").
// `trackFrames[k]` is the length of track k + 1 in frames (each at least 1). With
// `dataFrames` above 0 the disc is a CD-Extra: after the audio tracks, in a second
// session, one data track (MODE1/2352) of that many sectors, empty but for their sync
// pattern and header. With `text`, the sheet names the disc and its tracks: TITLE,
// PERFORMER and SONGWRITER lines for each text that is not empty, the disc's before
// FILE, a track's after its TRACK line (text.tracks[k] for track k + 1; its bytes as
// they are, a double quote written as a single one). Returns false with a reason in
// *error when a file cannot be written.
bool WriteDisc(const std::string& cuePath, const std::vector<long>& trackFrames, uint32_t seed,
               std::string* error, long dataFrames = 0, const akrip::CdText* text = nullptr);

// Writes `wavPath` as a canonical CD-format WAV file (44-byte header) holding the
// first `frames` frames of track 1 of a disc made with `seed`: music-like sound for
// the encoder. False with a reason in *error when it cannot be written.
bool WriteTrackWav(const std::string& wavPath, long frames, uint32_t seed, std::string* error);

}  // namespace discgen
