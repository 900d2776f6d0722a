#pragma once

// The main window's companions without the window: the tree, the project
// manager and the background threads, with the start-up project step and
// the order of shut-down. The shell owns one and drives it.

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/core/CAppSettings.h"
#include "app/core/CKrvCommands.h"
#include "app/core/CTitleSearch.h"
#include "app/search/CPageSearch.h"

class CFolderTreeMgr;
class CFrontPagePath;
class CPageLinkMgr;
class CPageMgr;
class CProjectMgr;
class CRecentPages;
class CShutdownWait;
class CTagsWindowMgr;
class CUpdateCheck;
class CThreadMgr;

class CMainCore {
public:
    CMainCore();
    ~CMainCore();
    CMainCore(const CMainCore&) = delete;
    CMainCore& operator=(const CMainCore&) = delete;

    CFolderTreeMgr& GetTreeMgr() { return *m_pTree; }
    CProjectMgr& GetProjectMgr() { return *m_pProjects; }
    CThreadMgr& GetThreadMgr() { return *m_pThreads; }
    CPageMgr& GetPageMgr() { return *m_pPages; }
    // The task pane's search; a result opens through the page manager.
    CTitleSearch& GetTitleSearch() { return m_search; }
    // The full-text index of the open project, kept in step with its files
    // in the background. Its news goes to the hooks the window sets.
    CPageSearch& GetPageSearch() { return *m_pPageSearch; }
    // The window's hooks; only with them is the index kept (the
    // command-line tool leaves it to the next opening in the window).
    void SetPageSearchHooks(CPageSearch::StateHook state, CPageSearch::ResultsHook results);
    // Shows the page at `relative` (a page path of the project): its folder,
    // then the page. False when it is gone.
    bool ShowPageAt(const std::u16string& relative);
    // The links of the start and folder pages, wired to the project
    // manager, the tree and the page manager.
    CKrvCommands& GetKrvCommands() { return m_krv; }
    // Written and forgotten whenever the project closes.
    CRecentPages& GetRecentPages() { return *m_pRecentPages; }
    // The tags window's pages and commands.
    CTagsWindowMgr& GetTagsMgr() { return *m_pTags; }
    // Links between pages; they follow renames, moves and deletes.
    CPageLinkMgr& GetLinks() { return *m_pLinks; }

    // A command of the main menu or a context menu (the table in
    // CCommandTable) that the core carries out. False for one that the
    // window shell must do itself.
    bool OnCommand(int command);

    // The downloaded start and folder pages and their schedule; made on
    // first use.
    CFrontPagePath& GetFrontPage();
    CUpdateCheck& GetUpdateCheck() { return *m_pUpdate; }
    // The main window's 5-second timer after it opened: starts a start-page
    // download when one is due. True when one started.
    bool OnStartPageTimer();

    // Registers the program on its first run (the desktop files on a thread
    // of their own, so the window does not wait) and brings the update check's
    // version record up to date, then opens the project named on the
    // command line or, when the settings ask for it, the last one. True
    // when a project was opened.
    bool RunStartupProjectStep(const std::u16string& commandLineProject, long now);

    // The first step of a close request: closes the project. False while the
    // window must stay open; the third refusal lets it close regardless,
    // with what waited for the close written.
    bool CloseProjectForExit();
    // Keeps the window's normal rectangle and writes the settings file.
    void SaveSettingsForExit(const CQVRect& normalRect);
    // Asks the background threads and progress jobs to end; the shell runs
    // the returned wait's passes through its main loop, and its end joins
    // every thread.
    std::unique_ptr<CShutdownWait> StopThreads();

    // At application exit: the settings, the project lock and the trace log.
    static void ReleaseProgramObjects();

    static constexpr int kMaxRefusedCloses = 3;

private:
    // First, so the project's close can still write it while the rest goes.
    std::unique_ptr<CRecentPages> m_pRecentPages;
    std::unique_ptr<CFolderTreeMgr> m_pTree;
    std::unique_ptr<CProjectMgr> m_pProjects;
    std::unique_ptr<CThreadMgr> m_pThreads;
    // After what it works on, so it goes first.
    std::unique_ptr<CPageMgr> m_pPages;
    std::unique_ptr<CTagsWindowMgr> m_pTags;
    std::unique_ptr<CPageLinkMgr> m_pLinks;
    CTitleSearch m_search;
    CPageSearch::StateHook m_searchState;
    CPageSearch::ResultsHook m_searchResults;
    std::unique_ptr<CPageSearch> m_pPageSearch;
    // A sync is asked for once per turn of the main loop, however many
    // files a command wrote.
    bool m_bIndexPending = false;
    CKrvCommands m_krv;
    // Shared with the download thread.
    std::shared_ptr<CUpdateCheck> m_pUpdate;
    std::unique_ptr<CFrontPagePath> m_pFrontPage;
    int m_nRefusedCloses = 0;
    // The first run's desktop registration; joined when the core goes.
    std::jthread m_registration;
};
