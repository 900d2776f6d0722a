#include "app/core/CRecentPages.h"

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "base/model/CUrlNode.h"

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
