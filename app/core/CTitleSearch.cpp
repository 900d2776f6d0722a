#include "app/core/CTitleSearch.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <string_view>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CTraceLog.h"
#include "app/core/CUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CModelStamp.h"
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
    m_bRunning = false;
}

size_t CTitleSearch::Search(const std::u16string& text, bool allColcts)
{
    Begin(text, allColcts);
    while (!Step(std::numeric_limits<double>::infinity())) {
    }
    return m_nResults;
}

void CTitleSearch::Begin(const std::u16string& text, bool allColcts)
{
    Clear();
    if (text.empty())
        return;
    m_query = CStringTool::ToLower(text.c_str());
    // The index's NULs part the notes; a query cannot reach across them.
    m_query.resize(std::min(m_query.size(), m_query.find(u'\0')));
    if (allColcts != m_bIndexAll || !allColcts)
        ResetIndex();  // the current folder's changes with the current folder
    m_bIndexAll = allColcts;
    m_bRunning = true;
}

void CTitleSearch::ResetIndex()
{
    m_bWalked = false;
    m_nIndexed = 0;
    m_colcts.clear();
    m_texts.clear();
    m_textEnds.clear();
    m_notes.clear();
    m_uuids.clear();
}

bool CTitleSearch::Step(double seconds)
{
    if (!m_bRunning)
        return true;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    // Anything changed in between may have freed what the index points at.
    if (CModelStamp::Get() != m_nStamp)
        ResetIndex();
    if (!m_bWalked) {
        ListColcts(m_bIndexAll);
        m_bWalked = true;
    }
    while (m_nIndexed < m_colcts.size()) {
        IndexNext();
        if (m_nIndexed < m_colcts.size() && std::chrono::duration<double>(Clock::now() - start).count() >= seconds) {
            m_nStamp = CModelStamp::Get();  // our own loads are no change
            return false;
        }
    }
    Match();
    m_nStamp = CModelStamp::Get();
    m_bRunning = false;
    return true;
}

double CTitleSearch::GetProgress() const
{
    if (!m_bRunning)
        return 1;
    return m_colcts.empty() ? 0 : static_cast<double>(m_nIndexed) / static_cast<double>(m_colcts.size());
}

void CTitleSearch::ListColcts(bool allColcts)
{
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    if (!content.empty())
        content = CFileSys::WithSlash(content);
    // `relative` is null for a folder that has no place on disk.
    auto add = [&](RNode* folder, const std::u16string* relative, std::u16string folderText) {
        CFolderNode* data = FolderOf(folder);
        // A folder without pages has no collection to load.
        if (!data || !(data->GetColctNode() || data->HasPage()))
            return;
        Colct& entry = m_colcts.emplace_back();
        entry.folder = folder;
        if (relative && !content.empty())
            entry.directory.assign(content).append(*relative);
        entry.folderText = std::move(folderText);
    };
    if (!allColcts) {
        std::u16string relative;
        RNode* folder = m_tree.GetCurrentFolder();
        bool usable = FolderOf(folder) && m_tree.GetRelativePath(folder, &relative);
        std::u16string folderText;
        for (RNode* up = folder; up && up->GetParent(); up = up->GetParent()) {
            const char16_t* name = up->GetData() ? up->GetData()->GetName() : nullptr;
            folderText.insert(0, std::u16string(u"\\") + (name ? name : u""));
        }
        add(folder, usable ? &relative : nullptr, std::move(folderText));
        return;
    }
    // The tree's rule for a folder's place (every name below the root a
    // plain file name), built once per level on the way down rather than
    // from the root for each folder.
    struct Level {
        RNode* folder;
        std::u16string relative;  // its place below the project's content folder
        std::u16string text;      // as a row shows it
        bool usable;              // false when it has no place
    };
    std::vector<Level> levels;  // the folders above the one visited
    WalkFolders(m_tree.GetRoot(), [&](RNode* folder) {
        while (!levels.empty() && levels.back().folder != folder->GetParent())
            levels.pop_back();
        Level level{folder, u"", u"", true};
        if (!levels.empty()) {
            const Level& up = levels.back();
            const char16_t* name = folder->GetData() ? folder->GetData()->GetName() : nullptr;
            std::u16string_view plain = name ? name : u"";
            level.usable = up.usable && CFileSys::IsPlainName(plain);
            if (level.usable)
                level.relative.assign(up.relative).append(plain).push_back(u'/');
            level.text.assign(up.text).append(u"\\").append(plain);
        }
        add(folder, level.usable ? &level.relative : nullptr, level.text);
        levels.push_back(std::move(level));
    });
}

void CTitleSearch::IndexNext()
{
    Colct& entry = m_colcts[m_nIndexed++];
    CColctNode* colct = m_tree.LoadColct(entry.folder, false);
    if (colct) {
        CFolderNode* host = colct->GetHostFolderNode();
        entry.host = host ? host : FolderOf(entry.folder);
        for (RNode* record = colct->GetFirstRNode(); record; record = record->GetNext()) {
            if (record->GetType() != NT_URL || !record->GetData())
                continue;
            auto* item = static_cast<CUrlNode*>(record->GetData());
            if (item->GetItemType() != ITEM_NOTE)
                continue;
            // The texts were folded when set; only the query is folded here.
            m_texts.append(item->GetFoldedName()).push_back(u'\0');
            m_texts.append(item->GetFoldedDescription()).push_back(u'\0');
            m_textEnds.push_back(m_texts.size());
            m_notes.push_back(item);
            std::array<char16_t, 37>& uuid = m_uuids.emplace_back();
            const char16_t* id = item->GetUUID();
            for (size_t k = 0; k + 1 < uuid.size() && id[k]; ++k)
                uuid[k] = id[k];
        }
    }
    entry.notesEnd = m_notes.size();
}

void CTitleSearch::Match()
{
    m_nResults = 0;
    if (m_query.empty())
        return;
    std::u16string_view texts = m_texts;
    size_t note = 0, colct = 0;
    for (size_t at = texts.find(m_query); at != std::u16string_view::npos; at = texts.find(m_query, at)) {
        while (m_textEnds[note] <= at)
            ++note;
        while (m_colcts[colct].notesEnd <= note)
            ++colct;
        if (m_nResults == m_results.size())
            m_results.emplace_back();
        CTitleResult& result = m_results[m_nResults++];
        result.host = m_colcts[colct].host;
        result.item = m_notes[note];
        result.uuid = m_uuids[note];
        result.colct = colct;
        at = m_textEnds[note];  // one record a page, however often it matches
    }
}

const CTitleSearch::Colct* CTitleSearch::FreshColct(size_t row) const
{
    if (row >= m_nResults || m_bRunning || CModelStamp::Get() != m_nStamp)
        return nullptr;
    return &m_colcts[m_results[row].colct];
}

CTitleRow CTitleSearch::GetRow(size_t row) const
{
    CTitleRow texts;
    const Colct* colct = FreshColct(row);
    if (!colct)
        return texts;
    const CUrlNode* item = m_results[row].item;
    texts.title = item->GetName() ? item->GetName() : u"";
    texts.folder = colct->folderText;
    texts.file = item->GetUrl() ? item->GetUrl() : u"";
    return texts;
}

std::u16string CTitleSearch::GetPagePath(size_t row) const
{
    const Colct* colct = FreshColct(row);
    const char16_t* url = colct ? m_results[row].item->GetUrl() : nullptr;
    // Only a plain file name stays inside the folder.
    if (!url || colct->directory.empty() || !CFileSys::IsPlainName(url))
        return u"";
    return colct->directory + url;
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
