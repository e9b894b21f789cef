// Play-back on the rig's sound card: the card has no speakers, so a play is its
// duration. A timer-queue timer fires at the real-time end and posts the pending
// notification (winmm's mciDriverNotify is a PostMessage, safe from any thread).
#include "waveaudio.h"

#include <cstring>

#include "rigcore.h"

namespace rigwave {
namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Walks the RIFF chunks of `file` for "fmt " and "data"; fills the bytes per second
// and the data size. False when it is not a PCM WAV file.
bool ReadWavLayout(HANDLE file, uint32_t* bytesPerSecond, uint32_t* dataBytes) {
    uint8_t head[12];
    DWORD got = 0;
    if (!ReadFile(file, head, sizeof head, &got, nullptr) || got != sizeof head) return false;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    DWORD fileSize = GetFileSize(file, nullptr);
    uint32_t at = 12, avg = 0;
    bool haveFormat = false;
    while (at + 8 <= fileSize) {
        uint8_t chunk[24];
        if (SetFilePointer(file, static_cast<LONG>(at), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
        if (!ReadFile(file, chunk, 8, &got, nullptr) || got != 8) return false;
        uint32_t size = Le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || !ReadFile(file, chunk + 8, 16, &got, nullptr) || got != 16) return false;
            unsigned tag = chunk[8] | chunk[9] << 8;
            if (tag != WAVE_FORMAT_PCM && tag != 0xFFFE) return false;   // PCM or extensible
            avg = Le32(chunk + 16);
            haveFormat = avg != 0;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return false;
            *bytesPerSecond = avg;
            // A data chunk that claims more than the file holds plays what is there.
            *dataBytes = size < fileSize - at - 8 ? size : fileSize - at - 8;
            return true;
        }
        uint64_t next = static_cast<uint64_t>(at) + 8 + size + (size & 1);
        if (next > fileSize) return false;
        at = static_cast<uint32_t>(next);
    }
    return false;
}

// Timer-queue callback at the end of a play: the device stops and says so.
void CALLBACK OnPlayEnd(PVOID context, BOOLEAN) {
    auto* dev = static_cast<WaveDevice*>(context);
    std::lock_guard<std::mutex> hold(dev->lock);
    if (dev->mode != Mode::kPlaying) return;
    dev->mode = Mode::kStopped;
    dev->pausedAtMs = 0;
    dev->notify.Post(dev->id, MCI_NOTIFY_SUCCESSFUL);
}

}  // namespace

DWORD OpenPlaybackFile(WaveDevice* dev, const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return MCIERR_FILE_NOT_FOUND;
    uint32_t bytesPerSecond = 0, dataBytes = 0;
    bool ok = ReadWavLayout(file, &bytesPerSecond, &dataBytes);
    CloseHandle(file);
    if (!ok) return MCIERR_INVALID_FILE;
    dev->hasFile = true;
    dev->fileMs = static_cast<uint32_t>(static_cast<uint64_t>(dataBytes) * 1000 / bytesPerSecond);
    return 0;
}

uint32_t PlayPositionMs(const WaveDevice* dev) {
    if (dev->mode == Mode::kPaused && dev->pausedFrom == Mode::kPlaying) return dev->pausedAtMs;
    if (dev->mode != Mode::kPlaying) return dev->pausedAtMs;
    int64_t elapsed = (RigClockNow() - dev->playStart) * 1000 / RigClockFrequency();
    uint64_t at = dev->playFromMs + static_cast<uint64_t>(elapsed < 0 ? 0 : elapsed);
    return at < dev->playToMs ? static_cast<uint32_t>(at) : dev->playToMs;
}

DWORD PlayBack(WaveDevice* dev, DWORD flags, MCI_PLAY_PARMS* parms) {
    EndPlayBack(dev, false);
    std::lock_guard<std::mutex> hold(dev->lock);
    uint32_t length = LengthMs(dev);
    uint32_t from = (flags & MCI_FROM) ? parms->dwFrom : dev->pausedAtMs;
    uint32_t to = (flags & MCI_TO) ? parms->dwTo : length;
    if (from > length || to > length || to < from) return MCIERR_OUTOFRANGE;
    dev->notify.Abort(dev->id);
    dev->mode = Mode::kPlaying;
    dev->playStart = RigClockNow();
    dev->playFromMs = from;
    dev->playToMs = to;
    if (parms) dev->notify.Arm(dev->id, flags, parms->dwCallback);
    DWORD due = to - from;
    if (!CreateTimerQueueTimer(&dev->timer, nullptr, OnPlayEnd, dev, due ? due : 1, 0, WT_EXECUTEONLYONCE)) {
        dev->timer = nullptr;
        dev->mode = Mode::kStopped;
        dev->notify.Post(dev->id, MCI_NOTIFY_FAILURE);
        return MCIERR_DRIVER_INTERNAL;
    }
    return 0;
}

bool EndPlayBack(WaveDevice* dev, bool pause) {
    HANDLE timer;
    {
        std::lock_guard<std::mutex> hold(dev->lock);
        timer = dev->timer;
        dev->timer = nullptr;
    }
    // Waits for a callback that is running; it takes the lock, so not held here.
    if (timer) DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    std::lock_guard<std::mutex> hold(dev->lock);
    if (dev->mode != Mode::kPlaying) return false;
    uint32_t at = PlayPositionMs(dev);
    if (pause) {
        dev->pausedFrom = Mode::kPlaying;
        dev->mode = Mode::kPaused;
        dev->pausedAtMs = at;
    } else {
        dev->mode = Mode::kStopped;
        dev->pausedAtMs = at < dev->playToMs ? at : 0;
    }
    return true;
}

}  // namespace rigwave
