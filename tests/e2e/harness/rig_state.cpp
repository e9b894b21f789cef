#include "rig_state.h"

#include <windows.h>

#include "harness.h"

namespace rigstate {
namespace {

const char kKey[] = "Software\\VirtualAudioRig";

HKEY OpenKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return nullptr;
    return key;
}

void SetDword(const char* name, DWORD value) {
    HKEY key = OpenKey();
    if (!key) return;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

DWORD GetDword(const char* name) {
    HKEY key = OpenKey();
    if (!key) return 0;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        value = 0;
    RegCloseKey(key);
    return value;
}

}  // namespace

void Reset() {
    HKEY key = OpenKey();
    if (!key) return;
    for (const char* name : {"Disc", "DoorOpen", "LineIn", "BadSectors", "DriveBusy", "FlakySectors", "Drive",
                             "DriveInquiry", "DriveReadOffset", "DriveCacheFrames", "DriveC2", "DriveDeniesAccess",
                             "NotReadyCommands", "UnitAttention", "MediumErrors", "SectorSense", "CountedSectors",
                             "MediumReads", "CacheHits"})
        RegDeleteValueA(key, name);
    RegCloseKey(key);
}

void SetDisc(const std::string& cuePath) { SetString("Disc", cuePath); }

std::string Disc() {
    HKEY key = OpenKey();
    if (!key) return "";
    char value[MAX_PATH + 1] = {};
    DWORD size = sizeof value - 1, type = 0;
    if (RegQueryValueExA(key, "Disc", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        value[0] = '\0';
    RegCloseKey(key);
    return value;
}

void SetDoorOpen(bool open) { SetDword("DoorOpen", open ? 1 : 0); }
bool DoorOpen() { return GetDword("DoorOpen") != 0; }
void SetDriveBusy(bool busy) { SetDword("DriveBusy", busy ? 1 : 0); }
void SetLineIn(const std::string& wavPath) { SetString("LineIn", wavPath); }
void SetBadSectors(const std::string& ranges) { SetString("BadSectors", ranges); }
void SetFlakySectors(const std::string& ranges) { SetString("FlakySectors", ranges); }

void SetString(const char* name, const std::string& value) { harness::SetUserString(kKey, name, value); }
void SetNumber(const char* name, long value) { SetDword(name, static_cast<DWORD>(value)); }

std::string String(const char* name) {
    HKEY key = OpenKey();
    if (!key) return "";
    char value[1024] = {};
    DWORD size = sizeof value - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        value[0] = '\0';
    RegCloseKey(key);
    return value;
}

void OfferEmulatedDrive(bool emulated) { SetString("Drive", emulated ? "emulated" : ""); }

}  // namespace rigstate
