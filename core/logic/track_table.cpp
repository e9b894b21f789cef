#include "track_table.h"

#include <cstring>

int ReplyNumber(const char* text) {
    while (*text == ' ') ++text;
    int value = 0;
    for (int digits = 0; *text >= '0' && *text <= '9' && digits < 6; ++text, ++digits)
        value = value * 10 + (*text - '0');
    return value;
}

int TrackCountFromReply(const char* reply) {
    int count = ReplyNumber(reply);
    return count > kMaxTrack ? kMaxTrack : count;
}

bool IsLetterTrack(const TrackTable& table) {
    return strcmp(table.currentTrack, "L") == 0 || strcmp(table.currentTrack, "C") == 0;
}

int CurrentTrackNumber(const TrackTable& table) { return ReplyNumber(table.currentTrack); }

void SetCurrentTrack(TrackTable* table, int track) {
    if (track < 0) track = 0;
    if (track > kMaxTrack) track = kMaxTrack;
    char text[4] = {};
    if (track >= 10) {
        text[0] = static_cast<char>('0' + track / 10);
        text[1] = static_cast<char>('0' + track % 10);
    } else {
        text[0] = static_cast<char>('0' + track);
    }
    CopyText(table->currentTrack, text);
}

void SetCurrentTrackText(TrackTable* table, const char* text) { CopyText(table->currentTrack, text); }

int PreviousTrack(int current, int count) {
    if (count < 1) return 1;
    return current <= 1 || current > count ? count : current - 1;
}

int NextTrack(int current, int count) {
    if (count < 1) return 1;
    return current >= count || current < 1 ? 1 : current + 1;
}

static int TwoDigits(const char* text) {
    int value = 0;
    for (int i = 0; i < 2 && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

int LengthSeconds(const char* lengthText) {
    size_t len = strnlen(lengthText, 8);
    int minutes = TwoDigits(lengthText);
    int seconds = len > 3 ? TwoDigits(lengthText + 3) : 0;
    return minutes * 60 + seconds;
}

namespace {

// Reads `count` fields of two digits separated by colons; false when the text is not so.
bool ColonFields(const char* text, int count, int* fields) {
    for (int i = 0; i < count; ++i) {
        const char* at = text + 3 * i;
        if (at[0] < '0' || at[0] > '9' || at[1] < '0' || at[1] > '9') return false;
        if (i + 1 < count && at[2] != ':') return false;
        fields[i] = (at[0] - '0') * 10 + (at[1] - '0');
    }
    return true;
}

constexpr long kFramesPerSecond = 75;

}  // namespace

long LengthFrames(const char* lengthText) {
    int f[3];
    if (strnlen(lengthText, 8) < 8 || !ColonFields(lengthText, 3, f)) return 0;
    return (f[0] * 60L + f[1]) * kFramesPerSecond + f[2];
}

bool PlayReachedTrackEnd(const char* position, int track, const char* lengthText) {
    int f[4];
    if (strnlen(position, 11) < 11 || !ColonFields(position, 4, f)) return false;
    long at = (f[1] * 60L + f[2]) * kFramesPerSecond + f[3];
    if (f[0] == track + 1) return at <= kFramesPerSecond;   // at the next track's start
    return f[0] == track && at >= LengthFrames(lengthText) - kFramesPerSecond;
}
