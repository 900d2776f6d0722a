#include "app/main/CPasteImages.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "app/background/CHttpDownload.h"
#include "app/capture/CAssetName.h"
#include "app/capture/CCaptureUrl.h"
#include "app/capture/CHtmlRefs.h"
#include "app/core/CFileSys.h"
#include "base/tools/CUnicodeTool.h"

namespace {

// Enough tries to step over names taken by the user in the meantime.
constexpr int kNameTries = 100;

CAssetNameSet NamesIn(const std::u16string& folder)
{
    CAssetNameSet names;
    std::vector<CFileSys::Entry> entries;
    if (CFileSys::ListDir(folder, &entries)) {
        for (const CFileSys::Entry& entry : entries)
            names.Add(CUnicodeTool::ToUtf8(entry.name));
    }
    return names;
}

// The last reply's Content-Type, or "".
std::string ContentType(const std::string& headers)
{
    static constexpr std::string_view kName = "content-type:";
    for (size_t start = 0; start < headers.size();) {
        size_t end = headers.find('\n', start);
        if (end == std::string::npos)
            end = headers.size();
        std::string_view line(headers.data() + start, end - start);
        if (line.size() > kName.size() &&
            std::equal(kName.begin(), kName.end(), line.begin(),
                       [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? char(b | 0x20) : b); })) {
            std::string_view value = line.substr(kName.size());
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
                value.remove_suffix(1);
            return std::string(value);
        }
        start = end + 1;
    }
    return {};
}

// Gives the whole file at `from` the name `to` unless `to` exists: 0, or
// the error number (EEXIST when taken).
int PlaceFile(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot refuse to replace: look first.
    if (access(to.c_str(), F_OK) == 0)
        return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// On disk before the page can point at it.
bool Flush(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool flushed = fdatasync(fd) == 0;
    return close(fd) == 0 && flushed;
}

bool WriteAll(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return fdatasync(fd) == 0;
}

}  // namespace

CPasteImages::CPlan CPasteImages::Plan(std::string_view fragment, std::string_view sourceUrl)
{
    CPlan plan;
    const std::vector<CPageRef> refs = CHtmlRefs::Find(fragment);
    const std::string base = CCaptureUrl::DocumentBase(sourceUrl, refs);
    std::vector<CRefReplacement> absolute;
    for (const CPageRef& ref : refs) {
        if (ref.kind != CPageRef::Kind::Image && ref.kind != CPageRef::Kind::SrcSet)
            continue;
        std::string url = ref.url;
        if (CCaptureUrl::Scheme(url).empty()) {
            url = base.empty() ? std::string() : CCaptureUrl::Resolve(base, ref.url);
            if (!CCaptureUrl::MayFetch(url))
                continue;
            absolute.push_back({ref, url});
        }
        if (CCaptureUrl::MayFetch(url) && std::find(plan.urls.begin(), plan.urls.end(), url) == plan.urls.end())
            plan.urls.push_back(url);
    }
    if (absolute.empty() || !CRefRewrite::Apply(fragment, std::move(absolute), &plan.fragment))
        plan.fragment = fragment;
    return plan;
}

