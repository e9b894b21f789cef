// A document as a WinHelp 3.1 help file (format version 1.21, uncompressed topics),
// opened by the system help viewer at its contents topic.
//
// The file is an internal file system: a 16-byte header, the internal files, and a
// directory of them kept as a B+ tree. The internal files written:
//   |SYSTEM    format version, title, copyright, contents topic, the browse buttons macro
//   |TOPIC     4 KB blocks of topic link records: per topic a header (title, browse
//              sequence, next topic) and one display record per paragraph
//   |FONT      the face name and the character formats the paragraphs use
//   |CONTEXT   B+ tree from the hash of each topic id to its topic offset (jumps)
//   |TTLBTREE  B+ tree from topic offset to topic title
//   |KWBTREE   B+ tree of the keywords, with |KWDATA, the topic offsets they name
#pragma once

#include <cstdint>
#include <string>

#include "document.h"

namespace helpgen {

// Writes the help file into *bytes. False with the reason in *error when the document
// cannot be written (two topic ids with one hash, a paragraph beyond a topic block).
bool WriteWinHelp(const Document& document, std::string* bytes, std::string* error);

// The help compiler's hash of a topic id, as jumps and the viewer compute it.
int32_t ContextHash(const std::string& context);

// Where a topic starts for the viewer: topic block number * 0x8000 plus the number of
// characters before it in that block.
constexpr uint32_t kTopicOffsetBlock = 0x8000;
// Where a topic link record lies: topic block number * 0x4000 plus its byte offset in
// the block (the 12-byte block header included).
constexpr uint32_t kTopicPosBlock = 0x4000;
constexpr uint32_t kTopicBlockSize = 4096;

}  // namespace helpgen
