// The names of the disc in the drive, looked up once per disc in the program's run:
// the MusicBrainz web service, then the disc's CD-Text, then freedb, each optional;
// the first that names the disc names it. Runs in the window's thread at the disc's
// first reading, under the hourglass; each server gets a few seconds to answer. No
// answer, no network or a malformed answer: the names stay as they were.
#pragma once

#include <windows.h>

constexpr char kMusicBrainzValue[] = "MusicBrainzUrl";   // REG_SZ: the web service's base address
constexpr char kFreedbValue[] = "FreedbUrl";             // REG_SZ: the freedb server's CGI
constexpr char kDefaultMusicBrainz[] = "https://musicbrainz.org/ws/2/";
constexpr char kDefaultFreedb[] = "http://gnudb.gnudb.org/~cddb/cddb.cgi";

// Looks up the disc the drive poll has read, unless it was looked up since it came in;
// the names go into the track table and the song name field (see names.h).
void NameDiscInDrive(HWND hwnd);
