// FLAC conversion: the WAV file the caller names is encoded through libFLAC into a FLAC
// file beside it, at level 5, with libFLAC's verify on (every frame is decoded again as
// it is made and compared with the samples given) and the audio's MD5 in STREAMINFO.
// Like the MP3 conversion it runs on the user-interface thread to its end and draws its
// progress into the prompt line.
//
// The FLAC file is written under a working name ("<name>.flac.part") and takes its own
// name only once libFLAC finished it without error or mismatch, it holds every sample
// frame of the WAV file and it was flushed and closed: a FLAC file of that name that was
// there before is replaced only by a whole one. The WAV file is never touched here.
#include "convert.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "display.h"
#include "engine_state.h"
#include "files.h"
#include "naming.h"
#include "resource.h"
#include "window_kit.h"

namespace {

const COLORREF kPromptColour = RGB(131, 31, 58);
const char kConvertingPrompt[] = "Converting:                                        ";

struct FlacConversion {
    HWND hwnd = nullptr;
    const char* wavPath = nullptr;
    char flacPath[kPathText] = {};
    char partPath[kPathText] = {};
    HANDLE wav = INVALID_HANDLE_VALUE;
    HANDLE flac = INVALID_HANDLE_VALUE;
    bool partCreated = false;
    FLAC__StreamEncoder* encoder = nullptr;
    FLAC__StreamMetadata* tags = nullptr;
    bool writeFailed = false;
    uint64_t framesEncoded = 0;   // sample frames handed to the encoder
    HDC dc = nullptr;
    bool playDisabled = false;
};

void Close(FlacConversion* c, bool completed) {
    if (c->encoder) FLAC__stream_encoder_delete(c->encoder);   // finishes an unfinished stream first
    c->encoder = nullptr;
    if (c->tags) FLAC__metadata_object_delete(c->tags);
    c->tags = nullptr;
    if (c->dc) ReleaseDC(c->hwnd, c->dc);
    c->dc = nullptr;
    if (c->wav != INVALID_HANDLE_VALUE) CloseHandle(c->wav);
    if (c->flac != INVALID_HANDLE_VALUE) CloseHandle(c->flac);
    c->wav = c->flac = INVALID_HANDLE_VALUE;
    if (!completed && c->partCreated) DeleteFileA(c->partPath);
    if (c->playDisabled) EnableControl(IDC_MAIN_PLAY, true);
}

bool Fail(FlacConversion* c, const char* why) {
    if (c->dc) ReleaseDC(c->hwnd, c->dc);   // the box needs the window to paint
    c->dc = nullptr;
    // The WAV file is never touched here, but it may have gone with its folder.
    const bool wavThere = c->wavPath && GetFileAttributesA(c->wavPath) != INVALID_FILE_ATTRIBUTES;
    char text[kPathText + 200];
    snprintf(text, sizeof text, "%s The FLAC file %s was not made; %s", why, c->flacPath,
             wavThere ? "the WAV file is unchanged." : "the WAV file is not there any more either.");
    MessageBoxA(c->hwnd, text, "FLAC Error", MB_OK);
    Close(c, false);
    return false;
}

FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t, uint32_t, void* data) {
    auto* c = static_cast<FlacConversion*>(data);
    while (bytes > 0) {
        DWORD chunk = bytes > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes), written = 0;
        if (!WriteFile(c->flac, buffer, chunk, &written, nullptr) || written != chunk) {
            c->writeFailed = true;
            return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
        }
        buffer += chunk, bytes -= chunk;
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

// Seeking lets libFLAC (which computes the MD5 of the audio unless told not to) write the finished STREAMINFO (its MD5, sample count and frame
// sizes) back at the file's start.
FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data) {
    auto* c = static_cast<FlacConversion*>(data);
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(c->flac, at, nullptr, FILE_BEGIN)) return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    c->writeFailed = true;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* data) {
    auto* c = static_cast<FlacConversion*>(data);
    LARGE_INTEGER zero = {}, at = {};
    if (!SetFilePointerEx(c->flac, zero, &at, FILE_CURRENT)) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(at.QuadPart);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool ReadExactly(HANDLE file, uint8_t* buffer, DWORD bytes) {
    DWORD read = 0;
    return ReadFile(file, buffer, bytes, &read, nullptr) && read == bytes;
}

// The tags as a VORBIS_COMMENT block; false when out of memory.
bool MakeTags(FlacConversion* c, const mp3::FlacTags& tags) {
    c->tags = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!c->tags) return false;
    for (const std::string& comment : mp3::VorbisComments(tags)) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        entry.length = static_cast<FLAC__uint32>(comment.size());
        entry.entry = reinterpret_cast<FLAC__byte*>(const_cast<char*>(comment.data()));
        if (!FLAC__metadata_object_vorbiscomment_append_comment(c->tags, entry, true)) return false;
    }
    return true;
}

