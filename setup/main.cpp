// setup.exe: installs CD Quorrel from the distribution folder it is started in. It moves
// the five program files into an installation folder the user may change and asks the
// shell for a "CD Quorrel" program group with three items.
//
// Map of the program:
//   setup/main.cpp      entry and message loop
//   setup/setupwnd.cpp  the window: creation, painting of the state, buttons, commands;
//                       state in g_setup
//   setup/install.cpp   Continue: drive and space checks, folder, copying the files
//   setup/group.cpp     the program group over DDE ("PROGMAN")
//   setup/logic/        plain decisions: states, copy table, paths and their limits,
//                       the free-space rule, the Program Manager commands
#include "setup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show) {
    g_setup.instance = instance;
    if (!previous && !RegisterSetupWindowClass(instance)) return 0;
    HWND hwnd = CreateWindowExA(0, "CD Quorrel Installation", "CD Quorrel Installation",
                                WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 0;
    HACCEL accelerators = LoadAcceleratorsA(instance, "SETUP_ACCEL");
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(hwnd, accelerators, &msg)) continue;
        if (IsDialogMessageA(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
