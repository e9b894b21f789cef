// mkdisc CUEPATH FRAMES... [--seed N] [--data N]
// mkdisc --wav WAVPATH FRAMES [--seed N]
//
// Writes a synthetic audio disc image: CUEPATH and, beside it, the BIN of the same
// stem, with one track per FRAMES argument (its length in frames, 75 a second).
// --data N makes it a CD-Extra: a data track of N sectors in a second session. With
// --wav it writes the material of a track of FRAMES frames as a CD-format WAV file.
// Exits 0 on success; prints the reason on stderr and exits 1 on bad arguments or
// files that cannot be written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "discgen.h"

namespace {

void PrintUsage(FILE* to) {
    fprintf(to,
            "usage: mkdisc CUEPATH FRAMES... [--seed N] [--data N]\n"
            "       mkdisc --wav WAVPATH FRAMES [--seed N]\n"
            "  writes CUEPATH and its BIN with one audio track per FRAMES (75 frames a second);\n"
            "  --data N adds a data track of N sectors in a second session (CD-Extra);\n"
            "  --wav writes a CD-format WAV file of one track's material instead\n");
}

// A whole decimal number from 0 to `max`, digits only.
bool ParseCount(const char* text, unsigned long max, unsigned long* value) {
    if (!*text || strlen(text) > 10) return false;
    unsigned long v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<unsigned long>(*p - '0');
        if (v > max) return false;
    }
    *value = v;
    return true;
}

int Fail(const std::string& text) {
    fprintf(stderr, "mkdisc: %s\n", text.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    std::vector<long> frames;
    unsigned long seed = 1, dataFrames = 0;
    bool wav = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        }
        if (strcmp(arg, "--seed") == 0 || strncmp(arg, "--seed=", 7) == 0) {
            const char* value = arg[6] == '=' ? arg + 7 : (i + 1 < argc ? argv[++i] : "");
            if (!ParseCount(value, 0xFFFFFFFFUL, &seed))
                return Fail(std::string("--seed needs a whole number from 0 to 4294967295, not '") + value + "'");
        } else if (strcmp(arg, "--wav") == 0) {
            wav = true;
        } else if (strcmp(arg, "--data") == 0 || strncmp(arg, "--data=", 7) == 0) {
            const char* value = arg[6] == '=' ? arg + 7 : (i + 1 < argc ? argv[++i] : "");
            if (!ParseCount(value, 450000, &dataFrames) || dataFrames == 0)
                return Fail(std::string("--data needs a number of sectors from 1 to 450000, not '") + value + "'");
        } else if (arg[0] == '-' && arg[1] != '\0') {
            PrintUsage(stderr);
            return Fail(std::string("unknown option '") + arg + "'");
        } else if (path.empty()) {
            path = arg;
        } else {
            unsigned long n;
            if (!ParseCount(arg, 450000, &n) || n == 0)
                return Fail(std::string("track length '") + arg + "' is not a number of frames from 1 to 450000");
            frames.push_back(static_cast<long>(n));
        }
    }
    if (path.empty() || frames.empty()) {
        PrintUsage(stderr);
        return Fail(path.empty() ? "no path given" : "no track lengths given");
    }
    std::string error;
    if (wav) {
        if (frames.size() != 1 || dataFrames > 0) return Fail("--wav takes one length and no --data");
        if (!discgen::WriteTrackWav(path, frames[0], static_cast<uint32_t>(seed), &error)) return Fail(error);
        printf("%s: %ld frames (%ld:%02ld)\n", path.c_str(), frames[0], frames[0] / 4500, frames[0] / 75 % 60);
        return 0;
    }
    if (!discgen::WriteDisc(path, frames, static_cast<uint32_t>(seed), &error, static_cast<long>(dataFrames)))
        return Fail(error);
    long total = 0;
    for (long f : frames) total += f;
    printf("%s: %zu tracks, %ld frames (%ld:%02ld)%s\n", path.c_str(), frames.size(), total, total / 4500,
           total / 75 % 60, dataFrames > 0 ? ", then a data track" : "");
    return 0;
}
