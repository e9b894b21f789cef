// MP3 conversion: the WAV file the caller names is encoded, chunk by
// chunk, through the encoder library "LameEnc.dll" into an MP3 file beside it. The
// conversion runs on the user-interface thread to its end and draws its progress
// straight into the prompt line.
//
// The MP3 file is written under a working name ("<name>.mp3.part") and takes its own
// name only once it is complete: written, flushed and closed without error and long
// enough for every sample pair of the WAV file. So an MP3 file of that name that was
// there before is replaced only by a whole one, and a conversion that fails (or a run
// that ends in the middle) leaves nothing that could pass for a finished file. A
// failed conversion leaves the WAV file alone; only a complete one may delete it (when
// the keep WAV file setting is off).
#include "convert.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "conversion_plan.h"
#include "display.h"
#include "drive.h"
#include "engine_state.h"
#include "files.h"
#include "mp3_tag.h"
#include "mci.h"
#include "names.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"
#include "wav_layout.h"
#include "window_kit.h"

namespace {

// The entry points of the encoder library; results are 0 on success.
using InitStreamFn = uint32_t(__cdecl*)(const uint8_t* config, uint32_t* samplesPerChunk, uint32_t* outputBytes,
                                        uint32_t* stream);
using EncodeChunkFn = uint32_t(__cdecl*)(uint32_t stream, uint32_t samples, const int16_t* pcm, uint8_t* output,
                                         uint32_t* produced);
using DeinitStreamFn = uint32_t(__cdecl*)(uint32_t stream, uint8_t* output, uint32_t* produced);
using CloseStreamFn = uint32_t(__cdecl*)(uint32_t stream);
using WriteTagFn = uint32_t(__cdecl*)(uint32_t stream, const uint8_t* tagRecord, uint8_t* output, uint32_t* produced);

struct Encoder {
    InitStreamFn initStream;
    EncodeChunkFn encodeChunk;
    DeinitStreamFn deinitStream;
    CloseStreamFn closeStream;
    WriteTagFn writeTag;   // null: an older library, whose streams are untagged
};

template <typename Fn>
bool LookUp(const char* name, Fn* fn) {
    *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_app.encoder, name)));
    return *fn != nullptr;
}

// The five entry points are looked up anew at every conversion; a library that was
// never loaded has none of them. beVersion must be there but is not called; beWriteTag
// is taken where the library has it.
bool LookUpEncoder(Encoder* encoder) {
    if (!g_app.encoder) return false;
    if (!LookUp("beWriteTag", &encoder->writeTag)) encoder->writeTag = nullptr;
    return LookUp("beInitStream", &encoder->initStream) && LookUp("beEncodeChunk", &encoder->encodeChunk) &&
           LookUp("beDeinitStream", &encoder->deinitStream) && LookUp("beCloseStream", &encoder->closeStream) &&
           GetProcAddress(g_app.encoder, "beVersion") != nullptr;
}

const COLORREF kPromptColour = RGB(131, 31, 58);
// The prompt line while converting: "Converting:" and 40 blanks, so that the progress
// drawn over it never leaves a longer text's tail behind.
const char kConvertingPrompt[] = "Converting:                                        ";
static_assert(sizeof kConvertingPrompt == 11 + 40 + 1, "40 blanks after \"Converting:\"");

// What one conversion has opened; Close gives back all of it.
struct Conversion {
    HWND hwnd = nullptr;
    Encoder encoder = {};
    char wavPath[kFileNameText] = {};   // the WAV file to convert
    char mp3Path[kPathText] = {};
    char partPath[kPathText] = {};   // the MP3 file's working name until it is complete
    HANDLE wav = INVALID_HANDLE_VALUE;
    HANDLE mp3 = INVALID_HANDLE_VALUE;
    bool mp3Created = false;
    bool streamOpen = false;
    uint32_t stream = 0;
    uint32_t samplesPerChunk = 0;
    uint32_t outputBytes = 0;
    std::unique_ptr<uint8_t[]> input;
    std::unique_ptr<uint8_t[]> output;
    HDC dc = nullptr;
    bool playDisabled = false;
    int64_t total = 0;         // sound bytes of the WAV file
    uint64_t pairsEncoded = 0;   // stereo sample pairs handed to the encoder
    uint64_t mp3Bytes = 0;       // bytes written to the MP3 file
};

void ReleaseDrawing(Conversion* c) {
    if (c->dc) ReleaseDC(c->hwnd, c->dc);
    c->dc = nullptr;
}

