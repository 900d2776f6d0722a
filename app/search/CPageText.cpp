// The page text the index takes: libxml2's HTML parser, which copes with
// whatever a browser saved, decodes entities and never reaches the network.

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "app/search/CSearchIndex.h"

namespace {

// More text than this is cut: a page that size is a dump, not a note, and
// its start is enough to find it.
constexpr size_t kMaxText = 2u << 20;

enum Kind { INLINE, BLOCK, SKIPPED };

// The parser gives element names in lower case.
Kind KindOf(const xmlChar* name)
{
    static const std::unordered_map<std::string_view, Kind> kinds = [] {
        std::unordered_map<std::string_view, Kind> map;
        for (const char* skip : {"script", "style", "noscript", "template"})
            map[skip] = SKIPPED;
        // Elements that end a run of words: a blank goes on either side.
        for (const char* block :
             {"address", "article", "aside", "blockquote", "br", "caption", "dd", "div", "dl", "dt", "fieldset",
              "figcaption", "figure", "footer", "form", "h1", "h2", "h3", "h4", "h5", "h6", "header", "hr", "img",
              "li", "main", "nav", "ol", "option", "p", "pre", "section", "table", "td", "th", "title", "tr", "ul"})
            map[block] = BLOCK;
        return map;
    }();
    auto found = kinds.find(reinterpret_cast<const char*>(name));
    return found == kinds.end() ? INLINE : found->second;
}

void AddBlank(std::string& out)
{
    if (!out.empty() && out.back() != ' ')
        out += ' ';
}

// Appends `text` with every run of white space made one blank.
void AddText(std::string& out, const char* text)
{
    for (const char* c = text; *c && out.size() < kMaxText; ++c) {
        if (*c == ' ' || *c == '\n' || *c == '\t' || *c == '\r' || *c == '\f')
            AddBlank(out);
        else
            out += *c;
    }
}

void Walk(xmlNode* first, std::string& out)
{
    // Iterative, so a deeply nested page cannot exhaust the stack.
    xmlNode* node = first;
    while (node && out.size() < kMaxText) {
        bool descend = false;
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            if (node->content)
                AddText(out, reinterpret_cast<const char*>(node->content));
        } else if (node->type == XML_ELEMENT_NODE && KindOf(node->name) != SKIPPED) {
            if (KindOf(node->name) == BLOCK)
                AddBlank(out);
            descend = node->children != nullptr;
        }
        if (descend) {
            node = node->children;
            continue;
        }
        while (node && !node->next) {
            node = node->parent;
            if (!node || node->type != XML_ELEMENT_NODE)
                return;
            if (KindOf(node->name) == BLOCK)
                AddBlank(out);
            if (node == first)
                return;
        }
        if (node)
            node = node->next;
    }
}

}  // namespace

std::string CPageText::Extract(const std::string& html)
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    if (html.empty())
        return {};
    // One parser a thread, used again for every page.
    struct Parser {
        htmlParserCtxtPtr context = htmlNewParserCtxt();
        ~Parser() { htmlFreeParserCtxt(context); }
    };
    thread_local Parser parser;
    if (!parser.context)
        return {};
    htmlDocPtr doc = htmlCtxtReadMemory(parser.context, html.data(),
                                        static_cast<int>(std::min<size_t>(html.size(), INT32_MAX)), nullptr, nullptr,
                                        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                            HTML_PARSE_RECOVER | HTML_PARSE_COMPACT);
    if (!doc)
        return {};
    std::string text;
    Walk(xmlDocGetRootElement(doc), text);
    xmlFreeDoc(doc);
    if (text.size() > kMaxText) {
        // Cut at a character's start, not inside one.
        size_t end = kMaxText;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        text.resize(end);
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    if (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    return text;
}
