// The MusicBrainz web service's answer for a disc id, as any server may send it.
//
// Beyond "no fault": the parser says true exactly when it names a release; each release
// has tracks numbered 1 to their count in order, a track total of a disc (1 to 99) or its
// tracks' count, a year of four digits or none, and text in well-formed UTF-8.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "musicbrainz.h"
#include "text.h"

namespace {

bool FourDigitsOrEmpty(const std::string& year) {
    return year.empty() || (year.size() == 4 && year.find_first_not_of("0123456789") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int audioTracks = input.ConsumeIntegralInRange<int>(0, 99);   // the answer's last byte
    const std::string json = input.ConsumeRemainingBytesAsString();
    std::vector<ReleaseNames> releases(1);
    const bool named = ParseMusicBrainzDisc(json, "xAq8L4ELMW14.6wI6tt7QAcxiDI-", audioTracks, &releases);
    FUZZ_CHECK(named == !releases.empty());
    for (const ReleaseNames& release : releases) {
        FUZZ_CHECK(!release.tracks.empty());
        FUZZ_CHECK(release.trackTotal == static_cast<int>(release.tracks.size()) ||
                   (release.trackTotal >= 1 && release.trackTotal <= 99));
        FUZZ_CHECK(FourDigitsOrEmpty(release.year));
        for (const std::string* text : {&release.artist, &release.album, &release.releaseId, &release.artistId,
                                        &release.country, &release.year})
            FUZZ_CHECK(IsValidUtf8(*text));
        for (size_t k = 0; k < release.tracks.size(); ++k) {
            const TrackNames& track = release.tracks[k];
            FUZZ_CHECK(track.number == static_cast<int>(k + 1));
            FUZZ_CHECK(IsValidUtf8(track.title) && IsValidUtf8(track.artist) && IsValidUtf8(track.recordingId));
            FUZZ_CHECK(track.artist != release.artist || track.artist.empty());
        }
    }
    return 0;
}
