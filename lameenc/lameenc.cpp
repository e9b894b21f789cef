// LameEnc.dll: the encoder library CD Quorrel loads at run time. Six undecorated
// cdecl entry points (lameenc.def) over libmp3lame: open a stream from a 27-byte
// configuration record, give the stream's ID3v2 tag from a tag record, encode chunks of
// interleaved 16-bit stereo samples, flush the stream's last frames, close it, and tell
// the version.
//
// A stream handle is a number the library hands out, not a pointer, so a stale or
// wrong handle is refused instead of followed. Each stream writes plain MPEG-1 Layer III
// frames at a constant bit rate: no Xing/Info frame (nothing would patch its counts in
// after the last chunk) and no ID3v1 tag. The library hands every byte to its caller,
// who writes them in the order given, so the ID3v2 tag (made by LAME's own id3tag
// functions, LAME's automatic tag writing being off) comes first only because
// beWriteTag is refused once a chunk has been encoded.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <lame/lame.h>

#include "encoder_config.h"
#include "tag_record.h"

using namespace lameenc;

namespace {

struct Stream {
    uint32_t handle = 0;        // 0: the slot is free
    lame_global_flags* lame = nullptr;
    bool flushed = false;       // beDeinitStream has run; no more chunks
    bool started = false;       // a chunk was encoded: a tag could no longer come first
    bool tagged = false;        // beWriteTag has given the tag
};

constexpr size_t kMaxStreams = 16;

struct StreamTable {
    std::mutex lock;
    Stream slots[kMaxStreams];
    uint32_t lastHandle = 0;
};

StreamTable g_streams;

// The stream of `handle`, or null. Streams are used by one caller at a time; the table
// lock only guards taking and freeing slots.
Stream* Find(uint32_t handle) {
    std::lock_guard<std::mutex> guard(g_streams.lock);
    if (handle == 0) return nullptr;
    for (Stream& slot : g_streams.slots)
        if (slot.handle == handle) return &slot;
    return nullptr;
}

// Takes a free slot for `lame`; its handle, or 0 when every slot is taken.
uint32_t Register(lame_global_flags* lame) {
    std::lock_guard<std::mutex> guard(g_streams.lock);
    for (Stream& slot : g_streams.slots) {
        if (slot.handle != 0) continue;
        if (++g_streams.lastHandle == 0) ++g_streams.lastHandle;   // 0 is never a handle
        slot.handle = g_streams.lastHandle;
        slot.lame = lame;
        slot.flushed = false;
        slot.started = slot.tagged = false;
        return slot.handle;
    }
    return 0;
}

// LAME set up for the configuration; null when LAME refuses it.
lame_global_flags* OpenEncoder(const EncoderConfig& config) {
    lame_global_flags* lame = lame_init();
    if (!lame) return nullptr;
    bool set = lame_set_in_samplerate(lame, static_cast<int>(config.sampleRate)) == 0 &&
               lame_set_out_samplerate(lame, static_cast<int>(config.sampleRate)) == 0 &&   // no resampling
               lame_set_num_channels(lame, 2) == 0 && lame_set_mode(lame, STEREO) == 0 &&
               lame_set_VBR(lame, vbr_off) == 0 && lame_set_brate(lame, config.kbps) == 0 &&
               lame_set_error_protection(lame, config.crc) == 0 &&
               lame_set_extension(lame, config.privateBit) == 0 &&
               lame_set_copyright(lame, config.copyright) == 0 &&
               lame_set_original(lame, config.original) == 0 &&   // LAME's own default is 1
               lame_set_bWriteVbrTag(lame, 0) == 0;
    lame_set_write_id3tag_automatic(lame, 0);
    // LAME would pick another rate or layer quietly; what it settled on must be what was asked.
    if (!set || lame_init_params(lame) < 0 || lame_get_version(lame) != 1 ||
        lame_get_out_samplerate(lame) != static_cast<int>(config.sampleRate) ||
        lame_get_brate(lame) != config.kbps || lame_get_VBR(lame) != vbr_off) {
        lame_close(lame);
        return nullptr;
    }
    return lame;
}

// Sets one text frame: ISO-8859-1 when every character fits, else UTF-16 with its
// byte-order mark (LAME writes it little-endian). An empty text sets none.
bool SetTextFrame(lame_global_flags* lame, const char* id, const std::string& utf8) {
    if (utf8.empty()) return true;
    std::u16string units = Utf16FromUtf8(utf8);
    std::string latin1;
    if (Latin1FromUtf16(units, &latin1)) return id3tag_set_textinfo_latin1(lame, id, latin1.c_str()) == 0;
    std::vector<unsigned short> text;
    text.reserve(units.size() + 2);
    text.push_back(0xFEFF);
    text.insert(text.end(), units.begin(), units.end());
    text.push_back(0);
    return id3tag_set_textinfo_utf16(lame, id, text.data()) == 0;
}

// Sets a TXXX frame "description=id" for a MusicBrainz id; one of another form sets none.
bool SetIdFrame(lame_global_flags* lame, const char* description, const std::string& id) {
    if (!IsMusicBrainzId(id)) return true;
    std::string field = std::string(description) + "=" + id;
    return id3tag_set_textinfo_latin1(lame, "TXXX", field.c_str()) == 0;
}

// The tag of `fields` set up in LAME: ID3v2 only (LAME writes version 2.3), with LAME's
// own encoder frame. False when LAME refuses a frame.
bool SetUpTag(lame_global_flags* lame, const TagFields& fields) {
    std::string track = TrackText(fields.track, fields.trackTotal), year = YearText(fields.year);
    id3tag_init(lame);
    id3tag_v2_only(lame);
    // The recording id goes where LAME can write it: its id3tag functions make no UFID
    // frame, so it is the TXXX frame that taggers read as the track id.
    return SetTextFrame(lame, "TIT2", fields.title) && SetTextFrame(lame, "TPE1", fields.artist) &&
           SetTextFrame(lame, "TALB", fields.album) && SetTextFrame(lame, "TYER", year) &&
           SetTextFrame(lame, "TRCK", track) && SetIdFrame(lame, "MusicBrainz Album Id", fields.releaseId) &&
           SetIdFrame(lame, "MusicBrainz Artist Id", fields.artistId) &&
           SetIdFrame(lame, "MusicBrainz Track Id", fields.recordingId);
}

}  // namespace

