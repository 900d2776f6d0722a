#include "app/tags/CTagPageBuilder.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <unordered_set>

#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CProjectTags.h"
#include "app/core/CRecentPages.h"
#include "app/core/CAppSettings.h"
#include "base/model/CColctNode.h"
#include "base/model/CTagStore.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNode.h"
#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

const char16_t* const kNoProjectName = u"Empty Project";

std::u16string Number(long n)
{
    std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

const char16_t* OrEmpty(const char16_t* text)
{
    return text ? text : u"";
}

// Paths as the store compares them: "/" separated, letter case folded.
std::u16string FoldPath(const char16_t* path)
{
    std::u16string folded;
    folded.reserve(CStringTool::Length(path));
    for (; path && *path; ++path) {
        char16_t c = *path;
        if (c == u'\\')
            c = u'/';
        else if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + (u'a' - u'A'));
        else if (c >= 0x80)
            c = CStringTool::FoldCase(c);
        folded += c;
    }
    return folded;
}

CTagStore* StoreOf(const CTagPageContext& context)
{
    return context.tree ? context.tree->GetTagStore() : nullptr;
}

CTagItem* FindTag(const CTagPageContext& context, const std::u16string& name)
{
    return context.tree ? context.tree->GetProjectTags().FindTag(name) : nullptr;
}

// Joins `names` with single spaces, leaving out a name met before in
// another letter case.
std::u16string JoinDistinct(const std::vector<std::u16string>& names)
{
    std::u16string joined;
    std::vector<std::u16string> seen;
    for (const std::u16string& name : names) {
        std::u16string folded = CStringTool::ToLower(name.c_str());
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            continue;
        seen.push_back(std::move(folded));
        if (!joined.empty())
            joined += u' ';
        joined += name;
    }
    return joined;
}

// Everything but the heading and the results is the same on every search page.
void FillSearchFrame(std::u16string& page, const CTagPageContext& context, const std::u16string& filter)
{
    CTagPageBuilder::Fill(page, u"FILTERTAGS", CHtmlEscape::Escape(filter, CHtmlEscape::Value));
    CTagPageBuilder::Fill(page, u"STICKWIN", context.keepOpen ? u"checked" : u"");
    CTagPageBuilder::Fill(page, u"SIDETAGS", CTagPageBuilder::BuildSideList(StoreOf(context), context.plainSideList));
}

}  // namespace

void CTagPageBuilder::Fill(std::u16string& page, std::u16string_view name, const std::u16string& value)
{
    std::u16string key = u"<TEMP_VAR NAME=";
    key.append(name);
    key += u'>';
    // Searching on after the inserted value, so a value never fills itself.
    for (size_t at = page.find(key); at != std::u16string::npos; at = page.find(key, at + value.size())) {
        page.replace(at, key.size(), value);
    }
}

// ---- tag lists ----

namespace {

const char16_t* CloudClass(int count)
{
    if (count <= 1)
        return u"class=\"one\" ";
    if (count == 2)
        return u"class=\"two\" ";
    if (count <= 5)
        return u"class=\"five\" ";
    if (count <= 10)
        return u"class=\"ten\" ";
    if (count <= 50)
        return u"class=\"fifty\" ";
    return u"class=\"above\" ";
}

}  // namespace

std::u16string CTagPageBuilder::BuildCloud(const CTagStore* store, bool addTag)
{
    std::u16string out;
    for (RTagItem* r = store ? store->GetTagItemHead() : nullptr; r; r = r->GetNext()) {
        const CTagItem* tag = r->GetData();
        const char16_t* name = OrEmpty(tag->GetName());
        int count = tag->GetCount();
        out += u"<LI><A title=\"";
        out += Number(count);
        out += count <= 1 ? u" item\" " : u" items\" ";
        out += CloudClass(count);
        out += addTag ? u"href=\"javascript:addTag('" : u"href=\"javascript:ontag('";
        CHtmlEscape::Append(out, name, CHtmlEscape::Script);
        out += u"')\">";
        CHtmlEscape::Append(out, name, CHtmlEscape::Text);
        out += u"</A> ";
    }
    return out;
}

