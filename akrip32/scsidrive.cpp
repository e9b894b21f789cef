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

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "cdtext.h"
#include "drives.h"
#include "drive_features.h"
#include "sense.h"
#include "toc.h"

namespace akrip {

struct ScsiDrive {
    HANDLE device;
    uint8_t* bounce;        // kBounceBytes, page-aligned
    bool changed = false;   // a unit attention met a read: reads fail until the TOC is read again
    bool featuresAsked = false;
    DriveFeatures features = {};
};

namespace {

// Frames per READ CD: below any adapter's 64 KB limit, with C2 pointers too.
const uint32_t kPieceFrames = 26;     // 61,152 bytes
const uint32_t kC2PieceFrames = 24;   // 24 × (2,352 + 296) = 63,552 bytes
const uint32_t kBounceBytes = 65536;
const ULONG kReadTimeoutSeconds = 30;
const ULONG kTimeoutSeconds = 10;
const uint8_t kOpInquiry = 0x12;
const uint8_t kOpReadToc = 0x43;
const uint8_t kOpReadCd = 0xBE;
const uint8_t kOpModeSense10 = 0x5A;
const uint8_t kOpGetConfiguration = 0x46;
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
    if (ReadTocFormat(drive, true, 2, sizeof(FullToc), &status)) {
        std::memcpy(toc, drive->bounce, sizeof(FullToc));
        return kResultOk;
    }
    // Some drives and adapters refuse the full table; the session information still
    // tells where the last session starts, and so where the first one's audio ends.
    uint32_t refused = status;
    long lastStart = 0;
    uint32_t got = ReadTocFormat(drive, false, 1, 12, &status);
    if (got && LastSessionStart(drive->bounce, got, &lastStart) && FullTocFromSessionStart(lastStart, toc))
        return kResultOk;
    return refused;
}

uint32_t ScsiReadCdText(ScsiDrive* drive, uint8_t* buffer, uint32_t capacity, uint32_t* bytes) {
    uint32_t status = kResultOk;
    const uint16_t length = static_cast<uint16_t>(std::min<uint32_t>(capacity, 0xFFFF));
    static_assert(0xFFFF <= kBounceBytes, "any allocation length fits the bounce buffer");
    uint32_t got = ReadTocFormat(drive, false, 5, length, &status);
    // A drive that cannot read CD-Text, or a disc without it, is refused as an invalid
    // field of the command: that is no CD-Text, and so is an answer without a whole pack.
    if (!got) return StatusSense(status).key == 0x05 ? kResultOk : status;   // ILLEGAL REQUEST
    if (got < 4 + kCdTextPackBytes) return kResultOk;
    std::memcpy(buffer, drive->bounce, got);
    *bytes = got;
    return kResultOk;
}

namespace {

// One READ CD of `piece` CD-DA sectors from `lba` into the bounce buffer, each with
// `c2Bytes` of C2 pointers after its 2,352 bytes (0, 294 or 296).
Outcome ReadPiece(ScsiDrive* drive, uint32_t lba, uint32_t piece, uint32_t c2Bytes) {
    const uint8_t errorField = c2Bytes == 294 ? 0x02 : c2Bytes == 296 ? 0x04 : 0x00;
    const uint8_t cdb[12] = {kOpReadCd, 0x04,   // expected sector type: CD-DA
                             static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
                             static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba),
                             static_cast<uint8_t>(piece >> 16), static_cast<uint8_t>(piece >> 8),
                             static_cast<uint8_t>(piece),
                             static_cast<uint8_t>(0x10 | errorField),   // the whole 2,352-byte audio sector
                             0, 0};
    return Send(drive->device, cdb, sizeof cdb, drive->bounce, piece * (kFrameBytes + c2Bytes), kReadTimeoutSeconds,
                false);
}

// Whether a drive refused a read for the form of its C2 field: "invalid field in CDB".
bool RefusedForm(const Outcome& outcome) {
    return outcome.hasSense && outcome.sense.key == 0x05 && outcome.sense.asc == 0x24;
}

uint32_t C2BytesOf(uint32_t state) { return state == kC2Bits ? 294 : state == kC2BlockBits ? 296 : 0; }

}  // namespace

