#include "mmc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "cdtext.h"
#include "toc.h"

namespace rig {
namespace mmc {
namespace {

void Put16(std::vector<uint8_t>* out, size_t at, uint32_t value) {
    (*out)[at] = static_cast<uint8_t>(value >> 8);
    (*out)[at + 1] = static_cast<uint8_t>(value);
}

void Put32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// `text` in a field of `width` bytes, padded with blanks.
void PutText(std::vector<uint8_t>* out, size_t at, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; ++i) (*out)[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

std::string Trimmed(const std::string& text) {
    size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) return "";
    return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

// An absolute MSF position of an LBA: 0 M S F.
void PutMsf(uint8_t* out, long lba) {
    Msf msf = FramesToMsf(lba + kPregapFrames);
    out[0] = 0;
    out[1] = static_cast<uint8_t>(msf.m);
    out[2] = static_cast<uint8_t>(msf.s);
    out[3] = static_cast<uint8_t>(msf.f);
}

void PutAddress(uint8_t* out, long lba, bool msf) {
    if (msf)
        PutMsf(out, lba);
    else
        Put32(out, static_cast<uint32_t>(lba));
}

uint8_t AdrControl(const Disc& disc, int track) { return disc.IsData(track) ? 0x14 : 0x10; }

int LastSession(const Disc& disc) { return disc.TrackCount() ? disc.Session(disc.TrackCount()) : 1; }

bool FormatZero(const Disc& disc, bool msf, int number, std::vector<uint8_t>* answer) {
    akrip::Toc toc;
    if (!akrip::BuildToc(disc.trackStarts, disc.leadout, msf, &toc, disc.dataTracks)) return false;
    int count = disc.TrackCount();
    int from = number == akrip::kLeadoutTrack ? count : number <= 1 ? 0 : number - 1;
    if (number != akrip::kLeadoutTrack && number > count) return false;
    size_t descriptors = static_cast<size_t>(count - from + 1);
    answer->assign(4 + 8 * descriptors, 0);
    Put16(answer, 0, static_cast<uint32_t>(2 + 8 * descriptors));
    (*answer)[2] = 1;
    (*answer)[3] = static_cast<uint8_t>(count);
    std::memcpy(answer->data() + 4, &toc.descriptors[from], 8 * descriptors);
    return true;
}

bool FormatOne(const Disc& disc, bool msf, std::vector<uint8_t>* answer) {
    int last = LastSession(disc), first = 1;
    while (first < disc.TrackCount() && disc.Session(first) != last) ++first;
    answer->assign(12, 0);
    Put16(answer, 0, 10);
    (*answer)[2] = 1;
    (*answer)[3] = static_cast<uint8_t>(last);
    (*answer)[5] = AdrControl(disc, first);
    (*answer)[6] = static_cast<uint8_t>(first);
    PutAddress(answer->data() + 8, disc.trackStarts[first - 1], msf);
    return true;
}

// One descriptor of the full TOC: session, ADR 1 and control, TNO 0, the point, the
// running time (0) and the point's value in PMIN, PSEC, PFRAME.
void AddPoint(std::vector<uint8_t>* answer, int session, uint8_t adrControl, uint8_t point, uint8_t pmin,
              uint8_t psec, uint8_t pframe) {
    const uint8_t d[11] = {static_cast<uint8_t>(session), adrControl, 0, point, 0, 0, 0, 0, pmin, psec, pframe};
    answer->insert(answer->end(), d, d + sizeof d);
}

bool FormatTwo(const Disc& disc, std::vector<uint8_t>* answer) {
    answer->assign(4, 0);
    int last = LastSession(disc);
    for (int session = 1; session <= last; ++session) {
        int first = 0, final = 0;
        for (int k = 1; k <= disc.TrackCount(); ++k)
            if (disc.Session(k) == session) {
                if (!first) first = k;
                final = k;
            }
        if (!first) continue;
        uint8_t lead[4];
        PutMsf(lead, SessionLeadout(disc, session));
        AddPoint(answer, session, AdrControl(disc, first), 0xA0, static_cast<uint8_t>(first), 0x00, 0);
        AddPoint(answer, session, AdrControl(disc, final), 0xA1, static_cast<uint8_t>(final), 0, 0);
        AddPoint(answer, session, AdrControl(disc, final), 0xA2, lead[1], lead[2], lead[3]);
        for (int k = first; k <= final; ++k) {
            uint8_t at[4];
            PutMsf(at, disc.trackStarts[k - 1]);
            AddPoint(answer, session, AdrControl(disc, k), static_cast<uint8_t>(k), at[1], at[2], at[3]);
        }
    }
    Put16(answer, 0, static_cast<uint32_t>(answer->size() - 2));
    (*answer)[2] = 1;
    (*answer)[3] = static_cast<uint8_t>(last);
    return true;
}

// A feature descriptor: its code, version, persistent and current bits, and data.
void AddFeature(std::vector<uint8_t>* out, uint16_t code, int version, bool persistent, bool current,
                const std::vector<uint8_t>& data) {
    out->push_back(static_cast<uint8_t>(code >> 8));
    out->push_back(static_cast<uint8_t>(code));
    out->push_back(static_cast<uint8_t>(version << 2 | (persistent ? 2 : 0) | (current ? 1 : 0)));
    out->push_back(static_cast<uint8_t>(data.size()));
    out->insert(out->end(), data.begin(), data.end());
}

}  // namespace

size_t SenseData(const Sense& sense, uint8_t* out, size_t room) {
    uint8_t data[kSenseBytes] = {};
    data[0] = sense.hasLba ? 0xF0 : 0x70;
    data[2] = sense.key;
    if (sense.hasLba) Put32(data + 3, sense.lba);
    data[7] = kSenseBytes - 8;
    data[12] = sense.asc;
    data[13] = sense.ascq;
    size_t n = std::min(room, kSenseBytes);
    std::memcpy(out, data, n);
    return n;
}

bool ParseSenseText(const std::string& text, Sense* sense) {
    unsigned values[3];
    size_t at = 0;
    std::string t = Trimmed(text);
    for (int part = 0; part < 3; ++part) {
        size_t end = part < 2 ? t.find('/', at) : t.size();
        if (end == std::string::npos || end == at || end - at > 2) return false;
        values[part] = 0;
        for (size_t i = at; i < end; ++i) {
            if (!std::isxdigit(static_cast<unsigned char>(t[i]))) return false;
            values[part] = values[part] * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(t[i]))
                                                                          ? t[i] - '0'
                                                                          : std::tolower(t[i]) - 'a' + 10);
        }
        at = end + 1;
    }
    if (values[0] > 0xF) return false;
    *sense = Sense{static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]), static_cast<uint8_t>(values[2])};
    return true;
}

