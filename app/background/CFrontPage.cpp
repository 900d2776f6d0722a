#include "app/background/CFrontPage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "app/background/CHttpDownload.h"
#include "app/background/CThreadMgr.h"
#include "app/background/CUpdateCheck.h"
#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CRegistry.h"
#include "app/core/CTraceLog.h"
#include "base/net/CDLFolder.h"
#include "base/net/CReadDLFolderXML.h"
#include "base/tools/CEncodingTool.h"
#include "base/tools/CMD5Digest.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

constexpr char16_t kFrontPagePath[] = u"FrontPagePath";
constexpr char16_t kDLStart[] = u"DLStart";
constexpr char16_t kDLLastTime[] = u"DLLastTime";
constexpr char16_t kDLTimeInterval[] = u"DLTimeInterval";
constexpr char16_t kFirstTime[] = u"FirstTime";

constexpr long kStaleRun = 21600;          // 6 hours
constexpr long kMinInterval = 43200;       // 12 hours
constexpr long kMaxInterval = 7776000;     // 90 days
constexpr long kDefaultInterval = 518400;  // 6 days
constexpr long kFirstWait = 2592000;       // 30 days

std::string U8(const std::u16string& text)
{
    return CUnicodeTool::ToUtf8(std::u16string_view(text));
}

std::string U8(const char16_t* text)
{
    return text ? CUnicodeTool::ToUtf8(text) : std::string();
}

