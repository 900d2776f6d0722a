#include "app/tags/CTagsWindowMgr.h"

CTagsWindowMgr::CTagsWindowMgr(CFolderTreeMgr& tree, CPageMgr& pages, CProjectMgr& projects)
    : m_tree(tree), m_pages(pages), m_projects(projects)
{
}
void CTagsWindowMgr::OnProjectClosed() {}
