// Text helpers every floor of the program uses: bounded copies, ASCII case, UTF-8.
#pragma once

#include <cstddef>
#include <string>

// Bounded copy that always terminates `dest`.
void CopyText(char* dest, size_t destSize, const char* src);
template <size_t N>
void CopyText(char (&dest)[N], const char* src) { CopyText(dest, N, src); }

// A-Z to a-z: of one character, and of a text in place.
char LowerAsciiChar(char c);
void LowerAscii(char* text);

// The length of the well-formed UTF-8 sequence at `text` (1 to 4 bytes, of `available`
// bytes at most), or 0 where the bytes there are none: a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate or a code point past U+10FFFF.
size_t Utf8SequenceLength(const char* text, size_t available);
bool IsValidUtf8(const std::string& text);
// The longest start of `text` of at most `most` bytes that ends between UTF-8 characters.
std::string CutUtf8(const std::string& text, size_t most);
// ISO 8859-1 bytes as UTF-8 (each byte is the code point of its value).
std::string Latin1ToUtf8(const std::string& text);