std::u16string CTagPageBuilder::BuildSideList(const CTagStore* store, bool plain)
{
    if (!plain)
        return BuildCloud(store, false);
    std::u16string out;
    for (RTagItem* r = store ? store->GetTagItemHead() : nullptr; r; r = r->GetNext()) {
        const CTagItem* tag = r->GetData();
        const char16_t* name = OrEmpty(tag->GetName());
        out += u"<LI><SPAN>";
        out += Number(tag->GetCount());
        out += u" </SPAN><A href=\"javascript:ontag('";
        CHtmlEscape::Append(out, name, CHtmlEscape::Script);
        out += u"')\">";
        CHtmlEscape::Append(out, name, CHtmlEscape::Text);
        out += u"</A>";
    }
    return out;
}

// ---- finding and ordering pages ----

std::vector<CTaggedPage> CTagPageBuilder::FindPages(CFolderTreeMgr& tree, const std::vector<CTagItem*>& tags)
{
    std::vector<CTaggedPage> pages;
    if (tags.empty() || std::find(tags.begin(), tags.end(), nullptr) != tags.end())
        return pages;
    // Walk the shortest list; every other tag answers from a set of its paths.
    auto shortest = std::min_element(tags.begin(), tags.end(),
                                     [](CTagItem* a, CTagItem* b) { return a->GetCount() < b->GetCount(); });
    std::vector<std::unordered_set<std::u16string>> others;
    for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
        if (tag == shortest || *tag == *shortest)
            continue;
        std::unordered_set<std::u16string>& paths = others.emplace_back();
        paths.reserve(static_cast<size_t>(std::max(0, (*tag)->GetCount())));
        for (RBstrItem* u = (*tag)->GetUrlList(); u; u = u->GetNext())
            paths.insert(FoldPath(u->GetData()));
    }
    // A path may be in a list twice, or in two spellings of one page.
    std::unordered_set<CUrlNode*> taken;
    for (RBstrItem* u = (*shortest)->GetUrlList(); u; u = u->GetNext()) {
        if (!u->GetData())
            continue;
        if (!others.empty()) {
            std::u16string folded = FoldPath(u->GetData());
            bool everywhere = std::all_of(others.begin(), others.end(),
                                          [&](const auto& paths) { return paths.count(folded) > 0; });
            if (!everywhere)
                continue;
        }
        RNode* folder = nullptr;
        CUrlNode* item = tree.FindPage(u->GetData(), &folder);
        if (item && taken.insert(item).second)
            pages.push_back({folder, item});
    }
    SortByName(pages);
    return pages;
}

void CTagPageBuilder::SortByName(std::vector<CTaggedPage>& pages)
{
    // The library's list sort swaps two neighbours only when the first name
    // is greater, comparing folded characters up to the end of the first
    // name, so a name that begins another goes first. That is plain
    // lexicographic order of the folded names, and neighbours of equal
    // names never swap: a stable sort on the folded names gives the same list.
    std::vector<std::u16string> keys;
    keys.reserve(pages.size());
    for (const CTaggedPage& page : pages)
        keys.push_back(CStringTool::ToLower(page.item ? page.item->GetName() : nullptr));
    std::vector<size_t> order(pages.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    std::vector<CTaggedPage> sorted;
    sorted.reserve(pages.size());
    for (size_t i : order)
        sorted.push_back(pages[i]);
    pages.swap(sorted);
}

// ---- entries ----

std::u16string CTagPageBuilder::GetPageLink(const CTagPageContext& context, RNode* folder, CUrlNode* item)
{
    std::vector<const char16_t*> names;
    for (RNode* node = folder; node && node->GetParent(); node = node->GetParent())
        names.push_back(node->GetData() ? OrEmpty(node->GetData()->GetName()) : u"");
    std::u16string link = context.projectName ? context.projectName : kNoProjectName;
    link += u'\\';
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        link += *name;
        link += u'\\';
    }
    link += OrEmpty(item ? item->GetUrl() : nullptr);
    return link;
}

