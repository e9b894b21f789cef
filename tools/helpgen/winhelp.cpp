#include "winhelp.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "bytes.h"

namespace helpgen {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kHelpMagic = 0x00035F3F;
constexpr uint16_t kBTreeMagic = 0x293B;
constexpr uint16_t kSystemMagic = 0x036C;
constexpr uint16_t kFormatMinor = 21;   // help compiler 3.1
constexpr size_t kFileHeaderSize = 9;
constexpr size_t kLinkHeaderSize = 21;
constexpr size_t kBlockHeaderSize = 12;

enum RecordType : uint8_t { kTopicHeader = 0x02, kDisplay = 0x20 };

// ---- B+ trees ----

struct BTreeEntry {
    std::string key;
    std::string data;
};

struct BTreeLayout {
    uint16_t pageSize;
    uint16_t flags;
    const char* structure;
};

constexpr BTreeLayout kDirectoryTree = {1024, 0x0402, "z4"};
constexpr BTreeLayout kContextTree = {2048, 0x0002, "L4"};
constexpr BTreeLayout kTitleTree = {2048, 0x0002, "Lz"};
constexpr BTreeLayout kKeywordTree = {2048, 0x0002, "z24"};

// The header and pages of a B+ tree over `entries` (already in key order): leaf pages
// chained both ways, then index levels up to one root page, whose entries name the
// first key of each child after the first (the first child is the page's "previous").
bool BuildBTree(const BTreeLayout& layout, const std::vector<BTreeEntry>& entries, std::string* out, std::string* error) {
    struct Child {
        uint16_t page;
        std::string firstKey;
    };
    std::vector<Bytes> pages;
    std::vector<Child> level;
    size_t next = 0;
    do {
        Bytes page;
        page.U16(0), page.U16(0), page.U16(0xFFFF), page.U16(0xFFFF);
        Child child{static_cast<uint16_t>(pages.size()), next < entries.size() ? entries[next].key : ""};
        unsigned count = 0;
        while (next < entries.size() &&
               page.Size() + entries[next].key.size() + entries[next].data.size() <= layout.pageSize) {
            page.Add(entries[next].key);
            page.Add(entries[next].data);
            ++next, ++count;
        }
        if (count == 0 && next < entries.size()) {
            *error = "a B+ tree entry larger than a page";
            return false;
        }
        page.Put16(0, static_cast<unsigned>(layout.pageSize - page.Size()));
        page.Put16(2, count);
        level.push_back(child);
        pages.push_back(page);
    } while (next < entries.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) pages[i].Put16(4, static_cast<unsigned>(i - 1));
        if (i + 1 < pages.size()) pages[i].Put16(6, static_cast<unsigned>(i + 1));
    }
    unsigned levels = 1;
    while (level.size() > 1) {
        std::vector<Child> upper;
        for (size_t i = 0; i < level.size();) {
            Bytes page;
            page.U16(0), page.U16(0), page.U16(level[i].page);
            upper.push_back(Child{static_cast<uint16_t>(pages.size()), level[i].firstKey});
            unsigned count = 0;
            for (++i; i < level.size() && page.Size() + level[i].firstKey.size() + 2 <= layout.pageSize; ++i, ++count) {
                page.Add(level[i].firstKey);
                page.U16(level[i].page);
            }
            page.Put16(0, static_cast<unsigned>(layout.pageSize - page.Size()));
            page.Put16(2, count);
            pages.push_back(page);
        }
        level = upper;
        ++levels;
    }
    if (pages.size() > 0xFFFF) {
        *error = "a B+ tree of more pages than it can number";
        return false;
    }
    Bytes tree;
    tree.U16(kBTreeMagic);
    tree.U16(layout.flags);
    tree.U16(layout.pageSize);
    std::string structure(layout.structure);
    structure.resize(16, '\0');
    tree.Add(structure);
    tree.U16(0);                                     // must be zero
    tree.U16(0);                                     // page splits
    tree.U16(level[0].page);                         // root
    tree.U16(0xFFFF);                                // must be -1
    tree.U16(static_cast<unsigned>(pages.size()));
    tree.U16(levels);
    tree.U32(static_cast<uint32_t>(entries.size()));
    for (Bytes& page : pages) {
        page.PadTo(layout.pageSize);
        tree.Add(page.data);
    }
    *out = tree.data;
    return true;
}

