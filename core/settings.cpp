#include "settings.h"

#include "resource.h"
#include "window_kit.h"

SettingsState g_settings = {{}, false, false, {0x95, 0, 0, 0}, nullptr};

namespace {

const char kSettingsFile[] = "CDQuorrel.ini";
const char kPolicyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char kAutorunValue[] = "NoDriveTypeAutoRun";
const char kKeptAutorunValue[] = "AutoRunBeforeStart";   // in the program's key: the user's value
const char kAutorunGuard[] = "CD Quorrel AutoRun guard";

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

namespace {

// The user's value as a copy of the program kept it in the program's key, if any.
bool ReadKeptAutorun(BYTE (&value)[4]) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    BYTE kept[4];
    DWORD type = 0, size = sizeof kept;
    bool found = RegQueryValueExA(key, kKeptAutorunValue, nullptr, &type, kept, &size) == ERROR_SUCCESS &&
                 type == REG_BINARY && size == sizeof kept;
    RegCloseKey(key);
    if (found) memcpy(value, kept, sizeof kept);
    return found;
}

void KeepAutorun(const BYTE (&value)[4]) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kKeptAutorunValue, 0, REG_BINARY, value, sizeof value);
    RegCloseKey(key);
}

void ForgetKeptAutorun() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, kKeptAutorunValue);
    RegCloseKey(key);
}

}  // namespace

void DisableAutorun() {
    g_settings.autorunGuard = CreateMutexA(nullptr, FALSE, kAutorunGuard);
    bool alone = g_settings.autorunGuard && GetLastError() != ERROR_ALREADY_EXISTS;
    if (!alone) return;   // another copy runs: AutoRun is off, the user's value kept
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    const BYTE allOff[4] = {0xFF, 0, 0, 0};
    BYTE current[4] = {};
    DWORD size = sizeof current;
    bool present = RegQueryValueExA(key, kAutorunValue, nullptr, nullptr, current, &size) == ERROR_SUCCESS;
    // "All off" with a kept value beside it is what a copy left behind that ended
    // without its exit steps; any other value is the user's.
    bool leftBehind = present && memcmp(current, allOff, sizeof allOff) == 0 && ReadKeptAutorun(g_settings.savedAutorun);
    if (!leftBehind) {
        const BYTE fallback[4] = {0x95, 0, 0, 0};
        memcpy(g_settings.savedAutorun, present ? current : fallback, sizeof current);
    }
    if (present) WriteAutorun(key, allOff);
    KeepAutorun(g_settings.savedAutorun);
    RegFlushKey(key);
    RegCloseKey(key);
}

void RestoreAutorun() {
    if (g_settings.autorunGuard) CloseHandle(g_settings.autorunGuard);
    g_settings.autorunGuard = nullptr;
    // A copy still running keeps AutoRun off; it puts the user's value back at its end.
    HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, kAutorunGuard);
    if (other) {
        CloseHandle(other);
        return;
    }
    ReadKeptAutorun(g_settings.savedAutorun);
    ForgetKeptAutorun();
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    WriteAutorun(key, g_settings.savedAutorun);
    RegFlushKey(key);
    RegCloseKey(key);
}

void ReadFlacSetting() {
    DWORD value = 0, size = sizeof value, type = 0;
    HKEY key = nullptr;
    g_settings.convertToFlac = false;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    if (RegQueryValueExA(key, kFlacValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value)
        g_settings.convertToFlac = value != 0;
    RegCloseKey(key);
}

void WriteFlacSetting() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    DWORD value = g_settings.convertToFlac ? 1 : 0;
    RegSetValueExA(key, kFlacValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}
