// The WAV files the rip writes: the canonical 44-byte header of PCM audio in CD format
// (2 channels, 44,100 samples per second, 16 bits), the audio straight after it and
// nothing after the audio.
//
// The writer's order: open the file ("w+b"), write the header for 0 bytes (RIFF size
// 36, data size 0), append the audio, write the header again with the bytes appended.
// Until then the file on disk says it holds no audio.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr size_t kWavHeaderBytes = 44;
// The most audio bytes the 32-bit sizes of a header can describe.
constexpr uint32_t kMaxWavDataBytes = 0xFFFFFFFFu - 36;

// The header of a CD-format PCM WAV file holding `dataBytes` of audio.
void MakeWavHeader(uint32_t dataBytes, uint8_t (&header)[kWavHeaderBytes]);

// Writes the header for `dataBytes` at the start of `file` (and leaves the position
// after it). True when all 44 bytes were written; false, writing nothing, without a file.
bool WriteWavHeader(FILE* file, uint32_t dataBytes);
