#include "files.h"

namespace {

constexpr int kMoveTries = 10;
constexpr DWORD kMoveRetryMs = 100;

// Whether a failed replacement of `to` may succeed on its own: the file is in use,
// not read-only.
bool MayBeFreedSoon(const char* to, DWORD error) {
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
    DWORD attributes = GetFileAttributesA(to);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

const char* WhyNotInPlace(DWORD error) {
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) return "its folder was removed";
    return "a file of that name is read-only or in use";
}

bool MoveIntoPlace(const char* from, const char* to) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        if (attempt == kMoveTries || !MayBeFreedSoon(to, GetLastError())) return false;
        Sleep(kMoveRetryMs);
    }
}
