// rigwave.drv's device state, shared by its two source files: waveaudio.cpp (the
// driver entry, open/set/status, recording and saving) and waveplay.cpp (play-back of
// a WAV file in real time, with its end reported from a timer-queue callback).
#pragma once

#include "mcidriver.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "soundcard.h"

namespace rigwave {

enum class Mode { kStopped, kPlaying, kRecording, kPaused };

// One stretch of recording: what the card heard between two clock readings.
struct Take {
    int64_t start = 0, end = 0;
};

struct WaveDevice {
    MCIDEVICEID id = 0;
    std::mutex lock;    // the play timer's callback runs on another thread
    Mode mode = Mode::kStopped;
    Mode pausedFrom = Mode::kStopped;
    DWORD timeFormat = MCI_FORMAT_MILLISECONDS;
    rig::WaveFormat format = {11025, 8, 1};   // the format a new device records in
    rig::NotifySlot notify;

    // Recording.
    std::vector<Take> takes;
    int64_t takeStart = 0;     // clock at the start of the running take
    std::string lineIn;        // the line input at the first take, "" for silence

    // Play-back (a device opened on a file).
    bool hasFile = false;
    uint32_t fileMs = 0;       // its length in milliseconds
    int64_t playStart = 0;     // clock when the running play started
    uint32_t playFromMs = 0, playToMs = 0;
    uint32_t pausedAtMs = 0;
    HANDLE timer = nullptr;    // fires at the end of the running play
};

// Milliseconds recorded so far (running take included). Caller holds the lock.
uint32_t RecordedMs(const WaveDevice* dev);
// The length of what the device holds: the file, or what was recorded.
uint32_t LengthMs(const WaveDevice* dev);

// Reads the length of a WAV file's audio; MCIERR_FILE_NOT_FOUND or MCIERR_INVALID_FILE.
DWORD OpenPlaybackFile(WaveDevice* dev, const wchar_t* path);
DWORD PlayBack(WaveDevice* dev, DWORD flags, MCI_PLAY_PARMS* parms);
// Ends a running play-back (cancelling its timer, waited for) and keeps the position
// when `pause`. Returns true when one was running. Caller must not hold the lock.
bool EndPlayBack(WaveDevice* dev, bool pause);
uint32_t PlayPositionMs(const WaveDevice* dev);   // caller holds the lock

}  // namespace rigwave
