#include "sense.h"

#include <cstdio>

namespace akrip {

bool ParseSense(const uint8_t* data, size_t length, Sense* sense) {
    if (!data || length < 1) return false;
    const uint8_t code = data[0] & 0x7F;
    if (code == 0x70 || code == 0x71) {
        if (length < 3) return false;
        sense->key = data[2] & 0x0F;
        // The codes lie beyond the additional length's reach in short answers.
        sense->asc = length > 12 && data[7] >= 5 ? data[12] : 0;
        sense->ascq = length > 13 && data[7] >= 6 ? data[13] : 0;
        return true;
    }
    if (code == 0x72 || code == 0x73) {
        if (length < 4) return false;
        sense->key = data[1] & 0x0F;
        sense->asc = data[2];
        sense->ascq = data[3];
        return true;
    }
    return false;
}

SenseKind KindOf(const Sense& sense) {
    switch (sense.key) {
    case 0x1: return SenseKind::kRecovered;
    case 0x2:
        if (sense.asc == 0x04) return SenseKind::kBecomingReady;
        if (sense.asc == 0x3A) return SenseKind::kNoMedium;
        return SenseKind::kOther;
    case 0x3: return SenseKind::kMediumError;
    case 0x6: return SenseKind::kMediumChanged;
    default: return SenseKind::kOther;
    }
}

Result ResultOf(const Sense& sense) {
    switch (KindOf(sense)) {
    case SenseKind::kRecovered: return kResultOk;
    case SenseKind::kBecomingReady:
    case SenseKind::kNoMedium: return kResultNotReady;
    case SenseKind::kMediumChanged: return kResultMediumChanged;
    case SenseKind::kMediumError: return kResultReadError;
    default: return kResultDriveError;
    }
}

CommandRetry::Step CommandRetry::After(const Sense& sense, uint32_t elapsedMs) {
    switch (KindOf(sense)) {
    case SenseKind::kBecomingReady:
        return elapsedMs + kBecomingReadyPollMs <= kBecomingReadyLimitMs ? Step::kRetryAfterWait : Step::kGiveUp;
    case SenseKind::kMediumChanged:
        return repeatAfterChange_ && ++unitAttentions_ <= kUnitAttentionRetries ? Step::kRetryNow : Step::kGiveUp;
    default: return Step::kGiveUp;
    }
}

uint32_t StatusWord(Result result, const Sense& sense) {
    return static_cast<uint32_t>(result & 0xFF) | static_cast<uint32_t>(sense.key) << 8 |
           static_cast<uint32_t>(sense.asc) << 16 | static_cast<uint32_t>(sense.ascq) << 24;
}

Sense StatusSense(uint32_t word) {
    Sense sense;
    sense.key = static_cast<uint8_t>(word >> 8 & 0x0F);
    sense.asc = static_cast<uint8_t>(word >> 16);
    sense.ascq = static_cast<uint8_t>(word >> 24);
    return sense;
}

std::string DescribeSense(const Sense& sense) {
    static const char* const kNames[16] = {
        "NO SENSE",     "RECOVERED ERROR", "NOT READY", "MEDIUM ERROR",    "HARDWARE ERROR", "ILLEGAL REQUEST",
        "UNIT ATTENTION", "DATA PROTECT",  "BLANK CHECK", "VENDOR SPECIFIC", "COPY ABORTED", "ABORTED COMMAND",
        "sense key C",  "VOLUME OVERFLOW", "MISCOMPARE", "sense key F"};
    char text[64];
    snprintf(text, sizeof text, "%s (sense %X/%02X/%02X)", kNames[sense.key & 0x0F], sense.key & 0x0F, sense.asc,
             sense.ascq);
    return text;
}

}  // namespace akrip
