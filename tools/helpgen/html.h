// A document as one HTML page: the contents topic first, every topic a section with its
// id as anchor, jumps as links to those anchors.
#pragma once

#include <string>

#include "document.h"

namespace helpgen {

std::string WriteHtml(const Document& document);

}  // namespace helpgen