bool StartEncoder(FlacConversion* c, const mp3::WavLayout& layout, uint64_t frames, const mp3::FlacTags& tags) {
    c->encoder = FLAC__stream_encoder_new();
    if (!c->encoder || !MakeTags(c, tags)) return Fail(c, "Out of memory.");
    FLAC__StreamEncoder* e = c->encoder;
    bool set = FLAC__stream_encoder_set_verify(e, true) && FLAC__stream_encoder_set_compression_level(e, mp3::kFlacLevel) &&
               FLAC__stream_encoder_set_channels(e, layout.channels) &&
               FLAC__stream_encoder_set_bits_per_sample(e, layout.bitsPerSample) &&
               FLAC__stream_encoder_set_sample_rate(e, layout.sampleRate) &&
               FLAC__stream_encoder_set_total_samples_estimate(e, frames) &&
               FLAC__stream_encoder_set_metadata(e, &c->tags, 1);
    if (!set || FLAC__stream_encoder_init_stream(e, WriteBytes, SeekTo, Tell, nullptr, c) !=
                    FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return Fail(c, "The FLAC encoder could not be started.");
    return true;
}

void DrawProgress(FlacConversion* c, const char* text) { DrawConversionProgress(c->dc, text); }

bool EncodeSound(FlacConversion* c, const mp3::WavLayout& layout) {
    c->playDisabled = true;
    c->dc = StartConversionProgress(c->hwnd);
    std::unique_ptr<uint8_t[]> input(new (std::nothrow) uint8_t[mp3::kFlacReadBytes]);
    std::unique_ptr<int32_t[]> samples(new (std::nothrow) int32_t[mp3::kFlacReadBytes]);
    if (!input || !samples) return Fail(c, "Out of memory.");
    const size_t frameBytes = static_cast<size_t>(layout.channels) * (layout.bitsPerSample / 8);
    const uint64_t total = layout.dataBytes / frameBytes * frameBytes;   // a torn last frame is not sound
    uint64_t done = 0;
    int shown = -1;
    while (done < total) {
        size_t n = static_cast<size_t>(total - done < mp3::kFlacReadBytes ? total - done : mp3::kFlacReadBytes);
        if (!ReadExactly(c->wav, input.get(), static_cast<DWORD>(n))) return Fail(c, "The WAV file could not be read.");
        size_t frames = mp3::ToFlacSamples(input.get(), n, layout.bitsPerSample, layout.channels, samples.get());
        if (!FLAC__stream_encoder_process_interleaved(c->encoder, samples.get(), static_cast<uint32_t>(frames)))
            return Fail(c, c->writeFailed ? "Write error." : "The FLAC encoder failed.");
        c->framesEncoded += frames;
        done += n;
        int percent = static_cast<int>(done * 100 / total);
        if (percent == shown) continue;
        shown = percent;
        char progress[32];
        snprintf(progress, sizeof progress, "Converting: %d %%", percent);
        DrawProgress(c, progress);
    }
    if (c->dc) ReleaseDC(c->hwnd, c->dc);
    c->dc = nullptr;
    return true;
}

// The stream's end: the last frames, verified, and STREAMINFO written back; then the
// file onto the disk and closed, and every sample frame accounted for.
bool FinishStream(FlacConversion* c, uint64_t frames) {
    bool finished = FLAC__stream_encoder_finish(c->encoder);
    FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(c->encoder);
    if (!finished) {
        if (state == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA)
            return Fail(c, "The FLAC file did not decode to the WAV file's sound.");
        return Fail(c, c->writeFailed ? "Write error." : "The FLAC encoder failed.");
    }
    if (c->writeFailed || !FlushFileBuffers(c->flac)) return Fail(c, "Write error.");
    BOOL closed = CloseHandle(c->flac);
    c->flac = INVALID_HANDLE_VALUE;
    if (!closed) return Fail(c, "Write error.");
    if (c->framesEncoded != frames) return Fail(c, "The FLAC file came out incomplete.");
    return true;
}

}  // namespace

bool ConvertWavToFlac(HWND hwnd, const char* wavPath, const mp3::FlacTags& tags) {
    FlacConversion c;
    c.hwnd = hwnd;
    c.wavPath = wavPath;
    if (!mp3::FlacPathFor(wavPath, c.flacPath, sizeof c.flacPath) || lstrcmpiA(c.flacPath, wavPath) == 0 ||
        !PartialFileName(c.flacPath, c.partPath, sizeof c.partPath))
        return Fail(&c, "The file name is too long.");
    mp3::WavLayout layout;
    if (!FindWavSound(wavPath, &layout) || !mp3::HasSound(layout)) return Fail(&c, "The WAV file could not be read.");
    if (!mp3::FlacTakes(layout)) return Fail(&c, "The WAV file's sound is not 8 or 16-bit PCM.");
    c.wav = CreateFileA(wavPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(layout.dataOffset);
    if (c.wav == INVALID_HANDLE_VALUE || !SetFilePointerEx(c.wav, at, nullptr, FILE_BEGIN))
        return Fail(&c, "The WAV file could not be read.");
    DWORD existing = GetFileAttributesA(c.flacPath);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(&c, "A folder has the FLAC file's name.");
    c.flac = CreateFileA(c.partPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (c.flac == INVALID_HANDLE_VALUE) return Fail(&c, "Error creating file.");
    c.partCreated = true;
    const uint64_t frames = layout.dataBytes / (static_cast<uint64_t>(layout.channels) * (layout.bitsPerSample / 8));
    if (!StartEncoder(&c, layout, frames, tags) || !EncodeSound(&c, layout)) return false;
    if (!FinishStream(&c, frames)) return false;
    CloseHandle(c.wav);
    c.wav = INVALID_HANDLE_VALUE;
    if (!MoveIntoPlace(c.partPath, c.flacPath)) {
        char why[160];
        snprintf(why, sizeof why, "The FLAC file cannot be written under its name: %s.", WhyNotInPlace(GetLastError()));
        return Fail(&c, why);
    }
    c.partCreated = false;
    Close(&c, true);
    return true;
}

