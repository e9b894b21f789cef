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
//
// A long sound is encoded by two encoders at once, the second on a thread of its own:
// its frames go to "<name>.flac.part2" (deleted when it is closed), numbered on from the
// first part's, and are put after them once both parts are done; the audio's MD5 is
// then taken here, over the whole, and STREAMINFO finished for it (see flac_plan.h).
#include "convert.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <wincrypt.h>

#include <atomic>
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

// libFLAC's switch for the MD5 of the audio, exported but left out of its headers.
extern "C" FLAC__bool FLAC__stream_encoder_set_do_md5(FLAC__StreamEncoder* encoder, FLAC__bool value);

namespace {

// The MD5 of the audio, taken through the system's cryptographic provider when two
// encoders share the file (each would see only its part).
struct AudioMd5 {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    bool Start() {
        return CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
               CryptCreateHash(provider, CALG_MD5, 0, 0, &hash);
    }
    // WAV sound in place made what FLAC takes its MD5 of, then added.
    bool AddSound(uint8_t* pcm, size_t n, unsigned bitsPerSample) {
        mp3::ToFlacMd5Input(pcm, n, bitsPerSample);
        return CryptHashData(hash, pcm, static_cast<DWORD>(n), 0) != FALSE;
    }
    bool Finish(uint8_t md5[16]) {
        DWORD size = 16;
        return CryptGetHashParam(hash, HP_HASHVAL, md5, &size, 0) && size == 16;
    }
    ~AudioMd5() {
        if (hash) CryptDestroyHash(hash);
        if (provider) CryptReleaseContext(provider, 0);
    }
};

// The sound's second part, encoded on its own thread into its own file.
struct SecondPart {
    HANDLE wav = INVALID_HANDLE_VALUE;    // its own handle, at the part's first byte
    HANDLE frames = INVALID_HANDLE_VALUE; // "<name>.flac.part2", deleted when closed
    mp3::WavLayout layout;
    uint64_t length = 0;                  // its sample frames
    uint32_t renumberBy = 0;              // the first part's frames
    HANDLE thread = nullptr;
    std::atomic<uint64_t> encoded{0};     // sample frames handed to its encoder
    std::atomic<bool> stop{false};        // set by the first part when it gives up
    std::atomic<bool> failed{false};
    const char* failure = nullptr;        // why it failed: read once the thread ended
    uint32_t smallest = UINT32_MAX, largest = 0;   // frame sizes in bytes
    std::vector<uint8_t> renumbered;
};

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
    uint64_t frames = 0;          // of the whole sound
    uint32_t smallest = UINT32_MAX, largest = 0;   // frame sizes in bytes
    SecondPart* second = nullptr; // when two encoders share the file
    HDC dc = nullptr;
    int shown = -1;               // the percentage drawn last
    bool playDisabled = false;
};

// Waits for the second part's thread to end, asking it to stop first unless `finish`.
void EndSecondPart(SecondPart* p, bool finish) {
    if (!p->thread) return;
    if (!finish) p->stop = true;
    WaitForSingleObject(p->thread, INFINITE);
    CloseHandle(p->thread);
    p->thread = nullptr;
}

// Stops the second part and closes its files (which deletes its frames' file).
void CloseSecondPart(SecondPart* p) {
    EndSecondPart(p, false);
    if (p->wav != INVALID_HANDLE_VALUE) CloseHandle(p->wav);
    if (p->frames != INVALID_HANDLE_VALUE) CloseHandle(p->frames);
    p->wav = p->frames = INVALID_HANDLE_VALUE;
}

void Close(FlacConversion* c, bool completed) {
    if (c->second) CloseSecondPart(c->second);
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

bool SeekFile(HANDLE file, uint64_t offset, DWORD from) {
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, at, nullptr, from) != FALSE;
}

// The WAV file opened for reading at byte `offset`; INVALID_HANDLE_VALUE when it cannot be.
HANDLE OpenWavAt(const char* path, uint64_t offset) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE || SeekFile(file, offset, FILE_BEGIN)) return file;
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const uint8_t* buffer, size_t bytes) {
    while (bytes > 0) {
        DWORD chunk = bytes > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes), written = 0;
        if (!WriteFile(file, buffer, chunk, &written, nullptr) || written != chunk) return false;
        buffer += chunk, bytes -= chunk;
    }
    return true;
}

void CountFrame(size_t bytes, uint32_t* smallest, uint32_t* largest) {
    if (bytes < *smallest) *smallest = static_cast<uint32_t>(bytes);
    if (bytes > *largest) *largest = static_cast<uint32_t>(bytes);
}

