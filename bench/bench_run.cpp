// bench_run: one timed job of CD Quorrel, driven as a user would drive it, for
// ./dev bench. It starts PROGRAM in FOLDER (the virtual drive already holds the disc),
// waits until the disc has been read, then
//
//   bench_run rip PROGRAM FOLDER TRACK OUT.wav        rips TRACK into OUT.wav
//   bench_run flac PROGRAM FOLDER TRACK OUT.wav       the same with "Convert to FLAC" on: OUT.flac too
//   bench_run offline PROGRAM FOLDER TRACK OUT.wav    the same without a database
//   bench_run mp3 PROGRAM FOLDER KBPS IN.wav          converts IN.wav to MP3 at KBPS
//
// and times the Play command from the moment it is sent until it returns (the rip
// and the conversion run inside it). For a rip, a server of its own on 127.0.0.1 is
// the AccurateRip database and confirms the disc, as it does for a common disc, so the
// track is read once. An offline rip meets no database (a port on 127.0.0.1 where
// nothing listens), as a user does offline or with a disc the database lacks: the
// track is read twice, the copy and a test read compared with it. It prints one line, "SECONDS PEAK_BYTES": the time and the program's peak working set,
// read from the process after the job, and ends the program. The rip's log must show
// the rip's way: confirmed by the database, or read alike twice. Exit code 0 on
// success; on any failure it says why on stderr and exits 1. Nothing here judges the
// speed.
#include "http_server.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "accuraterip.h"
#include "checksums.h"
#include "harness.h"
#include "quorrel_session.h"

namespace {

using quorrel::kExit;
using quorrel::kNextTrack;
using quorrel::kPlay;
using quorrel::kSongName;

constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kJobTimeoutMs = 600000;
constexpr int kRipSource = 0, kConvertSource = 3;

bool g_failed = false;

void Report(const std::string& message) {
    g_failed = true;
    fprintf(stderr, "bench_run: %s\n", message.c_str());
}

// A program started in `folder` with the given recording settings, its disc read.
bool Launch(harness::Program& program, const std::string& exe, const std::string& folder, int kbps, int source) {
    // Keep WAV on, convert off: no question interrupts the timed command.
    std::string settings = quorrel::SettingsFileBytes(16, 44100, 2, kbps, source, true, false);
    if (!harness::WriteFile(harness::JoinPath(folder, "CDQuorrel.ini"), settings)) {
        Report("cannot write the settings file into " + folder);
        return false;
    }
    if (!program.Start(exe, folder)) return false;
    program.AutoAnswer({"MP3 Error", "", "OK"});
    if (!program.WaitForWindow("CDQuorl", kStartTimeoutMs)) return false;
    if (!harness::WaitUntil([&] { return program.IsEnabled(kPlay); }, kStartTimeoutMs)) {
        Report("the Play button did not come on: the disc was not read");
        return false;
    }
    return true;
}

struct PlaySend {
    HWND window = nullptr;
    double seconds = 0;
    bool done = false;
};

// Sends Play to the window and times it until the command returns.
DWORD WINAPI SendPlay(void* param) {
    PlaySend* send = static_cast<PlaySend*>(param);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR result = 0;
    send->done = SendMessageTimeoutA(send->window, WM_COMMAND, MAKEWPARAM(kPlay, 0), 0, SMTO_NORMAL, kJobTimeoutMs,
                                     &result) != 0;
    QueryPerformanceCounter(&end);
    send->seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    return 0;
}

// On the virtual machines the bench runs on, memory the system has not used for a
// second or two goes back to the host, and the next job to write a few hundred
// megabytes waits while it is handed out again: 0.3 to 0.5 s for 200 MB, whichever
// program writes them. Each timed job, ours and the references alike, starts right
// after 384 MB were written to a scratch file beside its output and removed, so none
// pays for it.
void RenewPages(const std::string& beside) {
    const std::string scratch = beside + ".pages";
    HANDLE file = CreateFileA(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    static char zeros[1 << 20];
    DWORD written = 0;
    for (int i = 0; i < 384 && WriteFile(file, zeros, sizeof zeros, &written, nullptr); ++i) {
    }
    CloseHandle(file);
    DeleteFileA(scratch.c_str());
}

// Sends Play with `song` in the song name field; the seconds until the command returned.
// The command is sent from a second thread, so that a message box that stops it is
// reported at once instead of waiting it out.
bool TimePlay(harness::Program& program, const std::string& song, double* seconds) {
    if (!program.SetControlText(kSongName, song)) return false;
    RenewPages(song);
    PlaySend send;
    send.window = program.Window();
    HANDLE thread = CreateThread(nullptr, 0, SendPlay, &send, 0, nullptr);
    if (!thread) {
        Report("cannot start the thread that sends Play");
        return false;
    }
    std::vector<harness::MessageBoxInfo> boxes;
    while (WaitForSingleObject(thread, 100) == WAIT_TIMEOUT && boxes.empty()) boxes = program.MessageBoxes();
    if (!boxes.empty()) {
        Report("the job stopped at \"" + boxes[0].title + "\": \"" + boxes[0].text + "\"");
        program.Kill();
        WaitForSingleObject(thread, INFINITE);
    }
    CloseHandle(thread);
    if (!send.done && boxes.empty()) Report("Play did not return");
    *seconds = send.seconds;
    return send.done && boxes.empty();
}

SIZE_T PeakWorkingSet(harness::Program& program) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(program.Process(), &counters, sizeof counters)) {
        Report("cannot read the program's working set");
        return 0;
    }
    return counters.PeakWorkingSetSize;
}

