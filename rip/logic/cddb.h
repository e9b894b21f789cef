// freedb's CDDB protocol over HTTP (level 6: text in UTF-8): the request addresses and
// the answers to "cddb query" and "cddb read".
#pragma once

#include <string>
#include <vector>

#include "disc_names.h"

// The CGI's address for a command: "<base>?cmd=<command>&hello=<user>+<host>+CDQuorrel+
// <version>&proto=6", each part URL-encoded with blanks as '+' (a blank inside the user
// or host name becomes '_', an empty one "anonymous" or "localhost").
std::string CddbRequestUrl(const std::string& base, const std::string& command, const std::string& user,
                           const std::string& host, const std::string& version);

// One entry a query names: its category ("rock", a word of printable characters), its
// disc id (eight hexadecimal digits, "940aac0d") and its title as the entry has it
// ("Artist / Album").
struct CddbMatch {
    std::string category;
    std::string discId;
    std::string title;
    bool exact = true;   // false for the entries of a 211 ("inexact matches") answer
};

// "cddb read <category> <disc id>" for the entry.
std::string CddbReadCommand(const CddbMatch& match);

enum class CddbStatus {
    kFound,      // 200 (one exact match), 210 (exact) or 211 (inexact): the list
    kNotFound,   // 202: no entry
    kFailed,     // an error code, or an answer not in the protocol's form
};

// The answer to "cddb query": its matches in the answer's order. A list answer must end
// in its line "." and every match be well-formed; lines may end in CRLF or LF. An answer that is not UTF-8 is read as
// ISO 8859-1 (the protocol's text below level 6).
CddbStatus ParseCddbQuery(const std::string& answer, std::vector<CddbMatch>* matches);

// The answer to "cddb read" (210 and an xmcd entry up to the line "."): DTITLE "Artist /
// Album" (without " / " the text is artist and album alike), DYEAR, TTITLEn the title of
// track n+1; a key given on several lines is their text joined; the escapes \n and \t
// become a blank, \\ a backslash; comment lines (#) are skipped. On a disc of various
// artists (DTITLE's artist "Various" or "Various Artists") a TTITLE "Artist / Title"
// gives the track's artist. Tracks run 1 to the highest TTITLE, untitled ones empty.
// False (and `names` empty) for any other answer or an entry without track titles.
bool ParseCddbRead(const std::string& answer, ReleaseNames* names);
