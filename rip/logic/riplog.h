// The rip log: a plain-text account beside the ripped files of what was read, how it
// was checked and whether the rip is accurate. One log holds the tracks of one rip, or
// of one batch of rips.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "accuraterip.h"
#include "checksums.h"

// One ripped track, or one whose rip failed.
struct TrackLog {
    enum class State { kRipped, kReadFailed, kWriteFailed };
    int track = 0;
    std::string file;            // the WAV file's name
    long start = 0, frames = 0;  // the track's frames on the disc
    State state = State::kRipped;
    long failedFrame = 0;        // kReadFailed: the first frame of the read that failed
    TrackSums sums;              // of the file's audio
    ArMatch match;
    bool tested = false;         // a second pass was read
    bool testFailed = false;     // ... and could not be read whole, from testFailedFrame on
    long testFailedFrame = 0;
    uint32_t testCrc = 0;
    std::vector<long> reread;    // disc frames the two passes disagreed on
    std::vector<long> unsettled; // of them, those no two reads agreed on
    bool c2Read = false;         // the copy pass read C2 error pointers
    std::vector<long> c2Frames;  // disc frames the copy pass found C2 errors in, read again at once
    std::vector<long> c2Left;    // of them, those still flagged after the last of those reads
};

// Where the read offset came from.
enum class OffsetSource {
    kUser,              // the ReadOffset setting
    kDriveList,         // the drive's entry in the AccurateRip drive list
    kNotListed,         // unknown: the list has no entry for the drive
    kListUnreachable,   // unknown: the list could not be fetched, and none was kept
    kListUnreadable,    // unknown: the list is malformed
    kVirtualDrive,      // a virtual drive reads without an offset
};

// The drive's read cache as the re-reads reckon with it.
struct CacheAccount {
    bool none = true;      // the drive has none (a virtual drive)
    bool reported = false; // the size is the drive's own report, else assumed
    long frames = 0;
};

struct RipLog {
    std::string program;         // "CD Quorrel 1.0.0"
    std::string date;
    std::string drive;
    long readOffset = 0;         // samples
    OffsetSource offsetSource = OffsetSource::kUser;
    uint32_t c2 = akrip::kC2None;   // the drive's C2 pointers: a C2State
    CacheAccount cache;
    DiscLayout layout;
    DiscIds ids;
    std::string entry;           // the database address asked
    ArLookupStatus lookup = ArLookupStatus::kNotReached;
    size_t pressings = 0;
    std::string names;           // which source named the disc's tracks, or that none did
    std::vector<TrackLog> tracks;
};

// The file's name without its folder ("c:\rips\one.wav": "one.wav").
std::string FileNameOf(const std::string& path);
// The log of a rip whose (first) file is `wavPath`: the same path, ending in ".log"
// in place of the name's ending.
std::string LogPathFor(const std::string& wavPath);

// The whole text, lines ended by CR LF, closing with the one-line verdict.
std::string RipLogText(const RipLog& log);
// The verdict line alone ("Verdict: ...").
std::string Verdict(const RipLog& log);
