// rigdrive.dll: the rig's emulated CD drive, as rigcdrom.sys hands it the requests that
// programs send to Q: (it runs in Wine's winedevice.exe, beside the driver). The
// drive's behaviour is the model's (mmcdrive.h, mmc.h); here it meets the rig's state
// in HKCU\Software\VirtualAudioRig, read afresh at each request (the disc through the
// rig core, which also keeps the play of the class driver's audio requests), and the
// callers' requests:
//   - SCSI pass-through (direct or buffered) and IOCTL_SCSI_GET_ADDRESS, as the
//     extraction library's real-drive path sends them; the data of a direct request is
//     written into the caller's memory (WriteProcessMemory: a driver of Wine's only);
//     with DriveDeniesAccess the pass-through is refused (access denied), as Windows
//     refuses it to a user without the rights;
//   - the CD-ROM class driver's requests Windows' MCI CD driver sends: table of
//     contents, Q channel, play, seek, stop, pause, resume, check verify, eject, load,
//     raw reads.
// The counters of medium reads and cache hits go back into the rig's key when they
// move (values MediumReads and CacheHits). While the rig does not offer the drive
// (value Drive), every request fails as for a device that is not there; Wine opens a
// device whatever its driver answers to the open, so the requests are what tell.
#include "rigdrive.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddcdrm.h>
#include <ntddscsi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "mmcdrive.h"
#include "rigcore.h"

namespace {

const char kRigKey[] = "Software\\VirtualAudioRig";
const uint32_t kMaxCacheFrames = 100000;   // 235 MB: more than any drive's memory

// The NTSTATUS values the drive answers with.
const LONG kSuccess = 0;
const LONG kBusy = static_cast<LONG>(0x80000011);             // STATUS_DEVICE_BUSY
const LONG kInvalidParameter = static_cast<LONG>(0xC000000D);
const LONG kNoSuchDevice = static_cast<LONG>(0xC000000E);
const LONG kInvalidRequest = static_cast<LONG>(0xC0000010);    // STATUS_INVALID_DEVICE_REQUEST
const LONG kNoMedium = static_cast<LONG>(0xC0000013);          // STATUS_NO_MEDIA_IN_DEVICE
const LONG kAccessDenied = static_cast<LONG>(0xC0000022);
const LONG kBufferTooSmall = static_cast<LONG>(0xC0000023);
const LONG kDataError = static_cast<LONG>(0xC000009C);         // STATUS_DEVICE_DATA_ERROR
const LONG kNotReady = static_cast<LONG>(0xC00000A3);          // STATUS_DEVICE_NOT_READY

// The drive's SCSI address: a port no virtual drive uses.
const UCHAR kPort = 1;

struct Values {
    bool offered = false;
    bool deniesAccess = false;   // SCSI pass-through refused, as for a user without the rights
    rig::DriveSettings settings;
};

std::mutex g_lock;            // requests may come from several threads
rig::EmulatedDrive g_drive;   // under the lock

std::string ReadString(HKEY key, const char* name) {
    char text[1024];
    DWORD type = 0, size = sizeof text - 1;
    if (!key || RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return "";
    text[std::min<DWORD>(size, sizeof text - 1)] = '\0';
    return text;
}

// A number as REG_DWORD (signed) or decimal REG_SZ; `otherwise` when absent or neither.
long ReadNumber(HKEY key, const char* name, long otherwise) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (key && RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD)
        return static_cast<long>(static_cast<int32_t>(value));
    std::string text = ReadString(key, name);
    char* end = nullptr;
    long parsed = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == '\0' ? parsed : otherwise;
}

Values ReadValues() {
    Values v;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRigKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return v;
    rig::DriveSettings& s = v.settings;
    v.offered = ReadString(key, "Drive") == "emulated";
    v.deniesAccess = ReadNumber(key, "DriveDeniesAccess", 0) != 0;
    s.identity = rig::mmc::ParseIdentity(ReadString(key, "DriveInquiry"));
    s.readOffset = std::max(-100000L, std::min(100000L, ReadNumber(key, "DriveReadOffset", 0)));
    s.cacheFrames = static_cast<uint32_t>(std::max(0L, std::min<long>(kMaxCacheFrames, ReadNumber(key, "DriveCacheFrames", 0))));
    long c2 = ReadNumber(key, "DriveC2", 0);
    s.c2 = c2 == 1 ? rig::mmc::C2Support::kBothForms
           : c2 == 2 ? rig::mmc::C2Support::kNot296
           : c2 == 3 ? rig::mmc::C2Support::kNeither
                     : rig::mmc::C2Support::kNone;
    s.notReadyCommands = static_cast<uint32_t>(std::max(0L, ReadNumber(key, "NotReadyCommands", 0)));
    s.unitAttention = ReadNumber(key, "UnitAttention", 1) != 0;
    s.badSectors = ReadString(key, "BadSectors");
    s.flakySectors = ReadString(key, "FlakySectors");
    s.mediumErrors = ReadString(key, "MediumErrors");
    s.countedSectors = ReadString(key, "CountedSectors");
    rig::mmc::Sense sense;
    if (rig::mmc::ParseSenseText(ReadString(key, "SectorSense"), &sense)) s.sectorSense = sense;
    RegCloseKey(key);
    return v;
}

void WriteString(const char* name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRigKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

// Reads `count` frames of the BIN from `binFirst`. The file is opened for each read, so
// that it can be replaced or removed whenever no read runs.
bool ReadBin(const std::string& path, long binFirst, long count, uint8_t* out) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(binFirst) * rig::kBytesPerFrame;
    DWORD wanted = static_cast<DWORD>(count) * rig::kBytesPerFrame, got = 0;
    bool read = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::ReadFile(file, out, wanted, &got, nullptr) &&
                got == wanted;
    CloseHandle(file);
    return read;
}

// What the drive holds now, through the rig core (which parses a disc again only when
// its files change).
struct Held {
    RigDrive drive;
    rig::Disc disc;
    rig::Medium medium;

