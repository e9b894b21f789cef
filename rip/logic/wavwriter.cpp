#include "wavwriter.h"

#include <cstring>

namespace {

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    Put16(at, static_cast<uint16_t>(value));
    Put16(at + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace

void MakeWavHeader(uint32_t dataBytes, uint8_t (&header)[kWavHeaderBytes]) {
    const uint16_t channels = 2, bitsPerSample = 16;
    const uint32_t rate = 44100;
    const uint16_t blockAlign = channels * (bitsPerSample / 8);
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, 1);   // PCM
    Put16(header + 22, channels);
    Put32(header + 24, rate);
    Put32(header + 28, rate * blockAlign);
    Put16(header + 32, blockAlign);
    Put16(header + 34, bitsPerSample);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, dataBytes);
}

bool WriteWavHeader(FILE* file, uint32_t dataBytes) {
    if (!file) return false;
    uint8_t header[kWavHeaderBytes];
    MakeWavHeader(dataBytes, header);
    return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header, 1, sizeof header, file) == sizeof header;
}
