// The settings file reader over any bytes a file can hold. Beyond "no fault": a short
// file reads as if padded with NUL bytes, the first six bytes and anything past the
// twentieth never matter, the program only ever uses allowed values, and whatever a
// record holds, the file written from it reads back as its allowed values, byte for
// byte the same when written again.
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "settings_codec.h"

namespace {

bool Same(const RecordingSettings& a, const RecordingSettings& b) {
    return a.bitsPerSample == b.bitsPerSample && a.sampleRate == b.sampleRate && a.channels == b.channels &&
           a.mp3BitRate == b.mp3BitRate && a.sourceIndex == b.sourceIndex && a.keepWav == b.keepWav &&
           a.convertToMp3 == b.convertToMp3;
}

RecordingSettings Decode(const uint8_t* data, size_t size) {
    RecordingSettings settings;
    std::memset(&settings, 0x5A, sizeof settings);
    DecodeSettings(data, size, &settings);
    return settings;
}

RecordingSettings Allowed(RecordingSettings settings) {
    KeepToAllowedValues(&settings);
    return settings;
}

std::string Encoded(const RecordingSettings& s) {
    uint8_t fields[kSettingsFieldBytes];
    std::memset(fields, 0xAA, sizeof fields);
    EncodeSettings(s, fields);
    for (uint8_t byte : fields) FUZZ_CHECK(byte == '\0' || (byte >= '0' && byte <= '9'));
    return std::string(reinterpret_cast<const char*>(kSettingsFileTag), kSettingsFirstField) +
           std::string(reinterpret_cast<const char*>(fields), sizeof fields);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const RecordingSettings read = Decode(data, size);

    uint8_t whole[kSettingsFileSize] = {};
    std::memcpy(whole, data, size < sizeof whole ? size : sizeof whole);
    FUZZ_CHECK(Same(Decode(whole, sizeof whole), read));
    std::memset(whole, '~', kSettingsFirstField);
    FUZZ_CHECK(Same(Decode(whole, sizeof whole), read));

    RecordingSettings used = read;
    ApplyDefaultsIfNeeded(true, &used);
    FUZZ_CHECK(Same(used, Allowed(used)));
    if (read.bitsPerSample == 0) FUZZ_CHECK(Same(used, DefaultSettings()));

    for (const RecordingSettings& record : {read, used}) {
        const std::string file = Encoded(record);
        const RecordingSettings back = Decode(reinterpret_cast<const uint8_t*>(file.data()), file.size());
        FUZZ_CHECK(Same(back, Allowed(record)));
        FUZZ_CHECK(Encoded(back) == file);
    }
    return 0;
}