// Closes the stream, the buffers, the drawing context and both files. Unless the
// conversion `completed`, the MP3 file it began (under its working name) is removed and
// the Play button it disabled is given back.
void Close(Conversion* c, bool completed) {
    if (c->streamOpen) c->encoder.closeStream(c->stream);   // its result tells nothing more
    c->streamOpen = false;
    c->input.reset();
    c->output.reset();
    ReleaseDrawing(c);
    if (c->wav != INVALID_HANDLE_VALUE) CloseHandle(c->wav);
    if (c->mp3 != INVALID_HANDLE_VALUE) CloseHandle(c->mp3);
    c->wav = c->mp3 = INVALID_HANDLE_VALUE;
    if (!completed) {
        if (c->mp3Created) DeleteFileA(c->partPath);
        if (c->playDisabled) EnableControl(IDC_MAIN_PLAY, true);
    }
}

bool Fail(Conversion* c, const char* text, const char* title = "Message") {
    ReleaseDrawing(c);   // the box needs the window to paint
    MessageBoxA(c->hwnd, text, title, MB_OK);
    Close(c, false);
    return false;
}

bool ReadExactly(HANDLE file, uint8_t* buffer, DWORD bytes) {
    DWORD read = 0;
    return ReadFile(file, buffer, bytes, &read, nullptr) && read == bytes;
}

bool WriteExactly(HANDLE file, const uint8_t* buffer, DWORD bytes) {
    DWORD written = 0;
    return bytes == 0 || (WriteFile(file, buffer, bytes, &written, nullptr) && written == bytes);
}

// Reads the first bytes of an open WAV file and walks its chunks; false when the file
// cannot be read. The file position is left after the bytes read.
bool ReadWavLayout(HANDLE file, mp3::WavLayout* layout) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return false;
    uint64_t fileBytes = static_cast<uint64_t>(size.QuadPart);
    size_t headBytes = fileBytes < mp3::kWavHeadBytes ? static_cast<size_t>(fileBytes) : mp3::kWavHeadBytes;
    std::unique_ptr<uint8_t[]> head(new (std::nothrow) uint8_t[headBytes + 1]);
    if (!head || !ReadExactly(file, head.get(), static_cast<DWORD>(headBytes))) return false;
    *layout = mp3::FindWavLayout(head.get(), headBytes, fileBytes);
    return true;
}

