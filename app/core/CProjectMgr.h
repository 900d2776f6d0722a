#pragma once

// Creating, opening and closing the one project the program works in,
// and the list of recently opened projects.

#include <functional>
#include <memory>
#include <string>

class CFolderTreeMgr;
class CRecentProjects;
class CZandrelProject;

class CProjectMgr {
public:
    explicit CProjectMgr(CFolderTreeMgr& tree);
    ~CProjectMgr();
    CProjectMgr(const CProjectMgr&) = delete;
    CProjectMgr& operator=(const CProjectMgr&) = delete;

    // Makes a new project for the project file `path` and opens it (closing
    // the open one first); the new project, or null after the message.
    CZandrelProject* CreateProject(const std::u16string& path);
    // True when the project of `path` is open afterwards.
    bool OpenProject(const std::u16string& path);
    // False when the user (or the page being edited) refused; the project
    // then stays open. True when nothing was open.
    bool CloseProject();

    // The new-project dialog, then creation; null when cancelled or failed.
    CZandrelProject* NewProjectCommand();
    // The open-project dialog, then opening; false when cancelled or failed.
    bool OpenProjectCommand();

    CZandrelProject* GetCurrentProject() const { return m_pProject; }
    const std::u16string& GetCurrentProjectFile() const { return m_currentFile; }
    // Made and loaded on first call.
    CRecentProjects& GetRecentProjects();
    // Where the project dialogs start: the folder of the last project made
    // in this run, else the user's "My Korvel" folder.
    std::u16string GetProjectDialogFolder() const;

    // Saves the list of recently opened pages; called when a project closes,
    // before its tree is released.
    void SetSaveRecentPagesHook(std::function<void()> hook) { m_saveRecentPages = std::move(hook); }
    // Told true once a project is open and shown, false as it begins to
    // close (after its page was left).
    void SetOpenHook(std::function<void(bool open)> hook) { m_openHook = std::move(hook); }

    // Folder (up to and including the last "/") and title (the file name up
    // to its first dot) of a project file path.
    static void SplitProjectPath(const std::u16string& path, std::u16string* folder, std::u16string* title);

private:
    // Makes `folder` unless it is a directory already; false after the
    // message.
    static bool MakeProjectFolder(const std::u16string& folder);
    // Brings the stored name in line with a renamed project file; false
    // after the message.
    static bool ReconcileName(CZandrelProject* project, const std::u16string& folder,
                              const std::u16string& title);
    // Reads and repairs the project of `path`; null after the message.
    CZandrelProject* ReadProject(const std::u16string& path);
    void SetCurrent(CZandrelProject* project, const std::u16string& file);
    void ShowProject();
    void ShowNoProject();

    CFolderTreeMgr& m_tree;
    CZandrelProject* m_pProject = nullptr;
    std::u16string m_currentFile;
    std::unique_ptr<CRecentProjects> m_pRecent;
    std::u16string m_lastFolder;
    std::function<void()> m_saveRecentPages;
    std::function<void(bool open)> m_openHook;
};
