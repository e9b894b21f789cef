// The user's registry keys that tests and the programs they drive change (the rig's,
// the program's own, the AutoRun policy), put back as they were when a test program
// ends, whether its tests passed or not.
#include "harness.h"

#include <shlwapi.h>

namespace harness {
namespace {

const char* const kKeptKeys[] = {
    "Software\\VirtualAudioRig",
    "Software\\CD Quorrel",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
};

void Read(HKEY key, KeptKeys::Key* into) {
    char name[16384];
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        into->values.push_back({name, type, std::string(reinterpret_cast<char*>(data.data()), size)});
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        KeptKeys::Key sub;
        sub.path = name;
        HKEY handle = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &handle) != ERROR_SUCCESS) continue;
        Read(handle, &sub);
        RegCloseKey(handle);
        into->subkeys.push_back(std::move(sub));
    }
}

void Write(HKEY parent, const KeptKeys::Key& key) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(parent, key.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const KeptKeys::Value& value : key.values)
        RegSetValueExA(handle, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                       static_cast<DWORD>(value.data.size()));
    for (const KeptKeys::Key& sub : key.subkeys) Write(handle, sub);
    RegCloseKey(handle);
}

}  // namespace

KeptKeys::KeptKeys() {
    for (const char* path : kKeptKeys) {
        Key key;
        key.path = path;
        HKEY handle = nullptr;
        key.existed = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &handle) == ERROR_SUCCESS;
        if (key.existed) {
            Read(handle, &key);
            RegCloseKey(handle);
        }
        keys_.push_back(std::move(key));
    }
}

KeptKeys::~KeptKeys() {
    for (const Key& key : keys_) {
        SHDeleteKeyA(HKEY_CURRENT_USER, key.path.c_str());
        if (key.existed) Write(HKEY_CURRENT_USER, key);
    }
}

}  // namespace harness
