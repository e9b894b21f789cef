// The MP3 path's plain rules: the configuration and tag records as the converter fills
// them and the encoder library reads them, what the library accepts, the sizes it
// reports, the tag's texts, where the sound of a WAV file lies, and the converter's file
// name, chunks and progress.
#include <FLAC/stream_encoder.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conversion_plan.h"
#include "encoder_config.h"
#include "flac_plan.h"
#include "mp3_tag.h"
#include "riff_builder.h"
#include "tag_record.h"
#include "wav_layout.h"

namespace {

using lameenc::EncoderConfig;

TEST(EncoderConfigRecord, WhatTheConverterFillsTheLibraryReadsBack) {
    static_assert(mp3::kEncoderConfigBytes == lameenc::kConfigBytes, "one record size on both sides");
    for (unsigned kbps : {32u, 64u, 128u, 320u}) {
        uint8_t record[mp3::kEncoderConfigBytes];
        memset(record, 0xAA, sizeof record);   // nothing of an earlier record may survive
        mp3::FillEncoderConfig(record, kbps);
        EncoderConfig config = lameenc::ReadConfig(record);
        EXPECT_EQ(config.kind, 0u);
        EXPECT_EQ(config.sampleRate, 44100u);
        EXPECT_EQ(config.mode, 0);
        EXPECT_EQ(config.kbps, kbps);
        EXPECT_FALSE(config.privateBit || config.crc || config.copyright || config.original);
        EXPECT_TRUE(lameenc::Acceptable(config)) << kbps;
    }
    // The layout itself, byte by byte: little-endian, no gaps.
    uint8_t record[mp3::kEncoderConfigBytes];
    mp3::FillEncoderConfig(record, 320);
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0x44, 0xAC, 0, 0, 0, 0x40, 0x01, 0, 0, 0,
                                           0, 0, 0, 0, 0, 0, 0,    0, 0, 0, 0,    0,    0};
    EXPECT_EQ(std::vector<uint8_t>(record, record + sizeof record), expected);
}

TEST(EncoderConfigRecord, EachFlagIsReadFromItsOwnFourBytes) {
    struct Case {
        size_t offset;
        bool EncoderConfig::*flag;
    } cases[] = {{11, &EncoderConfig::privateBit},
                 {15, &EncoderConfig::crc},
                 {19, &EncoderConfig::copyright},
                 {23, &EncoderConfig::original}};
    for (const Case& c : cases) {
        for (size_t byte = 0; byte < 4; ++byte) {   // any non-zero byte of the field sets it
            uint8_t record[lameenc::kConfigBytes];
            mp3::FillEncoderConfig(record, 128);
            record[c.offset + byte] = 1;
            EncoderConfig config = lameenc::ReadConfig(record);
            EXPECT_TRUE(config.*c.flag) << "offset " << c.offset << " + " << byte;
            int set = config.privateBit + config.crc + config.copyright + config.original;
            EXPECT_EQ(set, 1) << "offset " << c.offset << " + " << byte << " set another flag too";
            EXPECT_EQ(config.kbps, 128);
        }
    }
}

TEST(EncoderConfigRecord, OnlyMpeg1StereoAt44100AndAFrameBitRateIsAccepted) {
    uint8_t base[lameenc::kConfigBytes];
    mp3::FillEncoderConfig(base, 128);
    auto accepted = [&](size_t offset, uint8_t value) {
        uint8_t record[lameenc::kConfigBytes];
        memcpy(record, base, sizeof record);
        record[offset] = value;
        return lameenc::Acceptable(lameenc::ReadConfig(record));
    };
    EXPECT_FALSE(accepted(0, 1)) << "a kind other than MP3";
    EXPECT_FALSE(accepted(3, 1)) << "the kind's high byte";
    EXPECT_FALSE(accepted(4, 0x80)) << "48,000 Hz";
    EXPECT_FALSE(accepted(6, 1)) << "a sample rate beyond 65,535";
    EXPECT_FALSE(accepted(8, 1)) << "joint stereo";
    EXPECT_FALSE(accepted(8, 3)) << "mono";
    for (unsigned kbps : {0u, 8u, 100u, 129u, 384u, 448u, 128u + 256u * 256u})
        EXPECT_FALSE(lameenc::IsMpeg1Layer3BitRate(kbps)) << kbps;
    for (unsigned kbps : {32u, 40u, 48u, 56u, 64u, 80u, 96u, 112u, 128u, 160u, 192u, 224u, 256u, 320u})
        EXPECT_TRUE(lameenc::IsMpeg1Layer3BitRate(kbps)) << kbps;
}

