// The installer window: creation, painting of the state texts, the owner-drawn
// buttons, the fixed size and the two commands.
#include <cstring>

#include "setup.h"
#include "setup_ids.h"

SetupGlobals g_setup;

namespace {

const char kClassName[] = "CD Quorrel Installation";
const COLORREF kPanel = RGB(190, 190, 190);
const COLORREF kBlue = RGB(0, 0, 254);
const COLORREF kRed = RGB(192, 0, 0);
const COLORREF kGreen = RGB(32, 128, 32);
const int kBackgroundWidth = 320, kBackgroundHeight = 240;

// One painted line: position in tenths of c and h.
struct TextLine {
    int x, y;
    const char* text;
};

struct StateTexts {
    SetupState state;
    COLORREF colour;
    TextLine lines[3];   // unused lines have no text
};

const StateTexts kStateTexts[] = {
    {kStateWelcome, kBlue, {{100, 40, "<Continue> to accept this path or"}, {115, 50, "type in a new installation path:"}}},
    {kStateDriveMissing, kBlue, {{60, 45, "Drive does not exist - try another drive letter."}}},
    {kStateNoSpace, kRed, {{40, 45, "Not enough disk space - try another drive letter."}}},
    {kStatePathTooLong, kBlue, {{50, 45, "Installation path too long - type a shorter one."}}},
    {kStateInstalled, kGreen, {{140, 40, "Installation Successful!"}, {100, 50, "Please read the \"Readme.wri\" file."}}},
    {kStateGroupFailed, kBlue, {{110, 45, "Program Group creation failed."}}},
    {kStateItemFailed, kBlue, {{120, 45, "Program Addition failed."}}},
    {kStateCopyFailed, kRed, {{10, 25, "Installation Unsuccessful -- files not properly copied."},
                              {10, 35, "Program Group creation failed."},
                              {10, 45, "Program Addition failed."}}},
};

void Text(HDC dc, int x, int y, const char* text) { TextOutA(dc, x, y, text, static_cast<int>(strlen(text))); }

// A font of `points` at the screen's resolution.
HFONT MakeFont(HDC dc, const char* face, int points, BYTE charset) {
    int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    return CreateFontA(height, 0, 0, 0, 500, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

HWND CreateChild(HWND hwnd, const char* windowClass, const char* text, DWORD style, int id, int x, int y, int width,
                 int height) {
    return CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, X(x), Y(y), X(width), Y(height), hwnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_setup.instance, nullptr);
}

LRESULT OnCreate(HWND hwnd) {
    g_setup.window = hwnd;
    g_setup.state = kStateWelcome;
    HDC dc = GetDC(hwnd);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    g_setup.c = metrics.tmAveCharWidth;
    g_setup.h = metrics.tmHeight + metrics.tmExternalLeading;
    int width = 47 * g_setup.c, height = 16 * g_setup.h;
    MoveWindow(hwnd, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
               height, FALSE);
    g_setup.fieldFont = MakeFont(dc, "MS Sans Serif", 11, DEFAULT_CHARSET);
    g_setup.textFont = MakeFont(dc, "Arial", 10, ANSI_CHARSET);
    ReleaseDC(hwnd, dc);

    CreateChild(hwnd, "button", "&Continue", BS_OWNERDRAW, IDC_SETUP_CONTINUE, 90, 68, 100, 20);
    CreateChild(hwnd, "button", "&Exit", BS_OWNERDRAW, IDC_SETUP_EXIT, 270, 68, 100, 20);
    // Without ES_AUTOHSCROLL the field takes only as much text as it can show.
    g_setup.pathField = CreateChild(hwnd, "edit", "", WS_BORDER | WS_TABSTOP, IDC_SETUP_PATH, 20, 95, 415, 15);
    SendMessageA(g_setup.pathField, WM_SETFONT, reinterpret_cast<WPARAM>(g_setup.fieldFont), FALSE);

    g_setup.whitePen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    g_setup.blackPen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    SetRect(&g_setup.messageArea, X(10), Y(35), X(460), Y(65));
    return 0;
}

void DrawBackground(HDC dc) {
    HBITMAP picture = LoadBitmapA(g_setup.instance, "Background");
    if (!picture) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(dc, 0, 0, kBackgroundWidth, kBackgroundHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(picture);
}

void OnPaint(HWND hwnd) {
    char path[kPathSize] = "";
    GetWindowTextA(g_setup.pathField, path, sizeof path);
    if (path[0] == '\0') memcpy(path, kDefaultFolder, sizeof kDefaultFolder);

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    DrawBackground(dc);
    HGDIOBJ oldFont = SelectObject(dc, g_setup.textFont);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kPanel);
    SetTextColor(dc, kBlue);
    Text(dc, X(10), Y(5), "Welcome to the CD Quorrel Installation Program!");
    if (g_setup.state != kStateCopyFailed) {
        Text(dc, X(10), Y(15), "This will install all program files onto your hard drive");
        Text(dc, X(10), Y(25), "and create a program group with the program icons.");
    }
    for (const StateTexts& entry : kStateTexts) {
        if (entry.state != g_setup.state) continue;
        SetTextColor(dc, entry.colour);
        for (const TextLine& line : entry.lines)
            if (line.text) Text(dc, X(line.x), Y(line.y), line.text);
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);

    // An emptied field shows the default folder again.
    SetFocus(g_setup.pathField);
    SetWindowTextA(g_setup.pathField, path);
}

void OnDrawItem(const DRAWITEMSTRUCT* item) {
    HDC dc = item->hDC;
    FillRect(dc, &item->rcItem, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    SetBkColor(dc, kPanel);
    HGDIOBJ oldFont = SelectObject(dc, g_setup.fieldFont);
    if (item->CtlID == IDC_SETUP_CONTINUE)
        Text(dc, X(10), 5, "Continue");
    else
        Text(dc, X(30), 5, "Exit");
    HGDIOBJ oldPen = SelectObject(dc, g_setup.whitePen);
    MoveToEx(dc, 0, Y(17), nullptr);
    LineTo(dc, 0, 0);
    LineTo(dc, X(99), 0);
    SelectObject(dc, g_setup.blackPen);
    LineTo(dc, X(99), Y(17));
    LineTo(dc, 0, Y(17));
    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
}

// The window keeps the size it was given at creation.
void OnGetMinMaxInfo(MINMAXINFO* info) {
    POINT size = {47 * g_setup.c, 16 * g_setup.h};
    if (g_setup.c == 0) return;   // before WM_CREATE: nothing measured yet
    info->ptMaxSize = size;
    info->ptMaxPosition = POINT{0, 0};
    info->ptMinTrackSize = size;
    info->ptMaxTrackSize = size;
}

void OnContinue(HWND hwnd) {
    if (InstallationMayRun(g_setup.state)) RunInstallation(hwnd);
}

void OnCommand(HWND hwnd, int id) {
    switch (id) {
        case IDC_SETUP_CONTINUE: OnContinue(hwnd); break;
        case IDC_SETUP_EXIT: DestroyWindow(hwnd); break;
        default: break;
    }
}

void OnDestroy() {
    EndProgramGroupConversation();
    DeleteObject(g_setup.fieldFont);
    DeleteObject(g_setup.textFont);
    DeleteObject(g_setup.whitePen);
    DeleteObject(g_setup.blackPen);
    PostQuitMessage(0);
}

}  // namespace

bool RegisterSetupWindowClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SetupWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "SetupIcon");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

void ShowState(HWND hwnd, SetupState state) {
    g_setup.state = state;
    InvalidateRect(hwnd, state == kStateCopyFailed ? nullptr : &g_setup.messageArea, TRUE);
}

LRESULT CALLBACK SetupWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(hwnd);
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_PAINT: OnPaint(hwnd); return 0;
        case WM_GETMINMAXINFO: OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
        case WM_DRAWITEM: OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
        case WM_COMMAND: OnCommand(hwnd, LOWORD(wParam)); return 0;
        default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
