#include "cdtext_names.h"

bool NamesFromCdText(const akrip::CdText& text, DiscNames* names) {
    ReleaseNames release;
    release.album = text.disc.title;
    release.artist = text.disc.performer;
    release.trackTotal = static_cast<int>(text.tracks.size());
    bool named = !release.album.empty();
    for (size_t k = 0; k < text.tracks.size(); ++k) {
        const akrip::CdTextEntry& entry = text.tracks[k];
        TrackNames track;
        track.number = static_cast<int>(k + 1);
        track.title = entry.title;
        if (entry.performer != release.artist) track.artist = entry.performer;
        track.songwriter = entry.songwriter;
        named = named || !track.title.empty();
        release.tracks.push_back(track);
    }
    if (!named) return false;
    *names = DiscNames();
    names->source = NameSource::kCdText;
    names->releases.push_back(release);
    return true;
}