uint32_t ScsiFeatures(ScsiDrive* drive, DriveFeatures* features) {
    if (!drive->featuresAsked) {
        drive->featuresAsked = true;
        DriveFeatures& f = drive->features;
        f.size = sizeof f;
        bool c2 = false;
        // GET CONFIGURATION of the CD Read feature alone, then the capabilities page,
        // which also tells the buffer; a drive may say "C2" in either.
        const uint8_t config[10] = {kOpGetConfiguration, 0x02, 0, 0x1E, 0, 0, 0, 0, 64, 0};
        std::memset(drive->bounce, 0, 64);
        Outcome outcome = Send(drive->device, config, sizeof config, drive->bounce, 64, kTimeoutSeconds, true);
        bool featureC2 = false;
        if (outcome.good && ParseCdReadFeature(drive->bounce, outcome.transferred, &featureC2)) c2 = featureC2;
        const uint8_t sense[10] = {kOpModeSense10, 0x08, kCapabilitiesPage, 0, 0, 0, 0, 0, 255, 0};
        std::memset(drive->bounce, 0, 255);
        outcome = Send(drive->device, sense, sizeof sense, drive->bounce, 255, kTimeoutSeconds, true);
        CapabilitiesPage page;
        if (outcome.good && ParseCapabilitiesPage(drive->bounce, outcome.transferred, true, &page)) {
            c2 = c2 || page.c2;
            f.cacheFrames = CacheFramesOf(page.bufferKb);
        }
        f.c2 = c2 ? kC2Bits : kC2None;
    }
    *features = drive->features;
    return kResultOk;
}

uint32_t ScsiRead(ScsiDrive* drive, TransferHeader* request, uint8_t* data, uint8_t* errors) {
    if (request->frames == 0 || request->frames > request->capacity / kFrameBytes) return kResultBadRequest;
    if (drive->changed) return kResultMediumChanged;
    if (errors) {
        DriveFeatures features;
        ScsiFeatures(drive, &features);
        if (!C2BytesOf(features.c2)) return kResultUnsupported;
    }
    uint32_t done = 0;
    while (done < request->frames) {
        const uint32_t lba = request->firstFrame + done, left = request->frames - done;
        const uint32_t most = errors ? kC2PieceFrames : kPieceFrames;
        const uint32_t piece = left < most ? left : most;
        uint32_t c2Bytes = errors ? C2BytesOf(drive->features.c2) : 0;
        Outcome outcome = ReadPiece(drive, lba, piece, c2Bytes);
        // A drive that said it has C2 pointers may refuse one form of them, or both:
        // the other form, then none, each once for the drive.
        while (!outcome.good && c2Bytes && RefusedForm(outcome)) {
            drive->features.c2 = drive->features.c2 == kC2Bits ? kC2BlockBits : kC2Refused;
            c2Bytes = C2BytesOf(drive->features.c2);
            if (!c2Bytes) return kResultUnsupported;
            outcome = ReadPiece(drive, lba, piece, c2Bytes);
        }
        if (!outcome.good) {
            if (outcome.hasSense && KindOf(outcome.sense) == SenseKind::kMediumChanged) drive->changed = true;
            return Failure(outcome, kResultReadError);
        }
        // A short answer would pass the bounce buffer's old bytes off as audio.
        const uint32_t block = kFrameBytes + c2Bytes;
        if (outcome.transferred != piece * block) return kResultReadError;
        for (uint32_t k = 0; k < piece; ++k) {
            const uint8_t* sector = drive->bounce + static_cast<size_t>(k) * block;
            std::memcpy(data + static_cast<size_t>(done + k) * kFrameBytes, sector, kFrameBytes);
            if (!errors) continue;
            uint8_t any = 0;
            for (uint32_t b = 0; b < 294; ++b) any |= sector[kFrameBytes + b];
            errors[done + k] = any ? 1 : 0;
        }
        done += piece;
    }
    request->delivered = request->frames * kFrameBytes;
    return kResultOk;
}

}  // namespace akrip
