// The extraction library's table of contents: any 804 bytes a drive answers READ TOC
// with, as the rip reads a track's frame range out of them; and the table the library
// builds from a disc, read back.
//
// Beyond "no fault": a span read from any table is a range a WAV file can hold; a table
// built from track starts exists exactly when the starts make a disc (1 to 99 tracks,
// ascending from LBA 0 or later, below the lead-out), and then gives back every
// track's kind, start and length (an audio track before a data track ending a session
// gap earlier), with the same addresses in MSF form.
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "toc.h"

namespace {

using akrip::Toc;

// A drive's answer: the input's first 804 bytes (zero-filled), in a block of its own size.
void ReadAnyTable(const uint8_t* data, size_t size) {
    std::unique_ptr<Toc> toc(new Toc);
    std::memset(toc.get(), 0, sizeof(Toc));
    std::memcpy(toc.get(), data, size < sizeof(Toc) ? size : sizeof(Toc));
    const int track = size > 0 ? data[0] % 101 : 1;
    long start = -1, frames = -1;
    if (!akrip::TrackSpan(*toc, track, &start, &frames)) return;
    FUZZ_CHECK(track >= 1 && track <= 99);
    FUZZ_CHECK(start >= 0 && start <= 0xFFFFFFFFL);
    FUZZ_CHECK(frames > 0 && frames <= akrip::kMaxWavFrames);
    FUZZ_CHECK(static_cast<uint64_t>(frames) * akrip::kFrameBytes + 36 <= 0xFFFFFFFFull);
}

uint32_t Address(const akrip::TocDescriptor& d) { return akrip::DescriptorAddress(d); }

// Track starts, their kinds and a lead-out taken from the input: a count, a signed
// first start and the steps between addresses (a step of 0 makes a disc that cannot
// be), the top bit of each step marking the track a data track.
void BuildAndReadBack(const uint8_t* data, size_t size) {
    if (size < 3) return;
    const size_t count = data[0] % 101;
    long at = static_cast<int8_t>(data[1]) * 40L;
    std::vector<long> starts;
    std::vector<bool> isData;
    size_t i = 2;
    auto step = [&]() -> long {
        long value = i + 1 < size ? (data[i] | data[i + 1] << 8) : 1;
        i += 2;
        return value;
    };
    for (size_t k = 0; k < count; ++k) {
        const long value = step();
        starts.push_back(at);
        isData.push_back(value & 0x8000);
        at += value & 0x7FFF;
    }
    const long leadout = at - (i < size && data[i] == 0xFF ? step() : 0);

    bool makesDisc = !starts.empty() && starts.size() <= 99 && starts[0] >= 0;
    for (size_t k = 0; makesDisc && k < starts.size(); ++k)
        makesDisc = starts[k] < (k + 1 < starts.size() ? starts[k + 1] : leadout);

    for (bool msf : {false, true}) {
        Toc toc;
        std::memset(&toc, 0x77, sizeof toc);
        const bool built = akrip::BuildToc(starts, leadout, msf, &toc, isData);
        FUZZ_CHECK(built == makesDisc);
        if (!built) {
            const Toc zero = {};
            FUZZ_CHECK(std::memcmp(&toc, &zero, sizeof toc) == 0);
            continue;
        }
        const size_t n = starts.size();
        FUZZ_CHECK((toc.length[0] << 8 | toc.length[1]) == static_cast<int>(2 + 8 * (n + 1)));
        FUZZ_CHECK(toc.firstTrack == 1 && toc.lastTrack == n);
        FUZZ_CHECK(toc.descriptors[n].track == akrip::kLeadoutTrack);
        for (size_t k = 0; k <= n; ++k) {
            const long lba = k < n ? starts[k] : leadout;
            const uint32_t address = Address(toc.descriptors[k]);
            if (!msf) {
                FUZZ_CHECK(address == static_cast<uint32_t>(lba));
                continue;
            }
            const long shown = lba + akrip::kPregapFrames;
            if (shown / 4500 > 255) continue;   // beyond any disc: the minutes have one byte
            const uint32_t m = address >> 16, s = address >> 8 & 0xFF, f = address & 0xFF;
            FUZZ_CHECK(s < 60 && f < 75 && static_cast<long>((m * 60 + s) * 75 + f) == shown);
        }
        if (msf) continue;
        for (size_t k = 0; k < n; ++k) {
            long start = -1, frames = -1;
            const bool gapAfter = k + 1 < n && !isData[k] && isData[k + 1];
            const long end = (k + 1 < n ? starts[k + 1] : leadout) - (gapAfter ? akrip::kSessionGapFrames : 0);
            const bool spans = end > starts[k] && end - starts[k] <= akrip::kMaxWavFrames;
            FUZZ_CHECK(akrip::IsDataTrack(toc, static_cast<int>(k + 1)) == isData[k]);
            FUZZ_CHECK(akrip::TrackSpan(toc, static_cast<int>(k + 1), &start, &frames) == spans);
            if (spans) FUZZ_CHECK(start == starts[k] && frames == end - starts[k]);
        }
        long start, frames;
        FUZZ_CHECK(!akrip::TrackSpan(toc, static_cast<int>(n + 1), &start, &frames));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadAnyTable(data, size);
    BuildAndReadBack(data, size);
    return 0;
}
