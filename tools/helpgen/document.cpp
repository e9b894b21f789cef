#include "document.h"

#include <cstdint>
#include <set>

namespace helpgen {
namespace {

// Code points of the bytes 0x80-0x9F of code page 1252 (0: unassigned); 0xA0-0xFF are
// Latin-1's own.
const uint16_t kHighControls[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

bool IsContextChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_';
}

bool ValidContext(const std::string& id) {
    if (id.empty()) return false;
    for (char c : id)
        if (!IsContextChar(c)) return false;
    return true;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

struct Parser {
    Document* doc;
    std::string* error;
    int line = 0;
    // The paragraph being gathered: its kind, its joined text and its first line.
    bool open = false;
    ParagraphKind kind = ParagraphKind::kBody;
    std::string text{};
    int textLine = 0;
    // Links seen, checked against the topics at the end.
    std::vector<std::pair<std::string, int>> links{};

    bool Fail(int at, const std::string& what) {
        *error = "line " + std::to_string(at) + ": " + what;
        return false;
    }

    bool InTopic() const { return !doc->topics.empty(); }

    // Splits `text` into runs at the ** and [words](#id) marks.
    bool Inline(const std::string& source, std::vector<Run>* runs) {
        bool bold = false;
        std::string plain;
        auto flush = [&](const std::string& link) {
            if (!plain.empty()) runs->push_back(Run{plain, bold, link});
            plain.clear();
        };
        for (size_t i = 0; i < source.size();) {
            if (source.compare(i, 2, "**") == 0) {
                flush("");
                bold = !bold;
                i += 2;
            } else if (source[i] == '[') {
                size_t close = source.find("](#", i);
                size_t end = close == std::string::npos ? close : source.find(')', close);
                if (end == std::string::npos) return Fail(textLine, "a '[' without its '](#topic)'");
                flush("");
                plain = source.substr(i + 1, close - i - 1);
                std::string id = source.substr(close + 3, end - close - 3);
                if (plain.empty() || plain.find_first_of("[*") != std::string::npos)
                    return Fail(textLine, "a link needs plain words between '[' and ']'");
                if (!ValidContext(id)) return Fail(textLine, "'" + id + "' is no topic id");
                links.emplace_back(id, textLine);
                flush(id);
                i = end + 1;
            } else {
                plain += source[i++];
            }
        }
        flush("");
        if (bold) return Fail(textLine, "a '**' is not closed");
        return true;
    }

    bool Close() {
        if (!open) return true;
        open = false;
        Paragraph paragraph;
        paragraph.kind = kind;
        if (!Inline(text, &paragraph.runs)) return false;
        std::string unused;
        for (const Run& run : paragraph.runs)
            if (!ToWindows1252(run.text, &unused))
                return Fail(textLine, "a character that code page 1252 cannot hold");
        doc->topics.back().paragraphs.push_back(paragraph);
        return true;
    }

    bool Start(ParagraphKind newKind, const std::string& first) {
        if (!Close()) return false;
        if (!InTopic()) return Fail(line, "text before the first topic");
        open = true;
        kind = newKind;
        text = first;
        textLine = line;
        return true;
    }

    bool Directive(const std::string& content) {
        if (InTopic()) return Fail(line, "'@' lines belong before the first topic");
        std::string value;
        if (StartsWith(content, "@title ")) {
            doc->title = Trim(content.substr(7));
        } else if (StartsWith(content, "@copyright ")) {
            doc->copyright = Trim(content.substr(11));
        } else {
            return Fail(line, "unknown directive " + content);
        }
        if (!ToWindows1252(doc->title, &value) || !ToWindows1252(doc->copyright, &value))
            return Fail(line, "a character that code page 1252 cannot hold");
        return true;
    }

    bool TopicLine(const std::string& content) {
        if (!Close()) return false;
        size_t brace = content.rfind('{');
        if (brace == std::string::npos || content.back() != '}')
            return Fail(line, "a topic needs its id: == Title {id}");
        Topic topic;
        topic.title = Trim(content.substr(3, brace - 3));
        topic.context = content.substr(brace + 1, content.size() - brace - 2);
        std::string unused;
        if (topic.title.empty()) return Fail(line, "a topic needs a title");
        if (!ToWindows1252(topic.title, &unused)) return Fail(line, "a character that code page 1252 cannot hold");
        if (!ValidContext(topic.context)) return Fail(line, "'" + topic.context + "' is no valid topic id");
        for (const Topic& other : doc->topics)
            if (other.context == topic.context) return Fail(line, "a second topic " + topic.context);
        doc->topics.push_back(topic);
        return true;
    }

    bool Keywords(const std::string& content) {
        if (!Close()) return false;
        if (!InTopic()) return Fail(line, "keywords before the first topic");
        std::string list = content.substr(2), unused;
        size_t at = 0;
        while (at <= list.size()) {
            size_t end = list.find(';', at);
            if (end == std::string::npos) end = list.size();
            std::string keyword = Trim(list.substr(at, end - at));
            if (!keyword.empty()) {
                if (!ToWindows1252(keyword, &unused)) return Fail(line, "a character that code page 1252 cannot hold");
                doc->topics.back().keywords.push_back(keyword);
            }
            at = end + 1;
        }
        return true;
    }

    bool Line(const std::string& raw) {
        std::string content = Trim(raw);
        if (content.empty()) return Close();
        if (content[0] == '#') return true;
        if (content[0] == '@') return Directive(content);
        if (StartsWith(content, "=== ")) return Start(ParagraphKind::kHeading, Trim(content.substr(4))) && Close();
        if (StartsWith(content, "== ")) return TopicLine(content);
        if (StartsWith(content, "K:")) return Keywords(content);
        if (StartsWith(content, "- ")) return Start(ParagraphKind::kBullet, Trim(content.substr(2)));
        if (!open) return Start(ParagraphKind::kBody, content);
        text += ' ';
        text += content;
        return true;
    }

    bool Finish() {
        if (!Close()) return false;
        if (doc->title.empty()) return Fail(line, "the document has no @title");
        if (doc->topics.empty()) return Fail(line, "the document has no topics");
        std::set<std::string> ids;
        for (const Topic& topic : doc->topics) ids.insert(topic.context);
        for (const auto& link : links)
            if (!ids.count(link.first)) return Fail(link.second, "a link to the unknown topic " + link.first);
        return true;
    }
};

}  // namespace

bool ToWindows1252(const std::string& utf8, std::string* out) {
    out->clear();
    for (size_t i = 0; i < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        uint32_t code;
        size_t length;
        if (lead < 0x80) {
            code = lead, length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F, length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F, length = 3;
        } else {
            return false;   // four-byte sequences lie far outside code page 1252
        }
        if (i + length > utf8.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        i += length;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out->push_back(static_cast<char>(code));
            continue;
        }
        bool found = false;
        for (int k = 0; k < 32 && !found; ++k) {
            if (kHighControls[k] == code) {
                out->push_back(static_cast<char>(0x80 + k));
                found = true;
            }
        }
        if (!found) return false;
    }
    return true;
}

bool ParseDocument(const std::string& source, Document* document, std::string* error) {
    *document = Document();
    Parser parser{document, error};
    size_t at = 0;
    while (at < source.size()) {
        size_t end = source.find('\n', at);
        if (end == std::string::npos) end = source.size();
        ++parser.line;
        if (!parser.Line(source.substr(at, end - at))) return false;
        at = end + 1;
    }
    return parser.Finish();
}

std::string PlainText(const Paragraph& paragraph) {
    std::string text;
    for (const Run& run : paragraph.runs) text += run.text;
    return text;
}

}  // namespace helpgen
