// The virtual audio rig's drive: the disc is the CUE/BIN that the rig's registry key
// names (HKCU\Software\VirtualAudioRig, value Disc), read afresh at every call so a
// disc change, an opened tray (DoorOpen) or new fault injection (BadSectors,
// FlakySectors) shows at the next read. Frames come straight from the BIN: LBA n is the BIN's n-th sector,
// less a session gap per session before n's. Audio reads of a data track or of a
// session gap fail, as on a real drive.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "disc.h"
#include "drives.h"
#include "requests.h"
#include "toc.h"

namespace akrip {
namespace {

const char kRigKey[] = "Software\\VirtualAudioRig";
const uint8_t kVirtualHostAdapter = 0xFF;   // no SCSI port of a real machine numbers this high
const uint8_t kVirtualTarget = 0;
const uint8_t kVirtualLun = 0;

struct RigState {
    bool keyPresent = false;
    bool doorOpen = false;
    std::string disc;         // Windows path of the CUE, "" for no disc
    std::string badSectors;   // fault injection: LBAs whose reads fail
    std::string flakySectors; // LBAs that read right only on every third read
};

FlakySectors g_flaky;   // the reads of the flaky sectors so far

std::string ReadString(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return "";
    std::string value(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) != ERROR_SUCCESS)
        return "";
    value.resize(std::min<size_t>(size, value.size()));
    size_t end = value.find('\0');
    if (end != std::string::npos) value.resize(end);
    return value;
}

RigState ReadRigState() {
    RigState state;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRigKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return state;
    state.keyPresent = true;
    DWORD type = 0, value = 0, size = sizeof value;
    state.doorOpen = RegQueryValueExA(key, "DoorOpen", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                         ERROR_SUCCESS &&
                     type == REG_DWORD && value != 0;
    state.disc = ReadString(key, "Disc");
    state.badSectors = ReadString(key, "BadSectors");
    state.flakySectors = ReadString(key, "FlakySectors");
    RegCloseKey(key);
    return state;
}

// The disc in the drive; kResultNotReady without key, with the tray open, without a
// disc or with one that does not load.
Result LoadCurrentDisc(const RigState& state, rig::Disc* disc) {
    if (!state.keyPresent || state.doorOpen || state.disc.empty()) return kResultNotReady;
    std::string error;
    if (!rig::LoadDisc(state.disc, disc, &error)) {
        std::string line = "AKrip32: the virtual drive cannot read its disc: " + error + "\n";
        OutputDebugStringA(line.c_str());
        return kResultNotReady;
    }
    return kResultOk;
}

// Copies `frames` sectors from `first` out of the BIN into `data`.
Result ReadBin(const std::string& binPath, long first, long frames, uint8_t* data) {
    HANDLE file = CreateFileA(binPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kResultNotReady;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(first) * kFrameBytes;
    DWORD wanted = static_cast<DWORD>(frames) * kFrameBytes, got = 0;
    bool read = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::ReadFile(file, data, wanted, &got, nullptr) &&
                got == wanted;
    CloseHandle(file);
    return read ? kResultOk : kResultReadError;
}

}  // namespace

bool VirtualDrivePresent() { return ReadRigState().keyPresent; }

bool IsVirtualAddress(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    return hostAdapter == kVirtualHostAdapter && target == kVirtualTarget && lun == kVirtualLun;
}

void DescribeVirtualDrive(DriveRecord* record) {
    std::memset(record, 0, sizeof *record);
    record->hostAdapter = kVirtualHostAdapter;
    record->target = kVirtualTarget;
    record->lun = kVirtualLun;
    snprintf(record->vendor, sizeof record->vendor, "%s", "RIG");
    snprintf(record->product, sizeof record->product, "%s", "VIRTUAL CD-ROM");
    snprintf(record->revision, sizeof record->revision, "%s", "1.0");
    snprintf(record->description, sizeof record->description, "%s", "Virtual audio rig CD drive");
}

Result VirtualReadToc(bool msf, Toc* toc) {
    rig::Disc disc;
    Result loaded = LoadCurrentDisc(ReadRigState(), &disc);
    if (loaded != kResultOk) return loaded;
    return BuildToc(disc.trackStarts, disc.leadout, msf, toc, disc.dataTracks) ? kResultOk : kResultReadError;
}

Result VirtualRead(TransferHeader* request, uint8_t* data) {
    RigState state = ReadRigState();
    rig::Disc disc;
    Result result = LoadCurrentDisc(state, &disc);
    if (result != kResultOk) return result;
    result = CheckRead(*request, disc.leadout);
    if (result != kResultOk) return result;
    long first = static_cast<long>(request->firstFrame), frames = static_cast<long>(request->frames);
    if (HitsRange(ParseSectorRanges(state.badSectors), first, frames)) return kResultReadError;
    long binFirst = 0;
    if (rig::AudioRunEnd(disc, first) < first + frames || !rig::LbaToBinFrame(disc, first, &binFirst))
        return kResultReadError;
    result = ReadBin(disc.binPath, binFirst, frames, data);
    if (result != kResultOk) return result;
    g_flaky.ApplyToRead(state.flakySectors, first, frames, data);
    request->delivered = static_cast<uint32_t>(frames) * kFrameBytes;
    return result;
}

}  // namespace akrip