    Held() {
        RigReadDrive(&drive);
        disc = rig::DiscOfDrive(drive);
        if (drive.discLoaded) {
            // The sheet's texts come across the rig core's boundary as the packs they make.
            uint8_t packs[akrip::kCdTextAnswerBytes];
            akrip::ParseCdText(packs, RigReadCdText(packs, sizeof packs), &disc.cdText);
        }
        medium.trayOpen = drive.doorOpen != 0;
        medium.disc = drive.discLoaded ? &disc : nullptr;
        medium.identity = std::to_string(drive.discSerial) + ":" + disc.binPath;
        std::string bin = disc.binPath;
        medium.readBin = [bin](long first, long count, uint8_t* out) { return ReadBin(bin, first, count, out); };
    }
    bool Ready() const { return medium.disc && !medium.trayOpen && disc.TrackCount() > 0; }
};

// After a command: what it asks of the tray, and the counters when they moved.
void Settle(const rig::CommandResult& result) {
    if (result.tray == rig::CommandResult::Tray::kOpen) RigSetDoorOpen(1);
    if (result.tray == rig::CommandResult::Tray::kClose) RigSetDoorOpen(0);
    if (g_drive.CountsChanged()) {
        WriteString("MediumReads", g_drive.MediumReadsText());
        WriteString("CacheHits", g_drive.CacheHitsText());
    }
}

// The status a class driver's request fails with, by the drive's sense.
LONG StatusOf(const rig::mmc::Sense& sense) {
    switch (sense.key) {
    case rig::mmc::kNotReady: return sense.asc == 0x3A ? kNoMedium : kNotReady;
    case rig::mmc::kMediumError: return kDataError;
    default: return kInvalidParameter;
    }
}

bool WriteCallerMemory(uintptr_t caller, void* to, const void* from, size_t bytes) {
    if (bytes == 0) return true;
    HANDLE process = OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, static_cast<DWORD>(caller));
    if (!process) return false;
    SIZE_T written = 0;
    bool done = WriteProcessMemory(process, to, from, bytes, &written) && written == bytes;
    CloseHandle(process);
    return done;
}

