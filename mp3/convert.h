// MP3 conversion of a recorded or chosen WAV file through the encoder library
// "LameEnc.dll" (loaded at start-up).
#pragma once

#include <windows.h>

// Converts the WAV file named by the song name field into an MP3 file beside it. Shows
// its own messages; true when the MP3 file was made.
bool ConvertWavToMp3(HWND hwnd);

// Replaces the last three characters of a file name ("wav") by `ending` ("mp3").
void ReplaceEnding(char* fileName, const char* ending);
