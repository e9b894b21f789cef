// Continue: the drive and space checks, the installation folder and the moving of the
// five distribution files into it.
#include "setup.h"

namespace {

using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// The bytes free to this user on the drive; false when the drive cannot be queried.
// Systems without GetDiskFreeSpaceExA tell the drive's geometry instead.
bool QueryFreeBytes(const char* driveRoot, uint64_t* freeBytes) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto freeSpaceEx = kernel ? reinterpret_cast<GetDiskFreeSpaceExFn>(
                                    reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")))
                              : nullptr;
    if (freeSpaceEx) {
        ULARGE_INTEGER available, total, totalFree;
        if (!freeSpaceEx(driveRoot, &available, &total, &totalFree)) return false;
        *freeBytes = available.QuadPart;
        return true;
    }
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(driveRoot, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return false;
    *freeBytes = ClusterBytes(sectorsPerCluster, bytesPerSector, freeClusters);
    return true;
}

// A refusal the user can answer by typing another folder.
void Refuse(HWND hwnd, SetupState state) {
    ShowState(hwnd, state);
    MessageBeep(MB_ICONEXCLAMATION);
    SetFocus(g_setup.pathField);
    MessageBeep(MB_OK);
}

// Copies every file of the copy table and deletes each distribution file whose copy
// succeeded; one message box per file. False when any file could not be copied.
bool MoveFiles(HWND hwnd) {
    bool allCopied = true;
    for (const CopyRow& row : kCopyTable) {
        char destination[kPathSize];
        // Every destination fits: the folder's length was checked against the longest.
        if (DestinationPath(g_setup.paths, row, destination) &&
            CopyFileA(row.distributionName, destination, FALSE)) {
            DeleteFileA(row.distributionName);
            MessageBoxA(hwnd, row.distributionName, destination, MB_OK);
        } else {
            MessageBoxA(hwnd, "Unable to copy this CD Quorrel file", row.distributionName, MB_OK);
            allCopied = false;
        }
    }
    return allCopied;
}

}  // namespace

void RunInstallation(HWND hwnd) {
    char field[kPathSize] = "";
    GetWindowTextA(g_setup.pathField, field, sizeof field);
    if (!MakeInstallPaths(field, &g_setup.paths)) {
        Refuse(hwnd, kStatePathTooLong);
        return;
    }
    SpaceVerdict space = CheckFreeSpace(g_setup.paths.driveRoot, QueryFreeBytes);
    if (space == kSpaceDriveMissing) {
        Refuse(hwnd, kStateDriveMissing);
        return;
    }
    CreateDirectoryA(g_setup.paths.folder, nullptr);   // it may exist already: that is fine
    SetFocus(g_setup.pathField);
    if (space == kSpaceTooLittle) {
        RemoveDirectoryA(g_setup.paths.folder);   // only if it is empty
        Refuse(hwnd, kStateNoSpace);
        return;
    }
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    bool allCopied = MoveFiles(hwnd);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    if (allCopied)
        RunProgramGroupStep(hwnd);
    else
        ShowState(hwnd, kStateCopyFailed);
    SetFocus(g_setup.pathField);
}