void CTagPageBuilder::AppendEntry(const CTagPageContext& context, RNode* folder, CUrlNode* item, std::u16string& out)
{
    std::u16string link = GetPageLink(context, folder, item);
    out += u"<LI class=post><H4 class=desc><A href=\"krv:urlnode?href=";
    CHtmlEscape::Append(out, link, CHtmlEscape::Link);
    out += u"\" rel=nofollow>";
    CHtmlEscape::Append(out, OrEmpty(item->GetName()), CHtmlEscape::Text);
    out += u"</A></H4>";
    const char16_t* description = item->GetDescription();
    if (description && *description) {
        out += u"<P class=notes>";
        CHtmlEscape::Append(out, description, CHtmlEscape::Text);
        out += u"</P>";
    }
    out += u"<DIV class=meta>tags";
    const CUrlProp* prop = item->PeekUrlProp();
    for (RBstrItem* t = prop ? prop->GetTagsHead() : nullptr; t; t = t->GetNext()) {
        const char16_t* tag = OrEmpty(t->GetData());
        out += u" <A class=tag  href=\"javascript:ontag('";
        CHtmlEscape::Append(out, tag, CHtmlEscape::Script);
        out += u"')\">";
        CHtmlEscape::Append(out, tag, CHtmlEscape::Text);
        out += u"</A>";
    }
    out += u"</DIV><DIV class=colct><A href=\"krv:urlnode?href=";
    CHtmlEscape::Append(out, link, CHtmlEscape::Link);
    out += u"\">";
    // The link keeps its backslashes; the user reads a path as the desktop writes it.
    std::u16string shown = link;
    std::replace(shown.begin(), shown.end(), u'\\', u'/');
    CHtmlEscape::Append(out, shown, CHtmlEscape::Text);
    out += u"</A></DIV>";
}

void CTagPageBuilder::FillResults(const std::u16string& page, const CTagPageContext& context,
                                  const std::vector<CTaggedPage>& pages, std::u16string* html)
{
    // A search may list thousands of pages: the entries go straight into
    // the page rather than through a string of their own. Room is reserved
    // generously; what is never written costs nothing.
    static const std::u16string key = u"<TEMP_VAR NAME=TAGRESULT>";
    html->clear();
    html->reserve(page.size() + pages.size() * 1024);
    size_t from = 0, entries = 0, length = 0;
    bool filled = false;
    for (size_t at = page.find(key); at != std::u16string::npos; at = page.find(key, from)) {
        html->append(page, from, at - from);
        if (!filled) {
            filled = true;
            entries = html->size();
            for (const CTaggedPage& found : pages)
                AppendEntry(context, found.folder, found.item, *html);
            length = html->size() - entries;
        } else {
            html->append(std::u16string(*html, entries, length));
        }
        from = at + key.size();
    }
    html->append(page, from, std::u16string::npos);
}

// ---- pages ----

bool CTagPageBuilder::LoadTemplate(const char16_t* name, std::u16string* text) const
{
    // Asked each time: the settings may not be read when the builder is made.
    std::u16string folder = m_folder.empty() ? CAppSettings::Get()->GetDataFolders().GetAssetsFolder() : m_folder;
    std::string bytes;
    if (!ReadRegularFile(CFileSys::Native(folder + name).c_str(), &bytes))
        return false;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    *text = CUnicodeTool::FromUtf8(bytes);
    return true;
}

bool CTagPageBuilder::BuildTagItPage(const CTagPageContext& context, CColctNode* colct, CUrlNode* page,
                                     std::u16string* html) const
{
    std::u16string text;
    if (!colct || !page || !html || !LoadTemplate(kTagItTemplate, &text))
        return false;
    std::u16string tags;
    const CUrlProp* prop = page->PeekUrlProp();
    for (RBstrItem* t = prop ? prop->GetTagsHead() : nullptr; t; t = t->GetNext()) {
        tags += CHtmlEscape::Escape(OrEmpty(t->GetData()), CHtmlEscape::Value);
        tags += u' ';
    }
    Fill(text, u"TITLE", CHtmlEscape::Escape(OrEmpty(page->GetName()), CHtmlEscape::Text));
    Fill(text, u"TAGS", tags);
    // Identifiers come back with the form and are compared as they are; the
    // browser decodes what escaping adds.
    Fill(text, u"COLCTID", CHtmlEscape::Escape(colct->GetUUID(), CHtmlEscape::Text));
    Fill(text, u"PAGEID", CHtmlEscape::Escape(page->GetUUID(), CHtmlEscape::Text));
    Fill(text, u"DESCRIPTION", CHtmlEscape::Escape(page->GetDescription(), CHtmlEscape::Text));
    Fill(text, u"TAGSLIST", BuildCloud(StoreOf(context), true));
    *html = std::move(text);
    return true;
}

