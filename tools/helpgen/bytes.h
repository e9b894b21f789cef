// Little-endian byte strings, as both Windows file formats store their numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace helpgen {

struct Bytes {
    std::string data;

    void U8(unsigned value) { data.push_back(static_cast<char>(value & 0xFF)); }
    void U16(unsigned value) {
        U8(value);
        U8(value >> 8);
    }
    void U32(uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void Add(const std::string& bytes) { data += bytes; }
    void Zstring(const std::string& text) {
        data += text;
        U8(0);
    }
    void PadTo(size_t size, char fill = '\0') {
        if (data.size() < size) data.resize(size, fill);
    }
    size_t Size() const { return data.size(); }
    // Overwrites a 16- or 32-bit value written earlier.
    void Put16(size_t at, unsigned value) {
        data[at] = static_cast<char>(value & 0xFF);
        data[at + 1] = static_cast<char>((value >> 8) & 0xFF);
    }
    void Put32(size_t at, uint32_t value) {
        Put16(at, value & 0xFFFF);
        Put16(at + 2, value >> 16);
    }
};

}  // namespace helpgen
