#include "cddb.h"

#include <cstdio>
#include <cstring>

#include "text.h"

namespace {

constexpr size_t kMaxTracks = 99;

bool IsUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '_' || byte == '.' || byte == '~';
}

// "%XX" for every byte but letters, digits and "-_.~"; a blank is '+'.
std::string UrlEncode(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            out += c;
        } else if (c == ' ') {
            out += '+';
        } else {
            char hex[4];
            snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned>(byte));
            out += hex;
        }
    }
    return out;
}

// A word of the hello: without blanks, never empty.
std::string HelloWord(const std::string& word, const char* fallback) {
    if (word.empty()) return fallback;
    std::string out = word;
    for (char& c : out)
        if (c == ' ') c = '_';
    return out;
}

// The answer's lines without their line ends, as UTF-8.
std::vector<std::string> Lines(const std::string& answer) {
    std::string text = IsValidUtf8(answer) ? answer : Latin1ToUtf8(answer);
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

// The three-digit code that starts the first line, or 0.
int Code(const std::vector<std::string>& lines) {
    if (lines.empty() || lines[0].size() < 3) return 0;
    const std::string& line = lines[0];
    for (size_t k = 0; k < 3; ++k)
        if (line[k] < '0' || line[k] > '9') return 0;
    if (line.size() > 3 && line[3] != ' ') return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// The lines between the first and the line ".", or false when that line is missing.
bool Body(const std::vector<std::string>& lines, std::vector<std::string>* body) {
    body->clear();
    for (size_t k = 1; k < lines.size(); ++k) {
        if (lines[k] == ".") return true;
        body->push_back(lines[k]);
    }
    return false;
}

// A category: a word of printable characters.
bool IsCategory(const std::string& word) {
    if (word.empty()) return false;
    for (char c : word)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return false;
    return true;
}

// A disc id: eight hexadecimal digits.
bool IsDiscId(const std::string& word) {
    return word.size() == 8 && word.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// "category discid title" into `match`; false when the category or the disc id is none.
bool ReadMatch(const std::string& text, bool exact, CddbMatch* match) {
    size_t first = text.find(' ');
    if (first == std::string::npos) return false;
    size_t second = text.find(' ', first + 1);
    match->category = text.substr(0, first);
    match->discId = text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    match->title = second == std::string::npos ? "" : text.substr(second + 1);
    match->exact = exact;
    return IsCategory(match->category) && IsDiscId(match->discId);
}

std::string Unescape(const std::string& value) {
    std::string out;
    for (size_t k = 0; k < value.size(); ++k) {
        if (value[k] == '\\' && k + 1 < value.size() && strchr("nt\\", value[k + 1]) != nullptr) {
            out += value[k + 1] == '\\' ? '\\' : ' ';
            ++k;
        } else {
            out += value[k];
        }
    }
    return out;
}

// "Artist / Title" into its two parts; false without " / ".
bool SplitTitle(const std::string& text, std::string* artist, std::string* title) {
    size_t slash = text.find(" / ");
    if (slash == std::string::npos) return false;
    *artist = text.substr(0, slash);
    *title = text.substr(slash + 3);
    return true;
}

bool IsVariousArtists(const std::string& artist) {
    std::string lowered = artist;
    for (char& c : lowered) c = LowerAsciiChar(c);
    return lowered == "various" || lowered == "various artists";
}

// The n of "TTITLEn", or -1 for another key or an n past the last track.
int TrackIndex(const std::string& key) {
    if (key.compare(0, 6, "TTITLE") != 0 || key.size() == 6 || key.size() > 8) return -1;
    int n = 0;
    for (size_t k = 6; k < key.size(); ++k) {
        if (key[k] < '0' || key[k] > '9') return -1;
        n = n * 10 + (key[k] - '0');
    }
    return n < static_cast<int>(kMaxTracks) ? n : -1;
}

}  // namespace

std::string CddbRequestUrl(const std::string& base, const std::string& command, const std::string& user,
                           const std::string& host, const std::string& version) {
    std::string hello = HelloWord(user, "anonymous") + " " + HelloWord(host, "localhost") + " CDQuorrel " +
                        HelloWord(version, "0");
    return base + "?cmd=" + UrlEncode(command) + "&hello=" + UrlEncode(hello) + "&proto=6";
}

std::string CddbReadCommand(const CddbMatch& match) { return "cddb read " + match.category + " " + match.discId; }

CddbStatus ParseCddbQuery(const std::string& answer, std::vector<CddbMatch>* matches) {
    matches->clear();
    std::vector<std::string> lines = Lines(answer);
    int code = Code(lines);
    if (code == 202) return CddbStatus::kNotFound;
    CddbMatch match;
    if (code == 200) {
        if (!ReadMatch(lines[0].substr(lines[0].size() > 4 ? 4 : lines[0].size()), true, &match))
            return CddbStatus::kFailed;
        matches->push_back(match);
        return CddbStatus::kFound;
    }
    std::vector<std::string> body;
    if ((code != 210 && code != 211) || !Body(lines, &body)) return CddbStatus::kFailed;
    for (const std::string& line : body) {
        if (!ReadMatch(line, code == 210, &match)) {
            matches->clear();
            return CddbStatus::kFailed;
        }
        matches->push_back(match);
    }
    return matches->empty() ? CddbStatus::kNotFound : CddbStatus::kFound;
}

bool ParseCddbRead(const std::string& answer, ReleaseNames* names) {
    *names = ReleaseNames();
    std::vector<std::string> lines = Lines(answer);
    std::vector<std::string> body;
    if (Code(lines) != 210 || !Body(lines, &body)) return false;
    std::string title, year;
    std::vector<std::string> tracks;
    for (const std::string& line : body) {
        if (line.empty() || line[0] == '#') continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        int track = TrackIndex(key);
        if (key == "DTITLE") {
            title += value;
        } else if (key == "DYEAR") {
            year += value;
        } else if (track >= 0) {
            if (tracks.size() <= static_cast<size_t>(track)) tracks.resize(static_cast<size_t>(track) + 1);
            tracks[static_cast<size_t>(track)] += value;
        }
    }
    if (tracks.empty()) return false;
    title = Unescape(title);
    if (!SplitTitle(title, &names->artist, &names->album)) names->artist = names->album = title;
    if (year.size() == 4 && year.find_first_not_of("0123456789") == std::string::npos) names->year = year;
    bool various = IsVariousArtists(names->artist);
    for (size_t k = 0; k < tracks.size(); ++k) {
        TrackNames named;
        named.number = static_cast<int>(k + 1);
        named.title = Unescape(tracks[k]);
        if (various) SplitTitle(Unescape(tracks[k]), &named.artist, &named.title);
        names->tracks.push_back(named);
    }
    names->trackTotal = static_cast<int>(tracks.size());
    return true;
}