TEST(EncoderSizes, OneFrameAChunkAndRoomForLamesWorstCase) {
    EXPECT_EQ(lameenc::kChunkSamples, 2304u);
    // lame.h: worst case 1.25 × samples per channel + 7,200 bytes; a flush at most 7,200.
    EXPECT_GE(lameenc::kOutputBufferBytes, 1.25 * 1152 + 7200);
    EXPECT_GE(lameenc::WorstCaseBytes(1), 1.25 * 1 + 7200);
    EXPECT_GE(lameenc::WorstCaseBytes(3), 1.25 * 3 + 7200);
    EXPECT_TRUE(lameenc::ChunkSampleCountFits(0));
    EXPECT_TRUE(lameenc::ChunkSampleCountFits(392));
    EXPECT_TRUE(lameenc::ChunkSampleCountFits(2304));
    EXPECT_FALSE(lameenc::ChunkSampleCountFits(2306)) << "more than a chunk could overrun the output buffer";
    EXPECT_FALSE(lameenc::ChunkSampleCountFits(391)) << "half a stereo pair";
    EXPECT_TRUE(mp3::EncoderSizesUsable(lameenc::kChunkSamples, lameenc::kOutputBufferBytes));
    EXPECT_FALSE(mp3::EncoderSizesUsable(0, 8640));
    EXPECT_FALSE(mp3::EncoderSizesUsable(2303, 8640));
    EXPECT_FALSE(mp3::EncoderSizesUsable(2304, 0));
    EXPECT_FALSE(mp3::EncoderSizesUsable(0xFFFFFFFEu, 8640)) << "twice the samples would wrap";
}

// ---- the tag ----

lameenc::TagFields ReadBack(const mp3::Mp3Tag& tag) {
    uint8_t record[mp3::kTagRecordBytes];
    memset(record, 0xAA, sizeof record);
    mp3::FillTagRecord(tag, record);
    lameenc::TagFields fields;
    EXPECT_EQ(lameenc::ReadTagRecord(record, sizeof record, &fields), lameenc::TagRecordProblem::kNone);
    return fields;
}

// (Every field's way through the library to a tag reader: the end-to-end test.)
TEST(TagRecord, WhatTheConverterFillsTheLibraryReadsBack) {
    static_assert(mp3::kTagRecordBytes == lameenc::kTagRecordBytes, "one record size on both sides");
    ReleaseNames release;
    release.artist = "AC/DC";
    release.year = "1992-10-27";
    release.trackTotal = 12;
    release.releaseId = "a1b2c3d4-0000-1111-2222-333344445555";
    TrackNames track;
    track.number = 3;
    track.recordingId = "0f0e0d0c-0b0a-0908-0706-050403020100";
    lameenc::TagFields fields = ReadBack(mp3::TagFromNames(release, track));
    EXPECT_EQ(fields.artist, "AC/DC") << "the release's artist for a track without its own";
    EXPECT_EQ(lameenc::YearText(fields.year), "1992") << fields.year;   // the date is cut to its field
    EXPECT_EQ(lameenc::TrackText(fields.track, fields.trackTotal), "3/12");
    EXPECT_EQ(fields.releaseId + fields.recordingId, release.releaseId + track.recordingId);
    track.artist = "Guest";
    EXPECT_EQ(ReadBack(mp3::TagFromNames(release, track)).artist, "Guest");

    // Texts too long for their fields are cut between characters, never inside one.
    mp3::Mp3Tag tag;
    tag.title = std::string(254, 'x') + "é";      // 256 bytes: the two-byte é does not fit
    tag.album = std::string(252, 'x') + "駆";     // exactly 255 bytes fits
    tag.artist = std::string(300, 'y');
    tag.track = 70000;                             // beyond the field: left out
    tag.trackTotal = -1;
    fields = ReadBack(tag);
    EXPECT_EQ(fields.title, std::string(254, 'x'));
    EXPECT_EQ(fields.album, tag.album);
    EXPECT_EQ(fields.artist, std::string(255, 'y'));
    EXPECT_EQ(fields.track, 0u);
    EXPECT_EQ(fields.trackTotal, 0u);
    EXPECT_FALSE(lameenc::HasAnythingToTag(ReadBack(mp3::Mp3Tag())));
}

