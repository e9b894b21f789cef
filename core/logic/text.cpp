#include "text.h"

#include <cstdint>
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

size_t Utf8SequenceLength(const char* text, size_t available) {
    if (available == 0) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (p[0] < 0x80) return 1;
    size_t length = p[0] >= 0xF0 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC0 ? 2 : 0;
    if (length == 0 || length > available || p[0] > 0xF4) return 0;
    uint32_t code = p[0] & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        code = code << 6 | (p[k] & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool IsValidUtf8(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        size_t length = Utf8SequenceLength(text.data() + at, text.size() - at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | byte >> 6);
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string CutUtf8(const std::string& text, size_t most) {
    if (text.size() <= most) return text;
    size_t cut = most;
    // Back over continuation bytes to the start of the character the cut falls in.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}
