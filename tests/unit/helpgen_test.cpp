// The help and read-me generator: the WinHelp file read back the way the help viewer
// reads it (directory, system records, topic chain, context tree, B+ tree searches),
// the Write file through libwps's wps2text (a reader we did not write; ./dev installs
// it), the HTML page's anchors, and the source errors the generator refuses.
#include <gtest/gtest.h>

#include <stdio.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "document.h"
#include "html.h"
#include "winhelp.h"
#include "wri.h"

namespace {

using helpgen::Document;

std::string ReadSource(const char* name) {
    std::ifstream in(std::string(QUORREL_SOURCE_DIR) + "/docs/help/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Document Parse(const std::string& source) {
    Document doc;
    std::string error;
    EXPECT_TRUE(helpgen::ParseDocument(source, &doc, &error)) << error;
    return doc;
}

uint32_t U16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b.at(at)) | static_cast<uint8_t>(b.at(at + 1)) << 8;
}
uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

// A B+ tree as the viewer walks it; keySize and dataSize measure an entry's parts.
struct Tree {
    std::string bytes;   // from the tree header on
    std::function<size_t(size_t)> keySize, dataSize;

    size_t Page(unsigned n) const { return 38 + n * U16(bytes, 4); }
    std::vector<std::pair<std::string, std::string>> PageEntries(unsigned page) const {
        std::vector<std::pair<std::string, std::string>> entries;
        size_t at = Page(page) + 8;
        for (unsigned i = 0, n = U16(bytes, Page(page) + 2); i < n; ++i) {
            size_t k = keySize(at), d = dataSize(at + k);
            entries.emplace_back(bytes.substr(at, k), bytes.substr(at + k, d));
            at += k + d;
        }
        return entries;
    }
    // Every leaf entry (key, data) along the chain of leaves.
    std::vector<std::pair<std::string, std::string>> Entries() const {
        unsigned page = U16(bytes, 26);
        for (unsigned level = U16(bytes, 32); level > 1; --level) page = U16(bytes, Page(page) + 4);
        std::vector<std::pair<std::string, std::string>> entries;
        for (; page != 0xFFFF; page = U16(bytes, Page(page) + 6))
            for (const auto& e : PageEntries(page)) entries.push_back(e);
        return entries;
    }
    // The data of `key`, found from the root down through the index pages to its leaf.
    std::string Find(const std::string& key, const std::function<bool(const std::string&, const std::string&)>& less) const {
        unsigned page = U16(bytes, 26);
        for (unsigned level = U16(bytes, 32); level > 1; --level) {
            size_t at = Page(page) + 6;
            unsigned child = U16(bytes, Page(page) + 4);
            for (unsigned i = 0, n = U16(bytes, Page(page) + 2); i < n && !less(key, bytes.substr(at, keySize(at))); ++i) {
                child = U16(bytes, at + keySize(at));
                at += keySize(at) + 2;
            }
            page = child;
        }
        for (const auto& e : PageEntries(page))
            if (e.first == key) return e.second;
        return "";
    }
};

// The help file's internal files by name, read through its directory.
std::map<std::string, std::string> InternalFiles(const std::string& hlp) {
    std::map<std::string, std::string> files;
    EXPECT_EQ(U32(hlp, 0), 0x00035F3Fu);
    EXPECT_EQ(U32(hlp, 12), hlp.size());
    size_t directory = U32(hlp, 4);
    Tree tree{hlp.substr(directory + 9, U32(hlp, directory + 4)),
              [&](size_t at) { return std::strlen(tree.bytes.c_str() + at) + 1; }, [](size_t) { return 4; }};
    EXPECT_EQ(U16(tree.bytes, 0), 0x293Bu);
    std::string previous;
    for (const auto& entry : tree.Entries()) {
        std::string name = entry.first.substr(0, entry.first.size() - 1);
        EXPECT_LT(previous, name) << "the directory is in strcmp order";
        previous = name;
        uint32_t at = U32(entry.second, 0);
        EXPECT_GE(U32(hlp, at), U32(hlp, at + 4) + 9) << name;
        files[name] = hlp.substr(at + 9, U32(hlp, at + 4));
        EXPECT_EQ(tree.Find(entry.first, std::less<std::string>()), entry.second) << name;
    }
    return files;
}

