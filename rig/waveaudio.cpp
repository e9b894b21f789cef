// rigwave.drv: the MCI driver winmm loads for "waveaudio" in place of the system's.
// A sound card that records what a PC's card would hear: the rig's CD output
// (rebuilt sample-exactly from the core's play history) mixed with the line input (a
// WAV file, looped from its start at the first recording), converted to the format set
// on the device. Recording needs no thread: a take is two clock readings, and the
// audio is rendered when it is saved. Play-back lives in waveplay.cpp.
//
// A new device ("open new type waveaudio alias wave", element "") records in PCM,
// mono, 11,025 Hz, 8 bits and counts time in milliseconds, as the system's does.
#include "waveaudio.h"

#include <cstring>

#include "rigcore.h"

namespace rigwave {

uint32_t RecordedMs(const WaveDevice* dev) {
    int64_t ticks = 0;
    for (const Take& take : dev->takes) ticks += take.end - take.start;
    if (dev->mode == Mode::kRecording) ticks += RigClockNow() - dev->takeStart;
    return static_cast<uint32_t>(ticks * 1000 / RigClockFrequency());
}

uint32_t LengthMs(const WaveDevice* dev) { return dev->hasFile ? dev->fileMs : RecordedMs(dev); }

namespace {

const int32_t kRenderPairs = RIG_CD_RATE;   // rendered a second at a time

DWORD_PTR Boolean(bool value) { return MAKEMCIRESOURCE(value ? TRUE : FALSE, value ? MCI_TRUE : MCI_FALSE); }

DWORD ModeWord(Mode mode) {
    switch (mode) {
    case Mode::kPlaying: return MCI_MODE_PLAY;
    case Mode::kRecording: return MCI_MODE_RECORD;
    case Mode::kPaused: return MCI_MODE_PAUSE;
    default: return MCI_MODE_STOP;
    }
}

// Ends a running take at `now`. Caller holds the lock.
void EndTake(WaveDevice* dev, int64_t now) {
    if (dev->mode != Mode::kRecording) return;
    dev->takes.push_back({dev->takeStart, now});
    dev->mode = Mode::kStopped;
}

// What the card heard during the takes, as CD audio (44,100 Hz, 16-bit stereo).
std::vector<int16_t> RenderTakes(const std::vector<Take>& takes, const std::string& lineInPath) {
    std::vector<int16_t> lineIn;
    if (!lineInPath.empty()) {
        rig::WaveFormat source;
        std::string error;
        if (!rig::LoadWavToCd(lineInPath, &lineIn, &source, &error)) {
            std::string text = "virtual audio rig: line input is silent: " + lineInPath + ": " + error + "\n";
            OutputDebugStringA(text.c_str());
            lineIn.clear();
        }
    }
    size_t total = 0;
    for (const Take& take : takes)
        total += static_cast<size_t>((take.end - take.start) * RIG_CD_RATE / RigClockFrequency());
    std::vector<int16_t> heard(total * 2);
    size_t at = 0, loopPosition = 0;
    for (const Take& take : takes) {
        int64_t pairs = (take.end - take.start) * RIG_CD_RATE / RigClockFrequency();
        for (int64_t done = 0; done < pairs; done += kRenderPairs) {
            int32_t count = static_cast<int32_t>(pairs - done < kRenderPairs ? pairs - done : kRenderPairs);
            RigCdOutput(take.start, done, count, &heard[at * 2]);
            rig::MixLooped(&heard[at * 2], static_cast<size_t>(count) * 2, lineIn, &loopPosition);
            at += count;
        }
    }
    return heard;
}

// Writes header and data to `path`, replacing any file there.
DWORD WriteWav(const wchar_t* path, const rig::WaveFormat& format, const std::vector<uint8_t>& data) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return MCIERR_FILE_NOT_SAVED;
    uint8_t header[rig::kWavHeaderBytes];
    rig::WriteWavHeader(format, static_cast<uint32_t>(data.size()), header);
    const uint8_t pad = 0;
    DWORD written = 0;
    bool ok = WriteFile(file, header, sizeof header, &written, nullptr) && written == sizeof header;
    ok = ok && (data.empty() || (WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                                 written == data.size()));
    if (ok && (data.size() & 1)) ok = WriteFile(file, &pad, 1, &written, nullptr) && written == 1;
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DeleteFileW(path);   // no half-written file left behind
        return MCIERR_FILE_WRITE;
    }
    return 0;
}

// ---- instances ----

// Called as the device is freed: a play-back still running stops (normally done at
// MCI_CLOSE_DRIVER already).
void ReleaseDevice(WaveDevice* dev) { EndPlayBack(dev, false); }

// ---- MCI commands, one function each ----

