#pragma once

// Import of pages a browser saved as "Web page, complete" (NAME.htm or
// NAME.html beside its NAME_files folder), one by one or as whole directory
// trees, into a folder of the project. The user's files are only read:
// each page is copied in under its title, its assets folder copied along
// under the page's new name and the page's references to it rewritten.
// The title comes from the page's <title>, and a "saved from url" comment
// gives the page a source note.

#include <string>
#include <vector>

class CFolderTreeMgr;
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

    // Imports `paths` into `folder`: each .htm or .html file as a page of
    // the folder, each directory as a folder below it (merged into a folder
    // of the same name) with its pages and directories. Collections and the
    // tree file are written as it goes.
    static CResult Import(CFolderTreeMgr& tree, RNode* folder, const std::vector<std::u16string>& paths);

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
