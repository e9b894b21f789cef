#include "naming.h"

#include <cstring>
#include <initializer_list>

#include "track_table.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void CopyRange(char* out, size_t outSize, const char* begin, const char* end) {
    size_t n = static_cast<size_t>(end - begin);
    if (n >= outSize) n = outSize - 1;
    memcpy(out, begin, n);
    out[n] = '\0';
}

bool HasReservedCharacter(const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p < 32 || strchr("<>\"|?*:", *p)) return true;
    return false;
}

// No drive, or a letter and ':' ("*:" or "1:" is a name with a misplaced ':').
bool IsDrive(const char* drive) {
    char letter = Lower(drive[0]);
    return drive[0] == '\0' || (letter >= 'a' && letter <= 'z');
}

// "." and ".." are folder parts of their own, not names ending in a dot.
bool IsDotPart(const char* folder, const char* separator) {
    const char* start = separator;
    while (start > folder && !IsSeparator(start[-1])) --start;
    size_t length = static_cast<size_t>(separator - start);
    return (length == 1 && start[0] == '.') || (length == 2 && start[0] == '.' && start[1] == '.');
}

// A folder part such as "music." or "music " names another folder than it shows.
bool HasBadFolderPart(const char* folder) {
    for (const char* p = folder; *p; ++p)
        if (IsSeparator(*p) && p > folder && (p[-1] == ' ' || (p[-1] == '.' && !IsDotPart(folder, p))))
            return true;
    return false;
}

}  // namespace

void SplitName(const char* name, NameParts* parts) {
    memset(parts, 0, sizeof *parts);
    const char* p = name;
    if (p[0] && p[1] == ':') {
        CopyRange(parts->drive, sizeof parts->drive, p, p + 2);
        p += 2;
    }
    const char* lastSeparator = nullptr;
    for (const char* q = p; *q; ++q)
        if (IsSeparator(*q)) lastSeparator = q;
    const char* file = p;
    if (lastSeparator) {
        CopyRange(parts->folder, sizeof parts->folder, p, lastSeparator + 1);
        file = lastSeparator + 1;
    }
    const char* dot = strrchr(file, '.');
    const char* end = file + strlen(file);
    CopyRange(parts->stem, sizeof parts->stem, file, dot ? dot : end);
    if (dot) CopyRange(parts->extension, sizeof parts->extension, dot, end);
}

NameProblem CheckSongName(const NameParts& parts, size_t fileNameSize) {
    if (!IsDrive(parts.drive) || HasReservedCharacter(parts.folder) || HasReservedCharacter(parts.stem) ||
        HasReservedCharacter(parts.extension))
        return kNameReservedCharacter;
    if (parts.stem[0] == '\0') return kNameOnlyExtension;
    if (HasBadFolderPart(parts.folder)) return kNameBadFolderPart;
    char built[kNamePartText * 3];
    if (!BuildWavName(parts, built, fileNameSize)) return kNameTooLong;
    return kNameFine;
}

const char* NameProblemText(NameProblem problem) {
    switch (problem) {
        case kNameReservedCharacter:
            return "A file name cannot contain any of the characters < > : \" | ? * . Please choose another song name.";
        case kNameOnlyExtension: return "Please enter a song name for the file, not only a folder or a file name ending.";
        case kNameBadFolderPart:
            return "A folder name cannot end in a dot or a blank. Please choose another folder.";
        case kNameTooLong:
            return "This song name is too long for a file name. Please choose a shorter name.";
        case kNameFine: break;
    }
    return "";
}

bool CanBeFileStem(const char* text) {
    if (text[0] == '\0' || HasReservedCharacter(text)) return false;
    for (const char* p = text; *p; ++p)
        if (IsSeparator(*p)) return false;
    return true;
}

bool BuildWavName(const NameParts& parts, char* out, size_t outSize) {
    size_t need = strlen(parts.drive) + strlen(parts.folder) + strlen(parts.stem) + 4;
    if (need >= outSize) return false;
    out[0] = '\0';
    for (const char* piece : {parts.drive, parts.folder, parts.stem, ".wav"}) {
        size_t used = strlen(out);
        CopyText(out + used, outSize - used, piece);
    }
    return true;
}

bool ExtensionAsksForMp3(const char* extension) {
    char lowered[5] = {};
    CopyText(lowered, extension);
    if (strlen(extension) != 4) return false;
    lowered[1] = Lower(lowered[1]);
    lowered[2] = Lower(lowered[2]);
    return strcmp(lowered, ".mp3") == 0;
}

bool IsUntitled(const char* stem) { return strcmp(stem, "untitled") == 0; }

void LowerAscii(char* text) {
    for (; *text; ++text) *text = Lower(*text);
}

void Candidate(const char* stem, const char* ending, char* out, size_t outSize) {
    CopyText(out, outSize, stem);
    size_t used = strlen(out);
    CopyText(out + used, outSize - used, ending);
    LowerAscii(out);
}

bool SameFileName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (Lower(*a) != Lower(*b)) return false;
    return *a == *b;
}

uint32_t RequiredBytes(const char* lengthText, int channels, int sampleRate, int bitsPerSample) {
    uint32_t seconds = static_cast<uint32_t>(LengthSeconds(lengthText));
    return seconds * static_cast<uint32_t>(channels) * static_cast<uint32_t>(sampleRate) *
           static_cast<uint32_t>(bitsPerSample / 8);
}

bool HasRoomFor(uint64_t freeBytes, uint32_t requiredBytes) {
    return static_cast<double>(freeBytes) >= static_cast<double>(requiredBytes) * 1.3;
}

char EstimateDrive(const char* songName, char currentDrive) {
    if (songName[0] && songName[1] == ':') return songName[0];
    return Lower(currentDrive);
}
