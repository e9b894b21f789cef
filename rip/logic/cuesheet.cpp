#include "cuesheet.h"

#include <cstdio>

namespace {

constexpr size_t kCueTextBytes = 80;   // the longest TITLE or PERFORMER players take

std::string Quoted(std::string text) {
    for (char& c : text) {
        if (c == '"') c = '\'';
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    }
    return "\"" + CutUtf8(text, kCueTextBytes) + "\"";
}

// A file name is never cut: the sheet must name the file it lies beside.
std::string QuotedName(std::string name) {
    for (char& c : name)
        if (c == '"') c = '\'';
    return "\"" + name + "\"";
}

}  // namespace

std::string CuePathFor(const std::string& firstFile) {
    size_t name = firstFile.find_last_of("\\/:");
    name = name == std::string::npos ? 0 : name + 1;
    size_t dot = firstFile.rfind('.');
    return (dot != std::string::npos && dot >= name ? firstFile.substr(0, dot) : firstFile) + ".cue";
}

void AddReleaseNames(const ReleaseNames& release, CueSheet* sheet) {
    sheet->title = release.album;
    sheet->performer = release.artist;
    for (CueTrack& track : sheet->tracks) {
        const TrackNames* names = TrackOf(release, track.number);
        if (!names) continue;
        track.title = names->title;
        if (names->artist != release.artist) track.performer = names->artist;
    }
}

std::string CueSheetText(const CueSheet& sheet) {
    std::string text;
    auto line = [&](const std::string& l) { text += l + "\r\n"; };
    if (sheet.haveDiscId) {
        char id[16];
        snprintf(id, sizeof id, "%08X", static_cast<unsigned>(sheet.freedbId));
        line(std::string("REM DISCID ") + id);
    }
    if (!sheet.program.empty()) line("REM COMMENT " + Quoted(sheet.program));
    if (!sheet.performer.empty()) line("PERFORMER " + Quoted(sheet.performer));
    if (!sheet.title.empty()) line("TITLE " + Quoted(sheet.title));
    for (const CueTrack& track : sheet.tracks) {
        char number[8];
        snprintf(number, sizeof number, "%02d", track.number);
        line("FILE " + QuotedName(track.file) + " WAVE");
        line(std::string("  TRACK ") + number + " AUDIO");
        if (!track.title.empty()) line("    TITLE " + Quoted(track.title));
        if (!track.performer.empty()) line("    PERFORMER " + Quoted(track.performer));
        line("    INDEX 01 00:00:00");
    }
    return text;
}
