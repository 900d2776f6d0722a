#pragma once

// Links between the pages of a project: <a href="../Other/To%20Page.htm"
// data-zandrel-page="uuid">. The address is relative from the linking
// page's file to the target's, so it works in any browser and in an
// export; the identifier finds the target again when the address does not.
// Pages are named by their path relative to the content folder, names
// joined by "/" ("Folder/Sub/Title.htm"), as CFolderTreeMgr forms them.
// Page texts are UTF-8; rewrites go through CRefRewrite, never
// re-serialising a page.

#include <string>
#include <string_view>
#include <vector>

class CPageLinks {
public:
    CPageLinks() = delete;

    static constexpr char kIdAttribute[] = "data-zandrel-page";
    static constexpr char kBrokenClass[] = "zandrel-broken-link";

    // The address of page `to` from page `from`: "../" for each folder of
    // `from` not shared, then the names, each percent-encoded.
    static std::string MakeHref(std::u16string_view from, std::u16string_view to);
    // The page path `href` (as written in page `from`) points at: a
    // relative address of a ".htm" or ".html" file that stays inside the
    // content folder. False for anything else (a web address, an absolute
    // path, a picture, a way out above the content folder).
    static bool ResolveHref(std::u16string_view from, std::string_view href, std::u16string* target);
    // The markup of a new link from page `from` to page `to`.
    static std::string MakeLinkHtml(std::u16string_view from, std::u16string_view to, std::string_view uuid,
                                    std::string_view text);

    // A link of a page to a page (or to where one was).
    struct CLink {
        std::u16string target;  // the page path its address resolves to; "" when it does not
        std::string pageId;     // the target's identifier, "" when the link carries none
        std::string text;
        bool broken = false;    // marked as pointing at a deleted page
    };
    // The links of the page at `from` that are ours (with an identifier)
    // or whose address resolves to a ".htm" page path; the caller decides
    // which targets are pages.
    static std::vector<CLink> Find(std::string_view html, std::u16string_view from);

    // Page paths that changed: `oldPath` (a folder's, ending in "/", for
    // every page below it) is at `newPath`, or was deleted when `newPath`
    // is empty. `pageId` and `title` are the page's, for a page.
    struct CChange {
        std::u16string oldPath;
        std::u16string newPath;
        std::string pageId;
        std::string title;
    };
    // The page that was at `oldFrom` and is at `newFrom` (the same path
    // unless it moved) with its links following `change`: addresses to
    // the changed page (by identifier or by address) point at its new
    // path, those of a moved page are made relative to its new place, and
    // links to a deleted page get the class kBrokenClass and the title
    // "Page deleted: <title>". The number of links changed; `out` is
    // written only when it is not 0.
    static int Rewrite(std::string_view html, std::u16string_view oldFrom, std::u16string_view newFrom,
                       const CChange& change, std::string* out);

    // Whether `html` may hold a link that `change` touches, by a look at
    // the bytes alone: a cheap test before a page is parsed.
    static bool MayLinkTo(std::string_view html, const CChange& change);
};