TEST(TagRecord, AShortOrUnterminatedRecordIsRefused) {
    uint8_t record[lameenc::kTagRecordBytes];
    mp3::Mp3Tag tag;
    tag.title = "t";
    mp3::FillTagRecord(tag, record);
    lameenc::TagFields fields;
    EXPECT_EQ(lameenc::ReadTagRecord(record, sizeof record - 1, &fields), lameenc::TagRecordProblem::kTooShort);
    record[0] = 0x87;   // the size field says 903
    EXPECT_EQ(lameenc::ReadTagRecord(record, sizeof record, &fields), lameenc::TagRecordProblem::kTooShort);
    record[0] = 0x88;
    struct Field {
        size_t offset, size;
    } fields_[] = {{8, 256}, {776, 8}, {864, 40}};   // the title, the year, the last id
    for (const Field& f : fields_) {
        uint8_t broken[lameenc::kTagRecordBytes];
        memcpy(broken, record, sizeof broken);
        memset(broken + f.offset, 'z', f.size);   // no NUL left in the field
        EXPECT_EQ(lameenc::ReadTagRecord(broken, sizeof broken, &fields), lameenc::TagRecordProblem::kUnterminated)
            << f.offset;
        broken[f.offset + f.size - 1] = 0;
        EXPECT_EQ(lameenc::ReadTagRecord(broken, sizeof broken, &fields), lameenc::TagRecordProblem::kNone);
    }
}

TEST(TagText, Utf8BecomesUtf16AndMalformedBytesTheReplacementCharacter) {
    EXPECT_EQ(lameenc::Utf16FromUtf8("AC/DC: Live?"), u"AC/DC: Live?");
    EXPECT_EQ(lameenc::Utf16FromUtf8("Björk 夜"), u"Björk 夜");
    EXPECT_EQ(lameenc::Utf16FromUtf8("\xF0\x9F\x8E\xB5"), std::u16string({0xD83C, 0xDFB5}));   // U+1F3B5
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {"a stray continuation byte", "a\x80" "b", u"a\uFFFD" "b"},
        {"a sequence cut by another character", "\xE5\x9Bx", u"\uFFFDx"},
        {"a sequence cut by the end", "x\xE5\x9B", u"x\uFFFD"},
        {"an overlong slash", "\xC0\xAF", u"\uFFFD"},
        {"a surrogate", "\xED\xA0\x80", u"\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD"},
        {"no lead byte has five bytes", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) EXPECT_EQ(lameenc::Utf16FromUtf8(c.bytes), c.units) << c.what;
    std::string latin1;
    EXPECT_TRUE(lameenc::Latin1FromUtf16(u"Björk ÿ", &latin1));
    EXPECT_EQ(latin1, "Bj\xF6rk \xFF");
    EXPECT_FALSE(lameenc::Latin1FromUtf16(u"Dvořák", &latin1)) << "ř is not in ISO-8859-1";
    EXPECT_FALSE(lameenc::Latin1FromUtf16(u"€", &latin1));
}

TEST(TagText, TrackYearAndIdsAreWrittenOnlyInTheirForms) {
    EXPECT_EQ(lameenc::TrackText(3, 12), "3/12");
    EXPECT_EQ(lameenc::TrackText(12, 12), "12/12");
    EXPECT_EQ(lameenc::TrackText(3, 0), "3");
    EXPECT_EQ(lameenc::TrackText(13, 12), "13") << "a count smaller than the number is not written";
    EXPECT_EQ(lameenc::TrackText(0, 12), "");
    for (const char* year : {"1997", "1997-03", "1997-03-12"}) EXPECT_EQ(lameenc::YearText(year), "1997") << year;
    for (const char* year : {"", "97", "199x", "19971", "c.1997"}) EXPECT_EQ(lameenc::YearText(year), "") << year;
    EXPECT_TRUE(lameenc::IsMusicBrainzId("a1b2c3d4-0000-1111-2222-333344445555"));
    EXPECT_TRUE(lameenc::IsMusicBrainzId("A1B2C3D4-0000-1111-2222-333344445555"));
    EXPECT_FALSE(lameenc::IsMusicBrainzId("a1b2c3d4-0000-1111-2222-33334444555"));
    EXPECT_FALSE(lameenc::IsMusicBrainzId("a1b2c3d4-0000-1111-2222=333344445555")) << "'=' would part a TXXX frame";
    EXPECT_FALSE(lameenc::IsMusicBrainzId("g1b2c3d4-0000-1111-2222-333344445555"));
    lameenc::TagFields ids;
    ids.artistId = "66372d8b-1e5e-4e8b-a8a7-1ee1b1d2a7d3";
    EXPECT_TRUE(lameenc::HasAnythingToTag(ids));
    ids.artistId = "unknown";
    ids.year = "n/a";
    EXPECT_FALSE(lameenc::HasAnythingToTag(ids)) << "nothing a frame would carry";
}

