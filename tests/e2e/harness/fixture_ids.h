// Ids, texts and colours of the harness's fixture program, shared with its tests.
#pragma once

#include <windows.h>

namespace fixture {

constexpr char kClass[] = "HarnessFixture";
constexpr char kTitle[] = "Harness Fixture";

// Menu commands.
constexpr int IDM_CHECKED = 201;   // "&Checked item", starts checked
constexpr int IDM_GRAYED = 202;    // "&Grayed item", starts grayed
constexpr int IDM_TOGGLE = 203;    // flips the two marks above
constexpr int IDM_ASK = 204;       // Yes/No box "Fixture Box"; the title then shows the answer
constexpr int IDM_EXIT = 205;      // ends with kExitCode
constexpr int IDM_ABOUT = 206;     // OK box "About Fixture"

// Controls.
constexpr int IDC_GO = 301;        // counts its clicks in the title: "Go 1", "Go 2", ...
constexpr int IDC_OFF = 302;       // disabled; a click would set the title "Off clicked"
constexpr int IDC_FIELD = 310;     // edit field

constexpr int kExitCode = 7;

// Painted blocks (client coordinates).
constexpr RECT kRedBlock = {10, 70, 60, 100};
constexpr RECT kBlueBlock = {70, 70, 120, 100};
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// With the argument /startbox the fixture shows this box while it creates its window.
constexpr char kStartBoxTitle[] = "Start Notice";
constexpr char kStartBoxText[] = "The helper library is missing.";

// With the environment variable HARNESS_FIXTURE_MODE=demo the fixture imitates the main
// program as the demo driver expects it (class, Play/Exit ids, the boxes it answers).
constexpr char kModeVariable[] = "HARNESS_FIXTURE_MODE";

}  // namespace fixture
