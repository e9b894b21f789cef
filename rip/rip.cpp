// The rip: the current track's frame range from the drive's table of contents, copied
// in reads of 26 frames into a WAV file named by the song name field. Runs inside the
// Play command to its end; the window shows its progress in the prompt line, drawn
// directly. A rip either completes its file or leaves none: a read that fails three
// times, or a write that fails, ends it with a message and removes the partial file.
// The file is written under a working name ("<name>.wav.part") and takes its own name
// once complete, so a file of that name that was there before is replaced only by a
// whole track.
#include "rip.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "akrip32.h"
#include "display.h"
#include "drive.h"
#include "engine_state.h"
#include "framecopy.h"
#include "naming.h"
#include "toc.h"
#include "wavwriter.h"
#include "window_kit.h"

namespace {

using akrip::kFrameBytes;
using akrip::kResultOk;

const char kTitle[] = "Message";
const uint32_t kDataCapacity = kChunkFrames * kFrameBytes;   // 61,152 bytes
const size_t kStreamBufferBytes = 1 << 20;

void Tell(HWND hwnd, const char* text) { MessageBoxA(hwnd, text, kTitle, MB_OK); }

void ShowProgress(HWND hwnd, const std::string& text) {
    SetPromptLine(hwnd, text.c_str(), false);
    DrawPromptLine(hwnd);
}

// The current track's first frame and length from the drive's table of contents, in
// logical block addresses. False after telling the user why not (a data track is no
// audio to rip).
bool FindCurrentTrack(HWND hwnd, HCDROM cd, long* start, long* length) {
    akrip::Toc toc;
    std::memset(&toc, 0, sizeof toc);
    // Without LBA addresses the table cannot be read as frame numbers.
    if (ModifyCDParms(cd, akrip::kParmMsfToc, 0) != kResultOk || ReadTOC(cd, &toc) != kResultOk) {
        Tell(hwnd, "Error reading TOC");
        return false;
    }
    int track = CurrentTrackNumber(g_tracks);
    if (akrip::IsDataTrack(toc, track)) {
        char text[80];
        snprintf(text, sizeof text, "Track %d is a data track, not audio: it cannot be ripped.", track);
        Tell(hwnd, text);
        return false;
    }
    if (!akrip::TrackSpan(toc, track, start, length)) {
        char text[80];
        snprintf(text, sizeof text, "Track %d is not in the table of contents of this CD.", track);
        Tell(hwnd, text);
        return false;
    }
    return true;
}

// Copies `length` frames from `start` into the file named by the song name field.
// True when the file is complete; otherwise it is gone and the user has been told.
bool CopyTrack(HWND hwnd, HCDROM cd, long start, long length) {
    HGLOBAL memory = GlobalAlloc(GPTR, sizeof(akrip::TransferHeader) + kDataCapacity);
    if (!memory) {
        Tell(hwnd, "There is not enough memory to rip this track.");
        return false;
    }
    auto* buffer = static_cast<akrip::TransferHeader*>(static_cast<void*>(memory));
    const uint8_t* area = reinterpret_cast<const uint8_t*>(buffer + 1);
    buffer->capacity = kDataCapacity;

    char path[kFileNameText - 1] = {};   // at most 254 characters
    GetWindowTextA(g_app.songName, path, sizeof path);
    char part[kPathText] = {};
    FILE* file = PartialFileName(path, part, sizeof part) ? fopen(part, "w+b") : nullptr;
    if (!file) {
        GlobalFree(memory);
        Tell(hwnd, "Error creating file");
        return false;
    }
    // One stream with a large buffer: the reads' bytes reach the disk in few large writes.
    setvbuf(file, nullptr, _IOFBF, kStreamBufferBytes);
    ShowProgress(hwnd, RipRangeText(length, start));

    FrameCopyIo io;
    io.read = [&](long first, long frames, Delivery* delivery) {
        buffer->firstFrame = static_cast<uint32_t>(first);
        buffer->frames = static_cast<uint32_t>(frames);
        buffer->offset = 0;
        buffer->delivered = 0;
        bool read = ReadCDAudioLBA(cd, buffer) == kResultOk;
        delivery->area = area;
        delivery->capacity = kDataCapacity;   // what was allocated, whatever the record says now
        delivery->offset = buffer->offset;
        delivery->bytes = buffer->delivered;
        return read;
    };
    io.write = [&](const uint8_t* bytes, uint32_t count) { return fwrite(bytes, 1, count, file) == count; };
    ProgressPacer pacer;
    io.progress = [&](long frame, long remaining) {
        SetPromptLine(hwnd, RipProgressText(frame, remaining).c_str(), false);
        if (pacer.Due(GetTickCount())) DrawPromptLine(hwnd);
    };

    CopyResult copy;
    if (!WriteWavHeader(file, 0))
        copy.outcome = CopyOutcome::kWriteFailed;
    else
        copy = CopyFrames(start, length, io);
    if (pacer.Pending()) DrawPromptLine(hwnd);   // the screen shows where the copy ended
    bool complete = copy.outcome == CopyOutcome::kComplete;
    if (complete && (!WriteWavHeader(file, copy.bytes) || fflush(file) != 0)) complete = false;
    if (fclose(file) != 0 && complete) {
        complete = false;
        copy.outcome = CopyOutcome::kWriteFailed;
    }
    GlobalFree(memory);
    bool named = complete && MoveFileExA(part, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (named) return true;

    DeleteFileA(part);   // a partial file must not pass for the track
    char text[160];
    if (complete)
        snprintf(text, sizeof text,
                 "The track was not saved: a file of this name is read-only or in use. Please choose another name.");
    else if (copy.outcome == CopyOutcome::kReadFailed)
        snprintf(text, sizeof text, "Error reading the CD at frame %ld: the track was not ripped.", copy.failedFrame);
    else
        snprintf(text, sizeof text, "Error writing file: the track was not ripped.");
    Tell(hwnd, text);
    return false;
}

}  // namespace

int OpenExtractionDrive() {
    akrip::DriveList list;
    std::memset(&list, 0, sizeof list);
    GetCDList(&list);   // the count says what was found
    if (list.count == 0) return 0;
    akrip::HandleRequest request;
    std::memset(&request, 0, sizeof request);
    request.size = sizeof request;
    request.version = 1;
    request.hostAdapter = list.drives[0].hostAdapter;
    request.target = list.drives[0].target;
    request.lun = list.drives[0].lun;
    return static_cast<int>(GetCDHandle(&request));
}

void CloseExtractionDrive(int handle) {
    if (handle != 0) CloseCDHandle(static_cast<HCDROM>(handle));
}

bool RipCurrentTrack(HWND hwnd) {
    ShowProgress(hwnd, "Ripping                                       ");
    SetCursor(g_app.busyCursor);
    bool ripped = false;
    long start = 0, length = 0;
    HCDROM cd = static_cast<HCDROM>(g_app.extractionHandle);
    if (cd == 0)
        Tell(hwnd, "Could not get handle to CD");
    else if (FindCurrentTrack(hwnd, cd, &start, &length))
        ripped = CopyTrack(hwnd, cd, start, length);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return ripped;
}
