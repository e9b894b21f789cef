#include "convert.h"

#include <cstring>

#include "mainwnd.h"

namespace {

const char* const kEntryPoints[] = {"beInitStream", "beEncodeChunk", "beDeinitStream", "beCloseStream", "beVersion"};

// The five entry points are looked up anew at every conversion; a library that was
// never loaded has none of them.
bool EncoderComplete() {
    if (!g_app.encoder) return false;
    for (const char* name : kEntryPoints)
        if (!GetProcAddress(g_app.encoder, name)) return false;
    return true;
}

}  // namespace

bool ConvertWavToMp3(HWND hwnd) {
    if (!EncoderComplete()) {
        MessageBoxA(hwnd, "Unable to get Lame_Enc interface", "Message", MB_OK);
        return false;
    }
    // The stream encoding itself is not part of this version: say so rather than claim an MP3 file.
    MessageBoxA(hwnd, "This version of CD Quorrel cannot encode MP3 files yet; the WAV file is kept.", "Message", MB_OK);
    return false;
}

void ReplaceEnding(char* fileName, const char* ending) {
    size_t length = strlen(fileName), endingLength = strlen(ending);
    if (length < endingLength) return;
    memcpy(fileName + length - endingLength, ending, endingLength);
}
