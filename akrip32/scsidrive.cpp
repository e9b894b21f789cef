// Real CD drives through SCSI pass-through: every drive letter of type CD-ROM is
// opened as \\.\X:, asked for its SCSI address (IOCTL_SCSI_GET_ADDRESS) and its name
// (INQUIRY), and read with IOCTL_SCSI_PASS_THROUGH_DIRECT: READ TOC (0x43, format 0)
// and READ CD (0xBE, CD-DA sectors, user data only). Transfers go through a
// page-aligned buffer of the drive's own, whatever alignment the adapter needs.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "drives.h"

namespace akrip {

struct ScsiDrive {
    HANDLE device;
    uint8_t* bounce;   // kPieceFrames frames, page-aligned
};

namespace {

const uint32_t kPieceFrames = 26;   // frames per READ CD: 61,152 bytes, below any adapter's 64 KB limit
const ULONG kReadTimeoutSeconds = 30;
const uint8_t kOpInquiry = 0x12;
const uint8_t kOpReadToc = 0x43;
const uint8_t kOpReadCd = 0xBE;

struct PassThrough {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG align;
    UCHAR sense[32];
};

// Sends one command that reads up to `length` bytes into `data`; true when the device
// completed it with GOOD status, with the bytes it transferred in *transferred (a drive
// may deliver fewer than asked).
bool SendCommand(HANDLE device, const uint8_t* cdb, UCHAR cdbLength, void* data, ULONG length, ULONG timeout,
                 ULONG* transferred = nullptr) {
    PassThrough io;
    std::memset(&io, 0, sizeof io);
    io.sptd.Length = sizeof io.sptd;
    io.sptd.CdbLength = cdbLength;
    io.sptd.DataIn = SCSI_IOCTL_DATA_IN;
    io.sptd.DataTransferLength = length;
    io.sptd.TimeOutValue = timeout;
    io.sptd.DataBuffer = data;
    io.sptd.SenseInfoLength = sizeof io.sense;
    io.sptd.SenseInfoOffset = offsetof(PassThrough, sense);
    std::memcpy(io.sptd.Cdb, cdb, cdbLength);
    DWORD returned = 0;
    bool done = DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &io, sizeof io, &io, sizeof io, &returned,
                                nullptr) &&
                io.sptd.ScsiStatus == 0;
    if (transferred) *transferred = done && io.sptd.DataTransferLength <= length ? io.sptd.DataTransferLength : 0;
    return done;
}

HANDLE OpenLetter(char letter) {
    char path[8];
    snprintf(path, sizeof path, "\\\\.\\%c:", letter);
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)   // pass-through needs write access on most systems; try anyway
        device = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    return device;
}

bool AddressOf(HANDLE device, SCSI_ADDRESS* address) {
    std::memset(address, 0, sizeof *address);
    address->Length = sizeof *address;
    DWORD returned = 0;
    return DeviceIoControl(device, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, address, sizeof *address, &returned, nullptr);
}

// Copies `length` characters of an INQUIRY field into `out`, without trailing blanks.
void CopyField(const uint8_t* field, size_t length, char* out, size_t outSize) {
    while (length > 0 && (field[length - 1] == ' ' || field[length - 1] == '\0')) --length;
    if (length >= outSize) length = outSize - 1;
    std::memcpy(out, field, length);
    out[length] = '\0';
}

void Describe(HANDLE device, char letter, const SCSI_ADDRESS& address, DriveRecord* record) {
    std::memset(record, 0, sizeof *record);
    record->hostAdapter = address.PortNumber;
    record->target = address.TargetId;
    record->lun = address.Lun;
    record->driveLetter = letter;
    uint8_t inquiry[36] = {};
    const uint8_t cdb[6] = {kOpInquiry, 0, 0, 0, sizeof inquiry, 0};
    if (SendCommand(device, cdb, sizeof cdb, inquiry, sizeof inquiry, 10)) {
        CopyField(inquiry + 8, 8, record->vendor, sizeof record->vendor);
        CopyField(inquiry + 16, 16, record->product, sizeof record->product);
        CopyField(inquiry + 32, 4, record->revision, sizeof record->revision);
    }
    snprintf(record->description, sizeof record->description, "%c: %s %s", letter, record->vendor, record->product);
}

