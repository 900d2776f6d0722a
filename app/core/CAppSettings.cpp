#include "app/core/CAppSettings.h"

#include <unistd.h>

#include <glib.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/CFileSys.h"
#include "app/core/CIniFile.h"
#include "app/core/CTraceLog.h"
#include "app/core/CUIPort.h"
#include "base/model/CProfExtra.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

// Made once, under the lock, by whichever thread asks first; g_ready is
// published only when the object is whole. While it is built, its own
// thread may ask again (the lock is recursive) and gets the object in the
// making, as before; other threads wait.
std::recursive_mutex g_settingsLock;
CAppSettings* g_settings = nullptr;
std::atomic<CAppSettings*> g_ready{nullptr};

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

// The program's own pages and templates: beside the program as it ships,
// else where an installation puts them, else the source tree it was built
// from.
std::u16string FindAssets(const std::u16string& program)
{
    for (std::u16string folder : {program + u"Assets/Zandrel/", program + u"../share/zandrel/"}) {
        if (CFileSys::IsDirectory(folder))
            return folder;
    }
    return CFileSys::WithSlash(U16(ZANDREL_RESOURCE_DIR));
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

// An XDG user folder as user-dirs.dirs names it (`key` such as
// "XDG_DOCUMENTS_DIR"), read afresh each time (GLib caches them for the
// life of the process); else HOME + "/" + `fallback`.
std::u16string UserDir(const std::string& key, const char* fallback)
{
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/')
        config = HomeFolder() + "/.config";
    std::string bytes;
    ReadRegularFile((config + "/user-dirs.dirs").c_str(), &bytes);
    std::istringstream dirs(bytes);
    std::string line;
    while (std::getline(dirs, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size() + 1, key + "=") != 0)
            continue;
        std::string value = line.substr(start + key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = HomeFolder() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return U16(value);
    }
    return U16(HomeFolder() + "/" + fallback);
}

std::u16string DocumentsFolder()
{
    return UserDir("XDG_DOCUMENTS_DIR", "Documents");
}

std::u16string PicturesFolder()
{
    return UserDir("XDG_PICTURES_DIR", "Pictures");
}

// --- the settings file: values joined with "#"

constexpr char16_t kSettingsZandrel[] = u"ZANDREL";
constexpr char16_t kSettingsLastTime[] = u"LASTTIME";
constexpr char16_t kSettingsNoteWin[] = u"NOTEWIN";
constexpr char16_t kSettingsTags[] = u"TAGS";
constexpr char16_t kSettingsDebug[] = u"DEBUG";
constexpr char16_t kSettingsUserData[] = u"USERDATA";

// Fields between "#" separators; a run of them counts as one, and those at
// either end are skipped.
std::vector<std::u16string> SplitFields(const std::u16string& text)
{
    std::vector<std::u16string> fields;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'#', start);
        if (end == std::u16string::npos)
            end = text.size();
        if (end > start)
            fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

int ToInt(const std::u16string& text)
{
    return static_cast<int>(CStringTool::ReadLong(text));
}

std::u16string Join(std::initializer_list<int> values)
{
    std::string text;
    for (int value : values) {
        if (!text.empty())
            text += '#';
        text += std::to_string(value);
    }
    return U16(text);
}

// Keys written by several fields: one text for the default a read passes
// and for the value written back.
std::u16string PageFontText(const CPageProfile& page)
{
    return Join({page.GetFontFlag1(), page.GetFontFlag2()}) + u'#' + page.GetFontFace() + u'#' +
           page.GetFontSize();
}

std::u16string RectText(const CQVRect& rect)
{
    return Join({rect.x, rect.y, rect.width, rect.height});
}

std::u16string ExtraText(const CLayoutProfile& layout)
{
    return Join({layout.GetExtraValue1(), layout.GetExtraValue2(), layout.GetExtraValue3(),
                 layout.GetExtraValue4(), layout.GetExtraFlag5(), layout.GetExtraFlag6(),
                 layout.GetSidePaneState()});
}

// Rectangle B comes first.
std::u16string TagsWindowText(const CLayoutProfile& layout)
{
    return RectText(layout.GetTagsWindowB()) + u'#' + RectText(layout.GetTagsWindowA());
}

// The show value travels in the second field; the others are always 0.
std::u16string TagsShowText(const CPageProfile& page)
{
    return Join({0, page.GetTagsShowValue(), 0, 0});
}

// The key split into fields, or nothing when it has fewer than `count`.
// The current value is the default, so a missing key changes nothing.
bool ReadFields(const CIniFile& ini, const char16_t* section, const char16_t* key,
                const std::u16string& current, size_t count, std::vector<std::u16string>* fields)
{
    *fields = SplitFields(ini.GetString(section, key, current));
    return fields->size() >= count;
}

// A value the file cannot hold (a line end in a path) is written empty
// rather than leaving the previous run's value behind.
void Put(CIniFile& ini, const char16_t* section, const char16_t* key, const std::u16string& value)
{
    if (!ini.SetString(section, key, value))
        ini.SetString(section, key, std::u16string());
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
        // A new account may have no ~/.local yet: the whole chain is made,
        // as the data home is expected to exist.
        bool haveShare = CFileSys::IsDirectory(share) ||
                         g_mkdir_with_parents(CFileSys::Native(share).c_str(), 0700) == 0;
        if (haveShare && EnsureFolder(zandrel))
            m_userRoot = zandrel + u'/';
        else
            m_userRoot = m_program;
    }

    std::string assets = Env("ZANDREL_ASSETS_DIR");
    m_assets = assets.empty() ? FindAssets(m_program) : CFileSys::WithSlash(U16(assets));
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
    if (CAppSettings* ready = g_ready.load(std::memory_order_acquire))
        return ready;
    std::lock_guard<std::recursive_mutex> hold(g_settingsLock);
    if (!g_settings) {
        g_settings = new CAppSettings();
        if (!g_settings->Build()) {
            delete g_settings;
            g_settings = nullptr;
            ShowMessage(u"Can not find My Korvel folder!");
            UIPort().ExitProcess(1);
        }
        g_ready.store(g_settings, std::memory_order_release);
    }
    return g_settings;
}

