// Naming rules of a recording: the song name the user types becomes a lower-case
// ".wav" file name; and the disk-space estimate made before a CD track is recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text.h"

constexpr size_t kNamePartText = 260;

// A Windows path split as the C runtime's path splitter does: drive "X:", folder up to
// and including the last '\' or '/', extension from the last '.' of the file name on.
struct NameParts {
    char drive[3];
    char folder[kNamePartText];
    char stem[kNamePartText];
    char extension[kNamePartText];
};

void SplitName(const char* name, NameParts* parts);
// The drive and folder of a split name, as one text ("" for a bare file name).
void FolderOf(const NameParts& parts, char* out, size_t size);

// The song name as typed, without the blanks before and after it; the file name's
// stem loses the blanks before and after it too ("  lead  .mp3" is "lead.mp3").
void TrimBlanks(char* text);
void TrimStem(NameParts* parts);

// What is wrong with a song name for a file name, if anything.
enum NameProblem {
    kNameFine,
    kNameReservedCharacter,   // < > " | ? * or a control character, or ':' outside a drive "X:" (X a letter)
    kNameOnlyExtension,       // nothing before the extension
    kNameBadFolderPart,       // a folder name ending in a dot or a blank
    kNameTooLong,             // the ".wav" name does not fit the file name
    kNameDevice,              // a name Windows keeps for a device: CON, NUL, COM1, ...
    kNameOnlyDots,            // ".", "..", ...: a folder, not a file
};

// The problem of a song name, and in `*character` (when given) the first character no
// file name may hold (for kNameReservedCharacter).
NameProblem CheckSongName(const NameParts& parts, size_t fileNameSize, char* character = nullptr);
// The message that tells the user about a problem (empty for kNameFine).
const char* NameProblemText(NameProblem problem);
// The same message, naming the character at fault, or the device name, into `out`.
void NameProblemMessage(NameProblem problem, char character, const char* stem, char* out, size_t size);

// Whether `stem` can stand as a file's name without its ending (a track name of a
// batch becomes one): kNameFine, or what is wrong with it; a folder separator counts
// as a character no file name may hold.
NameProblem CheckFileStem(const char* stem, char* character = nullptr);
bool CanBeFileStem(const char* text);

// A file name's stem (no folder, no ending) from a name a source gave (MusicBrainz,
// CD-Text, freedb), in UTF-8: where a typed name is refused, this one is mended. A ':'
// before a blank or at the end becomes " -" ("Live: 1999" is "Live - 1999"), another ':'
// '-', as do '/' and '\' ("AC/DC" is "AC-DC"); '"' becomes '\'', the other characters
// no file name may hold (< > | ? * and control characters) '_', and so does each byte
// that is no part of a well-formed UTF-8 sequence. Blanks before and after and dots at
// the end go; what is longer than `maxBytes` bytes is shortened, never inside a
// character. A name left empty becomes `fallback` (mended alike, "Track" where that is
// empty too); a device name ("CON", "lpt1.live") gets a '_' after its device part. The
// result passes CheckFileStem, and is empty only for a `maxBytes` of 0.
std::string FileNameFromSourceName(const std::string& utf8, size_t maxBytes, const std::string& fallback = "Track");

// drive + folder + stem + ".wav" into `out`; false (and `out` untouched) if it does not
// fit in `outSize` bytes with its NUL.
bool BuildWavName(const NameParts& parts, char* out, size_t outSize);

// The typed extension with its second and third characters in lower case equals ".mp3".
bool ExtensionAsksForMp3(const char* extension);
// The stem is exactly "untitled" (the question about an unoriginal name).
bool IsUntitled(const char* stem);

// The name a file is written under until it is complete: `path` followed by ".part";
// false (and `out` empty) when that does not fit `size` bytes with its NUL.
bool PartialFileName(const char* path, char* out, size_t size);

// `path` with " (number)" before the file name's extension ("c:\\a\\take.wav", 2:
// "c:\\a\\take (2).wav"), for a file that must not replace one of its name; false
// (and `out` empty) when that does not fit `size` bytes with its NUL.
bool NumberedName(const char* path, int number, char* out, size_t size);

// The file a batch records a track named `name` into: `folder`, the name and ".wav", in
// lower case; the ".wav" ending always stays, a name that would not fit `size` bytes is
// shortened before it.
void BatchFileName(const char* folder, const char* name, char* out, size_t size);

// stem + ending, in lower case, into `out` (bounded).
void Candidate(const char* stem, const char* ending, char* out, size_t outSize);
// File names compare without regard to case, as Windows file systems do.
bool SameFileName(const char* a, const char* b);

// Disk-space estimate: the bytes a track of `lengthText` ("mm:ss:ff") needs in the
// given format, in unsigned 32-bit arithmetic.
uint32_t RequiredBytes(const char* lengthText, int channels, int sampleRate, int bitsPerSample);
// There is room when the free bytes are at least 1.3 times the required bytes.
bool HasRoomFor(uint64_t freeBytes, uint32_t requiredBytes);
// The drive letter whose free space counts: the song name's own ("x:..."), otherwise
// the current drive's, in lower case.
char EstimateDrive(const char* songName, char currentDrive);
