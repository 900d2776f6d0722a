#pragma once

// The program-wide settings: folders of the installation and of the user,
// the per-project file names, page and layout profiles, and "zandrel.ini".

#include <string>

// Every folder and fixed file of the installation and of the user's data.
// Folder paths end in "/".
class CDataFolders {
public:
    // Finds or makes the folders from the environment of this moment
    // (XDG_DATA_HOME, HOME), so tests can point them elsewhere.
    void Build();

    const std::u16string& GetProgramFolder() const { return m_program; }
    const std::u16string& GetUserDataRoot() const { return m_userRoot; }
    const std::u16string& GetDataFolder() const { return m_data; }
    const std::u16string& GetFrontPageFolder() const { return m_frontPage; }
    const std::u16string& GetTempFolder() const { return m_temp; }
    const std::u16string& GetAssetsFolder() const { return m_assets; }
    const std::u16string& GetSkinFolder() const { return m_skin; }
    const std::u16string& GetHtmlFolder() const { return m_html; }
    const std::u16string& GetColctFolderBitmap() const { return m_colctBitmap; }
    const std::u16string& GetSettingsFile() const { return m_settings; }
    const std::u16string& GetRecentProjectsFile() const { return m_recentProjects; }
    const std::u16string& GetStartPage() const { return m_startPage; }
    const std::u16string& GetFolderBlankPage() const { return m_folderBlankPage; }

private:
    std::u16string m_program;
    std::u16string m_userRoot;
    std::u16string m_data;
    std::u16string m_frontPage;
    std::u16string m_temp;
    std::u16string m_assets;
    std::u16string m_skin;
    std::u16string m_html;
    std::u16string m_colctBitmap;
    std::u16string m_settings;
    std::u16string m_recentProjects;
    std::u16string m_startPage;
    std::u16string m_folderBlankPage;
};

// The user's "My Korvel" folder and the files of the open project.
class CUserFolder {
public:
    // False when the documents folder cannot be found or "My Korvel" made.
    bool Build();

    const std::u16string& GetUserFolder() const { return m_userFolder; }      // ends in "/"
    const std::u16string& GetUserFolderBare() const { return m_userFolderBare; }
    const std::u16string& GetCurrentContentPath() const { return m_contentPath; }
    // Set when a project becomes current; "" when none is. Ends in "/".
    void SetCurrentContentPath(const std::u16string& path);

    static const char16_t* GetProjectDataFolderName() { return u".zandrel"; }
    static const char16_t* GetFolderListFileName() { return u"krv_files.xml"; }
    static const char16_t* GetProgramWord() { return u"Zandrel"; }

    // Content path + ".zandrel/" and the files in it.
    std::u16string GetProjectDataFolder() const;
    std::u16string GetFolderTreeFile() const;    // "krv_folders.xml"
    std::u16string GetRecentColctFile() const;   // "krv_recent.xml"
    std::u16string GetRecentTagsFile() const;    // "krv_rectags.xml"
    std::u16string GetRecentPagesFile() const;   // "krv_recpages.xml"
    std::u16string GetTagsFile() const;          // "krv_tags.xml"

private:
    std::u16string m_userFolder;
    std::u16string m_userFolderBare;
    std::u16string m_contentPath;
};

class CPageProfile {
public:
    bool GetFontFlag1() const { return m_bFontFlag1; }
    void SetFontFlag1(bool on) { m_bFontFlag1 = on; }
    bool GetFontFlag2() const { return m_bFontFlag2; }
    void SetFontFlag2(bool on) { m_bFontFlag2 = on; }
    const std::u16string& GetFontFace() const { return m_fontFace; }
    void SetFontFace(const std::u16string& face) { m_fontFace = face; }
    const std::u16string& GetFontSize() const { return m_fontSize; }
    void SetFontSize(const std::u16string& size) { m_fontSize = size; }
    int GetBrowserChoice() const { return m_nBrowser; }
    void SetBrowserChoice(int choice) { m_nBrowser = choice; }
    int GetTagsShowValue() const { return m_nTagsShow; }
    void SetTagsShowValue(int value) { m_nTagsShow = value; }
    bool GetReloadLastProject() const { return m_bReload; }
    void SetReloadLastProject(bool on) { m_bReload = on; }
    const std::u16string& GetLastProjectFile() const { return m_lastProject; }
    void SetLastProjectFile(const std::u16string& path) { m_lastProject = path; }

private:
    bool m_bFontFlag1 = false;
    bool m_bFontFlag2 = false;
    std::u16string m_fontFace = u"Arial";
    std::u16string m_fontSize = u"12pt";
    int m_nBrowser = 0;
    int m_nTagsShow = 1;
    bool m_bReload = false;
    std::u16string m_lastProject;
};

