#include "app/core/CNewProjectRules.h"

#include "app/core/CFileSys.h"
#include "base/model/CZandrelProject.h"
#include "base/tools/CStringTool.h"

bool CNewProjectRules::OnOk(std::u16string& path)
{
    std::u16string folder = CFileSys::FolderOf(path);
    std::u16string name = CFileSys::NameOf(path);
    std::u16string title;
    if (!CheckFileName(name, &title))
        return false;

    folder = CFileSys::WithSlash(folder);
    std::u16string projectFile = folder + title + CKRVGlobal::GetFileExt();
    if (CFileSys::Exists(folder + title)) {
        ShowMessage(u"Please choose a different name, folder name conflicts");
        return false;
    }
    // The chosen spelling of the extension may differ from ours.
    if (CFileSys::Exists(projectFile) || CFileSys::Exists(folder + name)) {
        ShowMessage(u"Please choose a different name, project file already exists");
        return false;
    }

    std::vector<std::u16string> nested = FindEnclosingProjects(folder);
    if (!nested.empty() && !AskNestedProject(nested))
        return false;

    if (name.find(u'.') == std::u16string::npos)
        path = projectFile;
    return true;
}

bool CNewProjectRules::CheckFileName(const std::u16string& name, std::u16string* title)
{
    if (name.empty())
        return false;
    size_t dot = name.find(u'.');
    if (dot == std::u16string::npos) {
        *title = name;
        return true;
    }
    if (dot == 0) {
        ShowMessage(u"Project name cannot start with dot.");
        return false;
    }
    std::u16string rest = name.substr(dot + 1);
    if (rest.find(u'.') != std::u16string::npos) {
        ShowMessage(u"Project file cannot have extra dot.");
        return false;
    }
    const char16_t* ext = CKRVGlobal::GetFileExt();
    if (!CStringTool::EqualNoCase((u"." + rest).c_str(), ext)) {
        ShowMessage(u"Project file extension should be ended with " + std::u16string(ext));
        return false;
    }
    *title = name.substr(0, dot);
    return true;
}

std::vector<std::u16string> CNewProjectRules::FindEnclosingProjects(const std::u16string& folder)
{
    std::vector<std::u16string> found;
    std::u16string built;
    size_t start = 0;
    while (start < folder.size()) {
        size_t slash = folder.find(u'/', start);
        size_t end = slash == std::u16string::npos ? folder.size() : slash;
        if (end > start) {
            // The first component of an absolute path is built on the root.
            built += (built.empty() && folder[0] != u'/') ? u"" : u"/";
            built += folder.substr(start, end - start);
            if (CFileSys::IsFile(built + CKRVGlobal::GetFileExt()))
                found.push_back(built);
        }
        start = end + 1;
    }
    return found;
}

bool CNewProjectRules::AskNestedProject(const std::vector<std::u16string>& contentFolders)
{
    std::u16string text = u"One of its parent folder is a Zandrel project.\r\n"
                          u"If use this folder, it may create conflicts.\r\n\r\n"
                          u"The Zandrel project folder:\r\n";
    for (const auto& folder : contentFolders)
        text += folder + u"\r\n";
    text += u"\r\nYou can press Cancel button to choose another folder.";
    return UIPort().MessageBox(text, u"Zandrel", MB_OKCANCEL, IDCANCEL) == IDOK;
}
