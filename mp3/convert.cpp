// MP3 conversion: the WAV file named by the song name field is encoded, chunk by
// chunk, through the encoder library "LameEnc.dll" into an MP3 file beside it. The
// conversion runs on the user-interface thread to its end and draws its progress
// straight into the prompt line.
//
// A failed conversion leaves the WAV file alone and removes the MP3 file it had begun:
// a cut-off MP3 file would look like a finished one. Only a complete conversion may
// delete the WAV file (when the keep WAV file setting is off).
#include "convert.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "conversion_plan.h"
#include "display.h"
#include "drive.h"
#include "engine_state.h"
#include "mci.h"
#include "resource.h"
#include "settings.h"
#include "window_kit.h"

namespace {

// The entry points of the encoder library; results are 0 on success.
using InitStreamFn = uint32_t(__cdecl*)(const uint8_t* config, uint32_t* samplesPerChunk, uint32_t* outputBytes,
                                        uint32_t* stream);
using EncodeChunkFn = uint32_t(__cdecl*)(uint32_t stream, uint32_t samples, const int16_t* pcm, uint8_t* output,
                                         uint32_t* produced);
using DeinitStreamFn = uint32_t(__cdecl*)(uint32_t stream, uint8_t* output, uint32_t* produced);
using CloseStreamFn = uint32_t(__cdecl*)(uint32_t stream);

struct Encoder {
    InitStreamFn initStream;
    EncodeChunkFn encodeChunk;
    DeinitStreamFn deinitStream;
    CloseStreamFn closeStream;
};

template <typename Fn>
bool LookUp(const char* name, Fn* fn) {
    *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_app.encoder, name)));
    return *fn != nullptr;
}

// The five entry points are looked up anew at every conversion; a library that was
// never loaded has none of them. beVersion must be there but is not called.
bool LookUpEncoder(Encoder* encoder) {
    if (!g_app.encoder) return false;
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
    char wavPath[kFileNameText - 1] = {};   // the song name field: at most 254 characters
    char mp3Path[kPathText] = {};
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
    int64_t total = 0;   // sound bytes of the WAV file
};

void ReleaseDrawing(Conversion* c) {
    if (c->dc) ReleaseDC(c->hwnd, c->dc);
    c->dc = nullptr;
}

// Closes the stream, the buffers, the drawing context and both files. Unless the
// conversion `completed`, the MP3 file it began is removed and the Play button it
// disabled is given back.
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
        if (c->mp3Created) DeleteFileA(c->mp3Path);
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

// Opens the WAV file, reads its header and works out how many bytes of sound follow.
bool OpenWav(Conversion* c) {
    GetWindowTextA(g_app.songName, c->wavPath, sizeof c->wavPath);
    c->wav = CreateFileA(c->wavPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (c->wav == INVALID_HANDLE_VALUE) {
        char text[kFileNameText + 32];
        snprintf(text, sizeof text, "I can't find the file \"%s\"", c->wavPath);
        return Fail(c, text, "File open error");
    }
    LARGE_INTEGER size = {};
    uint8_t header[mp3::kWavHeaderBytes];
    if (!GetFileSizeEx(c->wav, &size) || !ReadExactly(c->wav, header, sizeof header)) return Fail(c, "Read error");
    uint32_t dataBytes = static_cast<uint32_t>(header[40]) | static_cast<uint32_t>(header[41]) << 8 |
                         static_cast<uint32_t>(header[42]) << 16 | static_cast<uint32_t>(header[43]) << 24;
    c->total = mp3::SoundBytes(static_cast<uint64_t>(size.QuadPart), dataBytes);
    return true;
}

// Creates (or empties) the MP3 file beside the WAV file. The WAV file itself is never
// the target.
bool CreateMp3(Conversion* c) {
    if (!mp3::Mp3PathFor(c->wavPath, c->mp3Path, sizeof c->mp3Path) || lstrcmpiA(c->mp3Path, c->wavPath) == 0)
        return Fail(c, "Error creating file");
    c->mp3 = CreateFileA(c->mp3Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

void DrawProgress(Conversion* c, const char* text) {
    if (c->dc) TextOutA(c->dc, Cw10(g_app.units, 10), Lh10(g_app.units, 80), text, static_cast<int>(strlen(text)));
}

// Reads, encodes and writes every chunk, drawing the percentage done after each.
bool EncodeSound(Conversion* c) {
    EnableControl(IDC_MAIN_PLAY, false);
    c->playDisabled = true;
    c->dc = GetDC(c->hwnd);
    if (c->dc) {
        SetBkColor(c->dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(c->dc, kPromptColour);
    }
    SetPromptLine(c->hwnd, kConvertingPrompt, false);
    DrawProgress(c, g_display.promptLine);

    const int64_t chunkBytes = 2 * static_cast<int64_t>(c->samplesPerChunk);
    int64_t done = 0;
    int shown = -1;   // the percentage on the screen; drawing it again would change nothing
    while (done < c->total) {
        int64_t n = mp3::NextChunkBytes(c->total, done, chunkBytes);
        if (!ReadExactly(c->wav, c->input.get(), static_cast<DWORD>(n))) return Fail(c, "Read error");
        uint32_t produced = 0;
        if (c->encoder.encodeChunk(c->stream, mp3::SamplesToEncode(n), reinterpret_cast<const int16_t*>(c->input.get()),
                                   c->output.get(), &produced) != 0)
            return Fail(c, "beEncodeChunk() failed");
        if (produced > c->outputBytes || !WriteExactly(c->mp3, c->output.get(), produced))
            return Fail(c, "Write error");
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

bool FlushStream(Conversion* c) {
    uint32_t produced = 0;
    if (c->encoder.deinitStream(c->stream, c->output.get(), &produced) != 0) return Fail(c, "beExitStream failed");
    if (produced > c->outputBytes || !WriteExactly(c->mp3, c->output.get(), produced)) return Fail(c, "Write error");
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

bool ConvertWavToMp3(HWND hwnd) {
    Conversion c;
    c.hwnd = hwnd;
    if (!LookUpEncoder(&c.encoder)) {
        MessageBoxA(hwnd, "Unable to get Lame_Enc interface", "Message", MB_OK);
        return false;
    }
    if (!OpenWav(&c) || !CreateMp3(&c)) return false;
    if (!OpenStream(&c) || !EncodeSound(&c) || !FlushStream(&c)) return false;
    Close(&c, true);

    if (!g_settings.recording.keepWav) {
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

void ReplaceEnding(char* fileName, const char* ending) {
    size_t length = strlen(fileName), endingLength = strlen(ending);
    if (length < endingLength) return;
    memcpy(fileName + length - endingLength, ending, endingLength);
}
