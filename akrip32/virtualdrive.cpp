// The virtual audio rig's drive: the disc is the CUE/BIN that the rig's registry key
// names (HKCU\Software\VirtualAudioRig, value Disc). It is there while the key is, unless
// the rig offers its emulated drive instead (value Drive "emulated"), which is met as a
// real drive is. A disc change, an opened tray
// (DoorOpen) or new fault injection (BadSectors, FlakySectors) shows at the next call (a
// rip under way sees it within two milliseconds, see below), and so does a CUE or BIN
// written anew under the same name. Frames come straight from the BIN: LBA n
// is the BIN's n-th sector, less a session gap per session before n's. Audio reads of
// a data track or of a session gap fail, as on a real drive. Its CD-Text is the CUE
// sheet's TITLE, PERFORMER and SONGWRITER, in the packs the emulated drive answers too.
//
// While a track is being read, what the drive read of the rig is kept from one read to
// the next (the view below) and read again only when something tells it changed: a
// change notification on the rig's key (its values) and on the key's parent (the key
// itself deleted or made), and the CUE and the BIN held open and compared at every
// read with what they were. So a read costs a look at the two files, the read itself
// and a wait that does not wait on the notifications; a read that goes on where the
// last one ended (a rip) waits so at most every two milliseconds, as under Wine that
// wait is a call into its server and costs more than the read. The files are held only
// from the read that reads the rig until a read reaches the end of a track or fails,
// and not after a table of contents, so that between rips the disc's files can be
// deleted or replaced (Windows refuses both for a file that is open).
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "disc.h"
#include "drives.h"
#include "mmc.h"
#include "requests.h"
#include "toc.h"

namespace akrip {
namespace {

const char kRigParentKey[] = "Software";
const char kRigKey[] = "Software\\VirtualAudioRig";
const uint8_t kVirtualHostAdapter = 0xFF;   // no SCSI port of a real machine numbers this high
const uint8_t kVirtualTarget = 0;
const uint8_t kVirtualLun = 0;

struct RigState {
    bool keyPresent = false;
    bool emulatedDrive = false;   // the rig offers its emulated drive, not this one
    bool doorOpen = false;
    std::string disc;         // Windows path of the CUE, "" for no disc
    std::string badSectors;   // fault injection: LBAs whose reads fail
    std::string flakySectors; // LBAs that read right only on every third read of them
};

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

// The state in the values of the open rig key.
RigState ReadRigValues(HKEY key) {
    RigState state;
    state.keyPresent = true;
    DWORD type = 0, value = 0, size = sizeof value;
    state.doorOpen = RegQueryValueExA(key, "DoorOpen", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                         ERROR_SUCCESS &&
                     type == REG_DWORD && value != 0;
    state.disc = ReadString(key, "Disc");
    state.badSectors = ReadString(key, "BadSectors");
    state.flakySectors = ReadString(key, "FlakySectors");
    state.emulatedDrive = ReadString(key, "Drive") == "emulated";
    return state;
}

RigState ReadRigState() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRigKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return RigState();
    RigState state = ReadRigValues(key);
    RegCloseKey(key);
    return state;
}

// The disc in the drive; kResultNotReady without key, with the emulated drive offered
// instead, with the tray open, without a disc or with one that does not load.
Result LoadCurrentDisc(const RigState& state, rig::Disc* disc) {
    if (!state.keyPresent || state.emulatedDrive || state.doorOpen || state.disc.empty()) return kResultNotReady;
    std::string error;
    if (!rig::LoadDisc(state.disc, disc, &error)) {
        std::string line = "AKrip32: the virtual drive cannot read its disc: " + error + "\n";
        OutputDebugStringA(line.c_str());
        return kResultNotReady;
    }
    return kResultOk;
}

// A file of the disc held open, and what tells that its name now means other content:
// the file deleted or replaced (no link left to what is open), another size, or, for
// the CUE, other text (a sheet written anew in place may keep its size, and within the
// same tick of the file system's clock its time of last write too). The BIN's bytes
// are read from it at every read anyway. All of it is asked of the open file, which
// costs no path lookup.
struct HeldFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    uint64_t size = 0;
    bool keepText = false;
    std::string text;   // the CUE's text as it was opened

    bool Open(const std::string& path, bool withText) {
        Close();
        keepText = withText;
        handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle != INVALID_HANDLE_VALUE && Size(&size) && (!keepText || ReadText(&text));
    }
    void Close() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        text.clear();
    }
    bool Unchanged() const {
        uint64_t nowSize = 0;
        if (!Size(&nowSize) || nowSize != size) return false;
        std::string nowText;
        return !keepText || (ReadText(&nowText) && nowText == text);
    }

private:
    bool Size(uint64_t* bytes) const {
        IO_STATUS_BLOCK io;
        FILE_STANDARD_INFORMATION standard;
        if (NtQueryInformationFile(handle, &io, &standard, sizeof standard, FileStandardInformation) != 0 ||
            standard.NumberOfLinks == 0 || standard.DeletePending)
            return false;
        *bytes = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
        return true;
    }
    // The whole file of `size` bytes (a CUE sheet is a few KB; a larger file is no sheet
    // the disc model takes, and is not read).
    bool ReadText(std::string* out) const {
        const uint64_t kMaxText = 1 << 20;
        if (size > kMaxText) return false;
        out->assign(static_cast<size_t>(size), '\0');
        LARGE_INTEGER start = {};
        DWORD got = 0;
        return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
               (size == 0 || (::ReadFile(handle, &(*out)[0], static_cast<DWORD>(size), &got, nullptr) && got == size));
    }
};

