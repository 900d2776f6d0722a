#pragma once

// The command that rewrites the project's old UTF-16 pages as UTF-8. The
// page files are collected on the interface thread; the job only touches
// files, so it never shares the tree with the interface.

#include <string>
#include <vector>

class CFolderTreeMgr;
class CProjectMgr;

class CPageConverter {
public:
    static constexpr char16_t kCommandText[] = u"Change All Pages to UTF8 Format";

    enum tagCONVERT : int {
        CONVERT_DONE = 0,
        CONVERT_SKIPPED = 1,  // not UTF-16, or gone
        CONVERT_FAILED = 2,
    };

    CPageConverter() = delete;

    // The command: converts every page of the open project under the
    // progress dialog, then tells what could not be saved. The dialog's
    // result (0 when no project is open).
    static int RunCommand(CProjectMgr& projects, CFolderTreeMgr& tree);

    // The page file of every page item of every folder, in tree order.
    static std::vector<std::u16string> CollectPageFiles(CFolderTreeMgr& tree);

    // Converts one page when it starts with the UTF-16 marker: the head's
    // "charset=unicode" becomes "  charset=utf-8", a backup copy is kept
    // until the new bytes replace the page whole. A link or anything but a
    // regular file is not followed and fails. `now` names the backup; the
    // error number of a failure goes to `error`.
    static tagCONVERT ConvertFile(const std::u16string& path, long now, int* error);
    // The page file without its extension + "~" + seconds + ".htm".
    static std::u16string GetBackupPath(const std::u16string& path, long seconds);
};