// One topic link record of |TOPIC, decoded.
struct Record {
    uint32_t pos;
    int type;
    std::string title;     // topic headers
    std::string text;      // display records: the strings, a tab as '\t'
    unsigned length = 0;   // the character count the record declares
    unsigned counted = 0;  // what the viewer counts
    std::vector<int32_t> jumps;
};

size_t Skip(const std::string& b, size_t at, bool wide) { return at + ((static_cast<uint8_t>(b[at]) & 1) ? (wide ? 4 : 2) : (wide ? 2 : 1)); }

Record Decode(const std::string& topic, uint32_t pos) {
    size_t at = (pos >> 14) * helpgen::kTopicBlockSize + (pos & 0x3FFF);
    Record r{pos, static_cast<uint8_t>(topic.at(at + 20)), "", "", 0, 0, {}};
    std::string data1 = topic.substr(at + 21, U32(topic, at + 16) - 21);
    std::string data2 = topic.substr(at + U32(topic, at + 16), U32(topic, at + 4));
    EXPECT_EQ(U32(topic, at), 21 + data1.size() + data2.size());
    EXPECT_LE((pos & 0x3FFF) + U32(topic, at), helpgen::kTopicBlockSize) << "a record crosses its block";
    if (r.type == 2) {
        r.title = data2;
        return r;
    }
    size_t f = Skip(data1, 0, true);
    r.length = static_cast<uint8_t>(data1[f]) & 1 ? U16(data1, f) / 2 : static_cast<uint8_t>(data1[f]) / 2;
    f = Skip(data1, f, false) + 4;
    unsigned bits = U16(data1, f);
    f += 2;
    for (unsigned bit : {0x2u, 0x4u, 0x8u, 0x10u, 0x20u, 0x40u})
        if (bits & bit) f = Skip(data1, f, false);
    if (bits & 0x200) {
        unsigned tabs = (static_cast<uint8_t>(data1[f]) - 0x80) / 2;
        f = Skip(data1, f, false);
        for (unsigned i = 0; i < tabs; ++i) f = Skip(data1, f, false);
    }
    size_t s = 0;
    for (;;) {
        std::string piece = data2.c_str() + s;
        s += piece.size() + 1;
        r.text += piece;
        r.counted += static_cast<unsigned>(piece.size());
        uint8_t command = static_cast<uint8_t>(data1.at(f++));
        if (command == 0xFF) break;
        if (command == 0x80) f += 2;
        if (command == 0x82 || command == 0x83) ++r.counted;
        if (command == 0x83) r.text += '\t';
        if (command == 0xE3) {
            r.jumps.push_back(static_cast<int32_t>(U32(data1, f)));
            f += 4;
        }
    }
    EXPECT_EQ(s, data2.size());
    return r;
}

