#include "app/core/CTitleSearch.h"

#include <algorithm>
#include <string_view>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CTraceLog.h"
#include "app/core/CUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"

namespace {

CFolderNode* FolderOf(RNode* rnode)
{
    return rnode && rnode->GetType() == NT_FOLDER ? static_cast<CFolderNode*>(rnode->GetData()) : nullptr;
}

// `text` folded into `buffer`, which keeps its storage from text to text.
std::u16string_view FoldInto(const char16_t* text, std::u16string& buffer)
{
    buffer.clear();
    for (; *text; ++text)
        buffer.push_back(CStringTool::FoldCase(*text));
    return buffer;
}

// Calls `visit` for every folder record of the tree in document order.
template <typename Visit>
void WalkFolders(RNode* root, Visit visit)
{
    for (RNode* node = root; node;) {
        visit(node);
        RNode* next = nullptr;
        for (RNode* child = node->GetChild(); child && !next; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER)
                next = child;
        }
        // Up until a folder has a later sibling folder.
        for (RNode* up = node; !next && up && up != root; up = up->GetParent()) {
            for (RNode* sibling = up->GetNext(); sibling && !next; sibling = sibling->GetNext()) {
                if (sibling->GetType() == NT_FOLDER)
                    next = sibling;
            }
        }
        node = next;
    }
}

}  // namespace

void CTitleSearch::Clear()
{
    m_query.clear();
    m_nResults = 0;
}

size_t CTitleSearch::Search(const std::u16string& text, bool allColcts)
{
    Clear();
    if (text.empty())
        return 0;
    m_query = CStringTool::ToLower(text.c_str());
    m_colcts.clear();
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    if (!content.empty())
        content = CFileSys::WithSlash(content);
    // `relative` is null for a folder that has no place on disk.
    auto add = [&](RNode* folder, const std::u16string* relative) {
        CFolderNode* data = FolderOf(folder);
        // A folder without pages has no collection to load.
        if (data && (data->GetColctNode() || data->HasPage())) {
            if (CColctNode* colct = m_tree.LoadColct(folder, false))
                m_colcts.push_back({folder, colct, relative && !content.empty() ? content + *relative : u""});
        }
    };
    if (allColcts) {
        // The tree's rule for a folder's place (every name below the root a
        // plain file name), built once per level on the way down rather
        // than from the root for each folder.
        struct Level {
            RNode* folder;
            std::u16string relative;
            bool usable;
        };
        std::vector<Level> levels;
        WalkFolders(m_tree.GetRoot(), [&](RNode* folder) {
            while (!levels.empty() && levels.back().folder != folder->GetParent())
                levels.pop_back();
            Level level{folder, {}, true};
            if (!levels.empty()) {
                const char16_t* name = folder->GetData() ? folder->GetData()->GetName() : nullptr;
                std::u16string plain = name ? name : u"";
                level.usable = levels.back().usable && CFileSys::IsPlainName(plain);
                if (level.usable)
                    level.relative = levels.back().relative + plain + u'/';
            }
            add(folder, level.usable ? &level.relative : nullptr);
            levels.push_back(std::move(level));
        });
    } else {
        std::u16string relative;
        RNode* folder = m_tree.GetCurrentFolder();
        bool usable = FolderOf(folder) && m_tree.GetRelativePath(folder, &relative);
        add(folder, usable ? &relative : nullptr);
    }
    for (size_t first = 0; first < m_colcts.size(); first += kLanes) {
        size_t count = std::min(kLanes, m_colcts.size() - first);
        GatherItems(&m_colcts[first], count);
        for (size_t lane = 0; lane < count; ++lane)
            SearchItems(m_colcts[first + lane], m_lanes[lane]);
    }
    return m_nResults;
}

// Items lie scattered in memory, and each record is known only once the
// one before it has been read, so walking one collection waits on every
// record. Several collections are walked side by side instead, so their
// waits overlap, and each item's first lines, which hold its texts, are
// asked for on the way.
void CTitleSearch::GatherItems(const Colct* colcts, size_t count)
{
    RNode* cursors[kLanes] = {};
    for (size_t lane = 0; lane < count; ++lane) {
        cursors[lane] = colcts[lane].colct->GetFirstRNode();
        m_lanes[lane].clear();
    }
    for (bool more = true; more;) {
        more = false;
        for (size_t lane = 0; lane < count; ++lane) {
            RNode* record = cursors[lane];
            if (!record)
                continue;
            more = true;
            if (record->GetType() == NT_URL && record->GetData()) {
                const char* data = reinterpret_cast<const char*>(record->GetData());
                __builtin_prefetch(data);
                __builtin_prefetch(data + 64);
                m_lanes[lane].push_back(static_cast<CUrlNode*>(record->GetData()));
            }
            cursors[lane] = record->GetNext();
        }
    }
}