// The bench times a rip the database confirms, on any disc image: the entry is
// reckoned here with the program's own sums (the tests check those against whipper).
// The AccurateRip database's entry for the disc of `cuePath` as the database holds it
// for a pressing that `confidence` rips agree on: its path below the base address and
// its bytes (track count, ids, then per audio track the confidence, the v2 checksum of
// the BIN's bytes and a frame-450 checksum of 0).
bool AccurateRipEntryFor(const std::string& cuePath, int confidence, std::string* path, std::string* entry) {
    rig::Disc disc;
    std::string error;
    akrip::Toc toc;
    DiscLayout layout;
    if (!rig::LoadDisc(cuePath, &disc, &error) ||
        !akrip::BuildToc(disc.trackStarts, disc.leadout, false, &toc, disc.dataTracks) || !LayoutFromToc(toc, &layout))
        return false;
    const DiscIds ids = ComputeDiscIds(layout);
    *path = DatabasePath(ids);
    entry->assign(1, static_cast<char>(ids.audioTracks));
    for (uint32_t v : {ids.id1, ids.id2, ids.freedb}) entry->append(reinterpret_cast<const char*>(&v), 4);
    FILE* bin = fopen(disc.binPath.c_str(), "rb");
    std::vector<uint8_t> chunk(1 << 20);
    for (int track = 1; bin && track <= ids.audioTracks; ++track) {
        long start = 0, frames = 0, binFirst = 0;
        if (!akrip::TrackSpan(toc, track, &start, &frames) || !rig::LbaToBinFrame(disc, start, &binFirst) ||
            fseek(bin, binFirst * static_cast<long>(kAudioFrameBytes), SEEK_SET) != 0)
            break;
        TrackSummer summer(frames, track == 1, track == ids.audioTracks);
        for (size_t left = static_cast<size_t>(frames) * kAudioFrameBytes, n; left > 0; left -= n) {
            n = fread(chunk.data(), 1, std::min(left, chunk.size()), bin);
            if (n == 0) break;
            summer.Add(chunk.data(), n);
        }
        if (summer.Frames() != frames) break;
        uint32_t v2 = summer.Track().v2, frame450 = 0;
        entry->push_back(static_cast<char>(confidence));
        entry->append(reinterpret_cast<const char*>(&v2), 4);
        entry->append(reinterpret_cast<const char*>(&frame450), 4);
    }
    if (bin) fclose(bin);
    return entry->size() == 13 + 9 * static_cast<size_t>(ids.audioTracks);
}

