// The recording engine's commands: Play and Save with their steps, the clock tick and
// the click in the window, the batch, play-back and transport, the source commands.
// Their state is g_engine (engine_state.h) and g_batch (batch.cpp).
//
// play.cpp          Play: the song name read once, the CD track prepared, the naming
//                   steps, then the step of the source (below); the click in the window
// recording.cpp     sound-card recording: the wave device, the CD's play, Start, Save,
//                   the clock tick and the end of a recording
// batch.cpp         the batch of chosen tracks: the track selection dialog's result, the
//                   file each track takes, the question about files that exist
// naming_steps.cpp  the song name as a file name, the questions, the disk-space estimate
// ripping.cpp       Play in Rip from CD;  conversion.cpp  Play in Convert WAV to MP3
// transport.cpp     play-back, Eject, the track buttons;  sources.cpp  the Source menu
#pragma once

#include <windows.h>

#include "batch.h"
#include "engine_state.h"

// ---- Play and Save (commands 102 and 103, timer 1, clicks in the window) ----
void OnPlay(HWND hwnd);
void OnSave(HWND hwnd);
void OnClockTick(HWND hwnd);
void OnClick(HWND hwnd, int x, int y);

// The step of every source that records through the sound card (recording.cpp):
// opens the wave device and starts the recording, or arms a partial one.
void RunSoundCardRecording(HWND hwnd);
// Partial CD Recording's Start: the recording begins, unless the track ended already.
void StartPartialRecording(HWND hwnd);
// Enables or grays the menu commands a recording must leave alone.
void EnableRecordingMenus(bool enabled);

// ---- naming steps (naming_steps.cpp): false ends the Play command ----
// `typed` is the song name field's text as Play read it.
bool RunNamingSteps(HWND hwnd, const char* typed);
// When `path` names an existing file: the overwrite question, titled with its name in
// lower case. False when the user cancels or the file cannot be replaced; the file
// itself stays until a new one replaces it.
bool ConfirmReplacing(HWND hwnd, const char* path);
// The free space on the song name's drive against the recording's size in the format
// it will have: the current track's length in the CD sources, a minute in Record from
// Line In, whose length nobody knows beforehand.
bool EnoughDiskSpace(const char* typed);
// What lies at `path` now.
FileStamp StampOf(const char* path);
bool SameStamp(const FileStamp& a, const FileStamp& b);
// The current file name becomes `name`, and the song name field shows it.
void SetCurrentFileName(const char* name);

// ---- the batch (batch.cpp) ----
extern Batch g_batch;
// Command 112: the track selection dialog, then the batch's first track (track 1
// without one) is the current track, its name and ".wav" ("untitled") in the field.
void OnTracksToRecord(HWND hwnd);
// Whether a batch is set up for this disc and source (its last track may be taken).
bool BatchRunning();
// At Play: a batch whose tracks were all taken (its last recording abandoned) ends,
// and the Play records on its own; true while a track is left.
bool BatchGoesOn();
// Play of a batch: before the CD track is prepared, the track the batch takes next
// is shown; once the naming steps passed, it is taken and its file named.
void ShowNextBatchTrack(HWND hwnd);
void TakeBatchTrackForPlay();
// At a batch's start: no two tracks into one file, one question about existing files.
bool ConfirmBatchFiles(HWND hwnd);

// ---- the steps of the other sources ----
// Rip from CD (ripping.cpp): true when it ripped a track of a batch and another is left.
bool RunRipping(HWND hwnd);
// Convert WAV to MP3 (conversion.cpp), with the song name as typed.
void RunConversion(HWND hwnd, const char* typed);

// What became of a rip or a saved recording.
struct Conversions {
    bool mp3;       // its MP3 file is complete
    bool flac;      // its FLAC file is complete and verified
    bool wavKept;   // the WAV file is still there
};
// Converts the rip or saved recording `wavPath` as the settings ask: to FLAC when
// "Convert to FLAC" is checked, then to MP3 when the recordings are converted. The WAV
// file goes (when it is not to be kept) only once every conversion asked for is
// complete. The current file then names what the user finds: the MP3 file where one was
// made, else the FLAC file where the WAV file went, else the WAV file.
Conversions ConvertRecording(HWND hwnd, const char* wavPath);
// Whether the settings ask for a conversion of every rip and recording.
bool ConversionAsked();

// The CUE sheet of a batch that rips every audio track of the disc (batch.cpp): each
// ripped track's lossless file is noted (its FLAC file, else its WAV file), and after
// the batch's last track the sheet is written beside the first file as "<its name>.cue",
// when every track of the disc was ripped and has one. A sheet that cannot be written
// is said so; the rips stay as they are.
void AddToCueSheet(const char* wavPath, const Conversions& made);
void WriteCueSheet(HWND hwnd);

// ---- play-back and transport (commands 104–106, 108–111) ----
void OnPlayBack(HWND hwnd);
void OnStopPlayBack(HWND hwnd);
void OnEject(HWND hwnd);
void OnTrackButton(HWND hwnd, int command);

// ---- source commands 116, 117, 119, 120 and the Partial CD Recording toggle 118 ----
void OnSourceCommand(HWND hwnd, int command);
void OnPartialRecording(HWND hwnd);