std::string U32Bytes(uint32_t value) {
    Bytes bytes;
    bytes.U32(value);
    return bytes.data;
}

std::string ZBytes(const std::string& text) { return text + '\0'; }

// ---- compressed numbers of the paragraph records ----

void CompressedLong(Bytes* out, int32_t value) {
    if (value >= -0x4000 && value < 0x4000)
        out->U16(static_cast<unsigned>(value * 2 + 0x8000));
    else
        out->U32(static_cast<uint32_t>(value) * 2 + 0x80000001u);
}

void CompressedUShort(Bytes* out, unsigned value) {
    if (value < 0x80)
        out->U8(value * 2);
    else
        out->U16(value * 2 + 1);
}

void CompressedShort(Bytes* out, int value) {
    if (value >= -0x40 && value < 0x40)
        out->U8(static_cast<unsigned>(value * 2 + 0x80));
    else
        out->U16(static_cast<unsigned>(value * 2 + 0x8001));
}

// ---- fonts ----

enum Font : uint16_t { kFontBody, kFontBold, kFontTitle, kFontHeading, kFontCount };

std::string FontFile() {
    const char* const faces[] = {"Arial"};
    constexpr size_t kFaceSize = 20;
    struct Descriptor {
        uint8_t attributes;   // 1: bold
        uint8_t halfPoints;
    };
    const Descriptor descriptors[kFontCount] = {{0, 20}, {1, 20}, {1, 28}, {1, 24}};
    Bytes font;
    font.U16(1);
    font.U16(kFontCount);
    font.U16(8);
    font.U16(static_cast<unsigned>(8 + kFaceSize));
    for (const char* face : faces) {
        std::string name(face);
        name.resize(kFaceSize, '\0');
        font.Add(name);
    }
    for (const Descriptor& d : descriptors) {
        font.U8(d.attributes);
        font.U8(d.halfPoints);
        font.U8(3);        // family: swiss
        font.U16(0);       // face name index
        font.U8(0), font.U8(0), font.U8(0);        // black on
        font.U8(255), font.U8(255), font.U8(255);  // white
    }
    return font.data;
}

// ---- paragraphs ----

// The text of a display record: strings (link data 2) and the format commands between
// them (end of link data 1). The viewer shows a string, then obeys one command.
struct TextBuilder {
    std::string strings;
    Bytes commands;
    std::string pending;
    unsigned characters = 0;   // what the viewer counts for topic offsets

    void Text(const std::string& text) { pending += text; }
    void Command(std::initializer_list<unsigned> bytes, unsigned counted = 0) {
        strings += pending;
        strings += '\0';
        characters += static_cast<unsigned>(pending.size()) + counted;
        pending.clear();
        for (unsigned b : bytes) commands.U8(b);
    }
    void SetFont(uint16_t font) { Command({0x80, font & 0xFFu, static_cast<unsigned>(font >> 8)}); }
    void Tab() { Command({0x83}, 1); }
    void JumpStart(int32_t hash) {
        uint32_t h = static_cast<uint32_t>(hash);
        Command({0xE3, h & 0xFF, (h >> 8) & 0xFF, (h >> 16) & 0xFF, h >> 24});
    }
    void JumpEnd() { Command({0x89}); }
    void End() {
        Command({0x82}, 1);
        Command({0xFF});
    }
};

enum class Style { kTitle, kBody, kHeading, kBullet };

struct Record {
    RecordType type;
    std::string data1;
    std::string data2;
    unsigned characters = 0;
    size_t topic = 0;
    uint32_t pos = 0;      // topic position
    uint32_t block = 0;
    size_t Size() const { return kLinkHeaderSize + data1.size() + data2.size(); }
};

