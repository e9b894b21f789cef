#include "disc_names.h"

#include <cstring>

const TrackNames* TrackOf(const ReleaseNames& release, int track) {
    for (const TrackNames& names : release.tracks)
        if (names.number == track) return &names;
    return nullptr;
}

bool HoldsGivenName(const TrackTable& table, const GivenNames& given, int track) {
    if (track < 1 || track > kMaxTrack || given.names[track][0] == '\0') return false;
    return strcmp(table.trackNames[track], given.names[track]) == 0;
}

namespace {

bool NameTaken(const TrackTable& table, int before, const std::string& name) {
    for (int k = 1; k < before; ++k)
        if (name == table.trackNames[k]) return true;
    return false;
}

}  // namespace

void ApplyReleaseNames(const ReleaseNames& release, TrackTable* table, GivenNames* given) {
    const int count = table->trackCount < kMaxTrack ? table->trackCount : kMaxTrack;
    for (int track = 1; track <= count; ++track) {
        char* slot = table->trackNames[track];
        const bool free = slot[0] == '\0' || HoldsGivenName(*table, *given, track);
        if (!free) continue;
        const TrackNames* names = TrackOf(release, track);
        std::string name;
        if (names && !names->title.empty()) {
            name = CutUtf8(names->title, kTrackNameText - 1);
            for (int n = 2; NameTaken(*table, track, name); ++n) {
                const std::string mark = " (" + std::to_string(n) + ")";
                name = CutUtf8(names->title, kTrackNameText - 1 - mark.size()) + mark;
            }
        }
        CopyText(slot, kTrackNameText, name.c_str());
        CopyText(given->names[track], name.c_str());
    }
}
