// A batch: the tracks chosen in the track selection dialog, recorded or ripped one after
// the other, each into a file named after the track in the folder of the batch's first
// file. A recording and a rip take the batch's next track when they begin; the batch
// ends after its last track, when one of its tracks fails, with another source, and
// for another disc.
#pragma once

#include <cstddef>
#include <vector>

#include "track_table.h"

constexpr size_t kBatchFolderText = 260;   // drive and folder: 259 characters
constexpr int kBatchSlots = 100;           // tracks a batch holds

struct Batch {
    int tracks[kBatchSlots];         // in order; each 1..99
    int count;                       // 0: no batch
    int next;                        // the position of the track the next Play takes
    char folder[kBatchFolderText];   // drive and folder of the first file, once taken
    int disc;                        // the disc it was chosen for (TrackTable::discChanges)
};

// A batch of `tracks` (the first 100) for the disc the table holds now; none when empty.
void StartBatch(Batch* batch, const std::vector<int>& tracks, const TrackTable& table);
void EndBatch(Batch* batch);
// Whether a batch is set up (it may have given out its last track already): one
// chosen for another disc than the table's is ended here.
bool BatchSetUp(Batch* batch, const TrackTable& table);
// Whether a track is left to take; whether none was taken yet.
bool BatchTrackLeft(const Batch& batch);
bool BatchAtStart(const Batch& batch);
// The next track to take (1 when its number is no track), without taking it.
int NextBatchTrack(const Batch& batch);
// Takes the next track: the batch's folder is that of `firstFile` when it is the first.
// Returns the track.
int TakeBatchTrack(Batch* batch, const char* firstFile);
// Whether the batch gave out more than its first track (its log is under way).
bool BatchContinues(const Batch& batch);
// Whether the batch takes every audio track of the disc once and nothing else (in any
// order): a whole-disc rip, which gets a CUE sheet. `dataTracks[k]` tells whether
// track k + 1 is a data track; the disc has dataTracks.size() tracks.
bool BatchTakesWholeDisc(const Batch& batch, const std::vector<bool>& dataTracks);
