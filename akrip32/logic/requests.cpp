#include "requests.h"

#include <cctype>
#include <cstdlib>

namespace akrip {
namespace {

std::string Trimmed(const std::string& text) {
    size_t from = 0, to = text.size();
    while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) ++from;
    while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) --to;
    return text.substr(from, to - from);
}

// A whole non-negative decimal number; false for anything else.
bool ParseLba(const std::string& text, long* value) {
    std::string digits = Trimmed(text);
    if (digits.empty() || digits.size() > 9) return false;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    *value = std::strtol(digits.c_str(), nullptr, 10);
    return true;
}

}  // namespace

std::vector<SectorRange> ParseSectorRanges(const std::string& text) {
    std::vector<SectorRange> ranges;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        std::string entry = text.substr(pos, comma - pos);
        pos = comma + 1;
        SectorRange range;
        size_t dash = entry.find('-');
        if (dash == std::string::npos) {
            if (!ParseLba(entry, &range.first)) continue;
            range.last = range.first;
        } else if (!ParseLba(entry.substr(0, dash), &range.first) || !ParseLba(entry.substr(dash + 1), &range.last) ||
                   range.first > range.last) {
            continue;
        }
        ranges.push_back(range);
    }
    return ranges;
}

bool HitsRange(const std::vector<SectorRange>& ranges, long first, long count) {
    if (count <= 0) return false;
    long last = first + count - 1;
    for (const SectorRange& range : ranges)
        if (range.first <= last && first <= range.last) return true;
    return false;
}

void FlakySectors::ApplyToRead(const std::string& text, long first, long frames, uint8_t* data) {
    if (text != text_) {
        text_ = text;
        ranges_ = ParseSectorRanges(text);
        reads_.clear();
    }
    for (const SectorRange& range : ranges_) {
        long from = range.first > first ? range.first : first;
        long to = range.last < first + frames - 1 ? range.last : first + frames - 1;
        for (long lba = from; lba <= to; ++lba) {
            uint32_t read = ++reads_[lba];
            if (read % 3 == 0) continue;
            // The read's number in two bytes of every 97th pair, the second never 0.
            uint8_t* frame = data + static_cast<size_t>(lba - first) * kFrameBytes;
            for (size_t at = 0; at + 1 < kFrameBytes; at += 97 * 2) {
                frame[at] ^= static_cast<uint8_t>(read);
                frame[at + 1] ^= static_cast<uint8_t>(read >> 8 | 0x80);
            }
        }
    }
}

Result CheckRead(const TransferHeader& request, long leadout) {
    if (request.frames == 0 || leadout <= 0) return kResultBadRequest;
    if (request.firstFrame >= static_cast<uint32_t>(leadout)) return kResultBadRequest;
    if (request.frames > static_cast<uint32_t>(leadout) - request.firstFrame) return kResultBadRequest;
    if (request.frames > request.capacity / kFrameBytes) return kResultBadRequest;
    return kResultOk;
}

}  // namespace akrip