TEST(TagText, TheTitleOfAFileIsItsNameWithoutFolderAndEnding) {
    EXPECT_EQ(mp3::TitleFromPath("c:\\music\\take1.wav"), "take1");
    EXPECT_EQ(mp3::TitleFromPath("c:\\my.music\\take.one.wav"), "take.one");
    EXPECT_EQ(mp3::TitleFromPath("c:\\my.music\\take1"), "take1");
    EXPECT_EQ(mp3::TitleFromPath("d:song.wav"), "song");
    EXPECT_EQ(mp3::TitleFromPath("/tmp/x/.wav"), "");
    EXPECT_EQ(CutUtf8("駆駆", 5), "駆");
    EXPECT_EQ(CutUtf8("駆駆", 6), "駆駆");
    EXPECT_EQ(CutUtf8("駆", 2), "");
}

std::string Mp3Path(const std::string& wav, size_t size = 260) {
    std::vector<char> out(size + 1, '#');
    if (!mp3::Mp3PathFor(wav.c_str(), out.data(), size)) return "(does not fit)";
    EXPECT_EQ(out[size], '#') << "wrote past the buffer";
    return out.data();
}

TEST(Mp3Name, TheFileNamesEndingBecomesMp3) {
    EXPECT_EQ(Mp3Path("c:\\music\\take1.wav"), "c:\\music\\take1.mp3");
    EXPECT_EQ(Mp3Path("c:\\my.music\\take1.wav"), "c:\\my.music\\take1.mp3");
    EXPECT_EQ(Mp3Path("c:\\my.music\\take.one.wav"), "c:\\my.music\\take.one.mp3");
    EXPECT_EQ(Mp3Path("take1.wav"), "take1.mp3");
    // No dot in the file name: a dot in a folder name must not cut the path.
    EXPECT_EQ(Mp3Path("c:\\my.music\\take1"), "c:\\my.music\\take1.mp3");
    EXPECT_EQ(Mp3Path("/my.music/take1"), "/my.music/take1.mp3");
    EXPECT_EQ(Mp3Path("d:take1"), "d:take1.mp3");
}

TEST(Mp3Name, ALongPathFitsExactlyOrIsRefused) {
    std::string wav = "c:\\" + std::string(247, 'x') + ".wav";   // 254 characters, the field's most
    EXPECT_EQ(Mp3Path(wav, 255), wav.substr(0, 250) + ".mp3");
    EXPECT_EQ(Mp3Path(wav, 254), "(does not fit)");
    std::string bare = "c:\\" + std::string(251, 'x');            // 254 characters without a dot
    EXPECT_EQ(Mp3Path(bare, 259), bare + ".mp3");
    EXPECT_EQ(Mp3Path(bare, 258), "(does not fit)");
    EXPECT_EQ(Mp3Path("a.wav", 0), "(does not fit)");
}

