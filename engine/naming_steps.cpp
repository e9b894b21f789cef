// The naming steps of the Play command: the song name becomes the lower-case ".wav"
// file to record, with the questions about unoriginal and existing names; and the
// disk-space estimate for a CD track.
//
// A file the user agrees to overwrite stays where it is until the new file replaces
// it: a recording that cannot be saved, or a rip or conversion that fails, leaves it
// as it was.
#include <cstdio>
#include <cstring>

#include "display.h"
#include "drive.h"
#include "engine.h"
#include "naming.h"
#include "resource.h"
#include "settings.h"
#include "window_kit.h"

namespace {

const char kFileNameError[] = "FileName Error";

bool Refuse(HWND hwnd, const char* text) {
    MessageBoxA(hwnd, text, kFileNameError, MB_OK);
    FocusSongName();
    return false;
}

// Whether the file can be replaced: it can be opened for writing (it is no folder, is
// not read-only and no program holds it shut). Nothing is written.
bool CanBeReplaced(const char* name) {
    DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The overwrite question about the existing file `existing`, titled `title`. True when
// the user agrees and the file can be replaced.
bool AskToReplace(HWND hwnd, const char* existing, const char* title) {
    if (MessageBoxA(hwnd, "File name already exists. Overwrite current file?", title, MB_OKCANCEL) != IDOK)
        return false;
    if (CanBeReplaced(existing)) return true;
    MessageBoxA(hwnd, "This file cannot be replaced: it is read-only or in use. Please choose another song name.",
                title, MB_OK);
    return false;
}

// Asks about every entry of the current folder named `candidate` (whatever the case of
// its letters). False when the user cancels or the file cannot be replaced.
bool ConfirmOverwrite(HWND hwnd, const char* candidate) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("*.*", &found);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool goOn = true;
    do {
        if (SameFileName(found.cFileName, candidate)) goOn = AskToReplace(hwnd, found.cFileName, candidate);
    } while (goOn && FindNextFileA(find, &found));
    FindClose(find);
    return goOn;
}

// Step 6 inside the name's folder: the overwrite questions and the prompt line. Every
// recording is first a ".wav" file, also when it is not kept after its conversion, so
// the ".wav" name is always asked about.
bool CheckExistingFiles(HWND hwnd, const NameParts& parts) {
    const RecordingSettings& settings = g_settings.recording;
    char candidate[kNamePartText];
    Candidate(parts.stem, ".wav", candidate, sizeof candidate);
    if (!ConfirmOverwrite(hwnd, candidate)) return false;
    bool partial = g_engine.mode == kSourcePartial;
    if (g_engine.mode == kSourceRip) {   // the rip's log lies beside it
        Candidate(parts.stem, ".log", candidate, sizeof candidate);
        if (!ConfirmOverwrite(hwnd, candidate)) return false;
    }
    if (g_settings.convertToFlac) {
        Candidate(parts.stem, ".flac", candidate, sizeof candidate);
        if (!ConfirmOverwrite(hwnd, candidate)) return false;
    }
    if (settings.convertToMp3) {
        Candidate(parts.stem, ".mp3", candidate, sizeof candidate);
        if (!ConfirmOverwrite(hwnd, candidate)) return false;
        SetPromptLine(hwnd, partial ? "Click on Start to record..." : "Recording intermediate file...", false);
    } else {
        SetPromptLine(hwnd, partial ? "Click on Start to record..." : "Recording WAV file...", false);
    }
    return true;
}

// Step 6: in the name's folder, with the process's current folder put back on every way out.
bool CheckInNameFolder(HWND hwnd, const NameParts& parts) {
    char saved[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof saved, saved);
    char folder[kNamePartText * 2] = {};
    FolderOf(parts, folder, sizeof folder);
    if (folder[0] != '\0' && !SetCurrentDirectoryA(folder))
        return Refuse(hwnd, "The folder of this song name does not exist. Please create it first or choose another.");
    bool goOn = CheckExistingFiles(hwnd, parts);
    SetCurrentDirectoryA(saved);
    return goOn;
}

}  // namespace

