// The virtual drive's fault injection and the checks every read request passes before
// a drive is asked for frames.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "akrip_records.h"

namespace akrip {

// An inclusive range of LBAs.
struct SectorRange {
    long first;
    long last;
};

// Parses "17, 40-45,900": LBAs and ranges a-b separated by commas, blanks allowed.
// Entries that are not a number or a range with first <= last are skipped.
std::vector<SectorRange> ParseSectorRanges(const std::string& text);

// Whether any of `count` frames from `first` lies in one of the ranges.
bool HitsRange(const std::vector<SectorRange>& ranges, long first, long count);

// The rig's flaky sectors: each read of one counts, and only every third read of a
// sector delivers its true bytes; the others deliver them damaged, differently at each
// read of it (two damaged reads never agree), alike in every run.
class FlakySectors {
public:
    // Applies to a read of `frames` frames from `first`, delivered into `data`, the
    // ranges of `text` ("a-b,c"); other ranges than the last read's count anew.
    void ApplyToRead(const std::string& text, long first, long frames, uint8_t* data);

private:
    std::string text_;
    std::vector<SectorRange> ranges_;
    std::map<long, uint32_t> reads_;
};

// Checks a transfer request against a disc of `leadout` frames: at least one frame,
// all of them on the disc, and a data area that holds them. kResultOk or
// kResultBadRequest.
Result CheckRead(const TransferHeader& request, long leadout);

}  // namespace akrip