// The FLAC file's name follows the MP3's rules; its tags are the release's where known.
TEST(FlacPlan, NameTagsAndSamples) {
    char out[16] = {};
    EXPECT_TRUE(mp3::FlacPathFor("c:\\my.m\\a.wav", out, 15));
    EXPECT_STREQ(out, "c:\\my.m\\a.flac");
    EXPECT_FALSE(mp3::FlacPathFor("c:\\my.m\\a.wav", out, 14));
    EXPECT_TRUE(mp3::FlacPathFor("d:take", out, sizeof out));
    EXPECT_STREQ(out, "d:take.flac");
    mp3::FlacTags bare;
    bare.title = "Blue\r\nMoon";
    EXPECT_EQ(mp3::VorbisComments(bare), std::vector<std::string>{"TITLE=Blue  Moon"}) << "nothing else is known";
    ReleaseNames release;
    release.artist = "Quartet";
    release.album = "Live";
    release.year = "1997";
    release.releaseId = "r-id";
    release.artistId = "a-id";
    release.tracks = {{1, "Intro", "", "", "t1-id"}, {2, "", "Guest", "", ""}};
    release.trackTotal = 2;
    EXPECT_EQ(mp3::VorbisComments(mp3::TagFromNames(release, release.tracks[0])),
              (std::vector<std::string>{"TITLE=Intro", "ARTIST=Quartet", "ALBUM=Live", "DATE=1997", "TRACKNUMBER=1",
                                        "TRACKTOTAL=2", "MUSICBRAINZ_ALBUMID=r-id", "MUSICBRAINZ_ARTISTID=a-id",
                                        "MUSICBRAINZ_TRACKID=t1-id"}));

    // 16-bit little-endian samples as they are, 8-bit ones centred; a torn frame is left.
    const uint8_t pcm16[] = {0x01, 0x80, 0xFF, 0x7F, 0xFE, 0xFF, 0x00, 0x00, 0x12};
    int32_t samples[9] = {};
    EXPECT_EQ(mp3::ToFlacSamples(pcm16, sizeof pcm16, 16, 2, samples), 2u);
    EXPECT_EQ(std::vector<int32_t>(samples, samples + 4), (std::vector<int32_t>{-32767, 32767, -2, 0}));
    const uint8_t pcm8[] = {0, 128, 255};
    EXPECT_EQ(mp3::ToFlacSamples(pcm8, sizeof pcm8, 8, 1, samples), 3u);
    EXPECT_EQ(std::vector<int32_t>(samples, samples + 3), (std::vector<int32_t>{-128, 0, 127}));

    mp3::WavLayout layout;
    layout.kind = mp3::WavLayoutKind::kChunks;
    layout.formatTag = 1, layout.channels = 1, layout.sampleRate = 11025, layout.bitsPerSample = 8;
    EXPECT_TRUE(mp3::FlacTakes(layout)) << "any format the program records";
    layout.bitsPerSample = 24;
    EXPECT_FALSE(mp3::FlacTakes(layout));
    layout.bitsPerSample = 16, layout.formatTag = 3;
    EXPECT_FALSE(mp3::FlacTakes(layout)) << "floating point";
}

// libFLAC's switch for the MD5 of the audio, exported but left out of its headers.
extern "C" FLAC__bool FLAC__stream_encoder_set_do_md5(FLAC__StreamEncoder* encoder, FLAC__bool value);

// A FLAC stream libFLAC writes into memory, with STREAMINFO finished in place when it
// can seek; `frames` gets each frame as written, the stream does not when `framesOnly`.
struct FlacInMemory {
    std::string bytes;
    size_t at = 0;
    bool framesOnly = false;
    std::vector<std::string> frames;

