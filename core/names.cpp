#include "names.h"

#include "drive.h"
#include "engine_state.h"
#include "naming.h"
#include "window_kit.h"

NamesState g_names;

namespace {

// Bytes of a stem a file name may take: the song name field's 255 characters less a
// folder's share and the ending.
const size_t kStemBytes = 200;

// A source's UTF-8 text in the program's code page: as it is where the system takes the
// manifest's UTF-8; else the characters the code page has, and '_' for the rest.
std::string ProgramText(const std::string& utf8) {
    if (GetACP() == CP_UTF8 || utf8.empty()) return utf8;
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (units <= 0) return "";
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], units);
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, "_", nullptr);
    if (bytes <= 0) return "";
    std::string text(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, &text[0], bytes, "_", nullptr);
    return text;
}

}  // namespace

const ReleaseNames* DiscRelease() {
    if (!g_names.looked || g_names.discChanges != g_tracks.discChanges) return nullptr;
    return g_names.names.Chosen();
}

void ChooseRelease(size_t index) {
    if (index >= g_names.names.releases.size()) return;
    g_names.names.chosen = index;
    ReleaseNames shown = g_names.names.releases[index];   // the table holds the program's code page
    for (TrackNames& track : shown.tracks) track.title = ProgramText(track.title);
    ApplyReleaseNames(shown, &g_tracks, &g_names.given);
}

const char* SourceNameOf(int track) {
    if (!DiscRelease() || track < 1 || track > kMaxTrack || g_names.given.names[track][0] == '\0') return nullptr;
    if (g_tracks.trackNames[track][0] != '\0' && !HoldsGivenName(g_tracks, g_names.given, track)) return nullptr;
    return g_names.given.names[track];
}

std::string ReleaseLabel(size_t index) {
    if (index >= g_names.names.releases.size()) return "";
    const ReleaseNames& release = g_names.names.releases[index];
    std::string label = release.artist.empty() ? release.album : release.artist + " \xE2\x80\x93 " + release.album;
    std::string detail = release.year;
    if (!release.country.empty()) detail += (detail.empty() ? "" : ", ") + release.country;
    if (!detail.empty()) label += " (" + detail + ")";
    return ProgramText(label);
}

bool TrackNamedBySource(int track) { return DiscRelease() && HoldsGivenName(g_tracks, g_names.given, track); }

std::string TrackFileStem(int track) {
    if (track < 1 || track > kMaxTrack) return "";
    if (TrackNamedBySource(track)) {
        const TrackNames* names = TrackOf(*DiscRelease(), track);
        if (names && !names->title.empty()) return ProgramText(FileNameFromSourceName(names->title, kStemBytes));
    }
    return g_tracks.trackNames[track];
}

void ShowSourceSongName() {
    char shown[kFileNameText] = {};
    ReadSongNameField(shown, sizeof shown);
    const bool ours = !g_names.shownSongName.empty() && g_names.shownSongName == shown;
    if (!IsUntitled(shown) && !ours) return;   // the user's
    const int track = CurrentTrackNumber(g_tracks);
    if (!TrackNamedBySource(track)) {
        if (ours) ShowSongName("untitled");   // another track's name would name this one's file
        g_names.shownSongName.clear();
        return;
    }
    g_names.shownSongName = TrackFileStem(track) + ".wav";
    ShowSongName(g_names.shownSongName.c_str());
}
