#include "track_selection.h"

#include <algorithm>
#include <cstring>

#include "naming.h"

int TrackOfEntry(const char* text) {
    const char prefix[] = "Track";
    const size_t prefixLength = sizeof prefix - 1;
    size_t length = strnlen(text, prefixLength + 3);
    if (strncmp(text, prefix, prefixLength) != 0 || length < prefixLength + 1 || length > prefixLength + 2) return 0;
    int track = 0;
    for (const char* digit = text + prefixLength; *digit; ++digit) {
        if (*digit < '0' || *digit > '9') return 0;
        track = track * 10 + (*digit - '0');
    }
    return track;
}

int TrackNamed(const TrackTable& table, const char* text) {
    if (text[0] == '\0') return 0;
    int count = table.trackCount < kMaxTrack ? table.trackCount : kMaxTrack;
    for (int track = 1; track <= count; ++track)
        if (strcmp(table.trackNames[track], text) == 0) return track;
    return 0;
}

void NameTrack(TrackTable* table, int track, const char* text) {
    if (track < 1 || track > kMaxTrack) return;
    CopyText(table->trackNames[track], text);
}

void ClearTrackName(TrackTable* table, int track) {
    if (track < 1 || track > kMaxTrack) return;
    memset(table->trackNames[track], 0, sizeof table->trackNames[track]);
}

void ChooseRenameTarget(RenameTarget* target, int position, int track) {
    target->position = position;
    if (track > 0) target->track = track;
    target->valid = position >= 0 && track > 0;
}

void DropRenameTarget(RenameTarget* target) { target->valid = false; }

bool RenameAllowed(const RenameTarget& target, int entryCount, const char* text) {
    return text[0] != '\0' && target.valid && target.position >= 0 && target.position < entryCount &&
           target.track >= 1 && target.track <= kMaxTrack;
}

Selection SetUpSelection(const TrackTable& table, const std::vector<std::string>& entries) {
    Selection selection;
    for (size_t i = 0; i < entries.size() && static_cast<int>(selection.kept.size()) < kSelectionSlots; ++i) {
        int track = TrackNamed(table, entries[i].c_str());
        if (track == 0) continue;
        selection.tracks.push_back(track);
        selection.kept.push_back(static_cast<int>(i));
    }
    return selection;
}

std::string LeftOutMessage(const TrackTable& table, const std::vector<std::string>& entries,
                           const std::vector<int>& kept) {
    const size_t kNamesShown = 8;
    std::string unnamed;
    size_t unnamedCount = 0, overflow = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (std::find(kept.begin(), kept.end(), static_cast<int>(i)) != kept.end()) continue;
        if (TrackNamed(table, entries[i].c_str()) != 0) {
            ++overflow;
        } else if (++unnamedCount <= kNamesShown) {
            unnamed += (unnamedCount > 1 ? ", \"" : "\"") + entries[i] + "\"";
        }
    }
    std::string text;
    if (unnamedCount > 0) {
        text = "No track has the name " + unnamed;
        if (unnamedCount > kNamesShown) text += " and " + std::to_string(unnamedCount - kNamesShown) + " more";
        text += ", so " + std::string(unnamedCount > 1 ? "these entries are" : "this entry is") +
                " left out. Add the track again from the left-hand list to record it.";
    }
    if (overflow > 0) {
        if (!text.empty()) text += "\n\n";
        text += "Only " + std::to_string(kSelectionSlots) + " tracks are recorded at a time: the last " +
                std::to_string(overflow) + (overflow > 1 ? " entries are" : " entry is") + " left out.";
    }
    return text;
}

namespace {

// The text as a track's name holds it: its first 49 characters.
std::string AsTrackName(const std::string& text) { return text.substr(0, kTrackNameText - 1); }

std::string FileNameOf(const std::string& name) {
    char file[kTrackNameText + 8];
    BatchFileName("", AsTrackName(name).c_str(), file, sizeof file);
    return file;
}

int TracksBearing(const TrackTable& table, const std::string& name) {
    int count = table.trackCount < kMaxTrack ? table.trackCount : kMaxTrack, bearing = 0;
    for (int track = 1; track <= count; ++track)
        if (name == table.trackNames[track]) ++bearing;
    return bearing;
}

}  // namespace

bool FindNameClash(const TrackTable& table, const std::vector<std::string>& entries, int* first, int* second) {
    for (size_t j = 1; j < entries.size(); ++j) {
        const std::string name = AsTrackName(entries[j]);
        if (TrackNamed(table, name.c_str()) == 0) continue;   // no track: it is left out
        for (size_t i = 0; i < j; ++i) {
            const std::string other = AsTrackName(entries[i]);
            if (TrackNamed(table, other.c_str()) == 0 ||
                !SameFileName(FileNameOf(name).c_str(), FileNameOf(other).c_str()))
                continue;
            if (name == other && TracksBearing(table, name) < 2) continue;   // one track, chosen twice
            *first = static_cast<int>(i);
            *second = static_cast<int>(j);
            return true;
        }
    }
    return false;
}

std::string NameClashMessage(const std::string& one, const std::string& other) {
    return "\"" + one + "\" and \"" + other + "\" would both be saved as " + FileNameOf(other) +
           ", the one replacing the other. Please give one of them another name.";
}
