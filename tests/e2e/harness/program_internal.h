// Pieces of Program shared between its source files.
#pragma once

#include "harness.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace harness {

// Visible dialogs (class "#32770") owned by the process, with their texts and buttons.
std::vector<MessageBoxInfo> ListMessageBoxes(DWORD pid);

// The id of `button` (a label, compared without '&' and ignoring case; a standard name
// OK/Cancel/Yes/No/Abort/Retry/Ignore; or a number) on the box, or -1.
int ResolveButton(const MessageBoxInfo& box, const std::string& button);

// Presses the button with that id (posted, as a click does). False if the box is gone.
bool PressButton(HWND box, int id);

// The background thread that answers boxes a test is not about.
struct Program::Answerer {
    DWORD pid = 0;
    std::mutex lock;
    std::vector<BoxRule> rules;
    std::vector<MessageBoxInfo> answered;
    std::vector<HWND> handled;          // boxes a rule matched, answered or not
    std::vector<std::string> problems;  // rules whose button the box lacked
    std::atomic<bool> stop{false};
    std::thread thread;

    void Run();
};

}  // namespace harness
