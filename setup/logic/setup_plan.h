// The installer's plain decisions: its states, the copy table, the installation folder
// and the paths made from it, and the free-space rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// What the installer window shows in its message area.
enum SetupState {
    kStateWelcome,       // waiting for the user to accept or change the folder
    kStateDriveMissing,  // the drive of the typed folder could not be queried
    kStateNoSpace,       // the drive has less free space than required
    kStatePathTooLong,   // the typed folder is too long for the paths made from it
    kStateCopyFailed,    // at least one file could not be copied (final)
    kStateInstalled,     // files copied, group and all items created (final)
    kStateGroupFailed,   // the program group could not be created (final)
    kStateItemFailed,    // one of the program items could not be added (final)
};

// True in the states from which Continue runs the installation (again).
bool InstallationMayRun(SetupState state);

// One file of the distribution: its name in the distribution folder and the name it is
// installed under. The table is in copy order.
struct CopyRow {
    const char* distributionName;
    const char* installedName;
};
constexpr size_t kCopyCount = 5;
extern const CopyRow kCopyTable[kCopyCount];

constexpr char kDefaultFolder[] = "C:\\CDQuorrel";
constexpr size_t kPathSize = 260;   // 259 characters and the terminator

// The installation folder and what is made from it.
struct InstallPaths {
    char folder[kPathSize];   // as typed (the default folder for an empty field)
    char prefix[kPathSize];   // the folder and one backslash (none added after a root "C:\")
    char driveRoot[4];        // the folder's first three characters, "C:\"
};

// The longest installation folder the installer takes: every destination path and every
// program item command made from it must fit.
size_t MaxFolderLength();

// Fills `paths` from the path field's text. False (paths untouched) when the folder is
// longer than MaxFolderLength().
bool MakeInstallPaths(const char* fieldText, InstallPaths* paths);

// The destination prefix followed by the row's installed name; false if it does not fit.
bool DestinationPath(const InstallPaths& paths, const CopyRow& row, char (&path)[kPathSize]);

// At least this many bytes must be free on the drive (300,000, not 300 KiB).
constexpr uint64_t kRequiredFreeBytes = 300000;

enum SpaceVerdict { kSpaceEnough, kSpaceDriveMissing, kSpaceTooLittle };

// Asks `freeBytes` for the space free to the caller on the drive root; false when the
// drive cannot be queried.
using FreeSpaceQuery = std::function<bool(const char* driveRoot, uint64_t* freeBytes)>;
SpaceVerdict CheckFreeSpace(const char* driveRoot, const FreeSpaceQuery& freeBytes);

// Free bytes from a drive's geometry, counted in 64 bits so that large drives do not wrap.
uint64_t ClusterBytes(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters);
