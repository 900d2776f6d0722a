#include "app/core/CAppSettings.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/core/CFileSys.h"
#include "app/core/CUIPort.h"
#include "base/model/CProfExtra.h"
#include "base/tools/CUnicodeTool.h"

namespace {

CAppSettings* g_settings = nullptr;

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder()
{
    std::string home = Env("HOME");
    return home.empty() ? std::string("/") : home;
}

std::u16string U16(const std::string& text)
{
    return CUnicodeTool::FromUtf8(text);
}

// Makes the folder unless it is there; true when it is there afterwards.
bool EnsureFolder(const std::u16string& folder)
{
    return CFileSys::IsDirectory(folder) || CFileSys::MakeDir(folder);
}

std::u16string ProgramFolder()
{
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return u"./";
    return CFileSys::FolderOf(U16(std::string(path, size_t(length))));
}

// The XDG documents folder as user-dirs.dirs names it, read afresh each
// time (GLib caches it for the life of the process).
std::u16string DocumentsFolder()
{
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/')
        config = HomeFolder() + "/.config";
    std::ifstream dirs(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        std::string value = line.substr(start + key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = HomeFolder() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return U16(value);
    }
    return U16(HomeFolder() + "/Documents");
}

}  // namespace

void CDataFolders::Build()
{
    m_program = ProgramFolder();

    std::string dataHome = Env("XDG_DATA_HOME");
    if (dataHome.empty() || dataHome[0] != '/')
        dataHome = HomeFolder() + "/.local/share";
    std::u16string root = U16(dataHome);
    if (CUnicodeTool::ToUtf8(std::u16string_view(root)).size() >= PATH_MAX - 64) {
        ShowMessage(u"User Profile Folder Path is too long");
        m_userRoot = m_program;
    } else {
        std::u16string share = CFileSys::WithoutSlash(root);
        std::u16string zandrel = CFileSys::WithSlash(share) + u"Zandrel";
        if (EnsureFolder(share) && EnsureFolder(zandrel))
            m_userRoot = zandrel + u'/';
        else
            m_userRoot = m_program;
    }

    std::string assets = Env("ZANDREL_ASSETS_DIR");
    m_assets = assets.empty() ? m_program + u"Assets/Zandrel/" : CFileSys::WithSlash(U16(assets));
    m_skin = m_assets + u"Skin/";
    m_html = m_assets + u"Html/";
    m_colctBitmap = m_skin + u"colctfolder.bmp";

    m_data = m_userRoot + u"Data/";
    m_frontPage = m_userRoot + u"FrontPage/";
    EnsureFolder(m_data);
    EnsureFolder(m_frontPage);
    m_temp = m_data + u"Temp/";
    EnsureFolder(m_temp);

    m_settings = m_data + u"zandrel.ini";
    m_recentProjects = m_data + u"zandrecentproject.xml";
    m_startPage = m_html + u"zandrelstart.htm";
    m_folderBlankPage = m_html + u"folderblankpage.htm";
}

bool CUserFolder::Build()
{
    std::u16string documents = CFileSys::WithoutSlash(DocumentsFolder());
    if (!EnsureFolder(documents))
        return false;
    m_userFolderBare = CFileSys::WithSlash(documents) + u"My Korvel";
    if (!EnsureFolder(m_userFolderBare))
        return false;
    m_userFolder = m_userFolderBare + u'/';
    return true;
}

void CUserFolder::SetCurrentContentPath(const std::u16string& path)
{
    m_contentPath = path.empty() ? path : CFileSys::WithSlash(path);
}

std::u16string CUserFolder::GetProjectDataFolder() const
{
    return m_contentPath + GetProjectDataFolderName() + u'/';
}

std::u16string CUserFolder::GetFolderTreeFile() const
{
    return GetProjectDataFolder() + u"krv_folders.xml";
}

std::u16string CUserFolder::GetRecentColctFile() const
{
    return GetProjectDataFolder() + u"krv_recent.xml";
}

std::u16string CUserFolder::GetRecentTagsFile() const
{
    return GetProjectDataFolder() + u"krv_rectags.xml";
}

std::u16string CUserFolder::GetRecentPagesFile() const
{
    return GetProjectDataFolder() + u"krv_recpages.xml";
}

std::u16string CUserFolder::GetTagsFile() const
{
    return GetProjectDataFolder() + u"krv_tags.xml";
}

void CLayoutProfile::SetTaskPaneWidth(int width)
{
    if (width > 1024)
        width = 1024;
    else if (width < 80)
        width = 100;
    m_nTaskPaneWidth = width;
}

CAppSettings* CAppSettings::Get()
{
    if (!g_settings) {
        g_settings = new CAppSettings();
        if (!g_settings->Build()) {
            delete g_settings;
            g_settings = nullptr;
            ShowMessage(u"Can not find My Korvel folder!");
            UIPort().ExitProcess(1);
        }
    }
    return g_settings;
}

void CAppSettings::Release()
{
    delete g_settings;
    g_settings = nullptr;
}

bool CAppSettings::Build()
{
    CProfExtra::s_iThisKRVVersion = kVersion;
    m_folders.Build();
    if (!m_userFolder.Build())
        return false;
    LoadSettings();
    return true;
}

void CAppSettings::LoadSettings()
{
    // "zandrel.ini" comes with the settings file reader.
}