// A registry key watched for changes: its event is signalled once something changes,
// and stays so until the watch is set again.
struct KeyWatch {
    HKEY key = nullptr;
    HANDLE changed = nullptr;

    // Opens `path` under HKEY_CURRENT_USER and watches it for `filter`. False when the
    // key is missing or cannot be watched; nothing is kept open then.
    bool Watch(const char* path, DWORD filter) {
        Close();
        if (!changed) changed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!changed ||
            RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE | KEY_NOTIFY, &key) != ERROR_SUCCESS) {
            key = nullptr;
            return false;
        }
        ResetEvent(changed);
        if (RegNotifyChangeKeyValue(key, FALSE, filter, changed, TRUE) != ERROR_SUCCESS) {
            Close();
            return false;
        }
        return true;
    }
    void Close() {
        if (key) RegCloseKey(key);
        key = nullptr;
    }
};

constexpr uint64_t kUnknownPosition = ~0ull;

// A read that goes on from where the previous read ended is a rip under way. For such a
// read the rig's key and the disc's files are looked at no more often than this: under
// Wine each look is a call into its server, which costs more than the read itself.
// Every other call looks.
constexpr LONGLONG kLookIntervalMicroseconds = 2000;

// What the drive last read of the rig, and whether it may be taken as it is.
struct View {
    bool current = false;   // false: read the rig again at the next call
    KeyWatch rig;           // the rig's key: its values
    KeyWatch parent;        // the key above it: the rig's key deleted or made
    RigState state;
    Result loaded = kResultNotReady;
    rig::Disc disc;
    std::vector<SectorRange> badSectors;
    HeldFile cue, bin;
    uint64_t binPosition = kUnknownPosition;   // where the BIN's next read begins
    long nextFrame = -1;                       // the frame after the last read, -1 for none
    LONGLONG lastLook = 0;                     // when the key was last looked at (counter ticks)

    ~View() {
        Forget();
        for (KeyWatch* watch : {&rig, &parent})
            if (watch->changed) CloseHandle(watch->changed);
    }
    void Forget() {
        current = false;
        rig.Close();
        parent.Close();
        cue.Close();
        bin.Close();
        binPosition = kUnknownPosition;
        nextFrame = -1;
        disc = rig::Disc();
        loaded = kResultNotReady;
    }
};

View g_view;             // used under the library's lock
FlakySectors g_flaky;    // the reads of the flaky sectors so far, under the same lock

LONGLONG CounterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);   // a clock read, no call into Wine's server
    return now.QuadPart;
}

// Whether the key's change notification is due a look for a read from `first`.
bool LookDue(const View& view, long first) {
    if (view.nextFrame < 0 || first != view.nextFrame) return true;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (CounterNow() - view.lastLook) * 1000000 / frequency.QuadPart >= kLookIntervalMicroseconds;
}

// Whether nothing the view was read from has changed since; `first` is the frame a read
// begins at, -1 for any other call.
bool ViewStillCurrent(View& view, long first) {
    if (!view.current) return false;
    if (!LookDue(view, first)) return true;
    HANDLE events[] = {view.rig.changed, view.parent.changed};
    if (WaitForMultipleObjects(2, events, FALSE, 0) != WAIT_TIMEOUT) return false;
    view.lastLook = CounterNow();
    return view.loaded != kResultOk || (view.cue.Unchanged() && view.bin.Unchanged());
}

// Reads the rig's state and its disc again, watching for changes from before the
// reading on, so that no change slips between the two. The CUE is held open before it
// is parsed and the BIN after its size was taken, so a file written meanwhile shows as
// changed at the next call.
void ReadView(View* view) {
    view->Forget();
    bool watched = view->parent.Watch(kRigParentKey, REG_NOTIFY_CHANGE_NAME) &&
                   view->rig.Watch(kRigKey, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET);
    view->state = view->rig.key ? ReadRigValues(view->rig.key) : ReadRigState();
    view->badSectors = ParseSectorRanges(view->state.badSectors);
    bool held = view->cue.Open(view->state.disc, true);
    view->loaded = LoadCurrentDisc(view->state, &view->disc);
    long lastBinFrame = -1;
    if (view->loaded == kResultOk)
        held = held && view->bin.Open(view->disc.binPath, false) &&
               rig::LbaToBinFrame(view->disc, view->disc.leadout - 1, &lastBinFrame) &&
               view->bin.size == static_cast<uint64_t>(lastBinFrame + 1) * kFrameBytes;
    // A disc that failed to load, or whose files are not as they were read, is looked
    // for again at every call, as is the rig's key while it is missing.
    bool noDisc = !view->state.keyPresent || view->state.emulatedDrive || view->state.doorOpen || view->state.disc.empty();
    view->current = watched && (noDisc || (view->loaded == kResultOk && held));
    view->lastLook = CounterNow();
}

