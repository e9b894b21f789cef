// demo_run PROGRAM SCREENSHOT [TRACK SONGNAME]: the headless demonstration of CD Quorrel.
// Starts PROGRAM in the current folder, answers the "MP3 Error" notice if the encoder
// library is missing, waits until the demo disc has been read (the Play button comes
// on). With a track and a song name it then records that track into SONGNAME.wav, as a
// user would: track buttons, the song name, Play, and the message at the end. It saves
// a picture of the whole window as a 24-bit BMP (during the recording, when there is
// one), presses Exit, answers No to the question about saving settings, and waits for
// the program to end. Exit code 0 on success; on any failure it says why on stderr and
// exits 1.
#include "harness.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kMainClass[] = "CDQuorl";
constexpr int IDC_PLAY = 102;
constexpr int IDC_SAVE = 103;
constexpr int IDM_EXIT = 107;
constexpr int IDC_NEXTTRACK = 109;
constexpr int IDC_SONGNAME = 65535;
constexpr DWORD kTrackTimeoutMs = 120000;
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kDiscTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 15000;

bool g_failed = false;

void Report(const std::string& message) {
    g_failed = true;
    fprintf(stderr, "demo_run: %s\n", message.c_str());
}

bool SavePicture(harness::Program& program, const std::string& screenshot) {
    harness::Image picture = program.CaptureWindow();
    if (picture.Empty() || !picture.SaveBmp(screenshot)) {
        Report("cannot capture the window into " + screenshot);
        return false;
    }
    return true;
}

// Records `track` under `songName` and waits for the program to say it saved it.
bool RecordTrack(harness::Program& program, int track, const std::string& songName, const std::string& screenshot) {
    for (int i = 1; i < track; ++i) program.ClickButton(IDC_NEXTTRACK);
    program.SetControlText(IDC_SONGNAME, songName);
    program.PostCommand(IDC_PLAY);
    if (!harness::WaitUntil([&] { return program.IsEnabled(IDC_SAVE); }, 10000)) {
        Report("the recording did not start");
        return false;
    }
    Sleep(2500);   // a few ticks of the clock for the picture
    if (!SavePicture(program, screenshot)) return false;
    harness::MessageBoxInfo box = program.WaitForMessageBox("", kTrackTimeoutMs);
    if (box.text != "I have saved the song to your hard drive.") {
        Report("the recording ended with \"" + box.title + "\": \"" + box.text + "\"");
        return false;
    }
    printf("demo_run: recorded track %d into %s\n", track, box.title.c_str());
    return static_cast<bool>(program.Answer(box, "OK"));
}

int Run(const std::string& exe, const std::string& screenshot, int track, const std::string& songName) {
    harness::Program program;
    if (!program.Start(exe, harness::FullPath("."))) return 1;
    program.AutoAnswer({"MP3 Error", "", "OK"});
    if (!program.WaitForWindow(kMainClass, kStartTimeoutMs)) return 1;
    if (!harness::WaitUntil([&] { return program.IsEnabled(IDC_PLAY) || !program.Running(); }, kDiscTimeoutMs) ||
        !program.Running()) {
        std::string boxes;
        for (const harness::MessageBoxInfo& box : program.MessageBoxes())
            boxes += " \"" + box.title + "\": \"" + box.text + "\";";
        Report(program.Running() ? "the Play button did not come on within 20 s: the disc was not read" +
                                       (boxes.empty() ? std::string() : "; message boxes showing:" + boxes)
                                 : "the program ended before the disc was read");
        return 1;
    }
    program.CaptureClientSettled();  // lets it finish painting
    if (track > 0) {
        if (!RecordTrack(program, track, songName, screenshot)) return 1;
    } else if (!SavePicture(program, screenshot)) {
        return 1;
    }
    program.AutoAnswer({"Save", "", "No"});
    if (!program.PostCommand(IDM_EXIT)) {
        Report("cannot send Exit to the program");
        return 1;
    }
    DWORD code = 0;
    if (!program.WaitForExit(kExitTimeoutMs, &code)) return 1;
    if (code != 0) {
        Report("the program ended with code " + std::to_string(code));
        return 1;
    }
    printf("demo_run: the disc was read; screenshot %s; the program ended normally\n", screenshot.c_str());
    return g_failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        fprintf(stderr, "usage: demo_run PROGRAM SCREENSHOT.bmp [TRACK SONGNAME]\n");
        return 2;
    }
    harness::SetFailureHandler(Report);
    int result = Run(argv[1], argv[2], argc == 5 ? atoi(argv[3]) : 0, argc == 5 ? argv[4] : "");
    // The Program has been torn down here (killed if it was still running); failures
    // reported on the way out count too.
    return result != 0 || g_failed ? 1 : 0;
}
