// The CUE sheet parser over any text a file can hold. Beyond "no fault": a rejection
// leaves an empty disc and one short line that says why; an accepted sheet has 1 to
// 99 tracks starting in ascending order at or after LBA 0, each with its kind and a
// session numbered from 1 without a step left out, each ending after its start and
// no later than the next begins, a BIN path resolved against the CUE's folder; and it
// says the same when written out again in its plain form (FILE, REM SESSION nn, TRACK
// nn AUDIO or MODE1/2352, INDEX 01 mm:ss:ff) and parsed back.
#include <cstdio>
#include <string>

#include "disc.h"
#include "fuzz_check.h"

namespace {

// The folder the CUE sheet lies in: none, a Windows one or a POSIX one.
const char* const kFolders[] = {"", "Z:\\discs", "/discs/"};

std::string MsfText(long frames) {
    rig::Msf msf = rig::FramesToMsf(frames);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", msf.m, msf.s, msf.f);
    return text;
}

// A name is written in quotes when it has blanks: such a name came from quotes and so
// holds none; a name without blanks came bare and never starts with a quote.
std::string PlainSheet(const std::string& binName, const rig::Disc& disc) {
    bool quoted = binName.find_first_of(" \t") != std::string::npos;
    std::string sheet = "FILE " + (quoted ? "\"" + binName + "\"" : binName) + " BINARY\n";
    for (int k = 1; k <= disc.TrackCount(); ++k) {
        char line[40];
        if (k > 1 && disc.Session(k) != disc.Session(k - 1)) {
            std::snprintf(line, sizeof line, "REM SESSION %02d\n", disc.Session(k));
            sheet += line;
        }
        std::snprintf(line, sizeof line, "  TRACK %02d %s\n", k, disc.IsData(k) ? "MODE1/2352" : "AUDIO");
        sheet += line;
        // INDEX positions are the BIN's: the session gaps before the track are not in it.
        const long inBin = disc.trackStarts[k - 1] - (disc.Session(k) - 1) * rig::kSessionGapFrames;
        sheet += "    INDEX 01 " + MsfText(inBin) + "\n";
    }
    return sheet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string folder = kFolders[data[0] % 3];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    rig::Disc disc;
    disc.trackStarts.push_back(7);   // the parser starts from an empty disc
    std::string error;
    if (!rig::ParseCue(text, folder, &disc, &error)) {
        FUZZ_CHECK(disc.TrackCount() == 0 && disc.binPath.empty());
        FUZZ_CHECK(!error.empty() && error.size() < 200);
        FUZZ_CHECK(error.find_first_of("\r\n") == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(disc.TrackCount() >= 1 && disc.TrackCount() <= rig::kMaxTracks);
    FUZZ_CHECK(disc.trackStarts[0] >= 0);
    FUZZ_CHECK(disc.dataTracks.size() == disc.trackStarts.size() && disc.sessions.size() == disc.trackStarts.size());
    FUZZ_CHECK(disc.Session(1) == 1);
    for (int k = 1; k < disc.TrackCount(); ++k) {
        FUZZ_CHECK(disc.trackStarts[k - 1] < disc.trackStarts[k]);
        FUZZ_CHECK(disc.Session(k + 1) - disc.Session(k) == 0 || disc.Session(k + 1) - disc.Session(k) == 1);
        FUZZ_CHECK(rig::TrackEnd(disc, k) > disc.trackStarts[k - 1] && rig::TrackEnd(disc, k) <= disc.trackStarts[k]);
    }
    FUZZ_CHECK(disc.leadout == 0);
    FUZZ_CHECK(!disc.binPath.empty());
    if (folder.empty()) {
        rig::Disc again;
        FUZZ_CHECK(rig::ParseCue(PlainSheet(disc.binPath, disc), "", &again, &error));
        FUZZ_CHECK(again.binPath == disc.binPath && again.trackStarts == disc.trackStarts &&
                   again.dataTracks == disc.dataTracks && again.sessions == disc.sessions);
    } else {
        const bool absolute = disc.binPath[0] == '/' || disc.binPath[0] == '\\' ||
                              (disc.binPath.size() >= 2 && disc.binPath[1] == ':');
        FUZZ_CHECK(absolute || disc.binPath.compare(0, folder.size(), folder) == 0);
    }
    return 0;
}
