#include "app/capture/CHtmlRefs.h"

#include <gumbo.h>

#include <strings.h>

#include <algorithm>
#include <map>
#include <string>

#include "app/capture/CCssRefs.h"

namespace {

using Kind = CPageRef::Kind;
using Place = CPageRef::Place;

bool IsHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// An owned parse, freed with its scope.
class GumboParse {
public:
    explicit GumboParse(std::string_view text)
        : m_output(gumbo_parse_with_options(&kGumboDefaultOptions, text.data(), text.size()))
    {
    }
    ~GumboParse()
    {
        if (m_output)
            gumbo_destroy_output(&kGumboDefaultOptions, m_output);
    }
    GumboParse(const GumboParse&) = delete;
    GumboParse& operator=(const GumboParse&) = delete;

    const GumboNode* Root() const { return m_output ? m_output->document : nullptr; }

private:
    GumboOutput* m_output;
};

const GumboVector* ChildrenOf(const GumboNode* node)
{
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT: return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: return &node->v.element.children;
    default: return nullptr;
    }
}

// Every element of a parse in document order; a loop, not recursion, as a
// hostile page may nest deeply.
template <typename Visit>
void ForEachElement(const GumboNode* root, Visit visit)
{
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE)
            visit(node->v.element);
        if (const GumboVector* children = ChildrenOf(node)) {
            for (unsigned i = children->length; i-- > 0;)
                stack.push_back(static_cast<const GumboNode*>(children->data[i]));
        }
    }
}

// An attribute value decoded, with the raw bytes each decoded byte came
// from, so that a part found in the decoded text (a srcset address, a CSS
// url()) has its place in the page.
struct MappedText {
    std::string text;
    std::vector<size_t> from;  // page offset where byte i's raw text begins
    std::vector<size_t> to;    // and ends

    void Append(std::string_view decoded, size_t rawBegin, size_t rawEnd)
    {
        text += decoded;
        from.insert(from.end(), decoded.size(), rawBegin);
        to.insert(to.end(), decoded.size(), rawEnd);
    }
};

class PageScanner {
public:
    explicit PageScanner(std::string_view html) : m_html(html) {}

    std::vector<CPageRef> Run()
    {
        GumboParse parse(m_html);
        if (parse.Root())
            ForEachElement(parse.Root(), [this](const GumboElement& e) { Element(e); });
        std::stable_sort(m_refs.begin(), m_refs.end(),
                         [](const CPageRef& a, const CPageRef& b) { return a.begin < b.begin; });
        // The parser clones elements to mend misnested markup (<a><p></a>);
        // a clone's attributes are the same text, listed once.
        m_refs.erase(std::unique(m_refs.begin(), m_refs.end(),
                                 [](const CPageRef& a, const CPageRef& b) { return a.begin == b.begin; }),
                     m_refs.end());
        return std::move(m_refs);
    }

    std::vector<CPageAnchor> Anchors()
    {
        std::vector<CPageAnchor> anchors;
        GumboParse parse(m_html);
        if (!parse.Root())
            return anchors;
        std::vector<const GumboNode*> stack{parse.Root()};
        while (!stack.empty()) {
            const GumboNode* node = stack.back();
            stack.pop_back();
            if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_A &&
                node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML)
                Anchor(node, &anchors);
            if (const GumboVector* children = ChildrenOf(node)) {
                for (unsigned i = children->length; i-- > 0;)
                    stack.push_back(static_cast<const GumboNode*>(children->data[i]));
            }
        }
        std::stable_sort(anchors.begin(), anchors.end(),
                         [](const CPageAnchor& a, const CPageAnchor& b) { return a.href.begin < b.href.begin; });
        // Clones of misnested markup share their attributes' text.
        anchors.erase(std::unique(anchors.begin(), anchors.end(),
                                  [](const CPageAnchor& a, const CPageAnchor& b) { return a.href.begin == b.href.begin; }),
                      anchors.end());
        return anchors;
    }

