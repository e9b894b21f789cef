// Real CD drives through SCSI pass-through: every drive letter of type CD-ROM is
// opened as \\.\X: for reading and writing (pass-through needs both), asked for its
// SCSI address (IOCTL_SCSI_GET_ADDRESS) and its name (INQUIRY), and read with
// IOCTL_SCSI_PASS_THROUGH_DIRECT: READ TOC (0x43, formats 0 and 2) and READ CD (0xBE,
// CD-DA sectors, user data only). Transfers go through a page-aligned buffer of the
// drive's own, whatever alignment the adapter needs.
//
// A drive's CHECK CONDITION is read from its sense data (sense.h decides): a drive
// that is becoming ready is waited for, a few seconds at most; after a unit attention
// (the disc may be another) the table of contents is simply read again, while a read
// fails, and so does every read after it until the table of contents has been read
// again, so that no frame of another disc passes for the one the caller is reading.
// Every other sense fails the command, the sense in the result.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "drives.h"
#include "sense.h"

namespace akrip {

struct ScsiDrive {
    HANDLE device;
    uint8_t* bounce;        // kPieceFrames frames, page-aligned
    bool changed = false;   // a unit attention met a read: reads fail until the TOC is read again
};

namespace {

const uint32_t kPieceFrames = 26;   // frames per READ CD: 61,152 bytes, below any adapter's 64 KB limit
const uint32_t kBounceBytes = kPieceFrames * kFrameBytes;
const ULONG kReadTimeoutSeconds = 30;
const ULONG kTimeoutSeconds = 10;
const uint8_t kOpInquiry = 0x12;
const uint8_t kOpReadToc = 0x43;
const uint8_t kOpReadCd = 0xBE;
const UCHAR kCheckCondition = 0x02;

struct PassThrough {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG align;
    UCHAR sense[32];
};

// What became of one command: GOOD, or a CHECK CONDITION with its sense, or nothing
// usable (the request failed, or another status).
struct Outcome {
    bool good = false;
    bool denied = false;     // the request was refused: access denied
    bool hasSense = false;
    Sense sense;
    ULONG transferred = 0;   // bytes the device transferred (a drive may deliver fewer than asked)
};

Outcome SendOnce(HANDLE device, const uint8_t* cdb, UCHAR cdbLength, void* data, ULONG length, ULONG timeout) {
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
    Outcome outcome;
    if (!DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &io, sizeof io, &io, sizeof io, &returned, nullptr)) {
        outcome.denied = GetLastError() == ERROR_ACCESS_DENIED;
        return outcome;
    }
    if (io.sptd.ScsiStatus == kCheckCondition) {
        UCHAR got = io.sptd.SenseInfoLength < sizeof io.sense ? io.sptd.SenseInfoLength : sizeof io.sense;
        outcome.hasSense = ParseSense(io.sense, got, &outcome.sense);
        // Recovered errors complete the command: their data stands.
        outcome.good = outcome.hasSense && KindOf(outcome.sense) == SenseKind::kRecovered;
    } else {
        outcome.good = io.sptd.ScsiStatus == 0;
    }
    if (outcome.good) outcome.transferred = io.sptd.DataTransferLength <= length ? io.sptd.DataTransferLength : 0;
    return outcome;
}

// Sends a command, waiting while the drive is becoming ready and, where
// `repeatAfterChange`, sending it again after a unit attention.
Outcome Send(HANDLE device, const uint8_t* cdb, UCHAR cdbLength, void* data, ULONG length, ULONG timeout,
             bool repeatAfterChange) {
    CommandRetry retry(repeatAfterChange);
    const DWORD started = GetTickCount();
    for (;;) {
        Outcome outcome = SendOnce(device, cdb, cdbLength, data, length, timeout);
        if (outcome.good || !outcome.hasSense) return outcome;
        CommandRetry::Step step = retry.After(outcome.sense, GetTickCount() - started);
        if (step == CommandRetry::Step::kGiveUp) return outcome;
        if (step == CommandRetry::Step::kRetryAfterWait) Sleep(kBecomingReadyPollMs);
    }
}

// The status word of a command that failed: by its sense, or `otherwise` without one.
uint32_t Failure(const Outcome& outcome, Result otherwise) {
    return outcome.hasSense ? StatusWord(ResultOf(outcome.sense), outcome.sense) : otherwise;
}

// The drive at `letter`, opened for reading and writing; `*refused` tells a drive that
// exists but would not be opened so (access denied) from one that is not there.
HANDLE OpenLetter(char letter, bool* refused) {
    char path[8];
    snprintf(path, sizeof path, "\\\\.\\%c:", letter);
    HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    *refused = device == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED;
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

// Asks the drive its name: INQUIRY's 36 bytes into `inquiry` (blank when it does not
// answer); false when the drive refuses pass-through (access denied).
bool Inquire(HANDLE device, uint8_t* inquiry) {
    std::memset(inquiry, 0, 36);
    const uint8_t cdb[6] = {kOpInquiry, 0, 0, 0, 36, 0};
    Outcome outcome = Send(device, cdb, sizeof cdb, inquiry, 36, kTimeoutSeconds, true);
    if (!outcome.good) std::memset(inquiry, 0, 36);
    return !outcome.denied;
}

void Describe(char letter, const SCSI_ADDRESS& address, const uint8_t* inquiry, DriveRecord* record) {
    std::memset(record, 0, sizeof *record);
    record->hostAdapter = address.PortNumber;
    record->target = address.TargetId;
    record->lun = address.Lun;
    record->driveLetter = letter;
    CopyField(inquiry + 8, 8, record->vendor, sizeof record->vendor);
    CopyField(inquiry + 16, 16, record->product, sizeof record->product);
    CopyField(inquiry + 32, 4, record->revision, sizeof record->revision);
    snprintf(record->description, sizeof record->description, "%c: %s %s", letter, record->vendor, record->product);
}

void DescribeRefused(char letter, DriveRecord* record) {
    std::memset(record, 0, sizeof *record);
    record->hostAdapter = record->target = record->lun = 0xFE;   // no handle is given for it
    record->driveLetter = letter;
    record->state = kDriveRefused;
    snprintf(record->description, sizeof record->description, "%c: refuses to be opened for reading and writing",
             letter);
}

// Calls visit(device, letter, address, inquiry) for each CD-ROM drive with a SCSI
// address that answers pass-through, until it returns true, and refused(letter) for
// each that refuses the access pass-through needs: to be opened for reading and
// writing, or the pass-through itself (access denied). A visitor that keeps the device
// sets it to INVALID_HANDLE_VALUE; otherwise it is closed after the visit.
template <typename Visit, typename Refused>
void ForEachCdDrive(Visit visit, Refused refused) {
    DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(letters & (1u << i))) continue;
        char letter = static_cast<char>('A' + i);
        char root[4] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
        bool denied = false;
        HANDLE device = OpenLetter(letter, &denied);
        if (device == INVALID_HANDLE_VALUE) {
            if (denied) refused(letter);   // a drive that is not there is no drive
            continue;
        }
        SCSI_ADDRESS address;
        uint8_t inquiry[36];
        bool stop = false;
        if (AddressOf(device, &address) && !IsVirtualAddress(address.PortNumber, address.TargetId, address.Lun)) {
            if (Inquire(device, inquiry))
                stop = visit(device, letter, address, inquiry);
            else
                refused(letter);
        }
        if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
        if (stop) return;
    }
}

