#include "musicbrainz.h"

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

// The member `key` of `object` when it is an object holding a value of `type`, else null.
const json* Member(const json& object, const char* key, json::value_t type) {
    if (!object.is_object()) return nullptr;
    auto found = object.find(key);
    if (found == object.end() || found->type() != type) return nullptr;
    return &*found;
}

std::string Text(const json& object, const char* key) {
    const json* value = Member(object, key, json::value_t::string);
    return value ? value->get<std::string>() : std::string();
}

// A whole number member (JSON keeps unsigned and signed apart), or -1.
long Number(const json& object, const char* key) {
    for (json::value_t type : {json::value_t::number_unsigned, json::value_t::number_integer}) {
        const json* value = Member(object, key, type);
        if (value) {
            long number = value->get<long>();
            return number >= 0 ? number : -1;
        }
    }
    return -1;
}

const json& Array(const json& object, const char* key) {
    static const json kEmpty = json::array();
    const json* value = Member(object, key, json::value_t::array);
    return value ? *value : kEmpty;
}

// "A & B feat. C": each credit's name (the artist's own where the credit has none)
// and its join phrase; the first artist's id into `*artistId` when asked.
std::string Credit(const json& owner, std::string* artistId = nullptr) {
    std::string joined;
    for (const json& credit : Array(owner, "artist-credit")) {
        const json* artist = Member(credit, "artist", json::value_t::object);
        std::string name = Text(credit, "name");
        if (name.empty() && artist) name = Text(*artist, "name");
        if (artistId && artistId->empty() && artist) *artistId = Text(*artist, "id");
        joined += name + Text(credit, "joinphrase");
    }
    return joined;
}

// "2006" of "2006-01-30": the date's first four characters, when they are digits.
std::string Year(const std::string& date) {
    if (date.size() < 4) return "";
    for (size_t k = 0; k < 4; ++k)
        if (date[k] < '0' || date[k] > '9') return "";
    return date.substr(0, 4);
}

bool HoldsDisc(const json& medium, const std::string& discId) {
    for (const json& disc : Array(medium, "discs"))
        if (Text(disc, "id") == discId) return true;
    return false;
}

const json* ChooseMedium(const json& release, const std::string& discId, int audioTracks) {
    const json& media = Array(release, "media");
    for (const json& medium : media)
        if (HoldsDisc(medium, discId)) return &medium;
    for (const json& medium : media)
        if (Number(medium, "track-count") == audioTracks) return &medium;
    return nullptr;
}

// The medium's tracks by position into `names`: false unless the positions are 1 to the
// number of tracks, each once.
bool ReadTracks(const json& medium, const std::string& releaseArtist, ReleaseNames* names) {
    const json& tracks = Array(medium, "tracks");
    if (tracks.empty()) return false;
    names->tracks.assign(tracks.size(), TrackNames());
    for (const json& track : tracks) {
        long position = Number(track, "position");
        if (position < 1 || static_cast<size_t>(position) > tracks.size()) return false;
        TrackNames& named = names->tracks[static_cast<size_t>(position - 1)];
        if (named.number != 0) return false;
        named.number = static_cast<int>(position);
        const json* recording = Member(track, "recording", json::value_t::object);
        named.title = Text(track, "title");
        if (recording) {
            if (named.title.empty()) named.title = Text(*recording, "title");
            named.recordingId = Text(*recording, "id");
        }
        named.artist = Credit(track);
        if (named.artist == releaseArtist) named.artist.clear();
    }
    long count = Number(medium, "track-count");
    names->trackTotal = count > 0 && count < 100 ? static_cast<int>(count) : static_cast<int>(tracks.size());
    return true;
}

}  // namespace

std::string MusicBrainzLookupUrl(const std::string& base, const std::string& discId) {
    std::string url = base;
    if (url.empty() || url.back() != '/') url += '/';
    return url + "discid/" + discId + "?inc=recordings+artist-credits&fmt=json";
}

bool ParseMusicBrainzDisc(const std::string& json, const std::string& discId, int audioTracks,
                          std::vector<ReleaseNames>* releases) {
    releases->clear();
    // No exceptions: a text that is no JSON parses to a discarded value.
    nlohmann::json answer = nlohmann::json::parse(json, nullptr, false);
    if (answer.is_discarded()) return false;
    for (const nlohmann::json& release : Array(answer, "releases")) {
        const nlohmann::json* medium = ChooseMedium(release, discId, audioTracks);
        if (!medium) continue;
        ReleaseNames names;
        names.artist = Credit(release, &names.artistId);
        names.album = Text(release, "title");
        names.year = Year(Text(release, "date"));
        names.releaseId = Text(release, "id");
        names.country = Text(release, "country");
        if (ReadTracks(*medium, names.artist, &names)) releases->push_back(std::move(names));
    }
    return !releases->empty();
}
