#include "text.h"

#include <cstring>

void CopyText(char* dest, size_t destSize, const char* src) {
    if (destSize == 0) return;
    size_t n = strnlen(src, destSize - 1);
    memcpy(dest, src, n);
    dest[n] = '\0';
}

char LowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void LowerAscii(char* text) {
    for (; *text; ++text) *text = LowerAsciiChar(*text);
}
