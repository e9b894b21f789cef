#include "settings_codec.h"

#include <cstdio>
#include <cstring>

namespace {

struct Field {
    size_t offset;
    size_t width;
};

constexpr Field kBits{6, 2}, kRate{8, 5}, kChannels{13, 1}, kBitRate{14, 3}, kSource{17, 1}, kKeepWav{18, 1},
    kConvert{19, 1};

// Copies the field's bytes into a cleared 10-byte buffer; bytes past the end stay NUL.
void ReadField(const uint8_t* data, size_t size, Field field, char (&buffer)[10]) {
    memset(buffer, 0, sizeof buffer);
    for (size_t i = 0; i < field.width && field.offset + i < size; ++i)
        buffer[i] = static_cast<char>(data[field.offset + i]);
}

// Decimal value of the text: leading white space, an optional sign, then digits up to
// the first other character; no digits gives 0. At most 5 digits fit a field, so the
// value cannot overflow.
long DecimalValue(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long value = 0;
    for (int digits = 0; *text >= '0' && *text <= '9' && digits < 9; ++text, ++digits)
        value = value * 10 + (*text - '0');
    return negative ? -value : value;
}

long NumberField(const uint8_t* data, size_t size, Field field) {
    char buffer[10];
    ReadField(data, size, field, buffer);
    return DecimalValue(buffer);
}

bool SwitchField(const uint8_t* data, size_t size, Field field) {
    char buffer[10];
    ReadField(data, size, field, buffer);
    return buffer[0] == '1';
}

// Decimal text of `value` into a cleared scratch buffer, then exactly `field.width`
// bytes of it: a text one shorter than the field ends in its NUL byte.
void WriteNumber(long value, Field field, uint8_t* out) {
    char scratch[16] = {};
    snprintf(scratch, sizeof scratch, "%ld", value);
    memcpy(out + field.offset - kSettingsFirstField, scratch, field.width);
}

}  // namespace

const uint8_t kSettingsFileTag[kSettingsFirstField] = {'C', 'D', 'Q', 'R', 'L', '1'};

RecordingSettings DefaultSettings() { return RecordingSettings{16, 44100, 2, 128, 1, true, false}; }

void ForceCdFormat(RecordingSettings* settings) {
    settings->bitsPerSample = 16;
    settings->sampleRate = 44100;
    settings->channels = 2;
}

void DecodeSettings(const uint8_t* data, size_t size, RecordingSettings* out) {
    out->bitsPerSample = static_cast<uint16_t>(NumberField(data, size, kBits));
    out->sampleRate = static_cast<int32_t>(NumberField(data, size, kRate));
    out->channels = static_cast<uint16_t>(NumberField(data, size, kChannels));
    out->mp3BitRate = static_cast<uint16_t>(NumberField(data, size, kBitRate));
    out->sourceIndex = static_cast<int32_t>(NumberField(data, size, kSource));
    out->keepWav = SwitchField(data, size, kKeepWav);
    out->convertToMp3 = SwitchField(data, size, kConvert);
}

void KeepToAllowedValues(RecordingSettings* settings) {
    const RecordingSettings defaults = DefaultSettings();
    if (settings->bitsPerSample != 8 && settings->bitsPerSample != 16) settings->bitsPerSample = defaults.bitsPerSample;
    if (settings->sampleRate != 11025 && settings->sampleRate != 22050 && settings->sampleRate != 44100)
        settings->sampleRate = defaults.sampleRate;
    if (settings->channels != 1 && settings->channels != 2) settings->channels = defaults.channels;
    switch (settings->mp3BitRate) {
        case 32: case 64: case 128: case 320: break;
        default: settings->mp3BitRate = defaults.mp3BitRate;
    }
    if (settings->sourceIndex < 0 || settings->sourceIndex > 4) settings->sourceIndex = defaults.sourceIndex;
}

void ApplyDefaultsIfNeeded(bool fileRead, RecordingSettings* settings) {
    if (!fileRead || settings->bitsPerSample == 0) *settings = DefaultSettings();
    KeepToAllowedValues(settings);
}

void EncodeSettings(const RecordingSettings& given, uint8_t (&out)[kSettingsFieldBytes]) {
    RecordingSettings settings = given;
    KeepToAllowedValues(&settings);
    WriteNumber(settings.bitsPerSample, kBits, out);
    WriteNumber(settings.sampleRate, kRate, out);
    WriteNumber(settings.channels, kChannels, out);
    WriteNumber(settings.mp3BitRate, kBitRate, out);
    WriteNumber(settings.sourceIndex, kSource, out);
    WriteNumber(settings.keepWav ? 1 : 0, kKeepWav, out);
    WriteNumber(settings.convertToMp3 ? 1 : 0, kConvert, out);
}
