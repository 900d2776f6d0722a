#include "app/main/CPageLinkMgr.h"

#include <glib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CPageHtml.h"
#include "app/core/CPageMgr.h"
#include "app/core/CUIPort.h"
#include "app/search/CPageSearch.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CReadFile.h"

namespace {

std::u16string Text16(const char16_t* text)
{
    return text ? text : u"";
}

// Page items of a loaded collection that have a file.
template <typename Visit>
void ForEachPage(CColctNode* colct, Visit visit)
{
    RNode* items = colct ? colct->GetLocRNodeRoot() : nullptr;
    for (RNode* child = items ? items->GetChild() : nullptr; child; child = child->GetNext()) {
        auto* item = child->GetType() == NT_URL ? static_cast<CUrlNode*>(child->GetData()) : nullptr;
        if (item && item->GetItemType() == ITEM_NOTE && item->HasUrl() && CFileSys::IsPlainName(item->GetUrl()))
            visit(item);
    }
}

bool HasPages(RNode* folder)
{
    auto* data = folder && folder->GetType() == NT_FOLDER ? static_cast<CFolderNode*>(folder->GetData()) : nullptr;
    return data && data->HasPage();
}

std::u16string ContentFolder()
{
    const std::u16string& content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    return content.empty() ? content : CFileSys::WithSlash(content);
}

struct Stamp {
    long long size = -1;
    long long mtime = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const std::string& path)
{
    struct stat st {};
    Stamp stamp;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        stamp.size = st.st_size;
        stamp.mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return stamp;
}

// Pages larger than this are not read for links.
constexpr size_t kMaxPageBytes = 32u << 20;

}  // namespace

struct CPageLinkMgr::CCache {
    struct CFile {
        Stamp stamp;
        std::vector<CPageLinks::CLink> links;
    };
    std::map<std::u16string, CFile> files;
};

// The scan worker and the interface thread share this.
struct CPageLinkMgr::CWorker {
    std::mutex lock;
    std::condition_variable_any wake;
    std::optional<std::vector<CSearchFolder>> pending;  // the next scan's folders
    std::vector<ScanHook> waiting;                       // told when it is done
    CCache cache;                                        // the worker's own
    bool alive = true;                                   // interface thread only
    std::jthread thread;
};

CPageLinkMgr::CPageLinkMgr(CFolderTreeMgr& tree, CPageMgr& pages)
    : m_tree(tree), m_pages(pages), m_pWorker(std::make_shared<CWorker>())
{
}

CPageLinkMgr::~CPageLinkMgr()
{
    m_pWorker->alive = false;
    if (m_pWorker->thread.joinable()) {
        m_pWorker->thread.request_stop();
        m_pWorker->wake.notify_all();
        m_pWorker->thread.join();
    }
}

// ---- rewrites

int CPageLinkMgr::OnPathChange(const CFolderTreeMgr::CPathChange& change)
{
    const std::u16string content = ContentFolder();
    if (content.empty() || change.oldPath.empty())
        return 0;
    const bool folderChange = change.oldPath.back() == u'/';
    CPageLinks::CChange links{change.oldPath, change.newPath, "", ""};
    if (change.item && !folderChange) {
        links.pageId = CUnicodeTool::ToUtf8(Text16(change.item->GetUUID()));
        links.title = CUnicodeTool::ToUtf8(Text16(change.item->GetName()));
    }
    CUrlNode* current = m_pages.GetCurrentPage();
    int written = 0;
    for (RNode* folder : m_tree.GetAllFolders()) {
        std::u16string relative;
        // The folder is checked once; its page files are then opened
        // without following a link, which keeps them inside as well.
        if (!HasPages(folder) || !m_tree.GetRelativePath(folder, &relative) || !m_tree.IsFolderInside(folder, false))
            continue;
        ForEachPage(m_tree.LoadColct(folder, false), [&](CUrlNode* item) {
            const std::u16string path = relative + item->GetUrl();
            // Where the page was before the change: a moved page, or one of
            // a moved folder, had its links written from there.
            std::u16string oldFrom = path;
            if (change.item == item && !change.newPath.empty())
                oldFrom = change.oldPath;
            else if (folderChange && !change.newPath.empty() &&
                     path.compare(0, change.newPath.size(), change.newPath) == 0)
                oldFrom = change.oldPath + path.substr(change.newPath.size());
            const bool moved = oldFrom != path;
            const std::u16string file = content + path;
            if (item != current) {
                std::string bytes;
                const int fd = OpenRegularFile(CFileSys::Native(file).c_str(), O_NOFOLLOW);
                const bool read = fd >= 0 && ReadOpenFile(fd, &bytes, kMaxPageBytes);
                if (fd >= 0)
                    ::close(fd);
                if (!read || (!moved && !CPageLinks::MayLinkTo(bytes, links)))
                    return;
            }
            bool rewritten = m_pages.RewritePage(item, file, [&](std::string& html) {
                if (!moved && !CPageLinks::MayLinkTo(html, links))
                    return false;
                std::string out;
                if (CPageLinks::Rewrite(html, oldFrom, path, links, &out) == 0)
                    return false;
                html = std::move(out);
                return true;
            });
            written += rewritten ? 1 : 0;
        });
    }
    return written;
}