// The first part's bytes (the file's start, its frames and STREAMINFO written back).
FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t samples, uint32_t, void* data) {
    auto* c = static_cast<FlacConversion*>(data);
    if (!WriteAll(c->flac, buffer, bytes)) {
        c->writeFailed = true;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    if (samples > 0) CountFrame(bytes, &c->smallest, &c->largest);
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

// The second part's frames, numbered on from the first part's; its stream's start
// (STREAMINFO and the rest) is left out.
FLAC__StreamEncoderWriteStatus WritePartFrame(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                              uint32_t samples, uint32_t, void* data) {
    auto* p = static_cast<SecondPart*>(data);
    if (samples == 0) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    if (!mp3::RenumberFlacFrame(buffer, bytes, p->renumberBy, &p->renumbered)) {
        p->failure = "The FLAC encoder failed.";
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    if (!WriteAll(p->frames, p->renumbered.data(), p->renumbered.size())) {
        p->failure = "Write error.";
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    CountFrame(p->renumbered.size(), &p->smallest, &p->largest);
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

// Seeking lets libFLAC (which computes the MD5 of the audio unless told not to) write the finished STREAMINFO (its MD5, sample count and frame
// sizes) back at the file's start.
FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data) {
    auto* c = static_cast<FlacConversion*>(data);
    if (SeekFile(c->flac, offset, FILE_BEGIN)) return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
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

// Level 5 with verify on, for `frames` sample frames of the layout's sound; the MD5
// of the audio too unless two encoders share the file.
bool SetUpEncoder(FLAC__StreamEncoder* e, const mp3::WavLayout& layout, uint64_t frames, bool md5) {
    return FLAC__stream_encoder_set_verify(e, true) && FLAC__stream_encoder_set_compression_level(e, mp3::kFlacLevel) &&
           FLAC__stream_encoder_set_channels(e, layout.channels) &&
           FLAC__stream_encoder_set_bits_per_sample(e, layout.bitsPerSample) &&
           FLAC__stream_encoder_set_sample_rate(e, layout.sampleRate) &&
           FLAC__stream_encoder_set_total_samples_estimate(e, frames) && FLAC__stream_encoder_set_do_md5(e, md5);
}

bool StartEncoder(FlacConversion* c, const mp3::WavLayout& layout, const mp3::FlacTags& tags) {
    c->encoder = FLAC__stream_encoder_new();
    if (!c->encoder || !MakeTags(c, tags)) return Fail(c, "Out of memory.");
    FLAC__StreamEncoder* e = c->encoder;
    if (!SetUpEncoder(e, layout, c->frames, c->second == nullptr) || !FLAC__stream_encoder_set_metadata(e, &c->tags, 1) ||
        FLAC__stream_encoder_init_stream(e, WriteBytes, SeekTo, Tell, nullptr, c) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return Fail(c, "The FLAC encoder could not be started.");
    return true;
}

// What libFLAC's state says when an encoder stopped.
const char* WhyEncoderStopped(FLAC__StreamEncoder* e, bool writeFailed) {
    if (FLAC__stream_encoder_get_state(e) == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA)
        return "The FLAC file did not decode to the WAV file's sound.";
    return writeFailed ? "Write error." : "The FLAC encoder failed.";
}

// Reads `bytes` of sound from `wav` a chunk at a time; `chunk` gets each (its bytes, the
// whole sample frames as libFLAC's samples and their count) and returns why it gives
// up, or nullptr. Returns why the reading ended early, or nullptr.
template <typename Chunk>
const char* ReadSound(HANDLE wav, const mp3::WavLayout& layout, uint64_t bytes, Chunk chunk) {
    std::unique_ptr<uint8_t[]> input(new (std::nothrow) uint8_t[mp3::kFlacReadBytes]);
    std::unique_ptr<int32_t[]> samples(new (std::nothrow) int32_t[mp3::kFlacReadBytes]);
    if (!input || !samples) return "Out of memory.";
    for (uint64_t done = 0; done < bytes;) {
        size_t n = static_cast<size_t>(bytes - done < mp3::kFlacReadBytes ? bytes - done : mp3::kFlacReadBytes);
        if (!ReadExactly(wav, input.get(), static_cast<DWORD>(n))) return "The WAV file could not be read.";
        size_t frames = mp3::ToFlacSamples(input.get(), n, layout.bitsPerSample, layout.channels, samples.get());
        if (const char* why = chunk(input.get(), n, samples.get(), frames)) return why;
        done += n;
    }
    return nullptr;
}

uint64_t FrameBytes(const mp3::WavLayout& layout) {
    return static_cast<uint64_t>(layout.channels) * (layout.bitsPerSample / 8);
}

const char* EncodePart(SecondPart* p) {
    FLAC__StreamEncoder* e = FLAC__stream_encoder_new();
    if (!e) return "Out of memory.";
    const char* why = nullptr;
    if (!SetUpEncoder(e, p->layout, p->length, false) ||
        FLAC__stream_encoder_init_stream(e, WritePartFrame, nullptr, nullptr, nullptr, p) !=
            FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        why = "The FLAC encoder could not be started.";
    if (!why)
        why = ReadSound(p->wav, p->layout, p->length * FrameBytes(p->layout),
                        [&](const uint8_t*, size_t, const int32_t* samples, size_t frames) -> const char* {
                            if (p->stop) return "stopped";
                            if (!FLAC__stream_encoder_process_interleaved(e, samples, static_cast<uint32_t>(frames)))
                                return p->failure ? p->failure : WhyEncoderStopped(e, false);
                            p->encoded += frames;
                            return nullptr;
                        });
    if (!why && !FLAC__stream_encoder_finish(e)) why = p->failure ? p->failure : WhyEncoderStopped(e, false);
    FLAC__stream_encoder_delete(e);
    return why;
}

DWORD WINAPI EncodeSecondPart(void* param) {
    auto* p = static_cast<SecondPart*>(param);
    p->failure = EncodePart(p);
    p->failed = p->failure != nullptr;
    return 0;
}

// Creates the second part's frames' file; false (the sound then made by one encoder)
// when the name does not fit or the audio's MD5 cannot be taken here.
bool PrepareSecondPart(FlacConversion* c, SecondPart* p, uint64_t first, AudioMd5* md5) {
    char name[kPathText];
    int length = snprintf(name, sizeof name, "%s2", c->partPath);
    if (length < 0 || static_cast<size_t>(length) >= sizeof name || !md5->Start()) return false;
    p->frames = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (p->frames == INVALID_HANDLE_VALUE) return false;
    p->length = c->frames - first;
    p->renumberBy = static_cast<uint32_t>(first / mp3::kFlacBlockSize);
    c->second = p;
    return true;
}

// Starts the second part's thread at its first sample frame, with a handle of its own.
bool StartSecondPart(FlacConversion* c, const mp3::WavLayout& layout, uint64_t first) {
    SecondPart* p = c->second;
    p->layout = layout;
    p->wav = OpenWavAt(c->wavPath, layout.dataOffset + first * FrameBytes(layout));
    if (p->wav == INVALID_HANDLE_VALUE) return Fail(c, "The WAV file could not be read.");
    p->thread = CreateThread(nullptr, 0, EncodeSecondPart, p, 0, nullptr);
    if (!p->thread) return Fail(c, "Out of memory.");
    return true;
}

void ShowProgress(FlacConversion* c) {
    uint64_t done = c->framesEncoded + (c->second ? c->second->encoded.load() : 0);
    int percent = static_cast<int>(done * 100 / (c->frames ? c->frames : 1));
    if (percent == c->shown) return;
    c->shown = percent;
    char progress[32];
    snprintf(progress, sizeof progress, "Converting: %d %%", percent);
    DrawConversionProgress(c->dc, progress);
}

// The first part (the whole sound when one encoder makes the file); with two, the
// audio's MD5 over the whole as well, the rest of it read for that alone.
bool EncodeSound(FlacConversion* c, const mp3::WavLayout& layout, uint64_t first, AudioMd5* md5) {
    c->playDisabled = true;
    c->dc = StartConversionProgress(c->hwnd);
    SecondPart* second = c->second;
    const char* why = ReadSound(c->wav, layout, first * FrameBytes(layout),
                                [&](uint8_t* bytes, size_t n, const int32_t* samples, size_t frames) -> const char* {
                                    if (second && second->failed) return "";
                                    if (!FLAC__stream_encoder_process_interleaved(c->encoder, samples,
                                                                                  static_cast<uint32_t>(frames)))
                                        return WhyEncoderStopped(c->encoder, c->writeFailed);
                                    c->framesEncoded += frames;
                                    if (second && !md5->AddSound(bytes, n, layout.bitsPerSample))
                                        return "The FLAC encoder failed.";
                                    ShowProgress(c);
                                    return nullptr;
                                });
    if (!why && second)
        why = ReadSound(c->wav, layout, (c->frames - first) * FrameBytes(layout),
                        [&](uint8_t* bytes, size_t n, const int32_t*, size_t) -> const char* {
                            if (second->failed) return "";
                            ShowProgress(c);
                            return md5->AddSound(bytes, n, layout.bitsPerSample) ? nullptr : "The FLAC encoder failed.";
                        });
    if (why && *why == '\0') {   // the second part failed: its reason is the one to give
        EndSecondPart(second, true);
        why = second->failure;
    }
    if (why) return Fail(c, why);
    return true;
}

// The second part's frames put after the first's, and STREAMINFO (after "fLaC" and
// its block's header) finished for the whole sound.
bool JoinParts(FlacConversion* c, AudioMd5* md5) {
    SecondPart* p = c->second;
    while (WaitForSingleObject(p->thread, 50) == WAIT_TIMEOUT) ShowProgress(c);
    EndSecondPart(p, true);
    if (p->failure) return Fail(c, p->failure);
    const size_t kCopyBytes = 1 << 20;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kCopyBytes]);
    if (!buffer) return Fail(c, "Out of memory.");
    if (!SeekFile(p->frames, 0, FILE_BEGIN) || !SeekFile(c->flac, 0, FILE_END)) return Fail(c, "Write error.");
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(p->frames, buffer.get(), kCopyBytes, &got, nullptr)) return Fail(c, "Write error.");
        if (got == 0) break;
        if (!WriteAll(c->flac, buffer.get(), got)) return Fail(c, "Write error.");
    }
    uint8_t info[34], sum[16];
    if (!md5->Finish(sum)) return Fail(c, "The FLAC encoder failed.");
    if (!SeekFile(c->flac, 8, FILE_BEGIN) || !ReadExactly(c->flac, info, sizeof info)) return Fail(c, "Write error.");
    mp3::FinishStreamInfo(info, c->frames, c->smallest < p->smallest ? c->smallest : p->smallest,
                          c->largest > p->largest ? c->largest : p->largest, sum);
    if (!SeekFile(c->flac, 8, FILE_BEGIN) || !WriteAll(c->flac, info, sizeof info)) return Fail(c, "Write error.");
    c->framesEncoded += p->encoded;
    return true;
}

// The stream's end: the last frames, verified, and STREAMINFO written back; the second
// part's frames after them where there is one; then the file onto the disk and closed,
// and every sample frame accounted for.
bool FinishStream(FlacConversion* c, AudioMd5* md5) {
    if (!FLAC__stream_encoder_finish(c->encoder)) return Fail(c, WhyEncoderStopped(c->encoder, c->writeFailed));
    if (c->writeFailed) return Fail(c, "Write error.");
    if (c->second && !JoinParts(c, md5)) return false;
    if (c->dc) ReleaseDC(c->hwnd, c->dc);
    c->dc = nullptr;
    if (!FlushFileBuffers(c->flac)) return Fail(c, "Write error.");
    BOOL closed = CloseHandle(c->flac);
    c->flac = INVALID_HANDLE_VALUE;
    if (!closed) return Fail(c, "Write error.");
    if (c->framesEncoded != c->frames) return Fail(c, "The FLAC file came out incomplete.");
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
    c.wav = OpenWavAt(wavPath, layout.dataOffset);
    if (c.wav == INVALID_HANDLE_VALUE) return Fail(&c, "The WAV file could not be read.");
    DWORD existing = GetFileAttributesA(c.flacPath);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(&c, "A folder has the FLAC file's name.");
    c.frames = layout.dataBytes / FrameBytes(layout);   // a torn last frame is not sound
    // Two encoders for a long sound; the second's file is made first, so that the
    // working name, once there, stands for both.
    SecondPart second;
    AudioMd5 md5;
    uint64_t first = mp3::FlacFirstPart(c.frames);
    if (first == 0 || !PrepareSecondPart(&c, &second, first, &md5)) first = c.frames;
    c.flac = CreateFileA(c.partPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (c.flac == INVALID_HANDLE_VALUE) return Fail(&c, "Error creating file.");
    c.partCreated = true;
    if (!StartEncoder(&c, layout, tags) || (c.second && !StartSecondPart(&c, layout, first)) ||
        !EncodeSound(&c, layout, first, &md5) || !FinishStream(&c, &md5))
        return false;
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

