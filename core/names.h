// The names of the disc in the drive, as a name source gave them (the MusicBrainz web
// service, the disc's CD-Text, freedb), for the whole program: the track table's names
// of the tracks no user named, the song name field of the current track while the user
// has typed none, the file names of a batch, the tags of its MP3s and the rip log.
// The lookup itself (rip/names.cpp) fills this state once per disc.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "disc_names.h"

struct NamesState {
    bool looked;                    // the disc in the drive has been looked up
    int discChanges;                // the track table's disc count at that lookup
    std::string discId;             // its MusicBrainz disc id
    DiscNames names;                // what named it (no release: none did)
    std::string account;            // the rip log's line: which source named it, or none
    GivenNames given;               // what the names put into the track table
    std::string shownSongName;      // what they put into the song name field last
    std::map<std::string, std::pair<DiscNames, std::string>> seen;   // disc id -> names and account, for the run
};

extern NamesState g_names;

// The release in use for the disc in the drive, or null when no source named it (or
// the disc is not the one named).
const ReleaseNames* DiscRelease();

// Chooses release `index` of the disc's names: its titles go into the track table
// where no user named a track (see ApplyReleaseNames).
void ChooseRelease(size_t index);

// The name a source gave track `track` while no user named it otherwise (its slot is
// empty or holds that name), or null.
const char* SourceNameOf(int track);

// The text the track selection dialog shows for release `index`: "Artist – Album (1997,
// GB)".
std::string ReleaseLabel(size_t index);

// Whether track `track`'s name is still the one a source gave it.
bool TrackNamedBySource(int track);

// The stem a file of track `track` takes: the source's full title made fit for a file
// name when the track bears a source's name, else the track table's name as it is.
std::string TrackFileStem(int track);

// The song name field shows the current track's source name ("<stem>.wav") when it
// shows "untitled" or the source name shown there before: never over what the user
// typed.
void ShowSourceSongName();