// SCSI pass-through: the command block to the drive, its data to the caller (into its
// memory for the direct form, into the request's buffer at DataBufferOffset for the
// other), status and sense into the request.
template <typename Request>
LONG PassThrough(Request* request, ULONG inLength, ULONG outLength, uintptr_t* information, bool direct,
                 uintptr_t caller) {
    const ULONG room = std::max(inLength, outLength);
    if (inLength < sizeof(Request) || outLength < sizeof(Request) || request->Length != sizeof(Request) ||
        request->CdbLength == 0 || request->CdbLength > sizeof request->Cdb)
        return kInvalidParameter;
    Values values = ReadValues();
    if (!values.offered) return kNoSuchDevice;
    if (values.deniesAccess) return kAccessDenied;
    Held held;
    const uint32_t allocation = request->DataIn == SCSI_IOCTL_DATA_IN ? request->DataTransferLength : 0;
    rig::CommandResult result = g_drive.Execute(request->Cdb, request->CdbLength, allocation, values.settings,
                                                held.medium);
    Settle(result);
    size_t end = sizeof(Request);
    const size_t bytes = result.data.size();
    if (direct) {
        if (!WriteCallerMemory(caller, reinterpret_cast<SCSI_PASS_THROUGH_DIRECT*>(request)->DataBuffer,
                               result.data.data(), bytes))
            return kInvalidParameter;
    } else if (bytes) {
        const ULONG_PTR offset = reinterpret_cast<SCSI_PASS_THROUGH*>(request)->DataBufferOffset;
        if (offset < sizeof(Request) || offset > room || bytes > room - offset) return kBufferTooSmall;
        std::memcpy(reinterpret_cast<uint8_t*>(request) + offset, result.data.data(), bytes);
        end = std::max<size_t>(end, offset + bytes);
    }
    request->DataTransferLength = static_cast<ULONG>(bytes);
    request->ScsiStatus = result.good ? 0 : 2;   // GOOD or CHECK CONDITION
    UCHAR sense = 0;
    const ULONG at = request->SenseInfoOffset;
    if (!result.good && request->SenseInfoLength && at >= sizeof(Request) && at < outLength) {
        size_t take = std::min<size_t>(request->SenseInfoLength, outLength - at);
        sense = static_cast<UCHAR>(rig::mmc::SenseData(result.sense, reinterpret_cast<uint8_t*>(request) + at, take));
        end = std::max<size_t>(end, at + sense);
    }
    request->SenseInfoLength = sense;
    *information = std::min<size_t>(end, outLength);
    return kSuccess;
}

LONG GetAddress(void* out, ULONG outLength, uintptr_t* information) {
    if (outLength < sizeof(SCSI_ADDRESS)) return kBufferTooSmall;
    SCSI_ADDRESS address = {};
    address.Length = sizeof address;
    address.PortNumber = kPort;
    std::memcpy(out, &address, sizeof address);
    *information = sizeof address;
    return kSuccess;
}

// The class driver's answers from the disc: the table of contents (format 0 or 1,
// MSF) into `out`.
LONG ReadToc(const Held& held, int format, void* out, ULONG outLength, uintptr_t* information) {
    if (!held.Ready()) return kNoMedium;
    std::vector<uint8_t> toc;
    if (!rig::mmc::TocAnswer(held.disc, format, true, 0, &toc)) return kInvalidRequest;
    size_t n = std::min<size_t>(toc.size(), outLength);
    std::memcpy(out, toc.data(), n);
    *information = n;
    return kSuccess;
}

LONG ReadQChannel(const Held& held, const void* in, ULONG inLength, void* out, ULONG outLength,
                  uintptr_t* information) {
    if (inLength < sizeof(CDROM_SUB_Q_DATA_FORMAT) || outLength < rig::mmc::kQChannelBytes) return kBufferTooSmall;
    if (!held.Ready()) return kNoMedium;
    RigPlay play;
    RigGetPlay(&play);
    rig::mmc::PlayView view;
    view.playing = play.playing != 0;
    view.paused = play.paused != 0;
    view.position = play.position;
    uint8_t answer[rig::mmc::kQChannelBytes];
    rig::mmc::QChannelPosition(held.disc, view, answer);
    // The media catalog and ISRC formats: the same header, no number (the rig has none).
    UCHAR format = static_cast<const CDROM_SUB_Q_DATA_FORMAT*>(in)->Format;
    if (format != IOCTL_CDROM_CURRENT_POSITION) std::memset(answer + 4, 0, sizeof answer - 4);
    answer[4] = format;
    std::memcpy(out, answer, sizeof answer);
    *information = sizeof answer;
    return kSuccess;
}

LONG Play(const Held& held, const void* in, ULONG inLength) {
    if (inLength < sizeof(CDROM_PLAY_AUDIO_MSF)) return kBufferTooSmall;
    if (!held.Ready()) return kNoMedium;
    const uint8_t* msf = static_cast<const uint8_t*>(in);
    long from = rig::mmc::MsfBytesToLba(msf), to = rig::mmc::MsfBytesToLba(msf + 3);
    if (from < 0 || from >= held.disc.leadout || to < from || to > held.disc.leadout) return kInvalidParameter;
    return RigStartPlay(static_cast<int32_t>(from), static_cast<int32_t>(to)) ? kSuccess : kNoMedium;
}

LONG Seek(const Held& held, const void* in, ULONG inLength) {
    if (inLength < sizeof(CDROM_SEEK_AUDIO_MSF)) return kBufferTooSmall;
    if (!held.Ready()) return kNoMedium;
    long lba = rig::mmc::MsfBytesToLba(static_cast<const uint8_t*>(in));
    if (lba < 0 || lba >= held.disc.leadout) return kInvalidParameter;
    RigSeek(static_cast<int32_t>(lba));
    return kSuccess;
}