void CAppSettings::Release()
{
    std::lock_guard<std::recursive_mutex> hold(g_settingsLock);
    g_ready.store(nullptr, std::memory_order_release);
    delete g_settings;
    g_settings = nullptr;
}

bool CAppSettings::Build()
{
    // The library's writers stamp files with the program's version.
    CProfExtra::s_iThisKRVVersion = kVersion;
    m_folders.Build();
    if (!m_userFolder.Build())
        return false;
    LoadSettings();
    return true;
}

void CAppSettings::LoadSettings()
{
    const std::u16string& path = m_folders.GetSettingsFile();
    CIniFile ini;
    if (!CFileSys::IsFile(path) || !ini.Load(path))
        return;
    // Read in the order DEBUG, ZANDREL and LASTTIME, NOTEWIN, TAGS.
    std::vector<std::u16string> f;

    std::u16string logFile = CStringTool::TrimBlanks(ini.GetString(kSettingsDebug, u"LOGFILE", u""));
    if (!logFile.empty())
        m_logFile = logFile;
    if (ReadFields(ini, kSettingsDebug, u"TRACELEVEL", Join({m_nTraceLevel}), 1, &f))
        m_nTraceLevel = ToInt(f[0]);
    if (ReadFields(ini, kSettingsDebug, u"DOWNLOAD", Join({m_nDownload}), 1, &f)) {
        m_nDownload = ToInt(f[0]);
        // A forced download happens in this run only.
        if (m_nDownload == 1)
            CIniFile::WriteProfileString(path, kSettingsDebug, u"DOWNLOAD", u"0");
    }
    if (ReadFields(ini, kSettingsDebug, u"NOTUSEFP", Join({m_bNotUseFP}), 1, &f))
        m_bNotUseFP = ToInt(f[0]) == 1;
    if (ReadFields(ini, kSettingsDebug, u"NOTUSEFOLDP", Join({m_bNotUseFolderP}), 1, &f))
        m_bNotUseFolderP = ToInt(f[0]) == 1;
    for (auto [key, url] : {std::pair{u"FRONTPAGEURL", &m_frontPageUrl}, std::pair{u"UPDATEURL", &m_updateCheckUrl}}) {
        std::u16string value = CStringTool::TrimBlanks(ini.GetString(kSettingsDebug, key, u""));
        if (!value.empty())
            *url = value;
    }

    if (ReadFields(ini, kSettingsZandrel, u"PAGEFONT", PageFontText(m_page), 4, &f)) {
        m_page.SetFontFlag1(ToInt(f[0]) == 1);
        m_page.SetFontFlag2(ToInt(f[1]) == 1);
        m_page.SetFontFace(f[2]);
        m_page.SetFontSize(f[3]);
    }
    if (ReadFields(ini, kSettingsZandrel, u"BROWSER", Join({m_page.GetBrowserChoice()}) + u"#korvel", 2, &f))
        m_page.SetBrowserChoice(ToInt(f[0]));
    if (ReadFields(ini, kSettingsZandrel, u"CHECKDAYS", Join({m_nCheckDays}), 1, &f)) {
        int days = ToInt(f[0]);
        m_nCheckDays = days == 0 ? 15 : days < 0 ? -1 : days;
    }
    if (ReadFields(ini, kSettingsLastTime, u"RELOAD", Join({m_page.GetReloadLastProject()}), 1, &f))
        m_page.SetReloadLastProject(ToInt(f[0]) != 0);
    m_page.SetLastProjectFile(ini.GetString(kSettingsLastTime, u"PROJECTFILE", m_page.GetLastProjectFile(),
                                            CIniFile::kPathBuffer));

    if (ReadFields(ini, kSettingsNoteWin, u"ALL", RectText(m_layout.GetMainWindow()), 4, &f))
        m_layout.SetMainWindow({ToInt(f[0]), ToInt(f[1]), ToInt(f[2]), ToInt(f[3])});
    if (ReadFields(ini, kSettingsNoteWin, u"EXTRA", ExtraText(m_layout), 7, &f)) {
        m_layout.SetExtraValue1(ToInt(f[0]));
        m_layout.SetExtraValue2(ToInt(f[1]));
        m_layout.SetExtraValue3(ToInt(f[2]));
        m_layout.SetExtraValue4(ToInt(f[3]));
        m_layout.SetExtraFlag5(ToInt(f[4]));
        m_layout.SetExtraFlag6(ToInt(f[5]));
        m_layout.SetSidePaneState(ToInt(f[6]));
    }
    if (ReadFields(ini, kSettingsNoteWin, u"TASKPANE",
                   Join({m_layout.GetTaskPaneValue(), m_layout.GetTaskPaneWidth()}), 2, &f)) {
        m_layout.SetTaskPaneValue(ToInt(f[0]));
        m_layout.SetTaskPaneWidth(ToInt(f[1]));
    }

    if (ReadFields(ini, kSettingsTags, u"SHOW", TagsShowText(m_page), 4, &f))
        m_page.SetTagsShowValue(ToInt(f[1]));
    if (ReadFields(ini, kSettingsTags, u"WIN", TagsWindowText(m_layout), 8, &f)) {
        m_layout.SetTagsWindowB({ToInt(f[0]), ToInt(f[1]), ToInt(f[2]), ToInt(f[3])});
        m_layout.SetTagsWindowA({ToInt(f[4]), ToInt(f[5]), ToInt(f[6]), ToInt(f[7])});
    }
}

