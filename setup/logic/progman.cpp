#include "progman.h"

#include <cstring>

const char* const kItemTails[kItemCount] = {
    "CDQuorrel.exe, CD Quorrel Program)]",
    "CDQuorrel.hlp, CD Quorrel Help)]",
    "Readme.wri, ReadMe File)]",
};

namespace {

// dest = first + second, or false when they and the terminator do not fit.
bool Join(char* dest, size_t size, const char* first, const char* second) {
    size_t a = strlen(first), b = strlen(second);
    if (a + b >= size) return false;
    memcpy(dest, first, a);
    memcpy(dest + a, second, b + 1);
    return true;
}

}  // namespace

bool BuildItemPrefix(const char* destinationPrefix, char (&prefix)[kItemPrefixSize]) {
    return Join(prefix, sizeof prefix, kAddItemStart, destinationPrefix);
}

bool BuildItemBlock(const char* prefix, size_t item, char (&block)[kItemBlockSize]) {
    memset(block, 0, sizeof block);
    return item < kItemCount && Join(block, sizeof block, prefix, kItemTails[item]);
}

SetupState CreateProgramGroup(const InstallPaths& paths, ProgramManager* shell) {
    char prefix[kItemPrefixSize];
    if (!BuildItemPrefix(paths.prefix, prefix) || !shell->Connect()) return kStateGroupFailed;
    // The group commands go without their terminator.
    if (!shell->Execute(kCreateGroupCommand, sizeof kCreateGroupCommand - 1)) return kStateGroupFailed;
    shell->Execute(kShowGroupCommand, sizeof kShowGroupCommand - 1);   // the group's window only
    for (size_t item = 0; item < kItemCount; ++item) {
        char block[kItemBlockSize];
        if (!BuildItemBlock(prefix, item, block) || !shell->Execute(block, sizeof block)) return kStateItemFailed;
    }
    return kStateInstalled;
}
