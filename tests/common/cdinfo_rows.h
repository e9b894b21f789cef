// The track list libcdio's cd-info prints for a disc image, for the tests that check a
// table of contents against it (unit and end-to-end).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cdinfo {

struct Row {
    int track = 0;  // 170 for the lead-out
    int m = 0, s = 0, f = 0;
    long lsn = 0;
    std::string type;  // "audio", "data" or "leadout"
};

// The lines of a program's output, without their line ends.
inline std::vector<std::string> OutputLines(const std::string& output) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < output.size();) {
        size_t end = output.find('\n', pos);
        if (end == std::string::npos) end = output.size();
        lines.push_back(output.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// The rows of cd-info's track list: "  3: 01:13:00  005325 audio ..." and the lead-out.
inline std::vector<Row> ParseTrackList(const std::string& output) {
    std::vector<Row> rows;
    for (const std::string& line : OutputLines(output)) {
        Row row;
        char type[16] = {0};
        if (sscanf(line.c_str(), " %d: %d:%d:%d %ld %15s", &row.track, &row.m, &row.s, &row.f, &row.lsn, type) == 6 &&
            (std::string(type) == "audio" || std::string(type) == "data" || std::string(type) == "leadout")) {
            row.type = type;
            rows.push_back(row);
        }
    }
    return rows;
}

// The command that prints the track list of a CUE sheet (its path quoted for a shell).
inline std::string Command(const std::string& quotedCue) {
    return "cd-info --no-cddb --no-header --no-device-info -q --cue-file " + quotedCue;
}

}  // namespace cdinfo
