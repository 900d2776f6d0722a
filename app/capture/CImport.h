#pragma once

// Import of pages a browser saved as "Web page, complete" (NAME.htm or
// NAME.html beside its NAME_files folder), one by one or as whole directory
// trees, into a folder of the project. The user's files are only read:
// each page is copied in under its title, its assets folder copied along
// under the page's new name and the page's references to it rewritten.
// The title comes from the page's <title>, and a "saved from url" comment
// gives the page a source note.
//
// An import runs in three steps so the copying can run on another thread:
// Plan (interface thread) lists which page goes to which folder, Copy
// (any thread, files only) copies each page under its title into a hidden
// staging folder inside the target folder's directory, and Commit
// (interface thread) makes the new folders, moves the copies into place
// and adds the items. Discard, after a cancel, removes what was staged:
// then no page and no file is left.

#include <functional>
#include <set>
#include <string>
#include <vector>

class CColctNode;
class CFolderTreeMgr;
class CUrlNode;
class RNode;

class CImport {
public:
    // Pages larger than this are left out: a saved page is far smaller.
    static constexpr size_t kMaxPageBytes = 64u << 20;

    struct CResult {
        int pages = 0;
        int folders = 0;
        std::vector<std::u16string> skipped;  // what was not imported, with why
    };

    // A folder pages go into: one of the tree, or one made at commit.
    struct CFolder {
        RNode* node = nullptr;      // the folder when it exists at planning
        size_t parent = 0;          // otherwise made below folders[parent]
        std::u16string name;        // ...under this name
        std::u16string source;      // the user's directory it comes from
        std::u16string directory;   // its directory, with the final "/"
        std::set<std::u16string> titles;  // titles in use, lower case
    };
    struct CPage {
        size_t folder = 0;
        std::u16string source;      // the user's page file
        std::u16string title;       // staged under this title; "" when not
        bool hasAssets = false;
        size_t staged = 0;          // its number in the staging folder
    };
    struct CPlan {
        std::vector<CFolder> folders;  // [0] is the target folder
        std::vector<CPage> pages;
        std::u16string staging;        // made by Copy, removed by Commit
        std::vector<std::u16string> skipped;
    };

    // Interface thread: what importing `paths` into `folder` would do. Each
    // .htm or .html file becomes a page of the folder, each directory a
    // folder below it (merged into a folder of the same name) with its
    // pages and directories. Nothing is written.
    static CPlan Plan(CFolderTreeMgr& tree, RNode* folder, const std::vector<std::u16string>& paths);

    using Progress = std::function<void(size_t done, size_t total)>;
    // Asked between files; true stops the copying.
    using Cancelled = std::function<bool()>;
    // Any thread; touches only files and `plan`. Copies every page and its
    // assets folder into the staging folder, its references rewritten for
    // the title it gets. False when cancelled: nothing is left then.
    static bool Copy(CPlan& plan, const Progress& progress, const Cancelled& cancelled);

    // Interface thread: makes the folders, moves the copies into place under
    // titles still free (the folders may have changed since the plan),
    // adds the items and writes the collections; a folder gone meanwhile
    // takes nothing. The staging folder is removed.
    static CResult Commit(CFolderTreeMgr& tree, CPlan& plan);
    // Removes what Copy staged, for an import that is not committed.
    static void Discard(CPlan& plan);

    // Plan, Copy and Commit in one call.
    static CResult Import(CFolderTreeMgr& tree, RNode* folder, const std::vector<std::u16string>& paths);

    // The title a page gets from its document's title (UTF-8), cleaned as
    // typed titles are and cut when too long; from `fallback` when that
    // leaves nothing. Empty when neither gives one.
    static std::u16string PageTitle(const std::string& documentTitle, const std::u16string& fallback);
    // A new page item titled `title` (file title + ".htm", fresh identifier,
    // all times now) put first in `colct`; null when memory runs out.
    static CUrlNode* AddPageItem(CColctNode* colct, const std::u16string& title);
    // A title no page of `colct` (may be null) has and no file or assets
    // folder of `directory` uses: `title`, else "title (2)"... "title (99)";
    // "" when none is free.
    static std::u16string FreeTitle(CColctNode* colct, const std::u16string& directory, const std::u16string& title);

    // What the import takes from a page's text (UTF-8): the text of its
    // <title>, and the address of a "saved from url=(NNNN)ADDRESS" comment.
    static std::string TitleOf(const std::string& html);
    static std::string SavedFromUrl(const std::string& html);
    // The page with its references into the assets folder `oldAssets`
    // pointing into `newAssets`, and `note` (HTML) before the end of its
    // body; the rest stays byte for byte.
    static std::string Rewrite(const std::string& html, const std::string& oldAssets, const std::string& newAssets,
                               const std::string& note);
};
