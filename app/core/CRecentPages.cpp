#include "app/core/CRecentPages.h"

#include "app/core/CAppSettings.h"
#include "app/core/CUIPort.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"

namespace {

std::u16string PathOf(RNode* entry)
{
    CUrlNode* item = CRecentPages::GetItem(entry);
    return CProjectTags::NormalizePath(item ? item->GetUrl() : nullptr);
}

}  // namespace

CRecentPages::CRecentPages() : CRecentPages(u"Recently opened pages", kMaxEntries, &CUserFolder::GetRecentPagesFile) {}

CRecentPages::CRecentPages(const char16_t* listName, int maxEntries, FileOf file)
    : m_list(listName, maxEntries), m_file(file)
{
}

CRecentPages CRecentPages::ForTaggedPages()
{
    return CRecentPages(u"Recently tagged pages", kMaxTaggedEntries, &CUserFolder::GetRecentTagsFile);
}

void CRecentPages::Add(CFolderTreeMgr& tree, RNode* folder, CUrlNode* item)
{
    if (!item || !item->HasUrl())
        return;
    std::u16string relative = tree.GetPageRelativePath(folder, item);
    if (relative.empty())
        return;
    if (!m_bLoaded)
        Load();
    CUrlNode* entry = CUrlNode::New(item);
    if (!entry)
        return;
    if (!entry->SetUrl(relative.c_str())) {
        CBaseNode::Delete(entry);
        return;
    }
    m_list.AddFirst(entry);
}

void CRecentPages::OnPathChange(const CFolderTreeMgr::CPathChange& change)
{
    if (change.oldPath.empty())
        return;
    // Read later, the file would bring the old paths back.
    if (!m_bLoaded)
        Load();
    const bool folder = change.oldPath.back() == u'/';
    bool changed = false;
    for (RNode* entry = GetFirst(); entry;) {
        RNode* next = entry->GetNext();
        std::u16string path = PathOf(entry);
        if (folder ? CProjectTags::IsUnder(path, change.oldPath) : CProjectTags::SamePath(path, change.oldPath)) {
            if (change.newPath.empty())
                m_list.Remove(entry);
            else
                GetItem(entry)->SetUrl((change.newPath + path.substr(change.oldPath.size())).c_str());
            changed = true;
        }
        entry = next;
    }
    if (!changed)
        return;
    // An entry already at the new path names the same page now.
    if (!folder && change.item && !change.newPath.empty()) {
        for (RNode* entry = GetFirst(); entry; entry = entry->GetNext()) {
            if (CProjectTags::SamePath(PathOf(entry), change.newPath)) {
                GetItem(entry)->SetUrl(change.newPath.c_str());
                GetItem(entry)->SetName(change.item->GetName());
            }
        }
    }
    m_list.RemoveDuplicates();
    m_list.SetDirty();
}

bool CRecentPages::Forget(const std::u16string& path)
{
    if (!m_bLoaded)
        Load();
    std::u16string page = CProjectTags::NormalizePath(path.c_str());
    bool found = false;
    for (RNode* entry = GetFirst(); entry;) {
        RNode* next = entry->GetNext();
        if (CProjectTags::SamePath(PathOf(entry), page)) {
            m_list.Remove(entry);
            found = true;
        }
        entry = next;
    }
    return found;
}

void CRecentPages::OnPageGone(const std::u16string& path)
{
    ShowMessage(u"This page is no longer in the project:\r\n" + path);
    Forget(path);
}

void CRecentPages::Load()
{
    const CUserFolder& user = CAppSettings::Get()->GetUserFolder();
    // Without a project there is no file; the list stays empty.
    m_list.SetFile(user.GetCurrentContentPath().empty() ? std::u16string() : (user.*m_file)());
    m_list.Load();
    m_bLoaded = true;
}

bool CRecentPages::Save()
{
    return m_list.Write();
}

void CRecentPages::Clear()
{
    m_list.Clear();
    m_list.SetFile(std::u16string());
    m_bLoaded = false;
}

void CRecentPages::Close()
{
    Save();
    Clear();
}