// ---- finding pages

CUrlNode* CPageLinkMgr::FindPageById(const std::u16string& uuid, RNode** folder, CColctNode** colct)
{
    if (uuid.empty())
        return nullptr;
    for (RNode* node : m_tree.GetAllFolders()) {
        if (!HasPages(node))
            continue;
        CColctNode* loaded = m_tree.LoadColct(node, false);
        CUrlNode* found = nullptr;
        ForEachPage(loaded, [&](CUrlNode* item) {
            if (!found && item->GetUUID() && CStringTool::EqualNoCase(item->GetUUID(), uuid.c_str()))
                found = item;
        });
        if (found) {
            if (folder)
                *folder = node;
            if (colct)
                *colct = loaded;
            return found;
        }
    }
    return nullptr;
}

CUrlNode* CPageLinkMgr::FindLinkTarget(const std::u16string& uuid, const std::string& address, RNode** folder,
                                       CColctNode** colct)
{
    if (CUrlNode* page = FindPageById(uuid, folder, colct))
        return page;
    const std::u16string content = ContentFolder();
    gchar* file = content.empty() ? nullptr : g_filename_from_uri(address.c_str(), nullptr, nullptr);
    if (!file)
        return nullptr;
    std::u16string path = CFileSys::FromNative(file);
    g_free(file);
    if (path.compare(0, content.size(), content) != 0)
        return nullptr;
    return m_tree.FindPage(path.substr(content.size()), folder, colct);
}

std::u16string CPageLinkMgr::GetCurrentPath()
{
    CUrlNode* page = m_pages.GetCurrentPage();
    CColctNode* colct = m_pages.GetCurrentColct();
    if (!page || !colct || !page->HasUrl())
        return {};
    for (RNode* folder : m_tree.GetAllFolders()) {
        if (HasPages(folder) && m_tree.LoadColct(folder, false) == colct)
            return m_tree.GetPageRelativePath(folder, page);
    }
    return {};
}

std::string CPageLinkMgr::MakeLinkHtml(RNode* folder, CUrlNode* target, const std::u16string& text)
{
    const std::u16string from = GetCurrentPath();
    if (from.empty() || !target || !target->HasUrl())
        return {};
    if (!target->GetUUID() || !*target->GetUUID()) {
        CColctNode* colct = m_tree.LoadColct(folder, false);
        if (!colct || !CBaseNode::AssignUUID(target) || !m_tree.SaveColct(colct))
            return {};
    }
    const std::u16string to = m_tree.GetPageRelativePath(folder, target);
    const std::u16string shown = text.empty() ? Text16(target->GetName()) : text;
    return CPageLinks::MakeLinkHtml(from, to, CUnicodeTool::ToUtf8(Text16(target->GetUUID())),
                                    CUnicodeTool::ToUtf8(shown));
}

// ---- scans

