// The AccurateRip database as the rip meets it: the disc's identifiers from its table
// of contents, the path of its entry, the entry's records, and the match of a ripped
// track against them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "akrip_records.h"
#include "checksums.h"

// The disc as its table of contents gives it: each track's first frame (LBA) and
// whether it is a data track, and the lead-out.
struct DiscLayout {
    std::vector<long> starts;
    std::vector<bool> data;
    long leadout = 0;
    int AudioTracks() const;
};

// The layout of a table of contents holding LBAs; false when it holds no track or its
// tracks do not ascend to the lead-out.
bool LayoutFromToc(const akrip::Toc& toc, DiscLayout* layout);

// The disc's AccurateRip identifiers and its freedb disc id. Data tracks do not count
// for AccurateRip but the lead-out stays the disc's; freedb counts every track.
struct DiscIds {
    int audioTracks = 0;
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    uint32_t freedb = 0;
};
DiscIds ComputeDiscIds(const DiscLayout& layout);

// The entry's path below the database's base address:
// "c/b/a/dBAR-NNN-id1-id2-freedb.bin", a, b, c being id1's last three hex digits.
std::string DatabasePath(const DiscIds& ids);

// One record of an entry: a pressing of the disc, with per track the number of rips
// that agreed on it, their checksum and the checksum of the track's frame 450.
struct ArTrackEntry {
    int confidence = 0;
    uint32_t crc = 0;
    uint32_t frame450Crc = 0;
};
struct ArPressing {
    int trackCount = 0;
    uint32_t id1 = 0, id2 = 0, freedb = 0;
    std::vector<ArTrackEntry> tracks;
};

// Parses an entry: records of a track count byte, the three ids (32-bit little-endian)
// and per track a confidence byte and two 32-bit checksums. False for an empty entry,
// a record of no track, or bytes that end inside a record.
bool ParseDatabaseEntry(const std::string& bytes, std::vector<ArPressing>* pressings);

// What the lookup of the disc's entry came to.
enum class ArLookupStatus { kFound, kNotInDatabase, kNotReached, kUnreadable };
struct ArLookup {
    ArLookupStatus status = ArLookupStatus::kNotReached;
    std::vector<ArPressing> pressings;   // kFound: the records of the disc
};

// The result for one track.
enum class ArResult { kAccurate, kMismatch, kNotInDatabase, kNotReached, kUnreadable };
struct ArMatch {
    ArResult result = ArResult::kNotReached;
    int confidence = 0;   // kAccurate: the most rips that agree with this one
    int version = 0;      // kAccurate: 1 or 2, the checksum that matched
};

// Matches audio track `track` (1-based among the audio tracks) of a disc with `ids`
// against the records that belong to the disc (same track count and ids). A track is
// accurate when its v1 or v2 checksum is a record's checksum for it; with records
// but none agreeing, a mismatch; without records for the disc, not in the database.
ArMatch MatchTrack(const ArLookup& lookup, const DiscIds& ids, int track, const TrackSums& sums);

// "accurate, confidence N", "mismatch", "not in database", "database not reached",
// "database answer unreadable".
std::string ResultText(const ArMatch& match);

// ---- the drive list beside the database ("DriveOffsets.bin") ----

// Records of 69 bytes: a drive's read offset in samples (16 bits, little-endian), its
// name "VENDOR - PRODUCT" in 33 bytes padded with NULs, 34 bytes the rip does not use.
constexpr size_t kDriveRecordBytes = 69;
constexpr size_t kDriveNameBytes = 33;
constexpr size_t kMaxDriveListBytes = 4 << 20;   // some 60,000 drives
constexpr long kMaxReadOffset = 10 * 588;        // larger offsets are no drive's

// The name a drive has in the list: INQUIRY's vendor and product, each without its
// trailing blanks, joined by " - ".
std::string DriveListName(const std::string& vendor, const std::string& product);

// Whether a list holds whole records, one at least.
bool DriveListWellFormed(const std::string& list);

enum class DriveListAnswer { kListed, kNotListed, kMalformed };
// The offset of the drive named `name` (compared without regard to case, and without
// trailing blanks): kMalformed for a list that is empty or does not end on a record;
// records whose offset no drive has are passed over.
DriveListAnswer FindDriveOffset(const std::string& list, const std::string& name, long* offset);
