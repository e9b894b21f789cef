// The walk through a WAV file's chunks that tells the converter where the sound lies:
// over any bytes a file can hold, as the whole file or as the head of a longer one;
// and over files built chunk by chunk, with chunks before and after the sound, format
// chunks of every accepted layout and data sizes true, missing or too large.
//
// Beyond "no fault": the sound it names lies inside the file, after a "data" chunk
// header, with the size that chunk gives when the file holds that much and to the end
// of the file otherwise; it comes only after a PCM format chunk, and nothing past its
// first byte changes the answer; a file too short for any header has no sound; and a
// file built from known chunks is read as built.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "riff_builder.h"
#include "wav_layout.h"

namespace {

using mp3::WavLayout;
using mp3::WavLayoutKind;

bool Same(const WavLayout& a, const WavLayout& b) {
    return a.kind == b.kind && a.formatTag == b.formatTag && a.channels == b.channels &&
           a.sampleRate == b.sampleRate && a.bitsPerSample == b.bitsPerSample && a.dataOffset == b.dataOffset &&
           a.dataBytes == b.dataBytes;
}

uint32_t U32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24; }

void WalkAnyBytes(const uint8_t* head, size_t size, uint64_t fileBytes) {
    const WavLayout layout = mp3::FindWavLayout(head, size, fileBytes);
    if (fileBytes < 44) FUZZ_CHECK(!mp3::HasSound(layout));
    if (size >= 44) FUZZ_CHECK(layout.kind != WavLayoutKind::kTooShort);
    if (layout.kind == WavLayoutKind::kNotPcm) FUZZ_CHECK(layout.formatTag != 1 && !mp3::IsCdFormat(layout));
    if (mp3::HasSound(layout)) FUZZ_CHECK(layout.dataOffset + layout.dataBytes <= fileBytes);
    if (layout.kind == WavLayoutKind::kCanonical) FUZZ_CHECK(layout.dataOffset == 44);
    if (layout.kind != WavLayoutKind::kChunks) return;

    FUZZ_CHECK(layout.formatTag == 1);
    FUZZ_CHECK(layout.dataOffset >= 20 && layout.dataOffset <= size);
    const uint8_t* header = head + layout.dataOffset - 8;
    FUZZ_CHECK(std::memcmp(header, "data", 4) == 0);
    const uint64_t declared = U32(header + 4), available = fileBytes - layout.dataOffset;
    FUZZ_CHECK(layout.dataBytes == (declared != 0 && declared <= available ? declared : available));

    // The sound itself, and whatever follows it, has no say.
    if (layout.dataOffset < size) {
        std::vector<uint8_t> changed(head, head + size);
        for (size_t i = layout.dataOffset; i < size; ++i) changed[i] ^= 0x5A;
        FUZZ_CHECK(Same(mp3::FindWavLayout(changed.data(), size, fileBytes), layout));
    }
}

// A file built from the input's choices, and the layout it must be read as.
void WalkABuiltFile(FuzzedDataProvider* input) {
    std::string chunks;
    const char* const kOthers[] = {"LIST", "JUNK", "fact", "bext"};
    for (int n = input->ConsumeIntegralInRange(0, 3); n > 0; --n)
        chunks += riff::Chunk(kOthers[input->ConsumeIntegralInRange(0, 3)], std::string(input->ConsumeIntegralInRange(0, 41), 'x'));
    const uint16_t channels = input->ConsumeBool() ? 2 : 1;
    const uint32_t rate = input->PickValueInArray({11025u, 22050u, 44100u, 48000u});
    const uint16_t bits = input->PickValueInArray({8, 16, 24});
    bool pcm = true, extensible = false;
    uint16_t tag = 1;
    switch (input->ConsumeIntegralInRange(0, 4)) {
        case 0: chunks += riff::Chunk("fmt ", riff::FormatBody(1, channels, rate, bits)); break;
        case 1: chunks += riff::Chunk("fmt ", riff::FormatBody(1, channels, rate, bits) + riff::Le(0, 2)); break;
        case 2:
            chunks += riff::Chunk("fmt ", riff::ExtensibleBody(riff::kPcmGuid));
            extensible = true;
            break;
        case 3:
            chunks += riff::Chunk("fmt ", riff::ExtensibleBody(std::string(16, '\3')));
            pcm = false;
            tag = 0xFFFE;
            break;
        default:
            tag = input->PickValueInArray({3, 0x55, 0x11});
            chunks += riff::Chunk("fmt ", riff::FormatBody(tag, channels, rate, bits));
            pcm = false;
            break;
    }
    for (int n = input->ConsumeIntegralInRange(0, 2); n > 0; --n)
        chunks += riff::Chunk(kOthers[input->ConsumeIntegralInRange(0, 3)], std::string(input->ConsumeIntegralInRange(0, 9), 'y'));
    const size_t sound = input->ConsumeIntegralInRange(0, 300);
    const int claim = input->ConsumeIntegralInRange(0, 2);   // the true size, 0, or more than the file holds
    const uint32_t declared = claim == 0 ? static_cast<uint32_t>(sound) : claim == 1 ? 0 : static_cast<uint32_t>(sound + 1000);
    const size_t dataOffset = 12 + chunks.size() + 8;
    chunks += "data" + riff::Le(declared, 4) + std::string(sound, 's');
    const bool tail = claim == 0 && input->ConsumeBool();   // a LIST after a sound of known size
    if (tail) chunks += std::string(sound % 2, '\0') + riff::Chunk("LIST", "INFOISFT\4\0\0\0abc\0");
    const std::string file = riff::Riff(chunks);

    const WavLayout layout =
        mp3::FindWavLayout(reinterpret_cast<const uint8_t*>(file.data()), file.size(), file.size());
    if (!pcm) {
        FUZZ_CHECK(layout.kind == WavLayoutKind::kNotPcm && layout.formatTag == tag);
        return;
    }
    FUZZ_CHECK(layout.kind == WavLayoutKind::kChunks && layout.formatTag == 1);
    FUZZ_CHECK(layout.dataOffset == dataOffset);
    // A size of 0 is the size a writer never came back to fill in: to the end of the file.
    FUZZ_CHECK(layout.dataBytes == (declared != 0 && claim == 0 ? sound : file.size() - dataOffset));
    if (extensible)
        FUZZ_CHECK(layout.channels == 2 && layout.sampleRate == 44100 && layout.bitsPerSample == 16);
    else
        FUZZ_CHECK(layout.channels == channels && layout.sampleRate == rate && layout.bitsPerSample == bits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WalkAnyBytes(data, size, size);
    WalkAnyBytes(data, size, size + 100000);   // the head of a longer file
    FuzzedDataProvider input(data, size);
    WalkABuiltFile(&input);
    return 0;
}
