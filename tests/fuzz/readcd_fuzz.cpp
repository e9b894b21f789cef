// The rip's reading of READ CD answers: whatever a drive says it delivered (success or
// not, an offset and a byte count into the transfer area), and the extraction library's
// check of a read request before any drive is asked.
//
// Beyond "no fault": the file receives exactly the track's frames from its first on,
// in order and whole, and nothing else; a copy is complete only with every frame; a
// failed read names the first frame missing; reads ask for at most 26 frames, each
// from where the file ends, at most three times; and a request passes the library's
// check exactly when it asks for frames that lie on the disc and fit its data area.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "framecopy.h"
#include "fuzz_check.h"
#include "requests.h"

namespace {

constexpr uint32_t kFrame = akrip::kFrameBytes;
constexpr uint32_t kArea = kChunkFrames * kFrame;   // the rip's transfer area

// The audio of a disc: every frame alike but for its first bytes, its own number.
void FillAudio(long firstFrame, uint64_t bytes, uint8_t* out) {
    static const std::vector<uint8_t> kFrameAudio = [] {
        std::vector<uint8_t> frame(kFrame);
        for (uint32_t i = 0; i < kFrame; ++i) frame[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
        return frame;
    }();
    for (uint64_t done = 0; done < bytes; done += kFrame) {
        const long number = firstFrame + static_cast<long>(done / kFrame);
        uint8_t frame[kFrame];
        std::memcpy(frame, kFrameAudio.data(), kFrame);
        std::memcpy(frame, &number, sizeof number);
        std::memcpy(out + done, frame, std::min<uint64_t>(kFrame, bytes - done));
    }
}

// The rip's transfer area, in a block of its own so that a read past it is seen, and the
// file's bytes; both kept from run to run (fresh blocks of this size each run would cost
// more than the copy under test).
uint8_t* const g_area = new uint8_t[kArea];
std::vector<uint8_t> g_file;

// A drive whose every answer the input decides; once the input is used up it answers
// each read correctly.
class AnsweringDrive {
public:
    AnsweringDrive(FuzzedDataProvider* input, long start, long length)
        : input_(input), start_(start), length_(length) {
        written_.clear();
    }

    bool Read(long first, long frames, Delivery* delivery) {
        const long fileFrames = static_cast<long>(written_.size() / kFrame);
        FUZZ_CHECK(first == start_ + fileFrames);
        FUZZ_CHECK(frames >= 1 && frames <= kChunkFrames && first + frames <= start_ + length_);
        attempts_ = first == lastFirst_ ? attempts_ + 1 : 1;
        lastFirst_ = first;
        FUZZ_CHECK(attempts_ <= kReadAttempts);

        const uint64_t asked = static_cast<uint64_t>(frames) * kFrame;
        bool ok = true;
        uint32_t offset = 0, bytes = static_cast<uint32_t>(asked);
        if (input_->remaining_bytes() > 0) {
            ok = input_->ConsumeBool();
            switch (input_->ConsumeIntegralInRange(0, 3)) {
                case 0: break;
                case 1: offset = input_->ConsumeIntegralInRange<uint32_t>(0, kArea); break;
                case 2: bytes = static_cast<uint32_t>(asked + kFrame * input_->ConsumeIntegralInRange(-3, 3)); break;
                default:
                    offset = input_->ConsumeIntegral<uint32_t>();
                    bytes = input_->ConsumeIntegral<uint32_t>();
                    break;
            }
        }
        // The drive puts the frames it was asked for where it says, as far as the area goes.
        std::memset(area_, 0xEE, kArea);
        if (offset < kArea) FillAudio(first, std::min<uint64_t>(asked, kArea - offset), area_ + offset);
        delivery->area = area_;
        delivery->capacity = kArea;
        delivery->offset = offset;
        delivery->bytes = bytes;
        return ok;
    }

    bool Write(const uint8_t* bytes, uint32_t count) {
        if (input_->remaining_bytes() > 0 && input_->ConsumeIntegralInRange(0, 15) == 0) {
            writeFailed_ = true;
            return false;
        }
        written_.insert(written_.end(), bytes, bytes + count);
        return true;
    }

    void Progress(long frame, long remaining) {
        FUZZ_CHECK(frame + remaining == start_ + length_);
        FUZZ_CHECK(frame == start_ + static_cast<long>(written_.size() / kFrame));
    }

    const std::vector<uint8_t>& Written() const { return written_; }
    bool WriteFailed() const { return writeFailed_; }
    int Attempts() const { return attempts_; }

private:
    FuzzedDataProvider* input_;
    long start_, length_;
    uint8_t* const area_ = g_area;
    std::vector<uint8_t>& written_ = g_file;
    long lastFirst_ = -1;
    int attempts_ = 0;
    bool writeFailed_ = false;
};

void CopyATrack(FuzzedDataProvider* input) {
    const long start = input->ConsumeIntegralInRange<long>(0, 400000);
    const long length = input->ConsumeIntegralInRange<long>(-1, 3 * kChunkFrames + 5);
    AnsweringDrive drive(input, start, length);
    FrameCopyIo io;
    io.read = [&](long first, long frames, Delivery* d) { return drive.Read(first, frames, d); };
    io.write = [&](const uint8_t* bytes, uint32_t count) { return drive.Write(bytes, count); };
    io.progress = [&](long frame, long remaining) { drive.Progress(frame, remaining); };
    const CopyResult result = CopyFrames(start, length, io);

    const std::vector<uint8_t>& file = drive.Written();
    FUZZ_CHECK(result.bytes == file.size() && file.size() % kFrame == 0);
    static std::vector<uint8_t> expected;
    expected.resize(file.size());
    FillAudio(start, file.size(), expected.data());
    FUZZ_CHECK(expected == file);
    const long fileFrames = static_cast<long>(file.size() / kFrame);
    switch (result.outcome) {
        case CopyOutcome::kComplete: FUZZ_CHECK(length >= 0 && fileFrames == length); break;
        case CopyOutcome::kReadFailed:
            FUZZ_CHECK(result.failedFrame == start + fileFrames);
            FUZZ_CHECK(length < 0 || drive.Attempts() == kReadAttempts);
            break;
        case CopyOutcome::kWriteFailed: FUZZ_CHECK(drive.WriteFailed()); break;
    }
}

// The library's check against a disc of `leadout` frames, said once more in 64 bits.
void CheckARequest(FuzzedDataProvider* input) {
    akrip::TransferHeader request = {};
    request.firstFrame = input->ConsumeIntegral<uint32_t>();
    request.frames = input->ConsumeIntegral<uint32_t>();
    request.capacity = input->ConsumeIntegral<uint32_t>();
    const long leadout = input->ConsumeIntegralInRange<long>(-2, 450000);
    const uint64_t first = request.firstFrame, frames = request.frames;
    const bool onDisc = leadout > 0 && frames >= 1 && first + frames <= static_cast<uint64_t>(leadout);
    const bool fits = frames * kFrame <= request.capacity;
    FUZZ_CHECK((akrip::CheckRead(request, leadout) == akrip::kResultOk) == (onDisc && fits));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        CheckARequest(&input);
    else
        CopyATrack(&input);
    return 0;
}
