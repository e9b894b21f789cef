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
    if (t.c2Read) {
        std::string c2 = "none";
        if (!t.c2Frames.empty()) {
            c2 = "frames " + FrameRanges(t.c2Frames) + ", read again at once";
            if (!t.c2Left.empty()) c2 += "; still flagged: " + FrameRanges(t.c2Left);
        }
        text += Row("C2 errors", c2);
    }
    return text;
}

std::string Signed(long samples) {
    char text[24];
    snprintf(text, sizeof text, samples ? "%+ld samples" : "%ld samples", samples);
    return text;
}

std::string OffsetText(const RipLog& log) {
    switch (log.offsetSource) {
        case OffsetSource::kUser: return Signed(log.readOffset) + ", set by the user";
        case OffsetSource::kDriveList: return Signed(log.readOffset) + ", from the AccurateRip drive list";
        case OffsetSource::kNotListed: return "unknown: 0 samples (the drive is not in the AccurateRip drive list)";
        case OffsetSource::kListUnreachable: return "unknown: 0 samples (the AccurateRip drive list was not reached)";
        case OffsetSource::kListUnreadable: return "unknown: 0 samples (the AccurateRip drive list is unreadable)";
        case OffsetSource::kVirtualDrive: return "0 samples (a virtual drive has none)";
    }
    return "";
}

std::string C2Text(uint32_t c2) {
    switch (c2) {
        case akrip::kC2Bits: return "read with every frame of the copy";
        case akrip::kC2BlockBits: return "read with every frame of the copy (296-byte form: the drive refused 294)";
        case akrip::kC2Refused: return "refused by the drive, which says it has them: read without them";
        default: return "none";
    }
}

std::string CacheText(const CacheAccount& cache) {
    if (cache.none) return "none";
    std::string frames = std::to_string(cache.frames) + " frames";
    return (cache.reported ? frames + " as the drive reports it" : "not reported, " + frames + " assumed") +
           ": read past before each re-read";
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
    text += Row("Read offset", OffsetText(log));
    text += Row("C2 pointers", C2Text(log.c2));
    text += Row("Read cache", CacheText(log.cache));
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
    if (!log.names.empty()) text += Row("Track names", log.names);
    for (const TrackLog& t : log.tracks) text += "\r\n" + TrackText(t);
    return text + "\r\n" + Verdict(log) + "\r\n";
}