std::u16string CAppSettings::GetFrontPageBaseUrl() const
{
    std::string env = Env("ZANDREL_FRONTPAGE_URL");
    return env.empty() ? m_frontPageUrl : U16(env);
}

std::u16string CAppSettings::GetUpdateCheckBaseUrl() const
{
    std::string env = Env("ZANDREL_UPDATE_URL");
    return env.empty() ? m_updateCheckUrl : U16(env);
}

bool CAppSettings::SaveSettings()
{
    const std::u16string& path = m_folders.GetSettingsFile();
    CIniFile ini;
    // Keys this object does not own (DEBUG, USERDATA, anything else) stay.
    if (!ini.Load(path))
        return false;

    Put(ini, kSettingsZandrel, u"PAGEFONT", PageFontText(m_page));
    Put(ini, kSettingsZandrel, u"BROWSER", Join({m_page.GetBrowserChoice()}) + u"#korvel");
    Put(ini, kSettingsZandrel, u"CHECKDAYS", Join({m_nCheckDays}));
    Put(ini, kSettingsLastTime, u"RELOAD", Join({m_page.GetReloadLastProject()}));
    Put(ini, kSettingsLastTime, u"PROJECTFILE", m_page.GetLastProjectFile());

    Put(ini, kSettingsNoteWin, u"ALL", RectText(m_layout.GetMainWindow()));
    Put(ini, kSettingsNoteWin, u"EXTRA", ExtraText(m_layout));
    Put(ini, kSettingsNoteWin, u"TASKPANE", Join({m_layout.GetTaskPaneValue(), m_layout.GetTaskPaneWidth()}));

    Put(ini, kSettingsTags, u"SHOW", TagsShowText(m_page));
    Put(ini, kSettingsTags, u"WIN", TagsWindowText(m_layout));
    return ini.Save(path);
}

