#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "progman.h"
#include "setup_plan.h"

namespace {

InstallPaths Paths(const std::string& field) {
    InstallPaths paths = {};
    EXPECT_TRUE(MakeInstallPaths(field.c_str(), &paths)) << field;
    return paths;
}

std::string Destination(const InstallPaths& paths, size_t row) {
    char path[kPathSize];
    return DestinationPath(paths, kCopyTable[row], path) ? path : "<too long>";
}

TEST(SetupPaths, DefaultFolderRootAndDestinations) {
    InstallPaths paths = Paths("");
    EXPECT_STREQ(paths.folder, "C:\\CDQuorrel");
    EXPECT_STREQ(paths.driveRoot, "C:\\");
    EXPECT_EQ(Destination(paths, 0), "C:\\CDQuorrel\\CDQuorrel.exe");
    EXPECT_EQ(Destination(paths, 4), "C:\\CDQuorrel\\AKrip32.dll");
    // A folder given with its backslash, or a drive's root, gets no second one.
    EXPECT_EQ(Destination(Paths("D:\\Apps\\"), 2), "D:\\Apps\\Readme.wri");
    EXPECT_EQ(Destination(Paths("E:\\"), 3), "E:\\LameEnc.dll");
    EXPECT_STREQ(Paths("E:").driveRoot, "E:");
}

TEST(SetupPaths, LongestFolderFitsTheLongestItemCommandExactly) {
    // "[AddItem(", the folder, "\", "CDQuorrel.exe, CD Quorrel Program)]" and the
    // terminator fill the 100-byte block.
    ASSERT_EQ(MaxFolderLength(), 54u);
    std::string folder = "C:\\" + std::string(51, 'f');
    InstallPaths paths = Paths(folder);
    char prefix[kItemPrefixSize], block[kItemBlockSize];
    ASSERT_TRUE(BuildItemPrefix(paths.prefix, prefix));
    ASSERT_TRUE(BuildItemBlock(prefix, 0, block));
    EXPECT_EQ(std::string(block), "[AddItem(" + folder + "\\CDQuorrel.exe, CD Quorrel Program)]");
    EXPECT_EQ(strlen(block), kItemBlockSize - 1);

    InstallPaths untouched = {};
    EXPECT_FALSE(MakeInstallPaths((folder + "g").c_str(), &untouched));
    EXPECT_FALSE(MakeInstallPaths(std::string(400, 'x').c_str(), &untouched));
    EXPECT_STREQ(untouched.folder, "");
    EXPECT_FALSE(BuildItemBlock(prefix, kItemCount, block));
}

TEST(SetupSpace, ThresholdIsThreeHundredThousandBytes) {
    std::string askedRoot;
    uint64_t free = 0;
    auto drive = [&](const char* root, uint64_t* bytes) {
        askedRoot = root;
        *bytes = free;
        return true;
    };
    free = 300000;
    EXPECT_EQ(CheckFreeSpace("Q:\\", drive), kSpaceEnough);
    EXPECT_EQ(askedRoot, "Q:\\");
    free = 299999;
    EXPECT_EQ(CheckFreeSpace("Q:\\", drive), kSpaceTooLittle);
    free = 5ull << 32;   // a drive larger than 32 bits can count
    EXPECT_EQ(CheckFreeSpace("Q:\\", drive), kSpaceEnough);
    EXPECT_EQ(CheckFreeSpace("Q:\\", [](const char*, uint64_t*) { return false; }), kSpaceDriveMissing);
    // 64 sectors of 512 bytes in 200,000 free clusters: 6.5 GB, which 32 bits would wrap.
    EXPECT_EQ(ClusterBytes(64, 512, 200000), 6553600000ull);
}

// A Program Manager that records what it is sent and refuses the command numbered
// `refuse` (1 is CreateGroup).
class RecordingShell : public ProgramManager {
public:
    bool connects = true;
    size_t refuse = 0;
    std::vector<std::string> sent;   // each transaction's bytes, as sent

    bool Connect() override { return connects; }
    bool Execute(const char* data, size_t length) override {
        sent.emplace_back(data, length);
        return sent.size() != refuse;
    }
};

TEST(ProgramGroup, SendsFiveCommandsGroupWithoutTerminatorItemsAsBlocks) {
    RecordingShell shell;
    EXPECT_EQ(CreateProgramGroup(Paths(""), &shell), kStateInstalled);
    ASSERT_EQ(shell.sent.size(), 5u);
    EXPECT_EQ(shell.sent[0], "[CreateGroup(CD Quorrel)]");
    EXPECT_EQ(shell.sent[1], "[ShowGroup(CD Quorrel, 1)]");
    const char* items[] = {"[AddItem(C:\\CDQuorrel\\CDQuorrel.exe, CD Quorrel Program)]",
                           "[AddItem(C:\\CDQuorrel\\CDQuorrel.hlp, CD Quorrel Help)]",
                           "[AddItem(C:\\CDQuorrel\\Readme.wri, ReadMe File)]"};
    for (size_t i = 0; i < 3; ++i) {
        const std::string& block = shell.sent[2 + i];
        EXPECT_EQ(block.size(), 100u);
        EXPECT_EQ(block.substr(0, strlen(items[i]) + 1), std::string(items[i], strlen(items[i]) + 1));
    }
}

TEST(ProgramGroup, StopsAtTheFirstRefusal) {
    RecordingShell groupRefused;
    groupRefused.refuse = 1;
    EXPECT_EQ(CreateProgramGroup(Paths(""), &groupRefused), kStateGroupFailed);
    EXPECT_EQ(groupRefused.sent.size(), 1u);

    RecordingShell showRefused;   // only the group's window: the items still go
    showRefused.refuse = 2;
    EXPECT_EQ(CreateProgramGroup(Paths(""), &showRefused), kStateInstalled);
    EXPECT_EQ(showRefused.sent.size(), 5u);

    RecordingShell helpRefused;   // the program item made, the read-me never sent
    helpRefused.refuse = 4;
    EXPECT_EQ(CreateProgramGroup(Paths(""), &helpRefused), kStateItemFailed);
    EXPECT_EQ(helpRefused.sent.size(), 4u);

    RecordingShell noServer;
    noServer.connects = false;
    EXPECT_EQ(CreateProgramGroup(Paths(""), &noServer), kStateGroupFailed);
    EXPECT_TRUE(noServer.sent.empty());
}

}  // namespace
