#include "app/core/CPageConverter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <utility>

#include "app/core/CProgressTask.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

constexpr size_t kHeadChars = 300;   // where the charset is looked for
constexpr size_t kMinHeadBytes = 103;
constexpr char16_t kUnicodeCharset[] = u"charset=unicode";
constexpr char16_t kUtf8Charset[] = u"  charset=utf-8";  // the same length
constexpr char kUtf8Marker[] = "\xEF\xBB\xBF";
constexpr int kBackupNameTries = 100;

// What the job reads and fills; the job's thread keeps it while it runs.
struct CConvertJob {
    std::vector<std::u16string> files;
    std::mutex lock;
    std::u16string failures;

    void AddFailure(int error, const std::u16string& path)
    {
        std::lock_guard<std::mutex> hold(lock);
        failures += CFileSys::ErrorCode(error) + u" " + path + u"\r\n";
    }
    std::u16string GetFailures()
    {
        std::lock_guard<std::mutex> hold(lock);
        return failures;
    }
};

bool RunJob(CProgressRun& run)
{
    CConvertJob* job = run.GetArg<CConvertJob>();
    const int total = static_cast<int>(job->files.size());
    for (int done = 0; done < total;) {
        // Between files only: a page is converted whole or not at all.
        if (run.IsCancelled())
            break;
        const std::u16string& path = job->files[static_cast<size_t>(done)];
        int error = 0;
        if (CPageConverter::ConvertFile(path, static_cast<long>(std::time(nullptr)), &error) ==
            CPageConverter::CONVERT_FAILED)
            job->AddFailure(error, path);
        ++done;
        int percent = done * 100 / total;
        char text[96];
        std::snprintf(text, sizeof text, "%d%%  converted   %d in %d files.", percent, done, total);
        run.SetPos(percent);
        run.SetStatusText(CUnicodeTool::FromUtf8(text));
    }
    return true;
}

void CollectItems(CFolderTreeMgr& tree, RNode* folder, RNode* parent, std::vector<std::u16string>* files)
{
    for (RNode* r = parent ? parent->GetChild() : nullptr; r; r = r->GetNext()) {
        if (r->GetType() == NT_FOLDER) {  // a group inside the collection
            CollectItems(tree, folder, r, files);
            continue;
        }
        auto* item = r->GetType() == NT_URL ? static_cast<CUrlNode*>(r->GetData()) : nullptr;
        if (!item || item->GetItemType() != ITEM_NOTE || !item->HasUrl())
            continue;
        std::u16string path = tree.GetPageFilePath(folder, item);
        if (!path.empty())
            files->push_back(std::move(path));
    }
}

// The user's extended attributes (the page's keywords among them), which
// a file replaced by rename would lose.
using Attributes = std::vector<std::pair<std::string, std::string>>;

Attributes ReadAttributes(int fd)
{
    Attributes attributes;
    ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0)
        return attributes;
    std::string names(static_cast<size_t>(size), '\0');
    size = ::flistxattr(fd, names.data(), names.size());
    for (size_t at = 0; size > 0 && at < static_cast<size_t>(size);) {
        std::string name(names.c_str() + at);
        at += name.size() + 1;
        if (name.compare(0, 5, "user.") != 0)
            continue;
        ssize_t length = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (length < 0)
            continue;
        std::string value(static_cast<size_t>(length), '\0');
        length = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (length >= 0) {
            value.resize(static_cast<size_t>(length));
            attributes.emplace_back(std::move(name), std::move(value));
        }
    }
    return attributes;
}

void WriteAttributes(const std::u16string& path, const Attributes& attributes)
{
    std::string native = CFileSys::Native(path);
    for (const auto& [name, value] : attributes)
        ::lsetxattr(native.c_str(), name.c_str(), value.data(), value.size(), 0);
}

// The whole page, read without following a link; an error number when it
// is not a regular file or does not read.
int ReadPage(const std::u16string& path, std::string* bytes, Attributes* attributes)
{
    int fd = OpenRegularFile(CFileSys::Native(path).c_str(), O_NOFOLLOW);
    if (fd < 0)
        return errno;
    int error = ReadOpenFile(fd, bytes) ? 0 : errno;
    if (!error)
        *attributes = ReadAttributes(fd);
    ::close(fd);
    return error;
}