Identity ParseIdentity(const std::string& text) {
    Identity identity;
    std::string* fields[] = {&identity.vendor, &identity.product, &identity.revision};
    size_t at = 0;
    for (std::string* field : fields) {
        if (at > text.size()) break;
        size_t comma = text.find(',', at);
        std::string part = Trimmed(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (!part.empty()) *field = part;
        at = comma == std::string::npos ? text.size() + 1 : comma + 1;
    }
    return identity;
}

std::vector<uint8_t> InquiryAnswer(const Identity& identity) {
    std::vector<uint8_t> answer(36, 0);
    answer[0] = 0x05;   // CD/DVD device
    answer[1] = 0x80;   // removable medium
    answer[2] = 0x05;   // SPC-3
    answer[3] = 0x02;   // response data format 2
    answer[4] = static_cast<uint8_t>(answer.size() - 5);
    PutText(&answer, 8, identity.vendor, 8);
    PutText(&answer, 16, identity.product, 16);
    PutText(&answer, 32, identity.revision, 4);
    return answer;
}

std::vector<uint8_t> ConfigurationAnswer(const Capabilities& caps, int requestType, uint16_t start) {
    struct Feature {
        uint16_t code;
        int version;
        bool persistent, current;
        std::vector<uint8_t> data;
    };
    const bool medium = caps.mediumPresent;
    const bool c2 = caps.c2 != C2Support::kNone;
    const Feature features[] = {
        {0x0000, 0, true, true, {0x00, 0x08, static_cast<uint8_t>(medium ? 1 : 0), 0}},   // profile list: CD-ROM
        {0x0001, 0, true, true, {0, 0, 0, 2, 0, 0, 0, 0}},                                // core: ATAPI
        {0x0003, 0, true, true, {static_cast<uint8_t>(0x20 | 0x08 | 0x01 | (caps.locked ? 0x04 : 0)), 0, 0, 0}},
        {0x0010, 0, false, medium, {0, 0, 0x08, 0, 0, 1, 0, 0}},                          // random readable, 2 KB
        {0x001E, 2, false, medium, {static_cast<uint8_t>(c2 ? 0x03 : 0x01), 0, 0, 0}},    // CD Read: C2, CD-Text
    };
    std::vector<uint8_t> answer(8, 0);
    answer[7] = medium ? 0x08 : 0x00;   // current profile
    for (const Feature& f : features) {
        bool wanted = requestType == 2 ? f.code == start : f.code >= start && (requestType != 1 || f.current);
        if (wanted) AddFeature(&answer, f.code, f.version, f.persistent, f.current, f.data);
    }
    uint32_t length = static_cast<uint32_t>(answer.size() - 4);
    Put32(answer.data(), length);
    return answer;
}

bool ModeSenseAnswer(const Capabilities& caps, bool tenByte, int pageControl, int page, std::vector<uint8_t>* answer) {
    if (page != 0x2A && page != 0x3F) return false;
    std::vector<uint8_t> p(22, 0);
    p[0] = 0x2A;
    p[1] = static_cast<uint8_t>(p.size() - 2);
    if (pageControl != 1) {
        const uint32_t bufferKb = static_cast<uint32_t>(static_cast<uint64_t>(caps.cacheFrames) * 2352 / 1024);
        p[2] = 0x07;                                            // reads CD-R, CD-RW, method 2
        p[4] = 0x71;                                            // audio play, mode 2 forms 1 and 2, multi-session
        p[5] = static_cast<uint8_t>(0x03 | (caps.c2 != C2Support::kNone ? 0x10 : 0));   // CD-DA, accurate stream, C2
        p[6] = static_cast<uint8_t>(0x20 | 0x08 | 0x01 | (caps.locked ? 0x02 : 0));     // tray, eject, lock
        p[7] = 0x03;                                            // separate volume and mute
        Put16(&p, 8, 7056);                                     // 40x
        Put16(&p, 10, 256);
        Put16(&p, 12, std::min<uint32_t>(bufferKb, 0xFFFF));
        Put16(&p, 14, 7056);
    }
    const size_t header = tenByte ? 8 : 4;
    answer->assign(header, 0);
    answer->insert(answer->end(), p.begin(), p.end());
    if (tenByte)
        Put16(answer, 0, static_cast<uint32_t>(answer->size() - 2));
    else
        (*answer)[0] = static_cast<uint8_t>(answer->size() - 1);
    return true;
}

std::vector<uint8_t> CapacityAnswer(const Disc& disc) {
    std::vector<uint8_t> answer(8, 0);
    Put32(answer.data(), static_cast<uint32_t>(disc.leadout > 0 ? disc.leadout - 1 : 0));
    Put32(answer.data() + 4, 2048);
    return answer;
}

long SessionLeadout(const Disc& disc, int session) {
    int last = 0;
    for (int k = 1; k <= disc.TrackCount(); ++k)
        if (disc.Session(k) == session) last = k;
    return last ? TrackEnd(disc, last) : 0;
}

bool TocAnswer(const Disc& disc, int format, bool msf, int number, std::vector<uint8_t>* answer) {
    if (disc.TrackCount() == 0) return false;
    switch (format) {
    case 0: return FormatZero(disc, msf, number, answer);
    case 1: return FormatOne(disc, msf, answer);
    case 2: return FormatTwo(disc, answer);
    case 5: return akrip::EncodeCdText(disc.cdText, answer);
    default: return false;
    }
}

bool ParseReadCd(const uint8_t* cdb, ReadCdRequest* request, Sense* sense) {
    *sense = kInvalidField;
    request->sectorType = cdb[1] >> 2 & 7;
    request->lba = static_cast<uint32_t>(cdb[2]) << 24 | static_cast<uint32_t>(cdb[3]) << 16 |
                   static_cast<uint32_t>(cdb[4]) << 8 | cdb[5];
    request->frames = static_cast<uint32_t>(cdb[6]) << 16 | static_cast<uint32_t>(cdb[7]) << 8 | cdb[8];
    // For CD-DA sectors sync, header, user data and EDC/ECC are all the 2,352 bytes.
    request->mainChannel = (cdb[9] & 0xF8) != 0;
    int errorField = cdb[9] >> 1 & 3;
    request->c2Bytes = errorField == 1 ? 294 : errorField == 2 ? 296 : 0;
    if (request->sectorType > 1 || errorField == 3 || (cdb[10] & 7) != 0) return false;
    return true;
}

void C2Field(const uint8_t* delivered, const uint8_t* truth, int c2Bytes, uint8_t* out) {
    std::memset(out, 0, static_cast<size_t>(c2Bytes));
    uint8_t any = 0;
    for (size_t i = 0; i < 2352; ++i)
        if (delivered[i] != truth[i]) out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    for (size_t i = 0; i < 294; ++i) any |= out[i];
    if (c2Bytes == 296) out[294] = any;
}

void QChannelPosition(const Disc& disc, const PlayView& play, uint8_t* out) {
    std::memset(out, 0, kQChannelBytes);
    out[1] = play.playing ? 0x11 : play.paused ? 0x12 : play.completed ? 0x13 : 0x15;
    out[3] = static_cast<uint8_t>(kQChannelBytes - 4);
    out[4] = 0x01;   // current position
    int track = 0;
    for (int k = 1; k <= disc.TrackCount(); ++k)
        if (disc.trackStarts[k - 1] <= play.position) track = k;
    if (track == 0 && disc.TrackCount() > 0) track = 1;
    out[5] = track ? AdrControl(disc, track) : 0x10;
    out[6] = static_cast<uint8_t>(track);
    out[7] = 1;
    PutMsf(out + 8, play.position);
    long relative = track ? play.position - disc.trackStarts[track - 1] : play.position;
    Msf msf = FramesToMsf(relative < 0 ? 0 : relative);
    out[13] = static_cast<uint8_t>(msf.m);
    out[14] = static_cast<uint8_t>(msf.s);
    out[15] = static_cast<uint8_t>(msf.f);
}

long MsfBytesToLba(const uint8_t* msf) { return MsfToFrames(msf[0], msf[1], msf[2]) - kPregapFrames; }

}  // namespace mmc
}  // namespace rig
