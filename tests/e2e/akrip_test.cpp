// AKrip32.dll through its exports, as a program loads it: the drive list with the
// rig's virtual drive first, the table of contents of a generated disc, raw reads that
// are the BIN's bytes, and the rig's state (bad sectors, tray, disc, the key itself)
// read afresh at every call. Then the rig's emulated drive, met as a real drive through
// SCSI pass-through: its name, its tables of contents against cd-info's on the image,
// its read offset, and the sense of its faults as the library carries them. Both give
// the CD-Text of the disc's sheet. The
// records are handled as plain bytes here, so their layout is checked too.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cdinfo_rows.h"
#include "cdtext.h"
#include "disc.h"
#include "discgen.h"
#include "harness.h"
#include "rig_state.h"

namespace {

const uint32_t kSeed = 11;
const uint32_t kFrame = 2352;
const uint32_t kOk = 1, kNotReady = 2, kBadRequest = 3, kReadError = 4, kMediumChanged = 6, kDriveError = 7;

struct Library {
    HMODULE module = nullptr;
    uint32_t(__cdecl* getCdList)(uint8_t*) = nullptr;
    uint32_t(__cdecl* getCdHandle)(uint8_t*) = nullptr;
    uint32_t(__cdecl* modifyCdParms)(uint32_t, int, uint32_t) = nullptr;
    uint32_t(__cdecl* readToc)(uint32_t, uint8_t*) = nullptr;
    uint32_t(__cdecl* readFullToc)(uint32_t, uint8_t*) = nullptr;
    uint32_t(__cdecl* readCdAudioLba)(uint32_t, uint8_t*) = nullptr;
    uint32_t(__cdecl* readCdText)(uint32_t, uint8_t*, uint32_t, uint32_t*) = nullptr;
    int(__cdecl* closeCdHandle)(uint32_t) = nullptr;
};

template <typename F>
bool Bind(HMODULE module, const char* name, F* function) {
    *function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}

uint32_t BigEndian(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3];
}

class AkripLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        rigstate::Reset();
        dir_ = harness::ScratchDir();
        lib_.module = LoadLibraryA(harness::BinPath("AKrip32.dll").c_str());
        ASSERT_NE(lib_.module, nullptr) << "AKrip32.dll does not load";
        ASSERT_TRUE(Bind(lib_.module, "GetCDList", &lib_.getCdList));
        ASSERT_TRUE(Bind(lib_.module, "GetCDHandle", &lib_.getCdHandle));
        ASSERT_TRUE(Bind(lib_.module, "ModifyCDParms", &lib_.modifyCdParms));
        ASSERT_TRUE(Bind(lib_.module, "ReadTOC", &lib_.readToc));
        ASSERT_TRUE(Bind(lib_.module, "ReadFullTOC", &lib_.readFullToc));
        ASSERT_TRUE(Bind(lib_.module, "ReadCDAudioLBA", &lib_.readCdAudioLba));
        ASSERT_TRUE(Bind(lib_.module, "ReadCDText", &lib_.readCdText));
        ASSERT_TRUE(Bind(lib_.module, "CloseCDHandle", &lib_.closeCdHandle));
    }
    void TearDown() override {
        if (lib_.module) FreeLibrary(lib_.module);
        rigstate::Reset();
    }

    // Writes a disc into the scratch folder (a CD-Extra with `dataFrames` of data, its
    // sheet naming what `text` names) and puts it into the drive; its model.
    rig::Disc Insert(const std::vector<long>& frames, const std::string& name = "disc", long dataFrames = 0,
                     const akrip::CdText* text = nullptr) {
        std::string cue = harness::JoinPath(dir_, name + ".cue"), error;
        EXPECT_TRUE(discgen::WriteDisc(cue, frames, kSeed, &error, dataFrames, text)) << error;
        rig::Disc disc;
        EXPECT_TRUE(rig::LoadDisc(cue, &disc, &error)) << error;
        rigstate::SetDisc(cue);
        rigstate::SetDoorOpen(false);
        return disc;
    }

    // The drive list (970 bytes, zero-filled) followed by 16 guard bytes.
    std::vector<uint8_t> DriveList() {
        std::vector<uint8_t> list(970 + 16, 0);
        std::memset(&list[970], 0xCC, 16);
        lib_.getCdList(list.data());
        for (size_t i = 970; i < list.size(); ++i) EXPECT_EQ(list[i], 0xCC) << "the drive list overran at " << i;
        return list;
    }
    // A handle to the drive at the address in bytes 2..4 of `list`.
    uint32_t Handle(const std::vector<uint8_t>& list) {
        uint8_t request[12] = {12, 1, list[2], list[3], list[4], 0};
        return lib_.getCdHandle(request);
    }
    uint32_t OpenFirstDrive() {
        std::vector<uint8_t> list = DriveList();
        EXPECT_GE(list[1], 1) << "no drive listed";
        return list[1] ? Handle(list) : 0;
    }

    // Reads `frames` frames from `first` through a transfer buffer whose data area holds
    // `capacity` bytes; `data` gets the delivered bytes, `status` the status word.
    uint32_t Read(uint32_t cd, uint32_t first, uint32_t frames, std::string* data, uint32_t* status = nullptr,
                  uint32_t capacity = 26 * kFrame) {
        std::vector<uint8_t> buffer(24 + capacity + 64, 0xCC);
        uint32_t head[6] = {first, frames, capacity, 0, 0, 0};
        std::memcpy(buffer.data(), head, sizeof head);
        uint32_t result = lib_.readCdAudioLba(cd, buffer.data());
        std::memcpy(head, buffer.data(), sizeof head);
        for (size_t i = 24 + capacity; i < buffer.size(); ++i)
            if (buffer[i] != 0xCC) {
                ADD_FAILURE() << "the read wrote beyond the data area";
                break;
            }
        if (status) *status = head[4];
        data->clear();
        if (result == kOk && head[5] + static_cast<uint64_t>(head[3]) <= capacity)
            data->assign(reinterpret_cast<const char*>(&buffer[24 + head[5]]), head[3]);
        return result;
    }

    // The drive's CD-Text through a buffer of `capacity` bytes (16 guard bytes after it
    // must stay), read by the program's parser; the result, the bytes in *bytes.
    uint32_t ReadText(uint32_t cd, akrip::CdText* text, uint32_t* bytes, uint32_t capacity = akrip::kCdTextAnswerBytes) {
        std::vector<uint8_t> buffer(capacity + 16, 0xCC);
        *bytes = 0xFFFF;
        uint32_t result = lib_.readCdText(cd, buffer.data(), capacity, bytes);
        for (size_t i = capacity; i < buffer.size(); ++i)
            if (buffer[i] != 0xCC) {
                ADD_FAILURE() << "the CD-Text overran its buffer";
                break;
            }
        *text = akrip::CdText();
        if (result == kOk && *bytes <= capacity) akrip::ParseCdText(buffer.data(), *bytes, text);
        return result;
    }
    // The texts of a named disc: UTF-8 in its sheet, and a repeated performer.
    static akrip::CdText SheetText() {
        akrip::CdText text;
        text.disc = {"Gr\xC3\xBC\xC3\x9F Gott", "Die Band", ""};
        text.tracks = {{"Erster Titel", "Die Band", "Ann Composer"}, {"\xE6\x9D\xB1\xE4\xBA\xAC", "Die Band", ""},
                       {"Third and a title long enough for several packs", "Guest", "Ann Composer"}};
        return text;
    }
    // What the packs carry of SheetText(): characters beyond ISO-8859-1 as '?'.
    static void ExpectSheetText(const akrip::CdText& text, size_t tracks) {
        akrip::CdText sheet = SheetText();
        sheet.tracks[1].title = "??";
        EXPECT_EQ(text.disc.title, sheet.disc.title);
        EXPECT_EQ(text.disc.performer, sheet.disc.performer);
        ASSERT_EQ(text.tracks.size(), tracks);
        for (size_t k = 0; k < sheet.tracks.size(); ++k) {
            EXPECT_EQ(text.tracks[k].title, sheet.tracks[k].title) << k;
            EXPECT_EQ(text.tracks[k].performer, sheet.tracks[k].performer) << k;
            EXPECT_EQ(text.tracks[k].songwriter, sheet.tracks[k].songwriter) << k;
        }
    }

    std::string Bin(long first, long frames) {
        std::string bin;
        EXPECT_TRUE(harness::ReadFile(harness::JoinPath(dir_, "disc.bin"), &bin));
        return bin.substr(static_cast<size_t>(first) * kFrame, static_cast<size_t>(frames) * kFrame);
    }
    // Reads `frames` frames from `first` in reads of 26, as a rip does; "" when one fails.
    std::string ReadRange(uint32_t cd, uint32_t first, uint32_t frames) {
        std::string all, chunk;
        for (uint32_t at = first; at < first + frames; at += 26)
            if (Read(cd, at, std::min<uint32_t>(26, first + frames - at), &chunk) != kOk) return "";
            else all += chunk;
        return all;
    }

    Library lib_;
    std::string dir_;
};

