// freedb's answers to "cddb query" and "cddb read", as any server may send them, and
// the request that reads a match back.
//
// Beyond "no fault": a query finds matches exactly when it says so, one for a 200
// answer, each with a category and a disc id of one printable word; a read that succeeds gives
// tracks numbered 1 to their count (99 at most) in order and the count as its total, a
// year of four digits or none, and a failed one leaves the names empty; all text is
// well-formed UTF-8 (an answer that is not is read as ISO 8859-1); the read request's
// address carries the command URL-encoded, and decodes back to it.
#include <string>
#include <vector>

#include "cddb.h"
#include "fuzz_check.h"
#include "text.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The URL-encoded text back; the whole of it must be in the encoding's alphabet.
std::string Decoded(const std::string& text) {
    std::string out;
    for (size_t k = 0; k < text.size(); ++k) {
        char c = text[k];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            FUZZ_CHECK(k + 2 < text.size());
            int high = HexDigit(text[k + 1]), low = HexDigit(text[k + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0);
            out += static_cast<char>(high * 16 + low);
            k += 2;
        } else {
            FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_' || c == '.' || c == '~');
            out += c;
        }
    }
    return out;
}

bool OneWord(const std::string& word) {
    if (word.empty()) return false;
    for (char c : word)
        if (static_cast<unsigned char>(c) <= ' ') return false;
    return true;
}

void CheckQuery(const std::string& answer) {
    std::vector<CddbMatch> matches(1);
    const CddbStatus status = ParseCddbQuery(answer, &matches);
    FUZZ_CHECK((status == CddbStatus::kFound) == !matches.empty());
    if (status == CddbStatus::kFound && answer.compare(0, 3, "200") == 0) FUZZ_CHECK(matches.size() == 1);
    for (const CddbMatch& match : matches) {
        FUZZ_CHECK(OneWord(match.category) && OneWord(match.discId));
        FUZZ_CHECK(IsValidUtf8(match.category) && IsValidUtf8(match.discId) && IsValidUtf8(match.title));
        FUZZ_CHECK(match.title.find('\n') == std::string::npos);
        const std::string command = CddbReadCommand(match);
        const std::string url = CddbRequestUrl("b", command, match.category, match.discId, "1");
        const size_t hello = url.find("&hello=");
        FUZZ_CHECK(url.compare(0, 6, "b?cmd=") == 0 && hello != std::string::npos);
        FUZZ_CHECK(Decoded(url.substr(6, hello - 6)) == command);
        FUZZ_CHECK(url.compare(url.size() - 8, 8, "&proto=6") == 0);
        Decoded(url.substr(hello + 7, url.size() - 8 - hello - 7));
    }
}

void CheckRead(const std::string& answer) {
    ReleaseNames names;
    names.album = "before";
    if (!ParseCddbRead(answer, &names)) {
        FUZZ_CHECK(names.tracks.empty() && names.album.empty() && names.artist.empty() && names.trackTotal == 0);
        return;
    }
    FUZZ_CHECK(!names.tracks.empty() && names.tracks.size() <= 99);
    FUZZ_CHECK(names.trackTotal == static_cast<int>(names.tracks.size()));
    FUZZ_CHECK(names.year.empty() || (names.year.size() == 4 && names.year.find_first_not_of("0123456789") == std::string::npos));
    FUZZ_CHECK(IsValidUtf8(names.artist) && IsValidUtf8(names.album));
    for (size_t k = 0; k < names.tracks.size(); ++k) {
        FUZZ_CHECK(names.tracks[k].number == static_cast<int>(k + 1));
        FUZZ_CHECK(IsValidUtf8(names.tracks[k].title) && IsValidUtf8(names.tracks[k].artist));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    CheckQuery(answer);
    CheckRead(answer);
    return 0;
}
