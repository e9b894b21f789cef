// What every fuzz target shares: a check that stops the run with the broken promise
// named (libFuzzer then saves the input that broke it), and a copy of the input in a
// heap block of its own exact size, so that AddressSanitizer sees a read one byte past
// the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// `text` as a NUL-terminated C string in a block of exactly its size plus the NUL.
class CString {
public:
    explicit CString(const std::string& text) : bytes_(new char[text.size() + 1]) {
        std::memcpy(bytes_.get(), text.c_str(), text.size() + 1);
    }
    const char* get() const { return bytes_.get(); }
    char* get() { return bytes_.get(); }

private:
    std::unique_ptr<char[]> bytes_;
};

}  // namespace fuzz
