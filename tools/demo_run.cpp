// demo_run PROGRAM SCREENSHOT: the headless demonstration of CD Quorrel. Starts PROGRAM
// in the current folder, answers the "MP3 Error" notice if the encoder library is
// missing, waits until the demo disc has been read (the Play button comes on), saves a
// picture of the whole window as a 24-bit BMP, presses Exit, answers No to the question
// about saving settings, and waits for the program to end. Exit code 0 on success; on
// any failure it says why on stderr and exits 1.
#include "harness.h"

#include <cstdio>

namespace {

constexpr char kMainClass[] = "CDQuorl";
constexpr int IDC_PLAY = 102;
constexpr int IDM_EXIT = 107;
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kDiscTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 15000;

bool g_failed = false;

void Report(const std::string& message) {
    g_failed = true;
    fprintf(stderr, "demo_run: %s\n", message.c_str());
}

int Run(const std::string& exe, const std::string& screenshot) {
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
    harness::Image picture = program.CaptureWindow();
    if (picture.Empty() || !picture.SaveBmp(screenshot)) {
        Report("cannot capture the window into " + screenshot);
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
    if (argc != 3) {
        fprintf(stderr, "usage: demo_run PROGRAM SCREENSHOT.bmp\n");
        return 2;
    }
    harness::SetFailureHandler(Report);
    int result = Run(argv[1], argv[2]);
    // The Program has been torn down here (killed if it was still running); failures
    // reported on the way out count too.
    return result != 0 || g_failed ? 1 : 0;
}