TEST(HelpFile, TheViewerFindsTopicsTitlesAndJumpsOfOurHelp) {
    Document doc = Parse(ReadSource("cdquorrel.txt"));
    std::string hlp, error;
    ASSERT_TRUE(helpgen::WriteWinHelp(doc, &hlp, &error)) << error;
    auto files = InternalFiles(hlp);
    for (const char* name : {"|SYSTEM", "|TOPIC", "|FONT", "|CONTEXT", "|TTLBTREE", "|KWBTREE", "|KWDATA"})
        EXPECT_EQ(files.count(name), 1u) << name;

    // |SYSTEM: format 1.21, uncompressed topics; title and contents topic.
    const std::string& system = files["|SYSTEM"];
    EXPECT_EQ(U16(system, 0), 0x036Cu);
    EXPECT_EQ(U16(system, 2), 21u);
    EXPECT_EQ(U16(system, 10), 0u);
    std::map<unsigned, std::string> records;
    for (size_t at = 12; at + 4 <= system.size(); at += 4 + U16(system, at + 2))
        records[U16(system, at)] = system.substr(at + 4, U16(system, at + 2));
    EXPECT_EQ(records[1], doc.title + '\0');

    // |TOPIC: the record chain from block 0, with topic offsets counted as the viewer does.
    const std::string& topic = files["|TOPIC"];
    ASSERT_EQ(topic.size() % helpgen::kTopicBlockSize, 0u);
    std::vector<Record> chain;
    std::vector<uint32_t> offsets;
    uint32_t characters = 0, block = 0xFFFFFFFF, previous = 0xFFFFFFFF;
    for (uint32_t pos = U32(topic, 4); pos != 0xFFFFFFFF && chain.size() < 10000;) {
        chain.push_back(Decode(topic, pos));
        size_t at = (pos >> 14) * helpgen::kTopicBlockSize + (pos & 0x3FFF);
        EXPECT_EQ(U32(topic, at + 8), previous);
        if ((pos >> 14) != block) block = pos >> 14, characters = 0;
        if (chain.back().type == 2) offsets.push_back(block * helpgen::kTopicOffsetBlock + characters);
        characters += chain.back().counted;
        EXPECT_EQ(chain.back().length, chain.back().counted);
        previous = pos;
        pos = U32(topic, at + 12);
    }
    ASSERT_EQ(offsets.size(), doc.topics.size());
    EXPECT_GT(topic.size(), helpgen::kTopicBlockSize) << "the help spans several topic blocks";
    EXPECT_EQ(U32(records[3], 0), offsets[0]);

    // Each topic: its header titled, its title paragraph, its paragraphs' words in order.
    size_t r = 0;
    for (const helpgen::Topic& t : doc.topics) {
        std::string title;
        helpgen::ToWindows1252(t.title, &title);
        EXPECT_EQ(chain[r].title, title);
        EXPECT_EQ(chain[r + 1].text, title);
        r += 2;
        for (const helpgen::Paragraph& p : t.paragraphs) {
            std::string text;
            helpgen::ToWindows1252(helpgen::PlainText(p), &text);
            if (p.kind == helpgen::ParagraphKind::kBullet) text = "\x95\t" + text;
            EXPECT_EQ(chain[r++].text, text);
        }
    }
    EXPECT_EQ(r, chain.size());

    // |CONTEXT and |TTLBTREE: every topic id and every jump leads to its topic.
    Tree context{files["|CONTEXT"], [](size_t) { return 4; }, [](size_t) { return 4; }};
    auto signedLess = [](const std::string& a, const std::string& b) {
        return static_cast<int32_t>(U32(a, 0)) < static_cast<int32_t>(U32(b, 0));
    };
    std::map<int32_t, uint32_t> byHash;
    for (size_t t = 0; t < doc.topics.size(); ++t) {
        std::string key(4, '\0');
        int32_t hash = helpgen::ContextHash(doc.topics[t].context);
        std::memcpy(&key[0], &hash, 4);
        EXPECT_EQ(U32(context.Find(key, signedLess), 0), offsets[t]) << doc.topics[t].context;
        byHash[hash] = offsets[t];
    }
    size_t jumps = 0;
    for (const Record& rec : chain)
        for (int32_t hash : rec.jumps) {
            EXPECT_EQ(byHash.count(hash), 1u);
            ++jumps;
        }
    EXPECT_GE(jumps, doc.topics.size() - 1) << "the contents topic jumps to every other topic";
    Tree titles{files["|TTLBTREE"], [](size_t) { return 4; },
                [&](size_t at) { return std::strlen(files["|TTLBTREE"].c_str() + at) + 1; }};
    EXPECT_EQ(titles.Entries().size(), doc.topics.size());
}

TEST(HelpFile, ManyTopicsNeedIndexPagesAndStillResolve) {
    std::string source = "@title Many\n";
    for (int i = 0; i < 600; ++i)
        source += "== Topic " + std::to_string(i) + " {t" + std::to_string(i) + "}\nSee [the next](#t" +
                  std::to_string((i + 1) % 600) + ").\n";
    Document doc = Parse(source);
    std::string hlp, error;
    ASSERT_TRUE(helpgen::WriteWinHelp(doc, &hlp, &error)) << error;
    auto files = InternalFiles(hlp);
    Tree context{files["|CONTEXT"], [](size_t) { return 4; }, [](size_t) { return 4; }};
    EXPECT_EQ(U16(context.bytes, 32), 2u) << "two levels: leaves under one index page";
    auto entries = context.Entries();
    ASSERT_EQ(entries.size(), 600u);
    for (size_t i = 1; i < entries.size(); ++i)
        EXPECT_LT(static_cast<int32_t>(U32(entries[i - 1].first, 0)), static_cast<int32_t>(U32(entries[i].first, 0)));
    auto signedLess = [](const std::string& a, const std::string& b) {
        return static_cast<int32_t>(U32(a, 0)) < static_cast<int32_t>(U32(b, 0));
    };
    for (const auto& e : entries) EXPECT_EQ(context.Find(e.first, signedLess), e.second);
    // The first topic starts the file; the last lies in a later block, counted from there.
    uint32_t first = 0xFFFFFFFF, last = 0;
    for (const auto& e : entries) first = std::min(first, U32(e.second, 0));
    EXPECT_EQ(first, 0u);
    for (const auto& e : entries) last = std::max(last, U32(e.second, 0));
    EXPECT_GT(last >> 15, 0u);
    EXPECT_LT(last & 0x7FFF, helpgen::kTopicBlockSize);
}

