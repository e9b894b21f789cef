// The batch of chosen tracks, for recording and ripping alike: the track selection
// dialog's result becomes the batch; each Play of a batch shows the track it takes next
// before the CD track is prepared, and takes it once the naming steps passed, under
// its own name in the folder of the batch's first file. At its start the batch's files
// are checked once: no two tracks into one file, one question about files that exist.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "convert.h"
#include "cuesheet.h"
#include "dialogs.h"
#include "display.h"
#include "drive.h"
#include "files.h"
#include "engine.h"
#include "naming.h"
#include "names.h"
#include "riplog.h"
#include "settings.h"
#include "verify.h"
#include "window_kit.h"

Batch g_batch;

namespace {

// The file of the batch's track `track` in `folder`.
std::string TrackFile(const char* folder, int track) {
    char path[kFileNameText];
    BatchFileName(folder, TrackFileStem(track).c_str(), path, sizeof path);
    return path;
}

// The folder the batch's files go into: that of the current file, as the naming steps
// made it from the song name.
void CurrentFolder(char (&folder)[kPathText]) {
    NameParts parts;
    SplitName(g_engine.currentFileName, &parts);
    FolderOf(parts, folder, sizeof folder);
}

// The files of the whole-disc batch under way, track by track, for its CUE sheet.
CueSheet g_cue;

// Whether the batch takes every audio track of the disc: by the layout of the rip
// under way where it is this disc's, else by the track table (every track once).
bool TakesWholeDisc() {
    const DiscLayout& layout = g_verify.log.layout;
    if (BatchContinues(g_batch) && !layout.starts.empty()) {
        std::vector<bool> data(layout.starts.size(), false);
        for (size_t k = 0; k < data.size() && k < layout.data.size(); ++k) data[k] = layout.data[k];
        return BatchTakesWholeDisc(g_batch, data);
    }
    return BatchTakesWholeDisc(g_batch, std::vector<bool>(static_cast<size_t>(g_tracks.trackCount), false));
}

struct BatchFile {
    int track;
    std::string path;
};

// The files the batch will make: each track's WAV file, with its MP3 when the
// recordings are converted, and in Rip from CD the log, named after the first file.
std::vector<BatchFile> BatchFiles() {
    char folder[kPathText];
    CurrentFolder(folder);
    std::vector<BatchFile> files;
    for (int i = 0; i < g_batch.count; ++i) {
        int track = g_batch.tracks[i];
        std::string wav = TrackFile(folder, track);
        files.push_back({track, wav});
        if (g_settings.recording.convertToMp3) {
            char mp3[kFileNameText];
            CopyText(mp3, wav.c_str());
            ReplaceEnding(mp3, "mp3");
            files.push_back({track, mp3});
        }
        if (g_settings.convertToFlac) {
            char flac[kFileNameText];
            if (mp3::FlacPathFor(wav.c_str(), flac, sizeof flac)) files.push_back({track, flac});
        }
        if (g_engine.mode == kSourceRip && i == 0) files.push_back({track, LogPathFor(wav)});
        if (g_engine.mode == kSourceRip && i == 0 && TakesWholeDisc()) files.push_back({track, CuePathFor(wav)});
    }
    return files;
}

}  // namespace

bool BatchRunning() { return BatchSetUp(&g_batch, g_tracks); }

bool BatchGoesOn() {
    if (BatchRunning() && !BatchTrackLeft(g_batch)) EndBatch(&g_batch);   // all its tracks were taken
    return BatchRunning();
}

void ShowNextBatchTrack(HWND hwnd) { ShowTrack(hwnd, NextBatchTrack(g_batch)); }

void TakeBatchTrackForPlay() {
    int track = TakeBatchTrack(&g_batch, g_engine.currentFileName);
    SetCurrentFileName(TrackFile(g_batch.folder, track).c_str());
}

