// A drive letter of the prefix with a small disk behind it: a tmpfs of a given size,
// mounted on the Linux side and linked as the letter in the prefix's dosdevices folder.
#include "harness.h"

namespace harness {

SmallDrive::SmallDrive(unsigned kilobytes, const std::string& workDir) : workDir_(workDir) {
    // The prefix's drive folder holds the link of every letter (C: is one of them).
    std::string c = UnixPath("C:\\");
    while (!c.empty() && c.back() == '/') c.pop_back();
    size_t slash = c.rfind('/');
    if (c.empty() || slash == std::string::npos) return;
    const std::string dosdevices = c.substr(0, slash);
    for (char l = 'k'; l <= 'y' && !letter_; ++l) {
        char root[] = {l, ':', '\\', '\0'};
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) letter_ = l;
    }
    if (!letter_) return;
    link_ = dosdevices + "/" + letter_ + ":";
    mount_ = UnixPath(workDir) + "/small-drive-" + letter_;
    int code = -1;
    mounted_ = RunUnixShell("rm -f '" + link_ + "' && mkdir -p '" + mount_ + "' && mount -t tmpfs -o size=" +
                                std::to_string(kilobytes) + "k tmpfs '" + mount_ + "' && ln -s '" + mount_ + "' '" +
                                link_ + "'",
                            workDir, &code) &&
               code == 0;
    if (!mounted_) letter_ = 0;
}

SmallDrive::~SmallDrive() {
    if (mount_.empty()) return;
    int code = -1;
    RunUnixShell("rm -f '" + link_ + "'; umount -l '" + mount_ + "'; rmdir '" + mount_ + "'", workDir_, &code);
}

std::string SmallDrive::Root() const { return letter_ ? std::string(1, letter_) + ":\\" : std::string(); }

uint64_t SmallDrive::FreeBytes() const {
    ULARGE_INTEGER available = {}, total, totalFree;
    return letter_ && GetDiskFreeSpaceExA(Root().c_str(), &available, &total, &totalFree) ? available.QuadPart : 0;
}

bool SmallDrive::Fill(uint64_t leave) const {
    uint64_t free = FreeBytes();
    if (!letter_ || free < leave) return false;
    return WriteFile(Root() + "filler.bin", std::string(static_cast<size_t>(free - leave), 'f'));
}

}  // namespace harness
