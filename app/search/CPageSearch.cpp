#include "app/search/CPageSearch.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CUIPort.h"
#include "base/model/CFolderNode.h"
#include "base/model/RNode.h"

// What the workers and the posted tasks share. The posted tasks hold it
// too, so they can tell on the interface thread that the search was
// closed (or opened again) since they were posted.
struct CPageSearch::CShared {
    CSearchIndex index;
    std::mutex lock;
    std::condition_variable_any wake;

    // The sync worker's orders.
    std::optional<std::vector<CSearchFolder>> pendingFolders;
    bool pendingFull = false;
    std::chrono::steady_clock::time_point startAfter;
    bool ready = false;  // the index is open (or could not be)

    // The query worker's: the newest query and its number.
    std::optional<std::u16string> pendingQuery;
    unsigned long queryNumber = 0;
    std::u16string lastQuery;  // run again after a sync that changed things
    // A picker's lookup, served after the pane's query.
    struct CLookup {
        std::u16string query;
        int limit;
        LookupHook done;
    };
    std::optional<CLookup> pendingLookup;
    unsigned long lookupNumber = 0;

    // Read and written on the interface thread only.
    unsigned long session = 0;  // one per Open; posts of an older one are dropped
    bool open = false;

    // Whether no query came after query `number`.
    bool IsNewest(unsigned long number)
    {
        std::lock_guard<std::mutex> hold(lock);
        return number == queryNumber;
    }

    std::jthread syncWorker;
    std::jthread queryWorker;
};

CPageSearch::CPageSearch(StateHook state, ResultsHook results)
    : m_pShared(std::make_shared<CShared>()), m_state(std::move(state)), m_results(std::move(results))
{
}

CPageSearch::~CPageSearch()
{
    Close();
}

void CPageSearch::Open(const std::u16string& projectUuid, std::vector<CSearchFolder> folders)
{
    Close();
    std::shared_ptr<CShared> shared = m_pShared;
    shared->open = true;
    const unsigned long session = ++shared->session;
    {
        std::lock_guard<std::mutex> hold(shared->lock);
        shared->pendingFolders = std::move(folders);
        shared->pendingFull = true;
        shared->startAfter = std::chrono::steady_clock::now();
        shared->ready = false;
        shared->pendingQuery.reset();
        shared->lastQuery.clear();
    }
    StateHook stateHook = m_state;
    ResultsHook resultsHook = m_results;
    auto postState = [shared, session, stateHook](CState state) {
        UIPort().Post([shared, session, stateHook, state] {
            if (shared->open && shared->session == session && stateHook)
                stateHook(state);
        });
    };
    std::u16string path = CSearchIndex::PathFor(projectUuid);

    shared->syncWorker = std::jthread([shared, path, postState](std::stop_token stop) {
        shared->index.Open(path);
        {
            std::lock_guard<std::mutex> hold(shared->lock);
            shared->ready = true;
        }
        shared->wake.notify_all();
        std::unique_lock<std::mutex> hold(shared->lock);
        while (!stop.stop_requested()) {
            if (!shared->pendingFolders) {
                shared->wake.wait(hold, stop, [&] { return shared->pendingFolders.has_value(); });
                continue;
            }
            // Let a burst of changes settle into one sync.
            if (std::chrono::steady_clock::now() < shared->startAfter) {
                shared->wake.wait_until(hold, stop, shared->startAfter, [] { return false; });
                continue;
            }
            std::vector<CSearchFolder> taken = std::move(*shared->pendingFolders);
            bool full = shared->pendingFull || shared->index.PageCount() == 0;
            shared->pendingFolders.reset();
            shared->pendingFull = false;
            hold.unlock();

            postState({true, 0, 0});
            auto last = std::chrono::steady_clock::now();
            auto progress = [&](int done, int total) {
                auto now = std::chrono::steady_clock::now();
                if (now - last >= std::chrono::milliseconds(100) || done == total) {
                    last = now;
                    postState({true, done, total});
                }
            };
            CSearchIndex::CSyncStats stats = shared->index.Sync(taken, full, progress, stop);
            postState({false, 0, 0});

            hold.lock();
            if (stats.pagesIndexed + stats.pagesRemoved > 0 && !shared->lastQuery.empty() &&
                !shared->pendingQuery) {
                shared->pendingQuery = shared->lastQuery;
                shared->wake.notify_all();
            }
        }
    });

    shared->queryWorker = std::jthread([shared, session, resultsHook](std::stop_token stop) {
        std::unique_lock<std::mutex> hold(shared->lock);
        while (!stop.stop_requested()) {
            shared->wake.wait(hold, stop, [&] {
                return shared->ready && (shared->pendingQuery.has_value() || shared->pendingLookup.has_value());
            });
            if (stop.stop_requested())
                break;
            if (!shared->pendingQuery) {
                CShared::CLookup lookup = std::move(*shared->pendingLookup);
                shared->pendingLookup.reset();
                unsigned long number = shared->lookupNumber;
                hold.unlock();
                std::vector<CSearchHit> hits = shared->index.Query(lookup.query, lookup.limit, false);
                hold.lock();
                if (number != shared->lookupNumber)
                    continue;
                UIPort().Post([shared, session, number, done = std::move(lookup.done), hits = std::move(hits)] {
                    if (!shared->open || shared->session != session)
                        return;
                    {
                        std::lock_guard<std::mutex> newest(shared->lock);
                        if (number != shared->lookupNumber)
                            return;
                    }
                    done(hits);
                });
                continue;
            }
            std::u16string query = std::move(*shared->pendingQuery);
            shared->pendingQuery.reset();
            unsigned long number = shared->queryNumber;
            hold.unlock();
            std::vector<CSearchHit> hits = shared->index.Query(query, kMaxHits);
            hold.lock();
            if (number != shared->queryNumber || shared->pendingQuery)
                continue;  // a newer query came meanwhile
            UIPort().Post([shared, session, resultsHook, number, query, hits = std::move(hits)] {
                if (!shared->open || shared->session != session || !shared->IsNewest(number))
                    return;
                if (resultsHook)
                    resultsHook(query, hits);
            });
        }
    });
}

