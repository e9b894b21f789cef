// The table of contents as the library builds it from a disc, and as a caller reads a
// track's frame range out of it.
#pragma once

#include <vector>

#include "akrip_records.h"

namespace akrip {

// On a disc with an audio session and then a data session (CD-Extra), the audio ends
// this many frames before the data track: the first session's lead-out, the second's
// lead-in and its pregap lie between them.
constexpr long kSessionGapFrames = 11400;

// Fills `toc` (zeroing it first) in MMC READ TOC format 0: one descriptor per track
// start (audio, or data where `dataTracks` says so), then the lead-out; addresses as
// LBAs, or as 0 M S F with the two-second pregap added when `msf`. False (toc zeroed)
// for no track, more than 99 tracks, or starts that do not ascend below the lead-out.
bool BuildToc(const std::vector<long>& trackStarts, long leadout, bool msf, Toc* toc,
              const std::vector<bool>& dataTracks = {});

// Whether the descriptor of `track` marks a data track (control bit 4).
bool IsDataTrack(const Toc& toc, int track);

// The frame range of `track` in a table of contents holding LBAs: its start and the
// frames up to the next descriptor (the next track or the lead-out); an audio track
// followed by a data track ends where its session's audio ends: at
// `firstSessionLeadout` when the full table of contents gave it (0: unknown) and the
// data track lies beyond it, else a session gap before the data track.
// Descriptors are found by their track numbers, within the length the header gives.
// False when the track is not there, has nothing after it, ends before it starts or
// where it starts (no frame to rip), or is too long for a WAV file.
bool TrackSpan(const Toc& toc, int track, long* start, long* frames, long firstSessionLeadout = 0);

// The lead-out of the first session in a full table of contents (its point A2, MSF):
// false when the answer holds none within its length and `size`.
bool FirstSessionLeadout(const uint8_t* fullToc, size_t size, long* lba);

// The session information (READ TOC format 1, LBA form): the last session's first
// track and its start. False when the answer is too short for its one descriptor or
// names no session after the first (a disc of one session has no second to end the
// first before).
bool LastSessionStart(const uint8_t* sessionInfo, size_t size, long* lba);

// A full table of contents holding only the first session's lead-out (point A2), for a
// drive that gives the session information but refuses the full table: the first
// session ends a session gap before the last one starts. False for a start too early
// to have a session before it.
bool FullTocFromSessionStart(long lastSessionStart, FullToc* toc);

// Frames a WAV file's 32-bit sizes can hold.
constexpr long kMaxWavFrames = static_cast<long>((0xFFFFFFFFul - 36) / kFrameBytes);

}  // namespace akrip