// Reads a table of contents in `format` into the bounce buffer: its bytes, or 0 and
// the failure in *status.
uint32_t ReadTocFormat(ScsiDrive* drive, bool msf, int format, uint16_t length, uint32_t* status) {
    const uint8_t cdb[10] = {kOpReadToc, static_cast<uint8_t>(msf ? 0x02 : 0x00), static_cast<uint8_t>(format), 0, 0,
                             0, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0};
    std::memset(drive->bounce, 0, length);
    Outcome outcome = Send(drive->device, cdb, sizeof cdb, drive->bounce, length, kTimeoutSeconds, true);
    if (!outcome.good) {
        *status = Failure(outcome, kResultNotReady);
        return 0;
    }
    return outcome.transferred;
}

}  // namespace

int ListScsiDrives(DriveRecord* records, int room) {
    int count = 0;
    if (room <= 0) return 0;
    char refused[26];
    int refusals = 0;
    ForEachCdDrive(
        [&](HANDLE&, char letter, const SCSI_ADDRESS& address, const uint8_t* inquiry) {
            Describe(letter, address, inquiry, &records[count++]);
            return count >= room;
        },
        [&](char letter) { refused[refusals++] = letter; });
    // Drives that can be used come first: a caller takes the first.
    for (int k = 0; k < refusals && count < room; ++k) DescribeRefused(refused[k], &records[count++]);
    return count;
}

ScsiDrive* OpenScsiDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    HANDLE found = INVALID_HANDLE_VALUE;
    ForEachCdDrive(
        [&](HANDLE& device, char, const SCSI_ADDRESS& address, const uint8_t*) {
            if (address.PortNumber != hostAdapter || address.TargetId != target || address.Lun != lun) return false;
            found = device;
            device = INVALID_HANDLE_VALUE;
            return true;
        },
        [](char) {});
    if (found == INVALID_HANDLE_VALUE) return nullptr;
    void* bounce = VirtualAlloc(nullptr, kBounceBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
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

uint32_t ScsiReadToc(ScsiDrive* drive, bool msf, Toc* toc) {
    uint32_t status = kResultOk;
    if (!ReadTocFormat(drive, msf, 0, sizeof(Toc), &status)) return status;
    std::memcpy(toc, drive->bounce, sizeof(Toc));
    drive->changed = false;   // the table is the disc's now
    return kResultOk;
}

uint32_t ScsiReadFullToc(ScsiDrive* drive, FullToc* toc) {
    static_assert(sizeof(FullToc) <= kBounceBytes, "the full TOC fits the bounce buffer");
    uint32_t status = kResultOk;
    if (!ReadTocFormat(drive, true, 2, sizeof(FullToc), &status)) return status;
    std::memcpy(toc, drive->bounce, sizeof(FullToc));
    return kResultOk;
}

uint32_t ScsiRead(ScsiDrive* drive, TransferHeader* request, uint8_t* data) {
    if (request->frames == 0 || request->frames > request->capacity / kFrameBytes) return kResultBadRequest;
    if (drive->changed) return kResultMediumChanged;
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
        Outcome outcome =
            Send(drive->device, cdb, sizeof cdb, drive->bounce, piece * kFrameBytes, kReadTimeoutSeconds, false);
        if (!outcome.good) {
            if (outcome.hasSense && KindOf(outcome.sense) == SenseKind::kMediumChanged) drive->changed = true;
            return Failure(outcome, kResultReadError);
        }
        // A short answer would pass the bounce buffer's old bytes off as audio.
        if (outcome.transferred != piece * kFrameBytes) return kResultReadError;
        std::memcpy(data + static_cast<size_t>(done) * kFrameBytes, drive->bounce, piece * kFrameBytes);
        done += piece;
    }
    request->delivered = request->frames * kFrameBytes;
    return kResultOk;
}

}  // namespace akrip