// Little-endian UTF-16 from `from` on; a lone last byte shows as U+FFFD.
std::u16string DecodeUtf16(const std::string& bytes, size_t from)
{
    std::u16string text;
    text.reserve((bytes.size() - from) / 2 + 1);
    size_t at = from;
    for (; at + 1 < bytes.size(); at += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                             static_cast<unsigned char>(bytes[at + 1]) << 8));
    if (at < bytes.size())
        text.push_back(u'\xFFFD');
    return text;
}

bool IsTaken(const std::u16string& path)
{
    struct stat st;
    return ::lstat(CFileSys::Native(path).c_str(), &st) == 0;
}

}  // namespace

int CPageConverter::RunCommand(CProjectMgr& projects, CFolderTreeMgr& tree)
{
    if (!projects.GetCurrentProject()) {
        ShowMessage(u"No Project");
        return 0;
    }
    auto job = std::make_shared<CConvertJob>();
    job->files = CollectPageFiles(tree);
    int result;
    {
        CProgressTask task(u"Please Wait..", true);
        task.SetJob(&RunJob, job);
        result = UIPort().RunProgressDialog(task);
    }
    CProgressTask::ReportResult(result);
    // The task's end joined the job: after a cancel the list holds what
    // failed so far.
    std::u16string failures = job->GetFailures();
    if (!failures.empty())
        ShowMessage(u"These file can not be saved:\r\n" + failures);
    return result;
}

std::vector<std::u16string> CPageConverter::CollectPageFiles(CFolderTreeMgr& tree)
{
    std::vector<std::u16string> files;
    std::vector<RNode*> pending;
    if (tree.GetRoot())
        pending.push_back(tree.GetRoot());
    while (!pending.empty()) {
        RNode* folder = pending.back();
        pending.pop_back();
        if (CColctNode* colct = tree.LoadColct(folder, false))
            CollectItems(tree, folder, colct->GetLocRNodeRoot(), &files);
        // Children pushed last first, so folders come in tree order.
        std::vector<RNode*> children;
        for (RNode* child = folder->GetChild(); child; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER)
                children.push_back(child);
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return files;
}

std::u16string CPageConverter::GetBackupPath(const std::u16string& path, long seconds)
{
    size_t slash = path.rfind(u'/');
    size_t dot = path.rfind(u'.');
    size_t end = dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash) ? path.size() : dot;
    return path.substr(0, end) + u"~" + CUnicodeTool::FromUtf8(std::to_string(seconds)) + u".htm";
}

CPageConverter::tagCONVERT CPageConverter::ConvertFile(const std::u16string& path, long now, int* error)
{
    auto fail = [error](int code) {
        if (error)
            *error = code ? code : EIO;
        return CONVERT_FAILED;
    };
    std::string bytes;
    Attributes attributes;
    if (int code = ReadPage(path, &bytes, &attributes))
        return code == ENOENT ? CONVERT_SKIPPED : fail(code);
    // Fewer than 3 bytes carry no marker; only UTF-16 is converted.
    if (bytes.size() < 3 || bytes[0] != '\xFF' || bytes[1] != '\xFE')
        return CONVERT_SKIPPED;

    std::u16string text = DecodeUtf16(bytes, 2);
    if (bytes.size() >= kMinHeadBytes) {
        std::u16string head = CStringTool::ToLower(text.substr(0, kHeadChars).c_str());
        size_t at = head.find(kUnicodeCharset);
        if (at != std::u16string::npos)
            text.replace(at, std::char_traits<char16_t>::length(kUnicodeCharset), kUtf8Charset);
    }
    // With the marker the page view reads it as UTF-8 even where the head
    // names no charset.
    std::string utf8 = kUtf8Marker;
    CUnicodeTool::AppendUtf8(text, utf8);

    // The backup never replaces a file that is already there.
    std::u16string backup;
    for (int i = 0; i < kBackupNameTries && backup.empty(); ++i) {
        std::u16string candidate = GetBackupPath(path, now + i);
        if (!IsTaken(candidate))
            backup = candidate;
    }
    if (backup.empty())
        return fail(EEXIST);
    int code = 0;
    if (!CFileSys::WriteWholeFile(backup, bytes, &code))
        return fail(code);
    // The new bytes replace the page whole or not at all, so the backup is
    // not needed afterwards either way.
    bool written = CFileSys::WriteWholeFile(path, utf8, &code);
    if (written)
        WriteAttributes(path, attributes);
    CFileSys::RemoveFile(backup);
    return written ? CONVERT_DONE : fail(code);
}
