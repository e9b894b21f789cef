#include "settings.h"

#include "resource.h"
#include "window_kit.h"

SettingsState g_settings = {{}, false, {0x95, 0, 0, 0}};

namespace {

const char kSettingsFile[] = "CDQuorrel.ini";
const char kPolicyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char kAutorunValue[] = "NoDriveTypeAutoRun";

// Opens the settings file for writing. The file is not truncated; a missing file is
// created with its six leading bytes, so that a first Save Settings works too.
HANDLE OpenSettingsForWriting() {
    HANDLE file = CreateFileA(kSettingsFile, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) return file;
    file = CreateFileA(kSettingsFile, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    DWORD written = 0;
    if (!WriteFile(file, kSettingsFileTag, sizeof kSettingsFileTag, &written, nullptr) ||
        written != sizeof kSettingsFileTag) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

void WriteAutorun(HKEY key, const BYTE (&value)[4]) {
    RegSetValueExA(key, kAutorunValue, 0, REG_BINARY, value, sizeof value);
}

}  // namespace

bool ReadSettingsFile() {
    HANDLE file = CreateFileA(kSettingsFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    uint8_t bytes[kSettingsFileSize] = {};
    DWORD read = 0;
    if (!ReadFile(file, bytes, sizeof bytes, &read, nullptr)) read = 0;
    CloseHandle(file);
    DecodeSettings(bytes, read, &g_settings.recording);
    return true;
}

void OnSaveSettings(HWND hwnd) {
    HANDLE file = OpenSettingsForWriting();
    uint8_t fields[kSettingsFieldBytes];
    EncodeSettings(g_settings.recording, fields);
    DWORD written = 0;
    bool saved = file != INVALID_HANDLE_VALUE &&
                 SetFilePointer(file, kSettingsFirstField, nullptr, FILE_BEGIN) == kSettingsFirstField &&
                 WriteFile(file, fields, sizeof fields, &written, nullptr) && written == sizeof fields;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!saved) {
        MessageBoxA(hwnd, "The recording parameters could not be saved: CDQuorrel.ini cannot be written.",
                    "Save Settings", MB_OK);
        return;
    }
    MessageBoxA(hwnd, "New recording parameters saved.", "Save Settings", MB_OK);
    g_settings.changed = false;
}

void AskToSaveSettings(HWND hwnd) {
    if (!g_settings.changed) return;
    if (MessageBoxA(hwnd, "Do you want to save the new settings?", "Save", MB_YESNO) == IDYES)
        SendCommand(hwnd, IDM_SAVESETTINGS);
}

void DisableAutorun() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    DWORD size = sizeof g_settings.savedAutorun;
    if (RegQueryValueExA(key, kAutorunValue, nullptr, nullptr, g_settings.savedAutorun, &size) == ERROR_SUCCESS) {
        const BYTE allOff[4] = {0xFF, 0, 0, 0};
        WriteAutorun(key, allOff);
    } else {
        const BYTE fallback[4] = {0x95, 0, 0, 0};
        memcpy(g_settings.savedAutorun, fallback, sizeof fallback);
    }
    RegFlushKey(key);
    RegCloseKey(key);
}

void RestoreAutorun() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    WriteAutorun(key, g_settings.savedAutorun);
    RegFlushKey(key);
    RegCloseKey(key);
}
