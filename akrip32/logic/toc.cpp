#include "toc.h"

#include <cstring>

namespace akrip {
namespace {

void StoreAddress(long lba, bool msf, uint8_t* out) {
    uint32_t value = static_cast<uint32_t>(lba);
    if (msf) {
        long frames = lba + kPregapFrames;
        value = static_cast<uint32_t>((frames / (60 * 75)) << 16 | (frames / 75 % 60) << 8 | frames % 75);
    }
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

void SetDescriptor(TocDescriptor* d, uint8_t track, long lba, bool msf, bool data) {
    d->adrControl = data ? kDataAdrControl : kAudioAdrControl;
    d->track = track;
    StoreAddress(lba, msf, d->address);
}

// The descriptors the header's length says the record holds, at most all of them.
size_t PresentDescriptors(const Toc& toc) {
    size_t length = static_cast<size_t>(toc.length[0]) << 8 | toc.length[1];
    size_t present = length < 2 ? 0 : (length - 2) / sizeof(TocDescriptor);
    return present > kTocEntries ? kTocEntries : present;
}

// The position of `track`'s descriptor, or -1.
int FindDescriptor(const Toc& toc, int track) {
    if (track < 1 || track > 99) return -1;
    size_t present = PresentDescriptors(toc);
    for (size_t k = 0; k < present; ++k)
        if (toc.descriptors[k].track == track) return static_cast<int>(k);
    return -1;
}

bool IsData(const TocDescriptor& d) { return (d.adrControl & kDataControlBit) != 0; }

}  // namespace

bool BuildToc(const std::vector<long>& trackStarts, long leadout, bool msf, Toc* toc,
              const std::vector<bool>& dataTracks) {
    std::memset(toc, 0, sizeof *toc);
    size_t count = trackStarts.size();
    if (count == 0 || count > kTocEntries - 1) return false;
    for (size_t k = 0; k < count; ++k) {
        long next = k + 1 < count ? trackStarts[k + 1] : leadout;
        if (trackStarts[k] < 0 || trackStarts[k] >= next) return false;
    }
    unsigned length = 2 + sizeof(TocDescriptor) * (count + 1);
    toc->length[0] = static_cast<uint8_t>(length >> 8);
    toc->length[1] = static_cast<uint8_t>(length);
    toc->firstTrack = 1;
    toc->lastTrack = static_cast<uint8_t>(count);
    auto data = [&](size_t k) { return k < dataTracks.size() && dataTracks[k]; };
    for (size_t k = 0; k < count; ++k)
        SetDescriptor(&toc->descriptors[k], static_cast<uint8_t>(k + 1), trackStarts[k], msf, data(k));
    SetDescriptor(&toc->descriptors[count], kLeadoutTrack, leadout, msf, data(count - 1));
    return true;
}

bool IsDataTrack(const Toc& toc, int track) {
    int k = FindDescriptor(toc, track);
    return k >= 0 && IsData(toc.descriptors[k]);
}

bool TrackSpan(const Toc& toc, int track, long* start, long* frames, long firstSessionLeadout) {
    int k = FindDescriptor(toc, track);
    if (k < 0 || static_cast<size_t>(k) + 1 >= PresentDescriptors(toc)) return false;
    const TocDescriptor& next = toc.descriptors[k + 1];
    uint32_t first = DescriptorAddress(toc.descriptors[k]);
    uint32_t end = DescriptorAddress(next);
    if (!IsData(toc.descriptors[k]) && next.track != kLeadoutTrack && IsData(next)) {
        if (firstSessionLeadout > static_cast<long>(first) && static_cast<uint32_t>(firstSessionLeadout) < end) {
            end = static_cast<uint32_t>(firstSessionLeadout);
        } else {
            if (end < static_cast<uint32_t>(kSessionGapFrames)) return false;
            end -= static_cast<uint32_t>(kSessionGapFrames);
        }
    }
    if (end <= first || end - first > static_cast<uint32_t>(kMaxWavFrames)) return false;
    *start = static_cast<long>(first);
    *frames = static_cast<long>(end - first);
    return true;
}

bool FirstSessionLeadout(const uint8_t* fullToc, size_t size, long* lba) {
    if (size < 4) return false;
    size_t length = static_cast<size_t>(fullToc[0]) << 8 | fullToc[1];
    size_t end = length + 2 < size ? length + 2 : size;
    for (size_t at = 4; at + 11 <= end; at += 11) {
        const uint8_t* d = fullToc + at;
        if (d[0] != 1 || d[3] != 0xA2 || (d[1] >> 4) != 1) continue;
        if (d[9] >= 60 || d[10] >= 75) return false;
        *lba = (static_cast<long>(d[8]) * 60 + d[9]) * 75 + d[10] - kPregapFrames;
        return *lba > 0;
    }
    return false;
}

bool LastSessionStart(const uint8_t* sessionInfo, size_t size, long* lba) {
    if (size < 12) return false;
    const size_t length = static_cast<size_t>(sessionInfo[0]) << 8 | sessionInfo[1];
    const uint8_t lastSession = sessionInfo[3];
    if (length + 2 < 12 || lastSession < 2) return false;
    const uint8_t* d = sessionInfo + 4;
    const uint32_t start = static_cast<uint32_t>(d[4]) << 24 | d[5] << 16 | d[6] << 8 | d[7];
    if (d[2] == 0 || d[2] > 99 || start > 0x7FFFFFFFu) return false;
    *lba = static_cast<long>(start);
    return true;
}

bool FullTocFromSessionStart(long lastSessionStart, FullToc* toc) {
    const long leadout = lastSessionStart - kSessionGapFrames;
    const long address = leadout + kPregapFrames;
    if (leadout <= 0 || address >= 100L * 60 * 75) return false;
    std::memset(toc, 0, sizeof *toc);
    uint8_t* b = toc->bytes;
    b[1] = 2 + 11;   // the length counts the bytes after itself: two of header, one descriptor
    b[2] = 1;
    b[3] = 1;
    uint8_t* d = b + 4;
    d[0] = 1;            // session
    d[1] = 0x10;         // ADR 1, audio
    d[3] = 0xA2;         // the lead-out
    d[8] = static_cast<uint8_t>(address / (60 * 75));
    d[9] = static_cast<uint8_t>(address / 75 % 60);
    d[10] = static_cast<uint8_t>(address % 75);
    return true;
}

}  // namespace akrip