bool RunNamingSteps(HWND hwnd, const char* songName) {
    char typed[kFileNameText - 1];   // at most 254 characters are taken
    CopyText(typed, songName);
    TrimBlanks(typed);   // blanks around a name are never meant to be part of the file's name
    bool batch = BatchRunning();
    if (typed[0] == '\0' && !batch) return Refuse(hwnd, "Please enter a file name after clicking on OK.");

    NameParts parts;
    SplitName(typed, &parts);
    TrimStem(&parts);
    char character = '\0';
    NameProblem problem = CheckSongName(parts, sizeof g_engine.currentFileName, &character);
    if (problem != kNameFine && !(batch && typed[0] == '\0')) {
        char text[160];
        NameProblemMessage(problem, character, parts.stem, text, sizeof text);
        return Refuse(hwnd, text);
    }
    BuildWavName(parts, g_engine.currentFileName, sizeof g_engine.currentFileName);
    CopyText(g_engine.playBackFile, g_engine.currentFileName);
    if (ExtensionAsksForMp3(parts.extension)) {
        g_settings.recording.convertToMp3 = true;
        EnableMenuCommand(IDM_MP3PARAMS, true);   // its parameters now matter
    }
    if (IsUntitled(parts.stem) && !batch &&
        MessageBoxA(hwnd, "Don't you want to save this song using a more original name?", "Question", MB_YESNO) ==
            IDYES) {
        ShowSongName("");
        FocusSongName();
        return false;
    }
    LowerAscii(g_engine.currentFileName);
    ShowSongName(g_engine.currentFileName);
    if (batch) return !BatchAtStart(g_batch) || ConfirmBatchFiles(hwnd);
    return CheckInNameFolder(hwnd, parts);
}

bool ConfirmReplacing(HWND hwnd, const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    NameParts parts;
    SplitName(path, &parts);
    char title[kNamePartText];
    Candidate(parts.stem, parts.extension, title, sizeof title);
    return AskToReplace(hwnd, path, title);
}

bool EnoughDiskSpace(const char* songName) {
    // A rip is CD audio, and so is a recording to be converted (a name ending in ".mp3"
    // asks for the conversion too): that is what the file will hold.
    RecordingSettings format = g_settings.recording;
    NameParts parts;
    SplitName(songName, &parts);
    if (g_engine.mode == kSourceRip || format.convertToMp3 || ExtensionAsksForMp3(parts.extension))
        ForceCdFormat(&format);
    const char* length = g_engine.mode == kSourceLineIn ? "01:00:00" : g_tracks.currentLength;
    uint32_t required = RequiredBytes(length, format.channels, format.sampleRate, format.bitsPerSample);
    char current[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof current, current);
    const char root[] = {EstimateDrive(songName, current[0]), ':', '\\', '\0'};

    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
    uint64_t freeBytes = 0;   // a drive that cannot be asked has no room
    if (found) {
        ULARGE_INTEGER available, total, totalFree;
        if (reinterpret_cast<FreeSpaceEx>(reinterpret_cast<void*>(found))(root, &available, &total, &totalFree))
            freeBytes = available.QuadPart;
    } else {
        DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
        if (GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
            freeBytes = static_cast<uint32_t>(sectorsPerCluster * bytesPerSector * freeClusters);
    }
    return HasRoomFor(freeBytes, required);
}

FileStamp StampOf(const char* path) {
    FileStamp stamp = {};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return stamp;
    stamp.exists = true;
    stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.written = data.ftLastWriteTime;
    return stamp;
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
    if (a.exists != b.exists) return false;
    return !a.exists || (a.size == b.size && CompareFileTime(&a.written, &b.written) == 0);
}

void SetCurrentFileName(const char* name) {
    CopyText(g_engine.currentFileName, name);
    ShowSongName(g_engine.currentFileName);
}