HANDLE OpenForReading(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Opens the WAV file, walks its chunks to the sound and positions the file there.
// Sound of another format than the encoder's is refused: it would come out as noise.
bool OpenWav(Conversion* c) {
    c->wav = OpenForReading(c->wavPath);
    if (c->wav == INVALID_HANDLE_VALUE) {
        char text[kFileNameText + 32];
        snprintf(text, sizeof text, "I can't find the file \"%s\"", c->wavPath);
        return Fail(c, text, "File open error");
    }
    mp3::WavLayout layout;
    if (!ReadWavLayout(c->wav, &layout)) return Fail(c, "Read error");
    if (layout.kind == mp3::WavLayoutKind::kNotPcm || (mp3::HasSound(layout) && !mp3::IsCdFormat(layout)))
        return Fail(c, kCdFormatRequired, "Error");
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(layout.dataOffset);
    if (!mp3::HasSound(layout) || !SetFilePointerEx(c->wav, at, nullptr, FILE_BEGIN)) return Fail(c, "Read error");
    c->total = static_cast<int64_t>(layout.dataBytes);
    return true;
}

// Creates (or empties) the MP3 file beside the WAV file, under its working name. The
// WAV file itself is never the target.
bool CreateMp3(Conversion* c) {
    if (!mp3::Mp3PathFor(c->wavPath, c->mp3Path, sizeof c->mp3Path) || lstrcmpiA(c->mp3Path, c->wavPath) == 0 ||
        !PartialFileName(c->mp3Path, c->partPath, sizeof c->partPath))
        return Fail(c, "Error creating file");
    DWORD existing = GetFileAttributesA(c->mp3Path);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(c, "Error creating file");   // a folder of that name: nothing could replace it
    c->mp3 = CreateFileA(c->partPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (c->mp3 == INVALID_HANDLE_VALUE) return Fail(c, "Error creating file");
    c->mp3Created = true;
    return true;
}

bool OpenStream(Conversion* c) {
    uint8_t config[mp3::kEncoderConfigBytes];
    mp3::FillEncoderConfig(config, g_settings.recording.mp3BitRate);
    if (c->encoder.initStream(config, &c->samplesPerChunk, &c->outputBytes, &c->stream) != 0)
        return Fail(c, "Error opening encoding stream");
    c->streamOpen = true;
    if (!mp3::EncoderSizesUsable(c->samplesPerChunk, c->outputBytes)) return Fail(c, "Error opening encoding stream");
    c->output.reset(new (std::nothrow) uint8_t[c->outputBytes]);
    c->input.reset(new (std::nothrow) uint8_t[2 * static_cast<size_t>(c->samplesPerChunk)]);
    if (!c->output || !c->input) return Fail(c, "Out of memory");
    return true;
}

// The ID3v2 tag ahead of every frame, where there is a tag and the library can make it.
// A tag the library refuses leaves the MP3 file untagged but the conversion goes on:
// the sound matters more than its names. False only when the file does not take it.
bool WriteTag(Conversion* c, const mp3::Mp3Tag* tag) {
    if (!tag || !c->encoder.writeTag) return true;
    uint8_t record[mp3::kTagRecordBytes];
    mp3::FillTagRecord(*tag, record);
    uint32_t produced = 0;
    if (c->encoder.writeTag(c->stream, record, c->output.get(), &produced) != 0) return true;
    if (produced > c->outputBytes || !WriteExactly(c->mp3, c->output.get(), produced))
        return Fail(c, "Write error");
    return true;   // not counted in mp3Bytes: those are the frames
}

// Writes what the encoder produced; false when it claims more than its buffer holds
// or the file does not take all of it.
bool WriteEncoded(Conversion* c, uint32_t produced) {
    if (produced > c->outputBytes || !WriteExactly(c->mp3, c->output.get(), produced)) return false;
    c->mp3Bytes += produced;
    return true;
}

void DrawProgress(Conversion* c, const char* text) { DrawConversionProgress(c->dc, text); }

// Reads, encodes and writes every chunk, drawing the percentage done after each.
bool EncodeSound(Conversion* c) {
    c->playDisabled = true;
    c->dc = StartConversionProgress(c->hwnd);

    const int64_t chunkBytes = 2 * static_cast<int64_t>(c->samplesPerChunk);
    int64_t done = 0;
    int shown = -1;   // the percentage on the screen; drawing it again would change nothing
    while (done < c->total) {
        int64_t n = mp3::NextChunkBytes(c->total, done, chunkBytes);
        if (!ReadExactly(c->wav, c->input.get(), static_cast<DWORD>(n))) return Fail(c, "Read error");
        uint32_t produced = 0, samples = mp3::SamplesToEncode(n);
        if (c->encoder.encodeChunk(c->stream, samples, reinterpret_cast<const int16_t*>(c->input.get()),
                                   c->output.get(), &produced) != 0)
            return Fail(c, "beEncodeChunk() failed");
        if (!WriteEncoded(c, produced)) return Fail(c, "Write error");
        c->pairsEncoded += samples / 2;
        done += n;
        int percent = mp3::ProgressPercent(done, c->total);
        if (percent == shown) continue;
        shown = percent;
        char progress[32];
        snprintf(progress, sizeof progress, "Converting: %d %%", percent);
        DrawProgress(c, progress);
    }
    ReleaseDrawing(c);
    return true;
}

// The encoder's last bytes, then the file onto the disk and closed: any error here
// means the MP3 file may not hold what was written.
bool FlushStream(Conversion* c) {
    uint32_t produced = 0;
    if (c->encoder.deinitStream(c->stream, c->output.get(), &produced) != 0) return Fail(c, "beExitStream failed");
    if (!WriteEncoded(c, produced) || !FlushFileBuffers(c->mp3)) return Fail(c, "Write error");
    BOOL closed = CloseHandle(c->mp3);
    c->mp3 = INVALID_HANDLE_VALUE;
    if (!closed) return Fail(c, "Write error");
    return true;
}

// The complete MP3 file takes its own name, replacing a file of that name the user
// agreed to overwrite. Not before it holds a frame for every sample pair of the WAV file.
bool NameCompleteMp3(Conversion* c) {
    if (c->mp3Bytes < mp3::LeastMp3Bytes(c->pairsEncoded, g_settings.recording.mp3BitRate) ||
        c->pairsEncoded != static_cast<uint64_t>(c->total) / 4)
        return Fail(c, "The MP3 file came out incomplete, so it was not kept. The WAV file is unchanged.");
    if (!MoveIntoPlace(c->partPath, c->mp3Path)) {
        char why[160];
        snprintf(why, sizeof why, "The MP3 file cannot be written under its name: %s.", WhyNotInPlace(GetLastError()));
        return Fail(c, why);
    }
    c->mp3Created = false;   // it is the MP3 file now
    return true;
}

// The track count and lengths, read again from the drive; a failed query (no disc)
// leaves the table as it was.
void RefreshTrackTable() {
    char reply[kMciQueryLength + 1] = {};
    if (QueryMci("status cd number of tracks", reply) != 0) return;
    g_tracks.trackCount = TrackCountFromReply(reply);
    FillLengthsTable();
}

}  // namespace

const char kCdFormatRequired[] =
    "To convert, the WAV file must be recorded in stereo with 16 bits per sample and 44,100 samples per second "
    "(Click on \"Options->Recording Parameters\").";

bool ConvertWavToMp3(HWND hwnd, const char* wavPath, const mp3::Mp3Tag* tag, bool mayDeleteWav) {
    Conversion c;
    c.hwnd = hwnd;
    CopyText(c.wavPath, wavPath);
    if (!LookUpEncoder(&c.encoder)) {
        MessageBoxA(hwnd, "Unable to get Lame_Enc interface", "Message", MB_OK);
        return false;
    }
    if (!OpenWav(&c) || !CreateMp3(&c)) return false;
    if (!OpenStream(&c) || !WriteTag(&c, tag) || !EncodeSound(&c) || !FlushStream(&c)) return false;
    Close(&c, true);   // the WAV file is closed before it is named or deleted
    if (!NameCompleteMp3(&c)) return false;

    if (!g_settings.recording.keepWav && mayDeleteWav) {
        DeleteFileA(c.wavPath);
        g_engine.playBack = false;
        EnableControl(IDC_MAIN_PLAYBACK, false);
    } else {
        EnableControl(IDC_MAIN_PLAYBACK, true);
    }
    EnableControl(IDC_MAIN_SONGNAME, true);
    EnableControl(IDC_MAIN_PLAY, true);
    RefreshTrackTable();
    return true;
}

HDC StartConversionProgress(HWND hwnd) {
    EnableControl(IDC_MAIN_PLAY, false);
    HDC dc = GetDC(hwnd);
    if (dc) {
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, kPromptColour);
    }
    SetPromptLine(hwnd, kConvertingPrompt, false);
    DrawConversionProgress(dc, g_display.promptLine);
    return dc;
}