std::optional<std::u16string> CPasteImages::WriteNewFile(const std::u16string& assetsFolder, std::string_view name,
                                                         const std::string& bytes)
{
    const std::u16string folder = CFileSys::WithoutSlash(assetsFolder);
    if (folder.empty() || (!CFileSys::IsDirectory(folder) && !CFileSys::MakeDir(folder)))
        return std::nullopt;
    CAssetNameSet names = NamesIn(folder);
    const std::string wanted = CAssetName::Cut(name, CAssetName::kMaxBytes);
    for (int tries = 0; tries < kNameTries; ++tries) {
        const std::string claimed = names.Claim(wanted);
        const std::string path = CFileSys::Native(folder) + "/" + claimed;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        bool written = WriteAll(fd, bytes);
        if (close(fd) != 0)
            written = false;
        if (written)
            return CUnicodeTool::FromUtf8(claimed);
        unlink(path.c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

CPasteImages::CPasteImages(std::function<void()> ready, int64_t maxBytes)
    : m_ready(std::move(ready)), m_maxBytes(maxBytes)
{
}

CPasteImages::~CPasteImages()
{
    Cancel();
}

void CPasteImages::Fetch(const std::u16string& assetsFolder, const std::vector<std::string>& urls)
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (const std::string& url : urls)
        m_jobs.push_back({assetsFolder, url});
    while (!m_jobs.empty() && m_threads.size() < static_cast<size_t>(kWorkers))
        m_threads.emplace_back([this](std::stop_token stop) { Run(stop); });
    m_wake.notify_all();
}

std::vector<CPasteImages::CResult> CPasteImages::TakeResults()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<CResult> results;
    results.swap(m_results);
    return results;
}

void CPasteImages::Cancel()
{
    std::vector<std::jthread> workers;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_jobs.clear();
        workers.swap(m_threads);
    }
    for (std::jthread& worker : workers)
        worker.request_stop();
    workers.clear();  // joins them
    std::lock_guard<std::mutex> lock(m_lock);
    for (const CResult& result : m_results) {
        if (!result.name.empty())
            CFileSys::RemoveFile(CFileSys::WithSlash(result.assetsFolder) + result.name);
    }
    m_results.clear();
}

bool CPasteImages::IsIdle()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_busy == 0 && m_jobs.empty();
}

void CPasteImages::Run(std::stop_token stop)
{
    for (;;) {
        CJob job;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            if (!m_wake.wait(lock, stop, [this] { return !m_jobs.empty(); }))
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            ++m_busy;
        }
        CResult result = Download(job, stop);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            --m_busy;
            if (stop.stop_requested()) {
                // Cancel no longer looks at results: the file goes here.
                if (!result.name.empty())
                    CFileSys::RemoveFile(CFileSys::WithSlash(result.assetsFolder) + result.name);
                return;
            }
            m_results.push_back(std::move(result));
        }
        m_ready();
    }
}

CPasteImages::CResult CPasteImages::Download(const CJob& job, std::stop_token stop)
{
    CResult result{job.assetsFolder, job.url, {}};
    const std::u16string folder = CFileSys::WithSlash(job.assetsFolder);
    // Nothing is made here: a folder that went with its page stays gone.
    if (!CFileSys::IsDirectory(CFileSys::WithoutSlash(folder)))
        return result;
    // Native() drops the folder's last slash.
    const std::string native = CFileSys::Native(folder) + "/";
    std::string part = native + kPartPrefix + "XXXXXX";
    int fd = mkostemp(part.data(), O_CLOEXEC);
    if (fd < 0)
        return result;
    close(fd);
    std::string type;
    bool whole = false;
    {
        CHttpDownload download(stop);
        download.SetMaxBody(m_maxBytes);
        // A body over the cap is cut, with the error text set: not whole.
        whole = download.Open(CUnicodeTool::FromUtf8(job.url).c_str()) &&
                download.ReadToFile(CFileSys::FromNative(part).c_str()) >= 0 && !download.GetErrorText()[0];
        type = ContentType(download.GetRawHeaders());
    }
    if (whole && !stop.stop_requested() && Flush(part)) {
        CAssetNameSet names = NamesIn(folder);
        const std::string wanted = CAssetName::WithExtension(CAssetName::FromUrl(job.url), type);
        for (int tries = 0; tries < kNameTries; ++tries) {
            const std::string name = names.Claim(wanted);
            int error = PlaceFile(part, native + name);
            if (error == 0) {
                result.name = CUnicodeTool::FromUtf8(name);
                return result;
            }
            if (error != EEXIST)
                break;
        }
    }
    unlink(part.c_str());
    return result;
}
