// Text helpers every floor of the program uses: bounded copies and ASCII case.
#pragma once

#include <cstddef>

// Bounded copy that always terminates `dest`.
void CopyText(char* dest, size_t destSize, const char* src);
template <size_t N>
void CopyText(char (&dest)[N], const char* src) { CopyText(dest, N, src); }

// A-Z to a-z: of one character, and of a text in place.
char LowerAsciiChar(char c);
void LowerAscii(char* text);