void DrawConversionProgress(HDC dc, const char* text) {
    if (dc) TextOutA(dc, Cw10(g_app.units, 10), Lh10(g_app.units, 80), text, static_cast<int>(strlen(text)));
}

namespace {

// Text in the system's code page as UTF-8 (through UTF-16); under a UTF-8 code page it
// stays as it is. Empty where it cannot be read.
std::string Utf8OfAnsi(const std::string& text) {
    if (text.empty()) return text;
    int units = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) return "";
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return "";
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

}  // namespace

mp3::Mp3Tag TagOfFileName(const char* path) {
    mp3::Mp3Tag tag;
    tag.title = Utf8OfAnsi(mp3::TitleFromPath(path));
    return tag;
}

mp3::Mp3Tag TagOfTrack(int track, const char* path) {
    mp3::Mp3Tag tag = TagOfFileName(path);
    const ReleaseNames* release = DiscRelease();
    const TrackNames* names = release ? TrackOf(*release, track) : nullptr;
    if (names) tag = mp3::TagFromNames(*release, *names);
    // The title is the track's name as the user left it; the source's whole title while
    // it stands (the table holds it cut to a name's length), else the file's name.
    if (!TrackNamedBySource(track) && track >= 1 && track <= kMaxTrack && g_tracks.trackNames[track][0] != '\0')
        tag.title = Utf8OfAnsi(g_tracks.trackNames[track]);
    if (tag.title.empty()) tag.title = TagOfFileName(path).title;
    if (tag.track == 0 && track >= 1 && track <= g_tracks.trackCount) {
        tag.track = track;
        tag.trackTotal = g_tracks.trackCount;
    }
    return tag;
}

bool FindWavSound(const char* path, mp3::WavLayout* layout) {
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (!ReadWavLayout(file, layout)) *layout = mp3::WavLayout();   // unreadable: no format, no sound
    CloseHandle(file);
    return true;
}

void ReplaceEnding(char* fileName, const char* ending) {
    size_t length = strlen(fileName), endingLength = strlen(ending);
    if (length < endingLength) return;
    memcpy(fileName + length - endingLength, ending, endingLength);
}
