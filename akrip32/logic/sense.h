// What a real drive's CHECK CONDITION means to the extraction library: the sense data
// parsed, what to do about it (wait for a drive that is becoming ready, read the table
// of contents again after a unit attention, give up), and how a failure carries its
// sense to the caller in the status word of a transfer (and the result of ReadTOC).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "akrip_records.h"

namespace akrip {

struct Sense {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

// The sense key and codes of sense data in fixed (70h, 71h) or descriptor (72h, 73h)
// format, of which `length` bytes arrived; false when they do not hold them.
bool ParseSense(const uint8_t* data, size_t length, Sense* sense);

enum class SenseKind {
    kRecovered,       // the command completed after the drive's own recovery: its data stands
    kBecomingReady,   // not ready, on its way (02/04/xx)
    kNoMedium,        // no disc, or the tray is open (02/3A/xx)
    kMediumChanged,   // unit attention: the disc may be another one
    kMediumError,     // the disc could not be read there
    kOther,
};
SenseKind KindOf(const Sense& sense);

// The result a command failed with, by its sense.
Result ResultOf(const Sense& sense);

// How long a drive that is becoming ready is waited for, and how often asked.
constexpr uint32_t kBecomingReadyPollMs = 250;
constexpr uint32_t kBecomingReadyLimitMs = 5000;
// Unit attentions a command that may be repeated (reading the table of contents)
// meets before it gives up: each reports one change, so more mean the drive keeps
// changing.
constexpr int kUnitAttentionRetries = 3;

// The retries of one command.
class CommandRetry {
public:
    enum class Step { kRetryNow, kRetryAfterWait, kGiveUp };
    // `repeatAfterChange`: the command may simply be sent again after a unit attention
    // (a table of contents); a read may not (its frames could be another disc's).
    explicit CommandRetry(bool repeatAfterChange) : repeatAfterChange_(repeatAfterChange) {}
    // After a CHECK CONDITION with `sense`, `elapsedMs` after the command was first sent.
    Step After(const Sense& sense, uint32_t elapsedMs);

private:
    bool repeatAfterChange_;
    int unitAttentions_ = 0;
};

// A status word: the result in its low byte, the sense key, code and qualifier above.
uint32_t StatusWord(Result result, const Sense& sense);
inline Result StatusResult(uint32_t word) { return static_cast<Result>(word & 0xFF); }
Sense StatusSense(uint32_t word);

// "HARDWARE ERROR (sense 4/44/00)": the sense key's name and the codes, for a message.
std::string DescribeSense(const Sense& sense);

}  // namespace akrip
