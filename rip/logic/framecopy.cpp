#include "framecopy.h"

#include "wavwriter.h"

bool DeliveryUsable(const Delivery& delivery, long frames) {
    const uint64_t expected = static_cast<uint64_t>(frames) * 2352;
    return delivery.area != nullptr && delivery.bytes == expected &&
           static_cast<uint64_t>(delivery.offset) + delivery.bytes <= delivery.capacity;
}

CopyResult CopyFrames(long start, long length, const FrameCopyIo& io) {
    CopyResult result;
    if (length < 0 || static_cast<uint64_t>(length) * 2352 > kMaxWavDataBytes) {
        result.outcome = CopyOutcome::kReadFailed;
        result.failedFrame = start;
        return result;
    }
    long chunk = kChunkFrames, frame = start, remaining = length;
    for (int reads = 0; remaining > 0; ++reads) {
        if (reads % kProgressEveryReads == 0 && io.progress) io.progress(frame, remaining);
        if (remaining < chunk) chunk = remaining;
        Delivery delivery;
        bool read = false;
        for (int attempt = 0; attempt < kReadAttempts && !read; ++attempt) {
            delivery = Delivery();
            read = io.read(frame, chunk, &delivery) && DeliveryUsable(delivery, chunk);
        }
        if (!read) {
            result.outcome = CopyOutcome::kReadFailed;
            result.failedFrame = frame;
            return result;
        }
        if (!io.write(delivery.area + delivery.offset, delivery.bytes)) {
            result.outcome = CopyOutcome::kWriteFailed;
            return result;
        }
        result.bytes += delivery.bytes;
        frame += chunk;
        remaining -= chunk;
    }
    return result;
}

bool ProgressPacer::Due(uint32_t nowMs) {
    pending_ = drawn_ && nowMs - lastMs_ < kProgressDrawMs;
    if (pending_) return false;
    drawn_ = true;
    lastMs_ = nowMs;
    return true;
}

std::string RipRangeText(long length, long start) {
    return "Ripping... " + std::to_string(length) + " ... " + std::to_string(start);
}

std::string RipProgressText(long frame, long remaining) {
    return "Ripping... " + std::to_string(frame) + ": " + std::to_string(remaining) + "       ";
}
