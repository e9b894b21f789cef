// The help and read-me sources: a plain-text document of topics, read once and written
// out as a WinHelp file, an HTML page or a Write document.
//
// The source, line by line:
//
//     # a comment                       (ignored)
//     @title CD Quorrel Help            the document's title (before the first topic)
//     @copyright Text                   a copyright line (optional)
//     == Topic title {context_id}       starts a topic; the first one is the contents
//     K: keyword; another keyword       index entries of the current topic
//     === Heading                       a heading inside the topic
//     - item text                       a bulleted item
//     text lines                        a paragraph; lines until a blank line join
//
// Inside text, **bold** marks bold words and [words](#context_id) a jump to a topic.
// Text is UTF-8 limited to what Windows code page 1252 can show; context ids are made
// of letters, digits, '.' and '_'.
#pragma once

#include <string>
#include <vector>

namespace helpgen {

struct Run {
    std::string text;   // UTF-8
    bool bold = false;
    std::string link;   // context id of the topic it jumps to; empty: plain text
};

enum class ParagraphKind { kBody, kHeading, kBullet };

struct Paragraph {
    ParagraphKind kind = ParagraphKind::kBody;
    std::vector<Run> runs;
};

struct Topic {
    std::string context;
    std::string title;
    std::vector<std::string> keywords;
    std::vector<Paragraph> paragraphs;
};

struct Document {
    std::string title;
    std::string copyright;
    std::vector<Topic> topics;   // topics[0] is the contents
};

// Reads a source. False with "line N: what is wrong" in *error when it is malformed:
// unknown directives, unbalanced markup, links to topics that do not exist, text that
// code page 1252 cannot hold, a document without a title or topics.
bool ParseDocument(const std::string& source, Document* document, std::string* error);

// UTF-8 to Windows code page 1252. False when a character has no place in it or the
// UTF-8 is malformed.
bool ToWindows1252(const std::string& utf8, std::string* out);

// The text of a paragraph without its markup, in UTF-8.
std::string PlainText(const Paragraph& paragraph);

}  // namespace helpgen
