// The virtual audio rig's core: the one copy, per process, of the drive's state that
// both MCI drivers share (the cdaudio driver plays the CD, the waveaudio driver hears
// it). Holds the rig state read from HKCU\Software\VirtualAudioRig, the parsed disc
// (cached), the play clock and the history of what the CD played.
//
// Positions are LBAs (track 1's INDEX 01 is LBA 0), times are QueryPerformanceCounter
// ticks. All functions are thread-safe. The DLL pins itself when loaded, so the play
// clock and history outlive the drivers, which winmm unloads at their last close.
#pragma once

#include <stdint.h>

#ifdef RIGCORE_BUILD
#define RIGCORE_API __declspec(dllexport)
#else
#define RIGCORE_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define RIG_MAX_TRACKS 99
#define RIG_CD_RATE 44100          // sample pairs per second of CD audio
#define RIG_PAIRS_PER_FRAME 588

// What the drive holds right now (read afresh from the registry at each call).
typedef struct RigDrive {
    int32_t doorOpen;                      // the tray is open
    int32_t driveBusy;                     // another program holds the drive
    int32_t discLoaded;                    // a disc is named and loads (door aside)
    int32_t trackCount;                    // 0 without a loaded disc
    int32_t trackStarts[RIG_MAX_TRACKS];   // LBA of track k at [k - 1]
    int32_t trackSessions[RIG_MAX_TRACKS]; // session of track k (from 1) at [k - 1]
    int32_t dataTracks[RIG_MAX_TRACKS];    // track k is a data track at [k - 1]
    int32_t leadout;                       // first LBA after the last frame
    int32_t discSerial;                    // another number each time another disc (or the same one anew) loads
    int32_t emulatedDrive;                 // the rig offers its emulated drive (value Drive "emulated")
    char binPath[260];                     // the loaded disc's BIN, "" without one
    char lineIn[260];                      // the line input's WAV path, "" for silence
} RigDrive;

// The drive's play state, computed from the clock at the moment of the call.
typedef struct RigPlay {
    int32_t playing;    // a play runs and has not reached its end
    int32_t paused;     // a play was paused and can be resumed to `to`
    int32_t position;   // the current LBA
    int32_t to;         // the end (exclusive) of the current or paused play
} RigPlay;

// Reads the rig's state and the disc it names. The disc is parsed again only when its
// path or the CUE's or BIN's time or size changed; a disc that cannot be loaded counts
// as no disc, and the reason is written once to the debugger and standard error.
// A different disc than before, or an open tray, stops play and puts the position at
// track 1.
RIGCORE_API void RigReadDrive(RigDrive* drive);
// The CD-Text of the disc RigReadDrive last loaded, as READ TOC format 5 answers it (the
// sheet's TITLE, PERFORMER and SONGWRITER in the packs of akrip::EncodeCdText): up to
// `capacity` bytes of it into `answer`; how many, 0 without a disc or without text.
RIGCORE_API uint32_t RigReadCdText(uint8_t* answer, uint32_t capacity);

// Opens or closes the tray (persisted in the registry). Opening stops play.
RIGCORE_API void RigSetDoorOpen(int open);

RIGCORE_API void RigGetPlay(RigPlay* play);
// Starts playing [from, to) now, ending any play before. The drive plays audio only: a
// play ends where its run of audio tracks ends (before a data track or a session gap),
// and one that starts off the audio plays nothing. Returns 0 when no loaded disc.
RIGCORE_API int RigStartPlay(int32_t from, int32_t to);
// Ends the play at the current clock position; the position stays there.
RIGCORE_API void RigStopPlay(void);
// Like stop, but remembers the end so a play without "from" resumes to it.
RIGCORE_API void RigPausePlay(void);
// Stops play and moves the position to `lba`.
RIGCORE_API void RigSeek(int32_t lba);

// The clock every play segment and every recording is measured with.
RIGCORE_API int64_t RigClockNow(void);
RIGCORE_API int64_t RigClockFrequency(void);

// Fills `count` stereo pairs (L, R interleaved, 2 * count values) with what the CD's
// audio output carried at the times origin + (first + i) / 44,100 s; silence where
// nothing played. Consecutive calls line up sample-exactly, and a play appears in it
// bit for bit. `origin` is a RigClockNow() value.
RIGCORE_API void RigCdOutput(int64_t origin, int64_t first, int32_t count, int16_t* pairs);

#ifdef __cplusplus
}

#include "disc.h"

namespace rig {

// The loaded disc of a drive record, as the model's arithmetic wants it.
inline Disc DiscOfDrive(const RigDrive& drive) {
    Disc disc;
    disc.binPath = drive.binPath;
    disc.trackStarts.assign(drive.trackStarts, drive.trackStarts + drive.trackCount);
    disc.sessions.assign(drive.trackSessions, drive.trackSessions + drive.trackCount);
    for (int k = 0; k < drive.trackCount; ++k) disc.dataTracks.push_back(drive.dataTracks[k] != 0);
    disc.leadout = drive.leadout;
    return disc;
}

}  // namespace rig
#endif
