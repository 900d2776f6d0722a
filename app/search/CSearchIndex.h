#pragma once

// The full-text index of a project's pages: one SQLite FTS5 database per
// project in the user's cache folder. It is derived data, made only from
// the files on disk (the collection files and the page files), so that it
// can be brought up to date on a worker thread without touching the
// window's model, and deleted at any time without loss.

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

// A folder of the project as the index needs it; the interface thread
// takes these from the tree (cheap: one per folder).
struct CSearchFolder {
    std::u16string path;       // below the top folder, names joined by "/"; "" for the top folder
    std::u16string relative;   // its directory relative to the content folder, as page paths begin
    std::u16string directory;  // absolute, ending in "/"
    std::u16string colctFile;  // its collection file, absolute; "" when it has none
};

// One result of a query.
struct CSearchHit {
    std::u16string pagePath;  // relative to the content folder, as CFolderTreeMgr::FindPage takes it
    std::u16string title;
    std::u16string folder;    // the folder's path ("" for the top folder)
    // A piece of the page's text around the matches; each matched word is
    // between kMarkOpen and kMarkClose.
    std::u16string snippet;
    double rank = 0;          // bm25, smaller is better
};

class CSearchIndex {
public:
    static constexpr char16_t kMarkOpen = u'\x02';
    static constexpr char16_t kMarkClose = u'\x03';

    // $XDG_CACHE_HOME/Zandrel/index/<uuid>.sqlite ("" for an empty uuid).
    static std::u16string PathFor(const std::u16string& projectUuid);

    CSearchIndex();
    ~CSearchIndex();
    CSearchIndex(const CSearchIndex&) = delete;
    CSearchIndex& operator=(const CSearchIndex&) = delete;

    // Opens (making it and its folders when missing) the database at
    // `path`. A damaged file, or one that is not ours or of another
    // version, is deleted and made again, with a line in the trace log.
    // False only when no database can be made there.
    bool Open(const std::u16string& path);
    void Close();
    bool IsOpen() const;

    struct CSyncStats {
        int pagesIndexed = 0;  // read and written again
        int pagesRemoved = 0;
        int pagesTotal = 0;    // pages in the index afterwards
        bool stopped = false;
    };
    using Progress = std::function<void(int done, int total)>;
    // Any thread (one at a time per object): brings the index in line with
    // the folders' collection files and page files. A folder whose
    // collection file is unchanged since the last sync (size and
    // modification time) is not read again unless `full` (the sizes and
    // times of its page files are still looked at); a page whose
    // file, title, description, tags or folder changed is indexed again;
    // pages gone are removed. Stops between pages when `stop` is asked for,
    // leaving a consistent index. At project open `full` is true, so pages
    // changed on disk by other programs are found by size and time.
    CSyncStats Sync(const std::vector<CSearchFolder>& folders, bool full, const Progress& progress,
                    std::stop_token stop);

    // The best `limit` hits for `query` (the query language of the README:
    // words all match, "exact phrase", prefix*, -word, tag:name,
    // in:Folder/Sub), ranked by bm25 with title and tags weighing more
    // than the text. An empty or unusable query gives no hits. May run on
    // another thread than Sync (its own connection); Interrupt from any
    // thread ends a running query early with no hits. Without
    // `withSnippets` the hits have no snippet, which saves reading each
    // page file again: a list of every match costs little more than the
    // ranking then. Without `ranked` the first `limit` matches come in no
    // particular order, as a list of the pages holding the words (what
    // grep -l gives) needs no ranking.
    std::vector<CSearchHit> Query(const std::u16string& query, int limit, bool withSnippets = true,
                                  bool ranked = true);
    void Interrupt();

    // Pages in the index (0 when it is not open): a new or rebuilt index
    // has none, and wants a full sync. The thread of Sync.
    int PageCount();

private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};

// A page's text for the index: libxml2's HTML parser with no network,
// scripts, styles and comments left out, entities decoded, blocks
// separated by blanks, at most 2 MiB. Any thread.
namespace CPageText {
std::string Extract(const std::string& html);
}