// Calls visit(device, letter, address) for each CD-ROM drive with a SCSI address, until
// it returns true. A visitor that keeps the device sets it to INVALID_HANDLE_VALUE;
// otherwise it is closed after the visit.
template <typename Visit>
void ForEachCdDrive(Visit visit) {
    DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(letters & (1u << i))) continue;
        char letter = static_cast<char>('A' + i);
        char root[4] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
        HANDLE device = OpenLetter(letter);
        if (device == INVALID_HANDLE_VALUE) continue;
        SCSI_ADDRESS address;
        bool stop = false;
        if (AddressOf(device, &address) && !IsVirtualAddress(address.PortNumber, address.TargetId, address.Lun))
            stop = visit(device, letter, address);
        if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
        if (stop) return;
    }
}

}  // namespace

int ListScsiDrives(DriveRecord* records, int room) {
    int count = 0;
    if (room <= 0) return 0;
    ForEachCdDrive([&](HANDLE& device, char letter, const SCSI_ADDRESS& address) {
        Describe(device, letter, address, &records[count++]);
        return count >= room;
    });
    return count;
}

ScsiDrive* OpenScsiDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    HANDLE found = INVALID_HANDLE_VALUE;
    ForEachCdDrive([&](HANDLE& device, char, const SCSI_ADDRESS& address) {
        if (address.PortNumber != hostAdapter || address.TargetId != target || address.Lun != lun) return false;
        found = device;
        device = INVALID_HANDLE_VALUE;
        return true;
    });
    if (found == INVALID_HANDLE_VALUE) return nullptr;
    void* bounce = VirtualAlloc(nullptr, kPieceFrames * kFrameBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!bounce) {
        CloseHandle(found);
        return nullptr;
    }
    return new ScsiDrive{found, static_cast<uint8_t*>(bounce)};
}

void CloseScsiDrive(ScsiDrive* drive) {
    CloseHandle(drive->device);
    VirtualFree(drive->bounce, 0, MEM_RELEASE);
    delete drive;
}

Result ScsiReadToc(ScsiDrive* drive, bool msf, Toc* toc) {
    const uint16_t length = sizeof(Toc);
    const uint8_t cdb[10] = {kOpReadToc, static_cast<uint8_t>(msf ? 0x02 : 0x00), 0, 0, 0, 0, 0,
                             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0};
    std::memset(drive->bounce, 0, length);
    if (!SendCommand(drive->device, cdb, sizeof cdb, drive->bounce, length, 10)) return kResultNotReady;
    std::memcpy(toc, drive->bounce, length);
    return kResultOk;
}

Result ScsiRead(ScsiDrive* drive, TransferHeader* request, uint8_t* data) {
    if (request->frames == 0 || request->frames > request->capacity / kFrameBytes) return kResultBadRequest;
    uint32_t done = 0;
    while (done < request->frames) {
        uint32_t lba = request->firstFrame + done;
        uint32_t piece = request->frames - done < kPieceFrames ? request->frames - done : kPieceFrames;
        const uint8_t cdb[12] = {kOpReadCd, 0x04,   // expected sector type: CD-DA
                                 static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
                                 static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba),
                                 static_cast<uint8_t>(piece >> 16), static_cast<uint8_t>(piece >> 8),
                                 static_cast<uint8_t>(piece),
                                 0x10,   // user data: the whole 2,352-byte audio sector
                                 0, 0};
        // A short answer would pass the bounce buffer's old bytes off as audio.
        ULONG transferred = 0;
        if (!SendCommand(drive->device, cdb, sizeof cdb, drive->bounce, piece * kFrameBytes, kReadTimeoutSeconds,
                         &transferred) ||
            transferred != piece * kFrameBytes)
            return kResultReadError;
        std::memcpy(data + static_cast<size_t>(done) * kFrameBytes, drive->bounce, piece * kFrameBytes);
        done += piece;
    }
    request->delivered = request->frames * kFrameBytes;
    return kResultOk;
}

}  // namespace akrip
