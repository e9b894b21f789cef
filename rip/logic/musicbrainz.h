// The MusicBrainz web service's answer for a disc id (ws/2, JSON), read into the
// releases it names.
#pragma once

#include <string>
#include <vector>

#include "disc_names.h"

// The address of the disc id's lookup below the service's base address ("…/ws/2/",
// a '/' is added where the base lacks its own): "<base>discid/<id>?inc=recordings+
// artist-credits&fmt=json".
std::string MusicBrainzLookupUrl(const std::string& base, const std::string& discId);

// The releases of a lookup's answer, in the answer's order. Per release the medium in
// use is the one whose discs include `discId`, else the first whose track count is
// `audioTracks`; a release without such a medium is passed over. The artist is the
// credit's names joined by their join phrases, the year the date's first four
// characters; track k of the medium (by position, 1 to its track count) is the disc's
// audio track k, its artist left empty where it is the release's. False (and
// `releases` empty) for an answer that is no JSON, lacks its release list or names no
// release that fits; fields of a wrong type count as absent.
bool ParseMusicBrainzDisc(const std::string& json, const std::string& discId, int audioTracks,
                          std::vector<ReleaseNames>* releases);
