// The recording settings of the run, their settings file "CDQuorrel.ini" in the
// current folder, and the AutoRun guard (AutoRun off while the program runs).
#pragma once

#include <windows.h>

#include "settings_codec.h"

struct SettingsState {
    RecordingSettings recording;
    bool changed;           // a parameter dialog was confirmed since the last save
    BYTE savedAutorun[4];   // "NoDriveTypeAutoRun" before the program changed it
};

extern SettingsState g_settings;

// Reads "CDQuorrel.ini" into the recording settings; false when it cannot be opened.
bool ReadSettingsFile();
// Save Settings (command 115).
void OnSaveSettings(HWND hwnd);
// At exit: asks whether to save changed settings; Yes sends Save Settings.
void AskToSaveSettings(HWND hwnd);

void DisableAutorun();
void RestoreAutorun();
