// The rig core: rig state from the registry, the cached disc, and the drive's play
// state. The play clock needs no thread: a play is a segment (clock start, from, to,
// stop), and every position is computed from the clock when asked. What the CD's
// output carried is rebuilt from the same segments (cdoutput.cpp).
#include "rigcore_internal.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "disc.h"

namespace rigcore {

Core g_core;

namespace {

const char kRigKey[] = "Software\\VirtualAudioRig";

// Reads a REG_SZ value into `out` (always terminated); "" when absent or not a string.
void ReadString(HKEY key, const char* name, char* out, DWORD outSize) {
    out[0] = '\0';
    if (!key) return;
    DWORD type = 0, size = outSize - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        out[0] = '\0';
        return;
    }
    out[size < outSize ? size : outSize - 1] = '\0';
}

DWORD ReadDword(HKEY key, const char* name) {
    if (!key) return 0;
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return value;
}

// A file's identity for the cache: write time and size; all zero when it is missing.
FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return stamp;
    stamp.exists = true;
    stamp.time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return stamp;
}

// Tells whoever watches (a debugger, the console) why the drive sees no disc.
void Report(const std::string& text) {
    std::string line = "virtual audio rig: " + text + "\n";
    OutputDebugStringA(line.c_str());
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

// Brings the disc cache up to date with `cuePath`. Caller holds the lock.
void RefreshDisc(const std::string& cuePath) {
    DiscCache& cache = g_core.disc;
    if (cuePath.empty()) {
        if (cache.loaded) ResetPlay();   // the disc was taken out
        cache.path.clear();
        cache.loaded = false;
        cache.lastReason.clear();
        return;
    }
    FileStamp cue = StampOf(cuePath);
    if (cache.path == cuePath && cache.cue == cue) {
        // A loaded disc is trusted while its BIN is unchanged; a failed load is tried
        // again at most once a second, so a BIN copied in later is noticed.
        if (cache.loaded && StampOf(cache.disc.binPath) == cache.bin) return;
        if (!cache.loaded && GetTickCount() - cache.failedAt < 1000) return;
    }
    rig::Disc disc;
    std::string reason;
    bool ok = rig::LoadDisc(cuePath, &disc, &reason);
    if (ok && disc.TrackCount() > RIG_MAX_TRACKS) {
        ok = false;
        reason = "more than 99 tracks";
    }
    bool sameDisc = ok && cache.loaded && cache.path == cuePath && cache.cue == cue &&
                    StampOf(disc.binPath) == cache.bin;
    cache.path = cuePath;
    cache.cue = cue;
    cache.loaded = ok;
    if (ok) {
        cache.disc = disc;
        cache.bin = StampOf(disc.binPath);
        cache.lastReason.clear();
        if (!sameDisc) {
            ++cache.serial;
            ResetPlay();
        }
        return;
    }
    cache.failedAt = GetTickCount();
    ResetPlay();
    if (reason != cache.lastReason) {
        cache.lastReason = reason;
        Report("no disc: " + cuePath + ": " + reason);
    }
}

}  // namespace

bool FileStamp::operator==(const FileStamp& other) const {
    return exists == other.exists && time == other.time && size == other.size;
}

int64_t Now() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

int64_t Frequency() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value.QuadPart > 0 ? value.QuadPart : 1;
    }();
    return frequency;
}

int64_t PairsBetween(int64_t from, int64_t to) { return (to - from) * RIG_CD_RATE / Frequency(); }

void SettlePlay(int64_t now) {
    PlayState& play = g_core.play;
    if (!play.active || g_core.history.empty()) return;
    Segment& seg = g_core.history.back();
    int64_t length = seg.Pairs();
    if (PairsBetween(seg.start, now) >= length) {
        seg.stopPair = length;
        play.active = false;
        play.position = seg.to;
    }
}

void EndPlay(int64_t now) {
    PlayState& play = g_core.play;
    SettlePlay(now);
    if (!play.active) return;
    Segment& seg = g_core.history.back();
    int64_t played = PairsBetween(seg.start, now);
    if (played < 0) played = 0;
    seg.stopPair = played;
    play.position = seg.from + static_cast<int32_t>(played / RIG_PAIRS_PER_FRAME);
    play.active = false;
}

void ResetPlay() {
    EndPlay(Now());
    g_core.play.paused = false;
    g_core.play.position = -1;
}

}  // namespace rigcore

using namespace rigcore;