void CPageSearch::Close()
{
    std::shared_ptr<CShared> shared = m_pShared;
    if (!shared->open)
        return;
    shared->open = false;
    shared->syncWorker.request_stop();
    shared->queryWorker.request_stop();
    shared->index.Interrupt();
    shared->wake.notify_all();
    if (shared->syncWorker.joinable())
        shared->syncWorker.join();
    if (shared->queryWorker.joinable())
        shared->queryWorker.join();
    shared->index.Close();
    std::lock_guard<std::mutex> hold(shared->lock);
    shared->pendingFolders.reset();
    shared->pendingQuery.reset();
    shared->pendingLookup.reset();
}

void CPageSearch::Changed(std::vector<CSearchFolder> folders)
{
    std::shared_ptr<CShared> shared = m_pShared;
    if (!shared->open)
        return;
    {
        std::lock_guard<std::mutex> hold(shared->lock);
        shared->pendingFolders = std::move(folders);
        shared->startAfter = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSettleMs);
    }
    shared->wake.notify_all();
}

void CPageSearch::Submit(const std::u16string& query)
{
    std::shared_ptr<CShared> shared = m_pShared;
    unsigned long number;
    {
        std::lock_guard<std::mutex> hold(shared->lock);
        number = ++shared->queryNumber;
        shared->lastQuery = query;
        if (shared->open && !query.empty())
            shared->pendingQuery = query;
        else
            shared->pendingQuery.reset();
    }
    if (!shared->open)
        return;
    shared->index.Interrupt();
    shared->wake.notify_all();
    if (query.empty()) {
        // Nothing to look for: the pane empties, and an older query still
        // on its way is not delivered after this.
        const unsigned long session = shared->session;
        UIPort().Post([shared, session, number, results = m_results] {
            if (!shared->open || shared->session != session || !shared->IsNewest(number))
                return;
            if (results)
                results(u"", {});
        });
    }
}

void CPageSearch::Lookup(const std::u16string& query, int limit, LookupHook done)
{
    std::shared_ptr<CShared> shared = m_pShared;
    {
        std::lock_guard<std::mutex> hold(shared->lock);
        ++shared->lookupNumber;
        if (!shared->open || query.empty() || !done) {
            shared->pendingLookup.reset();
            return;
        }
        shared->pendingLookup = CShared::CLookup{query, limit, std::move(done)};
    }
    shared->wake.notify_all();
}

std::vector<CSearchFolder> CPageSearch::ListFolders(CFolderTreeMgr& tree)
{
    std::vector<CSearchFolder> folders;
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    if (content.empty())
        return folders;
    content = CFileSys::WithSlash(content);
    for (RNode* node : tree.GetAllFolders()) {
        CSearchFolder folder;
        if (!tree.GetRelativePath(node, &folder.relative))
            continue;
        folder.path = CFileSys::WithoutSlash(folder.relative);
        folder.directory = content + folder.relative;
        auto* data = node->GetType() == NT_FOLDER ? static_cast<CFolderNode*>(node->GetData()) : nullptr;
        if (data && data->HasPage())
            folder.colctFile = folder.directory + CUserFolder::GetProjectDataFolderName() + u'/' +
                               CUserFolder::GetFolderListFileName();
        folders.push_back(std::move(folder));
    }
    return folders;
}
