#include "app/capture/CPageLinks.h"

#include <glib.h>

#include <algorithm>
#include <functional>

#include "app/capture/CHtmlRefs.h"
#include "app/capture/CPageRef.h"
#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

std::vector<std::u16string_view> Split(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    for (size_t at = 0; at <= path.size();) {
        size_t end = std::min(path.find(u'/', at), path.size());
        parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

std::string Escaped(std::u16string_view name)
{
    const std::string utf8 = CUnicodeTool::ToUtf8(name);
    gchar* escaped = g_uri_escape_string(utf8.c_str(), nullptr, TRUE);
    std::string out = escaped ? escaped : "";
    g_free(escaped);
    return out;
}

// The address part of an href and what follows it ("#part", "?query").
std::pair<std::string_view, std::string_view> SplitSuffix(std::string_view href)
{
    const size_t cut = std::min(href.find_first_of("#?"), href.size());
    return {href.substr(0, cut), href.substr(cut)};
}

bool IsFolderChange(const CPageLinks::CChange& change)
{
    return !change.oldPath.empty() && change.oldPath.back() == u'/';
}

// Whether `target` is the changed page or lies below the changed folder,
// and where it is now ("" when deleted).
bool Follow(const CPageLinks::CChange& change, const std::u16string& target, std::u16string* now)
{
    if (IsFolderChange(change)) {
        if (target.compare(0, change.oldPath.size(), change.oldPath) != 0)
            return false;
        *now = change.newPath.empty() ? std::u16string() : change.newPath + target.substr(change.oldPath.size());
        return true;
    }
    if (target != change.oldPath)
        return false;
    *now = change.newPath;
    return true;
}

bool HasClass(const CPageAnchor& anchor, std::string_view name)
{
    if (!anchor.classValue)
        return false;
    const std::string& value = anchor.classValue->url;
    for (size_t at = value.find(name); at != std::string::npos; at = value.find(name, at + 1)) {
        const size_t end = at + name.size();
        if ((at == 0 || value[at - 1] == ' ') && (end == value.size() || value[end] == ' '))
            return true;
    }
    return false;
}

// The class and title that mark a link to a deleted page.
void MarkBroken(const CPageAnchor& anchor, const std::string& title, std::vector<CRefReplacement>* edits)
{
    const std::string tip = "Page deleted: " + title;
    std::string inserted;
    if (anchor.classValue)
        edits->push_back({*anchor.classValue, anchor.classValue->url + " " + CPageLinks::kBrokenClass});
    else
        inserted += std::string(" class=\"") + CPageLinks::kBrokenClass + "\"";
    if (anchor.titleValue)
        edits->push_back({*anchor.titleValue, tip});
    else
        inserted += " title=\"" + CHtmlEscape::Escape(tip, CHtmlEscape::Text) + "\"";
    if (inserted.empty())
        return;
    CPageRef at;
    at.kind = CPageRef::Kind::Link;
    at.place = CPageRef::Place::Text;
    at.begin = at.end = anchor.attributesAt;
    edits->push_back({at, inserted});
}

bool ContainsNoCase(std::string_view text, std::string_view needle)
{
    if (needle.empty())
        return false;
    // Run over every page file at each rename: skipping ahead matters.
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c | 0x20) : c; };
    std::boyer_moore_horspool_searcher search(
        needle.begin(), needle.end(), [lower](char c) { return std::hash<char>()(lower(c)); },
        [lower](char a, char b) { return lower(a) == lower(b); });
    return std::search(text.begin(), text.end(), search) != text.end();
}

}  // namespace

std::string CPageLinks::MakeHref(std::u16string_view from, std::u16string_view to)
{
    std::vector<std::u16string_view> fromParts = Split(from);
    std::vector<std::u16string_view> toParts = Split(to);
    fromParts.pop_back();  // the page's own name
    size_t common = 0;
    while (common < fromParts.size() && common + 1 < toParts.size() && fromParts[common] == toParts[common])
        ++common;
    std::string href;
    for (size_t i = common; i < fromParts.size(); ++i)
        href += "../";
    for (size_t i = common; i < toParts.size(); ++i) {
        if (i > common)
            href += '/';
        href += Escaped(toParts[i]);
    }
    return href;
}