void CTitleSearch::SearchItems(const Colct& where, const std::vector<CUrlNode*>& items)
{
    // The texts are asked for a few items ahead of the test.
    constexpr size_t kAhead = 4;
    const std::u16string& directory = where.directory;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + kAhead < items.size()) {
            const CUrlNode* ahead = items[i + kAhead];
            for (const char16_t* text : {ahead->GetName(), ahead->GetDescription()}) {
                if (text) {
                    __builtin_prefetch(text);
                    __builtin_prefetch(text + 32);  // the next line
                }
            }
        }
        CUrlNode* item = items[i];
        const char16_t* name = item->GetName() ? item->GetName() : u"";
        const char16_t* description = item->GetDescription();
        bool match = FoldInto(name, m_lower).find(m_query) != std::u16string_view::npos;
        if (!match && *description)
            match = FoldInto(description, m_lower).find(m_query) != std::u16string_view::npos;
        // The type sits apart from the texts: looked at only for a match.
        if (!match || item->GetItemType() != ITEM_NOTE)
            continue;

        if (m_nResults == m_results.size())
            m_results.emplace_back();
        CTitleResult& result = m_results[m_nResults++];
        CFolderNode* host = where.colct->GetHostFolderNode();
        result.host = host ? host : FolderOf(where.folder);
        // Only a plain file name stays inside the folder.
        const char16_t* url = item->GetUrl();
        m_url.assign(url ? url : u"");
        if (!directory.empty() && CFileSys::IsPlainName(m_url))
            result.pagePath.assign(directory).append(m_url);
        else
            result.pagePath.clear();
        result.item = item;
        result.title.assign(name);
        const char16_t* uuid = item->GetUUID();
        size_t k = 0;
        for (; k + 1 < result.uuid.size() && uuid[k]; ++k)
            result.uuid[k] = uuid[k];
        std::fill(result.uuid.begin() + static_cast<std::ptrdiff_t>(k), result.uuid.end(), u'\0');
    }
}

CTitleRow CTitleSearch::GetRow(size_t row) const
{
    CTitleRow texts;
    if (row >= m_nResults)
        return texts;
    const CTitleResult& result = m_results[row];
    texts.title = result.title;
    RNode* folder = result.host ? result.host->GetRNode() : nullptr;
    for (; folder && folder->GetParent(); folder = folder->GetParent()) {
        const char16_t* name = folder->GetData() ? folder->GetData()->GetName() : nullptr;
        texts.folder.insert(0, std::u16string(u"\\") + (name ? name : u""));
    }
    const char16_t* url = result.item ? result.item->GetUrl() : nullptr;
    texts.file = url ? url : u"";
    return texts;
}

RNode* CTitleSearch::FindFolder(const CFolderNode* host) const
{
    RNode* found = nullptr;
    WalkFolders(m_tree.GetRoot(), [&](RNode* folder) {
        if (!found && folder->GetData() == host)
            found = folder;
    });
    return found;
}

bool CTitleSearch::OpenResult(size_t row)
{
    CTraceLog::Write("Clicked");
    if (row >= m_nResults)
        return false;
    const CTitleResult& result = m_results[row];
    // The record's pointers are compared, never followed, until the tree
    // shows they still stand for live nodes.
    RNode* folder = FindFolder(result.host);
    CColctNode* colct = folder ? FolderOf(folder)->GetColctNode() : nullptr;
    CUrlNode* item = nullptr;
    for (RNode* record = colct ? colct->GetFirstRNode() : nullptr; record && !item; record = record->GetNext()) {
        if (record->GetType() == NT_URL && record->GetData() == result.item)
            item = static_cast<CUrlNode*>(record->GetData());
    }
    if (!item || !CStringTool::Equal(item->GetUUID(), result.uuid.data())) {
        ShowMessage(kNotFoundText);
        return false;
    }
    if (m_showItem)
        m_showItem(folder, colct, item);
    return true;
}