struct CQVRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class CLayoutProfile {
public:
    int GetExtraValue1() const { return m_nExtra1; }
    void SetExtraValue1(int value) { m_nExtra1 = value; }
    int GetExtraValue2() const { return m_nExtra2; }
    void SetExtraValue2(int value) { m_nExtra2 = value < 40 ? 40 : value; }
    int GetExtraValue3() const { return m_nExtra3; }
    void SetExtraValue3(int value) { m_nExtra3 = value < 20 ? 20 : value; }
    int GetExtraValue4() const { return m_nExtra4; }
    void SetExtraValue4(int value) { m_nExtra4 = value < 20 ? 20 : value; }
    const CQVRect& GetMainWindow() const { return m_main; }
    void SetMainWindow(const CQVRect& rect) { m_main = rect; }
    int GetExtraFlag5() const { return m_nFlag5; }
    void SetExtraFlag5(int value) { m_nFlag5 = value ? 1 : 0; }
    int GetExtraFlag6() const { return m_nFlag6; }
    void SetExtraFlag6(int value) { m_nFlag6 = value ? 1 : 0; }
    int GetSidePaneState() const { return m_nSidePane; }
    void SetSidePaneState(int state) { m_nSidePane = state; }
    int GetTaskPaneValue() const { return m_nTaskPane; }
    void SetTaskPaneValue(int value) { m_nTaskPane = value; }
    int GetTaskPaneWidth() const { return m_nTaskPaneWidth; }
    void SetTaskPaneWidth(int width);
    const CQVRect& GetTagsWindowA() const { return m_tagsA; }
    void SetTagsWindowA(const CQVRect& rect) { m_tagsA = rect; }
    const CQVRect& GetTagsWindowB() const { return m_tagsB; }
    void SetTagsWindowB(const CQVRect& rect) { m_tagsB = rect; }

private:
    int m_nExtra1 = 200;
    int m_nExtra2 = 200;
    int m_nExtra3 = 200;
    int m_nExtra4 = 200;
    CQVRect m_main{0, 0, 1, 1};
    int m_nFlag5 = 1;
    int m_nFlag6 = 1;
    int m_nSidePane = 1;
    int m_nTaskPane = 0;
    int m_nTaskPaneWidth = 230;
    CQVRect m_tagsA;
    CQVRect m_tagsB;
};

class CAppSettings {
public:
    static constexpr int kVersion = 200;
    static constexpr int kBuild = 1283;

    // Builds the settings on first call (folders, then "zandrel.ini" when it
    // exists) and returns the same object until Release.
    static CAppSettings* Get();
    static void Release();

    CDataFolders& GetDataFolders() { return m_folders; }
    CUserFolder& GetUserFolder() { return m_userFolder; }
    CPageProfile& GetPageProfile() { return m_page; }
    const CPageProfile& GetPageProfile() const { return m_page; }
    CLayoutProfile& GetLayout() { return m_layout; }

    int GetVersion() const { return m_nVersion; }
    int GetBuild() const { return m_nBuild; }
    int GetCheckDays() const { return m_nCheckDays; }
    int GetTraceLevel() const { return m_nTraceLevel; }
    const std::u16string& GetLogFileName() const { return m_logFile; }
    int GetDownloadSwitch() const { return m_nDownload; }
    bool NotUseFrontPage() const { return m_bNotUseFP; }
    bool NotUseFolderPage() const { return m_bNotUseFolderP; }
    // Where the start-page service publishes (ending in "/frontpage/") and
    // the update-check service's site (scheme and host). [DEBUG] FRONTPAGEURL
    // and UPDATEURL in "zandrel.ini" change them, and the environment
    // variables ZANDREL_FRONTPAGE_URL and ZANDREL_UPDATE_URL over that.
    std::u16string GetFrontPageBaseUrl() const;
    std::u16string GetUpdateCheckBaseUrl() const;
    static constexpr char16_t kDefaultFrontPageUrl[] = u"https://zandrel.org/frontpage/";
    static constexpr char16_t kDefaultUpdateCheckUrl[] = u"https://zandrel.org";

    // Writes the whole settings file; once, at shut-down.
    bool SaveSettings();
    // The folder last used for an image, with its fallbacks; setting it
    // writes the settings file's key at once.
    std::u16string GetLastImageFolder();
    void SetLastImageFolder(const std::u16string& folder);

    // Opens a URL outside the program by the browser choice; false (after
    // telling the user when the browser is missing) when nothing opened.
    bool OpenExternalUrl(const std::u16string& url);

    // The executable of a browser choice found on PATH (1 Chrome, 2 Internet
    // Explorer, 3 Firefox); "" when there is none.
    static std::u16string FindBrowser(int choice);
    // Choice 0, the default browser, is always there.
    static bool IsBrowserAvailable(int choice);
    // The choice the options page selects for a stored one: 0 for a choice
    // outside 0 to 3 or a browser that is not installed.
    static int GetShownBrowserChoice(int stored);

    // Opens the trace log when the settings name a log file. It goes to the
    // user data root: the program folder is not writable on Linux.
    bool OpenTraceLog(long now);

private:
    CAppSettings() = default;
    bool Build();
    void LoadSettings();

    CDataFolders m_folders;
    CUserFolder m_userFolder;
    CPageProfile m_page;
    CLayoutProfile m_layout;
    int m_nVersion = kVersion;
    int m_nBuild = kBuild;
    int m_nCheckDays = 90;
    int m_nTraceLevel = 0;
    std::u16string m_logFile;
    int m_nDownload = 0;
    std::u16string m_frontPageUrl = kDefaultFrontPageUrl;
    std::u16string m_updateCheckUrl = kDefaultUpdateCheckUrl;
    bool m_bNotUseFP = false;
    bool m_bNotUseFolderP = false;
};