// A display record for one paragraph. Spacing and indents are in half points.
Record DisplayRecord(Style style, const std::vector<Run>& runs) {
    TextBuilder text;
    uint16_t font = style == Style::kTitle ? kFontTitle : style == Style::kHeading ? kFontHeading : kFontBody;
    text.SetFont(font);
    if (style == Style::kBullet) {
        text.Text("\x95");   // the bullet of code page 1252
        text.Tab();
    }
    for (const Run& run : runs) {
        std::string bytes;
        ToWindows1252(run.text, &bytes);   // checked when the source was read
        if (run.bold && font == kFontBody) text.SetFont(kFontBold);
        if (!run.link.empty()) text.JumpStart(ContextHash(run.link));
        text.Text(bytes);
        if (!run.link.empty()) text.JumpEnd();
        if (run.bold && font == kFontBody) text.SetFont(kFontBody);
    }
    text.End();

    Bytes format;
    unsigned bits = 0x0004;   // spacing below
    if (style == Style::kHeading) bits |= 0x0002;
    if (style == Style::kBullet) bits |= 0x0010 | 0x0040 | 0x0200;
    format.U8(0x00);
    format.U8(0x80);
    format.U16(0);            // paragraph id
    format.U16(bits);
    if (bits & 0x0002) CompressedShort(&format, 12);
    CompressedShort(&format, style == Style::kHeading || style == Style::kBullet ? 6 : 12);
    if (bits & 0x0010) CompressedShort(&format, 36);    // left indent
    if (bits & 0x0040) CompressedShort(&format, -36);   // first line hangs out to the bullet
    if (bits & 0x0200) {
        CompressedShort(&format, 1);                    // one tab stop, at the left indent
        CompressedUShort(&format, 36);
    }
    format.Add(text.commands.data);

    Record record;
    record.type = kDisplay;
    Bytes data1;
    CompressedLong(&data1, static_cast<int32_t>(text.strings.size()));
    CompressedUShort(&data1, text.characters);
    data1.Add(format.data);
    record.data1 = data1.data;
    record.data2 = text.strings;
    record.characters = text.characters;
    return record;
}

// ---- the topic file ----

struct TopicLayout {
    std::vector<Record> records;
    std::vector<size_t> headers;            // index of each topic's header record
    std::vector<uint32_t> topicOffsets;     // each topic's topic offset
    std::string file;
};

bool LayOutTopics(const Document& doc, TopicLayout* layout, std::string* error) {
    std::vector<Record>& records = layout->records;
    for (size_t t = 0; t < doc.topics.size(); ++t) {
        const Topic& topic = doc.topics[t];
        Record header;
        header.type = kTopicHeader;
        header.data1.assign(28, '\0');        // filled in once every position is known
        ToWindows1252(topic.title, &header.data2);
        header.topic = t;
        layout->headers.push_back(records.size());
        records.push_back(header);
        records.push_back(DisplayRecord(Style::kTitle, {Run{topic.title, false, ""}}));
        for (const Paragraph& p : topic.paragraphs) {
            Style style = p.kind == ParagraphKind::kHeading  ? Style::kHeading
                          : p.kind == ParagraphKind::kBullet ? Style::kBullet
                                                             : Style::kBody;
            records.push_back(DisplayRecord(style, p.runs));
        }
        for (size_t r = layout->headers.back(); r < records.size(); ++r) records[r].topic = t;
    }
    // Records never straddle two blocks: one that does not fit starts the next block.
    uint32_t block = 0;
    size_t used = kBlockHeaderSize;
    for (Record& r : records) {
        if (r.Size() > kTopicBlockSize - kBlockHeaderSize) {
            *error = "a paragraph of topic \"" + doc.topics[r.topic].title + "\" is too long for a topic block";
            return false;
        }
        if (used + r.Size() > kTopicBlockSize) {
            ++block;
            used = kBlockHeaderSize;
        }
        r.block = block;
        r.pos = block * kTopicPosBlock + static_cast<uint32_t>(used);
        used += r.Size();
    }
    // Topic offsets count the characters of the display records before a topic header
    // in its block.
    uint32_t characters = 0;
    uint32_t lastBlock = kNone;
    for (const Record& r : records) {
        if (r.block != lastBlock) characters = 0, lastBlock = r.block;
        if (r.type == kTopicHeader) layout->topicOffsets.push_back(r.block * kTopicOffsetBlock + characters);
        else characters += r.characters;
    }
    return true;
}

