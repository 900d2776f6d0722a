#pragma once

// Export of pages out of the project, to be read in any browser: each page
// file with its assets folder, and an index page per folder listing its
// pages (title, tags, description) and the folders below it; into a
// folder, or the same tree in one .zip file.
//
// The plan is made from the project on the interface thread; writing it
// only copies files, so it may run on another thread, with progress and
// cancellation.

#include <functional>
#include <string>
#include <vector>

class CFolderTreeMgr;
class CUrlNode;
class RNode;

// One entry of an export: a file or a directory to copy, or a text made
// for the export.
struct CExportItem {
    std::string target;    // place in the export, "/"-separated UTF-8
    std::u16string source;  // the file or directory copied; "" for `text`
    bool directory = false;  // copied with everything below it
    std::string text;       // an index page
};

struct CExportPlan {
    std::u16string content;  // the project's content folder, never written to
    std::vector<CExportItem> items;
};

class CExport {
public:
    static constexpr char kIndexName[] = "index.html";

    // The export of `folder` and every folder below it, or only of `page`
    // of `folder`. Pages never saved, pages and assets leading outside the
    // project, and addresses or folder names that are not plain file names
    // are left out.
    static CExportPlan Plan(CFolderTreeMgr& tree, RNode* folder, CUrlNode* page = nullptr);

    enum Result { DONE, EXISTS, INSIDE_PROJECT, FAILED, CANCELLED };
    using Progress = std::function<void(size_t done, size_t total)>;
    // Asked between files; true stops the export.
    using Cancelled = std::function<bool()>;

    // Writes `plan` into the folder `target`, or into the .zip file `target`
    // when `zip`. A target that exists (a folder with anything in it) is
    // only written when `overwrite`; a target inside the project's content
    // folder never. A new target appears whole or not at all: it is written
    // beside under a temporary name first. `error` tells what failed.
    static Result Write(const CExportPlan& plan, const std::u16string& target, bool zip, bool overwrite,
                        const Progress& progress, const Cancelled& cancelled, std::u16string* error);

    // True when `target` is, or would be, inside the folder `content`, once
    // links are followed.
    static bool IsInside(const std::u16string& target, const std::u16string& content);

    // The index page of a folder, for Plan and its tests.
    struct CIndexEntry {
        std::u16string title, href, tags, description;
    };
    static std::string IndexPage(const std::u16string& folderName, const std::vector<CIndexEntry>& folders,
                                 const std::vector<CIndexEntry>& pages);
};
