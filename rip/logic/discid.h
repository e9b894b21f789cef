// The ids the name databases know a disc by, from its layout: the MusicBrainz disc id
// and the freedb query (the freedb id itself is ComputeDiscIds's, beside AccurateRip's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "accuraterip.h"

// The SHA-1 digest of `size` bytes at `data` (FIPS 180-4).
void Sha1(const void* data, size_t size, uint8_t digest[20]);

// The disc's MusicBrainz disc id, 28 characters: the SHA-1 of the first and the last
// track number ("%02X"), the lead-out and the 99 track offsets ("%08X", 0 for a track
// the disc lacks), offsets counted with the 150 frames before LBA 0, in base64 whose
// '+', '/' and '=' are written '.', '_' and '-'. On a disc whose last tracks are data
// (a CD-Extra) the last track is the last audio track and the lead-out lies 11,400
// frames before the first of those data tracks. Empty for a layout of no track or
// more than 99, or one whose tracks do not ascend to the lead-out.
std::string MusicBrainzDiscId(const DiscLayout& layout);

// The freedb query of the disc: "cddb query <id> <tracks> <offset>... <seconds>", its
// freedb id in lower-case hexadecimal, every track (data tracks too) with its offset
// counted with the 150 frames before LBA 0, and the disc's length in seconds as the
// lead-out's offset gives it. Empty for a layout of no track or more than 99.
std::string FreedbQueryCommand(const DiscLayout& layout);
