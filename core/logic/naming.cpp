#include "naming.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "track_table.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Lower(char c) { return LowerAsciiChar(c); }

void CopyRange(char* out, size_t outSize, const char* begin, const char* end) {
    size_t n = static_cast<size_t>(end - begin);
    if (n >= outSize) n = outSize - 1;
    memcpy(out, begin, n);
    out[n] = '\0';
}

bool IsBlank(char c) { return c == ' '; }

// The first character of `text` no file name may hold (a control character, or one of
// `reserved`), or NUL.
char FirstReserved(const char* text, const char* reserved) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p < 32 || strchr(reserved, *p)) return static_cast<char>(*p);
    return '\0';
}

const char kReservedInPath[] = "<>\"|?*:";
const char kReservedInStem[] = "<>\"|?*:/\\";

// The part of a stem that Windows compares with its device names: up to the first dot,
// without the blanks before it.
size_t DevicePartLength(const char* stem) {
    size_t length = strcspn(stem, ".");
    while (length > 0 && IsBlank(stem[length - 1])) --length;
    return length;
}

bool IsDeviceName(const char* stem) {
    static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2",  "COM3",   "COM4",
                                           "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1",  "LPT2",   "LPT3",
                                           "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",  "CONIN$", "CONOUT$"};
    size_t length = DevicePartLength(stem);
    for (const char* device : kDevices) {
        if (strlen(device) != length) continue;
        size_t i = 0;
        while (i < length && Lower(stem[i]) == Lower(device[i])) ++i;
        if (i == length) return true;
    }
    return false;
}

bool OnlyDots(const char* stem) { return stem[0] != '\0' && strspn(stem, ".") == strlen(stem); }

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

// The source name with every character no file name may hold replaced.
std::string ReplaceReserved(const std::string& name) {
    std::string out;
    for (size_t at = 0; at < name.size();) {
        size_t length = Utf8SequenceLength(name.data() + at, name.size() - at);
        char c = name[at];
        if (length == 0) {
            out += '_';
            length = 1;
        } else if (length > 1) {
            out.append(name, at, length);
        } else if (c == ':') {
            bool beforeBlank = at + 1 == name.size() || IsBlank(name[at + 1]);
            out += beforeBlank ? " -" : "-";
        } else if (IsSeparator(c)) {
            out += '-';
        } else if (c == '"') {
            out += '\'';
        } else if (static_cast<unsigned char>(c) < 32 || strchr("<>|?*", c)) {
            out += '_';
        } else {
            out += c;
        }
        at += length;
    }
    return out;
}

// Without blanks before, dots and blanks after.
void TrimName(std::string* name) {
    size_t start = name->find_first_not_of(' ');
    if (start == std::string::npos) start = name->size();
    size_t end = name->size();
    while (end > start && ((*name)[end - 1] == ' ' || (*name)[end - 1] == '.')) --end;
    *name = name->substr(start, end - start);
}

// At most `maxBytes` bytes of well-formed UTF-8, ending on a whole character.
void Shorten(std::string* name, size_t maxBytes) {
    if (name->size() <= maxBytes) return;
    size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>((*name)[end]) & 0xC0) == 0x80) --end;
    name->resize(end);
}

std::string MendedName(const std::string& source, size_t maxBytes) {
    std::string name = ReplaceReserved(source);
    TrimName(&name);
    Shorten(&name, maxBytes);
    TrimName(&name);
    return name;
}

}  // namespace

std::string FileNameFromSourceName(const std::string& utf8, size_t maxBytes, const std::string& fallback) {
    std::string name = MendedName(utf8, maxBytes);
    if (name.empty()) name = MendedName(fallback, maxBytes);
    if (name.empty()) name = MendedName("Track", maxBytes);
    if (!name.empty() && IsDeviceName(name.c_str())) {
        size_t device = DevicePartLength(name.c_str());
        if (name.size() < maxBytes) name.insert(device, "_");
        else name[device - 1] = '_';
    }
    return name;
}

void TrimBlanks(char* text) {
    size_t start = 0, end = strlen(text);
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    memmove(text, text + start, end - start);
    text[end - start] = '\0';
}