LRESULT OnOpen(WaveDevice* dev, DWORD flags, MCI_WAVE_OPEN_PARMSW* parms) {
    if (flags & MCI_OPEN_SHAREABLE) return MCIERR_UNSUPPORTED_FUNCTION;
    if (!parms) return 0;
    if ((flags & MCI_OPEN_ELEMENT) && parms->lpstrElementName && parms->lpstrElementName[0]) {
        DWORD error = OpenPlaybackFile(dev, parms->lpstrElementName);
        if (error) return error;
    }
    std::lock_guard<std::mutex> hold(dev->lock);
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnClose(WaveDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    EndPlayBack(dev, false);
    std::lock_guard<std::mutex> hold(dev->lock);
    EndTake(dev, RigClockNow());
    dev->mode = Mode::kStopped;
    dev->notify.Abort(dev->id);
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

// The checks of the system's wave driver, in its order: time format, format tag, then
// no format change once the device holds a file or a recording.
LRESULT OnSet(WaveDevice* dev, DWORD flags, MCI_WAVE_SET_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    std::lock_guard<std::mutex> hold(dev->lock);
    if ((flags & MCI_SET_TIME_FORMAT) && parms->dwTimeFormat != MCI_FORMAT_MILLISECONDS &&
        parms->dwTimeFormat != MCI_FORMAT_BYTES && parms->dwTimeFormat != MCI_FORMAT_SAMPLES)
        return MCIERR_BAD_TIME_FORMAT;
    if ((flags & MCI_WAVE_SET_FORMATTAG) && LOWORD(parms->wFormatTag) != WAVE_FORMAT_PCM) return MCIERR_OUTOFRANGE;
    const DWORD formatFlags = MCI_WAVE_SET_FORMATTAG | MCI_WAVE_SET_CHANNELS | MCI_WAVE_SET_SAMPLESPERSEC |
                              MCI_WAVE_SET_AVGBYTESPERSEC | MCI_WAVE_SET_BLOCKALIGN | MCI_WAVE_SET_BITSPERSAMPLE;
    if (flags & formatFlags) {
        if (dev->hasFile || !dev->takes.empty() || dev->mode == Mode::kRecording) return MCIERR_NONAPPLICABLE_FUNCTION;
        rig::WaveFormat format = dev->format;
        if (flags & MCI_WAVE_SET_CHANNELS) format.channels = LOWORD(parms->nChannels);
        if (flags & MCI_WAVE_SET_SAMPLESPERSEC) format.rate = static_cast<int>(parms->nSamplesPerSec);
        if (flags & MCI_WAVE_SET_BITSPERSAMPLE) format.bits = LOWORD(parms->wBitsPerSample);
        // Average bytes and block align follow from the rest; the card computes them.
        if (!rig::IsRecordingFormat(format)) return MCIERR_OUTOFRANGE;
        dev->format = format;
    }
    if (flags & MCI_SET_TIME_FORMAT) dev->timeFormat = parms->dwTimeFormat;
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

// A length or position in milliseconds in the device's time format.
DWORD_PTR InTimeFormat(const WaveDevice* dev, uint32_t ms) {
    uint64_t samples = static_cast<uint64_t>(ms) * dev->format.rate / 1000;
    switch (dev->timeFormat) {
    case MCI_FORMAT_SAMPLES: return static_cast<DWORD_PTR>(samples);
    case MCI_FORMAT_BYTES: return static_cast<DWORD_PTR>(samples * rig::BlockAlign(dev->format));
    default: return ms;
    }
}

LRESULT OnStatus(WaveDevice* dev, DWORD flags, MCI_STATUS_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    std::lock_guard<std::mutex> hold(dev->lock);
    LRESULT result = MCI_INTEGER_RETURNED;
    const rig::WaveFormat& f = dev->format;
    switch (parms->dwItem) {
    case MCI_STATUS_MODE: {
        DWORD mode = ModeWord(dev->mode);
        parms->dwReturn = MAKEMCIRESOURCE(mode, mode);
        result = MCI_RESOURCE_RETURNED;
        break;
    }
    case MCI_STATUS_READY:
    case MCI_STATUS_MEDIA_PRESENT:
        parms->dwReturn = Boolean(true);
        result = MCI_RESOURCE_RETURNED;
        break;
    case MCI_STATUS_TIME_FORMAT:
        parms->dwReturn = MAKEMCIRESOURCE(dev->timeFormat, MCI_FORMAT_RETURN_BASE + dev->timeFormat);
        result = MCI_RESOURCE_RETURNED;
        break;
    case MCI_STATUS_LENGTH: parms->dwReturn = InTimeFormat(dev, LengthMs(dev)); break;
    case MCI_STATUS_POSITION:
        parms->dwReturn = InTimeFormat(dev, (flags & MCI_STATUS_START) ? 0 : PlayPositionMs(dev));
        break;
    case MCI_STATUS_NUMBER_OF_TRACKS:
    case MCI_STATUS_CURRENT_TRACK: parms->dwReturn = 1; break;
    case MCI_WAVE_STATUS_FORMATTAG: parms->dwReturn = WAVE_FORMAT_PCM; break;
    case MCI_WAVE_STATUS_CHANNELS: parms->dwReturn = f.channels; break;
    case MCI_WAVE_STATUS_SAMPLESPERSEC: parms->dwReturn = f.rate; break;
    case MCI_WAVE_STATUS_AVGBYTESPERSEC: parms->dwReturn = f.rate * rig::BlockAlign(f); break;
    case MCI_WAVE_STATUS_BLOCKALIGN: parms->dwReturn = rig::BlockAlign(f); break;
    case MCI_WAVE_STATUS_BITSPERSAMPLE: parms->dwReturn = f.bits; break;
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return result;
}

// Starts a take now; what the card hears from this moment on is recorded.
LRESULT OnRecord(WaveDevice* dev, DWORD flags, MCI_RECORD_PARMS* parms) {
    EndPlayBack(dev, false);
    RigDrive drive;
    RigReadDrive(&drive);
    std::lock_guard<std::mutex> hold(dev->lock);
    if (dev->mode == Mode::kRecording) EndTake(dev, RigClockNow());
    dev->notify.Abort(dev->id);
    if (dev->takes.empty()) dev->lineIn = drive.lineIn;
    dev->takeStart = RigClockNow();
    dev->mode = Mode::kRecording;
    // Recording ends only with a stop; a notify waits for it.
    if (parms) dev->notify.Arm(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnStop(WaveDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    EndPlayBack(dev, false);
    std::lock_guard<std::mutex> hold(dev->lock);
    EndTake(dev, RigClockNow());
    if (dev->mode == Mode::kPaused) dev->mode = Mode::kStopped;
    dev->notify.Abort(dev->id);
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnPause(WaveDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    EndPlayBack(dev, true);
    std::lock_guard<std::mutex> hold(dev->lock);
    if (dev->mode == Mode::kRecording) {
        EndTake(dev, RigClockNow());
        dev->pausedFrom = Mode::kRecording;
        dev->mode = Mode::kPaused;
    }
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnResume(WaveDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    Mode from;
    {
        std::lock_guard<std::mutex> hold(dev->lock);
        if (dev->mode != Mode::kPaused) return 0;
        from = dev->pausedFrom;
    }
    if (from == Mode::kRecording) return OnRecord(dev, 0, nullptr);
    MCI_PLAY_PARMS play = {};
    LRESULT result = PlayBack(dev, 0, &play);
    std::lock_guard<std::mutex> hold(dev->lock);
    if (result == 0 && parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return result;
}

// Renders the takes, converts them to the device's format and writes the file.
LRESULT OnSave(WaveDevice* dev, DWORD flags, MCI_SAVE_PARMSW* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_SAVE_FILE) || !parms->lpfilename || !parms->lpfilename[0]) return MCIERR_MISSING_PARAMETER;
    std::vector<Take> takes;
    std::string lineIn;
    rig::WaveFormat format;
    {
        std::lock_guard<std::mutex> hold(dev->lock);
        if (dev->mode == Mode::kRecording) {   // saving ends the recording
            EndTake(dev, RigClockNow());
            dev->notify.Abort(dev->id);
        }
        takes = dev->takes;
        lineIn = dev->lineIn;
        format = dev->format;
    }
    std::vector<uint8_t> data;
    {
        std::vector<int16_t> heard = RenderTakes(takes, lineIn);
        std::string error;
        if (!rig::ConvertFromCd(heard.data(), heard.size() / 2, format, &data, &error)) return MCIERR_FILE_NOT_SAVED;
    }
    DWORD result = WriteWav(parms->lpfilename, format, data);
    if (result) return result;
    std::lock_guard<std::mutex> hold(dev->lock);
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnPlay(WaveDevice* dev, DWORD flags, MCI_PLAY_PARMS* parms) {
    MCI_PLAY_PARMS none = {};
    {
        std::lock_guard<std::mutex> hold(dev->lock);
        if (dev->mode == Mode::kRecording) EndTake(dev, RigClockNow());
    }
    if (!parms) flags &= ~(MCI_FROM | MCI_TO | MCI_NOTIFY);
    return PlayBack(dev, flags, parms ? parms : &none);
}

LRESULT OnCommand(WaveDevice* dev, UINT msg, DWORD flags, LPARAM parms) {
    switch (msg) {
    case MCI_OPEN_DRIVER: return OnOpen(dev, flags, reinterpret_cast<MCI_WAVE_OPEN_PARMSW*>(parms));
    case MCI_CLOSE_DRIVER: return OnClose(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_SET: return OnSet(dev, flags, reinterpret_cast<MCI_WAVE_SET_PARMS*>(parms));
    case MCI_STATUS: return OnStatus(dev, flags, reinterpret_cast<MCI_STATUS_PARMS*>(parms));
    case MCI_RECORD: return OnRecord(dev, flags, reinterpret_cast<MCI_RECORD_PARMS*>(parms));
    case MCI_STOP: return OnStop(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_PAUSE: return OnPause(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_RESUME: return OnResume(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_SAVE: return OnSave(dev, flags, reinterpret_cast<MCI_SAVE_PARMSW*>(parms));
    case MCI_PLAY: return OnPlay(dev, flags, reinterpret_cast<MCI_PLAY_PARMS*>(parms));
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

}  // namespace
}  // namespace rigwave

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    using namespace rigwave;
    return rig::DriverMessage<WaveDevice, MCI_DEVTYPE_WAVEFORM_AUDIO, ReleaseDevice, OnCommand>(id, driver, msg,
                                                                                               lParam1, lParam2);
}
