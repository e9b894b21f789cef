#include "wri.h"

#include <vector>

#include "bytes.h"

namespace helpgen {
namespace {

constexpr size_t kPage = 128;
constexpr uint32_t kTextStart = kPage;

// Character formats: reserved (1), bold | font code << 2, half points, ...
const unsigned char kDefaultChar[] = {1, 0, 24, 0, 0, 0};
// Paragraph formats: reserved (61), justification, reserved (30, 0), right indent,
// left indent, first line indent, line spacing (240: single), ..., tab stops from 22.
const unsigned char kDefaultPara[] = {61, 0, 30, 0, 0, 0, 0, 0, 0, 0, 240, 0};

struct CharFormat {
    bool bold;
    unsigned halfPoints;
};

// The stored form of a format: its leading bytes up to the last one that differs from
// the default (nothing for the default itself).
std::string Stored(const std::string& format, const unsigned char* defaults, size_t defaultSize) {
    size_t length = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        unsigned char fallback = i < defaultSize ? defaults[i] : 0;
        if (static_cast<unsigned char>(format[i]) != fallback) length = i + 1;
    }
    return format.substr(0, length);
}

std::string CharBytes(CharFormat f) {
    std::string bytes(reinterpret_cast<const char*>(kDefaultChar), sizeof kDefaultChar);
    bytes[1] = static_cast<char>(f.bold ? 1 : 0);   // font code 0: the one face in the table
    bytes[2] = static_cast<char>(f.halfPoints);
    return Stored(bytes, kDefaultChar, sizeof kDefaultChar);
}

enum class Layout { kLeft, kCentred, kBullet };

std::string ParaBytes(Layout layout) {
    Bytes pap;
    pap.Add(std::string(reinterpret_cast<const char*>(kDefaultPara), sizeof kDefaultPara));
    if (layout == Layout::kCentred) pap.data[1] = 1;
    if (layout == Layout::kBullet) {
        const unsigned indent = 360;               // twips: a quarter inch
        pap.Put16(6, indent);
        pap.Put16(8, static_cast<uint16_t>(-static_cast<int>(indent)));
        pap.PadTo(22);
        pap.U16(indent);                           // one left tab stop at the indent
        pap.U16(0);
    }
    return Stored(pap.data, kDefaultPara, sizeof kDefaultPara);
}

// Runs of one kind of format: where each ends (a file offset) and its stored bytes.
struct Span {
    uint32_t end;
    std::string format;
};

void Extend(std::vector<Span>* spans, uint32_t end, const std::string& format) {
    if (!spans->empty() && spans->back().format == format) spans->back().end = end;
    else spans->push_back(Span{end, format});
}

struct Text {
    std::string bytes;
    std::vector<Span> chars, paras;
    std::string lastChar = CharBytes({false, 20});

