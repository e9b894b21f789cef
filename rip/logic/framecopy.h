// The copy of a range of CD frames into a file, as the rip makes it: reads of 26
// frames (the last one shorter), up to 3 attempts each, a progress report before
// every fifth read starting with the first. Plain C++: the drive, the file and the
// screen are reached through the callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

constexpr long kChunkFrames = 26;
constexpr int kReadAttempts = 3;
constexpr int kProgressEveryReads = 5;

// What one read attempt put where: the data area, its capacity, and the delivered
// bytes' offset and count as the drive reported them.
struct Delivery {
    const uint8_t* area = nullptr;
    uint32_t capacity = 0;
    uint32_t offset = 0;
    uint32_t bytes = 0;
};

struct FrameCopyIo {
    // One attempt to read `frames` frames from `first`; true when the drive says it
    // succeeded, with what it delivered in *delivery.
    std::function<bool(long first, long frames, Delivery* delivery)> read;
    // Appends bytes to the file; false when they could not all be written.
    std::function<bool(const uint8_t* bytes, uint32_t count)> write;
    // Before every fifth read: the next frame and the frames still to read.
    std::function<void(long frame, long remaining)> progress;
};

enum class CopyOutcome { kComplete, kReadFailed, kWriteFailed };

struct CopyResult {
    CopyOutcome outcome = CopyOutcome::kComplete;
    long failedFrame = 0;   // first frame of the read that failed (kReadFailed)
    uint32_t bytes = 0;     // audio bytes written
};

// Whether an attempt's delivery can be taken: exactly `frames` whole frames, lying
// inside the data area. Anything else would lose or invent audio, or read past the
// area.
bool DeliveryUsable(const Delivery& delivery, long frames);

// Copies `length` frames from `start`. Stops at the first read whose attempts all
// fail or deliver something unusable, and at the first failed write: a hole in the
// audio would leave a file that looks whole but is not.
CopyResult CopyFrames(long start, long length, const FrameCopyIo& io);

// The progress text changes before every fifth read: at the speed of a disk that is
// far more often than a screen shows. It is drawn when at least kProgressDrawMs have
// passed since the last one drawn; the last text is drawn when the copy ends.
constexpr uint32_t kProgressDrawMs = 20;

class ProgressPacer {
public:
    // Whether a text that changes at `nowMs` (a millisecond clock that may wrap) is to
    // be drawn; the first always is.
    bool Due(uint32_t nowMs);
    // Whether the latest text has not been drawn yet.
    bool Pending() const { return pending_; }

private:
    bool drawn_ = false;
    bool pending_ = false;
    uint32_t lastMs_ = 0;
};

// The prompt-line texts of a rip: "Ripping... <length> ... <start>" at its beginning,
// "Ripping... <frame>: <remaining>" and 7 blanks as its progress.
std::string RipRangeText(long length, long start);
std::string RipProgressText(long frame, long remaining);
