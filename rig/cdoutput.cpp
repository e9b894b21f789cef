// The CD's audio output, rebuilt from the play history: a recording that starts at
// clock `origin` hears, at its pair n, pair n - offset of each play, where offset is
// the play's start measured in pairs from `origin`, rounded up: pair n, taken at
// origin + n / 44,100 s, hears the pair the play was sending out at that moment, never
// one it had not reached yet (a take stopped just before the play would otherwise end
// on a pair of silence). Integer offsets keep the played PCM intact, bit for bit.
#include "rigcore_internal.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace rigcore {
namespace {

int64_t CeilDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) == (b < 0)) ? q + 1 : q;
}

// Copies pairs [first, first + count) of the stretch starting at frame `from` of `bin`
// into `out`; what cannot be read stays silent.
void ReadPairs(const std::string& bin, int32_t from, int64_t first, int32_t count, int16_t* out) {
    HANDLE file = CreateFileA(bin.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER offset;
    offset.QuadPart = (static_cast<int64_t>(from) * RIG_PAIRS_PER_FRAME + first) * 4;
    DWORD got = 0;
    if (SetFilePointerEx(file, offset, nullptr, FILE_BEGIN))
        ReadFile(file, out, static_cast<DWORD>(count) * 4, &got, nullptr);
    CloseHandle(file);
    // A short read (a BIN cut while playing) leaves the rest silent.
    if (got < static_cast<DWORD>(count) * 4) std::memset(reinterpret_cast<char*>(out) + got, 0, count * 4 - got);
}

}  // namespace
}  // namespace rigcore

using namespace rigcore;

extern "C" RIGCORE_API void RigCdOutput(int64_t origin, int64_t first, int32_t count, int16_t* pairs) {
    if (count <= 0) return;
    std::memset(pairs, 0, static_cast<size_t>(count) * 4);
    std::vector<Segment> segments;
    {
        std::lock_guard<std::mutex> hold(g_core.lock);
        SettlePlay(Now());
        segments.assign(g_core.history.begin(), g_core.history.end());
    }
    // Oldest first, so a later play wins where rounding lets two touch.
    for (const Segment& seg : segments) {
        int64_t offset = CeilDiv((seg.start - origin) * RIG_CD_RATE, Frequency());
        int64_t begin = first - offset, end = begin + count;   // in the play's pairs
        if (begin < 0) begin = 0;
        if (end > seg.EndPair()) end = seg.EndPair();
        if (begin >= end) continue;
        int64_t at = begin + offset - first;   // where it lands in `pairs`
        ReadPairs(seg.binPath, seg.binFrom, begin, static_cast<int32_t>(end - begin), pairs + at * 2);
    }
}
