// The recording parameter dialogs ("RecParWav", "RecParMP3") and the two file choosers
// that the click on the song name prompt offers.
//
// params.cpp   commands 121 (WAV Parameters...) and 122 (MP3 Parameters...): two modal
//              dialogs that edit the recording settings; each gets its own state through
//              DialogBoxParamA's parameter.
// tracks.cpp   the track selection dialog of command 112 (Tracks to Record...), which
//              chooses the batch of tracks the recording engine records one after the other.
// choosers.cpp one file-chooser description for the whole program, filled once at
//              window creation; the save chooser (a file to record into) and the open
//              chooser (a WAV file to convert).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <vector>

constexpr size_t kChooserFileText = 260;    // the chosen path
constexpr size_t kChooserTitleText = 512;   // the chosen file's name without its folder

// The file-chooser description and the buffers it points into (process-wide).
struct ChooserState {
    OPENFILENAMEA description;        // structure size 76: the form every Windows accepts
    char file[kChooserFileText];      // empty at start, then the last chosen path
    char fileTitle[kChooserTitleText];
    char initialDir[MAX_PATH];        // the current folder, taken just before each choice
};

extern ChooserState g_chooser;

// Command 121: the WAV parameters dialog, then the MP3 parameters dialog when it was
// left with OK and recordings are to be converted. The focus goes back to the song name.
void OnWavParameters(HWND hwnd);
// Command 122: the MP3 parameters dialog; the focus goes back to the song name.
void OnMp3Parameters(HWND hwnd);

// The track selection dialog (command 112): the user picks, orders and names the tracks
// of a batch. `shown` entries of the list saved last are shown again (those still
// standing for a batch). Save leaves the chosen tracks in `tracks` with `saved` true;
// Cancel leaves `saved` false. False when the dialog could not be made.
struct TrackChoice {
    int shown = 0;
    bool saved = false;
    std::vector<int> tracks;
};
bool ChooseTracks(HWND hwnd, TrackChoice* choice);

// Window creation: fills the file-chooser description, owned by the main window.
void PrepareFileChooser(HWND hwnd);
// The click on the song name prompt: lets the user choose the WAV file to record into,
// or in Convert WAV to MP3 the WAV file to convert, and puts the chosen path (in lower
// case) into the song name field. Does nothing while a recording runs.
void OfferFileChoice(HWND hwnd);

// The two choosers: store the buffers into the description and run the system dialog.
// Nonzero when the user chose a file; 0 when cancelled or failed.
BOOL ChooseFileToSave(char (&file)[kChooserFileText], char (&fileTitle)[kChooserTitleText]);
BOOL ChooseFileToOpen(char (&file)[kChooserFileText], char (&fileTitle)[kChooserTitleText]);