extern "C" {

// Opens a stream. Fills the samples per chunk (both channels counted), the output
// buffer size every later call needs, and the stream handle.
uint32_t __cdecl beInitStream(const uint8_t* config, uint32_t* samplesPerChunk, uint32_t* outputBytes,
                              uint32_t* stream) {
    if (!config || !samplesPerChunk || !outputBytes || !stream) return kBadArgument;
    uint8_t record[kConfigBytes];
    for (size_t i = 0; i < kConfigBytes; ++i) record[i] = config[i];
    EncoderConfig parsed = ReadConfig(record);
    if (!Acceptable(parsed)) return kBadConfig;
    lame_global_flags* lame = OpenEncoder(parsed);
    if (!lame) return kEncoderFailed;
    uint32_t handle = Register(lame);
    if (handle == 0) {
        lame_close(lame);
        return kNoRoom;
    }
    *samplesPerChunk = kChunkSamples;
    *outputBytes = kOutputBufferBytes;
    *stream = handle;
    return kOk;
}

// Encodes `samples` 16-bit samples (interleaved left/right, both channels counted, at
// most one chunk) into `output`, which holds the output buffer size beInitStream gave.
uint32_t __cdecl beEncodeChunk(uint32_t stream, uint32_t samples, const int16_t* pcm, uint8_t* output,
                               uint32_t* produced) {
    Stream* s = Find(stream);
    if (!s) return kBadHandle;
    if (!produced || !output || (samples > 0 && !pcm) || !ChunkSampleCountFits(samples) || s->flushed)
        return kBadArgument;
    *produced = 0;
    if (samples == 0) return kOk;
    s->started = true;
    // LAME only reads the samples; its prototype predates const.
    int bytes = lame_encode_buffer_interleaved(s->lame, const_cast<short*>(pcm), static_cast<int>(samples / 2),
                                               output, static_cast<int>(kOutputBufferBytes));
    if (bytes < 0) return kEncoderFailed;
    *produced = static_cast<uint32_t>(bytes);
    return kOk;
}

// Writes the stream's ID3v2 tag for the tag record `tag` (tag_record.h) into `output`,
// which holds the output buffer size beInitStream gave; the caller writes it before
// every frame. Only before the first chunk, and once. A record with nothing to tag
// produces no bytes.
uint32_t __cdecl beWriteTag(uint32_t stream, const uint8_t* tag, uint8_t* output, uint32_t* produced) {
    Stream* s = Find(stream);
    if (!s) return kBadHandle;
    if (!tag || !output || !produced || s->started || s->tagged || s->flushed) return kBadArgument;
    *produced = 0;
    if (LittleEndian32(tag) < kTagRecordBytes) return kBadArgument;   // read no further than the caller's size
    uint8_t record[kTagRecordBytes];
    for (size_t i = 0; i < kTagRecordBytes; ++i) record[i] = tag[i];
    TagFields fields;
    if (ReadTagRecord(record, sizeof record, &fields) != TagRecordProblem::kNone) return kBadArgument;
    s->tagged = true;
    if (!HasAnythingToTag(fields)) return kOk;
    if (!SetUpTag(s->lame, fields)) return kEncoderFailed;
    size_t bytes = lame_get_id3v2_tag(s->lame, output, kOutputBufferBytes);
    if (bytes > kOutputBufferBytes) return kEncoderFailed;   // not written: larger than the buffer
    *produced = static_cast<uint32_t>(bytes);
    return kOk;
}

// Flushes the stream's last frames into `output`; the stream takes no chunks afterwards.
uint32_t __cdecl beDeinitStream(uint32_t stream, uint8_t* output, uint32_t* produced) {
    Stream* s = Find(stream);
    if (!s) return kBadHandle;
    if (!output || !produced || s->flushed) return kBadArgument;
    *produced = 0;
    int bytes = lame_encode_flush(s->lame, output, static_cast<int>(kOutputBufferBytes));
    s->flushed = true;
    if (bytes < 0) return kEncoderFailed;
    *produced = static_cast<uint32_t>(bytes);
    return kOk;
}

// Closes the stream and frees its slot; the handle is not valid afterwards.
uint32_t __cdecl beCloseStream(uint32_t stream) {
    lame_global_flags* lame = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_streams.lock);
        for (Stream& slot : g_streams.slots) {
            if (stream == 0 || slot.handle != stream) continue;
            lame = slot.lame;
            slot = Stream();
            break;
        }
    }
    if (!lame) return kBadHandle;
    lame_close(lame);
    return kOk;
}

// Writes "LameEnc 1.0 (LAME x.y)" into `text`, cut to `size` characters with its NUL.
uint32_t __cdecl beVersion(char* text, uint32_t size) {
    if (!text || size == 0) return kBadArgument;
    snprintf(text, size, "LameEnc 1.0 (LAME %s)", get_lame_version());
    return kOk;
}

}  // extern "C"
