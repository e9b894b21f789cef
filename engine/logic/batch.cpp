#include "batch.h"

#include <cstring>

#include "naming.h"

void StartBatch(Batch* batch, const std::vector<int>& tracks, const TrackTable& table) {
    EndBatch(batch);
    for (int track : tracks) {
        if (batch->count == kBatchSlots) break;
        batch->tracks[batch->count++] = track;
    }
    batch->disc = table.discChanges;
}

void EndBatch(Batch* batch) { memset(batch, 0, sizeof *batch); }

bool BatchSetUp(Batch* batch, const TrackTable& table) {
    if (batch->count > 0 && batch->disc != table.discChanges) EndBatch(batch);
    return batch->count > 0;
}

bool BatchTrackLeft(const Batch& batch) { return batch.next < batch.count; }
bool BatchAtStart(const Batch& batch) { return batch.next == 0; }

int NextBatchTrack(const Batch& batch) {
    int track = BatchTrackLeft(batch) ? batch.tracks[batch.next] : 1;
    return track >= 1 && track <= kMaxTrack ? track : 1;
}

int TakeBatchTrack(Batch* batch, const char* firstFile) {
    int track = NextBatchTrack(*batch);
    if (BatchAtStart(*batch)) {
        NameParts parts;
        SplitName(firstFile, &parts);
        FolderOf(parts, batch->folder, sizeof batch->folder);
    }
    if (BatchTrackLeft(*batch)) ++batch->next;
    return track;
}

bool BatchContinues(const Batch& batch) { return batch.count > 0 && batch.next > 1; }

bool BatchTakesWholeDisc(const Batch& batch, const std::vector<bool>& dataTracks) {
    std::vector<int> taken(dataTracks.size() + 1, 0);
    int audio = 0;
    for (size_t k = 0; k < dataTracks.size(); ++k)
        if (!dataTracks[k]) ++audio;
    for (int i = 0; i < batch.count; ++i) {
        int track = batch.tracks[i];
        if (track < 1 || static_cast<size_t>(track) > dataTracks.size() || dataTracks[track - 1] || taken[track]++)
            return false;
    }
    return audio > 0 && batch.count == audio;
}