void FillTopicHeaders(TopicLayout* layout) {
    std::vector<Record>& records = layout->records;
    const std::vector<size_t>& headers = layout->headers;
    for (size_t t = 0; t < headers.size(); ++t) {
        size_t first = headers[t], end = t + 1 < headers.size() ? headers[t + 1] : records.size();
        uint32_t size = 0;
        for (size_t r = first; r < end; ++r) size += static_cast<uint32_t>(records[r].Size());
        Bytes header;
        header.U32(size);
        header.U32(t > 0 ? layout->topicOffsets[t - 1] : kNone);                   // browse back
        header.U32(t + 1 < headers.size() ? layout->topicOffsets[t + 1] : kNone);  // browse forward
        header.U32(static_cast<uint32_t>(t));
        header.U32(kNone);                                                         // no non-scrolling region
        header.U32(first + 1 < end ? records[first + 1].pos : kNone);              // scrolling region
        header.U32(t + 1 < headers.size() ? records[headers[t + 1]].pos : kNone);  // next topic
        records[first].data1 = header.data;
    }
}

std::string TopicFile(const TopicLayout& layout) {
    const std::vector<Record>& records = layout.records;
    Bytes file;
    uint32_t lastLink = kNone, lastHeader = kNone;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        if (i == 0 || r.block != records[i - 1].block) {
            file.PadTo(r.block * kTopicBlockSize);
            file.U32(lastLink);
            file.U32(r.pos);
            file.U32(lastHeader);
        }
        file.U32(static_cast<uint32_t>(r.Size()));
        file.U32(static_cast<uint32_t>(r.data2.size()));
        file.U32(i > 0 ? records[i - 1].pos : kNone);
        file.U32(i + 1 < records.size() ? records[i + 1].pos : kNone);
        file.U32(static_cast<uint32_t>(kLinkHeaderSize + r.data1.size()));
        file.U8(r.type);
        file.Add(r.data1);
        file.Add(r.data2);
        lastLink = r.pos;
        if (r.type == kTopicHeader) lastHeader = r.pos;
    }
    file.PadTo((records.back().block + 1) * kTopicBlockSize);
    return file.data;
}

// ---- the other internal files ----

std::string SystemFile(const Document& doc, uint32_t contentsOffset) {
    Bytes system;
    system.U16(kSystemMagic);
    system.U16(kFormatMinor);
    system.U16(1);
    system.U32(0);      // no generation date: the same source gives the same file
    system.U16(0);      // topics uncompressed in 4 KB blocks
    auto record = [&](unsigned type, const std::string& data) {
        system.U16(type);
        system.U16(static_cast<unsigned>(data.size()));
        system.Add(data);
    };
    std::string text;
    ToWindows1252(doc.title, &text);
    record(1, ZBytes(text));
    if (!doc.copyright.empty()) {
        ToWindows1252(doc.copyright, &text);
        record(2, ZBytes(text));
    }
    record(3, U32Bytes(contentsOffset));
    record(4, ZBytes("BrowseButtons()"));
    return system.data;
}

bool ContextFile(const Document& doc, const std::vector<uint32_t>& offsets, std::string* out, std::string* error) {
    std::vector<std::pair<int32_t, uint32_t>> hashes;
    for (size_t t = 0; t < doc.topics.size(); ++t) hashes.emplace_back(ContextHash(doc.topics[t].context), offsets[t]);
    std::sort(hashes.begin(), hashes.end());
    std::vector<BTreeEntry> entries;
    for (size_t i = 0; i < hashes.size(); ++i) {
        if (i > 0 && hashes[i].first == hashes[i - 1].first) {
            *error = "two topic ids share one hash; rename one of them";
            return false;
        }
        entries.push_back(BTreeEntry{U32Bytes(static_cast<uint32_t>(hashes[i].first)), U32Bytes(hashes[i].second)});
    }
    return BuildBTree(kContextTree, entries, out, error);
}

