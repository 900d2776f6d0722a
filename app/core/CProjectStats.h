#pragma once

// The numbers of the statistics dialog: how much the open project holds.

#include <string>
#include <utility>
#include <vector>

class CFolderTreeMgr;

struct CProjectStats {
    int folders = 0;         // the root included
    int pages = 0;           // page items at the first level of every collection
    int taggedPages = 0;
    int flaggedPages = 0;
    int describedPages = 0;
    int tags = 0;            // tags in the tag store
    int unreadColcts = 0;    // collection files that did not read
    // Copies a sync tool made of pages or collection files whose versions
    // clashed, by path below the content folder; never taken for pages.
    std::vector<std::u16string> conflictCopies;

    // Walks the whole tree, loading the collections not loaded yet; a file
    // that does not read is reported as loading reports it, and counted.
    static CProjectStats Collect(CFolderTreeMgr& tree);
    // The dialog's rows, label and number; the unread collections and the
    // conflict copies only when there are any.
    std::vector<std::pair<const char16_t*, int>> GetRows() const;
};
