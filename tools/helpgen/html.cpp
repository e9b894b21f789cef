#include "html.h"

namespace helpgen {
namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Runs(const Paragraph& paragraph) {
    std::string html;
    for (const Run& run : paragraph.runs) {
        std::string text = Escape(run.text);
        if (!run.link.empty()) text = "<a href=\"#" + run.link + "\">" + text + "</a>";
        if (run.bold) text = "<strong>" + text + "</strong>";
        html += text;
    }
    return html;
}

const char kStyle[] =
    "body{font-family:Arial,Helvetica,sans-serif;max-width:46em;margin:1em auto;padding:0 1em;line-height:1.4}"
    "section{border-top:1px solid #ccc;margin-top:2em}"
    "a{color:#060}"
    "p.back{font-size:smaller}";

}  // namespace

std::string WriteHtml(const Document& doc) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                       Escape(doc.title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    for (size_t t = 0; t < doc.topics.size(); ++t) {
        const Topic& topic = doc.topics[t];
        html += t == 0 ? "<section id=\"" + topic.context + "\">\n<h1>" + Escape(topic.title) + "</h1>\n"
                       : "<section id=\"" + topic.context + "\">\n<h2>" + Escape(topic.title) + "</h2>\n";
        bool inList = false;
        for (const Paragraph& p : topic.paragraphs) {
            bool bullet = p.kind == ParagraphKind::kBullet;
            if (bullet && !inList) html += "<ul>\n";
            if (!bullet && inList) html += "</ul>\n";
            inList = bullet;
            switch (p.kind) {
                case ParagraphKind::kBullet: html += "<li>" + Runs(p) + "</li>\n"; break;
                case ParagraphKind::kHeading: html += "<h3>" + Runs(p) + "</h3>\n"; break;
                case ParagraphKind::kBody: html += "<p>" + Runs(p) + "</p>\n"; break;
            }
        }
        if (inList) html += "</ul>\n";
        if (t > 0)
            html += "<p class=\"back\"><a href=\"#" + doc.topics[0].context + "\">" + Escape(doc.topics[0].title) +
                    "</a></p>\n";
        html += "</section>\n";
    }
    if (!doc.copyright.empty()) html += "<footer><p>" + Escape(doc.copyright) + "</p></footer>\n";
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace helpgen
