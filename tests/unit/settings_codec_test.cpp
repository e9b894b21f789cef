#include "settings_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>

namespace {

RecordingSettings Decode(const std::string& bytes) {
    RecordingSettings settings{};
    DecodeSettings(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &settings);
    return settings;
}

RecordingSettings ReadAsProgram(const std::string& bytes) {
    RecordingSettings settings = Decode(bytes);
    ApplyDefaultsIfNeeded(true, &settings);
    return settings;
}

std::string Encode(const RecordingSettings& settings) {
    uint8_t fields[kSettingsFieldBytes];
    memset(fields, 0xAA, sizeof fields);
    EncodeSettings(settings, fields);
    return std::string("CDQRL1") + std::string(reinterpret_cast<const char*>(fields), sizeof fields);
}

void ExpectDefaults(const RecordingSettings& s) {
    EXPECT_EQ(s.bitsPerSample, 16);
    EXPECT_EQ(s.sampleRate, 44100);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.mp3BitRate, 128);
    EXPECT_EQ(s.sourceIndex, 1);
    EXPECT_TRUE(s.keepWav);
    EXPECT_FALSE(s.convertToMp3);
}

TEST(SettingsFile, ReadsEveryFieldAtItsOffset) {
    std::string bytes = std::string("xxxxxx") + "8" + '\0' + "11025" + "1" + "32" + '\0' + "2" + "0" + "1";
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    RecordingSettings s = ReadAsProgram(bytes);
    EXPECT_EQ(s.bitsPerSample, 8);
    EXPECT_EQ(s.sampleRate, 11025);
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.mp3BitRate, 32);
    EXPECT_EQ(s.sourceIndex, 2);
    EXPECT_FALSE(s.keepWav);
    EXPECT_TRUE(s.convertToMp3);
}

TEST(SettingsFile, WritesFieldsWithNulFillAndReadsThemBack) {
    RecordingSettings s = DefaultSettings();
    s.bitsPerSample = 8;
    s.mp3BitRate = 64;
    std::string bytes = Encode(s);
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    EXPECT_EQ(bytes.substr(6, 2), std::string("8") + '\0');
    EXPECT_EQ(bytes.substr(8, 5), "44100");
    EXPECT_EQ(bytes.substr(13, 1), "2");
    EXPECT_EQ(bytes.substr(14, 3), std::string("64") + '\0');
    EXPECT_EQ(bytes.substr(17, 3), "110");
    RecordingSettings back = ReadAsProgram(bytes);
    EXPECT_EQ(back.bitsPerSample, 8);
    EXPECT_EQ(back.mp3BitRate, 64);
    EXPECT_EQ(back.sampleRate, 44100);

    s = DefaultSettings();
    s.mp3BitRate = 320;
    s.sourceIndex = 4;
    s.keepWav = false;
    s.convertToMp3 = true;
    bytes = Encode(s);
    EXPECT_EQ(bytes.substr(6), "1644100232040" "1");
    back = ReadAsProgram(bytes);
    EXPECT_EQ(back.mp3BitRate, 320);
    EXPECT_EQ(back.sourceIndex, 4);
    EXPECT_FALSE(back.keepWav);
    EXPECT_TRUE(back.convertToMp3);
}

TEST(SettingsFile, ShortOrZeroBitsFileGivesDefaults) {
    ExpectDefaults(ReadAsProgram(""));
    ExpectDefaults(ReadAsProgram("123456"));
    // Bits per sample reading 0 resets every field, valid or not.
    ExpectDefaults(ReadAsProgram(std::string("xxxxxx") + "0" + '\0' + "11025" + "1" + "32" + '\0' + "2" + "0" + "1"));
    // Seven bytes whose byte 6 is a digit other than 0: not the defaults all together;
    // the missing fields read as 0 / false, and each number outside its set as its default.
    RecordingSettings s = ReadAsProgram("xxxxxx8");
    EXPECT_EQ(s.bitsPerSample, 8);
    EXPECT_EQ(s.sampleRate, 44100);
    EXPECT_EQ(s.channels, 2);
    EXPECT_FALSE(s.keepWav);
    RecordingSettings absent{};
    ApplyDefaultsIfNeeded(false, &absent);
    ExpectDefaults(absent);
}

