#include "mp3_tag.h"

#include <cstring>

namespace mp3 {

namespace {

// Copies `text`, cut to leave room for its NUL, into the field of `size` bytes at `at`.
void PutText(uint8_t* at, size_t size, const std::string& text) {
    std::string cut = CutUtf8(text, size - 1);
    memcpy(at, cut.data(), cut.size());
    at[cut.size()] = 0;
}

void PutNumber(uint8_t* at, int value) {
    unsigned v = value > 0 && value <= 0xFFFF ? static_cast<unsigned>(value) : 0;
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

void FillTagRecord(const Mp3Tag& tag, uint8_t (&record)[kTagRecordBytes]) {
    memset(record, 0, sizeof record);
    for (size_t i = 0; i < 4; ++i) record[i] = static_cast<uint8_t>(kTagRecordBytes >> (8 * i));
    PutNumber(record + 4, tag.track);
    PutNumber(record + 6, tag.trackTotal);
    PutText(record + 8, 256, tag.title);
    PutText(record + 264, 256, tag.artist);
    PutText(record + 520, 256, tag.album);
    PutText(record + 776, 8, tag.year);
    PutText(record + 784, 40, tag.releaseId);
    PutText(record + 824, 40, tag.artistId);
    PutText(record + 864, 40, tag.recordingId);
}

std::string TitleFromPath(const char* path) {
    const char* name = path;
    for (const char* at = path; *at; ++at)
        if (*at == '\\' || *at == '/' || *at == ':') name = at + 1;
    const char* dot = strrchr(name, '.');
    return std::string(name, dot ? static_cast<size_t>(dot - name) : strlen(name));
}

Mp3Tag TagFromNames(const ReleaseNames& release, const TrackNames& track) {
    Mp3Tag tag;
    tag.title = track.title;
    tag.artist = track.artist.empty() ? release.artist : track.artist;
    tag.album = release.album;
    tag.year = release.year;
    tag.track = track.number;
    tag.trackTotal = release.trackTotal;
    tag.releaseId = release.releaseId;
    tag.artistId = release.artistId;
    tag.recordingId = track.recordingId;
    return tag;
}

}  // namespace mp3
