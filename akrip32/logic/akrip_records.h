// The records AKrip32.dll exchanges with its callers, byte for byte. Integers are
// little-endian except the addresses of the table of contents, which keep the
// most-significant-byte-first order of the SCSI MMC READ TOC response they copy.
// Plain C++: the library, the program and the tests share these layouts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace akrip {

constexpr uint32_t kFrameBytes = 2352;   // one raw CD-DA sector: 588 stereo 16-bit pairs
constexpr int kMaxDrives = 8;            // entries of a drive list
constexpr int kTocEntries = 100;         // 99 tracks and the lead-out
constexpr uint8_t kLeadoutTrack = 0xAA;
constexpr uint8_t kAudioAdrControl = 0x10;   // ADR 1 (position), control 0: two-channel audio
constexpr uint8_t kDataAdrControl = 0x14;    // ADR 1, control 4: a data track
constexpr uint8_t kDataControlBit = 0x04;
constexpr long kPregapFrames = 150;          // LBA 0 is MSF 00:02:00

// Results of the operations (also the status word of a transfer buffer).
enum Result : uint32_t {
    kResultOk = 1,
    kResultNotReady = 2,         // no disc, or the tray is open
    kResultBadRequest = 3,       // unknown handle, frames outside the disc, buffer too small
    kResultReadError = 4,        // the drive could not read a frame of the request
    kResultUnsupported = 5,      // a parameter or read method this drive does not offer
    kResultMediumChanged = 6,    // the drive reported another disc since the table of contents was read
    kResultDriveError = 7,       // the drive refused the command for another reason (its sense in the status word)
};

// ModifyCDParms parameters.
constexpr int kParmMsfToc = 36;   // nonzero: table of contents in MSF, 0: in logical block addresses

#pragma pack(push, 1)

// One drive of the list: its SCSI address and what it says it is.
struct DriveRecord {
    uint8_t hostAdapter;
    uint8_t target;
    uint8_t lun;
    char driveLetter;      // 'D' for D:, 0 for a drive without one (the virtual drive)
    char vendor[9];        // INQUIRY vendor, product and revision, terminated
    char product[17];
    char revision[5];
    char description[85];  // "D: vendor product", terminated
    uint8_t state;         // kDriveUsable, or kDriveRefused: listed, but no handle is given for it
};

// A drive that refuses the access reading needs: to be opened for reading and writing,
// or SCSI pass-through (as Windows refuses both to a user without the rights).
constexpr uint8_t kDriveUsable = 0;
constexpr uint8_t kDriveRefused = 1;

// The drive list: 970 bytes. `capacity` is the caller's limit on entries (0 or more
// than kMaxDrives: all that fit); `count` is set by the library.
struct DriveList {
    uint8_t capacity;
    uint8_t count;
    DriveRecord drives[kMaxDrives];
};

// A request for a handle to one drive of the list: 12 bytes.
struct HandleRequest {
    uint8_t size;             // 12
    uint8_t version;          // 1
    uint8_t hostAdapter;
    uint8_t target;
    uint8_t lun;
    uint8_t readMethod;       // 0: the library chooses the read command
    uint32_t jitterCorrection;   // not offered: reads are exact (0)
    uint8_t jitterFrames;
    uint8_t overlapFrames;
};

// One descriptor of the table of contents (MMC READ TOC, format 0).
struct TocDescriptor {
    uint8_t reserved1;
    uint8_t adrControl;
    uint8_t track;
    uint8_t reserved2;
    uint8_t address[4];   // LBA, or 0 M S F; most significant byte first
};

// The table of contents: 804 bytes. `length` (big-endian) counts the bytes after itself.
struct Toc {
    uint8_t length[2];
    uint8_t firstTrack;
    uint8_t lastTrack;
    TocDescriptor descriptors[kTocEntries];
};

// The head of a transfer buffer; the data area of `capacity` bytes follows it.
struct TransferHeader {
    uint32_t firstFrame;   // LBA of the first frame to read
    uint32_t frames;       // frames to read
    uint32_t capacity;     // bytes the data area holds
    uint32_t delivered;    // bytes the library put there
    uint32_t status;       // a Result
    uint32_t offset;       // where the delivered bytes begin within the data area
};

// What a drive says it can do: 16 bytes. `size` is set by the caller (16).
struct DriveFeatures {
    uint32_t size;
    uint32_t c2;            // a C2State
    uint32_t cacheFrames;   // the frames its read cache holds, as it reports it; 0: not said
    uint32_t flags;         // kFeatureVirtual
};

// C2 error pointers of a drive.
enum C2State : uint32_t {
    kC2None = 0,        // it has none
    kC2Bits = 1,        // it has them: reads with 294 bytes of C2 bits per frame
    kC2BlockBits = 2,   // reads with 296 bytes (C2 bits, the block error byte, a pad): it refused 294
    kC2Refused = 3,     // it said it has them and refused both forms: reads go without them
};
constexpr uint32_t kFeatureVirtual = 1;   // the rig's virtual drive: no read offset, cache or C2 of its own

// The full table of contents: the drive's answer to MMC READ TOC format 2 as it gave
// it (the length field, big-endian, counts the bytes after itself), up to its size.
struct FullToc {
    uint8_t bytes[2048];
};

#pragma pack(pop)

static_assert(sizeof(DriveRecord) == 121, "drive record layout");
static_assert(sizeof(DriveList) == 970, "drive list layout");
static_assert(sizeof(HandleRequest) == 12, "handle request layout");
static_assert(offsetof(HandleRequest, jitterCorrection) == 6, "handle request layout");
static_assert(sizeof(TocDescriptor) == 8, "TOC descriptor layout");
static_assert(sizeof(Toc) == 804, "TOC layout");
static_assert(sizeof(TransferHeader) == 24, "transfer buffer layout");
static_assert(sizeof(DriveFeatures) == 16, "drive features layout");

// The 32-bit address of a descriptor, as stored (most significant byte first).
inline uint32_t DescriptorAddress(const TocDescriptor& descriptor) {
    const uint8_t* a = descriptor.address;
    return static_cast<uint32_t>(a[0]) << 24 | static_cast<uint32_t>(a[1]) << 16 | static_cast<uint32_t>(a[2]) << 8 | a[3];
}

}  // namespace akrip
