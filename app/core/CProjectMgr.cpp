#include "app/core/CProjectMgr.h"

#include <cerrno>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CNewProjectRules.h"
#include "app/core/CProjectLock.h"
#include "app/core/CRecentProjects.h"
#include "app/core/CSafeSave.h"
#include "app/core/CUIPort.h"
#include "base/model/CBaseNode.h"
#include "base/model/CZandrelProject.h"
#include "base/model/RNode.h"
#include "base/tools/CBaseTool.h"
#include "base/tools/CStringTool.h"
#include "base/xml/CReadZandrelXML.h"
#include "base/xml/CWriteZandrelXML.h"

namespace {

constexpr char16_t kNoProjectTitle[] = u"Zandrel";

CUserFolder& UserFolder()
{
    return CAppSettings::Get()->GetUserFolder();
}

bool SaveProjectFile(CZandrelProject* project, const std::u16string& path)
{
    CWriteZandrelXML writer;
    writer.SetZandrelProject(project);
    return CSafeSave::Save(writer, path) == CSafeSave::SAVE_OK;
}

// Paths the file name cannot make a project of: no title means the
// content folder would be the folder the file lies in.
bool CheckProjectTitle(const std::u16string& path, const std::u16string& title)
{
    if (!title.empty())
        return true;
    ShowMessage(u"The project file name has no project name:\r\n\r\n" + path);
    return false;
}

}  // namespace

CProjectMgr::CProjectMgr(CFolderTreeMgr& tree) : m_tree(tree) {}

CProjectMgr::~CProjectMgr()
{
    CZandrelProject::Delete(m_pProject);
}

void CProjectMgr::SplitProjectPath(const std::u16string& path, std::u16string* folder, std::u16string* title)
{
    *folder = CFileSys::FolderOf(path);
    std::u16string name = CFileSys::NameOf(path);
    *title = name.substr(0, name.find(u'.'));
}

CZandrelProject* CProjectMgr::CreateProject(const std::u16string& path)
{
    std::u16string folder, title;
    SplitProjectPath(path, &folder, &title);
    if (!CheckProjectTitle(path, title))
        return nullptr;
    if (m_pProject && !CloseProject())
        return nullptr;

    std::u16string content = folder + title;
    if (!MakeProjectFolder(content) ||
        !MakeProjectFolder(content + u'/' + CUserFolder::GetProjectDataFolderName())) {
        ShowNoProject();
        return nullptr;
    }

    CZandrelProject* project = CZandrelProject::New();
    char16_t uuid[37];
    if (!project || !CBaseTool::GetUUID(uuid, 37)) {
        CZandrelProject::Delete(project);
        ShowNoProject();
        return nullptr;
    }
    project->SetName(title.c_str());
    project->SetContentPath((content + u'/').c_str());
    project->SetUUID(uuid);
    SetCurrent(project, std::u16string());

    // Without its file the project could never be opened again.
    if (!SaveProjectFile(project, path)) {
        ShowMessage(u"Cannot write project file:\r\n\r\n" + path);
        SetCurrent(nullptr, std::u16string());
        CZandrelProject::Delete(project);
        ShowNoProject();
        return nullptr;
    }
    if (!m_tree.CreateNewTree(title)) {
        SetCurrent(nullptr, std::u16string());
        CZandrelProject::Delete(project);
        ShowNoProject();
        return nullptr;
    }

    m_currentFile = path;
    GetRecentProjects().Add(title, path);
    ShowProject();
    CProjectLock* lock = CProjectLock::Get();
    lock->Take(path);
    lock->Commit();
    return project;
}

