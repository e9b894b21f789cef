// A document as a Windows Write 3.0 file (.wri): the title centred, each topic a bold
// heading, bulleted items with a hanging indent; jumps become plain words.
//
// The file is a sequence of 128-byte pages: the header page, the text (paragraphs end
// in CR LF), the character format pages, the paragraph format pages and the font table.
// A format page holds runs (the byte offset where each ends and its format), with the
// formats stored once per page, each as the leading bytes that differ from the default.
#pragma once

#include <string>

#include "document.h"

namespace helpgen {

std::string WriteWrite(const Document& document);

}  // namespace helpgen
