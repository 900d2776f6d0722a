#pragma once

// The full-text index as the window uses it. Owns one CSearchIndex, a
// sync worker and a query worker; all public calls come from the
// interface thread, and every callback is delivered there through
// UIPort().Post (app/core/CUIPort.h), never after Close.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/search/CSearchIndex.h"

class CFolderTreeMgr;

class CPageSearch {
public:
    struct CState {
        bool syncing = false;
        int done = 0, total = 0;  // of the sync under way
    };
    using StateHook = std::function<void(const CState&)>;           // progress for the task pane
    using ResultsHook = std::function<void(const std::u16string& query, const std::vector<CSearchHit>& hits)>;

    // Hits a query delivers at most.
    static constexpr int kMaxHits = 30;
    // Changed waits this long for more calls before its sync starts.
    static constexpr int kSettleMs = 300;

    CPageSearch(StateHook state, ResultsHook results);
    ~CPageSearch();  // Close()
    CPageSearch(const CPageSearch&) = delete;
    CPageSearch& operator=(const CPageSearch&) = delete;

    // Project opened: opens its index (PathFor(uuid)) and starts a full
    // sync in the background. Close stops both workers (joins them) and
    // closes the database; nothing is delivered afterwards.
    void Open(const std::u16string& projectUuid, std::vector<CSearchFolder> folders);
    void Close();

    // Something changed (a save, rename, move, delete, tag change, import,
    // capture): a sync of what changed, started soon; several calls in a
    // row make one sync. A running sync is not stopped: another follows it.
    // When a sync changed the index, the newest query runs again and its
    // results are delivered again.
    void Changed(std::vector<CSearchFolder> folders);

    // Runs `query` on the query worker; a newer Submit interrupts an older
    // query still running, and only the newest query's results are
    // delivered. An empty query delivers no hits at once.
    void Submit(const std::u16string& query);

    // A query beside the pane's, for a picker: its best `limit` hits,
    // without snippets, go to `done` unless a newer Lookup came first.
    // It does not stop the pane's query and is not run again after syncs.
    using LookupHook = std::function<void(const std::vector<CSearchHit>& hits)>;
    void Lookup(const std::u16string& query, int limit, LookupHook done);

    // The folders of the open project as the index takes them, from the
    // interface thread's tree. Folders whose names cannot be paths on disk
    // are left out.
    static std::vector<CSearchFolder> ListFolders(CFolderTreeMgr& tree);

private:
    struct CShared;
    std::shared_ptr<CShared> m_pShared;
    StateHook m_state;
    ResultsHook m_results;
};
