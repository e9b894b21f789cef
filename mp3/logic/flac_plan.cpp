#include "flac_plan.h"

#include <cstring>

namespace mp3 {

namespace {

// Where the file's name begins in `path`: after its last folder separator.
size_t NameStart(const char* path) {
    size_t start = 0;
    for (size_t i = 0; path[i] != '\0'; ++i)
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') start = i + 1;
    return start;
}

// Where the file name's ending (its last ".") begins, or the path's end.
size_t EndingStart(const char* path) {
    size_t length = strlen(path), name = NameStart(path);
    for (size_t i = length; i > name; --i)
        if (path[i - 1] == '.') return i - 1;
    return length;
}

void Add(std::vector<std::string>* comments, const char* field, std::string value) {
    if (value.empty()) return;
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    comments->push_back(std::string(field) + "=" + value);
}

}  // namespace

bool FlacPathFor(const char* wavPath, char* out, size_t size) {
    size_t cut = EndingStart(wavPath);
    const char ending[] = ".flac";
    if (size == 0 || cut + sizeof ending > size) return false;
    memmove(out, wavPath, cut);
    memcpy(out + cut, ending, sizeof ending);
    return true;
}

std::vector<std::string> VorbisComments(const FlacTags& tags) {
    std::vector<std::string> comments;
    Add(&comments, "TITLE", tags.title);
    Add(&comments, "ARTIST", tags.artist);
    Add(&comments, "ALBUM", tags.album);
    Add(&comments, "DATE", tags.year);
    if (tags.track > 0) Add(&comments, "TRACKNUMBER", std::to_string(tags.track));
    if (tags.trackTotal > 0) Add(&comments, "TRACKTOTAL", std::to_string(tags.trackTotal));
    Add(&comments, "MUSICBRAINZ_ALBUMID", tags.releaseId);
    Add(&comments, "MUSICBRAINZ_ARTISTID", tags.artistId);
    Add(&comments, "MUSICBRAINZ_TRACKID", tags.recordingId);
    return comments;
}

bool FlacTakes(const WavLayout& layout) {
    // The canonical layout's format tag is not looked at, as for the MP3.
    return HasSound(layout) && (layout.kind == WavLayoutKind::kCanonical || layout.formatTag == 1) &&
           (layout.bitsPerSample == 8 || layout.bitsPerSample == 16) && (layout.channels == 1 || layout.channels == 2) &&
           layout.sampleRate >= 1 && layout.sampleRate <= 655350;
}

size_t ToFlacSamples(const uint8_t* pcm, size_t bytes, unsigned bitsPerSample, unsigned channels, int32_t* out) {
    size_t sampleBytes = bitsPerSample / 8, frameBytes = sampleBytes * channels;
    if (frameBytes == 0) return 0;
    size_t frames = bytes / frameBytes, samples = frames * channels;
    if (sampleBytes == 1) {
        for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int32_t>(pcm[i]) - 128;
    } else {
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8));
    }
    return frames;
}

}  // namespace mp3
