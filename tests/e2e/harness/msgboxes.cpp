// Message boxes of a program under test: listing, answering, the background answerer.
#include "program_internal.h"

#include <cctype>
#include <cstdlib>

namespace harness {
namespace {

struct BoxSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && ClassName(window) == "#32770")
        search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
    MessageBoxInfo* info = reinterpret_cast<MessageBoxInfo*>(param);
    if (GetParent(child) != info->box) return TRUE;  // only direct children
    std::string cls = ClassName(child);
    if (IsWindowVisible(child) && (cls == "Button" || cls == "button")) {
        info->buttons.push_back(Text(child));
        info->buttonIds.push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

MessageBoxInfo Describe(HWND box) {
    MessageBoxInfo info;
    info.box = box;
    info.title = Text(box);
    // Wine's message box keeps its text in a static with id 100, Windows' in 0xFFFF.
    for (int id : {100, 0xFFFF}) {
        HWND label = GetDlgItem(box, id);
        if (label && ClassName(label) == "Static") {
            info.text = Text(label);
            if (!info.text.empty()) break;
        }
    }
    EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&info));
    return info;
}

bool SameLabel(const std::string& a, const std::string& b) {
    std::string x = StripAmpersands(a), y = StripAmpersands(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(x[i])) != std::tolower(static_cast<unsigned char>(y[i])))
            return false;
    return true;
}

bool Matches(const BoxRule& rule, const MessageBoxInfo& box) {
    return box.title == rule.title && box.text.find(rule.textPart) != std::string::npos;
}

std::string Describe(const MessageBoxInfo& box) {
    std::string s = "\"" + box.title + "\": \"" + box.text + "\" [";
    for (size_t i = 0; i < box.buttons.size(); ++i) s += (i ? ", " : "") + box.buttons[i];
    return s + "]";
}

}  // namespace

std::vector<MessageBoxInfo> ListMessageBoxes(DWORD pid) {
    BoxSearch search{pid, {}};
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
    std::vector<MessageBoxInfo> boxes;
    for (HWND box : search.found) boxes.push_back(Describe(box));
    return boxes;
}

int ResolveButton(const MessageBoxInfo& box, const std::string& button) {
    for (size_t i = 0; i < box.buttons.size(); ++i)
        if (SameLabel(box.buttons[i], button)) return box.buttonIds[i];
    static const struct { const char* name; int id; } kStandard[] = {
        {"OK", IDOK}, {"Cancel", IDCANCEL}, {"Abort", IDABORT}, {"Retry", IDRETRY},
        {"Ignore", IDIGNORE}, {"Yes", IDYES}, {"No", IDNO},
    };
    int wanted = -1;
    for (const auto& s : kStandard)
        if (SameLabel(s.name, button)) wanted = s.id;
    if (wanted < 0 && !button.empty() && std::isdigit(static_cast<unsigned char>(button[0])))
        wanted = std::atoi(button.c_str());
    for (int id : box.buttonIds)
        if (id == wanted) return id;
    return -1;
}

bool PressButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    return PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

void Program::Answerer::Run() {
    while (!stop) {
        for (const MessageBoxInfo& box : ListMessageBoxes(pid)) {
            std::lock_guard<std::mutex> guard(lock);
            bool seen = false;
            for (HWND done : handled) seen = seen || done == box.box;
            if (seen) continue;  // answered already, still closing
            for (const BoxRule& rule : rules) {
                if (!Matches(rule, box)) continue;
                handled.push_back(box.box);
                int id = ResolveButton(box, rule.button);
                if (id < 0 || !PressButton(box.box, id))
                    problems.push_back("box " + Describe(box) + " has no button \"" + rule.button + "\"");
                else
                    answered.push_back(box);
                break;
            }
        }
        Sleep(100);
    }
}

std::vector<MessageBoxInfo> Program::MessageBoxes() const { return ListMessageBoxes(pid_); }

MessageBoxInfo Program::WaitForMessageBox(const std::string& title, DWORD timeoutMs) {
    MessageBoxInfo result;
    std::vector<MessageBoxInfo> seen;
    WaitUntil([&] {
        seen = ListMessageBoxes(pid_);
        for (const MessageBoxInfo& box : seen)
            if (title.empty() || box.title == title) {
                result = box;
                return true;
            }
        return !Running();
    }, timeoutMs);
    if (!result.box) {
        std::string others;
        for (const MessageBoxInfo& box : seen) others += "\n  " + Describe(box);
        Fail("no message box" + (title.empty() ? std::string() : " titled \"" + title + "\"") + " appeared within " +
             std::to_string(timeoutMs) + " ms" + (Running() ? "" : " (the program has ended)") +
             (others.empty() ? "" : "; showing:" + others));
    }
    return result;
}

::testing::AssertionResult Program::Answer(const MessageBoxInfo& box, const std::string& button) {
    if (!box.box) return ::testing::AssertionFailure() << "no message box to answer";
    int id = ResolveButton(box, button);
    if (id < 0) return ::testing::AssertionFailure() << "box " << Describe(box) << " has no button \"" << button << "\"";
    return Answer(box, id);
}

::testing::AssertionResult Program::Answer(const MessageBoxInfo& box, int buttonId) {
    if (!box.box || !IsWindow(box.box)) return ::testing::AssertionFailure() << "the message box is gone";
    if (!PressButton(box.box, buttonId))
        return ::testing::AssertionFailure() << "cannot press button " << buttonId << " of box " << Describe(box);
    HWND hwnd = box.box;
    if (!WaitUntil([hwnd] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, 5000))
        return ::testing::AssertionFailure() << "box " << Describe(box) << " did not close within 5000 ms after button "
                                             << buttonId;
    return ::testing::AssertionSuccess();
}

MessageBoxInfo Program::AnswerMessageBox(const std::string& title, const std::string& button, DWORD timeoutMs) {
    MessageBoxInfo box = WaitForMessageBox(title, timeoutMs);
    if (!box.box) return box;
    ::testing::AssertionResult answered = Answer(box, button);
    if (!answered) Fail(answered.message());
    return box;
}

::testing::AssertionResult Program::NoMessageBoxWithin(DWORD timeoutMs) {
    std::vector<MessageBoxInfo> boxes;
    DWORD start = GetTickCount();
    do {
        boxes = ListMessageBoxes(pid_);
        if (!boxes.empty())
            return ::testing::AssertionFailure() << "a message box appeared: " << Describe(boxes.front());
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return ::testing::AssertionSuccess() << "no message box within " << timeoutMs << " ms";
}

void Program::AutoAnswer(const BoxRule& rule) {
    if (!answerer_) {
        answerer_.reset(new Answerer);
        answerer_->pid = pid_;
        answerer_->rules.push_back(rule);
        answerer_->thread = std::thread([a = answerer_.get()] { a->Run(); });
        return;
    }
    std::lock_guard<std::mutex> guard(answerer_->lock);
    answerer_->rules.push_back(rule);
}

std::vector<MessageBoxInfo> Program::AutoAnswered() const {
    if (!answerer_) return {};
    std::lock_guard<std::mutex> guard(answerer_->lock);
    return answerer_->answered;
}

// Stops the answerer thread and reports the rules it could not apply.
void Program::StopAnswerer() {
    if (!answerer_) return;
    answerer_->stop = true;
    if (answerer_->thread.joinable()) answerer_->thread.join();
    for (const std::string& problem : answerer_->problems) Fail("answering boxes: " + problem);
    answerer_.reset();
}

}  // namespace harness
