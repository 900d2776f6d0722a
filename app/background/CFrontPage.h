#pragma once

// The start page and the folder page the vendor's start-page service
// publishes: when a new set is due, its download into the spare one of the
// folders "a" and "b" under the user's "FrontPage/" folder on a thread of
// its own, and which page files are shown. The shown set only changes at
// the next start, after a verified, complete run.

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "app/background/CMsgQueueThread.h"
#include "app/background/CUpdateCheck.h"

class CThreadMgr;
class CDLFile;
class CDLFolder;
class CDLHeader;

// The shown and the spare folder, the schedule check and the page choice.
class CFrontPagePath {
public:
    using Clock = std::function<long()>;

    // Reads "FrontPagePath" (storing an empty one when it is missing).
    explicit CFrontPagePath(Clock now = nullptr);

    const std::u16string& GetShownFolder() const { return m_shown; }
    const std::u16string& GetDownloadFolder() const { return m_download; }

    // Whether a new set is due now, from the stored times and the [DEBUG]
    // DOWNLOAD switch.
    bool ShouldDownload();
    // The main window's 5-second timer: when a set is due, starts the
    // download thread (handed to `threads`) and stores "DLStart". True when
    // a run started.
    bool OnStartTimer(CThreadMgr& threads, std::shared_ptr<CUpdateCheck> update);

    // The page files to show: the downloaded ones when there are, else the
    // program's own.
    std::u16string GetStartPage() const;
    std::u16string GetFolderPage() const;

private:
    long Now() const;

    Clock m_now;
    std::u16string m_shown;
    std::u16string m_download;
};

// One download run into a set folder. Everything the run writes goes below
// that folder: names from the list that could lead out of it are refused.
class CFrontPageDL {
public:
    static constexpr char16_t kListFile[] = u"frontpagedl.xml";
    // Bounds on what a list may ask for, so that a broken or hostile list
    // cannot fill the disk or nest folders past what paths can hold. The
    // published sets are a few small pages.
    static constexpr int kMaxEntries = 10000;                // files and folders
    static constexpr long long kMaxTotalBytes = 104857600;   // listed sizes together
    static constexpr int kMaxDepth = 32;                     // folder levels

    // `folderName` is "a" or "b"; `baseUrl` the service's base URL. The
    // folders and the registry come from the settings, read here.
    CFrontPageDL(std::u16string folderName, std::u16string baseUrl);
    ~CFrontPageDL();
    CFrontPageDL(const CFrontPageDL&) = delete;
    CFrontPageDL& operator=(const CFrontPageDL&) = delete;

    // Fetches and checks the list, then the files; true only when no step
    // failed and the list was verified. A stop request ends it between
    // files and inside a transfer (false).
    bool Run(std::stop_token stop = {});
    const std::u16string& GetErrorText() const { return m_error; }
    bool HasError() const { return m_bError; }
    bool IsVerified() const { return m_bVerified; }
    // The list's build number; -1 when it had none (or none was read).
    int GetBuildNumber() const;
    // The set folder, ending in "/"; empty until Run has made it.
    const std::u16string& GetLocalFolder() const { return m_localFolder; }

    // The text the list's verify value is the MD5 of: every file's "name
    // size", sub-folders before a folder's own files, depth first, joined
    // by single spaces.
    static std::u16string BuildSignature(const CDLFolder* root);
    // One file or folder name made safe for a URL path: every byte of its
    // UTF-8 form but letters, digits and "-._~" as %XX.
    static std::u16string EncodeUrlPiece(const std::u16string& name);

private:
    void SetError(const std::u16string& text);
    bool Verify(const CDLHeader* header, CDLFolder* root);
    // Names, sizes, count and depth of the whole list, before anything is
    // fetched.
    bool CheckEntries(CDLFolder* root);
    bool CheckFolder(CDLFolder* folder, int depth, int* entries, long long* bytes);
    bool DownloadFolder(CDLFolder* folder, const std::u16string& remote,
                        const std::u16string& local);
    bool DownloadFile(CDLFile* file, const std::u16string& remote, const std::u16string& local);

    std::stop_token m_stop;
    std::u16string m_folderName;
    std::u16string m_baseUrl;
    std::u16string m_frontPageRoot;
    std::u16string m_userRoot;
    std::u16string m_localFolder;
    std::u16string m_listPath;
    std::u16string m_error;
    bool m_bError = false;
    bool m_bVerified = false;
    std::u16string m_signature;
    std::u16string m_buildNumber;
    bool m_bHasBuildNumber = false;
};

// The thread of one run: the download, the update check, then the stored
// times and, after a good run, the new shown folder. A stop request cuts
// the run short: no update check, and the next start downloads again.
class CFrontPageDLThread : public CMsgQueueThread {
public:
    // Made on the interface thread: the settings it needs are copied here;
    // the thread never reads the program's settings.
    CFrontPageDLThread(std::u16string folderName, std::shared_ptr<CUpdateCheck> update,
                       std::function<long()> now = nullptr);
    ~CFrontPageDLThread() override;

protected:
    void PrevWork() override;
    void DoWork() override;
    void PostWork() override;
    void OnMessage(CThreadMsg& msg) override;

private:
    long Now() const;
    // The run, the update check and the stored values.
    void RunAll();

    std::u16string m_folderName;
    std::shared_ptr<CUpdateCheck> m_update;
    CUpdateCheck::CSettingsCopy m_updateSettings;
    std::function<long()> m_now;
    std::unique_ptr<CFrontPageDL> m_download;
    std::u16string m_userRoot;
};