void TrimStem(NameParts* parts) { TrimBlanks(parts->stem); }

void FolderOf(const NameParts& parts, char* out, size_t size) {
    CopyText(out, size, parts.drive);
    size_t used = strlen(out);
    CopyText(out + used, size - used, parts.folder);
}

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

NameProblem CheckFileStem(const char* stem, char* character) {
    char found = FirstReserved(stem, kReservedInStem);
    if (character) *character = found;
    if (found != '\0') return kNameReservedCharacter;
    if (stem[0] == '\0') return kNameOnlyExtension;
    if (OnlyDots(stem)) return kNameOnlyDots;
    if (IsDeviceName(stem)) return kNameDevice;
    return kNameFine;
}

bool CanBeFileStem(const char* text) { return CheckFileStem(text) == kNameFine; }

NameProblem CheckSongName(const NameParts& parts, size_t fileNameSize, char* character) {
    if (!IsDrive(parts.drive)) {
        if (character) *character = ':';
        return kNameReservedCharacter;
    }
    for (const char* piece : {parts.folder, parts.stem, parts.extension}) {
        char found = FirstReserved(piece, kReservedInPath);
        if (character) *character = found;
        if (found != '\0') return kNameReservedCharacter;
    }
    NameProblem stem = CheckFileStem(parts.stem);   // no separator is left in a stem
    if (stem != kNameFine) return stem;
    if (HasBadFolderPart(parts.folder)) return kNameBadFolderPart;
    char built[kNamePartText * 3];
    if (!BuildWavName(parts, built, fileNameSize)) return kNameTooLong;
    return kNameFine;
}

const char* NameProblemText(NameProblem problem) {
    switch (problem) {
        case kNameReservedCharacter:
            return "A file name cannot contain any of the characters < > : \" | ? * . Please choose another song name.";
        case kNameOnlyExtension:
            return "Please enter a song name for the file, not only a folder or a file name ending.";
        case kNameBadFolderPart:
            return "A folder name cannot end in a dot or a blank. Please choose another folder.";
        case kNameTooLong:
            return "This song name is too long for a file name. Please choose a shorter name.";
        case kNameDevice: return "This name belongs to a device, not to a file. Please choose another name.";
        case kNameOnlyDots: return "A file name cannot be made of dots only. Please choose another name.";
        case kNameFine: break;
    }
    return "";
}

void NameProblemMessage(NameProblem problem, char character, const char* stem, char* out, size_t size) {
    unsigned char code = static_cast<unsigned char>(character);
    if (problem == kNameReservedCharacter && code >= 32)
        snprintf(out, size, "A file name cannot contain the character %c. Please choose another name.", character);
    else if (problem == kNameReservedCharacter && code != 0)
        snprintf(out, size, "A file name cannot contain control characters (code %u). Please choose another name.",
                 static_cast<unsigned>(code));
    else if (problem == kNameDevice)
        snprintf(out, size, "\"%.*s\" is the name of a device, not of a file. Please choose another name.",
                 static_cast<int>(DevicePartLength(stem)), stem);
    else
        snprintf(out, size, "%s", NameProblemText(problem));
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

bool PartialFileName(const char* path, char* out, size_t size) {
    if (size == 0) return false;
    int length = snprintf(out, size, "%s.part", path);
    if (length >= 0 && static_cast<size_t>(length) < size) return true;
    out[0] = '\0';
    return false;
}

bool NumberedName(const char* path, int number, char* out, size_t size) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    const char* dot = strrchr(name, '.');
    size_t before = dot ? static_cast<size_t>(dot - path) : strlen(path);
    int written = snprintf(out, size, "%.*s (%d)%s", static_cast<int>(before), path, number, path + before);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        if (size > 0) out[0] = '\0';
        return false;
    }
    return true;
}

void BatchFileName(const char* folder, const char* name, char* out, size_t size) {
    if (size == 0) return;
    int room = static_cast<int>(size) - 1 - static_cast<int>(strlen(folder)) - 4;
    snprintf(out, size, "%s%.*s.wav", folder, room > 0 ? room : 0, name);
    LowerAscii(out);
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
