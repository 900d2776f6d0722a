#include "app/search/CSearchQuery.h"

#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

constexpr char16_t kTagSeparator = u'\x1f';

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v' || c == 0x3000 ||
           c == 0xA0;
}

// Whether the tokeniser finds a word in `text`: an FTS5 string without one
// matches nothing, which would empty every result.
bool HasWordChar(const std::u16string& text)
{
    for (char16_t c : text) {
        if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            return true;
        bool punctuation = c < 0xC0 || (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F) ||
                           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF0F);
        if (!punctuation)
            return true;
    }
    return false;
}

std::string FtsString(const std::u16string& text, bool prefix)
{
    std::string out = "\"";
    for (char c : CUnicodeTool::ToUtf8(std::u16string_view(text))) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    if (prefix)
        out += '*';
    return out;
}

std::u16string Fold(const std::u16string& text)
{
    return CStringTool::ToLower(text.c_str());
}

struct Term {
    std::u16string text;
    bool quoted = false;
    bool prefix = false;
};

// One term from `at`: a quoted phrase (to the next quote or the end) or a
// run of characters up to a blank; a "*" right after it makes a prefix.
Term ReadTerm(const std::u16string& text, size_t& at)
{
    Term term;
    if (at < text.size() && text[at] == u'"') {
        term.quoted = true;
        size_t end = text.find(u'"', at + 1);
        if (end == std::u16string::npos)
            end = text.size();
        term.text = text.substr(at + 1, end - at - 1);
        at = end < text.size() ? end + 1 : end;
        if (at < text.size() && text[at] == u'*') {
            term.prefix = true;
            ++at;
        }
        return term;
    }
    size_t start = at;
    while (at < text.size() && !IsBlank(text[at]))
        ++at;
    term.text = text.substr(start, at - start);
    while (!term.text.empty() && term.text.back() == u'*') {
        term.prefix = true;
        term.text.pop_back();
    }
    return term;
}

}  // namespace

std::u16string CSearchQuery::TagKey(const std::vector<std::u16string>& tags)
{
    std::u16string key(1, kTagSeparator);
    for (const std::u16string& tag : tags)
        key += Fold(tag) + kTagSeparator;
    return key;
}

std::u16string CSearchQuery::FolderKey(const std::u16string& folderPath)
{
    std::u16string path;
    for (char16_t c : folderPath)
        path += c == u'\\' ? u'/' : c;
    while (!path.empty() && path.front() == u'/')
        path.erase(0, 1);
    while (!path.empty() && path.back() == u'/')
        path.pop_back();
    return Fold(path) + u'/';
}

CSearchQuery CSearchQuery::Parse(const std::u16string& text)
{
    CSearchQuery query;
    std::vector<std::string> wanted, unwanted;
    size_t at = 0;
    while (at < text.size()) {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        bool negative = text[at] == u'-' && at + 1 < text.size() && !IsBlank(text[at + 1]);
        if (negative)
            ++at;
        bool isTag = CStringTool::StartsWithNoCase(std::u16string_view(text).substr(at), u"tag:");
        bool isIn = CStringTool::StartsWithNoCase(std::u16string_view(text).substr(at), u"in:");
        if (isTag || isIn) {
            at += isTag ? 4 : 3;
            Term name = ReadTerm(text, at);
            std::u16string folder = isIn ? FolderKey(name.text) : u"";
            auto& tags = negative ? query.notTags : query.tags;
            auto& folders = negative ? query.notFolders : query.folders;
            if (isTag && !name.text.empty() && tags.size() < kMaxFilters)
                tags.push_back(TagKey({name.text}));
            else if (isIn && folder != u"/" && folders.size() < kMaxFilters)  // the top folder holds everything
                folders.push_back(folder);
            continue;
        }
        Term term = ReadTerm(text, at);
        if (!HasWordChar(term.text))
            continue;
        (negative ? unwanted : wanted).push_back(FtsString(term.text, term.prefix));
    }
    auto join = [](const std::vector<std::string>& parts, const char* op) {
        std::string out;
        for (const std::string& part : parts)
            out += (out.empty() ? "" : op) + part;
        return out;
    };
    std::string excluded = join(unwanted, " OR ");
    if (!wanted.empty()) {
        query.match = join(wanted, " AND ");
        if (!excluded.empty())
            query.match = "(" + query.match + ") NOT (" + excluded + ")";
    } else {
        query.exclude = excluded;
    }
    query.usable = !wanted.empty() || !query.tags.empty() || !query.folders.empty();
    return query;
}
