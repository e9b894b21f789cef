// The virtual drive's disc: CUE sheet parsing, BIN checks and CD arithmetic.
//
// The CUE parser reads files that users and tests write, so it treats its input as
// untrusted bytes: every index is checked, numbers are parsed with bounds, and
// every rejection names the line and the reason in one line of text.
#include "disc.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace rig {
namespace {

constexpr long kMaxCueBytes = 1 << 20;  // a CUE sheet of 99 tracks is a few KB

// One CUE line split into words; a word in double quotes may contain blanks.
// An unterminated quote runs to the end of the line.
std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        std::string word;
        if (c == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos) end = line.size();
            word = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Parses 1 to `maxDigits` decimal digits and nothing else.
bool ParseNumber(const std::string& s, size_t maxDigits, long* value) {
    if (s.empty() || s.size() > maxDigits) return false;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

// "mm:ss:ff" with seconds below 60 and frames below 75, as frames.
bool ParseMsfText(const std::string& s, long* frames) {
    size_t a = s.find(':');
    size_t b = a == std::string::npos ? a : s.find(':', a + 1);
    if (b == std::string::npos) return false;
    long m, sec, f;
    if (!ParseNumber(s.substr(0, a), 3, &m) || !ParseNumber(s.substr(a + 1, b - a - 1), 2, &sec) ||
        !ParseNumber(s.substr(b + 1), 2, &f) || sec >= 60 || f >= kFramesPerSecond)
        return false;
    *frames = MsfToFrames(static_cast<int>(m), static_cast<int>(sec), static_cast<int>(f));
    return true;
}

std::string Printf(const char* format, long a, long b = 0) {
    char buf[160];
    snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

// Keeps at most 60 printable characters of a word taken from the file, for messages.
std::string Shown(const std::string& word) {
    std::string out;
    for (char c : word) {
        if (out.size() >= 60) {
            out += "...";
            break;
        }
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    }
    return out;
}

bool IsWindowsStyle(const std::string& dir) {
    return dir.find('\\') != std::string::npos || (dir.size() >= 2 && dir[1] == ':');
}

bool IsAbsolute(const std::string& name) {
    if (name.empty()) return false;
    if (name[0] == '/' || name[0] == '\\') return true;
    return name.size() >= 2 && name[1] == ':';
}

// The FILE name resolved against the CUE's folder, in the folder's own style.
std::string ResolveBin(const std::string& cueDir, const std::string& name) {
    if (IsAbsolute(name) || cueDir.empty()) return name;
    char sep = IsWindowsStyle(cueDir) ? '\\' : '/';
    std::string rel = name;
    std::replace(rel.begin(), rel.end(), sep == '\\' ? '/' : '\\', sep);
    std::string path = cueDir;
    if (path.back() != '/' && path.back() != '\\') path += sep;
    return path + rel;
}

// Whether `text` is well-formed UTF-8.
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t extra = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : 9;
        if (extra == 9 || i + extra >= text.size()) return false;
        uint32_t point = extra ? c & (0x3F >> extra) : c;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = point << 6 | (next & 0x3F);
        }
        if ((extra == 2 && (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF))) ||
            (extra == 3 && (point < 0x10000 || point > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

// The text of a TITLE, PERFORMER or SONGWRITER line (unquoted words joined by a blank),
// in UTF-8: a sheet written in ISO-8859-1 has its characters converted.
std::string SheetText(const std::vector<std::string>& w) {
    std::string text;
    for (size_t k = 1; k < w.size(); ++k) text += (k > 1 ? " " : "") + w[k];
    if (IsUtf8(text)) return text;
    std::string utf8;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            utf8 += ch;
        } else {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

struct CueState {
    bool haveFile = false;
    std::string fileName;
    int track = 0;              // number of the current TRACK, 0 before the first
    bool trackHasIndex1 = false;
    int session = 1;            // the session the next TRACK belongs to
    bool sessionHasTrack = false;
    long lastBinStart = -1;     // BIN position of the last INDEX 01
};

bool Fail(std::string* error, const std::string& text, int line) {
    if (error) *error = text + Printf(" (line %ld)", line);
    return false;
}

// "REM SESSION nn": the tracks that follow open session nn, the next after the one
// before (01 for the first), which must have a track.
bool ParseSession(const std::vector<std::string>& w, int line, CueState* st, std::string* error) {
    long n;
    if (w.size() < 3 || !ParseNumber(w[2], 2, &n) || n < 1)
        return Fail(error, "REM SESSION needs a number from 01 to 99", line);
    if (st->track == 0 && n == 1 && st->session == 1) return true;   // the first session, declared
    if (st->track > 0 && !st->trackHasIndex1) return Fail(error, Printf("no INDEX 01 for TRACK %02ld", st->track), line);
    if (!st->sessionHasTrack) return Fail(error, Printf("SESSION %02ld has no track", st->session), line);
    if (n != st->session + 1) return Fail(error, Printf("SESSION %02ld out of order", n), line);
    st->session = static_cast<int>(n);
    st->sessionHasTrack = false;
    return true;
}

// Handles one line's words. Returns false with *error set on the first fault.
bool ParseCueLine(const std::vector<std::string>& w, int line, CueState* st, Disc* disc,
                  std::string* error) {
    const std::string key = Upper(w[0]);
    if (key == "REM" && w.size() >= 2 && Upper(w[1]) == "SESSION") return ParseSession(w, line, st, error);
    if (key == "TITLE" || key == "PERFORMER" || key == "SONGWRITER") {
        akrip::CdTextEntry& entry = st->track == 0 ? disc->cdText.disc : disc->cdText.tracks.back();
        std::string& field = key == "TITLE" ? entry.title : key == "PERFORMER" ? entry.performer : entry.songwriter;
        field = SheetText(w);
        return true;
    }
    if (key == "REM" || key == "CATALOG" || key == "CDTEXTFILE" || key == "FLAGS" || key == "ISRC")
        return true;
    if (key == "FILE") {
        if (st->haveFile) return Fail(error, "more than one FILE: only one BIN per disc is supported", line);
        if (w.size() < 3 || w[1].empty()) return Fail(error, "FILE needs a name and a type", line);
        if (Upper(w[2]) != "BINARY")
            return Fail(error, "FILE type '" + Shown(w[2]) + "' is not supported (only BINARY)", line);
        st->haveFile = true;
        st->fileName = w[1];
        return true;
    }
    if (key == "TRACK") {
        long n;
        if (w.size() < 3 || !ParseNumber(w[1], 2, &n) || n < 1)
            return Fail(error, "TRACK needs a number from 01 to 99 and a type", line);
        if (!st->haveFile) return Fail(error, Printf("TRACK %02ld before any FILE", n), line);
        if (st->track > 0 && !st->trackHasIndex1)
            return Fail(error, Printf("no INDEX 01 for TRACK %02ld", st->track), line);
        if (n != st->track + 1) return Fail(error, Printf("TRACK %02ld out of order", n), line);
        const std::string type = Upper(w[2]);
        if (type != "AUDIO" && type != "MODE1/2352")
            return Fail(error, Printf("TRACK %02ld is of type '", n) + Shown(w[2]) +
                                   "': only AUDIO and MODE1/2352 tracks are supported", line);
        st->track = static_cast<int>(n);
        st->trackHasIndex1 = false;
        st->sessionHasTrack = true;
        disc->dataTracks.push_back(type != "AUDIO");
        disc->sessions.push_back(st->session);
        disc->cdText.tracks.emplace_back();
        return true;
    }
    if (key == "INDEX") {
        long n, frames;
        if (w.size() < 3 || !ParseNumber(w[1], 2, &n) || !ParseMsfText(w[2], &frames))
            return Fail(error, "INDEX needs a number and a position mm:ss:ff", line);
        if (st->track == 0) return Fail(error, "INDEX before any TRACK", line);
        if (n != 1) return true;  // INDEX 00 (pre-gap) and sub-indexes do not move the track start
        if (st->trackHasIndex1) return Fail(error, Printf("second INDEX 01 for TRACK %02ld", st->track), line);
        // Tracks follow each other in the BIN, also across a session: a track that began
        // before the previous one's end would share its frames.
        if (frames <= st->lastBinStart)
            return Fail(error, Printf("TRACK %02ld starts before the end of TRACK %02ld", st->track, st->track - 1),
                        line);
        st->lastBinStart = frames;
        disc->trackStarts.push_back(frames + (st->session - 1) * kSessionGapFrames);   // from the BIN to the disc
        st->trackHasIndex1 = true;
        return true;
    }
    if (key == "PREGAP" || key == "POSTGAP") {
        // A gap that is not in the BIN would shift every later address away from
        // the file offsets the drive reads; only empty gaps are accepted.
        long frames;
        if (w.size() < 2 || !ParseMsfText(w[1], &frames))
            return Fail(error, key + " needs a length mm:ss:ff", line);
        if (frames != 0) return Fail(error, key + " with silence outside the BIN is not supported", line);
        return true;
    }
    return Fail(error, "unknown CUE command '" + Shown(w[0]) + "'", line);
}

}  // namespace

bool ParseCue(const std::string& text, const std::string& cueDir, Disc* disc, std::string* error) {
    *disc = Disc();
    CueState st;
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // UTF-8 byte order mark
    int line = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        ++line;
        std::vector<std::string> words = SplitWords(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        pos = end + 1;
        if (words.empty()) continue;
        if (!ParseCueLine(words, line, &st, disc, error)) {
            *disc = Disc();
            return false;
        }
    }
    const char* fault = nullptr;
    if (!st.haveFile) fault = "no FILE in the CUE sheet";
    else if (st.track == 0) fault = "no TRACK in the CUE sheet";
    if (fault) {
        if (error) *error = fault;
        *disc = Disc();
        return false;
    }
    if (!st.trackHasIndex1 || !st.sessionHasTrack) {
        if (error)
            *error = st.sessionHasTrack ? Printf("no INDEX 01 for TRACK %02ld", st.track)
                                        : Printf("SESSION %02ld has no track", st.session);
        *disc = Disc();
        return false;
    }
    disc->binPath = ResolveBin(cueDir, st.fileName);
    return true;
}

bool LoadDisc(const std::string& cuePath, Disc* disc, std::string* error) {
    *disc = Disc();
    std::ifstream cue(cuePath, std::ios::binary);
    if (!cue) {
        if (error) *error = "CUE file '" + cuePath + "' cannot be opened";
        return false;
    }
    std::string text(kMaxCueBytes + 1, '\0');
    cue.read(&text[0], static_cast<std::streamsize>(text.size()));
    if (cue.bad()) {
        if (error) *error = "CUE file '" + cuePath + "' cannot be read";
        return false;
    }
    text.resize(static_cast<size_t>(cue.gcount()));
    if (text.size() > static_cast<size_t>(kMaxCueBytes)) {
        if (error) *error = "CUE file '" + cuePath + "' is too large to be a CUE sheet";
        return false;
    }
    size_t slash = cuePath.find_last_of("/\\");
    std::string dir = slash == std::string::npos ? std::string() : cuePath.substr(0, slash + 1);
    Disc parsed;
    if (!ParseCue(text, dir, &parsed, error)) return false;

    std::string shownBin = Shown(parsed.binPath.substr(parsed.binPath.find_last_of("/\\") + 1));
    std::ifstream bin(parsed.binPath, std::ios::binary | std::ios::ate);
    std::streamoff size = bin ? static_cast<std::streamoff>(bin.tellg()) : -1;
    if (!bin || size < 0) {
        if (error) *error = "BIN file '" + shownBin + "' not found";
        return false;
    }
    if (size % kBytesPerFrame != 0) {
        if (error) *error = "BIN file '" + shownBin + "' is not a whole number of frames";
        return false;
    }
    // 100 minutes is beyond any CD and keeps every address far from overflow.
    if (size / kBytesPerFrame > 100L * 60 * kFramesPerSecond) {
        if (error) *error = "BIN file '" + shownBin + "' is longer than 100 minutes";
        return false;
    }
    long binFrames = static_cast<long>(size / kBytesPerFrame);
    parsed.leadout = binFrames + (parsed.Session(parsed.TrackCount()) - 1) * kSessionGapFrames;
    for (int k = 0; k < parsed.TrackCount(); ++k) {
        if (parsed.trackStarts[k] - (parsed.Session(k + 1) - 1) * kSessionGapFrames >= binFrames) {
            if (error) *error = Printf("TRACK %02ld starts beyond the end of the BIN", k + 1);
            return false;
        }
    }
    *disc = parsed;
    return true;
}

// ---- CD arithmetic ----

Msf FramesToMsf(long frames) {
    Msf msf;
    if (frames < 0) return msf;
    msf.m = static_cast<int>(frames / (60L * kFramesPerSecond));
    msf.s = static_cast<int>(frames / kFramesPerSecond % 60);
    msf.f = static_cast<int>(frames % kFramesPerSecond);
    return msf;
}

long MsfToFrames(int m, int s, int f) {
    return (static_cast<long>(m) * 60 + s) * kFramesPerSecond + f;
}

uint32_t PackMsf(const Msf& msf) {
    return (static_cast<uint32_t>(msf.m) & 0xFF) | (static_cast<uint32_t>(msf.s) & 0xFF) << 8 |
           (static_cast<uint32_t>(msf.f) & 0xFF) << 16;
}

uint32_t PackTmsf(int track, const Msf& msf) {
    return (static_cast<uint32_t>(track) & 0xFF) | (static_cast<uint32_t>(msf.m) & 0xFF) << 8 |
           (static_cast<uint32_t>(msf.s) & 0xFF) << 16 | (static_cast<uint32_t>(msf.f) & 0xFF) << 24;
}

Msf UnpackMsf(uint32_t packed) {
    Msf msf;
    msf.m = static_cast<int>(packed & 0xFF);
    msf.s = static_cast<int>(packed >> 8 & 0xFF);
    msf.f = static_cast<int>(packed >> 16 & 0xFF);
    return msf;
}

void UnpackTmsf(uint32_t packed, int* track, Msf* msf) {
    *track = static_cast<int>(packed & 0xFF);
    msf->m = static_cast<int>(packed >> 8 & 0xFF);
    msf->s = static_cast<int>(packed >> 16 & 0xFF);
    msf->f = static_cast<int>(packed >> 24 & 0xFF);
}

long TrackEnd(const Disc& disc, int track) {
    if (track < 1 || track > disc.TrackCount()) return 0;
    if (track == disc.TrackCount()) return disc.leadout;
    long next = disc.trackStarts[track];
    return disc.Session(track + 1) != disc.Session(track) ? next - kSessionGapFrames : next;
}

long TrackLengthFrames(const Disc& disc, int track) {
    if (track < 1 || track > disc.TrackCount()) return 0;
    long start = disc.trackStarts[track - 1];
    long end = track < disc.TrackCount() ? TrackEnd(disc, track) : disc.leadout - 1;
    return std::max(0L, end - start);
}

namespace {

// The track whose frames hold `lba`, or 0 (before the first track, in a gap, past the end).
int TrackHolding(const Disc& disc, long lba) {
    auto it = std::upper_bound(disc.trackStarts.begin(), disc.trackStarts.end(), lba);
    int track = static_cast<int>(it - disc.trackStarts.begin());
    return track >= 1 && lba < TrackEnd(disc, track) ? track : 0;
}

}  // namespace

bool LbaToBinFrame(const Disc& disc, long lba, long* binFrame) {
    int track = TrackHolding(disc, lba);
    if (track == 0) return false;
    *binFrame = lba - (disc.Session(track) - 1) * kSessionGapFrames;
    return true;
}

long AudioRunEnd(const Disc& disc, long lba) {
    int track = TrackHolding(disc, lba);
    if (track == 0 || disc.IsData(track)) return lba;
    while (track < disc.TrackCount() && !disc.IsData(track + 1) && disc.Session(track + 1) == disc.Session(track))
        ++track;
    return TrackEnd(disc, track);
}

long DiscLengthFrames(const Disc& disc) {
    if (disc.trackStarts.empty()) return 0;
    return std::max(0L, disc.leadout - disc.trackStarts.front() - 1);
}

bool TmsfToLba(const Disc& disc, uint32_t tmsf, long* lba) {
    int track;
    Msf msf;
    UnpackTmsf(tmsf, &track, &msf);
    if (track < 1 || track > disc.TrackCount()) return false;
    *lba = disc.trackStarts[track - 1] + MsfToFrames(msf.m, msf.s, msf.f);
    return true;
}

uint32_t LbaToTmsf(const Disc& disc, long lba) {
    if (disc.trackStarts.empty()) return 0;
    // The last track whose start is at or before lba; before track 1 counts as its start.
    auto it = std::upper_bound(disc.trackStarts.begin(), disc.trackStarts.end(), lba);
    int track = std::max(1, static_cast<int>(it - disc.trackStarts.begin()));
    return PackTmsf(track, FramesToMsf(lba - disc.trackStarts[track - 1]));
}

uint32_t LbaToMsf(long lba) {
    return PackMsf(FramesToMsf(lba + kPregapFrames));
}

long MsfToLba(uint32_t msf) {
    Msf m = UnpackMsf(msf);
    return MsfToFrames(m.m, m.s, m.f) - kPregapFrames;
}

uint32_t FramesToMs(long frames) {
    if (frames < 0) return 0;
    return static_cast<uint32_t>(static_cast<long long>(frames) * 1000 / kFramesPerSecond + 1);
}

long MsToFrames(uint32_t ms) {
    return static_cast<long>(((static_cast<long long>(ms) - 1) * kFramesPerSecond + 500) / 1000);
}

}  // namespace rig