std::u16string Decimal(long long value)
{
    std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

// Stored times are decimal seconds, read as atol reads them.
long ToNumber(const std::u16string& text)
{
    return CStringTool::ReadLong(text, LONG_MIN, LONG_MAX);
}

std::string FormatTime(long time)
{
    std::time_t t = time;
    std::tm local{};
    char text[64] = {};
    if (localtime_r(&t, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Creates the folder when it is not there yet.
bool EnsureFolder(const std::u16string& folder)
{
    std::u16string bare = CFileSys::WithoutSlash(folder);
    return CFileSys::IsDirectory(bare) || CFileSys::MakeDir(bare) || CFileSys::IsDirectory(bare);
}

// The file's MD5 as 32 upper-case hexadecimal digits; empty when it cannot
// be read.
std::u16string FileMD5(const std::u16string& path)
{
    int in = OpenRegularFile(CFileSys::Native(path).c_str());
    if (in < 0)
        return std::u16string();
    CMD5Digest md5;
    md5.Init();
    unsigned char piece[65536];
    bool failed = false;
    for (;;) {
        ssize_t n = ::read(in, piece, sizeof piece);
        if (n < 0 && errno == EINTR)
            continue;
        failed = n < 0;
        if (n <= 0)
            break;
        md5.Update(piece, static_cast<size_t>(n));
    }
    ::close(in);
    unsigned char digest[17] = {};
    md5.Final(digest);
    if (failed)
        return std::u16string();
    char16_t text[33] = {};
    CEncodingTool::FormatDigest(digest, text, false);
    return text;
}

// Sleeps for `time` or until a stop is asked for; false on a stop.
bool SleepUnlessStopped(std::chrono::milliseconds time, const std::stop_token& stop)
{
    std::mutex lock;
    std::condition_variable_any wake;
    std::unique_lock<std::mutex> hold(lock);
    return !wake.wait_for(hold, stop, time, [] { return false; });
}

void AppendSignature(CDLFolder* folder, std::u16string& out)
{
    folder->ResetFolderList();
    while (CDLFolder* sub = folder->GetNextFolder())
        AppendSignature(sub, out);
    folder->ResetFileList();
    while (CDLFile* file = folder->GetNextFile()) {
        if (!out.empty())
            out += u' ';
        if (file->GetName())
            out += file->GetName();
        out += u' ';
        out += Decimal(file->GetSize());
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// CFrontPagePath

CFrontPagePath::CFrontPagePath(Clock now) : m_now(std::move(now))
{
    CRegistry registry = CRegistry::ForSettings();
    if (!registry.GetValue(kFrontPagePath, &m_shown)) {
        m_shown.clear();
        registry.SetValue(kFrontPagePath, u"");
    }
    m_download = CStringTool::EqualNoCase(m_shown.c_str(), u"a") ? u"b" : u"a";
}

long CFrontPagePath::Now() const
{
    return m_now ? m_now() : static_cast<long>(std::time(nullptr));
}

bool CFrontPagePath::ShouldDownload()
{
    int force = CAppSettings::Get()->GetDownloadSwitch();
    if (force == 1)
        return true;
    if (force == -1)
        return false;

    CRegistry registry = CRegistry::ForSettings();
    const long now = Now();
    // A time from the future (a clock set back) would hold off every run
    // until it came round again.
    auto readTime = [&](const char16_t* name) -> long {
        std::u16string text;
        if (!registry.GetValue(name, &text))
            return 0;
        long value = ToNumber(text);
        if (value > now) {
            registry.SetValue(name, Decimal(now));
            return now;
        }
        return value;
    };

    long started = readTime(kDLStart);
    if (started != 0 && now - started > kStaleRun)
        return true;

    long last = readTime(kDLLastTime);
    if (last == now)
        return false;
    if (last != 0) {
        long interval = kDefaultInterval;
        std::u16string text;
        if (registry.GetValue(kDLTimeInterval, &text)) {
            interval = ToNumber(text);
            interval = interval < kMinInterval ? kMinInterval : interval > kMaxInterval ? kMaxInterval : interval;
        }
        CTraceLog::Write("Last DL time %s", FormatTime(last).c_str());
        CTraceLog::Write("DLTimeInterval(NextTime)  %d h %d s", static_cast<int>(interval / 3600),
                         static_cast<int>(interval % 3600));
        CTraceLog::Write("Next DL time %s", FormatTime(last + interval).c_str());
        return now - last > interval;
    }

    long first = readTime(kFirstTime);
    if (first != 0)
        return now - first > kFirstWait;
    registry.SetValue(kFirstTime, Decimal(now));
    return false;
}

bool CFrontPagePath::OnStartTimer(CThreadMgr& threads, std::shared_ptr<CUpdateCheck> update)
{
    if (!ShouldDownload())
        return false;
    auto* thread = new CFrontPageDLThread(m_download, std::move(update), m_now);
    if (!thread->CreateThread(CBaseThread::CREATE_SUSPENDED, 0)) {
        delete thread;
        return false;
    }
    threads.SetFrontPageThread(thread);
    // Marked before the thread runs, so its own clearing of the mark at the
    // end can never come first.
    CRegistry::ForSettings().SetValue(kDLStart, Decimal(Now()));
    thread->ResumeThread();
    return true;
}

std::u16string CFrontPagePath::GetStartPage() const
{
    CAppSettings* settings = CAppSettings::Get();
    if (!settings->NotUseFrontPage() && CFileSys::IsPlainName(m_shown)) {
        std::u16string folder = settings->GetDataFolders().GetFrontPageFolder() + m_shown + u'/';
        for (const char16_t* name : {u"zandrelstart.htm", u"index.htm"}) {
            if (CFileSys::IsFile(folder + name))
                return folder + name;
        }
    }
    return settings->GetDataFolders().GetStartPage();
}

std::u16string CFrontPagePath::GetFolderPage() const
{
    CAppSettings* settings = CAppSettings::Get();
    if (!settings->NotUseFolderPage() && CFileSys::IsPlainName(m_shown)) {
        std::u16string page =
            settings->GetDataFolders().GetFrontPageFolder() + m_shown + u"/folderblankpage.htm";
        if (CFileSys::IsFile(page))
            return page;
    }
    return settings->GetDataFolders().GetFolderBlankPage();
}

// ---------------------------------------------------------------------------
// CFrontPageDL

CFrontPageDL::CFrontPageDL(std::u16string folderName, std::u16string baseUrl)
    : m_folderName(std::move(folderName)), m_baseUrl(std::move(baseUrl))
{
    CDataFolders& folders = CAppSettings::Get()->GetDataFolders();
    m_frontPageRoot = folders.GetFrontPageFolder();
    m_userRoot = folders.GetUserDataRoot();
    m_listPath = folders.GetTempFolder() + kListFile;
}

CFrontPageDL::~CFrontPageDL() = default;

void CFrontPageDL::SetError(const std::u16string& text)
{
    m_error = text;
    m_bError = true;
}

int CFrontPageDL::GetBuildNumber() const
{
    if (!m_bHasBuildNumber)
        return -1;
    long build = ToNumber(m_buildNumber);
    return build > INT_MAX ? INT_MAX : build < INT_MIN ? INT_MIN : static_cast<int>(build);
}

std::u16string CFrontPageDL::BuildSignature(const CDLFolder* root)
{
    std::u16string signature;
    // The walk only moves the folders' cursors.
    if (root)
        AppendSignature(const_cast<CDLFolder*>(root), signature);
    return signature;
}

std::u16string CFrontPageDL::EncodeUrlPiece(const std::u16string& name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::u16string out;
    for (unsigned char c : U8(name)) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char16_t>(c);
        } else {
            out += u'%';
            out += static_cast<char16_t>(hex[c >> 4]);
            out += static_cast<char16_t>(hex[c & 15]);
        }
    }
    return out;
}

bool CFrontPageDL::Run(std::stop_token stop)
{
    m_stop = std::move(stop);
    m_error.clear();
    m_bError = m_bVerified = false;
    m_buildNumber.clear();
    m_bHasBuildNumber = false;

    // The set folder is always one of the two fixed names under FrontPage.
    if (!CFileSys::IsPlainName(m_folderName) || !EnsureFolder(m_frontPageRoot) ||
        !EnsureFolder(m_frontPageRoot + m_folderName)) {
        SetError(u"Error Cannot get frontpage folder");
        CTraceLog::Write("%s", U8(m_error).c_str());
        CTraceLog::Write("INFO: Download validation %s\n", "FALSE");
        return false;
    }
    m_localFolder = m_frontPageRoot + m_folderName + u'/';
    m_listPath = m_localFolder + kListFile;
    CTraceLog::Write("DLThread LocDLFolder=%s", U8(m_localFolder).c_str());

    {
        CHttpDownload http(m_stop);
        std::u16string url = m_baseUrl + kListFile;
        if (!http.Open(url.c_str()) || http.ReadToFile(m_listPath.c_str()) <= 0) {
            SetError(http.GetErrorText());
            CTraceLog::Write("ERR: Download XML file. %s\n", U8(m_error).c_str());
            CTraceLog::Write("INFO: Download validation %s\n", "FALSE");
            return false;
        }
    }

    CDLHeader* header = nullptr;
    CDLFolder* root = nullptr;
    auto fail = [&](const char16_t* text) {
        SetError(text);
        CTraceLog::Write("ERR: in files download. %s", U8(m_error).c_str());
    };
    do {
        if (m_localFolder.empty()) {
            fail(u"m_strLocDLFolder.GetLength()==0");
            break;
        }
        CReadDLFolderXML reader;
        if (reader.LoadFile(m_listPath.c_str())) {
            header = reader.DetachDLHeader();
            root = reader.DetachRootFolder();
        }
        if (!root || !header) {
            fail(u"There no node in XML");
            break;
        }
        m_bHasBuildNumber = header->GetBuildNum() != nullptr;
        m_buildNumber = header->GetBuildNum() ? header->GetBuildNum() : u"";
        CTraceLog::Write("DL TimeStamp=%s", U8(header->GetTimeStamp()).c_str());
        CTraceLog::Write("DL strStartPage=%s", U8(header->GetStartPage()).c_str());
        CTraceLog::Write("DL BuildNum=%s", U8(m_buildNumber).c_str());
        CTraceLog::Write("DL NextTime=%s", U8(header->GetNextTime()).c_str());
        if (!Verify(header, root)) {
            fail(u"Verify failed");
            break;
        }
        if (!CheckEntries(root)) {
            fail(u"DL list names a file or folder it may not");
            break;
        }
        std::u16string remote = m_baseUrl;
        if (root->GetName() && *root->GetName())
            remote += EncodeUrlPiece(root->GetName()) + u'/';
        if (!EnsureFolder(m_localFolder)) {
            fail(u"DL Cannot create loc folder");
            break;
        }
        if (!DownloadFolder(root, remote, m_localFolder)) {
            fail(u"DL file failed. End DL.");
            break;
        }
        long next = header->GetNextTime() ? ToNumber(header->GetNextTime()) : 0;
        if (next > 0)
            CRegistry(m_userRoot).SetValue(kDLTimeInterval, Decimal(next));
        CTraceLog::Write("INFO: Success downloaded all files %s", U8(m_localFolder).c_str());
    } while (false);
    CDLHeader::Delete(header);
    CDLFolder::Delete(root);

    bool result = !m_bError && m_bVerified;
    CTraceLog::Write("INFO: Download validation %s\n", result ? "TRUE" : "FALSE");
    return result;
}

bool CFrontPageDL::Verify(const CDLHeader* header, CDLFolder* root)
{
    const char16_t* verify = header->GetVerify();
    if (!verify || !*verify) {
        CTraceLog::Write("ERR: DL does not have verify.");
        return false;
    }
    m_signature = BuildSignature(root);
    if (m_signature.empty()) {
        CTraceLog::Write("ERR: No Files to be downloaded.");
        return false;
    }
    char16_t digest[33] = {};
    if (!CEncodingTool::GetWideCharMD5(m_signature.c_str(), digest)) {
        CTraceLog::Write("GetWideCharMD5 return false");
        return false;
    }
    if (!CStringTool::EqualNoCase(digest, verify)) {
        CTraceLog::Write("Verify failed. Loc=%s XML=%s", U8(digest).c_str(), U8(verify).c_str());
        return false;
    }
    CTraceLog::Write("INFO: Verify OK. Value=%s", U8(verify).c_str());
    m_bVerified = true;
    return true;
}

bool CFrontPageDL::CheckEntries(CDLFolder* root)
{
    // The root is a folder without a name; should it have one, that goes
    // into the URL and must be as plain as any other.
    if (root->GetName() && *root->GetName() && !CFileSys::IsPlainName(root->GetName())) {
        CTraceLog::Write("ERR: DL refused folder name \"%s\"", U8(root->GetName()).c_str());
        return false;
    }
    int entries = 0;
    long long bytes = 0;
    return CheckFolder(root, 0, &entries, &bytes);
}

bool CFrontPageDL::CheckFolder(CDLFolder* folder, int depth, int* entries, long long* bytes)
{
    if (depth > kMaxDepth) {
        CTraceLog::Write("ERR: DL folders nested deeper than %d", kMaxDepth);
        return false;
    }
    folder->ResetFolderList();
    while (CDLFolder* sub = folder->GetNextFolder()) {
        const char16_t* name = sub->GetName();
        if (!name || !CFileSys::IsPlainName(name)) {
            CTraceLog::Write("ERR: DL refused folder name \"%s\"", U8(name).c_str());
            return false;
        }
        if (++*entries > kMaxEntries) {
            CTraceLog::Write("ERR: DL list has more than %d entries", kMaxEntries);
            return false;
        }
        if (!CheckFolder(sub, depth + 1, entries, bytes))
            return false;
    }
    folder->ResetFileList();
    while (CDLFile* file = folder->GetNextFile()) {
        const char16_t* name = file->GetName();
        if (!name || !CFileSys::IsPlainName(name)) {
            CTraceLog::Write("ERR: DL refused file name \"%s\"", U8(name).c_str());
            return false;
        }
        if (++*entries > kMaxEntries) {
            CTraceLog::Write("ERR: DL list has more than %d entries", kMaxEntries);
            return false;
        }
        *bytes += file->GetSize();
        if (file->GetSize() < 0 || *bytes > kMaxTotalBytes) {
            CTraceLog::Write("ERR: DL refused size %d of %s", file->GetSize(), U8(name).c_str());
            return false;
        }
    }
    return true;
}

bool CFrontPageDL::DownloadFolder(CDLFolder* folder, const std::u16string& remote,
                                  const std::u16string& local)
{
    folder->ResetFolderList();
    while (CDLFolder* sub = folder->GetNextFolder()) {
        std::u16string name = sub->GetName();
        std::u16string subLocal = local + name;
        if (!EnsureFolder(subLocal))
            return false;
        if (!DownloadFolder(sub, remote + EncodeUrlPiece(name) + u'/', subLocal + u'/'))
            return false;
    }
    folder->ResetFileList();
    while (CDLFile* file = folder->GetNextFile()) {
        if (m_stop.stop_requested() || !DownloadFile(file, remote, local))
            return false;
    }
    return true;
}

bool CFrontPageDL::DownloadFile(CDLFile* file, const std::u16string& remote, const std::u16string& local)
{
    std::u16string name = file->GetName();
    std::string md5 = U8(file->GetMD5());
    CTraceLog::Write("\tFile=%s Size=%d Modified=%d MD5=%s", U8(name).c_str(), file->GetSize(),
                     file->GetModified(), md5.c_str());
    std::u16string remoteFile = remote + EncodeUrlPiece(name);
    std::u16string localFile = local + name;
    CTraceLog::Write("RemFile=%s", U8(remoteFile).c_str());
    CTraceLog::Write("LocFile=%s", U8(localFile).c_str());

    if (!md5.empty() && CFileSys::IsFile(localFile) && U8(FileMD5(localFile)) == md5) {
        CTraceLog::Write("File has already exist. No need Download %s  MD5=%s", U8(localFile).c_str(),
                         md5.c_str());
        return true;
    }

    CHttpDownload http(m_stop);
    if (!http.Open(remoteFile.c_str()) || http.ReadToFile(localFile.c_str()) < 0) {
        CTraceLog::Write("ERR: %s", U8(http.GetErrorText()).c_str());
        return false;
    }
    http.Close();

    std::string native = CFileSys::Native(localFile);
    int written = OpenRegularFile(native.c_str());
    struct stat st;
    if (written < 0 || ::fstat(written, &st) != 0) {
        if (written >= 0)
            ::close(written);
        CTraceLog::Write("Cannot find loc file %s", native.c_str());
        return false;
    }
    ::close(written);
    long size = static_cast<long>(st.st_size);
    int locSize = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    if (size != file->GetSize()) {
        CTraceLog::Write("FileSize diff XMLSize=%d LocSize=%d File=%s", file->GetSize(), locSize,
                         native.c_str());
        return false;
    }
    CTraceLog::Write("FileSize OK XMLSize=%d LocSize=%d File=%s", file->GetSize(), locSize,
                     native.c_str());
    return true;
}

// ---------------------------------------------------------------------------
// CFrontPageDLThread

CFrontPageDLThread::CFrontPageDLThread(std::u16string folderName, std::shared_ptr<CUpdateCheck> update,
                                       std::function<long()> now)
    : m_folderName(std::move(folderName)), m_update(std::move(update)), m_now(std::move(now))
{
    CAppSettings* settings = CAppSettings::Get();
    m_download = std::make_unique<CFrontPageDL>(m_folderName, settings->GetFrontPageBaseUrl());
    m_userRoot = settings->GetDataFolders().GetUserDataRoot();
    if (m_update)
        m_updateSettings = CUpdateCheck::CopySettings();
    CTraceLog::Write("FrontPageDLThread created");
}

CFrontPageDLThread::~CFrontPageDLThread()
{
    EndThread();
    CTraceLog::Write("FrontPageDLThread desdroyed");
}

long CFrontPageDLThread::Now() const
{
    return m_now ? m_now() : static_cast<long>(std::time(nullptr));
}

void CFrontPageDLThread::PrevWork()
{
    CTraceLog::Write("FrontPageDLThread InitInstance()");
}

void CFrontPageDLThread::DoWork()
{
    RunAll();
    SleepUnlessStopped(std::chrono::seconds(1), GetStopToken());
    PostQuit();
    CMsgQueueThread::DoWork();
}

void CFrontPageDLThread::PostWork()
{
    CTraceLog::Write("FrontPageDLThread ExitInstance()");
}

void CFrontPageDLThread::OnMessage(CThreadMsg&)
{
}

void CFrontPageDLThread::RunAll()
{
    const auto started = std::chrono::steady_clock::now();
    const std::stop_token stop = GetStopToken();
    bool result = false;
    try {
        result = m_download->Run(stop);
    } catch (...) {
        CTraceLog::Write("FrontPageDLThread Exception.");
        result = false;
    }
    const int build = m_download->GetBuildNumber();

    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    CTraceLog::Write("FrontPageDLThread takes %d seconds", static_cast<int>(seconds.count()));
    if (seconds.count() < 1)
        SleepUnlessStopped(std::chrono::seconds(1), stop);

    if (stop.stop_requested()) {
        // Cut short: the mark goes, so the next start tries again.
        CRegistry(m_userRoot).SetValue(kDLStart, u"");
        CTraceLog::Write("FrontPage download stopped");
        return;
    }
    try {
        if (m_update)
            m_update->Run(build, m_updateSettings, stop);
    } catch (...) {
        CTraceLog::Write("FrontPageDLThread Exception.");
    }

    // Whatever happened, the run is over: the next one waits a full
    // interval, and only a complete, verified set becomes the shown one.
    try {
        CRegistry registry(m_userRoot);
        registry.SetValue(kDLLastTime, Decimal(Now()));
        registry.SetValue(kDLStart, u"");
        CTraceLog::Write("FrontPage download completed");
        if (result)
            registry.SetValue(kFrontPagePath, m_folderName);
    } catch (...) {
        CTraceLog::Write("FrontPageDLThread Exception.");
    }
}