TEST_F(AkripLibrary, ListsTheVirtualDriveFirstAndReadsTheDiscsTocAndCdText) {
    const akrip::CdText sheet = SheetText();
    rig::Disc disc = Insert({100, 131, 60}, "disc", 0, &sheet);
    std::vector<uint8_t> list = DriveList();
    ASSERT_GE(list[1], 1);
    uint32_t cd = Handle(list);
    ASSERT_NE(cd, 0u);
    uint8_t wrongVersion[12] = {12, 2, list[2], list[3], list[4], 0};
    EXPECT_EQ(lib_.getCdHandle(wrongVersion), 0u);

    // The addresses come as MSF until the program asks for logical block addresses.
    uint8_t toc[804 + 16];
    std::memset(toc, 0xCC, sizeof toc);
    ASSERT_EQ(lib_.readToc(cd, toc), kOk);
    EXPECT_EQ(BigEndian(&toc[8]), 0x00000200u) << "track 1 at 00:02:00";
    EXPECT_EQ(lib_.modifyCdParms(cd, 36, 0), kOk);
    ASSERT_EQ(lib_.readToc(cd, toc), kOk);
    for (size_t i = 804; i < sizeof toc; ++i) ASSERT_EQ(toc[i], 0xCC) << "the TOC overran";
    EXPECT_EQ(toc[0] << 8 | toc[1], 2 + 8 * 4);
    EXPECT_EQ(toc[2], 1);
    EXPECT_EQ(toc[3], 3);
    // Track n's start in bytes 8n..8n+3, its end (the next start or the lead-out) after it.
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(toc[4 + 8 * (n - 1) + 2], n);
        EXPECT_EQ(BigEndian(&toc[8 * n]), static_cast<uint32_t>(disc.trackStarts[n - 1])) << "track " << n;
    }
    EXPECT_EQ(toc[4 + 8 * 3 + 2], 0xAA);
    EXPECT_EQ(BigEndian(&toc[8 * 4]), static_cast<uint32_t>(disc.leadout));
    EXPECT_EQ(disc.leadout, 291);

    // The sheet's texts as CD-Text; an answer cut to the buffer; none for a sheet without.
    akrip::CdText text;
    uint32_t bytes = 0;
    ASSERT_EQ(ReadText(cd, &text, &bytes), kOk);
    ExpectSheetText(text, 3);
    uint32_t whole = bytes;
    ASSERT_EQ(ReadText(cd, &text, &bytes, 4 + 18 * 3), kOk);
    EXPECT_EQ(bytes, 4u + 18 * 3);
    EXPECT_LT(bytes, whole);
    EXPECT_EQ(text.disc.title, sheet.disc.title) << "the first packs hold the disc's title";
    EXPECT_EQ(ReadText(cd, &text, &bytes, 3), kBadRequest);
    Insert({100, 131, 60});
    ASSERT_EQ(ReadText(cd, &text, &bytes), kOk);
    EXPECT_EQ(bytes, 0u);

    EXPECT_NE(lib_.readToc(cd + 1000, toc), kOk) << "a handle that was never given";
    EXPECT_EQ(lib_.closeCdHandle(cd), 1);
    EXPECT_NE(lib_.readToc(cd, toc), kOk) << "a closed handle";
    EXPECT_EQ(lib_.closeCdHandle(cd), 0);
}

