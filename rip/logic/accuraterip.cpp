#include "accuraterip.h"

#include <cstdio>

#include "text.h"
#include "toc.h"

namespace {

uint32_t Le32(const std::string& bytes, size_t at) {
    auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + k])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

int DigitSum(long n) {
    int sum = 0;
    for (; n > 0; n /= 10) sum += static_cast<int>(n % 10);
    return sum;
}

}  // namespace

int DiscLayout::AudioTracks() const {
    int count = 0;
    for (size_t k = 0; k < starts.size(); ++k)
        if (k >= data.size() || !data[k]) ++count;
    return count;
}

bool LayoutFromToc(const akrip::Toc& toc, DiscLayout* layout) {
    *layout = DiscLayout();
    for (int track = 1; track <= 99; ++track) {
        long start = 0, frames = 0;
        if (!akrip::TrackSpan(toc, track, &start, &frames)) break;
        layout->starts.push_back(start);
        layout->data.push_back(akrip::IsDataTrack(toc, track));
    }
    size_t count = layout->starts.size();
    if (count == 0) return false;
    // The descriptor after the last track is the lead-out.
    for (const akrip::TocDescriptor& d : toc.descriptors)
        if (d.track == akrip::kLeadoutTrack) {
            layout->leadout = static_cast<long>(akrip::DescriptorAddress(d));
            break;
        }
    return layout->leadout > layout->starts.back();
}

DiscIds ComputeDiscIds(const DiscLayout& layout) {
    DiscIds ids;
    ids.audioTracks = layout.AudioTracks();
    int digits = 0;
    for (size_t k = 0; k < layout.starts.size(); ++k) {
        uint32_t start = static_cast<uint32_t>(layout.starts[k]);
        digits += DigitSum((layout.starts[k] + akrip::kPregapFrames) / 75);
        if (k < layout.data.size() && layout.data[k]) continue;
        ids.id1 += start;
        ids.id2 += (start ? start : 1) * static_cast<uint32_t>(k + 1);
    }
    uint32_t leadout = static_cast<uint32_t>(layout.leadout);
    ids.id1 += leadout;
    ids.id2 += leadout * static_cast<uint32_t>(ids.audioTracks + 1);
    long seconds = layout.leadout / 75 - (layout.starts.empty() ? 0 : layout.starts[0] / 75);
    ids.freedb = static_cast<uint32_t>(digits % 255) << 24 | static_cast<uint32_t>(seconds & 0xFFFF) << 8 |
                 static_cast<uint32_t>(layout.starts.size() & 0xFF);
    return ids;
}

std::string DatabasePath(const DiscIds& ids) {
    char path[64];
    snprintf(path, sizeof path, "%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", ids.id1 & 0xF, ids.id1 >> 4 & 0xF,
             ids.id1 >> 8 & 0xF, ids.audioTracks, ids.id1, ids.id2, ids.freedb);
    return path;
}

bool ParseDatabaseEntry(const std::string& bytes, std::vector<ArPressing>* pressings) {
    pressings->clear();
    size_t at = 0;
    while (at < bytes.size()) {
        ArPressing p;
        p.trackCount = static_cast<uint8_t>(bytes[at]);
        if (p.trackCount == 0 || bytes.size() - at < 13 + 9 * static_cast<size_t>(p.trackCount)) return false;
        p.id1 = Le32(bytes, at + 1);
        p.id2 = Le32(bytes, at + 5);
        p.freedb = Le32(bytes, at + 9);
        at += 13;
        for (int k = 0; k < p.trackCount; ++k, at += 9) {
            ArTrackEntry entry;
            entry.confidence = static_cast<uint8_t>(bytes[at]);
            entry.crc = Le32(bytes, at + 1);
            entry.frame450Crc = Le32(bytes, at + 5);
            p.tracks.push_back(entry);
        }
        pressings->push_back(p);
    }
    return !pressings->empty();
}

ArMatch MatchTrack(const ArLookup& lookup, const DiscIds& ids, int track, const TrackSums& sums) {
    ArMatch match;
    switch (lookup.status) {
        case ArLookupStatus::kNotReached: match.result = ArResult::kNotReached; return match;
        case ArLookupStatus::kUnreadable: match.result = ArResult::kUnreadable; return match;
        case ArLookupStatus::kNotInDatabase: match.result = ArResult::kNotInDatabase; return match;
        case ArLookupStatus::kFound: break;
    }
    match.result = ArResult::kNotInDatabase;
    for (const ArPressing& p : lookup.pressings) {
        if (p.trackCount != ids.audioTracks || p.id1 != ids.id1 || p.id2 != ids.id2 || p.freedb != ids.freedb ||
            track < 1 || track > p.trackCount)
            continue;
        if (match.result == ArResult::kNotInDatabase) match.result = ArResult::kMismatch;
        const ArTrackEntry& entry = p.tracks[static_cast<size_t>(track - 1)];
        int version = entry.crc == sums.v2 ? 2 : entry.crc == sums.v1 ? 1 : 0;
        if (version == 0) continue;
        if (match.result != ArResult::kAccurate || entry.confidence > match.confidence) {
            match.confidence = entry.confidence;
            match.version = version;
        }
        match.result = ArResult::kAccurate;
    }
    return match;
}

std::string ResultText(const ArMatch& match) {
    switch (match.result) {
        case ArResult::kAccurate: return "accurate, confidence " + std::to_string(match.confidence);
        case ArResult::kMismatch: return "mismatch";
        case ArResult::kNotInDatabase: return "not in database";
        case ArResult::kNotReached: return "database not reached";
        case ArResult::kUnreadable: return "database answer unreadable";
    }
    return "";
}

namespace {

std::string WithoutTrailingBlanks(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (LowerAsciiChar(a[k]) != LowerAsciiChar(b[k])) return false;
    return true;
}

}  // namespace

std::string DriveListName(const std::string& vendor, const std::string& product) {
    return WithoutTrailingBlanks(vendor) + " - " + WithoutTrailingBlanks(product);
}

bool DriveListWellFormed(const std::string& list) { return !list.empty() && list.size() % kDriveRecordBytes == 0; }

DriveListAnswer FindDriveOffset(const std::string& list, const std::string& name, long* offset) {
    if (!DriveListWellFormed(list)) return DriveListAnswer::kMalformed;
    const std::string wanted = WithoutTrailingBlanks(name);
    for (size_t at = 0; at < list.size(); at += kDriveRecordBytes) {
        const unsigned char* record = reinterpret_cast<const unsigned char*>(list.data() + at);
        const char* field = list.data() + at + 2;
        size_t length = 0;
        while (length < kDriveNameBytes && field[length] != '\0') ++length;
        if (!SameName(WithoutTrailingBlanks(std::string(field, length)), wanted)) continue;
        const long found = static_cast<int16_t>(static_cast<uint16_t>(record[0] | record[1] << 8));
        if (found < -kMaxReadOffset || found > kMaxReadOffset) continue;
        *offset = found;
        return DriveListAnswer::kListed;
    }
    return DriveListAnswer::kNotListed;
}
