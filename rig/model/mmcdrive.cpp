#include "mmcdrive.h"

#include <algorithm>
#include <cstring>

namespace rig {
namespace {

using mmc::Sense;

uint32_t Be16(const uint8_t* at) { return static_cast<uint32_t>(at[0]) << 8 | at[1]; }

CommandResult Check(const Sense& sense) {
    CommandResult result;
    result.good = false;
    result.sense = sense;
    return result;
}

// A GOOD answer: `data`, cut to what the command block's allocation length and the
// host's buffer take.
CommandResult Answer(std::vector<uint8_t> data, uint32_t allocation) {
    CommandResult result;
    if (data.size() > allocation) data.resize(allocation);
    result.data = std::move(data);
    return result;
}

bool Holds(const Medium& medium) { return !medium.trayOpen && medium.disc && medium.disc->TrackCount() > 0; }

// The first LBA of `first`..`first + frames - 1` inside `ranges`, or -1.
long FirstHit(const std::vector<akrip::SectorRange>& ranges, long first, long frames) {
    long hit = -1;
    for (const akrip::SectorRange& r : ranges) {
        long from = std::max(r.first, first), to = std::min(r.last, first + frames - 1);
        if (from <= to && (hit < 0 || from < hit)) hit = from;
    }
    return hit;
}

std::string CountsText(const std::vector<uint64_t>& counts) {
    std::string text;
    for (size_t k = 0; k < counts.size(); ++k) text += (k ? "," : "") + std::to_string(counts[k]);
    return text;
}

}  // namespace

void EmulatedDrive::Observe(const DriveSettings& settings, const Medium& medium) {
    std::string now = Holds(medium) ? medium.identity : std::string();
    if (now != medium_) {
        medium_ = now;
        cache_.clear();
        cacheOrder_.clear();
        mediumErrorReads_.clear();
        if (!now.empty()) {
            unitAttention_ = true;
            notReadyLeft_ = settings.notReadyCommands;
        }
    }
    if (!settings.unitAttention) unitAttention_ = false;
    if (settings.notReadyCommands != notReadySetting_) {
        notReadySetting_ = settings.notReadyCommands;
        notReadyLeft_ = settings.notReadyCommands;
    }
    if (settings.mediumErrors != mediumErrorText_) {
        mediumErrorText_ = settings.mediumErrors;
        mediumErrorRanges_ = akrip::ParseSectorRanges(mediumErrorText_);
        mediumErrorReads_.clear();
    }
    if (settings.countedSectors != countedText_) {
        countedText_ = settings.countedSectors;
        counted_ = akrip::ParseSectorRanges(countedText_);
        mediumReads_.assign(counted_.size(), 0);
        cacheHits_.assign(counted_.size(), 0);
        countsChanged_ = false;
    }
    while (cacheOrder_.size() > settings.cacheFrames) {
        cache_.erase(cacheOrder_.front());
        cacheOrder_.pop_front();
    }
}

CommandResult EmulatedDrive::Execute(const uint8_t* cdb, size_t cdbLength, uint32_t allocation,
                                     const DriveSettings& settings, const Medium& medium) {
    Observe(settings, medium);
    if (cdbLength < 6) return Check(mmc::kInvalidOpcode);
    const uint8_t op = cdb[0];
    const bool tenByteAllocation = cdbLength >= 10;
    mmc::Capabilities caps;
    caps.c2 = settings.c2;
    caps.cacheFrames = settings.cacheFrames;
    caps.mediumPresent = Holds(medium);
    caps.locked = locked_;
    const Sense noMedium = medium.trayOpen ? mmc::kNoMediumTrayOpen : mmc::kNoMediumTrayClosed;

    // Identity commands are answered whatever the medium does.
    switch (op) {
    case mmc::kInquiry: return Answer(mmc::InquiryAnswer(settings.identity), std::min(allocation, Be16(cdb + 3)));
    case mmc::kRequestSense: {
        std::vector<uint8_t> data(mmc::kSenseBytes);
        mmc::SenseData(caps.mediumPresent ? Sense() : noMedium, data.data(), data.size());
        return Answer(data, std::min<uint32_t>(allocation, cdb[4]));
    }
    case mmc::kGetConfiguration:
        if (!tenByteAllocation) return Check(mmc::kInvalidField);
        return Answer(mmc::ConfigurationAnswer(caps, cdb[1] & 3, static_cast<uint16_t>(Be16(cdb + 2))),
                      std::min(allocation, Be16(cdb + 7)));
    default: break;
    }
    if (unitAttention_) {
        unitAttention_ = false;
        return Check(mmc::kMediumMayHaveChanged);
    }
    switch (op) {
    case mmc::kModeSense6:
    case mmc::kModeSense10: {
        bool ten = op == mmc::kModeSense10;
        if (ten && !tenByteAllocation) return Check(mmc::kInvalidField);
        std::vector<uint8_t> data;
        if (!mmc::ModeSenseAnswer(caps, ten, cdb[2] >> 6, cdb[2] & 0x3F, &data)) return Check(mmc::kInvalidField);
        return Answer(data, std::min<uint32_t>(allocation, ten ? Be16(cdb + 7) : cdb[4]));
    }
    case mmc::kPreventAllow:
        locked_ = (cdb[4] & 1) != 0;
        return CommandResult();
    case mmc::kStartStopUnit: {
        CommandResult result;
        if (!(cdb[4] & 2)) return result;   // spin up or down: nothing to see
        if (cdb[4] & 1)
            result.tray = CommandResult::Tray::kClose;
        else if (locked_)
            return Check(mmc::kRemovalPrevented);
        else
            result.tray = CommandResult::Tray::kOpen;
        return result;
    }
    case mmc::kTestUnitReady:
    case mmc::kReadCapacity:
    case mmc::kReadToc:
    case mmc::kReadCd:
        break;
    default: return Check(mmc::kInvalidOpcode);
    }

    // Commands that need the medium.
    if (!caps.mediumPresent) return Check(noMedium);
    if (notReadyLeft_ > 0) {
        --notReadyLeft_;
        return Check(mmc::kBecomingReady);
    }
    const Disc& disc = *medium.disc;
    switch (op) {
    case mmc::kReadCapacity: return Answer(mmc::CapacityAnswer(disc), allocation);
    case mmc::kReadToc: {
        if (!tenByteAllocation) return Check(mmc::kInvalidField);
        // The format in byte 2, or in the two high bits of byte 9 (older drives' field).
        int format = (cdb[2] & 0x0F) ? cdb[2] & 0x0F : cdb[9] >> 6;
        std::vector<uint8_t> data;
        if (!mmc::TocAnswer(disc, format, (cdb[1] & 2) != 0, cdb[6], &data)) return Check(mmc::kInvalidField);
        return Answer(data, std::min(allocation, Be16(cdb + 7)));
    }
    case mmc::kReadCd: {
        if (cdbLength < 12) return Check(mmc::kInvalidField);
        mmc::ReadCdRequest request;
        Sense refused;
        if (!mmc::ParseReadCd(cdb, &request, &refused)) return Check(refused);
        return ReadSectors(request, allocation, settings, medium);
    }
    default: return CommandResult();   // TEST UNIT READY
    }
}

CommandResult EmulatedDrive::ReadAudio(uint32_t lba, uint32_t frames, uint32_t allocation,
                                       const DriveSettings& settings, const Medium& medium) {
    Observe(settings, medium);
    if (!Holds(medium)) return Check(medium.trayOpen ? mmc::kNoMediumTrayOpen : mmc::kNoMediumTrayClosed);
    mmc::ReadCdRequest request;
    request.lba = lba;
    request.frames = frames;
    request.sectorType = 1;
    request.mainChannel = true;
    return ReadSectors(request, allocation, settings, medium);
}

CommandResult EmulatedDrive::ReadSectors(const mmc::ReadCdRequest& request, uint32_t allocation,
                                         const DriveSettings& settings, const Medium& medium) {
    const Disc& disc = *medium.disc;
    const long first = static_cast<long>(request.lba), frames = static_cast<long>(request.frames);
    if (request.lba >= static_cast<uint32_t>(disc.leadout) || request.frames > disc.leadout - request.lba)
        return Check(mmc::kLbaOutOfRange);
    // Every sector must be one of the disc's, and of the expected kind.
    for (long lba = first; lba < first + frames; ++lba) {
        long binFrame = 0;
        if (!LbaToBinFrame(disc, lba, &binFrame)) return Check(mmc::kLbaOutOfRange);
        if (request.sectorType == 1 && AudioRunEnd(disc, lba) == lba) return Check(mmc::kIllegalModeForTrack);
    }
    const bool c2Refused = (request.c2Bytes && (settings.c2 == mmc::C2Support::kNone ||
                                                settings.c2 == mmc::C2Support::kNeither)) ||
                           (request.c2Bytes == 296 && settings.c2 == mmc::C2Support::kNot296);
    if (c2Refused || static_cast<uint64_t>(request.BlockBytes()) * request.frames > allocation)
        return Check(mmc::kInvalidField);
    if (frames == 0) return CommandResult();

    std::vector<Cached> delivered;
    bool cached = settings.cacheFrames > 0;
    for (long lba = first; cached && lba < first + frames; ++lba) cached = cache_.count(lba) != 0;
    if (cached) {
        for (long lba = first; lba < first + frames; ++lba) delivered.push_back(cache_[lba]);
        Count(&cacheHits_, first, frames);
    } else {
        Sense failed;
        if (!ReadFromMedium(request, settings, medium, &delivered, &failed)) return Check(failed);
        for (long k = 0; k < frames; ++k) Remember(first + k, delivered[static_cast<size_t>(k)], settings.cacheFrames);
        Count(&mediumReads_, first, frames);
    }
    CommandResult result;
    result.data.reserve(static_cast<size_t>(request.BlockBytes()) * request.frames);
    for (const Cached& frame : delivered) {
        if (request.mainChannel) result.data.insert(result.data.end(), frame.bytes.begin(), frame.bytes.end());
        if (request.c2Bytes) {
            result.data.insert(result.data.end(), frame.c2.begin(), frame.c2.end());
            if (request.c2Bytes == 296) {
                uint8_t any = 0;
                for (uint8_t b : frame.c2) any |= b;
                result.data.push_back(any);
                result.data.push_back(0);
            }
        }
    }
    return result;
}

bool EmulatedDrive::ReadFromMedium(const mmc::ReadCdRequest& request, const DriveSettings& settings,
                                   const Medium& medium, std::vector<Cached>* frames, Sense* sense) {
    const long first = static_cast<long>(request.lba), count = static_cast<long>(request.frames);
    *sense = settings.sectorSense;
    sense->hasLba = true;
    long bad = FirstHit(akrip::ParseSectorRanges(settings.badSectors), first, count);
    if (bad >= 0) {
        sense->lba = static_cast<uint32_t>(bad);
        return false;
    }
    // Each read of a sector with a medium error counts; it fails its first reads.
    long failing = -1;
    for (const akrip::SectorRange& r : mediumErrorRanges_)
        for (long lba = std::max(r.first, first); lba <= std::min(r.last, first + count - 1); ++lba)
            if (++mediumErrorReads_[lba] <= kMediumErrorReads && (failing < 0 || lba < failing)) failing = lba;
    if (failing >= 0) {
        sense->lba = static_cast<uint32_t>(failing);
        return false;
    }
    std::vector<uint8_t> truth;
    if (!CleanAudio(first, count, settings.readOffset, medium, &truth)) {
        *sense = mmc::kUnrecoveredReadError;
        sense->hasLba = true;
        sense->lba = request.lba;
        return false;
    }
    std::vector<uint8_t> damaged = truth;
    flaky_.ApplyToRead(settings.flakySectors, first, count, damaged.data());
    frames->resize(static_cast<size_t>(count));
    for (size_t k = 0; k < frames->size(); ++k) {
        const uint8_t* bytes = damaged.data() + k * kBytesPerFrame;
        (*frames)[k].bytes.assign(bytes, bytes + kBytesPerFrame);
        (*frames)[k].c2.resize(294);
        mmc::C2Field(bytes, truth.data() + k * kBytesPerFrame, 294, (*frames)[k].c2.data());
    }
    return true;
}

// The disc's audio as a drive with `offset` delivers it for `frames` sectors from
// `lba`: the samples from lba * 588 - offset on, silence where they lie off the disc's
// frames (before it, in a session gap, past the lead-out).
bool EmulatedDrive::CleanAudio(long lba, long frames, long offset, const Medium& medium,
                               std::vector<uint8_t>* out) {
    const long long startByte = static_cast<long long>(lba) * kBytesPerFrame - static_cast<long long>(offset) * 4;
    const long long endByte = startByte + static_cast<long long>(frames) * kBytesPerFrame;
    auto floorDiv = [](long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    const long from = static_cast<long>(floorDiv(startByte, kBytesPerFrame));
    const long to = static_cast<long>(floorDiv(endByte - 1, kBytesPerFrame));   // inclusive
    std::vector<uint8_t> span(static_cast<size_t>(to - from + 1) * kBytesPerFrame, 0);
    // Runs of frames that follow each other in the BIN are read at once.
    for (long f = from; f <= to;) {
        long bin = 0;
        if (!LbaToBinFrame(*medium.disc, f, &bin)) {
            ++f;
            continue;
        }
        long run = 1, next = 0;
        while (f + run <= to && LbaToBinFrame(*medium.disc, f + run, &next) && next == bin + run) ++run;
        if (!medium.readBin || !medium.readBin(bin, run, span.data() + static_cast<size_t>(f - from) * kBytesPerFrame))
            return false;
        f += run;
    }
    const size_t skip = static_cast<size_t>(startByte - static_cast<long long>(from) * kBytesPerFrame);
    out->assign(span.begin() + static_cast<std::ptrdiff_t>(skip),
                span.begin() + static_cast<std::ptrdiff_t>(skip + static_cast<size_t>(frames) * kBytesPerFrame));
    return true;
}

void EmulatedDrive::Remember(long lba, const Cached& frame, uint32_t limit) {
    if (limit == 0) return;
    if (cache_.count(lba)) cacheOrder_.erase(std::find(cacheOrder_.begin(), cacheOrder_.end(), lba));
    cache_[lba] = frame;
    cacheOrder_.push_back(lba);
    while (cacheOrder_.size() > limit) {
        cache_.erase(cacheOrder_.front());
        cacheOrder_.pop_front();
    }
}

void EmulatedDrive::Count(std::vector<uint64_t>* counts, long lba, long frames) {
    for (size_t k = 0; k < counted_.size(); ++k) {
        long from = std::max(counted_[k].first, lba), to = std::min(counted_[k].last, lba + frames - 1);
        if (from > to) continue;
        (*counts)[k] += static_cast<uint64_t>(to - from + 1);
        countsChanged_ = true;
    }
}

std::string EmulatedDrive::MediumReadsText() const { return CountsText(mediumReads_); }
std::string EmulatedDrive::CacheHitsText() const { return CountsText(cacheHits_); }

bool EmulatedDrive::CountsChanged() {
    bool changed = countsChanged_;
    countsChanged_ = false;
    return changed;
}

}  // namespace rig