bool Finish(harness::Program& program) {
    program.AutoAnswer({"Save", "", "No"});
    DWORD code = 0;
    if (!program.PostCommand(kExit) || !program.WaitForExit(15000, &code)) return false;
    if (code != 0) Report("the program ended with code " + std::to_string(code));
    return code == 0;
}

// Rips track `number` of the disc in the drive into `file`, timed; the database that
// `databaseUrl` names answers, and the log's verdict must begin with `verdict`.
bool RipJob(harness::Program& program, const std::string& exe, const std::string& folder, int number,
            const std::string& file, const std::string& databaseUrl, const char* verdict, double* seconds) {
    quorrel::SetProgramValue("AccurateRipUrl", databaseUrl);
    quorrel::SetProgramValue("ReadOffset", "");
    const std::string log = file.substr(0, file.rfind('.')) + ".log";
    DeleteFileA(file.c_str());
    if (!Launch(program, exe, folder, 128, kRipSource)) return false;
    for (int i = 1; i < number; ++i)
        if (!program.SendCommand(kNextTrack)) return false;
    if (!TimePlay(program, file, seconds)) return false;
    if (!harness::FileExists(file)) Report("the rip made no file " + file);
    if (harness::ReadFileOrEmpty(log).find(std::string("\r\nVerdict: ") + verdict) == std::string::npos)
        Report(std::string("the rip's log gives no verdict \"") + verdict + "\": " + log);
    DeleteFileA(log.c_str());
    return true;
}

void SetFlacSwitch(bool on) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\CD Quorrel", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD value = on ? 1 : 0;
    RegSetValueExA(key, "ConvertToFlac", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

int Run(char** argv) {
    const std::string job = argv[1], exe = argv[2], folder = harness::FullPath(argv[3]);
    const int number = atoi(argv[4]);
    const std::string file = harness::FullPath(argv[5]);
    harness::Program program;
    double seconds = 0;
    harness::HttpServer database;
    quorrel::SetProgramValue("AccurateRipUrl", quorrel::kNoDatabase);
    quorrel::SetProgramValue("MusicBrainzUrl", quorrel::kNoDatabase);   // no name source: the disc is named as today
    quorrel::SetProgramValue("FreedbUrl", quorrel::kNoDatabase);
    // "Convert to FLAC" is on for the flac job alone (the program reads it at its start).
    SetFlacSwitch(job == "flac");
    if ((job == "rip" || job == "flac") && number >= 1) {
        // A server on this machine answers with the disc's entry: no second read is needed.
        std::string path, entry;
        if (!AccurateRipEntryFor(rigstate::Disc(), 200, &path, &entry) || !database.Start()) {
            Report("cannot serve the AccurateRip entry of " + rigstate::Disc());
            return 1;
        }
        database.Serve("/" + path, entry);
        if (!RipJob(program, exe, folder, number, file, database.Base(), "accurate", &seconds)) return 1;
    } else if (job == "offline" && number >= 1) {
        if (!RipJob(program, exe, folder, number, file, quorrel::kNoDatabase, "secure: every track read alike twice",
                    &seconds))
            return 1;
    } else if (job == "mp3" && number > 0) {
        if (!Launch(program, exe, folder, number, kConvertSource)) return 1;
        if (!TimePlay(program, file, &seconds)) return 1;
    } else {
        Report("unknown job " + job);
        return 2;
    }
    SIZE_T peak = PeakWorkingSet(program);
    bool finished = Finish(program);
    SetFlacSwitch(false);
    if (!finished || g_failed) return 1;
    printf("%.4f %lu\n", seconds, static_cast<unsigned long>(peak));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr,
                "usage: bench_run rip PROGRAM FOLDER TRACK OUT.wav\n"
                "       bench_run flac PROGRAM FOLDER TRACK OUT.wav\n"
                "       bench_run offline PROGRAM FOLDER TRACK OUT.wav\n"
                "       bench_run mp3 PROGRAM FOLDER KBPS IN.wav\n");
        return 2;
    }
    harness::SetFailureHandler(Report);
    harness::KeptKeys kept;   // the database's address and the read offset go back as they were
    int result = Run(argv);
    return result != 0 || g_failed ? (result ? result : 1) : 0;
}