extern "C" {

RIGCORE_API void RigReadDrive(RigDrive* drive) {
    char disc[MAX_PATH + 1];
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRigKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) key = nullptr;
    std::memset(drive, 0, sizeof *drive);
    drive->doorOpen = ReadDword(key, "DoorOpen") != 0;
    drive->driveBusy = ReadDword(key, "DriveBusy") != 0;
    char offered[16];
    ReadString(key, "Drive", offered, sizeof offered);
    drive->emulatedDrive = strcmp(offered, "emulated") == 0;
    ReadString(key, "Disc", disc, sizeof disc);
    ReadString(key, "LineIn", drive->lineIn, sizeof drive->lineIn);
    if (key) RegCloseKey(key);

    std::lock_guard<std::mutex> hold(g_core.lock);
    RefreshDisc(disc);
    if (drive->doorOpen) ResetPlay();   // the tray may have been opened from outside
    const DiscCache& cache = g_core.disc;
    if (!cache.loaded) return;
    drive->discLoaded = 1;
    drive->trackCount = cache.disc.TrackCount();
    for (int k = 0; k < drive->trackCount; ++k) {
        drive->trackStarts[k] = static_cast<int32_t>(cache.disc.trackStarts[k]);
        drive->trackSessions[k] = cache.disc.Session(k + 1);
        drive->dataTracks[k] = cache.disc.IsData(k + 1);
    }
    drive->leadout = static_cast<int32_t>(cache.disc.leadout);
    drive->discSerial = cache.serial;
    snprintf(drive->binPath, sizeof drive->binPath, "%s", cache.disc.binPath.c_str());
}

RIGCORE_API uint32_t RigReadCdText(uint8_t* answer, uint32_t capacity) {
    std::vector<uint8_t> packs;
    std::lock_guard<std::mutex> hold(g_core.lock);
    if (!answer || !g_core.disc.loaded || !akrip::EncodeCdText(g_core.disc.disc.cdText, &packs)) return 0;
    const uint32_t bytes = static_cast<uint32_t>(std::min<size_t>(packs.size(), capacity));
    std::memcpy(answer, packs.data(), bytes);
    return bytes;
}

RIGCORE_API void RigSetDoorOpen(int open) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRigKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        DWORD value = open ? 1 : 0;
        RegSetValueExA(key, "DoorOpen", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
    if (open) {
        std::lock_guard<std::mutex> hold(g_core.lock);
        ResetPlay();
    }
}

RIGCORE_API void RigGetPlay(RigPlay* out) {
    std::lock_guard<std::mutex> hold(g_core.lock);
    int64_t now = Now();
    SettlePlay(now);
    const PlayState& play = g_core.play;
    out->playing = play.active;
    out->paused = play.paused;
    out->to = play.to;
    if (play.active) {
        const Segment& seg = g_core.history.back();
        out->position = seg.from + static_cast<int32_t>(PairsBetween(seg.start, now) / RIG_PAIRS_PER_FRAME);
    } else if (play.position < 0) {
        out->position = g_core.disc.loaded && !g_core.disc.disc.trackStarts.empty()
                            ? static_cast<int32_t>(g_core.disc.disc.trackStarts[0])
                            : 0;
    } else {
        out->position = play.position;
    }
}

RIGCORE_API int RigStartPlay(int32_t from, int32_t to) {
    std::lock_guard<std::mutex> hold(g_core.lock);
    if (!g_core.disc.loaded) return 0;
    int64_t now = Now();
    EndPlay(now);
    const rig::Disc& disc = g_core.disc.disc;
    long binFrom = 0;
    if (!rig::LbaToBinFrame(disc, from, &binFrom)) binFrom = 0;
    Segment seg;
    seg.start = now;
    seg.from = from;
    seg.to = static_cast<int32_t>(std::max<long>(from, std::min<long>(to, rig::AudioRunEnd(disc, from))));
    seg.binPath = disc.binPath;
    seg.binFrom = static_cast<int32_t>(binFrom);
    g_core.history.push_back(seg);
    while (g_core.history.size() > kHistoryLimit) g_core.history.pop_front();
    g_core.play.active = true;
    g_core.play.paused = false;
    g_core.play.to = seg.to;
    g_core.play.position = from;
    SettlePlay(now);   // an empty stretch is over at once
    return 1;
}

RIGCORE_API void RigStopPlay(void) {
    std::lock_guard<std::mutex> hold(g_core.lock);
    EndPlay(Now());
    g_core.play.paused = false;
}

RIGCORE_API void RigPausePlay(void) {
    std::lock_guard<std::mutex> hold(g_core.lock);
    int64_t now = Now();
    SettlePlay(now);
    if (!g_core.play.active) return;
    EndPlay(now);
    g_core.play.paused = true;
}

RIGCORE_API void RigSeek(int32_t lba) {
    std::lock_guard<std::mutex> hold(g_core.lock);
    EndPlay(Now());
    g_core.play.paused = false;
    g_core.play.position = lba;
}

RIGCORE_API int64_t RigClockNow(void) { return Now(); }

RIGCORE_API int64_t RigClockFrequency(void) { return Frequency(); }

}  // extern "C"

// Pins the core in the process: winmm unloads a driver at its last close, and the
// play clock and its history must survive that (a recording may outlive the CD device).
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCSTR>(&RigReadDrive), &self);
    }
    return TRUE;
}
