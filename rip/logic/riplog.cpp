#include "riplog.h"

#include <cstdio>

#include "secureread.h"

namespace {

std::string Hex(uint32_t value) {
    char text[12];
    snprintf(text, sizeof text, "%08X", value);
    return text;
}

// "mm:ss.ff" of a count of frames.
std::string Time(long frames) {
    char text[40];
    snprintf(text, sizeof text, "%02ld:%02ld.%02ld", frames / 4500, frames / 75 % 60, frames % 75);
    return text;
}

std::string Row(const char* label, const std::string& value) {
    char text[32];
    snprintf(text, sizeof text, "  %-13s", label);
    return text + value + "\r\n";
}

std::string LookupText(const RipLog& log) {
    switch (log.lookup) {
        case ArLookupStatus::kFound:
            return "found, " + std::to_string(log.pressings) + (log.pressings == 1 ? " pressing" : " pressings");
        case ArLookupStatus::kNotInDatabase: return "not in database";
        case ArLookupStatus::kNotReached: return "database not reached";
        case ArLookupStatus::kUnreadable: return "database answer unreadable";
    }
    return "";
}

std::string TrackText(const TrackLog& t) {
    std::string text = "Track " + std::to_string(t.track) + ": " + t.file + "\r\n";
    text += Row("Range", "frames " + std::to_string(t.start) + "-" + std::to_string(t.start + t.frames - 1) + " (" +
                             std::to_string(t.frames) + " frames, " + Time(t.frames) + ")");
    if (t.state == TrackLog::State::kReadFailed)
        return text + "  Read error at frame " + std::to_string(t.failedFrame) + ": the track was not ripped.\r\n";
    if (t.state == TrackLog::State::kWriteFailed) return text + "  Write error: the track was not ripped.\r\n";
    text += Row("Copy CRC", Hex(t.sums.crc));
    if (!t.tested)
        text += Row("Test CRC", "not read: AccurateRip confirms the copy");
    else if (t.testFailed)
        text += Row("Test CRC", "not read: read error at frame " + std::to_string(t.testFailedFrame));
    else
        text += Row("Test CRC", Hex(t.testCrc));
    text += Row("AccurateRip", "v1 " + Hex(t.sums.v1) + ", v2 " + Hex(t.sums.v2) + ": " + ResultText(t.match));
    std::string reread = "none";
    if (!t.reread.empty()) {
        reread = "frames " + FrameRanges(t.reread);
        reread += t.unsettled.empty() ? ", all settled" : "; never read alike: " + FrameRanges(t.unsettled);
    }
    if (t.tested && !t.testFailed) text += Row("Re-read", reread);
    return text;
}

}  // namespace

std::string FileNameOf(const std::string& path) {
    size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string LogPathFor(const std::string& wavPath) {
    size_t name = wavPath.size() - FileNameOf(wavPath).size();
    size_t dot = wavPath.rfind('.');
    return (dot != std::string::npos && dot >= name ? wavPath.substr(0, dot) : wavPath) + ".log";
}

std::string Verdict(const RipLog& log) {
    const TrackLog* failed = nullptr;
    const TrackLog* unsettled = nullptr;
    const TrackLog* untested = nullptr;
    bool allAccurate = !log.tracks.empty(), anyMismatch = false;
    for (const TrackLog& t : log.tracks) {
        if (t.state != TrackLog::State::kRipped && !failed) failed = &t;
        if (!t.unsettled.empty() && !unsettled) unsettled = &t;
        if (t.testFailed && !untested) untested = &t;
        if (t.match.result != ArResult::kAccurate) allAccurate = false;
        if (t.match.result == ArResult::kMismatch) anyMismatch = true;
    }
    if (failed) return "Verdict: not ripped: track " + std::to_string(failed->track) + " could not be " +
                       (failed->state == TrackLog::State::kReadFailed ? "read." : "written.");
    if (unsettled) return "Verdict: errors: frames of track " + std::to_string(unsettled->track) +
                          " never read alike twice.";
    if (untested) return "Verdict: unverified: track " + std::to_string(untested->track) +
                         " could not be read a second time.";
    if (allAccurate) return "Verdict: accurate: every track matches the AccurateRip database.";
    return std::string("Verdict: secure: every track read alike twice") +
           (anyMismatch ? "; AccurateRip has other checksums." : "; not confirmed by AccurateRip.");
}

std::string RipLogText(const RipLog& log) {
    std::string text = log.program + " rip log\r\n\r\n";
    text += Row("Date", log.date);
    text += Row("Drive", log.drive);
    text += Row("Read offset", std::to_string(log.readOffset) + " samples");
    text += "\r\nTable of contents\r\n";
    for (size_t k = 0; k < log.layout.starts.size(); ++k) {
        long start = log.layout.starts[k];
        bool data = k < log.layout.data.size() && log.layout.data[k];
        char row[96];
        snprintf(row, sizeof row, "  Track %2zu  start %6ld  %s  %s\r\n", k + 1, start, Time(start).c_str(),
                 data ? "data" : "audio");
        text += row;
    }
    char leadout[64];
    snprintf(leadout, sizeof leadout, "  Lead-out  start %6ld  %s\r\n", log.layout.leadout,
             Time(log.layout.leadout).c_str());
    text += leadout;
    text += "\r\n" + Row("Disc ids", "AccurateRip " + Hex(log.ids.id1) + "-" + Hex(log.ids.id2) + ", freedb " +
                                          Hex(log.ids.freedb));
    text += Row("AccurateRip", log.entry + ": " + LookupText(log));
    for (const TrackLog& t : log.tracks) text += "\r\n" + TrackText(t);
    return text + "\r\n" + Verdict(log) + "\r\n";
}