private:
    void Anchor(const GumboNode* node, std::vector<CPageAnchor>* anchors)
    {
        const GumboElement& e = node->v.element;
        const GumboStringPiece& tag = e.original_tag;
        if (!tag.data || tag.length < 2 || tag.data < m_html.data() || tag.data + tag.length > m_html.data() + m_html.size())
            return;
        m_refs.clear();
        Url(e, "href", Kind::Link);
        if (m_refs.empty())
            return;
        CPageAnchor anchor;
        anchor.href = std::move(m_refs.back());
        m_refs.clear();
        anchor.attributesAt = static_cast<size_t>(tag.data - m_html.data()) + 2;
        if (const GumboAttribute* id = gumbo_get_attribute(&e.attributes, "data-zandrel-page"))
            anchor.pageId = id->value;
        for (const char* name : {"class", "title"}) {
            const GumboAttribute* attr = gumbo_get_attribute(&e.attributes, name);
            CPageRef value;
            if (attr && RawValue(*attr, &value.begin, &value.end, &value.place)) {
                value.url = attr->value;
                (name[0] == 'c' ? anchor.classValue : anchor.titleValue) = std::move(value);
            }
        }
        std::vector<const GumboNode*> stack{node};
        bool blank = false;
        while (!stack.empty()) {
            const GumboNode* n = stack.back();
            stack.pop_back();
            if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE || n->type == GUMBO_NODE_CDATA) {
                for (const char* c = n->v.text.text; *c; ++c) {
                    if (IsHtmlSpace(*c)) {
                        blank = !anchor.text.empty();
                        continue;
                    }
                    if (blank)
                        anchor.text += ' ';
                    blank = false;
                    anchor.text += *c;
                }
            }
            if (const GumboVector* children = ChildrenOf(n)) {
                for (unsigned i = children->length; i-- > 0;)
                    stack.push_back(static_cast<const GumboNode*>(children->data[i]));
            }
        }
        anchors->push_back(std::move(anchor));
    }

    void Element(const GumboElement& e)
    {
        if (e.tag_namespace != GUMBO_NAMESPACE_HTML)
            return;
        switch (e.tag) {
        case GUMBO_TAG_IMG:
            Url(e, "src", Kind::Image);
            SrcSet(e);
            break;
        case GUMBO_TAG_SOURCE:
            Url(e, "src", Kind::Media);
            SrcSet(e);
            break;
        case GUMBO_TAG_INPUT:
            if (const GumboAttribute* type = gumbo_get_attribute(&e.attributes, "type");
                type && strcasecmp(type->value, "image") == 0)
                Url(e, "src", Kind::Image);
            break;
        case GUMBO_TAG_VIDEO:
            Url(e, "poster", Kind::Image);
            Url(e, "src", Kind::Media);
            break;
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_TRACK:
        case GUMBO_TAG_EMBED: Url(e, "src", Kind::Media); break;
        case GUMBO_TAG_OBJECT: Url(e, "data", Kind::Media); break;
        case GUMBO_TAG_LINK: Url(e, "href", LinkKind(e)); break;
        case GUMBO_TAG_SCRIPT: Url(e, "src", Kind::Script); break;
        case GUMBO_TAG_BODY:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_TR:
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH: Url(e, "background", Kind::Background); break;
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_FRAME: Url(e, "src", Kind::Frame); break;
        case GUMBO_TAG_A:
        case GUMBO_TAG_AREA: Url(e, "href", Kind::Link); break;
        case GUMBO_TAG_BASE: Url(e, "href", Kind::Base); break;
        case GUMBO_TAG_STYLE: StyleElement(e); break;
        default: break;
        }
        StyleAttribute(e);
    }

    static Kind LinkKind(const GumboElement& e)
    {
        const GumboAttribute* rel = gumbo_get_attribute(&e.attributes, "rel");
        if (!rel)
            return Kind::Link;
        bool icon = false;
        std::string word;
        for (const char* c = rel->value;; ++c) {
            if (*c && !IsHtmlSpace(*c)) {
                word += static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c | 0x20 : *c);
                continue;
            }
            if (word == "stylesheet")
                return Kind::Stylesheet;
            icon = icon || word == "icon" || word == "apple-touch-icon" || word == "apple-touch-icon-precomposed";
            word.clear();
            if (!*c)
                break;
        }
        return icon ? Kind::Icon : Kind::Link;
    }

    // The raw value of `attr` in the page without its quotes, and how it
    // is quoted. False for an attribute without a value in the text. Read
    // from the text after the attribute's name, as the tokenizer reads it:
    // the parser's own value position is off for an unquoted value that
    // begins with a character reference.
    bool RawValue(const GumboAttribute& attr, size_t* begin, size_t* end, Place* place) const
    {
        const char* name = attr.original_name.data;
        if (!name || name < m_html.data() || name + attr.original_name.length > m_html.data() + m_html.size())
            return false;
        size_t at = name - m_html.data() + attr.original_name.length;
        while (at < m_html.size() && IsHtmlSpace(m_html[at]))
            ++at;
        if (at >= m_html.size() || m_html[at] != '=')
            return false;
        ++at;
        while (at < m_html.size() && IsHtmlSpace(m_html[at]))
            ++at;
        if (at >= m_html.size() || m_html[at] == '>')
            return false;
        if (m_html[at] == '"' || m_html[at] == '\'') {
            const size_t close = m_html.find(m_html[at], at + 1);
            if (close == std::string_view::npos)
                return false;
            *place = m_html[at] == '"' ? Place::DoubleQuoted : Place::SingleQuoted;
            *begin = at + 1;
            *end = close;
            return true;
        }
        *place = Place::Unquoted;
        *begin = at;
        while (at < m_html.size() && !IsHtmlSpace(m_html[at]) && m_html[at] != '>')
            ++at;
        *end = at;
        return true;
    }

    void Url(const GumboElement& e, const char* name, Kind kind)
    {
        const GumboAttribute* attr = gumbo_get_attribute(&e.attributes, name);
        CPageRef ref;
        if (!attr || !RawValue(*attr, &ref.begin, &ref.end, &ref.place))
            return;
        // As a URL parser reads it: no blanks around it, no tabs or line
        // breaks in it.
        for (const char* c = attr->value; *c; ++c) {
            if (*c != '\t' && *c != '\n' && *c != '\r')
                ref.url += *c;
        }
        const size_t first = ref.url.find_first_not_of(" \f");
        if (first == std::string::npos)
            return;
        ref.url = ref.url.substr(first, ref.url.find_last_not_of(" \f") + 1 - first);
        ref.kind = kind;
        m_refs.push_back(std::move(ref));
    }

    // One candidate address after another, as browsers split a srcset:
    // an address runs to the next blank (trailing commas are separators),
    // then descriptors run to a comma outside parentheses.
    void SrcSet(const GumboElement& e)
    {
        const GumboAttribute* attr = gumbo_get_attribute(&e.attributes, "srcset");
        size_t begin, end;
        Place place;
        if (!attr || !RawValue(*attr, &begin, &end, &place))
            return;
        const MappedText value = Decode(begin, end);
        const std::string& s = value.text;
        size_t at = 0;
        while (at < s.size()) {
            while (at < s.size() && (IsHtmlSpace(s[at]) || s[at] == ','))
                ++at;
            const size_t first = at;
            while (at < s.size() && !IsHtmlSpace(s[at]))
                ++at;
            size_t last = at;
            if (last > first && s[last - 1] == ',') {
                while (last > first && s[last - 1] == ',')
                    --last;
            } else {
                for (int depth = 0; at < s.size() && (depth > 0 || s[at] != ','); ++at)
                    depth += s[at] == '(' ? 1 : s[at] == ')' && depth > 0 ? -1 : 0;
            }
            if (last > first)
                m_refs.push_back({Kind::SrcSet, place, value.from[first], value.to[last - 1], s.substr(first, last - first)});
        }
    }

    void StyleElement(const GumboElement& e)
    {
        for (unsigned i = 0; i < e.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
            if (child->type != GUMBO_NODE_TEXT && child->type != GUMBO_NODE_WHITESPACE)
                continue;
            const GumboStringPiece& raw = child->v.text.original_text;
            if (raw.data >= m_html.data() && raw.data + raw.length <= m_html.data() + m_html.size())
                CCssRefs::Find({raw.data, raw.length}, raw.data - m_html.data(), Place::Text, &m_refs);
        }
    }

    void StyleAttribute(const GumboElement& e)
    {
        const GumboAttribute* attr = gumbo_get_attribute(&e.attributes, "style");
        size_t begin, end;
        Place place;
        if (!attr || !RawValue(*attr, &begin, &end, &place))
            return;
        const MappedText value = Decode(begin, end);
        std::vector<CPageRef> found;
        CCssRefs::Find(value.text, 0, place, &found);
        for (CPageRef& ref : found) {
            ref.begin = value.from[ref.begin];
            ref.end = value.to[ref.end - 1];
            m_refs.push_back(std::move(ref));
        }
    }

    // The raw attribute value [begin, end) decoded. Each character
    // reference is decoded by the parser itself, alone in an attribute, so
    // the rules stay the parser's (a "&amp" before "=" or a letter stays).
    MappedText Decode(size_t begin, size_t end)
    {
        MappedText out;
        size_t at = begin;
        while (at < end) {
            if (m_html[at] != '&') {
                out.Append(m_html.substr(at, 1), at, at + 1);
                ++at;
                continue;
            }
            size_t stop = at + 1;
            if (stop < end && m_html[stop] == '#')
                ++stop;
            while (stop < end && IsAlnum(m_html[stop]))
                ++stop;
            if (stop < end && (m_html[stop] == ';' || m_html[stop] == '='))
                ++stop;
            const std::string_view reference = m_html.substr(at, stop - at);
            const std::string& decoded = DecodeReference(reference);
            // A reference the parser left alone is plain text.
            if (decoded == reference) {
                out.Append(m_html.substr(at, 1), at, at + 1);
                ++at;
                continue;
            }
            out.Append(decoded, at, stop);
            at = stop;
        }
        return out;
    }

    const std::string& DecodeReference(std::string_view reference)
    {
        auto known = m_decoded.find(std::string(reference));
        if (known != m_decoded.end())
            return known->second;
        std::string value(reference);
        const std::string probe = "<p x=\"" + value + "\">";
        GumboParse parse(probe);
        if (parse.Root()) {
            ForEachElement(parse.Root(), [&value](const GumboElement& e) {
                if (e.tag == GUMBO_TAG_P)
                    if (const GumboAttribute* x = gumbo_get_attribute(&e.attributes, "x"))
                        value = x->value;
            });
        }
        return m_decoded.emplace(std::string(reference), std::move(value)).first->second;
    }

    std::string_view m_html;
    std::vector<CPageRef> m_refs;
    std::map<std::string, std::string> m_decoded;
};

}  // namespace

std::vector<CPageRef> CHtmlRefs::Find(std::string_view html)
{
    return PageScanner(html).Run();
}

std::vector<CPageAnchor> CHtmlRefs::FindAnchors(std::string_view html)
{
    return PageScanner(html).Anchors();
}