bool CTagPageBuilder::BuildOneTagPage(const CTagPageContext& context, const std::u16string& tag,
                                      std::u16string* html) const
{
    std::u16string text;
    if (!html || !LoadTemplate(kSearchTemplate, &text))
        return false;
    std::vector<CTaggedPage> pages;
    if (CTagItem* item = FindTag(context, tag))
        pages = FindPages(*context.tree, {item});
    std::u16string heading;
    if (pages.empty()) {
        heading = u"No page has been found with tag:&nbsp;<Strong>";
    } else if (pages.size() == 1) {
        heading = u"One page has this tag:&nbsp;<Strong>";
    } else {
        heading = Number(static_cast<long>(pages.size()));
        heading += u" pages have this tag:&nbsp;<Strong>";
    }
    heading += CHtmlEscape::Escape(tag, CHtmlEscape::Text);
    heading += u"</Strong>";
    FillSearchFrame(text, context, tag);
    Fill(text, u"TAGNAME", heading);
    FillResults(text, context, pages, html);
    return true;
}

bool CTagPageBuilder::BuildSearchPage(const CTagPageContext& context, const std::u16string& text,
                                      std::u16string* html) const
{
    if (!html)
        return false;
    // Split as an item's tags are: later spellings of a tag already named
    // are dropped, so every count below is of distinct tags.
    std::vector<std::u16string> found, unknown;
    std::vector<CTagItem*> foundTags;
    RBstrItem* pieces = CUrlProp::GenerateRBstrItemList(text.c_str());
    for (RBstrItem* p = pieces; p; p = p->GetNext()) {
        std::u16string piece = OrEmpty(p->GetData());
        if (CTagItem* tag = FindTag(context, piece)) {
            found.push_back(std::move(piece));
            foundTags.push_back(tag);
        } else {
            unknown.push_back(std::move(piece));
        }
    }
    CUrlProp::DeleteTagsList(pieces);
    if (found.size() == 1 && unknown.empty())
        return BuildOneTagPage(context, found.front(), html);

    std::u16string page;
    if (!LoadTemplate(kSearchTemplate, &page))
        return false;
    std::u16string heading;
    std::vector<CTaggedPage> pages;
    if (found.empty()) {
        heading = u"No such tag.";
    } else {
        pages = FindPages(*context.tree, foundTags);
        std::u16string foundText = CHtmlEscape::Escape(JoinDistinct(found), CHtmlEscape::Text);
        std::u16string unknownText = CHtmlEscape::Escape(JoinDistinct(unknown), CHtmlEscape::Text);
        bool oneTag = found.size() == 1;
        if (pages.empty()) {
            heading = oneTag ? u"No page has been found with this tag:&nbsp;<Strong>"
                             : u"No page has been found with these tags:&nbsp;<Strong>";
            heading += foundText;
            if (!unknown.empty()) {
                heading += u' ';
                heading += unknownText;
            }
            heading += u"</Strong>";
        } else {
            if (pages.size() == 1) {
                heading = oneTag ? u"One page has this tag:&nbsp;<Strong>" : u"One page has these tags:&nbsp;<Strong>";
            } else {
                heading = Number(static_cast<long>(pages.size()));
                heading += oneTag ? u" pages have this tag:&nbsp;<Strong>" : u" pages have these tags:&nbsp;<Strong>";
            }
            heading += foundText;
            heading += u"</Strong>";
            if (!unknown.empty()) {
                heading += unknown.size() == 1 ? u"<br>No such tag:&nbsp;<Strong>" : u"<br>No such tags:&nbsp;<Strong>";
                heading += unknownText;
                heading += u"</Strong>";
            }
        }
    }
    FillSearchFrame(page, context, text);
    Fill(page, u"TAGNAME", heading);
    FillResults(page, context, pages, html);
    return true;
}

bool CTagPageBuilder::BuildRecentPage(const CTagPageContext& context, std::u16string* html) const
{
    std::u16string text;
    if (!html || !LoadTemplate(kSearchTemplate, &text))
        return false;
    std::vector<CTaggedPage> pages;
    if (CRecentPages* recent = context.recentTagged; recent && context.tree) {
        if (!recent->IsLoaded())
            recent->Load();
        // Entries are copies that name their page by its path; the page
        // itself may have changed or gone since.
        for (RNode* entry = recent->GetFirst(); entry; entry = entry->GetNext()) {
            CUrlNode* copy = CRecentPages::GetItem(entry);
            RNode* folder = nullptr;
            CUrlNode* item = copy && copy->GetUrl() ? context.tree->FindPage(copy->GetUrl(), &folder) : nullptr;
            if (item)
                pages.push_back({folder, item});
        }
    }
    FillSearchFrame(text, context, u"");
    Fill(text, u"TAGNAME", u"Recently tagged pages:");
    FillResults(text, context, pages, html);
    return true;
}
