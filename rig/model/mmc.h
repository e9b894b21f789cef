// The emulated CD drive's answers to MMC commands, byte for byte as an MMC-5 drive
// gives them: INQUIRY, READ TOC formats 0, 1, 2 and 5, GET CONFIGURATION, MODE SENSE page
// 2Ah, READ CAPACITY, the fixed-format sense data of a CHECK CONDITION, the fields of
// a READ CD request, and the answers of the CD-ROM class driver's requests that
// Windows' MCI CD driver sends (its table of contents and Q channel). Plain C++: the
// drive's DLL and the tests share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disc.h"

namespace rig {
namespace mmc {

// Operation codes the drive knows.
enum Opcode : uint8_t {
    kTestUnitReady = 0x00,
    kRequestSense = 0x03,
    kInquiry = 0x12,
    kModeSense6 = 0x1A,
    kStartStopUnit = 0x1B,
    kPreventAllow = 0x1E,
    kReadCapacity = 0x25,
    kReadToc = 0x43,
    kGetConfiguration = 0x46,
    kModeSense10 = 0x5A,
    kReadCd = 0xBE,
};

// Sense keys.
enum SenseKey : uint8_t {
    kNoSense = 0x0,
    kNotReady = 0x2,
    kMediumError = 0x3,
    kHardwareError = 0x4,
    kIllegalRequest = 0x5,
    kUnitAttention = 0x6,
};

// What a CHECK CONDITION reports: the sense key, the additional sense code and its
// qualifier, and, for a failed read, the LBA it failed at.
struct Sense {
    uint8_t key = kNoSense;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool hasLba = false;
    uint32_t lba = 0;
    bool operator==(const Sense& o) const {
        return key == o.key && asc == o.asc && ascq == o.ascq && hasLba == o.hasLba && lba == o.lba;
    }
};

constexpr Sense kBecomingReady = {kNotReady, 0x04, 0x01};
constexpr Sense kNoMediumTrayClosed = {kNotReady, 0x3A, 0x01};
constexpr Sense kNoMediumTrayOpen = {kNotReady, 0x3A, 0x02};
constexpr Sense kMediumMayHaveChanged = {kUnitAttention, 0x28, 0x00};
constexpr Sense kUnrecoveredReadError = {kMediumError, 0x11, 0x00};
constexpr Sense kInvalidOpcode = {kIllegalRequest, 0x20, 0x00};
constexpr Sense kLbaOutOfRange = {kIllegalRequest, 0x21, 0x00};
constexpr Sense kInvalidField = {kIllegalRequest, 0x24, 0x00};
constexpr Sense kRemovalPrevented = {kIllegalRequest, 0x53, 0x02};
constexpr Sense kIllegalModeForTrack = {kIllegalRequest, 0x64, 0x00};

constexpr size_t kSenseBytes = 18;
// The sense in fixed format (response code 70h; with the VALID bit and the LBA in the
// information field for a failed read): up to `room` of its 18 bytes; how many.
size_t SenseData(const Sense& sense, uint8_t* out, size_t room);
// "K/AS/AQ" in hex ("03/11/00"); false for anything else.
bool ParseSenseText(const std::string& text, Sense* sense);

// ---- the drive's identity and capabilities ----

struct Identity {
    std::string vendor = "RIG";               // at most 8 characters are answered
    std::string product = "EMULATED CD-ROM";  // 16
    std::string revision = "1.00";            // 4
};
// "vendor, product, revision" (blanks around each trimmed); missing parts keep the
// defaults.
Identity ParseIdentity(const std::string& text);

enum class C2Support {
    kNone,        // no C2 error pointers: a READ CD that asks for them is refused
    kBothForms,   // 294 bytes of C2 bits, or 296 with the block error byte and a pad
    kNot296,      // says it has C2 pointers, refuses the 296-byte form
    kNeither,     // says it has them, refuses every read that asks for them
};

struct Capabilities {
    C2Support c2 = C2Support::kNone;
    uint32_t cacheFrames = 0;
    bool mediumPresent = false;
    bool locked = false;   // PREVENT MEDIUM REMOVAL in force
};

// The answers, whole; the caller hands on at most the allocation length of them.
std::vector<uint8_t> InquiryAnswer(const Identity& identity);
// GET CONFIGURATION: `requestType` 0 (all features from `start` on), 1 (the current
// ones from `start` on) or 2 (the feature `start` alone). The profile is CD-ROM while a
// medium is present; the CD Read feature tells C2 and that the drive reads CD-Text.
std::vector<uint8_t> ConfigurationAnswer(const Capabilities& caps, int requestType, uint16_t start);
// MODE SENSE of page 2Ah (or of all pages, 3Fh); `pageControl` 1 asks what is
// changeable (nothing). False for another page.
bool ModeSenseAnswer(const Capabilities& caps, bool tenByte, int pageControl, int page, std::vector<uint8_t>* answer);
// READ CAPACITY: the last LBA before the lead-out and 2,048-byte blocks.
std::vector<uint8_t> CapacityAnswer(const Disc& disc);

// READ TOC. `format` 0: the tracks from `number` on (0 or 1: all; 0xAA: the lead-out
// alone) and the lead-out, LBA or MSF; control nibble 4 on data tracks. 1: the first
// track of the last session. 2: the full TOC, per session its points A0, A1 and A2
// (its first and last track, its lead-out) and its tracks, in MSF. 5: the CD-Text
// packs of the disc's texts (akrip::EncodeCdText). False for another format, a track
// number past the last, or format 5 of a disc without text.
bool TocAnswer(const Disc& disc, int format, bool msf, int number, std::vector<uint8_t>* answer);
// The lead-out of session `session`: where its last track ends.
long SessionLeadout(const Disc& disc, int session);

// ---- READ CD ----

struct ReadCdRequest {
    uint32_t lba = 0;
    uint32_t frames = 0;
    int sectorType = 0;    // 0: any, 1: CD-DA (the only kinds this drive reads)
    bool mainChannel = false;  // the 2,352 bytes of each sector
    int c2Bytes = 0;       // 0, 294 (C2 bits) or 296 (C2 bits, block error byte, pad)
    // Bytes each sector takes in the answer.
    uint32_t BlockBytes() const { return (mainChannel ? 2352u : 0u) + static_cast<uint32_t>(c2Bytes); }
};
// The request in a READ CD command block of 12 bytes; false (with the sense) for a
// sector type, header code or subchannel this drive does not deliver.
bool ParseReadCd(const uint8_t* cdb, ReadCdRequest* request, Sense* sense);

// The C2 field of a sector: one bit per byte of its 2,352 (most significant bit first),
// set where `delivered` differs from `truth`; with 296 bytes the block error byte (the
// OR of the others) and a pad byte follow.
void C2Field(const uint8_t* delivered, const uint8_t* truth, int c2Bytes, uint8_t* out);

// ---- the CD-ROM class driver's requests ----

// What the Q channel reports of the play: its audio status and position.
struct PlayView {
    bool playing = false;
    bool paused = false;
    bool completed = false;   // the last play reached its end
    long position = 0;        // LBA
};
constexpr size_t kQChannelBytes = 16;
// The current-position Q channel (SUB_Q_CURRENT_POSITION): audio status, the track and
// index, the absolute and the track-relative address in MSF.
void QChannelPosition(const Disc& disc, const PlayView& play, uint8_t* out);
// An MSF position (M, S, F as the requests carry it) as an LBA.
long MsfBytesToLba(const uint8_t* msf);

}  // namespace mmc
}  // namespace rig
