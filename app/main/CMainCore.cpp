#include "app/main/CMainCore.h"

#include "app/background/CFrontPage.h"
#include "app/background/CShutdownWait.h"
#include "app/background/CThreadMgr.h"
#include "app/background/CUpdateCheck.h"
#include "app/capture/CStaging.h"
#include "app/core/CFileAssoc.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageMgr.h"
#include "app/core/CProgressTask.h"
#include "app/core/CProjectLock.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CRecentPages.h"
#include "app/core/CRegistry.h"
#include "app/core/CTraceLog.h"
#include "app/core/CUIPort.h"
#include "app/main/CPageLinkMgr.h"
#include "base/model/CZandrelProject.h"
#include "app/tags/CTagsWindowMgr.h"

CMainCore::CMainCore()
    : m_pRecentPages(std::make_unique<CRecentPages>()),
      m_pTree(std::make_unique<CFolderTreeMgr>()),
      m_pProjects(std::make_unique<CProjectMgr>(*m_pTree)),
      m_pThreads(std::make_unique<CThreadMgr>()),
      m_pPages(std::make_unique<CPageMgr>(*m_pTree, *m_pRecentPages,
                                         [this](const std::u16string& file) {
                                             m_pThreads->PostDeleteRequest(file, CDeleteFileThread::DELETE_NOTE);
                                         })),
      m_pTags(std::make_unique<CTagsWindowMgr>(*m_pTree, *m_pPages, *m_pProjects)),
      m_pLinks(std::make_unique<CPageLinkMgr>(*m_pTree, *m_pPages)),
      m_search(*m_pTree),
      m_pUpdate(std::make_shared<CUpdateCheck>())
{
    m_pPageSearch = std::make_unique<CPageSearch>(
        [this](const CPageSearch::CState& state) {
            if (m_searchState)
                m_searchState(state);
        },
        [this](const std::u16string& query, const std::vector<CSearchHit>& hits) {
            if (m_searchResults)
                m_searchResults(query, hits);
        });
    m_pProjects->SetOpenHook([this](bool open) {
        CZandrelProject* project = m_pProjects->GetCurrentProject();
        // The project's lock is ours now: no capture or import of it runs.
        int swept = 0;
        for (const CSearchFolder& folder : open ? CPageSearch::ListFolders(*m_pTree) : std::vector<CSearchFolder>())
            swept += CStaging::Sweep(folder.directory);
        if (swept)
            CTraceLog::Write("INFO: removed %d staging folders left by an earlier run", swept);
        if (!open || !project || !project->GetUUID() || !m_searchResults)
            m_pPageSearch->Close();
        else
            m_pPageSearch->Open(project->GetUUID(), CPageSearch::ListFolders(*m_pTree));
    });
    m_pTree->AddWrittenHook([this] {
        if (m_bIndexPending || !m_searchResults)
            return;
        m_bIndexPending = true;
        UIPort().Post([this] {
            m_bIndexPending = false;
            if (m_pTree->GetRoot())
                m_pPageSearch->Changed(CPageSearch::ListFolders(*m_pTree));
        });
    });
    m_pProjects->SetSaveRecentPagesHook([this] {
        m_pRecentPages->Close();
        m_pTags->OnProjectClosed();
    });
    // Both recent lists name pages by path, as the tag store does.
    m_pTree->AddPathChangeHook([this](const CFolderTreeMgr::CPathChange& change) {
        m_pRecentPages->OnPathChange(change);
        m_pTags->GetRecentTagged().OnPathChange(change);
    });
    m_pTree->AddPathChangeHook([this](const CFolderTreeMgr::CPathChange& change) { m_pLinks->OnPathChange(change); });
    CKrvActions& actions = m_krv.GetActions();
    actions.newProject = [this] { m_pProjects->NewProjectCommand(); };
    actions.openProjectDialog = [this] { m_pProjects->OpenProjectCommand(); };
    actions.openProjectFile = [this](const std::u16string& path) { m_pProjects->OpenProject(path); };
    actions.newFolder = [this] { m_pTree->CreateFolder(); };
    actions.newPage = [this] { m_pPages->NewPage(); };
    auto showItem = [this](RNode* folder, CColctNode* colct, CUrlNode* item) {
        if (folder != m_pTree->GetCurrentFolder())
            m_pPages->ShowFolder(folder);
        m_pPages->ShowItem(colct, item);
    };
    m_search.SetShowItemHook(showItem);
    m_pTags->SetShowItemHook(showItem);
}

CMainCore::~CMainCore() = default;

void CMainCore::SetPageSearchHooks(CPageSearch::StateHook state, CPageSearch::ResultsHook results)
{
    m_searchState = std::move(state);
    m_searchResults = std::move(results);
}

bool CMainCore::ShowPageAt(const std::u16string& relative)
{
    RNode* folder = nullptr;
    CColctNode* colct = nullptr;
    CUrlNode* page = m_pTree->FindPage(relative, &folder, &colct);
    if (!page || !folder || !colct)
        return false;
    if (folder != m_pTree->GetCurrentFolder() && !m_pPages->ShowFolder(folder))
        return false;
    return m_pPages->ShowItem(colct, page);
}

CFrontPagePath& CMainCore::GetFrontPage()
{
    if (!m_pFrontPage)
        m_pFrontPage = std::make_unique<CFrontPagePath>();
    return *m_pFrontPage;
}

bool CMainCore::OnStartPageTimer()
{
    return GetFrontPage().OnStartTimer(*m_pThreads, m_pUpdate);
}

bool CMainCore::RunStartupProjectStep(const std::u16string& commandLineProject, long now)
{
    CRegistry registry = CRegistry::ForSettings();
    if (!registry.KeyExists()) {
        // The desktop's database tools take a while; the window need not
        // wait for them. The registration touches only its own files.
        m_registration = std::jthread([program = CFileAssoc::GetProgramPath()] { CFileAssoc::Register(program); });
        CFileAssoc::WriteFirstRunValues(registry, now);
    }
    // On a first run too, so an announcement can be told before the next start.
    m_pUpdate->OnStartup();

    if (!commandLineProject.empty())
        return m_pProjects->OpenProject(commandLineProject);
    CPageProfile& page = CAppSettings::Get()->GetPageProfile();
    if (page.GetReloadLastProject() && !page.GetLastProjectFile().empty())
        return m_pProjects->OpenProject(page.GetLastProjectFile());
    return false;
}

bool CMainCore::CloseProjectForExit()
{
    if (m_pProjects->CloseProject())
        return true;
    if (++m_nRefusedCloses < kMaxRefusedCloses)
        return false;
    // The project stays open as the window goes; what only waited for
    // the close (times of pages shown, the recent lists) is written still.
    m_pTree->SavePending();
    m_pRecentPages->Save();
    m_pTags->GetRecentTagged().Save();
    return true;
}

void CMainCore::SaveSettingsForExit(const CQVRect& normalRect)
{
    CAppSettings* settings = CAppSettings::Get();
    settings->GetLayout().SetMainWindow(normalRect);
    settings->SaveSettings();
}

std::unique_ptr<CShutdownWait> CMainCore::StopThreads()
{
    // A progress dialog still up ends with its job.
    CProgressTask::StopAllJobs();
    m_pThreads->StopAll();
    return std::make_unique<CShutdownWait>(m_pThreads->TakeThreads());
}

void CMainCore::ReleaseProgramObjects()
{
    CAppSettings::Release();
    CProjectLock::Release();
    CTraceLog::Close();
}
