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
    // Every text below keeps its storage from search to search.
    m_nColcts = 0;
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    if (!content.empty())
        content = CFileSys::WithSlash(content);
    // `relative` is null for a folder that has no place on disk.
    auto add = [&](RNode* folder, const std::u16string* relative) {
        CFolderNode* data = FolderOf(folder);
        // A folder without pages has no collection to load.
        if (!data || !(data->GetColctNode() || data->HasPage()))
            return;
        CColctNode* colct = m_tree.LoadColct(folder, false);
        if (!colct)
            return;
        if (m_nColcts == m_colcts.size())
            m_colcts.emplace_back();
        Colct& entry = m_colcts[m_nColcts++];
        entry.folder = folder;
        entry.colct = colct;
        if (relative && !content.empty())
            entry.directory.assign(content).append(*relative);
        else
            entry.directory.clear();
    };
    if (allColcts) {
        // The tree's rule for a folder's place (every name below the root a
        // plain file name), built once per level on the way down rather
        // than from the root for each folder. m_levels[0, depth) are the
        // folders above the one visited.
        size_t depth = 0;
        WalkFolders(m_tree.GetRoot(), [&](RNode* folder) {
            while (depth && m_levels[depth - 1].folder != folder->GetParent())
                --depth;
            if (depth == m_levels.size())
                m_levels.emplace_back();
            Level& level = m_levels[depth];
            level.folder = folder;
            level.usable = true;
            level.relative.clear();
            if (depth) {
                const Level& up = m_levels[depth - 1];
                const char16_t* name = folder->GetData() ? folder->GetData()->GetName() : nullptr;
                std::u16string_view plain = name ? name : u"";
                level.usable = up.usable && CFileSys::IsPlainName(plain);
                if (level.usable)
                    level.relative.assign(up.relative).append(plain).push_back(u'/');
            }
            add(folder, level.usable ? &level.relative : nullptr);
            ++depth;
        });
    } else {
        std::u16string relative;
        RNode* folder = m_tree.GetCurrentFolder();
        bool usable = FolderOf(folder) && m_tree.GetRelativePath(folder, &relative);
        add(folder, usable ? &relative : nullptr);
    }
    // A few collections at a time, so that their nodes are still at hand
    // when they are tested.
    for (size_t first = 0; first < m_nColcts; first += kLanes) {
        GatherItems(first, std::min(kLanes, m_nColcts - first));
        MatchItems();
        MakeResults();
    }
    return m_nResults;
}

// Items lie scattered in memory, and each record is known only once the
// one before it has been read, so walking one collection waits on every
// record. Several collections are walked side by side instead, so that
// their waits overlap, and each item's node is asked for on the way.
void CTitleSearch::GatherItems(size_t first, size_t count)
{
    m_items.clear();
    RNode* cursors[kLanes] = {};
    for (size_t lane = 0; lane < count; ++lane) {
        cursors[lane] = m_colcts[first + lane].colct->GetFirstRNode();
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
                // Its texts lie in the node's first lines.
                const char* node = reinterpret_cast<const char*>(record->GetData());
                __builtin_prefetch(node);
                __builtin_prefetch(node + 64);
                m_lanes[lane].push_back(static_cast<CUrlNode*>(record->GetData()));
            }
            cursors[lane] = record->GetNext();
        }
    }
    for (size_t lane = 0; lane < count; ++lane) {
        for (CUrlNode* item : m_lanes[lane])
            m_items.push_back({item, first + lane});
    }
}

// Each item's texts are asked for some items ahead of the test, so that
// the waits overlap here too.
void CTitleSearch::MatchItems()
{
    constexpr size_t kAhead = 8;
    m_found.clear();
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (i + kAhead < m_items.size()) {
            // Both folded texts lie in one block, read a line at a time.
            const CUrlNode* ahead = m_items[i + kAhead].node;
            std::u16string_view description = ahead->GetFoldedDescription();
            for (const char16_t* at = ahead->GetFoldedName().data(); at < description.data() + description.size();
                 at += 32)
                __builtin_prefetch(at);
        }
        const CUrlNode* item = m_items[i].node;
        // The texts were folded when set; only the query is folded here.
        if (item->GetFoldedName().find(m_query) != std::u16string_view::npos ||
            item->GetFoldedDescription().find(m_query) != std::u16string_view::npos)
            m_found.push_back(m_items[i]);
    }
}

// The rest of a match's node and its texts are read only to make its
// record, so they too are asked for ahead, the node first.
void CTitleSearch::MakeResults()
{
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < m_found.size(); ++i) {
        if (i + kAhead < m_found.size()) {
            const char* node = reinterpret_cast<const char*>(m_found[i + kAhead].node);
            for (size_t at = 0; at < sizeof(CUrlNode); at += 64)
                __builtin_prefetch(node + at);
        }
        if (i + kAhead / 2 < m_found.size()) {
            const CUrlNode* ahead = m_found[i + kAhead / 2].node;
            __builtin_prefetch(ahead->GetName());
            __builtin_prefetch(ahead->GetUrl());
        }
        CUrlNode* item = m_found[i].node;
        if (item->GetItemType() != ITEM_NOTE)
            continue;
        const Colct& where = m_colcts[m_found[i].colct];
        if (m_nResults == m_results.size())
            m_results.emplace_back();
        CTitleResult& result = m_results[m_nResults++];
        CFolderNode* host = where.colct->GetHostFolderNode();
        result.host = host ? host : FolderOf(where.folder);
        // Only a plain file name stays inside the folder.
        std::u16string_view url = item->GetUrl() ? item->GetUrl() : u"";
        if (!where.directory.empty() && CFileSys::IsPlainName(url))
            result.pagePath.assign(where.directory).append(url);
        else
            result.pagePath.clear();
        result.item = item;
        result.title.assign(item->GetName() ? item->GetName() : u"");
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
