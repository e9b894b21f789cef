// The program group: the Program Manager command strings the installer sends over DDE
// and the order in which it sends them.
#pragma once

#include <cstddef>

#include "setup_plan.h"

constexpr char kCreateGroupCommand[] = "[CreateGroup(CD Quorrel)]";
constexpr char kShowGroupCommand[] = "[ShowGroup(CD Quorrel, 1)]";
constexpr char kAddItemStart[] = "[AddItem(";

// The three items: the tail of each AddItem command after the installation folder and
// its backslash.
constexpr size_t kItemCount = 3;
extern const char* const kItemTails[kItemCount];

// Each AddItem command is sent as a block of exactly this many bytes that begins with
// the zero-terminated command; the prefix buffer has as many characters.
constexpr size_t kItemBlockSize = 100;
constexpr size_t kItemPrefixSize = 100;

// "[AddItem(" followed by the destination prefix (the folder and its backslash); false
// when it does not fit its buffer.
bool BuildItemPrefix(const char* destinationPrefix, char (&prefix)[kItemPrefixSize]);

// The item command `item` (0 to 2) in a zero-filled block; false when it does not fit.
bool BuildItemBlock(const char* prefix, size_t item, char (&block)[kItemBlockSize]);

// The shell's DDE service "PROGMAN" as the group step sees it.
class ProgramManager {
public:
    virtual ~ProgramManager() = default;
    // Opens the conversation; false when no server accepts it.
    virtual bool Connect() = 0;
    // Sends one execute transaction; true when the server accepted it.
    virtual bool Execute(const char* data, size_t length) = 0;
};

// Creates the group and its three items for the installation folder and returns the
// state to show: installed, group failed or item failed. A group that cannot be asked
// for at all (no conversation) counts as a failed group.
SetupState CreateProgramGroup(const InstallPaths& paths, ProgramManager* shell);
