#pragma once

// Links between the pages of the open project (CPageLinks): they follow
// renames and moves, are marked when their page is deleted, open their
// page, and are listed by target ("Linked from") and when broken (Check
// Links).
//
// Rewrites on a rename, move or delete run on the interface thread, as the
// files must agree before the next command: every page file is read, but
// only those whose bytes name the changed page are parsed (bench_links:
// 0.8 s for a page that 50 of 20,000 pages link to). The lists come from a scan of the files on
// disk on a worker thread, which parses again only the page files whose
// size or time changed; a link table in the full-text index would serve
// too, but the index is kept only while the window runs, and a rename
// must be right without it.

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "app/capture/CPageLinks.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/search/CSearchIndex.h"

class CColctNode;
class CPageMgr;
class CUrlNode;
class RNode;

class CPageLinkMgr {
public:
    // A page of the project as its collection file describes it.
    struct CPage {
        std::u16string path;  // relative to the content folder
        std::u16string title;
        std::u16string uuid;
    };
    // A link of `from` whose page is gone.
    struct CBroken {
        CPage from;
        std::u16string text;
        std::u16string target;  // the page path its address names
    };
    // The project's pages and their links, from the files on disk.
    struct CScan {
        std::vector<CPage> pages;
        struct CEntry {
            size_t from;  // index in pages
            CPageLinks::CLink link;
        };
        std::vector<CEntry> links;

        // The pages with a link to the page at `path` or with identifier
        // `uuid`, each once, in the order of the pages.
        std::vector<CPage> LinkedFrom(const std::u16string& path, const std::u16string& uuid) const;
        // Links to pages that are gone: neither the address nor the
        // identifier names a page of the project.
        std::vector<CBroken> Broken() const;
    };
    using ScanHook = std::function<void(std::shared_ptr<const CScan> scan)>;

    CPageLinkMgr(CFolderTreeMgr& tree, CPageMgr& pages);
    ~CPageLinkMgr();  // stops and joins the scan
    CPageLinkMgr(const CPageLinkMgr&) = delete;
    CPageLinkMgr& operator=(const CPageLinkMgr&) = delete;

    // The tree's path change: links to the changed page (or the pages of
    // the changed folder) follow it, a moved page's own links are made
    // relative to its new place, and links to a deleted page are marked.
    // The number of page files written.
    int OnPathChange(const CFolderTreeMgr::CPathChange& change);

    // The page with identifier `uuid` ("" finds none); null when none.
    CUrlNode* FindPageById(const std::u16string& uuid, RNode** folder = nullptr, CColctNode** colct = nullptr);
    // The page a link points at: by identifier first, then by its address
    // (a file: URI inside the content folder). Null when neither finds one.
    CUrlNode* FindLinkTarget(const std::u16string& uuid, const std::string& address, RNode** folder,
                             CColctNode** colct);
    // The markup of a link from the page on show to page `target` of
    // `folder`, reading `text` (the target's title when empty). A target
    // without an identifier gets one and its collection is written. ""
    // when either page has no file yet (or the collection was not written).
    std::string MakeLinkHtml(RNode* folder, CUrlNode* target, const std::u16string& text);
    // The path of the page on show, "" when none or before its first save.
    std::u16string GetCurrentPath();

    // The links of page files already read, by size and time.
    struct CCache;
    // The scan of the files on disk; any thread, `stop` ends it early.
    // With `cache`, only page files that changed are parsed.
    static std::shared_ptr<CScan> Scan(const std::vector<CSearchFolder>& folders, std::stop_token stop,
                                       CCache* cache = nullptr);
    // Scans on a worker and hands the result to `done` on the interface
    // thread. A request while one runs replaces any other waiting one;
    // nothing is delivered after the manager is gone.
    void ScanLater(ScanHook done);

private:
    struct CWorker;
    CFolderTreeMgr& m_tree;
    CPageMgr& m_pages;
    std::shared_ptr<CWorker> m_pWorker;
};
