#include "app/capture/CCssRefs.h"

#include <string>

namespace {

bool IsNewline(char c)
{
    return c == '\n' || c == '\r' || c == '\f';
}

bool IsWhite(char c)
{
    return c == ' ' || c == '\t' || IsNewline(c);
}

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool EqualsNoCase(const std::string& name, std::string_view lower)
{
    if (name.size() != lower.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? char(name[i] | 0x20) : name[i];
        if (c != lower[i])
            return false;
    }
    return true;
}

void AppendUtf8(std::string& out, unsigned long cp)
{
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Reads CSS the way its tokenizer does, as far as references need: what
// is a comment, a string, a name or a url(), and what their escapes mean.
class CssScanner {
public:
    CssScanner(std::string_view css, size_t offset, CPageRef::Place place, std::vector<CPageRef>* refs)
        : m_css(css), m_offset(offset), m_place(place), m_refs(refs)
    {
    }

    void Run()
    {
        // After "@import" the next token, comments and blanks aside, is
        // what it imports.
        bool import = false;
        while (m_at < m_css.size()) {
            const char c = m_css[m_at];
            if (c == '/' && Peek(1) == '*') {
                SkipComment();
            } else if (IsWhite(c)) {
                ++m_at;
            } else if (c == '"' || c == '\'') {
                const size_t begin = m_at;
                std::string text;
                if (ReadString(&text) && import)
                    Add(CPageRef::Kind::CssImport, begin, text);
                import = false;
            } else if (c == '@') {
                ++m_at;
                import = EqualsNoCase(ReadName(), "import");
            } else if (IsNameChar(c) || IsEscape(m_at)) {
                const size_t begin = m_at;
                const std::string name = ReadName();
                if (Peek(0) == '(' && EqualsNoCase(name, "url")) {
                    ++m_at;
                    ReadUrl(begin, import ? CPageRef::Kind::CssImport : CPageRef::Kind::CssUrl);
                }
                import = false;
            } else {
                // "#url(" is a hash, not a url(): the name goes with it.
                ++m_at;
                if (c == '#')
                    ReadName();
                import = false;
            }
        }
    }

private:
    char Peek(size_t ahead) const { return m_at + ahead < m_css.size() ? m_css[m_at + ahead] : '\0'; }

    // A backslash that starts an escape (one before a line break does not).
    bool IsEscape(size_t at) const
    {
        return at + 1 < m_css.size() && m_css[at] == '\\' && !IsNewline(m_css[at + 1]);
    }

    void SkipComment()
    {
        const size_t close = m_css.find("*/", m_at + 2);
        m_at = close == std::string_view::npos ? m_css.size() : close + 2;
    }

    // At a backslash that starts an escape: appends what it means.
    void ReadEscape(std::string& out)
    {
        ++m_at;
        if (!IsHex(m_css[m_at])) {
            out += m_css[m_at++];
            return;
        }
        unsigned long cp = 0;
        for (int digits = 0; digits < 6 && m_at < m_css.size() && IsHex(m_css[m_at]); ++digits)
            cp = cp * 16 + HexValue(m_css[m_at++]);
        // One blank may end the escape; CR LF counts as one.
        if (Peek(0) == '\r' && Peek(1) == '\n')
            m_at += 2;
        else if (IsWhite(Peek(0)))
            ++m_at;
        AppendUtf8(out, cp);
    }

    std::string ReadName()
    {
        std::string name;
        while (m_at < m_css.size()) {
            if (IsEscape(m_at))
                ReadEscape(name);
            else if (IsNameChar(m_css[m_at]))
                name += m_css[m_at++];
            else
                break;
        }
        return name;
    }

    // At a quote. False for a string that a line break cut off, which CSS
    // throws away.
    bool ReadString(std::string* text)
    {
        const char quote = m_css[m_at++];
        while (m_at < m_css.size()) {
            const char c = m_css[m_at];
            if (c == quote) {
                ++m_at;
                return true;
            }
            if (IsNewline(c))
                return false;
            if (c != '\\') {
                *text += c;
                ++m_at;
            } else if (m_at + 1 >= m_css.size()) {
                ++m_at;
            } else if (IsNewline(m_css[m_at + 1])) {
                // A continued line means nothing.
                m_at += m_css[m_at + 1] == '\r' && Peek(2) == '\n' ? 3 : 2;
            } else {
                ReadEscape(*text);
            }
        }
        return true;  // the end of the text closes a string
    }

    void SkipWhite()
    {
        while (m_at < m_css.size() && IsWhite(m_css[m_at]))
            ++m_at;
    }

    // After "url(" that began at `begin`.
    void ReadUrl(size_t begin, CPageRef::Kind kind)
    {
        SkipWhite();
        std::string url;
        if (Peek(0) == '"' || Peek(0) == '\'') {
            // A function with a string: anything after the string up to the
            // closing parenthesis goes with it.
            const bool whole = ReadString(&url);
            for (int depth = 0; m_at < m_css.size() && (depth > 0 || m_css[m_at] != ')');) {
                if (m_css[m_at] == '"' || m_css[m_at] == '\'') {
                    std::string ignored;
                    ReadString(&ignored);
                } else if (m_css[m_at] == '/' && Peek(1) == '*') {
                    SkipComment();
                } else {
                    depth += m_css[m_at] == '(' ? 1 : m_css[m_at] == ')' ? -1 : 0;
                    ++m_at;
                }
            }
            if (m_at < m_css.size())
                ++m_at;
            if (whole)
                Add(kind, begin, url);
            return;
        }
        while (m_at < m_css.size()) {
            const char c = m_css[m_at];
            const auto u = static_cast<unsigned char>(c);
            if (c == ')') {
                ++m_at;
                break;
            }
            if (IsWhite(c)) {
                SkipWhite();
                if (m_at < m_css.size() && m_css[m_at] != ')')
                    return SkipBadUrl();
                continue;
            }
            if (c == '"' || c == '\'' || c == '(' || (u < 0x20 && c != '\t') || u == 0x7F)
                return SkipBadUrl();
            if (c == '\\') {
                if (!IsEscape(m_at))
                    return SkipBadUrl();
                ReadEscape(url);
            } else {
                url += c;
                ++m_at;
            }
        }
        Add(kind, begin, url);
    }

    // The rest of a url() that is no address, up to its ")".
    void SkipBadUrl()
    {
        while (m_at < m_css.size() && m_css[m_at] != ')')
            m_at += IsEscape(m_at) ? 2 : 1;
        if (m_at < m_css.size())
            ++m_at;
    }

    void Add(CPageRef::Kind kind, size_t begin, std::string url)
    {
        // The address as a URL parser takes it: without blanks around it.
        size_t first = 0, last = url.size();
        while (first < last && IsWhite(url[first]))
            ++first;
        while (last > first && IsWhite(url[last - 1]))
            --last;
        if (first == last)
            return;  // url() refers to nothing
        CPageRef ref;
        ref.kind = kind;
        ref.place = m_place;
        ref.begin = m_offset + begin;
        ref.end = m_offset + m_at;
        ref.url = url.substr(first, last - first);
        m_refs->push_back(std::move(ref));
    }

    std::string_view m_css;
    size_t m_offset;
    CPageRef::Place m_place;
    std::vector<CPageRef>* m_refs;
    size_t m_at = 0;
};

}  // namespace

std::vector<CPageRef> CCssRefs::Find(std::string_view css)
{
    std::vector<CPageRef> refs;
    Find(css, 0, CPageRef::Place::Text, &refs);
    return refs;
}

void CCssRefs::Find(std::string_view css, size_t offset, CPageRef::Place place, std::vector<CPageRef>* refs)
{
    CssScanner(css, offset, place, refs).Run();
}
