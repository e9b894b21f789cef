// The recording settings and their 20-byte settings file "CDQuorrel.ini".
//
// Layout (offset, width): 0–5 ignored by the reader; 6 (2) bits per sample; 8 (5) sample
// rate; 13 (1) channels; 14 (3) MP3 bit rate in kbps; 17 (1) source index; 18 (1) keep
// WAV file; 19 (1) convert to MP3. Numbers are decimal text, left-aligned; a value one
// digit shorter than its field is followed by a NUL byte. Switches are "1" or "0".
#pragma once

#include <cstddef>
#include <cstdint>

struct RecordingSettings {
    uint16_t bitsPerSample;  // 8 or 16
    int32_t sampleRate;      // 11025, 22050 or 44100
    uint16_t channels;       // 1 or 2
    uint16_t mp3BitRate;     // kbps: 32, 64, 128 or 320
    int32_t sourceIndex;     // 0 rip, 1 record CD, 2 line in, 3 convert, 4 partial
    bool keepWav;
    bool convertToMp3;
};

constexpr size_t kSettingsFileSize = 20;
constexpr size_t kSettingsFirstField = 6;  // bytes 0–5 are not part of the settings

RecordingSettings DefaultSettings();

// The format MP3 files are made from, and the format of every rip: CD audio (16 bits,
// 44,100 Hz, stereo); the other fields stay.
void ForceCdFormat(RecordingSettings* settings);

// Reads the fields from the file's bytes as the reader does field by field: a field
// lying (partly) beyond `size` reads as if its missing bytes were NUL. Values are kept
// as read; ApplyDefaultsIfNeeded then settles them.
void DecodeSettings(const uint8_t* data, size_t size, RecordingSettings* out);

// Every field outside its allowed values takes its default, the others stay: a
// recording is never made, and a file never written, in a format nobody chose.
void KeepToAllowedValues(RecordingSettings* settings);

// The whole record takes the defaults when the file was not read or its bits per sample
// read 0; otherwise each field outside its allowed values takes its default.
void ApplyDefaultsIfNeeded(bool fileRead, RecordingSettings* settings);

// Writes bytes 6–19 of the file (14 bytes) for `settings` into `out`; a field outside
// its allowed values is written as its default.
constexpr size_t kSettingsFieldBytes = kSettingsFileSize - kSettingsFirstField;
void EncodeSettings(const RecordingSettings& settings, uint8_t (&out)[kSettingsFieldBytes]);

// The six bytes a newly created settings file starts with (the reader skips them).
extern const uint8_t kSettingsFileTag[kSettingsFirstField];