bool CProjectMgr::OpenProject(const std::u16string& path)
{
    if (!CFileSys::Exists(path)) {
        ShowMessage(u"The project file does not exist.\r\n\r\n" + path);
        return false;
    }
    if (path == m_currentFile) {
        ShowMessage(u"The project has already been opened");
        return false;
    }
    if (!CFileSys::IsFile(path)) {
        ShowMessage(u"This is not a project file:\r\n\r\n" + path);
        return false;
    }
    std::u16string folder, title;
    SplitProjectPath(path, &folder, &title);
    if (!CheckProjectTitle(path, title))
        return false;

    CProjectLock* lock = CProjectLock::Get();
    if (!lock->Take(path)) {
        std::u16string question = u"The project may be used by another Zandrel.\r\n"
                                  u"Or last time it was not closed properly.\r\n\r\n"
                                  u"It is better not to open the same project with\r\n"
                                  u"more than one Zandrel to prevent the posibility\r\n"
                                  u"of losing unsaved content.\r\n";
        if (UIPort().MessageBox(question, u"Zandrel", MB_OKCANCEL, IDCANCEL) != IDOK) {
            lock->DropPending();
            return false;
        }
    }

    CZandrelProject* project = ReadProject(path);
    if (!project) {
        lock->ReleasePending();
        return false;
    }
    if (m_pProject && !CloseProject()) {
        CZandrelProject::Delete(project);
        lock->ReleasePending();
        return false;
    }
    UIPort().SetProjectState(true);

    lock->Commit();
    SetCurrent(project, path);
    std::u16string name = project->GetName();
    if (!m_tree.LoadFolderTree(name)) {
        // A tree this program cannot read: the project stays closed and
        // its lock goes, so another program may open it.
        m_tree.CloseTree();
        CZandrelProject::Delete(project);
        SetCurrent(nullptr, std::u16string());
        CProjectLock::Get()->ReleaseCurrent();
        ShowNoProject();
        return false;
    }
    GetRecentProjects().Add(name, path);
    ShowProject();
    return true;
}

CZandrelProject* CProjectMgr::ReadProject(const std::u16string& path)
{
    CReadZandrelXML reader;
    if (!reader.LoadFile(path.c_str())) {
        ShowMessage(u"Cannot open project file:\r\n\r\n" + path);
        return nullptr;
    }
    CZandrelProject* project = reader.DetachZandrelProject();
    if (!project) {
        ShowMessage(u"Cannot parse project file:\r\n\r\n" + path);
        return nullptr;
    }
    int major = 0, minor = 0, build = 0;
    project->GetVersion(&major, &minor, &build);
    if (major > 1) {
        ShowMessage(u"This project was created by a later version of Zandrel.\r\n"
                    u"Please upgrade your version of Zandrel to open it.");
        CZandrelProject::Delete(project);
        return nullptr;
    }

    std::u16string folder, title;
    SplitProjectPath(path, &folder, &title);
    bool changed = false;
    if (!CStringTool::Equal(project->GetName(), title.c_str())) {
        if (!ReconcileName(project, folder, title)) {
            CZandrelProject::Delete(project);
            return nullptr;
        }
        project->SetName(title.c_str());
        changed = true;
    }

    std::u16string content = folder + title + u'/';
    if (!CFileSys::IsDirectory(content)) {
        if (!MakeProjectFolder(content)) {
            CZandrelProject::Delete(project);
            return nullptr;
        }
        changed = true;
    }
    project->SetContentPath(content.c_str());
    if (!MakeProjectFolder(content + CUserFolder::GetProjectDataFolderName())) {
        CZandrelProject::Delete(project);
        return nullptr;
    }
    // A failed write-back costs nothing: the next open repairs it again.
    if (changed)
        SaveProjectFile(project, path);
    return project;
}

