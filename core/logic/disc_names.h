// The names of a disc and its tracks as a source gives them: the MusicBrainz web
// service, the disc's CD-Text or freedb. Text is UTF-8 throughout. A disc id may stand
// for several releases (pressings, countries, editions); each is kept, and the user
// picks one in the track selection dialog.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class NameSource { kNone, kMusicBrainz, kCdText, kFreedb };

struct TrackNames {
    int number = 0;              // the track's number on the disc
    std::string title;
    std::string artist;          // empty: the release's artist
    std::string songwriter;      // where the source names one (CD-Text), or empty
    std::string recordingId;     // MusicBrainz recording id, where known
};

struct ReleaseNames {
    std::string artist;
    std::string album;
    std::string year;            // "1997", or empty
    std::string releaseId;       // MusicBrainz release id, where known
    std::string artistId;        // MusicBrainz id of the release's (first) artist
    std::string country;         // where the release was issued ("GB"), or empty
    int trackTotal = 0;          // tracks of the medium, for "n/N"
    std::vector<TrackNames> tracks;
};

struct DiscNames {
    NameSource source = NameSource::kNone;
    std::vector<ReleaseNames> releases;   // empty when no source named the disc
    size_t chosen = 0;                    // the release in use
    const ReleaseNames* Chosen() const { return chosen < releases.size() ? &releases[chosen] : nullptr; }
};
