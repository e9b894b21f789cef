// What the AccurateRip server answers: a disc's entry and the drive list.
//
// Beyond "no fault": an entry read is the input byte for byte (its records written
// back give the input again); a drive list is malformed exactly when it does not end
// on a record, and an offset found is one a drive can have, from a record whose name
// is the one asked.
#include <string>
#include <vector>

#include "accuraterip.h"
#include "fuzz_check.h"

namespace {

void PutLe32(std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

void ReadEntry(const std::string& bytes) {
    std::vector<ArPressing> pressings;
    if (!ParseDatabaseEntry(bytes, &pressings)) return;
    std::string back;
    for (const ArPressing& p : pressings) {
        FUZZ_CHECK(p.trackCount >= 1 && static_cast<size_t>(p.trackCount) == p.tracks.size());
        back.push_back(static_cast<char>(p.trackCount));
        PutLe32(&back, p.id1);
        PutLe32(&back, p.id2);
        PutLe32(&back, p.freedb);
        for (const ArTrackEntry& t : p.tracks) {
            back.push_back(static_cast<char>(t.confidence));
            PutLe32(&back, t.crc);
            PutLe32(&back, t.frame450Crc);
        }
    }
    FUZZ_CHECK(back == bytes);
}

// The first byte chooses the name asked: that of the list's first record, or none.
void ReadDriveList(const std::string& input) {
    if (input.empty()) return;
    const std::string list = input.substr(1);
    std::string name;
    if (input[0] & 1 && list.size() >= kDriveRecordBytes) name = list.substr(2, kDriveNameBytes).c_str();
    long offset = 99999;
    DriveListAnswer answer = FindDriveOffset(list, name, &offset);
    FUZZ_CHECK((answer == DriveListAnswer::kMalformed) == (list.empty() || list.size() % kDriveRecordBytes != 0));
    if (answer != DriveListAnswer::kListed) {
        FUZZ_CHECK(offset == 99999);
        return;
    }
    FUZZ_CHECK(offset >= -kMaxReadOffset && offset <= kMaxReadOffset);
    bool named = false;
    for (size_t at = 0; at < list.size() && !named; at += kDriveRecordBytes) {
        const long recorded = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint8_t>(list[at]) |
                                                                         static_cast<uint8_t>(list[at + 1]) << 8));
        named = recorded == offset && FindDriveOffset(list.substr(at, kDriveRecordBytes), name, &offset) ==
                                          DriveListAnswer::kListed;
    }
    FUZZ_CHECK(named);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadEntry(bytes);
    ReadDriveList(bytes);
    return 0;
}
