// The program group: a DDE client conversation with the shell's "PROGMAN" service.
#include "progman.h"
#include "setup.h"

namespace {

const DWORD kClientOnly = CBF_FAIL_EXECUTES | CBF_FAIL_POKES | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
const DWORD kTimeoutMs = 1000;

// A pure client: nothing the DDE library reports is handled.
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// The shell's service over the DDE management library. The instance and the
// conversation stay in g_setup until the window is destroyed; the two string handles
// are released with this object, at the end of the step.
class ShellProgramManager : public ProgramManager {
public:
    ~ShellProgramManager() override {
        if (service_) DdeFreeStringHandle(g_setup.ddeInstance, service_);
        if (topic_) DdeFreeStringHandle(g_setup.ddeInstance, topic_);
    }

    bool Connect() override {
        if (!g_setup.ddeInstance && DdeInitializeA(&g_setup.ddeInstance, DdeCallback, kClientOnly, 0) != DMLERR_NO_ERROR) {
            g_setup.ddeInstance = 0;
            return false;
        }
        service_ = DdeCreateStringHandleA(g_setup.ddeInstance, "PROGMAN", CP_WINANSI);
        topic_ = DdeCreateStringHandleA(g_setup.ddeInstance, "PROGMAN", CP_WINANSI);
        if (!g_setup.conversation) g_setup.conversation = DdeConnect(g_setup.ddeInstance, service_, topic_, nullptr);
        return g_setup.conversation != nullptr;
    }

    bool Execute(const char* data, size_t length) override {
        DWORD result = 0;   // the server's status word: not read
        return DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(data)), static_cast<DWORD>(length),
                                    g_setup.conversation, nullptr, CF_TEXT, XTYP_EXECUTE, kTimeoutMs,
                                    &result) != nullptr;
    }

private:
    HSZ service_ = nullptr;
    HSZ topic_ = nullptr;
};

}  // namespace

void RunProgramGroupStep(HWND hwnd) {
    SetupState outcome;
    {
        ShellProgramManager shell;
        outcome = CreateProgramGroup(g_setup.paths, &shell);
    }
    ShowState(hwnd, outcome);
    MessageBeep(outcome == kStateInstalled ? MB_OK : MB_ICONEXCLAMATION);
}

void EndProgramGroupConversation() {
    if (g_setup.conversation) DdeDisconnect(g_setup.conversation);
    if (g_setup.ddeInstance) DdeUninitialize(g_setup.ddeInstance);
    g_setup.conversation = nullptr;
    g_setup.ddeInstance = 0;
}
