// AKrip32.dll's exports: the drive list and the table of open handles, each handle
// bound to the virtual drive or to an opened real drive. A handle's own settings (the
// address format of its table of contents) live with it. Calls may come from any
// thread; the table is guarded by one lock, and the drives' reads run under it too, so
// two reads never interleave on one device.
#include "akrip32.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "drives.h"
#include "sense.h"
#include "toc.h"

namespace {

using namespace akrip;

struct OpenDrive {
    bool isVirtual = false;
    ScsiDrive* scsi = nullptr;   // for a real drive
    bool msfToc = true;          // addresses of ReadTOC as MSF until told otherwise
};

struct Library {
    std::mutex lock;
    std::map<HCDROM, OpenDrive> open;
    HCDROM nextHandle = 1;
};

Library g_library;

// The open drive of a handle, or null; call with the lock held.
OpenDrive* Find(HCDROM cd) {
    auto found = g_library.open.find(cd);
    return found == g_library.open.end() ? nullptr : &found->second;
}

HCDROM Register(const OpenDrive& drive) {
    HCDROM handle = g_library.nextHandle++;
    if (g_library.nextHandle == 0) g_library.nextHandle = 1;   // 0 never names a drive
    g_library.open[handle] = drive;
    return handle;
}

// A table of contents of the handle's drive into `record` (zeroed first), read by
// `read` under the lock: a status word.
template <typename Record, typename Read>
uint32_t ReadTable(HCDROM cd, Record* record, Read read) {
    if (!record) return kResultBadRequest;
    std::memset(record, 0, sizeof *record);
    std::lock_guard<std::mutex> hold(g_library.lock);
    OpenDrive* drive = Find(cd);
    return drive ? read(drive) : kResultBadRequest;
}

}  // namespace

AKRIP32_API uint32_t __cdecl GetCDList(DriveList* list) {
    if (!list) return 0;
    int room = list->capacity == 0 || list->capacity > kMaxDrives ? kMaxDrives : list->capacity;
    std::memset(list->drives, 0, sizeof list->drives);
    int count = 0;
    if (VirtualDrivePresent()) DescribeVirtualDrive(&list->drives[count++]);
    count += ListScsiDrives(&list->drives[count], room - count);
    list->count = static_cast<uint8_t>(count);
    return static_cast<uint32_t>(count);
}

AKRIP32_API HCDROM __cdecl GetCDHandle(HandleRequest* request) {
    if (!request || request->size != sizeof(HandleRequest) || request->version != 1) return 0;
    if (request->readMethod != 0) return 0;   // the library chooses; no other method is offered
    OpenDrive drive;
    if (IsVirtualAddress(request->hostAdapter, request->target, request->lun)) {
        if (!VirtualDrivePresent()) return 0;
        drive.isVirtual = true;
    } else {
        drive.scsi = OpenScsiDrive(request->hostAdapter, request->target, request->lun);
        if (!drive.scsi) return 0;
    }
    std::lock_guard<std::mutex> hold(g_library.lock);
    return Register(drive);
}

AKRIP32_API uint32_t __cdecl ModifyCDParms(HCDROM cd, int parameter, uint32_t value) {
    std::lock_guard<std::mutex> hold(g_library.lock);
    OpenDrive* drive = Find(cd);
    if (!drive) return kResultBadRequest;
    if (parameter != kParmMsfToc) return kResultUnsupported;
    drive->msfToc = value != 0;
    return kResultOk;
}

AKRIP32_API uint32_t __cdecl ReadTOC(HCDROM cd, Toc* toc) {
    return ReadTable(cd, toc, [&](OpenDrive* drive) {
        return drive->isVirtual ? VirtualReadToc(drive->msfToc, toc) : ScsiReadToc(drive->scsi, drive->msfToc, toc);
    });
}

AKRIP32_API uint32_t __cdecl ReadFullTOC(HCDROM cd, FullToc* toc) {
    return ReadTable(cd, toc, [&](OpenDrive* drive) {
        return drive->isVirtual ? VirtualReadFullToc(toc) : ScsiReadFullToc(drive->scsi, toc);
    });
}

AKRIP32_API uint32_t __cdecl ReadCDText(HCDROM cd, uint8_t* buffer, uint32_t capacity, uint32_t* bytes) {
    if (!bytes) return kResultBadRequest;
    *bytes = 0;
    if (!buffer || capacity < 4) return kResultBadRequest;
    std::lock_guard<std::mutex> hold(g_library.lock);
    OpenDrive* drive = Find(cd);
    if (!drive) return kResultBadRequest;
    return drive->isVirtual ? VirtualReadCdText(buffer, capacity, bytes)
                            : ScsiReadCdText(drive->scsi, buffer, capacity, bytes);
}

namespace {

// A read into the buffer's data area, with C2 flags into `errors` where it is not null.
uint32_t ReadAudio(HCDROM cd, TransferHeader* buffer, uint8_t* errors) {
    if (!buffer) return kResultBadRequest;
    buffer->delivered = 0;
    buffer->offset = 0;
    uint8_t* data = reinterpret_cast<uint8_t*>(buffer + 1);
    std::lock_guard<std::mutex> hold(g_library.lock);
    OpenDrive* drive = Find(cd);
    uint32_t status = !drive             ? kResultBadRequest
                      : drive->isVirtual ? (errors ? kResultUnsupported : VirtualRead(buffer, data))
                                         : ScsiRead(drive->scsi, buffer, data, errors);
    if (StatusResult(status) != kResultOk) buffer->delivered = 0;
    buffer->status = status;
    return StatusResult(status);
}

}  // namespace

AKRIP32_API uint32_t __cdecl ReadCDAudioLBA(HCDROM cd, TransferHeader* buffer) { return ReadAudio(cd, buffer, nullptr); }

AKRIP32_API uint32_t __cdecl ReadCDAudioLBAC2(HCDROM cd, TransferHeader* buffer, uint8_t* errors) {
    return errors ? ReadAudio(cd, buffer, errors) : kResultBadRequest;
}

AKRIP32_API uint32_t __cdecl GetCDFeatures(HCDROM cd, DriveFeatures* features) {
    if (!features || features->size != sizeof(DriveFeatures)) return kResultBadRequest;
    std::lock_guard<std::mutex> hold(g_library.lock);
    OpenDrive* drive = Find(cd);
    if (!drive) return kResultBadRequest;
    if (!drive->isVirtual) return ScsiFeatures(drive->scsi, features);
    *features = DriveFeatures{sizeof(DriveFeatures), kC2None, 0, kFeatureVirtual};
    return kResultOk;
}

AKRIP32_API int __cdecl CloseCDHandle(HCDROM cd) {
    std::lock_guard<std::mutex> hold(g_library.lock);
    OpenDrive* drive = Find(cd);
    if (!drive) return 0;
    if (drive->scsi) CloseScsiDrive(drive->scsi);
    g_library.open.erase(cd);
    bool virtualOpen = false;
    for (const auto& entry : g_library.open) virtualOpen = virtualOpen || entry.second.isVirtual;
    if (!virtualOpen) ReleaseVirtualDisc();
    return 1;
}
