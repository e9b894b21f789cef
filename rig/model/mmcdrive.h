// The emulated CD drive's behaviour behind its MMC commands: what it holds (tray, disc),
// the sense it reports (no medium, "becoming ready" for a while after a disc goes in,
// "medium may have changed" once after each change, medium errors where the rig says),
// its read offset, its read cache and C2 error pointers, PREVENT MEDIUM REMOVAL, and
// the counters of medium reads and cache hits a test reads. Plain C++: the drive's DLL
// gives it the rig's values and the disc at each command.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "disc.h"
#include "mmc.h"
#include "requests.h"

namespace rig {

// The rig's values that shape the drive (see the rig's README for each).
struct DriveSettings {
    mmc::Identity identity;
    long readOffset = 0;          // samples: LBA n delivers the disc's samples from n * 588 - offset on
    uint32_t cacheFrames = 0;     // 0: no read cache
    mmc::C2Support c2 = mmc::C2Support::kNone;
    uint32_t notReadyCommands = 0;
    bool unitAttention = true;
    std::string badSectors;       // reads fail every time
    std::string flakySectors;     // reads deliver the true audio only every third time
    std::string mediumErrors;     // reads fail the first two times
    mmc::Sense sectorSense = mmc::kUnrecoveredReadError;
    std::string countedSectors;   // ranges whose medium reads and cache hits are counted
};

// What the drive holds at a command.
struct Medium {
    bool trayOpen = false;
    const Disc* disc = nullptr;   // null: no disc, or one that does not load
    std::string identity;         // another text: another disc (or the same one written anew)
    // Reads `count` frames of the BIN from frame `binFirst` into `out`; false when the
    // files cannot be read.
    std::function<bool(long binFirst, long count, uint8_t* out)> readBin;
};

struct CommandResult {
    bool good = true;          // GOOD status; false: CHECK CONDITION with `sense`
    mmc::Sense sense;
    std::vector<uint8_t> data;   // what goes to the host (at most the allocation)
    enum class Tray { kAsIs, kOpen, kClose } tray = Tray::kAsIs;
};

constexpr int kMediumErrorReads = 2;   // reads of a MediumErrors sector that fail before one succeeds

class EmulatedDrive {
public:
    // One command block from the host, which takes at most `allocation` bytes.
    CommandResult Execute(const uint8_t* cdb, size_t cdbLength, uint32_t allocation, const DriveSettings& settings,
                          const Medium& medium);
    // A read of CD-DA sectors as the CD-ROM class driver makes it for its own requests
    // (raw reads): the cache, the faults and the counters as READ CD, but no unit
    // attention and no "becoming ready", which the class driver waits out itself.
    CommandResult ReadAudio(uint32_t lba, uint32_t frames, uint32_t allocation, const DriveSettings& settings,
                            const Medium& medium);
    // Takes note of the settings and the medium as they are now: a new disc (or the
    // tray closed on one) empties the cache and, as the settings say, makes the drive
    // report a unit attention and "becoming ready" to the commands that follow.
    void Observe(const DriveSettings& settings, const Medium& medium);

    bool Locked() const { return locked_; }
    // The counts per range of countedSectors ("n,m"): frames read from the medium and
    // answered from the cache since the ranges were set. CountsChanged() tells (once)
    // that they moved.
    std::string MediumReadsText() const;
    std::string CacheHitsText() const;
    bool CountsChanged();

private:
    struct Cached {
        std::vector<uint8_t> bytes;   // 2,352 as delivered
        std::vector<uint8_t> c2;      // 294: where they differ from the disc
    };
    CommandResult ReadSectors(const mmc::ReadCdRequest& request, uint32_t allocation, const DriveSettings& settings,
                              const Medium& medium);
    bool ReadFromMedium(const mmc::ReadCdRequest& request, const DriveSettings& settings, const Medium& medium,
                        std::vector<Cached>* frames, mmc::Sense* sense);
    bool CleanAudio(long lba, long frames, long offset, const Medium& medium, std::vector<uint8_t>* out);
    // Keeps a frame read from the medium; the oldest go once more than `limit` are kept.
    void Remember(long lba, const Cached& frame, uint32_t limit);
    void Count(std::vector<uint64_t>* counts, long lba, long frames);

    std::string medium_;             // the identity of what the drive holds, "" for nothing
    bool unitAttention_ = false;     // to report to the next command
    uint32_t notReadyLeft_ = 0;
    uint32_t notReadySetting_ = 0;   // the value that armed it
    bool locked_ = false;

    std::map<long, Cached> cache_;
    std::deque<long> cacheOrder_;    // oldest first

    akrip::FlakySectors flaky_;
    std::string mediumErrorText_;
    std::vector<akrip::SectorRange> mediumErrorRanges_;
    std::map<long, int> mediumErrorReads_;

    std::string countedText_;
    std::vector<akrip::SectorRange> counted_;
    std::vector<uint64_t> mediumReads_, cacheHits_;
    bool countsChanged_ = false;
};

}  // namespace rig
