// The virtual drive's picture of a disc: a CDRWIN CUE sheet with one BIN file of
// raw 2,352-byte audio sectors, and the CD arithmetic the drive answers with.
// Plain C++: used by the rig's DLLs, the disc generator and the tests alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cdtext.h"

namespace rig {

constexpr int kFramesPerSecond = 75;
constexpr int kBytesPerFrame = 2352;      // 588 stereo 16-bit samples
constexpr int kSamplesPerFrame = 588;     // stereo sample pairs per frame
constexpr long kPregapFrames = 150;       // LBA 0 is shown as MSF 00:02:00
constexpr int kMaxTracks = 99;
// Between two sessions of a disc (CD-Extra: the audio session, then a data session)
// lie the first session's lead-out (6,750 frames), the next one's lead-in (4,500) and
// its pregap (150). None of it is in the BIN: a session's addresses on the disc lie
// this much further per session than its frames in the BIN.
constexpr long kSessionGapFrames = 11400;

struct Disc {
    std::string binPath;            // the BIN as named by the CUE, resolved against the CUE's folder
    std::vector<long> trackStarts;  // LBA of INDEX 01 of track k at [k - 1], ascending
    std::vector<bool> dataTracks;   // track k is a data track (MODE1/2352) at [k - 1]; none listed: audio
    std::vector<int> sessions;      // session of track k (from 1) at [k - 1]; none listed: session 1
    long leadout = 0;               // first LBA after the last frame (BIN frames and the session gaps)
    // The sheet's TITLE, PERFORMER and SONGWRITER: those before the first TRACK the
    // disc's, the others their track's (one entry per track), in UTF-8. The drives
    // answer them as the disc's CD-Text.
    akrip::CdText cdText;

    int TrackCount() const { return static_cast<int>(trackStarts.size()); }
    bool IsData(int track) const {
        return track >= 1 && track <= static_cast<int>(dataTracks.size()) && dataTracks[track - 1];
    }
    int Session(int track) const {
        return track >= 1 && track <= static_cast<int>(sessions.size()) ? sessions[track - 1] : 1;
    }
};

// Parses CUE sheet text. `cueDir` is the folder of the CUE file (with or without a
// trailing separator, Windows or POSIX style) and resolves the FILE name. Only the
// binary form is accepted: one FILE "x" BINARY, TRACK nn AUDIO or MODE1/2352 (a data
// track) in ascending order from 01, INDEX 01 mm:ss:ff, and REM SESSION nn before the
// first track of each session, numbered from 01 (INDEX 00, other REM lines, FLAGS,
// PREGAP and other known lines are tolerated). TITLE, PERFORMER and SONGWRITER are kept
// in disc->cdText: text that is not UTF-8 is taken as ISO-8859-1. INDEX positions are
// BIN positions; a track of session s lies (s - 1) session gaps further on the disc.
// Leaves disc->leadout at 0: the BIN's size decides it. Returns false with a one-line
// reason in *error.
bool ParseCue(const std::string& text, const std::string& cueDir, Disc* disc, std::string* error);

// Reads the CUE file and the size of its BIN. Fails (with the reason) when the CUE
// cannot be read or parsed, the BIN is missing, its size is not a whole number of
// frames, or a track starts at or beyond its end.
bool LoadDisc(const std::string& cuePath, Disc* disc, std::string* error);

// ---- CD arithmetic (the answers of a drive served by Windows' CD audio driver) ----

struct Msf {
    int m = 0, s = 0, f = 0;
};

Msf FramesToMsf(long frames);
long MsfToFrames(int m, int s, int f);

// MCI packings: MSF is m | s << 8 | f << 16; TMSF is t | m << 8 | s << 16 | f << 24.
uint32_t PackMsf(const Msf& msf);
uint32_t PackTmsf(int track, const Msf& msf);
Msf UnpackMsf(uint32_t packed);
void UnpackTmsf(uint32_t packed, int* track, Msf* msf);

// First LBA after the frames of track k: the next track's start, or the session gap
// before it when the next track opens a new session; the leadout for the last track.
// 0 for a track that does not exist.
long TrackEnd(const Disc& disc, int track);
// Length of track k (1-based) in frames: up to its end; the last track is one frame
// shorter than leadout - start. 0 for a track that does not exist.
long TrackLengthFrames(const Disc& disc, int track);
// The BIN frame that holds the disc's `lba`; false for an address in a session gap
// or off the disc.
bool LbaToBinFrame(const Disc& disc, long lba, long* binFrame);
// The end (exclusive) of the audio that plays on without a break from `lba`: the end
// of the last audio track of the run of audio tracks holding it, up to a data track
// or a session gap. `lba` itself when it lies in a data track, in a gap or off the disc.
long AudioRunEnd(const Disc& disc, long lba);
// Disc length in frames: leadout - first start - 1.
long DiscLengthFrames(const Disc& disc);

// A TMSF position (track-relative) as an LBA. False for a missing track.
bool TmsfToLba(const Disc& disc, uint32_t tmsf, long* lba);
// An LBA as a TMSF position relative to the track that holds it.
uint32_t LbaToTmsf(const Disc& disc, long lba);
// An LBA as an absolute MSF position (LBA 0 is 00:02:00).
uint32_t LbaToMsf(long lba);
// An absolute MSF position as an LBA (00:02:00 is LBA 0; may be negative).
long MsfToLba(uint32_t msf);

// Milliseconds conversions as the CD audio driver makes them.
uint32_t FramesToMs(long frames);   // frames * 1000 / 75 + 1
long MsToFrames(uint32_t ms);       // ((ms - 1) * 75 + 500) / 1000

}  // namespace rig
