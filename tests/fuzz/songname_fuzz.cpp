// The naming rules over any song name a user can type, as the Play command takes it
// (blanks trimmed, split, the stem trimmed, checked), and the length reply of the
// disk-space estimate.
//
// Beyond "no fault": trimming leaves the name without blanks around it; the split
// gives the name back piece by piece; a name the rules accept becomes a ".wav" file
// name that fits the file name buffer, holds no reserved character, names no folder
// ending in a dot or a blank and splits back into the same pieces; a track name that
// may stand as a file's stem is accepted as a song name; bounded builds and messages
// never write past their buffers; comparisons ignore case both ways. The same bytes as
// a name from a source become a file stem the rules accept, of `outSize - 1` bytes at
// most, in well-formed UTF-8, that is mended no further, and equals the name where the
// name could already stand.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "naming.h"
#include "text.h"

namespace {

constexpr size_t kFileName = 256;   // the program's current file name: 255 characters

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool Terminated(const char* text, size_t size) { return strnlen(text, size) < size; }

NameParts Split(const std::string& name) {
    NameParts parts;
    std::memset(&parts, 0x55, sizeof parts);
    fuzz::CString text(name);
    SplitName(text.get(), &parts);
    FUZZ_CHECK(Terminated(parts.drive, sizeof parts.drive) && Terminated(parts.folder, sizeof parts.folder) &&
               Terminated(parts.stem, sizeof parts.stem) && Terminated(parts.extension, sizeof parts.extension));
    return parts;
}

void CheckSplit(const std::string& name, const NameParts& parts) {
    if (name.size() >= kNamePartText) return;   // longer names lose their ends in the pieces
    FUZZ_CHECK(std::string(parts.drive) + parts.folder + parts.stem + parts.extension == name);
    FUZZ_CHECK(parts.drive[0] == '\0' || parts.drive[1] == ':');
    FUZZ_CHECK(std::strpbrk(parts.stem, "\\/") == nullptr && std::strpbrk(parts.extension, "\\/") == nullptr);
    FUZZ_CHECK(std::strchr(parts.stem, '.') == nullptr || parts.extension[0] == '.');
    FUZZ_CHECK(parts.extension[0] == '\0' || (parts.extension[0] == '.' && !std::strchr(parts.extension + 1, '.')));
}

// A folder part ending in a dot or a blank names another folder than it shows.
bool HasBadFolderPart(const std::string& folder) {
    size_t from = 0;
    for (size_t i = 0; i < folder.size(); ++i) {
        if (folder[i] != '\\' && folder[i] != '/') continue;
        std::string part = folder.substr(from, i - from);
        from = i + 1;
        if (part == "." || part == ".." || part.empty()) continue;
        if (part.back() == '.' || part.back() == ' ') return true;
    }
    return false;
}

void CheckAcceptedName(const NameParts& parts) {
    char built[kFileName];
    FUZZ_CHECK(BuildWavName(parts, built, sizeof built));
    const std::string file = built;
    FUZZ_CHECK(file.size() < kFileName && file.size() > 4 && file.compare(file.size() - 4, 4, ".wav") == 0);
    for (size_t i = 0; i < file.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(file[i]);
        FUZZ_CHECK(c >= 32 && !std::strchr("<>\"|?*", c));
        FUZZ_CHECK(c != ':' || (i == 1 && Lowered(file.substr(0, 1)).find_first_of("abcdefghijklmnopqrstuvwxyz") == 0));
    }
    const std::string stem = parts.stem;
    FUZZ_CHECK(!stem.empty() && stem.front() != ' ' && stem.back() != ' ' && stem.find_first_not_of('.') != std::string::npos);
    FUZZ_CHECK(!HasBadFolderPart(parts.folder));
    const NameParts again = Split(file);
    FUZZ_CHECK(!std::strcmp(again.drive, parts.drive) && !std::strcmp(again.folder, parts.folder) &&
               !std::strcmp(again.stem, parts.stem) && !std::strcmp(again.extension, ".wav"));
    char candidate[kNamePartText];
    Candidate(parts.stem, ".wav", candidate, sizeof candidate);
    FUZZ_CHECK(candidate == Lowered(std::string(parts.stem) + ".wav"));
}

// Builds into a block of exactly `size` bytes: the whole text or, for a build that may
// fail, nothing at all; a message, cut to the block.
void CheckBoundedBuilds(const NameParts& parts, NameProblem problem, char character, size_t size) {
    std::unique_ptr<char[]> out(new char[size]);
    std::memset(out.get(), '#', size);
    const std::string whole = std::string(parts.drive) + parts.folder + parts.stem + ".wav";
    if (BuildWavName(parts, out.get(), size))
        FUZZ_CHECK(whole.size() < size && out.get() == whole);
    else
        FUZZ_CHECK(whole.size() >= size && out[0] == '#');
    Candidate(parts.stem, parts.extension, out.get(), size);
    const std::string full = Lowered(std::string(parts.stem) + parts.extension);
    FUZZ_CHECK(out.get() == full.substr(0, size - 1));

    std::memset(out.get(), '#', size);
    if (PartialFileName(whole.c_str(), out.get(), size))
        FUZZ_CHECK(out.get() == whole + ".part");
    else
        FUZZ_CHECK(whole.size() + 5 >= size && out[0] == '\0');

    std::memset(out.get(), '#', size);
    NameProblemMessage(problem, character, parts.stem, out.get(), size);
    FUZZ_CHECK(strnlen(out.get(), size) < size);
    FUZZ_CHECK((out[0] == '\0') == (problem == kNameFine || size == 1));
}

void CheckSourceName(const std::string& source, size_t maxBytes) {
    const std::string name = FileNameFromSourceName(source, maxBytes, source.substr(0, 3));
    FUZZ_CHECK(name.size() <= maxBytes && (name.empty() == (maxBytes == 0)));
    if (name.empty()) return;
    FUZZ_CHECK(IsValidUtf8(name) && name.find('\0') == std::string::npos);
    FUZZ_CHECK(CheckFileStem(name.c_str()) == kNameFine);
    FUZZ_CHECK(name.front() != ' ' && name.back() != ' ' && name.back() != '.');
    FUZZ_CHECK(FileNameFromSourceName(name, maxBytes) == name);
    bool couldStand = source.size() <= maxBytes && IsValidUtf8(source) && source.find('\0') == std::string::npos &&
                      CanBeFileStem(source.c_str()) && source.front() != ' ' && source.back() != ' ' &&
                      source.back() != '.';
    if (couldStand) FUZZ_CHECK(name == source);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const size_t outSize = input.ConsumeIntegralInRange<size_t>(1, 300);
    const std::string typed = input.ConsumeRandomLengthString(400);
    const std::string reply = input.ConsumeRemainingBytesAsString();

    fuzz::CString trimmed(typed.substr(0, typed.find('\0')));
    TrimBlanks(trimmed.get());
    const std::string name = trimmed.get();
    FUZZ_CHECK(typed.find(name) != std::string::npos);
    FUZZ_CHECK(name.empty() || (name.front() != ' ' && name.back() != ' '));

    NameParts parts = Split(name);
    CheckSplit(name, parts);
    TrimStem(&parts);
    char character = '#';
    const NameProblem problem = CheckSongName(parts, kFileName, &character);
    FUZZ_CHECK((problem == kNameFine) == (*NameProblemText(problem) == '\0'));
    if (problem == kNameReservedCharacter) FUZZ_CHECK(character != '\0' && character != '#');
    if (problem == kNameFine) CheckAcceptedName(parts);
    CheckBoundedBuilds(parts, problem, character, outSize);

    // A track name that may be a file's stem, recorded in a batch as "<name>.wav".
    FUZZ_CHECK(CanBeFileStem(name.c_str()) == (CheckFileStem(name.c_str()) == kNameFine));
    if (CanBeFileStem(name.c_str())) {
        FUZZ_CHECK(!name.empty() && name.find_first_of("<>:\"/\\|?*") == std::string::npos);
        if (name.size() + 4 < kFileName) FUZZ_CHECK(CheckSongName(Split(name + ".wav"), kFileName) == kNameFine);
    }

    FUZZ_CHECK(ExtensionAsksForMp3(parts.extension) ==
               (std::strlen(parts.extension) == 4 && SameFileName(parts.extension, ".mp3")));
    CheckSourceName(typed, outSize - 1);

    const std::string lower = Lowered(name);
    FUZZ_CHECK(SameFileName(name.c_str(), lower.c_str()) && SameFileName(lower.c_str(), name.c_str()));
    FUZZ_CHECK(SameFileName(name.c_str(), parts.stem) == SameFileName(parts.stem, name.c_str()));

    // The drive's length reply, as short as it comes, read for the estimate.
    fuzz::CString length(reply.substr(0, reply.find('\0')));
    FUZZ_CHECK(RequiredBytes(length.get(), 1, 1, 8) <= 99u * 60 + 99);
    const char drive = EstimateDrive(name.c_str(), 'C');
    FUZZ_CHECK(name.size() >= 2 && name[1] == ':' ? drive == name[0] : drive == 'c');
    return 0;
}