std::shared_ptr<CPageLinkMgr::CScan> CPageLinkMgr::Scan(const std::vector<CSearchFolder>& folders,
                                                         std::stop_token stop, CCache* cache)
{
    auto scan = std::make_shared<CScan>();
    CCache local;
    CCache& files = cache ? *cache : local;
    std::set<std::u16string> seen;
    std::vector<std::u16string> pageFiles;
    // The content folder, from the folders themselves: the settings belong
    // to the interface thread.
    std::u16string root;
    if (!folders.empty() && folders.front().directory.size() >= folders.front().relative.size())
        root = folders.front().directory.substr(0, folders.front().directory.size() - folders.front().relative.size());
    for (const CSearchFolder& folder : folders) {
        if (folder.colctFile.empty())
            continue;
        CReadBkmarkXML reader;
        CColctNode* colct = reader.LoadFile(folder.colctFile.c_str()) ? reader.DetachColctNode() : nullptr;
        ForEachPage(colct, [&](CUrlNode* item) {
            scan->pages.push_back({folder.relative + item->GetUrl(), Text16(item->GetName()), Text16(item->GetUUID())});
            pageFiles.push_back(folder.directory + item->GetUrl());
        });
        CColctNode::DeleteAll(colct);
    }
    for (size_t i = 0; i < scan->pages.size() && !stop.stop_requested(); ++i) {
        const CPage& page = scan->pages[i];
        const std::u16string& file = pageFiles[i];
        const std::string native = CFileSys::Native(file);
        seen.insert(page.path);
        CCache::CFile& entry = files.files[page.path];
        const Stamp stamp = StampOf(native);
        if (!(stamp == entry.stamp)) {
            entry.stamp = stamp;
            entry.links.clear();
            std::string bytes;
            std::string html;
            if (stamp.size >= 0 && !root.empty() && CFileSys::FindLinkOutside(file, root).empty() &&
                ReadRegularFile(native.c_str(), &bytes, kMaxPageBytes) && CPageHtml::FileToUtf8(bytes, &html))
                entry.links = CPageLinks::Find(html, page.path);
        }
        for (const CPageLinks::CLink& link : entry.links)
            scan->links.push_back({i, link});
    }
    std::erase_if(files.files, [&](const auto& entry) { return !seen.count(entry.first); });
    return scan;
}

std::vector<CPageLinkMgr::CPage> CPageLinkMgr::CScan::LinkedFrom(const std::u16string& path,
                                                                 const std::u16string& uuid) const
{
    std::vector<CPage> out;
    const std::string id = CUnicodeTool::ToUtf8(uuid);
    size_t last = SIZE_MAX;
    for (const CEntry& entry : links) {
        const bool hit = (!id.empty() && entry.link.pageId == id) || (!path.empty() && entry.link.target == path);
        if (!hit || entry.from == last || entry.link.broken || pages[entry.from].path == path)
            continue;
        last = entry.from;
        out.push_back(pages[entry.from]);
    }
    return out;
}

std::vector<CPageLinkMgr::CBroken> CPageLinkMgr::CScan::Broken() const
{
    std::set<std::u16string> paths, ids;
    for (const CPage& page : pages) {
        paths.insert(page.path);
        if (!page.uuid.empty())
            ids.insert(CStringTool::ToLower(page.uuid.c_str()));
    }
    std::vector<CBroken> out;
    for (const CEntry& entry : links) {
        const std::u16string id = CStringTool::ToLower(CUnicodeTool::FromUtf8(entry.link.pageId).c_str());
        // A link whose address resolves to a page, or that carries the
        // identifier of one, still finds it.
        if (paths.count(entry.link.target) || (!id.empty() && ids.count(id)))
            continue;
        out.push_back({pages[entry.from], CUnicodeTool::FromUtf8(entry.link.text), entry.link.target});
    }
    return out;
}

void CPageLinkMgr::ScanLater(ScanHook done)
{
    std::shared_ptr<CWorker> worker = m_pWorker;
    {
        std::lock_guard<std::mutex> hold(worker->lock);
        worker->pending = CPageSearch::ListFolders(m_tree);
        worker->waiting.push_back(std::move(done));
    }
    worker->wake.notify_all();
    if (worker->thread.joinable())
        return;
    worker->thread = std::jthread([raw = worker.get(), weak = std::weak_ptr<CWorker>(worker)](std::stop_token stop) {
        CWorker& w = *raw;
        while (!stop.stop_requested()) {
            std::vector<CSearchFolder> folders;
            std::vector<ScanHook> hooks;
            {
                std::unique_lock<std::mutex> hold(w.lock);
                if (!w.wake.wait(hold, stop, [&w] { return w.pending.has_value(); }))
                    return;
                folders = std::move(*w.pending);
                w.pending.reset();
                hooks = std::move(w.waiting);
                w.waiting.clear();
            }
            std::shared_ptr<const CScan> scan = Scan(folders, stop, &w.cache);
            if (stop.stop_requested())
                return;
            UIPort().Post([weak, scan, hooks = std::move(hooks)] {
                // Nothing is told once the manager is gone.
                std::shared_ptr<CWorker> alive = weak.lock();
                if (!alive || !alive->alive)
                    return;
                for (const ScanHook& hook : hooks)
                    hook(scan);
            });
        }
    });
}