    static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte* data, size_t n,
                                                uint32_t samples, uint32_t, void* self) {
        auto* m = static_cast<FlacInMemory*>(self);
        if (samples > 0) m->frames.emplace_back(reinterpret_cast<const char*>(data), n);
        if (m->framesOnly) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
        if (m->bytes.size() < m->at + n) m->bytes.resize(m->at + n);
        memcpy(&m->bytes[m->at], data, n);
        m->at += n;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }
    static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 to, void* self) {
        static_cast<FlacInMemory*>(self)->at = static_cast<size_t>(to);
        return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    }
    static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* at, void* self) {
        *at = static_cast<FlacInMemory*>(self)->at;
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

// Level 5, verified, stereo 16-bit at 44.1 kHz, as the program encodes.
FlacInMemory EncodeFlac(const std::vector<int32_t>& samples, bool md5, bool seekable) {
    FlacInMemory out;
    out.framesOnly = !seekable;
    FLAC__StreamEncoder* e = FLAC__stream_encoder_new();
    EXPECT_TRUE(FLAC__stream_encoder_set_verify(e, true) && FLAC__stream_encoder_set_compression_level(e, 5) &&
                FLAC__stream_encoder_set_channels(e, 2) && FLAC__stream_encoder_set_bits_per_sample(e, 16) &&
                FLAC__stream_encoder_set_sample_rate(e, 44100) && FLAC__stream_encoder_set_do_md5(e, md5));
    EXPECT_EQ(FLAC__stream_encoder_init_stream(e, FlacInMemory::Write, seekable ? FlacInMemory::Seek : nullptr,
                                               seekable ? FlacInMemory::Tell : nullptr, nullptr, &out),
              FLAC__STREAM_ENCODER_INIT_STATUS_OK);
    EXPECT_TRUE(FLAC__stream_encoder_process_interleaved(e, samples.data(), static_cast<uint32_t>(samples.size() / 2)));
    EXPECT_TRUE(FLAC__stream_encoder_finish(e));
    FLAC__stream_encoder_delete(e);
    return out;
}

// Two encoders, each on its part, make the file one encoder makes, byte for byte: the
// second part's frames numbered on (across the number's longer coding at 128) and
// STREAMINFO finished for the whole.
TEST(FlacPlan, TwoPartsMakeTheFileOfOneEncoder) {
    const uint64_t frames = 250 * mp3::kFlacBlockSize + 1000;   // a short last frame
    const uint64_t first = mp3::FlacFirstPart(frames);
    ASSERT_EQ(first, 125u * mp3::kFlacBlockSize);
    EXPECT_EQ(mp3::FlacFirstPart(16 * mp3::kFlacBlockSize - 1), 0u) << "too short for two";
    std::vector<int32_t> samples(frames * 2);
    std::mt19937 noise(7);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int32_t>(8000 * std::sin(i * 0.0007) + static_cast<int>(noise() % 600) - 300);
    const FlacInMemory whole = EncodeFlac(samples, true, true);
    FlacInMemory one = EncodeFlac(std::vector<int32_t>(samples.begin(), samples.begin() + first * 2), false, true);
    const FlacInMemory two = EncodeFlac(std::vector<int32_t>(samples.begin() + first * 2, samples.end()), false, false);
    std::string made = one.bytes;
    uint32_t smallest = UINT32_MAX, largest = 0;
    for (const std::string& frame : one.frames)
        smallest = std::min<uint32_t>(smallest, frame.size()), largest = std::max<uint32_t>(largest, frame.size());
    std::vector<uint8_t> renumbered;
    for (const std::string& frame : two.frames) {
        ASSERT_TRUE(mp3::RenumberFlacFrame(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), 125,
                                           &renumbered));
        made.append(renumbered.begin(), renumbered.end());
        smallest = std::min<uint32_t>(smallest, renumbered.size()), largest = std::max<uint32_t>(largest, renumbered.size());
    }
    ASSERT_GT(whole.bytes.size(), 42u);
    uint8_t md5[16];
    memcpy(md5, whole.bytes.data() + 8 + 18, 16);   // "fLaC", the block's header, 18 bytes to the MD5
    mp3::FinishStreamInfo(reinterpret_cast<uint8_t*>(&made[8]), frames, smallest, largest, md5);
    EXPECT_TRUE(made == whole.bytes) << "sizes " << made.size() << " and " << whole.bytes.size();

    // What is no frame of a fixed-block-size stream is refused, a header that fails its check too.
    std::string frame = two.frames[1];
    auto* bytes = reinterpret_cast<uint8_t*>(&frame[0]);
    renumbered.assign(3, 9);
    EXPECT_FALSE(mp3::RenumberFlacFrame(bytes, 5, 1, &renumbered)) << "cut";
    EXPECT_FALSE(mp3::RenumberFlacFrame(bytes, frame.size(), 0x7FFFFFFF, &renumbered)) << "past 31 bits";
    bytes[3] ^= 0x10;
    EXPECT_FALSE(mp3::RenumberFlacFrame(bytes, frame.size(), 1, &renumbered)) << "header CRC";
    bytes[3] ^= 0x10, bytes[1] = 0xF9;
    EXPECT_FALSE(mp3::RenumberFlacFrame(bytes, frame.size(), 1, &renumbered)) << "variable block size";
    EXPECT_EQ(renumbered, std::vector<uint8_t>(3, 9));

    uint8_t pcm8[] = {0, 128, 255};
    mp3::ToFlacMd5Input(pcm8, 3, 8);
    EXPECT_EQ(std::vector<uint8_t>(pcm8, pcm8 + 3), (std::vector<uint8_t>{0x80, 0, 0x7F})) << "8-bit sound signed";
}

