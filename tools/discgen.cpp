// The disc generator's material and image writer.
//
// Every sample is a pure function of (seed, track, absolute sample index) computed in
// integer arithmetic only, so the native tools, the MinGW-built rig and the tests
// all compute bit-identical material. Each track has its own root pitch, tempo and
// melody; a drone keeps every frame audible, and a hash of the sample index adds a
// little noise so that no frame equals another anywhere on a disc.
#include "discgen.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "disc.h"
#include "soundcard.h"

namespace discgen {
namespace {

constexpr int32_t kOne = 16384;  // 1.0 in the Q14 fixed point used below

uint64_t Mix64(uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return x;
}

uint64_t Hash(uint32_t seed, int track, uint64_t index, uint32_t salt) {
    uint64_t h = Mix64(seed * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(track) * 0xD1B54A32D192ED03ULL + salt);
    return Mix64(h ^ (index * 0xA24BAED4963EE407ULL));
}

// Sine of a 32-bit phase (a full turn is 2^32) in Q14: a parabola refined by a
// second parabola, within about 0.1 % of the true sine.
int32_t Sine(uint32_t phase) {
    int32_t x = static_cast<int32_t>(phase >> 16) - (phase >> 31 ? 65536 : 0);  // -32768..32767 is -pi..pi
    int32_t ax = x < 0 ? -x : x;
    int32_t y = x * (32768 - ax) / 16384;  // 4x(1-|x|), Q14
    int32_t ay = y < 0 ? -y : y;
    return y + (y * ay / kOne - y) * 225 / 1000;
}

// Phase step per sample for a frequency in milli-hertz.
uint32_t PhaseStep(uint32_t milliHz) {
    return static_cast<uint32_t>((static_cast<uint64_t>(milliHz) << 32) / 44100000ULL);
}

// Pentatonic scale steps in cents above the root.
const int kScaleCents[] = {0, 200, 400, 700, 900, 1200, 1400, 1600, 1900, 2100};

// Root frequency times 2^(cents/1200), in milli-hertz, by a table of semitones.
uint32_t Pitch(uint32_t rootMilliHz, int cents) {
    static const uint32_t kSemitoneQ16[] = {65536, 69433, 73562, 77936, 82570, 87480,
                                            92682, 98193, 104032, 110218, 116772, 123715};
    int semis = cents / 100;
    uint64_t f = static_cast<uint64_t>(rootMilliHz) * kSemitoneQ16[semis % 12] >> 16;
    return static_cast<uint32_t>(f << (semis / 12));
}

struct TrackVoice {
    uint32_t rootMilliHz;  // 110 to 220 Hz, per track
    uint32_t noteLength;   // samples per melody note, per track
};

TrackVoice VoiceOf(uint32_t seed, int track) {
    uint64_t h = Hash(seed, track, 0, 0x7261636B);
    TrackVoice v;
    v.rootMilliHz = 110000 + static_cast<uint32_t>(h % 110000);
    v.noteLength = 6000 + static_cast<uint32_t>((h >> 20) % 9000);
    return v;
}

// One melody voice at sample n: the note's pitch from a hash of the note number,
// with a short attack and a linear decay over the note, in Q14.
int32_t Melody(uint32_t seed, int track, const TrackVoice& v, uint64_t n, uint32_t voice) {
    uint64_t note = n / v.noteLength;
    uint32_t pos = static_cast<uint32_t>(n % v.noteLength);
    uint64_t h = Hash(seed, track, note, 0x6E6F7465 + voice);
    int cents = kScaleCents[h % (sizeof kScaleCents / sizeof kScaleCents[0])] + 1200 * static_cast<int>(voice + 1);
    uint32_t phase = PhaseStep(Pitch(v.rootMilliHz, cents)) * static_cast<uint32_t>(n);
    int32_t env = pos < 256 ? static_cast<int32_t>(pos) * kOne / 256
                            : static_cast<int32_t>((v.noteLength - pos) * static_cast<uint64_t>(kOne) / v.noteLength);
    return Sine(phase) * env / kOne;
}

// The sample pair at index n of a track whose voice is v.
void SampleAt(uint32_t seed, int track, const TrackVoice& v, uint64_t n, int16_t* left, int16_t* right) {
    // The drone's period is below one frame, so every frame swings well away from zero.
    int32_t drone = Sine(PhaseStep(v.rootMilliHz) * static_cast<uint32_t>(n));
    int32_t fifth = Sine(PhaseStep(v.rootMilliHz * 3 / 2) * static_cast<uint32_t>(n));
    int32_t m1 = Melody(seed, track, v, n, 0);
    int32_t m2 = Melody(seed, track, v, n + v.noteLength / 2, 1);
    uint64_t noise = Hash(seed, track, n, 0x6E6F6973);
    int32_t nl = static_cast<int32_t>(noise & 0x3FF) - 512;
    int32_t nr = static_cast<int32_t>(noise >> 10 & 0x3FF) - 512;
    // Peak: 3000 + 1500 + 7000 + 4000 + 512 stays below 32767.
    int32_t l = (drone * 3000 + fifth * 1500 + m1 * 7000 + m2 * 4000) / kOne + nl;
    int32_t r = (drone * 3000 + fifth * 1500 + m1 * 4000 + m2 * 7000) / kOne + nr;
    *left = static_cast<int16_t>(l);
    *right = static_cast<int16_t>(r);
}

// Appends `frames` frames of `track` to `out`, a second of them at a time.
void AppendTrack(uint32_t seed, int track, long frames, std::ofstream* out) {
    std::vector<uint8_t> chunk;
    for (long done = 0; done < frames; done += rig::kFramesPerSecond) {
        TrackFrames(seed, track, done, std::min<long>(rig::kFramesPerSecond, frames - done), &chunk);
        out->write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    }
}

uint8_t Bcd(int value) { return static_cast<uint8_t>(value / 10 << 4 | value % 10); }

// A mode 1 sector at disc address `lba`: the sync pattern, the header (the address as
// BCD minutes, seconds and frames, then mode 1) and an empty user area.
void DataSector(long lba, std::vector<uint8_t>* out) {
    out->assign(rig::kBytesPerFrame, 0);
    std::fill(out->begin() + 1, out->begin() + 11, 0xFF);
    rig::Msf msf = rig::FramesToMsf(lba + rig::kPregapFrames);
    (*out)[12] = Bcd(msf.m);
    (*out)[13] = Bcd(msf.s);
    (*out)[14] = Bcd(msf.f);
    (*out)[15] = 1;
}

}  // namespace

void TrackSample(uint32_t seed, int track, long frameInTrack, int pair, int16_t* left, int16_t* right) {
    const uint64_t n = static_cast<uint64_t>(frameInTrack) * rig::kSamplesPerFrame + static_cast<uint64_t>(pair);
    SampleAt(seed, track, VoiceOf(seed, track), n, left, right);
}

void TrackFrames(uint32_t seed, int track, long firstFrame, long frames, std::vector<uint8_t>* out) {
    out->assign(frames > 0 ? static_cast<size_t>(frames) * rig::kBytesPerFrame : 0, 0);
    uint8_t* p = out->data();
    const TrackVoice v = VoiceOf(seed, track);
    uint64_t n = static_cast<uint64_t>(firstFrame) * rig::kSamplesPerFrame;
    for (long f = 0; f < frames; ++f) {
        for (int i = 0; i < rig::kSamplesPerFrame; ++i, ++n) {
            int16_t l, r;
            SampleAt(seed, track, v, n, &l, &r);
            uint16_t ul = static_cast<uint16_t>(l), ur = static_cast<uint16_t>(r);
            *p++ = static_cast<uint8_t>(ul & 0xFF);
            *p++ = static_cast<uint8_t>(ul >> 8);
            *p++ = static_cast<uint8_t>(ur & 0xFF);
            *p++ = static_cast<uint8_t>(ur >> 8);
        }
    }
}

namespace {

// The TITLE, PERFORMER and SONGWRITER lines of `entry`, indented by `indent`.
std::string TextLines(const akrip::CdTextEntry& entry, const char* indent) {
    std::string lines;
    const std::pair<const char*, const std::string*> fields[] = {
        {"TITLE", &entry.title}, {"PERFORMER", &entry.performer}, {"SONGWRITER", &entry.songwriter}};
    for (const auto& field : fields) {
        if (field.second->empty()) continue;
        std::string value = *field.second;
        std::replace(value.begin(), value.end(), '"', '\'');
        lines += std::string(indent) + field.first + " \"" + value + "\"\n";
    }
    return lines;
}

}  // namespace

bool WriteDisc(const std::string& cuePath, const std::vector<long>& trackFrames, uint32_t seed,
               std::string* error, long dataFrames, const akrip::CdText* text) {
    auto fail = [error](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    if (trackFrames.empty()) return fail("a disc needs at least one track");
    if (trackFrames.size() + (dataFrames > 0) > static_cast<size_t>(rig::kMaxTracks))
        return fail("a disc has at most 99 tracks");
    long total = std::max(0L, dataFrames);
    for (long frames : trackFrames) {
        if (frames < 1) return fail("every track needs at least one frame");
        if (frames > 100L * 60 * rig::kFramesPerSecond) return fail("a track cannot be longer than 100 minutes");
        total += frames;
    }
    if (total > 100L * 60 * rig::kFramesPerSecond - 1) return fail("the disc cannot be longer than 100 minutes");

    size_t slash = cuePath.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = cuePath.rfind('.');
    size_t stemEnd = (dot == std::string::npos || dot < nameStart) ? cuePath.size() : dot;
    if (stemEnd == nameStart) return fail("'" + cuePath + "' has no file name");
    const std::string binPath = cuePath.substr(0, stemEnd) + ".bin";
    const std::string binName = binPath.substr(nameStart);

    std::ofstream bin(binPath, std::ios::binary | std::ios::trunc);
    if (!bin) return fail("cannot create '" + binPath + "'");
    std::vector<uint8_t> chunk;
    for (size_t t = 0; t < trackFrames.size(); ++t) AppendTrack(seed, static_cast<int>(t + 1), trackFrames[t], &bin);
    const long audioFrames = total - std::max(0L, dataFrames);
    for (long f = 0; f < dataFrames; ++f) {
        DataSector(audioFrames + rig::kSessionGapFrames + f, &chunk);
        bin.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    }
    bin.close();
    if (!bin) return fail("cannot write '" + binPath + "'");

    std::string cue = text ? TextLines(text->disc, "") : "";
    if (dataFrames > 0) cue += "REM SESSION 01\n";
    cue += "FILE \"" + binName + "\" BINARY\n";
    long start = 0;
    for (size_t t = 0; t <= trackFrames.size(); ++t) {
        bool data = t == trackFrames.size();
        if (data && dataFrames <= 0) break;
        if (data) cue += "REM SESSION 02\n";
        rig::Msf msf = rig::FramesToMsf(start);
        char lines[80];
        snprintf(lines, sizeof lines, "  TRACK %02d %s\n    INDEX 01 %02d:%02d:%02d\n", static_cast<int>(t + 1),
                 data ? "MODE1/2352" : "AUDIO", msf.m, msf.s, msf.f);
        cue += lines;
        if (text && t < text->tracks.size()) cue += TextLines(text->tracks[t], "    ");
        if (!data) start += trackFrames[t];
    }
    std::ofstream out(cuePath, std::ios::binary | std::ios::trunc);
    if (!out) return fail("cannot create '" + cuePath + "'");
    out.write(cue.data(), static_cast<std::streamsize>(cue.size()));
    out.close();
    if (!out) return fail("cannot write '" + cuePath + "'");
    return true;
}

bool WriteTrackWav(const std::string& wavPath, long frames, uint32_t seed, std::string* error) {
    if (frames < 1 || frames > 100L * 60 * rig::kFramesPerSecond) {
        if (error) *error = "a WAV file of the material holds 1 frame to 100 minutes";
        return false;
    }
    uint8_t header[rig::kWavHeaderBytes];
    rig::WriteWavHeader(rig::kCdFormat, static_cast<uint32_t>(frames) * rig::kBytesPerFrame, header);
    std::ofstream wav(wavPath, std::ios::binary | std::ios::trunc);
    wav.write(reinterpret_cast<const char*>(header), sizeof header);
    AppendTrack(seed, 1, frames, &wav);
    wav.close();
    if (!wav) {
        if (error) *error = "cannot write '" + wavPath + "'";
        return false;
    }
    return true;
}

}  // namespace discgen
