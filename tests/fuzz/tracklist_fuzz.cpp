// The track selection dialog's decisions under any sequence a user can make: the
// drive's track count reply, additions, choices, removals, renames to any text, Clear
// and Save, with names that live on between openings.
//
// Beyond "no fault": a rename replaces only the entry that was chosen and names only
// its track; a name never holds more than 49 characters and never touches another
// slot; an entry belongs to the lowest track of its name; Save records, in order, just
// the entries that belong to a track (the first 100 of them), each as the track whose
// name it shows, and speaks up exactly when it left one out.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "naming.h"
#include "track_selection.h"

namespace {

struct Entry {
    std::string text;
    int id;   // which addition made it
};

struct Dialog {
    TrackTable table;
    std::vector<Entry> record;
    RenameTarget rename = {0, 0, false};
    int chosenId = -1;     // the entry chosen last, and the track it belonged to then
    int chosenTrack = 0;
    int nextId = 0;
    bool saved = false;    // a Save left a batch, whose entries the next opening shows
};

std::string Cut(const std::string& text, size_t size) {
    std::string cut = text.substr(0, text.find('\0'));
    return cut.substr(0, size - 1);
}

int DiscTracks(const TrackTable& table) { return table.trackCount < kMaxTrack ? table.trackCount : kMaxTrack; }

// The lowest track of the disc with exactly this name, found the long way.
int LowestNamed(const TrackTable& table, const std::string& text) {
    for (int track = 1; !text.empty() && track <= DiscTracks(table); ++track)
        if (text == table.trackNames[track]) return track;
    return 0;
}

// Names `track` and checks that the slots around its own kept what they held (a name
// running past its slot would land there).
void Name(TrackTable* table, int track, const std::string& text) {
    const auto* first = reinterpret_cast<const uint8_t*>(table->trackNames[0]);
    const auto* end = reinterpret_cast<const uint8_t*>(table + 1);
    const size_t slot = kTrackNameText;
    const size_t at = track >= 1 && track <= kMaxTrack ? static_cast<size_t>(track) * slot : 0;
    const size_t from = at >= slot ? at - slot : 0;
    const size_t to = std::min(static_cast<size_t>(end - first), at + 2 * slot);
    const std::vector<uint8_t> around(first + from, first + to);
    NameTrack(table, track, text.c_str());
    if (at == 0) {
        FUZZ_CHECK(std::memcmp(around.data(), first + from, around.size()) == 0);
        return;
    }
    FUZZ_CHECK(table->trackNames[track] == text.substr(0, slot - 1));
    FUZZ_CHECK(std::memcmp(around.data(), first + from, slot) == 0);
    FUZZ_CHECK(std::memcmp(around.data() + 2 * slot, first + at + slot, to - at - slot) == 0);
}

void Open(Dialog* d, const std::string& reply) {
    d->table.trackCount = TrackCountFromReply(Cut(reply, 20).c_str());
    FUZZ_CHECK(d->table.trackCount >= 0 && d->table.trackCount <= kMaxTrack);
    if (!d->saved) d->record.clear();   // only a saved batch is shown again
    DropRenameTarget(&d->rename);
}

// Double-clicks the disc list's entry of one track `times` times (each time names the
// track alike). The list stays below 110 entries: a longer one shows nothing new.
void Add(Dialog* d, int pick, int times) {
    if (d->table.trackCount == 0) return;
    const int track = 1 + pick % d->table.trackCount;
    const std::string text = "Track" + std::to_string(track);
    FUZZ_CHECK(TrackOfEntry(text.c_str()) == track);
    for (int i = 0; i < times && d->record.size() < 110; ++i) d->record.push_back({text, d->nextId++});
    Name(&d->table, track, text);
    DropRenameTarget(&d->rename);
}

void Choose(Dialog* d, size_t position) {
    if (position >= d->record.size()) {
        DropRenameTarget(&d->rename);
        return;
    }
    const int track = TrackNamed(d->table, d->record[position].text.c_str());
    FUZZ_CHECK(track == LowestNamed(d->table, d->record[position].text));
    ChooseRenameTarget(&d->rename, static_cast<int>(position), track);
    d->chosenId = d->record[position].id;
    d->chosenTrack = track;
}

void Remove(Dialog* d, size_t position) {
    if (position >= d->record.size()) return;
    const std::string text = d->record[position].text;
    d->record.erase(d->record.begin() + static_cast<long>(position));
    const int track = TrackNamed(d->table, text.c_str());
    TrackTable before = d->table;
    ClearTrackName(&d->table, track);
    if (track > 0) {
        FUZZ_CHECK(d->table.trackNames[track][0] == '\0');
        std::memset(before.trackNames[track], 0, kTrackNameText);
    }
    FUZZ_CHECK(std::memcmp(&before, &d->table, sizeof before) == 0);
    DropRenameTarget(&d->rename);
}

void Rename(Dialog* d, const std::string& typed) {
    const std::string text = Cut(typed, kTrackNameText);   // the rename field holds 49 characters
    if (!RenameAllowed(d->rename, static_cast<int>(d->record.size()), text.c_str())) return;
    FUZZ_CHECK(!text.empty());
    Entry& entry = d->record[static_cast<size_t>(d->rename.position)];
    FUZZ_CHECK(entry.id == d->chosenId && d->chosenTrack > 0 && d->rename.track == d->chosenTrack);
    if (!CanBeFileStem(text.c_str())) return;
    entry.text = text;
    Name(&d->table, d->rename.track, text);
    FUZZ_CHECK(LowestNamed(d->table, text) <= d->rename.track);
}

void Save(Dialog* d) {
    std::vector<std::string> texts;
    for (const Entry& e : d->record) texts.push_back(e.text);
    const Selection selection = SetUpSelection(d->table, texts);
    const std::vector<int>& kept = selection.kept;
    FUZZ_CHECK(kept.size() == selection.tracks.size() && kept.size() <= kSelectionSlots);
    d->saved = !kept.empty();
    size_t next = 0;
    std::map<std::string, int> owners;   // entries repeat: each text is looked up once
    for (size_t i = 0; i < texts.size(); ++i) {
        auto owner = owners.find(texts[i]);
        if (owner == owners.end()) owner = owners.emplace(texts[i], LowestNamed(d->table, texts[i])).first;
        const int track = owner->second;
        if (next == kept.size()) {
            FUZZ_CHECK(track == 0 || kept.size() == kSelectionSlots);
            continue;
        }
        if (static_cast<size_t>(kept[next]) != i) {
            FUZZ_CHECK(static_cast<size_t>(kept[next]) > i && track == 0);
            continue;
        }
        FUZZ_CHECK(track > 0 && selection.tracks[next] == track);
        ++next;
    }
    FUZZ_CHECK(next == kept.size());
    FUZZ_CHECK(LeftOutMessage(d->table, texts, kept).empty() == (kept.size() == texts.size()));
    // The dialog closes; it opens again with the entries that were kept.
    std::vector<Entry> shown;
    for (int index : kept) shown.push_back(d->record[static_cast<size_t>(index)]);
    d->record = shown;
    DropRenameTarget(&d->rename);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Dialog d;
    std::memset(&d.table, 0, sizeof d.table);
    Open(&d, input.ConsumeRandomLengthString(24));
    // Short sequences with few Saves (each looks up every entry among 99 names): one step
    // may add a track many times, which reaches the limit of 100 slots without a long input.
    int saves = 0;
    for (int step = 0; step < 32 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 7)) {
            case 0: Add(&d, input.ConsumeIntegral<uint8_t>(), input.ConsumeBool() ? 1 : input.ConsumeIntegralInRange(1, 120)); break;
            case 1: Choose(&d, input.ConsumeIntegralInRange<size_t>(0, d.record.size())); break;
            case 2: Remove(&d, input.ConsumeIntegralInRange<size_t>(0, d.record.size())); break;
            case 3: Rename(&d, input.ConsumeRandomLengthString(80)); break;
            case 4:
                d.record.clear();
                d.saved = false;
                DropRenameTarget(&d.rename);
                break;
            case 5:
                if (saves++ < 3) Save(&d);
                break;
            case 6: Open(&d, input.ConsumeRandomLengthString(24)); break;
            default: {
                const std::string text = input.ConsumeRandomLengthString(12);
                const int track = TrackOfEntry(fuzz::CString(text).get());
                FUZZ_CHECK(track >= 0 && track <= kMaxTrack);
                if (track > 0) FUZZ_CHECK(text.substr(0, text.find('\0')) == "Track" + std::to_string(track) ||
                                          text.substr(0, 6) == "Track0");
                break;
            }
        }
    }
    return 0;
}