TEST_F(AkripLibrary, RawReadsAreTheBinsBytes) {
    Insert({100, 131, 60});
    uint32_t cd = OpenFirstDrive();
    ASSERT_NE(cd, 0u);
    std::string track, chunk;
    for (uint32_t frame = 100; frame < 231; frame += 26) {
        uint32_t frames = std::min<uint32_t>(26, 231 - frame), status = 0;
        ASSERT_EQ(Read(cd, frame, frames, &chunk, &status), kOk) << frame;
        EXPECT_EQ(status, kOk);
        ASSERT_EQ(chunk.size(), frames * kFrame);
        track += chunk;
    }
    EXPECT_TRUE(track == Bin(100, 131)) << "track 2 differs from the BIN";
    std::vector<uint8_t> pcm;
    discgen::TrackFrames(kSeed, 2, 0, 131, &pcm);
    EXPECT_TRUE(track == std::string(pcm.begin(), pcm.end()));

    uint32_t status = 0;
    ASSERT_EQ(Read(cd, 286, 5, &chunk), kOk) << "up to the lead-out";
    EXPECT_TRUE(chunk == Bin(286, 5));
    EXPECT_EQ(Read(cd, 286, 6, &chunk, &status), kBadRequest) << "past the lead-out";
    EXPECT_EQ(status, kBadRequest);
    EXPECT_EQ(Read(cd, 0, 0, &chunk), kBadRequest);
    EXPECT_EQ(Read(cd, 0, 3, &chunk, nullptr, 2 * kFrame), kBadRequest) << "more frames than the buffer holds";
    lib_.closeCdHandle(cd);
}