bool CPageLinks::ResolveHref(std::u16string_view from, std::string_view href, std::u16string* target)
{
    std::string_view path = SplitSuffix(href).first;
    if (path.empty() || path[0] == '/' || path[0] == '\\')
        return false;
    // A scheme ("http:", "file:", "c:") comes before any slash.
    const size_t colon = path.find(':');
    if (colon != std::string_view::npos && colon < std::min(path.find_first_of("/\\"), path.size()))
        return false;
    gchar* plain = g_uri_unescape_segment(path.data(), path.data() + path.size(), nullptr);
    if (!plain)
        return false;
    std::string decoded = plain;
    g_free(plain);
    if (!g_utf8_validate(decoded.c_str(), static_cast<gssize>(decoded.size()), nullptr))
        return false;
    std::replace(decoded.begin(), decoded.end(), '\\', '/');
    std::vector<std::u16string_view> parts = Split(from);
    parts.pop_back();
    const std::u16string relative = CUnicodeTool::FromUtf8(decoded);
    std::vector<std::u16string_view> steps = Split(relative);
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::u16string_view step = steps[i];
        if (step == u"..") {
            if (parts.empty())
                return false;  // above the content folder
            parts.pop_back();
        } else if (step == u"." || (step.empty() && i + 1 < steps.size())) {
            continue;
        } else {
            parts.push_back(step);
        }
    }
    if (parts.empty() || parts.back().empty())
        return false;
    std::u16string out;
    for (std::u16string_view part : parts) {
        if (!out.empty())
            out += u'/';
        out += part;
    }
    if (!CStringTool::EndsWithNoCase(out, u".htm") && !CStringTool::EndsWithNoCase(out, u".html"))
        return false;
    *target = std::move(out);
    return true;
}

std::string CPageLinks::MakeLinkHtml(std::u16string_view from, std::u16string_view to, std::string_view uuid,
                                     std::string_view text)
{
    return "<a href=\"" + CHtmlEscape::Escape(MakeHref(from, to), CHtmlEscape::Text) + "\" " + kIdAttribute + "=\"" +
           CHtmlEscape::Escape(uuid, CHtmlEscape::Text) + "\">" + CHtmlEscape::Escape(text, CHtmlEscape::Text) +
           "</a>";
}

std::vector<CPageLinks::CLink> CPageLinks::Find(std::string_view html, std::u16string_view from)
{
    std::vector<CLink> links;
    // Most pages hold no link to a page: without ".htm" (also written as
    // an escape or a character reference) or our attribute, the parse is
    // not needed.
    if (!ContainsNoCase(html, ".htm") && !ContainsNoCase(html, "%2e") && html.find("&#") == std::string_view::npos &&
        html.find(kIdAttribute) == std::string_view::npos)
        return links;
    for (const CPageAnchor& anchor : CHtmlRefs::FindAnchors(html)) {
        CLink link;
        const bool resolves = ResolveHref(from, SplitSuffix(anchor.href.url).first, &link.target);
        if (!resolves && anchor.pageId.empty())
            continue;
        link.pageId = anchor.pageId;
        link.text = anchor.text;
        link.broken = HasClass(anchor, kBrokenClass);
        links.push_back(std::move(link));
    }
    return links;
}

int CPageLinks::Rewrite(std::string_view html, std::u16string_view oldFrom, std::u16string_view newFrom,
                        const CChange& change, std::string* out)
{
    std::vector<CRefReplacement> edits;
    int changed = 0;
    for (const CPageAnchor& anchor : CHtmlRefs::FindAnchors(html)) {
        const auto [path, suffix] = SplitSuffix(anchor.href.url);
        std::u16string oldTarget;
        const bool resolves = ResolveHref(oldFrom, path, &oldTarget);
        const bool byId = !change.pageId.empty() && anchor.pageId == change.pageId && !IsFolderChange(change);
        std::u16string newTarget = oldTarget;
        bool hit = false;
        if (byId) {
            hit = true;
            newTarget = change.newPath;
        } else if (resolves) {
            hit = Follow(change, oldTarget, &newTarget);
        } else {
            continue;
        }
        if (hit && newTarget.empty()) {
            // A folder that left the tree keeps its files; a deleted page is gone.
            if (IsFolderChange(change) || HasClass(anchor, kBrokenClass))
                continue;
            MarkBroken(anchor, change.title, &edits);
            ++changed;
            continue;
        }
        std::u16string now;
        if (ResolveHref(newFrom, path, &now) && now == newTarget)
            continue;
        CPageRef ref = anchor.href;
        edits.push_back({ref, MakeHref(newFrom, newTarget) + std::string(suffix)});
        ++changed;
    }
    if (changed == 0 || !CRefRewrite::Apply(html, std::move(edits), out))
        return 0;
    return changed;
}

bool CPageLinks::MayLinkTo(std::string_view html, const CChange& change)
{
    if (!change.pageId.empty() && html.find(change.pageId) != std::string_view::npos)
        return true;
    // The last name of the changed path, as written or percent-encoded.
    std::u16string_view name = change.oldPath;
    if (!name.empty() && name.back() == u'/')
        name.remove_suffix(1);
    name = name.substr(name.rfind(u'/') + 1);
    if (const size_t dot = name.rfind(u'.'); dot != std::u16string_view::npos && !IsFolderChange(change))
        name = name.substr(0, dot);
    return ContainsNoCase(html, CUnicodeTool::ToUtf8(name)) || ContainsNoCase(html, Escaped(name));
}