// The view, read again when anything it was read from changed; `first` as above.
View& CurrentView(long first = -1) {
    if (!ViewStillCurrent(g_view, first)) ReadView(&g_view);
    return g_view;
}

// Whether `frame` is where a track of the disc ends: the next track's start, the
// session gap after it, or the lead-out.
bool EndsTrack(const rig::Disc& disc, long frame) {
    for (int track = 1; track <= disc.TrackCount(); ++track)
        if (frame == rig::TrackEnd(disc, track) || frame == disc.trackStarts[track - 1]) return true;
    return frame == disc.leadout;
}

// Copies `frames` sectors from the BIN's frame `first` into `data`. A rip reads on from
// where the last read ended, so the file is positioned only when it must be (a read at
// a given offset would cost Wine a call into its server each time).
Result ReadBin(View* view, long first, long frames, uint8_t* data) {
    if (view->bin.handle == INVALID_HANDLE_VALUE) return kResultNotReady;
    uint64_t at = static_cast<uint64_t>(first) * kFrameBytes;
    if (at != view->binPosition) {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(at);
        view->binPosition = kUnknownPosition;
        if (!SetFilePointerEx(view->bin.handle, to, nullptr, FILE_BEGIN)) return kResultReadError;
    }
    DWORD wanted = static_cast<DWORD>(frames) * kFrameBytes, got = 0;
    if (!::ReadFile(view->bin.handle, data, wanted, &got, nullptr) || got != wanted) {
        view->binPosition = kUnknownPosition;
        return kResultReadError;
    }
    view->binPosition = at + wanted;
    return kResultOk;
}

}  // namespace

bool VirtualDrivePresent() {
    g_view.nextFrame = -1;   // the next read looks at the key again
    RigState state = ReadRigState();
    return state.keyPresent && !state.emulatedDrive;
}

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
    View& view = CurrentView();
    Result result = view.loaded;
    if (result == kResultOk)
        result = BuildToc(view.disc.trackStarts, view.disc.leadout, msf, toc, view.disc.dataTracks) ? kResultOk
                                                                                                     : kResultReadError;
    view.Forget();
    return result;
}

Result VirtualReadFullToc(FullToc* toc) {
    View& view = CurrentView();
    Result result = view.loaded;
    std::vector<uint8_t> answer;
    if (result == kResultOk)
        result = rig::mmc::TocAnswer(view.disc, 2, true, 0, &answer) ? kResultOk : kResultReadError;
    if (result == kResultOk) std::memcpy(toc->bytes, answer.data(), std::min(answer.size(), sizeof toc->bytes));
    view.Forget();
    return result;
}

Result VirtualReadCdText(uint8_t* buffer, uint32_t capacity, uint32_t* bytes) {
    View& view = CurrentView();
    Result result = view.loaded;
    std::vector<uint8_t> answer;
    if (result == kResultOk && rig::mmc::TocAnswer(view.disc, 5, false, 0, &answer)) {
        *bytes = static_cast<uint32_t>(std::min<size_t>(answer.size(), capacity));
        std::memcpy(buffer, answer.data(), *bytes);
    }
    view.Forget();
    return result;
}

Result VirtualRead(TransferHeader* request, uint8_t* data) {
    long first = static_cast<long>(request->firstFrame), frames = static_cast<long>(request->frames);
    View& view = CurrentView(first);
    Result result = view.loaded == kResultOk ? CheckRead(*request, view.disc.leadout) : view.loaded;
    if (result == kResultOk && HitsRange(view.badSectors, first, frames)) result = kResultReadError;
    long binFirst = 0;
    if (result == kResultOk &&
        (rig::AudioRunEnd(view.disc, first) < first + frames || !rig::LbaToBinFrame(view.disc, first, &binFirst)))
        result = kResultReadError;
    if (result != kResultOk) {
        view.Forget();
        return result;
    }
    result = ReadBin(&view, binFirst, frames, data);
    if (result == kResultOk) {
        g_flaky.ApplyToRead(view.state.flakySectors, first, frames, data);
        request->delivered = static_cast<uint32_t>(frames) * kFrameBytes;
        view.nextFrame = first + frames;
    }
    if (result != kResultOk || EndsTrack(view.disc, first + frames)) view.Forget();
    return result;
}

void ReleaseVirtualDisc() { g_view.Forget(); }

}  // namespace akrip