TEST(ConversionPlan, ChunksOfAFileWith10000SoundBytes) {
    std::vector<int64_t> reads;
    std::vector<int> percents;
    std::vector<uint32_t> samples;
    const int64_t total = 10000, chunk = 2 * 2304;
    for (int64_t done = 0; done < total;) {
        int64_t n = mp3::NextChunkBytes(total, done, chunk);
        reads.push_back(n);
        samples.push_back(mp3::SamplesToEncode(n));
        done += n;
        percents.push_back(mp3::ProgressPercent(done, total));
        ASSERT_LT(reads.size(), 10u);
    }
    EXPECT_EQ(reads, (std::vector<int64_t>{4608, 4608, 784}));
    EXPECT_EQ(samples, (std::vector<uint32_t>{2304, 2304, 392}));
    EXPECT_EQ(percents, (std::vector<int>{46, 92, 100}));
    // A chunk that exactly fills the file is the last one.
    EXPECT_EQ(mp3::NextChunkBytes(9216, 4608, chunk), 4608);
    // A truncated file's last half stereo pair is not handed to the encoder.
    EXPECT_EQ(mp3::SamplesToEncode(786), 392u);
    EXPECT_EQ(mp3::SamplesToEncode(3), 0u);
}

// ---- where the sound of a WAV file lies ----

using riff::Chunk;
using riff::ExtensibleBody;
using riff::FormatBody;
using riff::kPcmGuid;
using riff::Le;
using riff::Riff;

mp3::WavLayout Layout(const std::string& file) {
    return mp3::FindWavLayout(reinterpret_cast<const uint8_t*>(file.data()), file.size(), file.size());
}

TEST(WavLayout, TheDataChunkIsFoundWhereverItLies) {
    const std::string sound(10000, 's'), cd = FormatBody(1, 2, 44100, 16);
    const std::string list = Chunk("LIST", "INFOISFT" + Le(5, 4) + "Tool\0");   // odd: padded
    struct Case {
        const char* what;
        std::string file;
        uint64_t offset;
    } cases[] = {
        {"canonical, a chunk after the sound", Riff(Chunk("fmt ", cd) + Chunk("data", sound) + list), 44},
        {"LIST before the format", Riff(list + Chunk("fmt ", cd) + Chunk("data", sound)), 44 + list.size()},
        {"JUNK before the data", Riff(Chunk("fmt ", cd) + Chunk("JUNK", std::string(28, '\0')) + Chunk("data", sound)),
         44 + 36},
        {"an 18-byte format chunk", Riff(Chunk("fmt ", cd + Le(0, 2)) + Chunk("data", sound)), 46},
        {"extensible with the PCM sub-format", Riff(Chunk("fmt ", ExtensibleBody(kPcmGuid)) + Chunk("data", sound)),
         44 + 24},
    };
    for (const Case& c : cases) {
        mp3::WavLayout layout = Layout(c.file);
        EXPECT_EQ(layout.kind, mp3::WavLayoutKind::kChunks) << c.what;
        EXPECT_EQ(layout.dataOffset, c.offset) << c.what;
        EXPECT_EQ(layout.dataBytes, sound.size()) << c.what;
        EXPECT_EQ(c.file.substr(layout.dataOffset, layout.dataBytes), sound) << c.what;
        EXPECT_TRUE(mp3::IsCdFormat(layout) && mp3::HasSound(layout)) << c.what;
    }
    // A data size of 0 (never filled in) or past the end of the file: up to the end.
    std::string placeholder = Riff(Chunk("fmt ", cd)) + "data" + Le(0, 4) + sound;
    EXPECT_EQ(Layout(placeholder).dataBytes, sound.size());
    std::string cut = Riff(Chunk("fmt ", cd) + Chunk("data", sound)).substr(0, 44 + 5000);
    EXPECT_EQ(Layout(cut).dataBytes, 5000u);
    EXPECT_EQ(Layout(Riff(Chunk("fmt ", cd) + Chunk("data", ""))).dataBytes, 0u);
}