TEST(SettingsFile, NumbersReadLikeTheDecimalConversion) {
    // Leading blanks, a sign, digits up to the first other character.
    std::string bytes = "xxxxxx 8+2205x-1";
    bytes += '\0';
    bytes += "911";
    RecordingSettings s = Decode(bytes);
    EXPECT_EQ(s.bitsPerSample, 8);
    EXPECT_EQ(s.sampleRate, 2205);
    EXPECT_EQ(s.channels, 0);
    EXPECT_EQ(s.mp3BitRate, static_cast<uint16_t>(-1));
    EXPECT_EQ(s.sourceIndex, 9);   // as read; ApplyDefaultsIfNeeded settles it
    s = Decode("xxxxxx9999999999999999");
    EXPECT_EQ(s.bitsPerSample, 99);
    EXPECT_EQ(s.sampleRate, 99999);
    EXPECT_EQ(s.mp3BitRate, 999);
}

// A value outside its set is never used, nor written back: it reads as its default,
// field by field, while the valid fields around it stay.
TEST(SettingsFile, ValuesOutsideTheirSetsReadAndWriteAsDefaults) {
    std::string bytes = std::string("xxxxxx") + "24" + "99999" + "0" + "655" + "9" + "0" + "1";
    RecordingSettings s = ReadAsProgram(bytes);
    ExpectDefaults(RecordingSettings{s.bitsPerSample, s.sampleRate, s.channels, s.mp3BitRate, s.sourceIndex, true,
                                     false});
    EXPECT_FALSE(s.keepWav);
    EXPECT_TRUE(s.convertToMp3);
    s = ReadAsProgram(std::string("xxxxxx") + "8" + '\0' + "-4410" + "3" + "64" + '\0' + "4" + "11");
    EXPECT_EQ(s.bitsPerSample, 8);
    EXPECT_EQ(s.sampleRate, 44100);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.mp3BitRate, 64);
    EXPECT_EQ(s.sourceIndex, 4);
    // What a WAV file's header or a fault put into the record is not written.
    RecordingSettings odd{65535, 48000, 6, 100, -1, true, false};
    EXPECT_EQ(Encode(odd).substr(6), "1644100212811" "0");
    odd = RecordingSettings{8, 22050, 1, 32, 3, false, true};
    EXPECT_EQ(Encode(odd).substr(6), std::string("8") + '\0' + "22050" "1" "32" + '\0' + "3" "0" "1");
}

TEST(SettingsFile, AnyBytesDecodeWithoutFault) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 4 == 0 ? "0123456789 -+"[random() % 13] : random());
        RecordingSettings s = ReadAsProgram(bytes);
        RecordingSettings allowed = s;
        KeepToAllowedValues(&allowed);
        ASSERT_EQ(std::make_tuple(s.bitsPerSample, s.sampleRate, s.channels, s.mp3BitRate, s.sourceIndex),
                  std::make_tuple(allowed.bitsPerSample, allowed.sampleRate, allowed.channels, allowed.mp3BitRate,
                                  allowed.sourceIndex))
            << "a value outside its set was read";
        // What was read survives a write and a read-back when it fits the fields.
        if (s.bitsPerSample < 100 && s.sampleRate >= 0 && s.sampleRate < 100000 && s.channels < 10 &&
            s.mp3BitRate < 1000 && s.sourceIndex >= 0 && s.sourceIndex < 10) {
            RecordingSettings back = ReadAsProgram(Encode(s));
            EXPECT_EQ(back.bitsPerSample, s.bitsPerSample);
            EXPECT_EQ(back.sampleRate, s.sampleRate);
            EXPECT_EQ(back.mp3BitRate, s.mp3BitRate);
            EXPECT_EQ(back.keepWav, s.keepWav);
        }
    }
}

}  // namespace