TEST(HelpSource, MalformedSourcesAreRefusedWithTheirLine) {
    struct Case {
        const char* source;
        const char* error;
    };
    const Case cases[] = {
        {"@title T\n== A {a}\nSee [b](#b).\n", "line 3: a link to the unknown topic b"},
        {"@title T\n== A {a}\nSome **bold\ntext.\n", "line 3: a '**' is not closed"},
        {"@title T\n== A {a}\nA snowman \xE2\x98\x83.\n", "line 3: a character that code page 1252 cannot hold"},
        {"@title T\n== A {a b}\n", "line 2: 'a b' is no valid topic id"},
        {"@title T\n== A {a}\n== B {a}\n", "line 3: a second topic a"},
        {"Text first.\n", "line 1: text before the first topic"},
        {"== A {a}\nText.\n", "line 2: the document has no @title"},
    };
    for (const Case& c : cases) {
        Document doc;
        std::string error;
        EXPECT_FALSE(helpgen::ParseDocument(c.source, &doc, &error)) << c.source;
        EXPECT_EQ(error, c.error) << c.source;
    }
    std::string cp1252;
    ASSERT_TRUE(helpgen::ToWindows1252("\xE2\x80\xA2 \xC3\xA9\xE2\x82\xAC", &cp1252));
    EXPECT_EQ(cp1252, "\x95 \xE9\x80");
}

TEST(ReadMe, WpsReadsOurWriteFileAsTheSourceSaysAndTheHtmlLinksResolve) {
    Document doc = Parse(ReadSource("readme.txt"));
    std::string wri = helpgen::WriteWrite(doc);
    ASSERT_EQ(wri.size() % 128, 0u);
    EXPECT_EQ(U16(wri, 0), 0xBE31u);
    EXPECT_EQ(U16(wri, 96) * 128u, wri.size()) << "pnMac counts every page";
    std::string path = testing::TempDir() + "helpgen_readme.wri";
    std::ofstream(path, std::ios::binary) << wri;
    FILE* pipe = popen(("wps2text '" + path + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
    ASSERT_EQ(pclose(pipe), 0) << "wps2text (libwps-tools) must read the file";
    // Its lines that are not blank: the title, each topic's title and paragraphs, the copyright.
    std::string wanted = doc.title + "\n";
    for (const helpgen::Topic& t : doc.topics) {
        wanted += t.title + "\n";
        for (const helpgen::Paragraph& p : t.paragraphs)
            wanted += (p.kind == helpgen::ParagraphKind::kBullet ? "\xE2\x80\xA2\t" : "") + PlainText(p) + "\n";
    }
    wanted += doc.copyright + "\n";
    std::string lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (end > at) lines += text.substr(at, end - at) + "\n";
    }
    EXPECT_EQ(lines, wanted);

    std::string html = helpgen::WriteHtml(Parse(ReadSource("cdquorrel.txt")));
    for (size_t at = 0; (at = html.find("href=\"#", at)) != std::string::npos; ++at) {
        std::string id = html.substr(at + 7, html.find('"', at + 7) - at - 7);
        EXPECT_NE(html.find("id=\"" + id + "\""), std::string::npos) << id;
    }
    EXPECT_NE(html.find("&lt; &gt; : &quot; / \\ | ? *"), std::string::npos) << "text is escaped";
}

}  // namespace