TEST(WavLayout, CompressedOrFloatSoundIsRefusedAndOtherFormatsReported) {
    const std::string sound(400, 's');
    const std::string floatGuid = std::string(1, '\x03') + kPcmGuid.substr(1);
    const std::string noSubFormat = FormatBody(0xFFFE, 2, 44100, 16);
    for (const std::string& format :
         {FormatBody(0x55, 2, 44100, 0), FormatBody(3, 2, 44100, 32), ExtensibleBody(floatGuid), noSubFormat}) {
        mp3::WavLayout layout = Layout(Riff(Chunk("fmt ", format) + Chunk("data", sound)));
        EXPECT_EQ(layout.kind, mp3::WavLayoutKind::kNotPcm);
        EXPECT_FALSE(mp3::IsCdFormat(layout) || mp3::HasSound(layout));
    }
    mp3::WavLayout low = Layout(Riff(Chunk("fmt ", FormatBody(1, 1, 22050, 8)) + Chunk("data", sound)));
    EXPECT_EQ(low.kind, mp3::WavLayoutKind::kChunks);
    EXPECT_EQ(low.channels, 1);
    EXPECT_EQ(low.sampleRate, 22050u);
    EXPECT_EQ(low.bitsPerSample, 8);
    EXPECT_FALSE(mp3::IsCdFormat(low));
}

TEST(WavLayout, WithoutAChunkListTheCanonicalLayoutHolds) {
    std::string canonical = Riff(Chunk("fmt ", FormatBody(1, 2, 44100, 16)) + Chunk("data", std::string(100, 's')));
    std::string raw = "NOTRIFF!" + canonical.substr(8);
    std::string broken = canonical;
    broken.replace(40, 4, Le(0, 4));
    broken.replace(16, 4, Le(0x7FFFFFF0, 4));   // a format chunk running past the end
    std::string dataFirst = Riff(Chunk("data", std::string(100, 's')) + Chunk("fmt ", FormatBody(1, 2, 44100, 16)));
    for (const std::string& file : {raw, broken, dataFirst}) {
        mp3::WavLayout layout = Layout(file);
        EXPECT_EQ(layout.kind, mp3::WavLayoutKind::kCanonical);
        EXPECT_EQ(layout.dataOffset, 44u);
        EXPECT_EQ(layout.dataBytes, file.size() - 44);
    }
    EXPECT_TRUE(mp3::IsCdFormat(Layout(raw)));
    // Cut inside the header: the format fields it holds, but no sound.
    mp3::WavLayout cut = Layout(canonical.substr(0, 40));
    EXPECT_EQ(cut.kind, mp3::WavLayoutKind::kTooShort);
    EXPECT_TRUE(mp3::IsCdFormat(cut));
    EXPECT_FALSE(mp3::HasSound(cut));
    EXPECT_FALSE(mp3::IsCdFormat(Layout(canonical.substr(0, 35))));
    EXPECT_FALSE(mp3::HasSound(Layout("")));
}

TEST(WavLayout, AnyBytesGiveSoundInsideTheFile) {
    std::mt19937 random(6);
    const std::string pieces[] = {"RIFF", "WAVE", "fmt ", "data", "LIST", Le(16, 4), Le(1, 2), Le(0xFFFFFFFF, 4)};
    for (int round = 0; round < 20000; ++round) {
        std::string file;
        while (file.size() < random() % 120)
            file += random() % 2 ? pieces[random() % 8] : std::string(1, static_cast<char>(random()));
        size_t head = random() % 3 == 0 ? file.size() / 2 : file.size();
        mp3::WavLayout layout =
            mp3::FindWavLayout(reinterpret_cast<const uint8_t*>(file.data()), head, file.size());
        if (mp3::HasSound(layout)) {
            ASSERT_LE(layout.dataOffset + layout.dataBytes, file.size()) << round;
        }
    }
}

TEST(ConversionPlan, ACompleteMp3HasAFrameForEvery1152Pairs) {
    EXPECT_EQ(mp3::LeastMp3Bytes(0, 128), 0u);
    EXPECT_EQ(mp3::LeastMp3Bytes(1, 128), 417u);
    EXPECT_EQ(mp3::LeastMp3Bytes(1152, 128), 417u);
    EXPECT_EQ(mp3::LeastMp3Bytes(1153, 320), 2u * 1044u);
    EXPECT_EQ(mp3::LeastMp3Bytes(44100 * 30, 32), 1149u * 104u);
}

}  // namespace
