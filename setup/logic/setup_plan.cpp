#include "setup_plan.h"

#include <algorithm>
#include <cstring>

#include "progman.h"

const CopyRow kCopyTable[kCopyCount] = {
    {"cdquorl.exe", "CDQuorrel.exe"},
    {"cdquorl.hlp", "CDQuorrel.hlp"},
    {"readme.wri", "Readme.wri"},
    {"lameenc.dll", "LameEnc.dll"},
    {"akrip32.dll", "AKrip32.dll"},
};

namespace {

// Appends `text` to the string in dest; false (dest cut back to what it was) if the
// result and its terminator do not fit in `size`.
bool Append(char* dest, size_t size, const char* text) {
    size_t used = strnlen(dest, size);
    size_t add = strlen(text);
    if (used + add >= size) return false;
    memcpy(dest + used, text, add + 1);
    return true;
}

size_t Longest(const char* const* texts, size_t count) {
    size_t longest = 0;
    for (size_t i = 0; i < count; ++i) longest = std::max(longest, strlen(texts[i]));
    return longest;
}

}  // namespace

bool InstallationMayRun(SetupState state) {
    return state == kStateWelcome || state == kStateDriveMissing || state == kStateNoSpace ||
           state == kStatePathTooLong;
}

size_t MaxFolderLength() {
    const char* installed[kCopyCount];
    for (size_t i = 0; i < kCopyCount; ++i) installed[i] = kCopyTable[i].installedName;
    const size_t start = sizeof kAddItemStart - 1;
    // folder, backslash, name and terminator in a path buffer
    size_t forPaths = kPathSize - 2 - Longest(installed, kCopyCount);
    // start, folder, backslash and terminator in the prefix buffer
    size_t forPrefix = kItemPrefixSize - start - 2;
    // start, folder, backslash, the longest tail and terminator in one block
    size_t forItems = kItemBlockSize - start - 2 - Longest(kItemTails, kItemCount);
    return std::min({forPaths, forPrefix, forItems});
}

bool MakeInstallPaths(const char* fieldText, InstallPaths* paths) {
    const char* folder = fieldText[0] != '\0' ? fieldText : kDefaultFolder;
    size_t length = strlen(folder);
    if (length > MaxFolderLength()) return false;
    memcpy(paths->folder, folder, length + 1);
    memcpy(paths->prefix, folder, length + 1);
    if (folder[length - 1] != '\\') Append(paths->prefix, sizeof paths->prefix, "\\");
    size_t root = std::min<size_t>(length, sizeof paths->driveRoot - 1);
    memcpy(paths->driveRoot, folder, root);
    paths->driveRoot[root] = '\0';
    return true;
}

bool DestinationPath(const InstallPaths& paths, const CopyRow& row, char (&path)[kPathSize]) {
    path[0] = '\0';
    return Append(path, sizeof path, paths.prefix) && Append(path, sizeof path, row.installedName);
}

SpaceVerdict CheckFreeSpace(const char* driveRoot, const FreeSpaceQuery& freeBytes) {
    uint64_t bytes = 0;
    if (!freeBytes(driveRoot, &bytes)) return kSpaceDriveMissing;
    return bytes < kRequiredFreeBytes ? kSpaceTooLittle : kSpaceEnough;
}

uint64_t ClusterBytes(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters) {
    return static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
}
