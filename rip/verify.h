// Verified rips, the Win32 side: the program's settings for them in the registry
// (HKCU\Software\CD Quorrel), the AccurateRip database reached over WinINet, and the
// rip log written beside the ripped files.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "accuraterip.h"
#include "engine_state.h"
#include "riplog.h"
#include "settings.h"

constexpr char kDatabaseValue[] = "AccurateRipUrl";   // REG_SZ: the database's base address
constexpr char kReadOffsetValue[] = "ReadOffset";     // REG_DWORD (signed) or REG_SZ: samples
constexpr char kDefaultDatabase[] = "http://www.accuraterip.com/accuraterip/";

struct VerifyState {
    char drive[64];                 // the extraction drive's vendor, product and revision
    std::string listName;           // its name in the AccurateRip drive list
    bool driveListAsked;            // the drive list was looked for in this run
    bool haveDriveList;
    std::string driveList;          // ... and what was found
    char refusedDrive;              // the letter of a first CD drive that refused the access ripping needs, or 0
    char logPath[kPathText];        // the log of the rip or batch under way
    RipLog log;
    // The database's answers in this run, by the address asked.
    std::vector<std::pair<std::string, ArLookup>> lookups;
};

extern VerifyState g_verify;

// The read offset the user set, in samples; false when it is not set or out of range.
bool ReadOffsetSetting(long* offset);
// The read offset of a rip and where it came from: the user's setting wins; else the
// drive's entry in the AccurateRip drive list (fetched from beside the database at
// most once a run, and kept in the registry with its date), and 0 where the list does
// not name the drive or there is none. A virtual drive has no offset of its own.
void FindReadOffset(bool virtualDrive, RipLog* head);

// The disc's entry in the database; asked once per disc in the program's run. *address
// is the address asked.
ArLookup LookupDisc(const DiscIds& ids, std::string* address);

// Starts the log of a rip (or of a batch whose first file `wavPath` is): the same path
// with the ending ".log", headed by what is known of the disc.
void StartRipLog(const char* wavPath, const RipLog& head);
// Adds a track to the log under way and writes the whole log anew; a log that cannot
// be written leaves the rip as it is.
void AddToRipLog(const TrackLog& track);