LONG Transport(const Held& held, ULONG code) {
    if (!held.Ready()) return kNoMedium;
    RigPlay play;
    switch (code) {
    case IOCTL_CDROM_STOP_AUDIO: RigStopPlay(); break;
    case IOCTL_CDROM_PAUSE_AUDIO: RigPausePlay(); break;
    default:   // resume
        RigGetPlay(&play);
        if (play.paused) RigStartPlay(play.position, play.to);
        break;
    }
    return kSuccess;
}

LONG CheckVerify(const Held& held, void* out, ULONG outLength, uintptr_t* information) {
    if (!held.Ready()) return kNoMedium;
    if (out && outLength >= sizeof(ULONG)) {   // the media change count
        ULONG changes = static_cast<ULONG>(held.drive.discSerial);
        std::memcpy(out, &changes, sizeof changes);
        *information = sizeof changes;
    }
    return kSuccess;
}

LONG RawRead(const Values& values, const Held& held, const void* in, ULONG inLength, void* out, ULONG outLength,
             uintptr_t* information) {
    if (inLength < sizeof(RAW_READ_INFO) || !out) return kBufferTooSmall;
    const RAW_READ_INFO* info = static_cast<const RAW_READ_INFO*>(in);
    if (info->TrackMode != CDDA || info->DiskOffset.QuadPart < 0) return kInvalidParameter;
    rig::CommandResult result =
        g_drive.ReadAudio(static_cast<uint32_t>(info->DiskOffset.QuadPart / 2048), info->SectorCount, outLength,
                          values.settings, held.medium);
    Settle(result);
    if (!result.good) return StatusOf(result.sense);
    std::memcpy(out, result.data.data(), result.data.size());
    *information = result.data.size();
    return kSuccess;
}

}  // namespace

extern "C" {

RIGDRIVE_API long __stdcall RigDriveOpen(void) { return ReadValues().offered ? kSuccess : kNoSuchDevice; }

RIGDRIVE_API long __stdcall RigDriveControl(unsigned long code, void* in, unsigned long inLength, void* out,
                                            unsigned long outLength, uintptr_t* information, uintptr_t caller) {
    std::lock_guard<std::mutex> hold(g_lock);
    *information = 0;
    switch (code) {
    case IOCTL_SCSI_PASS_THROUGH_DIRECT:
        return PassThrough(static_cast<SCSI_PASS_THROUGH_DIRECT*>(in), inLength, outLength, information, true, caller);
    case IOCTL_SCSI_PASS_THROUGH:
        return PassThrough(static_cast<SCSI_PASS_THROUGH*>(in), inLength, outLength, information, false, caller);
    default: break;
    }
    Values values = ReadValues();
    if (!values.offered) return kNoSuchDevice;
    Held held;
    g_drive.Observe(values.settings, held.medium);
    switch (code) {
    case IOCTL_SCSI_GET_ADDRESS: return GetAddress(out, outLength, information);
    case IOCTL_CDROM_READ_TOC: return ReadToc(held, 0, out, outLength, information);
    case IOCTL_CDROM_GET_LAST_SESSION: return ReadToc(held, 1, out, outLength, information);
    case IOCTL_CDROM_READ_Q_CHANNEL: return ReadQChannel(held, in, inLength, out, outLength, information);
    case IOCTL_CDROM_PLAY_AUDIO_MSF: return Play(held, in, inLength);
    case IOCTL_CDROM_SEEK_AUDIO_MSF: return Seek(held, in, inLength);
    case IOCTL_CDROM_STOP_AUDIO:
    case IOCTL_CDROM_PAUSE_AUDIO:
    case IOCTL_CDROM_RESUME_AUDIO: return Transport(held, code);
    case IOCTL_CDROM_CHECK_VERIFY:
    case IOCTL_STORAGE_CHECK_VERIFY:
    case IOCTL_STORAGE_CHECK_VERIFY2: return CheckVerify(held, out, outLength, information);
    case IOCTL_STORAGE_EJECT_MEDIA:
        if (g_drive.Locked()) return kBusy;
        RigSetDoorOpen(1);
        return kSuccess;
    case IOCTL_STORAGE_LOAD_MEDIA:
    case IOCTL_STORAGE_LOAD_MEDIA2: RigSetDoorOpen(0); return kSuccess;
    case IOCTL_CDROM_RAW_READ: return RawRead(values, held, in, inLength, out, outLength, information);
    default: return kInvalidRequest;
    }
}

}  // extern "C"
