// The rig core's process-wide state, shared by its two source files (rigcore.cpp:
// registry, disc cache, play state; cdoutput.cpp: the CD's audio output).
#pragma once

#include "rigcore.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "disc.h"

namespace rigcore {

struct FileStamp {
    bool exists = false;
    uint64_t time = 0;
    uint64_t size = 0;
    bool operator==(const FileStamp& other) const;
};

struct DiscCache {
    std::string path;          // the Disc value it was loaded from
    FileStamp cue, bin;
    bool loaded = false;
    rig::Disc disc;
    int32_t serial = 0;        // counts the loads of another disc
    unsigned long failedAt = 0;   // GetTickCount of the last failed load
    std::string lastReason;    // the last failure reported (each is reported once)
};

// One play of the CD: pair s of the stretch [from, to) sounded at start + s / 44,100 s.
struct Segment {
    int64_t start = 0;        // clock ticks
    int32_t from = 0, to = 0;  // LBAs, `to` exclusive
    int64_t stopPair = -1;     // pairs played when it ended early or finished; -1 while it runs
    std::string binPath;
    int32_t binFrom = 0;       // the BIN frame of `from` (a play never crosses a session gap)
    int64_t Pairs() const { return static_cast<int64_t>(to - from) * RIG_PAIRS_PER_FRAME; }
    int64_t EndPair() const { return stopPair >= 0 ? stopPair : Pairs(); }
};

struct PlayState {
    bool active = false;   // history.back() is playing
    bool paused = false;
    int32_t position = -1;  // LBA when not playing; -1: the disc's first track
    int32_t to = 0;
};

constexpr size_t kHistoryLimit = 256;

struct Core {
    std::mutex lock;
    DiscCache disc;
    PlayState play;
    std::deque<Segment> history;   // oldest first; the last one is the current play
};

extern Core g_core;

int64_t Now();
int64_t Frequency();
// Pairs of 44,100 Hz audio between two clock readings (rounded toward minus infinity
// for non-negative spans).
int64_t PairsBetween(int64_t from, int64_t to);
// Caller holds the lock for these three.
void SettlePlay(int64_t now);   // marks a play that reached its end as over
void EndPlay(int64_t now);      // ends a running play at `now`
void ResetPlay();               // ends play, forgets pause, position back to track 1

}  // namespace rigcore
