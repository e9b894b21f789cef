// The conversation between the harness and e2eprobe.dll, which the harness loads into a
// program under test so that it can read the program's menus (a process cannot read
// another's menus under Wine) and the cursor it shows. The probe owns a message-only window of class
// kProbeClass on its own thread; the harness finds it by class and process id and sends
// it these messages (wParam = command id, lParam = the window whose menu bar to read).
#pragma once

#include <windows.h>

namespace probe {

constexpr char kProbeClass[] = "E2EProbeWindow";

// Answers GetMenuState(menu bar, command id, MF_BYCOMMAND), or one of the codes below.
constexpr UINT kMenuState = WM_APP + 1;
// Puts the item's label into the probe window's title and answers its length, or a code.
constexpr UINT kMenuText = WM_APP + 2;

// Answers which cursor the user sees over the process's windows (GetCursorInfo).
constexpr UINT kCursorShape = WM_APP + 3;
constexpr LRESULT kCursorBusy = 1;    // the system hourglass
constexpr LRESULT kCursorArrow = 2;   // the system arrow
constexpr LRESULT kCursorOther = 3;

constexpr LRESULT kNoItem = -1;   // no item with that command id
constexpr LRESULT kNoMenu = -2;   // the window has no menu bar (or is not a window)

}  // namespace probe