    uint32_t End() const { return kTextStart + static_cast<uint32_t>(bytes.size()); }
    void Add(const std::string& utf8, CharFormat format) {
        std::string text;
        ToWindows1252(utf8, &text);   // checked when the source was read
        if (text.empty()) return;
        bytes += text;
        lastChar = CharBytes(format);
        Extend(&chars, End(), lastChar);
    }
    void EndParagraph(Layout layout) {
        bytes += "\r\n";
        Extend(&chars, End(), lastChar);
        Extend(&paras, End(), ParaBytes(layout));
    }
    void Paragraph(const std::vector<Run>& runs, CharFormat base, Layout layout) {
        if (layout == Layout::kBullet) Add("\xE2\x80\xA2\t", base);   // a bullet and a tab
        for (const Run& run : runs) Add(run.text, CharFormat{base.bold || run.bold, base.halfPoints});
        EndParagraph(layout);
    }
};

// Format pages: each starts with the offset of its first character, lists its runs
// (end offset and where its format lies, counted from byte 4) forwards from byte 4,
// stores the formats (a length byte and the bytes) backwards from byte 127, which
// holds the number of runs.
std::string FormatPages(const std::vector<Span>& spans) {
    Bytes pages;
    size_t next = 0;
    uint32_t first = kTextStart;
    while (next < spans.size()) {
        std::string page(kPage, '\0');
        std::vector<std::pair<std::string, size_t>> stored;   // format, its place
        size_t runs = 0, formatsStart = kPage - 1;
        while (next < spans.size()) {
            const Span& span = spans[next];
            size_t place = 0xFFFF + 4;
            if (!span.format.empty()) {
                bool found = false;
                for (const auto& s : stored)
                    if (s.first == span.format) place = s.second, found = true;
                if (!found) {
                    size_t at = formatsStart - 1 - span.format.size();
                    if (4 + (runs + 1) * 6 > at) break;
                    page[at] = static_cast<char>(span.format.size());
                    page.replace(at + 1, span.format.size(), span.format);
                    stored.emplace_back(span.format, at);
                    formatsStart = at;
                    place = at;
                }
            }
            if (4 + (runs + 1) * 6 > formatsStart) break;
            Bytes fod;
            fod.U32(span.end);
            fod.U16(static_cast<unsigned>(place - 4));
            page.replace(4 + runs * 6, 6, fod.data);
            ++runs, ++next;
        }
        Bytes head;
        head.U32(first);
        page.replace(0, 4, head.data);
        page[kPage - 1] = static_cast<char>(runs);
        first = spans[next - 1].end;
        pages.Add(page);
    }
    return pages.data;
}

}  // namespace

std::string WriteWrite(const Document& doc) {
    const CharFormat body{false, 20}, heading{true, 28}, subheading{true, 24}, title{true, 32};
    Text text;
    text.Paragraph({Run{doc.title, false, ""}}, title, Layout::kCentred);
    for (const Topic& topic : doc.topics) {
        text.EndParagraph(Layout::kLeft);
        text.Paragraph({Run{topic.title, false, ""}}, heading, Layout::kLeft);
        ParagraphKind previous = ParagraphKind::kHeading;
        for (const Paragraph& p : topic.paragraphs) {
            bool list = p.kind == ParagraphKind::kBullet && previous == ParagraphKind::kBullet;
            if (!list && previous != ParagraphKind::kHeading) text.EndParagraph(Layout::kLeft);
            if (p.kind == ParagraphKind::kHeading) text.Paragraph(p.runs, subheading, Layout::kLeft);
            else text.Paragraph(p.runs, body, p.kind == ParagraphKind::kBullet ? Layout::kBullet : Layout::kLeft);
            previous = p.kind;
        }
    }
    if (!doc.copyright.empty()) {
        text.EndParagraph(Layout::kLeft);
        text.Paragraph({Run{doc.copyright, false, ""}}, body, Layout::kLeft);
    }

    uint32_t fcMac = text.End();
    std::string charPages = FormatPages(text.chars), paraPages = FormatPages(text.paras);
    unsigned pnChar = (fcMac + kPage - 1) / kPage;
    unsigned pnPara = pnChar + static_cast<unsigned>(charPages.size() / kPage);
    unsigned pnFonts = pnPara + static_cast<unsigned>(paraPages.size() / kPage);

    Bytes file;
    file.U16(0xBE31);     // Write 3.0, no OLE objects
    file.U16(0);
    file.U16(0xAB00);
    file.PadTo(14);
    file.U32(fcMac);
    file.U16(pnPara);
    for (int i = 0; i < 5; ++i) file.U16(pnFonts);   // no footnotes, sections or page table
    file.PadTo(96);
    file.U16(pnFonts + 1);
    file.PadTo(kPage);
    file.Add(text.bytes);
    file.PadTo(pnChar * kPage);
    file.Add(charPages);
    file.Add(paraPages);
    Bytes fonts;
    fonts.U16(1);
    fonts.U16(7);         // what follows: family, "Arial" and its NUL
    fonts.U8(0x20);       // swiss
    fonts.Zstring("Arial");
    fonts.U16(0);
    fonts.PadTo(kPage);
    file.Add(fonts.data);
    return file.data;
}

}  // namespace helpgen
