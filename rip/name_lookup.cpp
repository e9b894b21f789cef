#include "name_lookup.h"

#include <wininet.h>

#include <string>
#include <vector>

#include "accuraterip.h"
#include "akrip32.h"
#include "cddb.h"
#include "cdtext.h"
#include "cdtext_names.h"
#include "discid.h"
#include "drive.h"
#include "musicbrainz.h"
#include "names.h"
#include "net.h"
#include "quorrel_version.h"
#include "toc.h"
#include "window_kit.h"

namespace {

using akrip::kResultOk;

const DWORD kNameTimeoutMs = 4000;
const size_t kMaxAnswerBytes = 4 << 20;
const DWORD kMusicBrainzSpacingMs = 1000;   // MusicBrainz takes at most one request a second

DWORD g_lastMusicBrainzRequest = 0;
bool g_askedMusicBrainz = false;

std::string BaseOf(const char* value, const char* fallback) {
    std::string base;
    if (!ReadProgramValue(value, &base, nullptr) || base.empty()) base = fallback;
    return base;
}

// The disc's layout from the extraction library's table of contents; false without one.
bool ReadLayout(HCDROM cd, DiscLayout* layout) {
    akrip::Toc toc;
    return ModifyCDParms(cd, akrip::kParmMsfToc, 0) == kResultOk && ReadTOC(cd, &toc) == kResultOk &&
           LayoutFromToc(toc, layout);
}

int AudioTracks(const DiscLayout& layout) { return layout.AudioTracks(); }

bool FromMusicBrainz(const std::string& id, int audioTracks, DiscNames* names, std::string* account) {
    if (g_askedMusicBrainz) {
        DWORD since = GetTickCount() - g_lastMusicBrainzRequest;
        if (since < kMusicBrainzSpacingMs) Sleep(kMusicBrainzSpacingMs - since);
    }
    std::string body;
    DWORD status = HttpGet(MusicBrainzLookupUrl(BaseOf(kMusicBrainzValue, kDefaultMusicBrainz), id), kMaxAnswerBytes,
                           kNameTimeoutMs, kUserAgent, &body);
    g_askedMusicBrainz = true;
    g_lastMusicBrainzRequest = GetTickCount();
    if (status == HTTP_STATUS_OK && ParseMusicBrainzDisc(body, id, audioTracks, &names->releases)) {
        names->source = NameSource::kMusicBrainz;
        *account = "from MusicBrainz (disc id " + id + ", " + std::to_string(names->releases.size()) +
                   (names->releases.size() == 1 ? " release)" : " releases)");
        return true;
    }
    *account = status == HTTP_STATUS_OK      ? "MusicBrainz's answer unreadable"
               : status == HTTP_STATUS_NOT_FOUND ? "MusicBrainz does not know disc id " + id
               : status == 0                  ? "MusicBrainz not reached"
                                             : "MusicBrainz answered " + std::to_string(status);
    return false;
}

bool FromCdText(HCDROM cd, DiscNames* names) {
    std::vector<uint8_t> answer(akrip::kCdTextAnswerBytes);
    uint32_t bytes = 0;
    akrip::CdText text;
    if (ReadCDText(cd, answer.data(), static_cast<uint32_t>(answer.size()), &bytes) != kResultOk || bytes == 0 ||
        !akrip::ParseCdText(answer.data(), bytes, &text) || !NamesFromCdText(text, names))
        return false;
    names->source = NameSource::kCdText;
    return true;
}

std::string FreedbAddress(const std::string& command) {
    return CddbRequestUrl(BaseOf(kFreedbValue, kDefaultFreedb), command, "cdquorrel", "localhost", QUORREL_VERSION_TEXT);
}

bool FromFreedb(const DiscLayout& layout, DiscNames* names, std::string* account) {
    const std::string query = FreedbQueryCommand(layout);
    if (query.empty()) return false;
    std::string body;
    std::vector<CddbMatch> matches;
    DWORD status = HttpGet(FreedbAddress(query), kMaxAnswerBytes, kNameTimeoutMs, kUserAgent, &body);
    CddbStatus found = status == HTTP_STATUS_OK ? ParseCddbQuery(body, &matches) : CddbStatus::kFailed;
    if (found != CddbStatus::kFound || matches.empty()) {
        *account = status == 0 ? "freedb not reached" : found == CddbStatus::kNotFound ? "freedb has no entry" : "freedb's answer unreadable";
        return false;
    }
    // Each entry it names is a release to choose from; a few at most, one request each.
    for (size_t k = 0; k < matches.size() && k < 3; ++k) {
        ReleaseNames release;
        if (HttpGet(FreedbAddress(CddbReadCommand(matches[k])), kMaxAnswerBytes, kNameTimeoutMs, kUserAgent, &body) ==
                HTTP_STATUS_OK &&
            ParseCddbRead(body, &release)) {
            release.trackTotal = static_cast<int>(release.tracks.size());
            names->releases.push_back(release);
        }
    }
    if (names->releases.empty()) {
        *account = "freedb's entry unreadable";
        return false;
    }
    names->source = NameSource::kFreedb;
    *account = "from freedb (" + matches[0].category + " " + matches[0].discId + ")";
    return true;
}

// Asks the sources in turn; the account says which named the disc, or why none did.
std::string LookUp(HCDROM cd, const DiscLayout& layout, const std::string& id, DiscNames* names) {
    std::string musicBrainz, freedb;
    if (FromMusicBrainz(id, AudioTracks(layout), names, &musicBrainz)) return musicBrainz;
    if (FromCdText(cd, names)) return "from the disc's CD-Text";
    if (FromFreedb(layout, names, &freedb)) return freedb;
    return "none (" + musicBrainz + "; no CD-Text" + (freedb.empty() ? "" : "; " + freedb) + ")";
}

}  // namespace

void NameDiscInDrive(HWND hwnd) {
    if (!g_drive.discScanned || g_tracks.trackCount < 1) return;
    if (g_names.looked && g_names.discChanges == g_tracks.discChanges) return;
    g_names.looked = true;
    g_names.discChanges = g_tracks.discChanges;
    g_names.names = DiscNames();
    g_names.account.clear();
    HCDROM cd = static_cast<HCDROM>(g_app.extractionHandle);
    DiscLayout layout;
    if (cd == 0 || !ReadLayout(cd, &layout)) return;
    const std::string id = MusicBrainzDiscId(layout);
    if (id.empty()) return;
    g_names.discId = id;
    auto seen = g_names.seen.find(id);
    if (seen == g_names.seen.end()) {
        HCURSOR before = SetCursor(g_app.busyCursor);
        DiscNames names;
        std::string account = LookUp(cd, layout, id, &names);
        seen = g_names.seen.emplace(id, std::make_pair(names, account)).first;
        SetCursor(before);
    }
    g_names.names = seen->second.first;
    g_names.account = seen->second.second;
    if (!g_names.names.Chosen()) return;
    ChooseRelease(g_names.names.chosen);
    ShowSourceSongName();
    InvalidateRect(hwnd, nullptr, FALSE);
}