bool ConfirmBatchFiles(HWND hwnd) {
    std::vector<BatchFile> files = BatchFiles();
    std::string existing;
    size_t shown = 0, more = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        bool listed = false;   // a track chosen twice makes its files twice
        for (size_t j = 0; j < i && !listed; ++j) {
            if (!SameFileName(files[j].path.c_str(), files[i].path.c_str())) continue;
            listed = files[j].track == files[i].track;
            if (listed) continue;
            char text[kPathText + 160];
            snprintf(text, sizeof text,
                     "Tracks %d and %d would both be saved as %s, and the one would replace the other. Please give "
                     "them different names.",
                     files[j].track, files[i].track, files[i].path.c_str());
            MessageBoxA(hwnd, text, "FileName Error", MB_OK);
            FocusSongName();
            return false;
        }
        if (listed || !StampOf(files[i].path.c_str()).exists) continue;
        if (shown++ < 3)
            existing += (existing.empty() ? "" : ", ") + files[i].path;
        else
            ++more;
    }
    if (existing.empty()) return true;
    if (more > 0) existing += " and " + std::to_string(more) + " more";
    std::string question = "Files of the chosen tracks already exist: " + existing + ". Overwrite them?";
    if (MessageBoxA(hwnd, question.c_str(), "Tracks to Record", MB_OKCANCEL) == IDOK) return true;
    FocusSongName();
    return false;
}

void OnTracksToRecord(HWND hwnd) {
    TrackChoice choice;
    choice.shown = BatchRunning() ? g_batch.count : 0;   // the saved entries that still stand for a batch
    // A dialog that cannot be made changes no batch.
    if (ChooseTracks(hwnd, &choice)) {
        if (choice.saved)
            StartBatch(&g_batch, choice.tracks, g_tracks);
        else
            EndBatch(&g_batch);
    }
    // The first track of the batch, or track 1 without one, under its name or "untitled".
    int track = BatchRunning() ? NextBatchTrack(g_batch) : 1;
    char songName[kFileNameText] = "untitled";
    if (BatchRunning()) snprintf(songName, sizeof songName, "%s.wav", TrackFileStem(track).c_str());
    ShowSongName(songName);
    ShowTrack(hwnd, track);
    FocusSongName();
}

void AddToCueSheet(const char* wavPath, const Conversions& made) {
    if (!BatchContinues(g_batch)) g_cue = CueSheet();   // the batch's first track
    CueTrack track;
    track.number = CurrentTrackNumber(g_tracks);
    char flac[kFileNameText];
    if (made.flac && mp3::FlacPathFor(wavPath, flac, sizeof flac))
        track.file = FileNameOf(flac);
    else if (made.wavKept)
        track.file = FileNameOf(wavPath);   // else no lossless file: the sheet has nothing to name
    g_cue.tracks.push_back(track);
}

void WriteCueSheet(HWND hwnd) {
    const RipLog& log = g_verify.log;
    if (!TakesWholeDisc() || g_cue.tracks.size() != static_cast<size_t>(g_batch.count) || log.layout.starts.empty())
        return;
    for (const CueTrack& track : g_cue.tracks)
        if (track.file.empty()) return;
    CueSheet sheet = g_cue;
    std::sort(sheet.tracks.begin(), sheet.tracks.end(),
              [](const CueTrack& a, const CueTrack& b) { return a.number < b.number; });
    sheet.program = log.program;
    sheet.haveDiscId = true;
    sheet.freedbId = log.ids.freedb;
    if (const ReleaseNames* release = DiscRelease()) AddReleaseNames(*release, &sheet);
    std::string path = CuePathFor(g_verify.logPath), text = CueSheetText(sheet);
    char part[kPathText];
    bool written = false;
    if (PartialFileName(path.c_str(), part, sizeof part)) {
        HANDLE file = CreateFileA(part, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD done = 0;
            written = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                      done == text.size() && FlushFileBuffers(file);
            written = CloseHandle(file) && written;
            written = written && MoveIntoPlace(part, path.c_str());
            if (!written) DeleteFileA(part);
        }
    }
    if (written) return;
    char message[kPathText + 80];
    snprintf(message, sizeof message, "The CUE sheet %s could not be written; the ripped files are complete.",
             path.c_str());
    MessageBoxA(hwnd, message, "CUE Sheet", MB_OK);
}