bool TitleFile(const Document& doc, const std::vector<uint32_t>& offsets, std::string* out, std::string* error) {
    std::vector<BTreeEntry> entries;
    for (size_t t = 0; t < doc.topics.size(); ++t) {
        std::string title;
        ToWindows1252(doc.topics[t].title, &title);
        entries.push_back(BTreeEntry{U32Bytes(offsets[t]), ZBytes(title)});
    }
    return BuildBTree(kTitleTree, entries, out, error);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The keyword tree, in the viewer's order (letter case ignored), and its data file.
bool KeywordFiles(const Document& doc, const std::vector<uint32_t>& offsets, std::string* tree, std::string* data,
                  std::string* error) {
    struct Keyword {
        std::string text;
        std::vector<uint32_t> offsets;
    };
    std::map<std::string, Keyword> keywords;
    for (size_t t = 0; t < doc.topics.size(); ++t) {
        for (const std::string& k : doc.topics[t].keywords) {
            std::string text;
            ToWindows1252(k, &text);
            Keyword& entry = keywords[Lower(text)];
            if (entry.text.empty()) entry.text = text;
            if (std::find(entry.offsets.begin(), entry.offsets.end(), offsets[t]) == entry.offsets.end())
                entry.offsets.push_back(offsets[t]);
        }
    }
    Bytes list;
    std::vector<BTreeEntry> entries;
    for (const auto& k : keywords) {
        Bytes entry;
        entry.U16(static_cast<unsigned>(k.second.offsets.size()));
        entry.U32(static_cast<uint32_t>(list.Size()));
        for (uint32_t offset : k.second.offsets) list.U32(offset);
        entries.push_back(BTreeEntry{ZBytes(k.second.text), entry.data});
    }
    *data = list.data;
    return BuildBTree(kKeywordTree, entries, tree, error);
}

// The whole file: header, the internal files in name order, then their directory.
bool FileSystem(const std::map<std::string, std::string>& files, std::string* out, std::string* error) {
    Bytes file;
    file.PadTo(16);
    std::vector<BTreeEntry> directory;
    auto internalFile = [&](const std::string& contents) {
        file.U32(static_cast<uint32_t>(kFileHeaderSize + contents.size()));
        file.U32(static_cast<uint32_t>(contents.size()));
        file.U8(4);
        file.Add(contents);
    };
    for (const auto& f : files) {
        directory.push_back(BTreeEntry{ZBytes(f.first), U32Bytes(static_cast<uint32_t>(file.Size()))});
        internalFile(f.second);
    }
    std::string tree;
    if (!BuildBTree(kDirectoryTree, directory, &tree, error)) return false;
    uint32_t directoryStart = static_cast<uint32_t>(file.Size());
    internalFile(tree);
    file.Put32(0, kHelpMagic);
    file.Put32(4, directoryStart);
    file.Put32(8, kNone);   // no free blocks
    file.Put32(12, static_cast<uint32_t>(file.Size()));
    *out = file.data;
    return true;
}

}  // namespace

int32_t ContextHash(const std::string& context) {
    uint32_t hash = 0;
    for (char c : context) {
        unsigned value = 0;
        if (c >= 'A' && c <= 'Z') value = c - 'A' + 17;
        else if (c >= 'a' && c <= 'z') value = c - 'a' + 17;
        else if (c >= '1' && c <= '9') value = c - '0';
        else if (c == '0') value = 10;
        else if (c == '.') value = 12;
        else if (c == '_') value = 13;
        if (value) hash = hash * 43 + value;
    }
    return static_cast<int32_t>(hash);
}

bool WriteWinHelp(const Document& document, std::string* bytes, std::string* error) {
    if (document.topics.empty()) {
        *error = "a help file needs at least one topic";
        return false;
    }
    TopicLayout layout;
    if (!LayOutTopics(document, &layout, error)) return false;
    FillTopicHeaders(&layout);
    std::map<std::string, std::string> files;
    files["|SYSTEM"] = SystemFile(document, layout.topicOffsets[0]);
    files["|TOPIC"] = TopicFile(layout);
    files["|FONT"] = FontFile();
    if (!ContextFile(document, layout.topicOffsets, &files["|CONTEXT"], error)) return false;
    if (!TitleFile(document, layout.topicOffsets, &files["|TTLBTREE"], error)) return false;
    std::string keywordTree, keywordData;
    if (!KeywordFiles(document, layout.topicOffsets, &keywordTree, &keywordData, error)) return false;
    if (!keywordData.empty()) {
        files["|KWBTREE"] = keywordTree;
        files["|KWDATA"] = keywordData;
    }
    return FileSystem(files, bytes, error);
}

}  // namespace helpgen
