// The auxiliary commands of the Options and Help menus: Volume Control (113), Record in
// Background (114), Help Contents (123) and About (124), and the volume Record in
// Background owes auxiliary device 0 at exit.
#pragma once

#include <windows.h>

void OnVolumeControl(HWND hwnd);
void OnRecordInBackground(HWND hwnd);
void OnHelpContents(HWND hwnd);
void OnAbout(HWND hwnd);
// At exit: auxiliary device 0 gets back the volume Record in Background took from it,
// and the help viewer closes the help it opened for this window.
void EndAuxCommands(HWND hwnd);