std::u16string CAppSettings::GetLastImageFolder()
{
    std::u16string folder =
        CIniFile::GetProfileString(m_folders.GetSettingsFile(), kSettingsUserData, u"LASTIMGFOLDER", u"",
                                   CIniFile::kPathBuffer);
    if (!folder.empty() && CFileSys::IsDirectory(folder))
        return CFileSys::WithSlash(folder);
    std::u16string pictures = PicturesFolder();
    if (CFileSys::IsDirectory(pictures))
        return CFileSys::WithSlash(pictures);
    // "My Korvel" lives in the documents folder.
    return CFileSys::FolderOf(m_userFolder.GetUserFolderBare());
}

void CAppSettings::SetLastImageFolder(const std::u16string& folder)
{
    CIniFile::WriteProfileString(m_folders.GetSettingsFile(), kSettingsUserData, u"LASTIMGFOLDER", folder);
}

std::u16string CAppSettings::FindBrowser(int choice)
{
    // Internet Explorer (2) has no Linux build: never found.
    std::vector<const char*> names;
    if (choice == 1)
        names = {"google-chrome", "chromium"};
    else if (choice == 3)
        names = {"firefox"};
    for (const char* name : names) {
        gchar* found = g_find_program_in_path(name);
        if (found) {
            std::u16string path = U16(found);
            g_free(found);
            return path;
        }
    }
    return std::u16string();
}

bool CAppSettings::IsBrowserAvailable(int choice)
{
    return choice == 0 || !FindBrowser(choice).empty();
}

int CAppSettings::GetShownBrowserChoice(int stored)
{
    if (stored < 0 || stored > 3 || !IsBrowserAvailable(stored))
        return 0;
    return stored;
}

bool CAppSettings::OpenExternalUrl(const std::u16string& url)
{
    int choice = m_page.GetBrowserChoice();
    if (choice == 0)
        return UIPort().OpenUri(url);
    std::u16string browser = choice > 0 && choice <= 3 ? FindBrowser(choice) : std::u16string();
    if (browser.empty()) {
        ShowMessage(u"Can not find the browser executable file.");
        return false;
    }
    // A browser reads a leading "-" as an option, never as an address.
    if (!url.empty() && url[0] == u'-')
        return false;
    return UIPort().RunProgram(browser, url);
}

bool CAppSettings::OpenTraceLog(long now)
{
    if (m_logFile.empty())
        return false;
    return CTraceLog::Open(CTraceLog::GetLogPath(m_folders.GetUserDataRoot(), m_logFile, now), true);
}
