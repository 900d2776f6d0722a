#include "app/core/CRecentProjects.h"

#include "app/core/CAppSettings.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"

CRecentProjects::CRecentProjects(const std::u16string& file) : m_list(u"Recently opened projects", kMaxEntries)
{
    m_list.SetFile(file.empty() ? CAppSettings::Get()->GetDataFolders().GetRecentProjectsFile() : file);
}

void CRecentProjects::Add(const std::u16string& title, const std::u16string& path)
{
    CUrlNode* item = CUrlNode::New();
    if (!item)
        return;
    if (!item->SetUrl(path.c_str())) {
        CBaseNode::Delete(item);
        return;
    }
    item->SetName(title.c_str());
    if (m_list.AddFirst(item))
        m_list.Write();
}

void CRecentProjects::Remove(RNode* entry)
{
    if (!entry || entry->GetParent() != m_list.GetRoot())
        return;
    m_list.Remove(entry);
    m_list.Write();
}