bool CProjectMgr::ReconcileName(CZandrelProject* project, const std::u16string& folder,
                                const std::u16string& title)
{
    // The stored name comes from a file: only a plain name may point at a
    // folder to rename, never a path out of the project's folder.
    const char16_t* stored = project->GetName();
    bool storedUsable = stored && CFileSys::IsPlainName(stored);
    std::u16string oldFolder = storedUsable ? folder + stored + u'/' : std::u16string();
    std::u16string newFolder = folder + title + u'/';
    bool oldExists = storedUsable && CFileSys::IsDirectory(oldFolder);
    bool newExists = CFileSys::IsDirectory(newFolder);

    if (newExists && oldExists) {
        ShowMessage(u"There is conflict in project content folder name.\r\n"
                    u"Project name, content folder name and the name\r\n"
                    u"in project description shold be the same.\r\n"
                    u"Please correct them then retry.");
        return false;
    }
    if (!newExists && oldExists) {
        int error = 0;
        if (!CFileSys::Rename(oldFolder, newFolder, &error)) {
            ShowMessage(u"Could not change project content folder name. Code=" + CFileSys::ErrorCode(error) +
                        u"\r\n\r\n" + CFileSys::WithoutSlash(oldFolder));
            return false;
        }
        project->SetContentPath(newFolder.c_str());
    }
    return true;
}

bool CProjectMgr::CloseProject()
{
    if (!m_pProject)
        return true;
    if (!LeaveCurrentPage())
        return false;
    if (m_openHook)
        m_openHook(false);
    // Save the list of recently opened pages while the tree still exists.
    if (m_saveRecentPages)
        m_saveRecentPages();
    m_tree.CloseTree();

    CZandrelProject::Delete(m_pProject);
    m_pProject = nullptr;
    UIPort().ClearPageView();
    UIPort().ShowCollection(nullptr);

    SetCurrent(nullptr, std::u16string());
    CProjectLock::Get()->ReleaseCurrent();
    ShowNoProject();
    return true;
}

CZandrelProject* CProjectMgr::NewProjectCommand()
{
    CNewProjectRules rules;
    std::u16string path;
    if (!UIPort().AskNewProjectPath(GetProjectDialogFolder(), rules, &path))
        return nullptr;
    m_lastFolder = CFileSys::FolderOf(path);
    return CreateProject(path);
}

bool CProjectMgr::OpenProjectCommand()
{
    std::u16string path;
    if (!UIPort().AskOpenProjectPath(GetProjectDialogFolder(), &path))
        return false;
    return OpenProject(path);
}

CRecentProjects& CProjectMgr::GetRecentProjects()
{
    if (!m_pRecent) {
        m_pRecent = std::make_unique<CRecentProjects>();
        m_pRecent->Load();
    }
    return *m_pRecent;
}

std::u16string CProjectMgr::GetProjectDialogFolder() const
{
    return m_lastFolder.empty() ? UserFolder().GetUserFolder() : m_lastFolder;
}

bool CProjectMgr::MakeProjectFolder(const std::u16string& folder)
{
    if (CFileSys::IsDirectory(folder))
        return true;
    std::u16string shown = CFileSys::WithoutSlash(folder);
    int error = 0;
    if (CFileSys::MakeDir(folder, &error))
        return true;
    if (error == EEXIST)
        ShowMessage(u"Cannot create a folder when that folder already exists.\n" + shown);
    else
        ShowMessage(u"Cannot create folder " + CFileSys::ErrorCode(error) + u":\r\n" + shown);
    return false;
}

void CProjectMgr::SetCurrent(CZandrelProject* project, const std::u16string& file)
{
    m_pProject = project;
    m_currentFile = file;
    const char16_t* content = project ? project->GetContentPath() : nullptr;
    UserFolder().SetCurrentContentPath(content ? content : u"");
}

void CProjectMgr::ShowProject()
{
    RNode* root = m_tree.GetRoot();
    RNode* selected = m_tree.GetCurrentFolder() ? m_tree.GetCurrentFolder() : root;
    UIPort().SetProjectState(true);
    UIPort().ShowTree(root, selected);
    const char16_t* name = selected && selected->GetData() ? selected->GetData()->GetName() : nullptr;
    if (!name && m_pProject)
        name = m_pProject->GetName();
    UIPort().SetWindowTitle(name ? name : kNoProjectTitle);
    if (m_openHook)
        m_openHook(true);
}

void CProjectMgr::ShowNoProject()
{
    UIPort().SetProjectState(false);
    UIPort().ShowTree(nullptr, nullptr);
    UIPort().SetWindowTitle(kNoProjectTitle);
}
