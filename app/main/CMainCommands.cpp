#include "app/main/CMainCore.h"

#include "app/core/CCommandTable.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageConverter.h"
#include "app/core/CPageMgr.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CUIPort.h"
#include "app/tags/CTagsWindowMgr.h"

bool CMainCore::OnCommand(int command)
{
    const CMenuEntry* entry = CCommandTable::Find(command);
    if (!entry)
        return false;
    // Checked here for every such command, so the table and what the user
    // sees cannot disagree.
    if (entry->needsProject && !m_pProjects->GetCurrentProject()) {
        ShowMessage(u"No Project");
        return true;
    }
    if (entry->op != OP_CORE)
        return false;

    std::u16string help = CCommandTable::GetHelpUri(command);
    if (!help.empty()) {
        UIPort().OpenUri(help);
        return true;
    }
    switch (command) {
    case CCommandTable::ID_NEW_PAGE:
        m_pPages->NewPage();
        return true;
    case CCommandTable::ID_NEW_FOLDER:
        m_pTree->CreateFolder();
        return true;
    case CCommandTable::ID_NEW_PROJECT:
        m_pProjects->NewProjectCommand();
        return true;
    case CCommandTable::ID_OPEN_PROJECT:
        m_pProjects->OpenProjectCommand();
        return true;
    case CCommandTable::ID_CLOSE_PROJECT:
        m_pProjects->CloseProject();
        return true;
    case CCommandTable::ID_SAVE_PAGE:
        if (CUrlNode* page = m_pPages->GetCurrentPage()) {
            // Saved now, so leaving the page later has nothing to write.
            if (m_pPages->SavePage(page) == CPageMgr::SAVE_DONE) {
                UIPort().SetPageModified(false);
                UIPort().RefreshItem(page);
            }
        }
        return true;
    case CCommandTable::ID_TAG_IT:
        m_pTags->TagIt();
        return true;
    case CCommandTable::ID_TAGS_WINDOW:
        m_pTags->ShowTags();
        return true;
    case CCommandTable::ID_REBUILD_TAGS:
        m_pTags->RebuildTagList();
        return true;
    case CCommandTable::ID_CONVERT_UTF8:
        CPageConverter::RunCommand(*m_pProjects, *m_pTree);
        return true;
    default:
        return m_pTree->OnTreeCommand(command);
    }
}
