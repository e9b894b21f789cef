// What the track selection dialog decides, without windows: which track an entry of
// the disc list stands for, which track an entry of the record list belongs to (only
// through its text: the lowest-numbered track of that name), where a rename goes, and
// the batch that Save sets up from the record list.
#pragma once

#include <string>
#include <vector>

#include "track_table.h"

// Tracks a batch holds.
constexpr int kSelectionSlots = 100;

// The track an entry of the disc list stands for: "Track" followed by one digit (a text
// of 6 characters) or two digits (7 characters). 0 for any other text.
int TrackOfEntry(const char* text);

// The lowest-numbered track, among 1 to the track count, whose name equals `text`
// exactly (case-sensitive); 0 when none does. An empty text names no track.
int TrackNamed(const TrackTable& table, const char* text);

// Gives track `track` the name `text`, cut to the 49 characters a name holds. Track
// numbers outside 1–99 are ignored.
void NameTrack(TrackTable* table, int track, const char* text);
// Empties every character of the name slot of `track` (1–99).
void ClearTrackName(TrackTable* table, int track);

// The entry of the record list that a rename replaces and the track it names. The
// target is valid only while the entry at `position` belongs to `track`: from the
// moment an entry of the record list is chosen until the list changes otherwise
// than by a rename (an addition, a removal, Clear) or the dialog closes.
struct RenameTarget {
    int position;
    int track;
    bool valid;
};

// An entry of the record list was chosen: it is the target when its text belongs to
// a track (`track` > 0); otherwise there is none.
void ChooseRenameTarget(RenameTarget* target, int position, int track);
// The record list changed under the target: no rename until an entry is chosen again.
void DropRenameTarget(RenameTarget* target);
// Whether a rename to `text` is to be made on a record list of `entryCount` entries.
bool RenameAllowed(const RenameTarget& target, int entryCount, const char* text);

// Save: the record list's texts, in order, become the batch. Each entry that belongs
// to a track gives the batch its next track, until all 100 are taken; an entry that
// belongs to no track cannot be recorded and gives none. `kept` holds the indices of
// the entries that gave a track, in order (their texts are the ones to show again at
// the next opening), `tracks` their tracks.
struct Selection {
    std::vector<int> kept;
    std::vector<int> tracks;
};
Selection SetUpSelection(const TrackTable& table, const std::vector<std::string>& entries);

// Two entries of the record list whose tracks a batch would save into one file: their
// names equal as file names (cut to the 49 characters a name holds, in lower case with
// ".wav", compared as Windows compares file names), so that the later track's file
// would replace the earlier's. Two entries of one track (a track chosen twice) are no
// such pair; two equal texts are when more than one track bears that name. Their
// indices in `*first` < `*second`; false when there is none.
bool FindNameClash(const TrackTable& table, const std::vector<std::string>& entries, int* first, int* second);
// What the dialog says of such a pair: both texts and the file they would share.
std::string NameClashMessage(const std::string& one, const std::string& other);

// What Save tells the user when it left entries out (the entries of `entries` whose
// index is not in `kept`): which ones no track is named after (the first few of them by
// name, the rest counted) and how many found no free slot. Empty when none was left out.
std::string LeftOutMessage(const TrackTable& table, const std::vector<std::string>& entries,
                           const std::vector<int>& kept);
