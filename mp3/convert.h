// MP3 conversion of a recorded or chosen WAV file through the encoder library
// "LameEnc.dll" (loaded at start-up).
#pragma once

#include <windows.h>

// Converts the WAV file named by the song name field into an MP3 file beside it (same
// name, ending ".mp3"), at the MP3 bit rate of the recording settings. Shows its own
// messages. True when the MP3 file is complete; then the WAV file is gone unless it is
// to be kept, and Play, the song name field and (with a kept WAV file) Play Back are
// enabled. On failure the WAV file stays and no MP3 file is left behind.
bool ConvertWavToMp3(HWND hwnd);

// Replaces the last three characters of a file name ("wav") by `ending` ("mp3").
void ReplaceEnding(char* fileName, const char* ending);
