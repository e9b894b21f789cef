// The harness's fixture: a small GUI program with what the harness must handle in the
// real ones: a menu with check marks and grayed items, buttons (one disabled), an edit
// field, painted blocks of known colours, commands that show message boxes, mouse clicks
// reported in the title, and a chosen exit code.
#include "fixture_ids.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Imitation of the main program for the demo driver's test.
constexpr char kDemoClass[] = "CDQuorl";
constexpr int IDC_DEMO_PLAY = 102;
constexpr int IDC_DEMO_EXIT = 107;
constexpr UINT_PTR kDemoTimer = 1;

struct FixtureState {
    HINSTANCE instance;
    HWND window;
    bool demo;
    bool startBox;
    int goClicks;
    int clicks;
    int doubles;
};
FixtureState g;

void SetTitle(HWND hwnd, const char* format, int a, int b = 0, int c = 0) {
    char title[128];
    snprintf(title, sizeof title, format, a, b, c);
    SetWindowTextA(hwnd, title);
}

HMENU BuildMenu() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU help = CreatePopupMenu();
    AppendMenuA(file, MF_STRING | MF_CHECKED, fixture::IDM_CHECKED, "&Checked item");
    AppendMenuA(file, MF_STRING | MF_GRAYED, fixture::IDM_GRAYED, "&Grayed item\tCtrl+G");
    AppendMenuA(file, MF_STRING, fixture::IDM_TOGGLE, "&Toggle");
    AppendMenuA(file, MF_STRING, fixture::IDM_ASK, "Show &box");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, fixture::IDM_EXIT, "E&xit");
    AppendMenuA(help, MF_STRING, fixture::IDM_ABOUT, "&About");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    return bar;
}

HWND AddButton(HWND parent, const char* text, int id, int x, int y) {
    return CreateWindowExA(0, "button", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, 80, 24, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g.instance, nullptr);
}

int OnCreate(HWND hwnd) {
    g.window = hwnd;
    if (g.startBox) MessageBoxA(hwnd, fixture::kStartBoxText, fixture::kStartBoxTitle, MB_OK);
    if (g.demo) {
        MessageBoxA(hwnd, "I can't find the library needed to make MP3 files.", "MP3 Error", MB_OK);
        EnableWindow(AddButton(hwnd, "Play", IDC_DEMO_PLAY, 10, 10), FALSE);
        AddButton(hwnd, "E&xit", IDC_DEMO_EXIT, 100, 10);
        SetTimer(hwnd, kDemoTimer, 1000, nullptr);  // "the disc is read" a second later
        return 0;
    }
    AddButton(hwnd, "&Go", fixture::IDC_GO, 10, 10);
    EnableWindow(AddButton(hwnd, "Off", fixture::IDC_OFF, 100, 10), FALSE);
    CreateWindowExA(WS_EX_CLIENTEDGE, "edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 10, 40, 200,
                    22, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(fixture::IDC_FIELD)), g.instance, nullptr);
    return 0;
}

void FillBlock(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void OnPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!g.demo) {
        FillBlock(dc, fixture::kRedBlock, fixture::kRed);
        FillBlock(dc, fixture::kBlueBlock, fixture::kBlue);
    }
    EndPaint(hwnd, &ps);
}

void OnToggle(HWND hwnd) {
    HMENU menu = GetMenu(hwnd);
    bool checked = GetMenuState(menu, fixture::IDM_CHECKED, MF_BYCOMMAND) & MF_CHECKED;
    bool grayed = GetMenuState(menu, fixture::IDM_GRAYED, MF_BYCOMMAND) & MF_GRAYED;
    CheckMenuItem(menu, fixture::IDM_CHECKED, MF_BYCOMMAND | (checked ? MF_UNCHECKED : MF_CHECKED));
    EnableMenuItem(menu, fixture::IDM_GRAYED, MF_BYCOMMAND | (grayed ? MF_ENABLED : MF_GRAYED));
}

void OnAsk(HWND hwnd) {
    int answer = MessageBoxA(hwnd, "Do you like the fixture?", "Fixture Box", MB_YESNO | MB_ICONQUESTION);
    SetWindowTextA(hwnd, answer == IDYES ? "Answer Yes" : answer == IDNO ? "Answer No" : "Answer other");
}

void OnCommand(HWND hwnd, int id) {
    switch (id) {
    case fixture::IDM_TOGGLE: OnToggle(hwnd); break;
    case fixture::IDM_ASK: OnAsk(hwnd); break;
    case fixture::IDM_ABOUT: MessageBoxA(hwnd, "Fixture version 1", "About Fixture", MB_OK); break;
    case fixture::IDM_EXIT: DestroyWindow(hwnd); break;
    case fixture::IDC_GO: SetTitle(hwnd, "Go %d", ++g.goClicks); break;
    case fixture::IDC_OFF: SetWindowTextA(hwnd, "Off clicked"); break;
    case IDC_DEMO_EXIT: if (g.demo) DestroyWindow(hwnd); break;
    default: break;
    }
}

void OnDestroy() {
    if (g.demo) {
        // Like the main program: a question about unsaved settings on the way out.
        if (MessageBoxA(nullptr, "Do you want to save the new settings?", "Save", MB_YESNO) == IDYES) {
            FILE* f = fopen("saved.txt", "wb");
            if (f) fclose(f);
        }
        PostQuitMessage(0);
        return;
    }
    PostQuitMessage(fixture::kExitCode);
}

void OnDemoTimer(HWND hwnd) {
    KillTimer(hwnd, kDemoTimer);
    EnableWindow(GetDlgItem(hwnd, IDC_DEMO_PLAY), TRUE);
}

LRESULT CALLBACK FixtureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    switch (msg) {
    case WM_CREATE: return OnCreate(hwnd);
    case WM_PAINT: OnPaint(hwnd); return 0;
    case WM_COMMAND: OnCommand(hwnd, LOWORD(wParam)); return 0;
    case WM_LBUTTONDOWN: SetTitle(hwnd, "Clicks %d doubles %d at %d", ++g.clicks, g.doubles, x * 1000 + y); return 0;
    case WM_LBUTTONDBLCLK: SetTitle(hwnd, "Clicks %d doubles %d at %d", g.clicks, ++g.doubles, x * 1000 + y); return 0;
    case WM_TIMER: OnDemoTimer(hwnd); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    g.instance = instance;
    const char* mode = getenv(fixture::kModeVariable);
    g.demo = mode && strcmp(mode, "demo") == 0;
    g.startBox = strstr(commandLine, "/startbox") != nullptr;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = FixtureProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = g.demo ? kDemoClass : fixture::kClass;
    if (!RegisterClassA(&wc)) return 1;
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, g.demo ? "CD Quorrel" : fixture::kTitle,
                                WS_OVERLAPPEDWINDOW, 100, 100, 320, 220, nullptr, g.demo ? nullptr : BuildMenu(),
                                instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
