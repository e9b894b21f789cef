// A real drive's answers the extraction library reads: GET CONFIGURATION, MODE SENSE
// (both forms), sense data, the full table of contents (READ TOC format 2) and the
// session information (format 1).
//
// Beyond "no fault" (each is read from a block of exactly the bytes that arrived):
// what is parsed does not depend on bytes past the lengths the answer gives itself; a
// cache size in frames holds the KiB reported; a lead-out is a frame an MSF address can name.
#include <vector>

#include "drive_features.h"
#include "fuzz_check.h"
#include "sense.h"
#include "toc.h"

namespace {

// The answer with every byte past `used` changed: parsing must give the same.
std::vector<uint8_t> Spoiled(const uint8_t* data, size_t size, size_t used, size_t total) {
    std::vector<uint8_t> copy(data, data + size);
    copy.resize(total, 0xA5);
    for (size_t k = used; k < copy.size(); ++k) copy[k] ^= 0xFF;
    return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(exact.get(), data, size);
    const uint8_t* answer = exact.get();

    bool c2 = false;
    if (akrip::ParseCdReadFeature(answer, size, &c2)) {
        const size_t said = size >= 4 ? (static_cast<size_t>(answer[0]) << 24 | answer[1] << 16 | answer[2] << 8 |
                                         answer[3]) + 4
                                      : 0;
        if (said < size) {
            std::vector<uint8_t> other = Spoiled(answer, size, said, size);
            bool again = !c2;
            FUZZ_CHECK(akrip::ParseCdReadFeature(other.data(), other.size(), &again) && again == c2);
        }
    }
    for (bool tenByte : {true, false}) {
        akrip::CapabilitiesPage page;
        if (!akrip::ParseCapabilitiesPage(answer, size, tenByte, &page)) continue;
        const uint64_t frames = akrip::CacheFramesOf(page.bufferKb);
        FUZZ_CHECK(frames * 2352 >= uint64_t{page.bufferKb} * 1024 && frames * 2352 < uint64_t{page.bufferKb} * 1024 + 2352);
    }
    akrip::Sense sense;
    if (akrip::ParseSense(answer, size, &sense)) FUZZ_CHECK(sense.key <= 0x0F);
    long leadout = 0;
    if (akrip::FirstSessionLeadout(answer, size, &leadout)) FUZZ_CHECK(leadout > 0 && leadout < 256 * 60 * 75);
    // The session information: the full table made from it gives back the first
    // session's end, a session gap before the start it read.
    long lastStart = 0;
    akrip::FullToc full;
    if (akrip::LastSessionStart(answer, size, &lastStart) && akrip::FullTocFromSessionStart(lastStart, &full)) {
        FUZZ_CHECK(akrip::FirstSessionLeadout(full.bytes, sizeof full.bytes, &leadout));
        FUZZ_CHECK(leadout == lastStart - akrip::kSessionGapFrames);
    }
    return 0;
}