TEST_F(AkripLibrary, BadSectorsTheTrayAndTheDiscAreReadAtEachCall) {
    Insert({100, 131, 60});
    uint32_t cd = OpenFirstDrive();
    ASSERT_NE(cd, 0u);
    lib_.modifyCdParms(cd, 36, 0);
    std::string data;
    uint32_t status = 0;

    rigstate::SetBadSectors("120, 200-202");
    EXPECT_EQ(Read(cd, 100, 20, &data), kOk);
    EXPECT_EQ(Read(cd, 100, 21, &data, &status), kReadError);
    EXPECT_EQ(status, kReadError);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(Read(cd, 190, 10, &data), kOk);
    EXPECT_EQ(Read(cd, 190, 11, &data), kReadError);
    EXPECT_EQ(Read(cd, 202, 1, &data), kReadError);
    EXPECT_EQ(Read(cd, 203, 26, &data), kOk);
    rigstate::SetBadSectors("");
    EXPECT_EQ(Read(cd, 100, 26, &data), kOk);
    EXPECT_TRUE(data == Bin(100, 26));
    // A rip under way (each read going on from the last) sees a change within a few
    // milliseconds.
    rigstate::SetBadSectors("130");
    Sleep(10);
    EXPECT_EQ(Read(cd, 126, 26, &data), kReadError);
    rigstate::SetBadSectors("");

    uint8_t toc[804];
    rigstate::SetDoorOpen(true);
    EXPECT_EQ(lib_.readToc(cd, toc), kNotReady);
    EXPECT_EQ(Read(cd, 0, 1, &data, &status), kNotReady);
    EXPECT_EQ(status, kNotReady);
    rigstate::SetDoorOpen(false);
    EXPECT_EQ(lib_.readToc(cd, toc), kOk);

    // Another disc under the same handle.
    Insert({50, 75}, "other");
    ASSERT_EQ(lib_.readToc(cd, toc), kOk);
    EXPECT_EQ(toc[3], 2);
    EXPECT_EQ(BigEndian(&toc[16]), 50u);
    EXPECT_EQ(BigEndian(&toc[24]), 125u);
    EXPECT_EQ(Read(cd, 125, 1, &data), kBadRequest) << "the first disc's frames are gone";

    // The same name, other content: the registry does not change, the files do. First
    // written in place in the middle of a track, then, between reads of tracks, another
    // sheet (naming another BIN) moved over it.
    Insert({30, 20}, "other");
    ASSERT_EQ(Read(cd, 0, 10, &data), kOk);
    Insert({5, 8}, "other");
    EXPECT_EQ(Read(cd, 10, 5, &data), kBadRequest) << "beyond the lead-out of the disc written anew";
    ASSERT_EQ(lib_.readToc(cd, toc), kOk);
    EXPECT_EQ(BigEndian(&toc[16]), 5u);
    EXPECT_EQ(BigEndian(&toc[24]), 13u);
    std::string error, other = harness::JoinPath(dir_, "other.cue"), next = harness::JoinPath(dir_, "next.cue");
    ASSERT_TRUE(discgen::WriteDisc(next, {40, 60}, kSeed, &error)) << error;
    ASSERT_TRUE(MoveFileExA(next.c_str(), other.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Read(cd, 99, 1, &data), kOk);
    EXPECT_TRUE(data == harness::ReadFileOrEmpty(harness::JoinPath(dir_, "next.bin")).substr(99 * kFrame, kFrame));
    ASSERT_EQ(lib_.readToc(cd, toc), kOk);
    EXPECT_EQ(BigEndian(&toc[16]), 40u);

    rigstate::SetDisc("");
    EXPECT_EQ(lib_.readToc(cd, toc), kNotReady);
    EXPECT_EQ(Read(cd, 0, 1, &data), kNotReady);
    lib_.closeCdHandle(cd);
}

TEST_F(AkripLibrary, WithoutTheRigKeyThereIsNoVirtualDrive) {
    Insert({100, 100});
    std::vector<uint8_t> withKey = DriveList();
    ASSERT_GE(withKey[1], 1);
    uint32_t cd = Handle(withKey);
    ASSERT_NE(cd, 0u);
    std::string data;
    ASSERT_EQ(Read(cd, 0, 10, &data), kOk) << "in the middle of track 1";

    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VirtualAudioRig"), ERROR_SUCCESS);
    std::vector<uint8_t> without = DriveList();
    EXPECT_EQ(without[1], withKey[1] - 1) << "the virtual drive is still listed";
    for (int k = 0; k < without[1]; ++k)
        EXPECT_FALSE(std::memcmp(&without[2 + 121 * k], &withKey[2], 3) == 0) << "drive " << k << " is the virtual one";
    EXPECT_EQ(Handle(withKey), 0u);
    EXPECT_EQ(Read(cd, 10, 10, &data), kNotReady);
    uint8_t toc[804];
    EXPECT_EQ(lib_.readToc(cd, toc), kNotReady) << "the open handle reads no disc";
    lib_.closeCdHandle(cd);
}

// ---- the emulated drive ----

class EmulatedDrive : public AkripLibrary {
protected:
    void SetUp() override {
        AkripLibrary::SetUp();
        rigstate::OfferEmulatedDrive(true);
    }
    // The sense of a status word: "K/AS/AQ".
    static std::string SenseOf(uint32_t status) {
        char text[16];
        snprintf(text, sizeof text, "%X/%02X/%02X", status >> 8 & 0xF, status >> 16 & 0xFF, status >> 24);
        return text;
    }
};

// The drive lists as a real one (no virtual drive beside it) with the name the rig
// gives it; its table of contents is the one cd-info reads from the image (the data
// track of a CD-Extra lies a session gap further on the disc than in the BIN), and its
// full table of contents ends the first session there; its read offset shifts what it
// delivers.
TEST_F(EmulatedDrive, IsARealDriveWithTheImagesTocCdTextAndItsOwnReadOffset) {
    const akrip::CdText sheet = SheetText();
    Insert({100, 131}, "disc", 40, &sheet);
    rigstate::SetString("DriveInquiry", "QUORREL, TEST DRIVE, 2.5");
    std::vector<uint8_t> list = DriveList();
    ASSERT_EQ(list[1], 1) << "the virtual drive is listed beside the emulated one";
    const char* record = reinterpret_cast<const char*>(&list[2]);
    EXPECT_EQ(record[3], 'Q');
    EXPECT_STREQ(record + 4, "QUORREL");
    EXPECT_STREQ(record + 13, "TEST DRIVE");
    EXPECT_STREQ(record + 30, "2.5");
    EXPECT_EQ(list[2 + 120], 0) << "the drive is usable";
    uint32_t cd = Handle(list);
    ASSERT_NE(cd, 0u);
    lib_.modifyCdParms(cd, 36, 0);
    uint8_t toc[804];
    ASSERT_EQ(lib_.readToc(cd, toc), kOk) << "the unit attention of the disc's arrival is read past";

    int code = -1;
    const std::string cue = harness::JoinPath(dir_, "disc.cue"), out = harness::JoinPath(dir_, "cd-info.txt");
    ASSERT_TRUE(harness::RunUnixShell(cdinfo::Command("'" + harness::UnixPath(cue) + "'") + " > '" +
                                          harness::UnixPath(out) + "'",
                                      dir_, &code));
    ASSERT_EQ(code, 0) << harness::ReadFileOrEmpty(out);
    std::vector<cdinfo::Row> rows = cdinfo::ParseTrackList(harness::ReadFileOrEmpty(out));
    ASSERT_EQ(rows.size(), 4u) << harness::ReadFileOrEmpty(out);
    EXPECT_EQ(toc[3], 3);
    for (int k = 0; k < 4; ++k) {
        long gap = k >= 2 ? 11400 : 0;   // the data track and the lead-out lie in the second session
        EXPECT_EQ(toc[4 + 8 * k + 2], k < 3 ? k + 1 : 0xAA);
        EXPECT_EQ(BigEndian(&toc[8 + 8 * k]), static_cast<uint32_t>(rows[k].lsn + gap)) << "descriptor " << k;
        EXPECT_EQ((toc[4 + 8 * k + 1] & 4) != 0, rows[k].type == "data" || k == 3) << "control of " << k;
    }
    EXPECT_EQ(rows[2].type, "data");
    uint8_t full[2048];
    ASSERT_EQ(lib_.readFullToc(cd, full), kOk);
    int sessions = 0;
    for (size_t at = 4; at + 11 <= 2u + (full[0] << 8 | full[1]); at += 11)
        if (full[at + 3] == 0xA2) {
            ++sessions;
            long leadout = (full[at + 8] * 60 + full[at + 9]) * 75 + full[at + 10] - 150;
            EXPECT_EQ(leadout, full[at] == 1 ? rows[2].lsn : rows[3].lsn + 11400) << "session " << int(full[at]);
        }
    EXPECT_EQ(sessions, 2);
    akrip::CdText text;
    uint32_t bytes = 0;
    ASSERT_EQ(ReadText(cd, &text, &bytes), kOk);
    ExpectSheetText(text, 3);

    // +6 samples: the drive delivers each sample 6 places early, silence before the disc.
    rigstate::SetNumber("DriveReadOffset", 6);
    EXPECT_TRUE(ReadRange(cd, 100, 131) == Bin(100, 131).insert(0, Bin(99, 1).substr(kFrame - 24)).substr(0, 131 * kFrame));
    std::string first;
    ASSERT_EQ(Read(cd, 0, 1, &first), kOk);
    EXPECT_TRUE(first == std::string(24, '\0') + Bin(0, 1).substr(0, kFrame - 24));
    std::string data;
    uint32_t status = 0;
    EXPECT_EQ(Read(cd, 230, 2, &data, &status), kDriveError) << "audio reads end where the audio session does";
    EXPECT_EQ(SenseOf(status), "5/21/00");
    lib_.closeCdHandle(cd);
}

// Each fault as the library meets it: a drive becoming ready is waited for; another
// disc fails every read until the table of contents is read again; a medium error is
// a read error (the caller's attempts read past a passing one); another sense comes
// back in the status word; a drive that refuses pass-through is named, not used; and
// the drive counts what came from the medium and what from its cache.
TEST_F(EmulatedDrive, SenseFaultsReachTheCallerAsTheyShould) {
    Insert({100, 131, 60});
    uint32_t cd = OpenFirstDrive();
    ASSERT_NE(cd, 0u);
    lib_.modifyCdParms(cd, 36, 0);
    uint8_t toc[804];
    rigstate::SetNumber("NotReadyCommands", 3);
    ASSERT_EQ(lib_.readToc(cd, toc), kOk) << "not waited for while becoming ready";

    std::string data;
    uint32_t status = 0;
    ASSERT_EQ(Read(cd, 100, 26, &data), kOk);
    Insert({50, 75}, "other");
    EXPECT_EQ(Read(cd, 100, 26, &data, &status), kMediumChanged);
    EXPECT_EQ(SenseOf(status), "6/28/00");
    EXPECT_EQ(Read(cd, 0, 26, &data), kMediumChanged) << "a read after the change passes for the old disc's";
    ASSERT_EQ(lib_.readToc(cd, toc), kOk);
    EXPECT_EQ(BigEndian(&toc[24]), 125u) << "the new disc's lead-out";
    EXPECT_EQ(Read(cd, 0, 26, &data), kOk);
    akrip::CdText text;
    uint32_t bytes = 0;
    EXPECT_EQ(ReadText(cd, &text, &bytes), kOk) << "a disc without CD-Text is refused by the drive: none";
    EXPECT_EQ(bytes, 0u);

    Insert({100, 131, 60});
    ASSERT_EQ(lib_.readToc(cd, toc), kOk);
    rigstate::SetString("MediumErrors", "120");
    EXPECT_EQ(Read(cd, 100, 26, &data, &status), kReadError);
    EXPECT_EQ(SenseOf(status), "3/11/00");
    EXPECT_EQ(Read(cd, 100, 26, &data), kReadError);
    ASSERT_EQ(Read(cd, 100, 26, &data), kOk) << "the third read of a medium error reads";
    EXPECT_TRUE(data == Bin(100, 26));
    rigstate::SetBadSectors("130");
    rigstate::SetString("SectorSense", "04/44/00");
    EXPECT_EQ(Read(cd, 126, 26, &data, &status), kDriveError);
    EXPECT_EQ(SenseOf(status), "4/44/00");
    rigstate::SetBadSectors("");

    rigstate::SetNumber("DriveCacheFrames", 40);
    rigstate::SetString("CountedSectors", "150-159, 200");
    for (int pass = 0; pass < 2; ++pass) ASSERT_FALSE(ReadRange(cd, 150, 26).empty());
    EXPECT_EQ(rigstate::String("MediumReads"), "10,0");
    EXPECT_EQ(rigstate::String("CacheHits"), "10,0");
    ASSERT_FALSE(ReadRange(cd, 176, 52).empty());   // the cache moves on past the block
    ASSERT_FALSE(ReadRange(cd, 150, 26).empty());
    EXPECT_EQ(rigstate::String("MediumReads"), "20,1");

    rigstate::SetDoorOpen(true);
    status = lib_.readToc(cd, toc);
    EXPECT_EQ(status & 0xFF, kNotReady);
    EXPECT_EQ(SenseOf(status), "2/3A/02") << "no medium, tray open";
    rigstate::SetDoorOpen(false);
    lib_.closeCdHandle(cd);

    rigstate::SetNumber("DriveDeniesAccess", 1);
    std::vector<uint8_t> list = DriveList();
    ASSERT_EQ(list[1], 1);
    EXPECT_EQ(list[2 + 120], 1) << "the drive that refuses access is not listed as usable";
    EXPECT_STREQ(reinterpret_cast<const char*>(&list[2 + 35]), "Q: refuses to be opened for reading and writing");
    EXPECT_EQ(Handle(list), 0u);
    // Without the rig's offer the drive is not there.
    rigstate::OfferEmulatedDrive(false);
    EXPECT_EQ(DriveList()[1], 1) << "only the virtual drive";
}

}  // namespace
