// MP3 conversion of a recorded or chosen WAV file through the encoder library
// "LameEnc.dll" (loaded at start-up).
#pragma once

#include <windows.h>

#include "flac_plan.h"
#include "mp3_tag.h"
#include "wav_layout.h"

// Converts the WAV file `wavPath` into an MP3 file beside it (same
// name, ending ".mp3"), at the MP3 bit rate of the recording settings. Shows its own
// messages. True when the MP3 file is complete; then the WAV file is gone unless it is
// to be kept, and Play, the song name field and (with a kept WAV file) Play Back are
// enabled. On failure the WAV file stays, no new MP3 file is left behind and an MP3 file
// that was there before is unchanged.
// With `tag`, the MP3 file begins with an ID3v2 tag of it (UTF-8 names; see mp3_tag.h:
// TagFromNames makes one from a name source's track). Without it, or with an encoder
// library that has no beWriteTag (an older one) or refuses the tag, the MP3 file is
// made untagged, as before. With `mayDeleteWav` false the WAV file stays whatever the
// setting says (another conversion of it failed).
bool ConvertWavToMp3(HWND hwnd, const char* wavPath, const mp3::Mp3Tag* tag = nullptr, bool mayDeleteWav = true);

// The tag of a chosen WAV file: the title its file name gives (without folder and
// ending), read in the system's code page and carried as UTF-8; nothing else.
mp3::Mp3Tag TagOfFileName(const char* path);

// The tag of CD track `track` made into `path`: artist, album, year, "n/N" and the
// MusicBrainz ids of the release in use where a source named the disc, the title the
// track's name (the source's whole title while the track bears it) or else the file's,
// the track's number on the disc at least.
mp3::Mp3Tag TagOfTrack(int track, const char* path);

// Converts the WAV file `wavPath` into a FLAC file beside it (same name, ending
// ".flac"): level 5, verified, the audio's MD5 in its header, `tags` as its Vorbis
// comments. Shows its own messages ("FLAC Error") and draws its progress. True when the
// FLAC file is complete and verified under its name. The WAV file is never deleted here;
// on failure no new FLAC file is left behind and one that was there before is unchanged.
bool ConvertWavToFlac(HWND hwnd, const char* wavPath, const mp3::FlacTags& tags);


// The progress of a conversion, drawn straight into the prompt line while the command
// runs: Play off, the prompt "Converting" shown; the window's DC (null when there is
// none) for DrawConversionProgress, released by the caller.
HDC StartConversionProgress(HWND hwnd);
void DrawConversionProgress(HDC dc, const char* text);

// Walks the chunks of the WAV file `path` to its format and sound; false when the file
// cannot be opened (a file that cannot be read has no format and no sound).
bool FindWavSound(const char* path, mp3::WavLayout* layout);

// Why a WAV file is not converted: its sound is not 44,100 Hz, 16-bit stereo PCM.
extern const char kCdFormatRequired[];

// Replaces the last three characters of a file name ("wav") by `ending` ("mp3").
void ReplaceEnding(char* fileName, const char* ending);
