// The recording settings of the run, their settings file "CDQuorrel.ini" in the
// current folder, and the AutoRun guard (AutoRun off while the program runs).
#pragma once

#include <windows.h>

#include "settings_codec.h"

// The program's own values beyond the settings file (never in it): HKEY_CURRENT_USER.
constexpr char kProgramKey[] = "Software\\CD Quorrel";

struct SettingsState {
    RecordingSettings recording;
    bool changed;           // a parameter dialog was confirmed since the last save
    bool convertToFlac;     // "Convert to FLAC": kept in the program's key (kFlacValue), never in the file
    BYTE savedAutorun[4];   // "NoDriveTypeAutoRun" before the program changed it
    HANDLE autorunGuard;    // held while this copy runs: copies started meanwhile see it
};

extern SettingsState g_settings;

// REG_DWORD in the program's key: 1 when every rip and recording is also made a FLAC file.
constexpr char kFlacValue[] = "ConvertToFlac";
// Reads the FLAC switch into the settings (off when the value is missing), and writes it.
void ReadFlacSetting();
void WriteFlacSetting();

// Reads "CDQuorrel.ini" into the recording settings; false when it cannot be opened.
bool ReadSettingsFile();
// Save Settings (command 115).
void OnSaveSettings(HWND hwnd);
// At exit: asks whether to save changed settings; Yes sends Save Settings.
void AskToSaveSettings(HWND hwnd);

// AutoRun is off while any copy of the program runs. The first copy to start keeps the
// user's value, also in the program's key, where a copy still running at its exit
// finds it; the last copy to end puts it back. A value kept there by a copy that ended
// without its exit steps is the user's, not the program's "all off" left behind.
void DisableAutorun();
void RestoreAutorun();
