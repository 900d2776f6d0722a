#include "base/xml/CWriteFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/tools/CUnicodeTool.h"

namespace {

constexpr std::string_view kTempTail = ".tmp";

bool IsDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Where a lock cannot be taken at all, the process id in the name tells
// whether its save may still be running.
bool OwnerMayRun(std::string_view name)
{
    name.remove_suffix(kTempTail.size());
    name = name.substr(0, name.rfind('.'));
    std::string_view pid = name.substr(name.rfind('.') + 1);
    long owner = std::strtol(std::string(pid).c_str(), nullptr, 10);
    return owner <= 0 || ::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH;
}

// Flushes the folder entry of a renamed file. Some file systems refuse to
// flush folders; the rename has happened by then and stays.
void SyncFolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool WriteAllBytes(int fd, const void* bytes, size_t length)
{
    const char* p = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t n = ::write(fd, p, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

CWriteFile::~CWriteFile()
{
    CloseFile();
}

bool CWriteFile::OpenFile(const char16_t* path)
{
    CloseFile();
    if (!path || !*path)
        return false;
    m_fd = ::open(CUnicodeTool::ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

bool CWriteFile::WriteData(const char16_t* text)
{
    if (m_fd < 0 || !text || !*text)
        return false;
    std::string utf8 = CUnicodeTool::ToUtf8(text);
    return WriteAllBytes(m_fd, utf8.data(), utf8.size());
}

bool CWriteFile::WriteStreamData(const void* bytes, long length)
{
    if (m_fd < 0 || length < 0 || length > kMaxStreamWrite || (length > 0 && !bytes))
        return false;
    return WriteAllBytes(m_fd, bytes, static_cast<size_t>(length));
}

void CWriteFile::CloseFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

CAtomicWriteFile::~CAtomicWriteFile()
{
    Abort();
}

bool CAtomicWriteFile::Open(const char16_t* path)
{
    Abort();
    if (!path || !*path)
        return false;
    m_target = CUnicodeTool::ToUtf8(path);
    size_t slash = m_target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    if (name.empty())
        return false;
    // Hidden, so a folder listing never shows a half-written file. Created
    // with 0666 so the umask applies as it would to the file itself.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%d.%u.tmp", static_cast<int>(::getpid()),
                      counter.fetch_add(1) ^ static_cast<unsigned>(std::rand()));
        m_temp = folder + "." + name + suffix;
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0 && HoldTemp()) {
            m_bFailed = false;
            return true;
        }
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
            continue;
        }
        if (errno != EEXIST)
            break;
    }
    m_temp.clear();
    return false;
}

bool CAtomicWriteFile::HoldTemp()
{
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return errno != EWOULDBLOCK;  // held by a sweep; unlocked where there are no locks
    // A sweep that opened the file before the lock removes it; the name
    // then no longer leads here.
    struct stat mine, named;
    return ::fstat(m_fd, &mine) == 0 && ::lstat(m_temp.c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
           mine.st_ino == named.st_ino;
}

bool CAtomicWriteFile::Write(const void* bytes, size_t length)
{
    if (m_fd < 0 || m_bFailed)
        return false;
    if (!WriteAllBytes(m_fd, bytes, length))
        m_bFailed = true;
    return !m_bFailed;
}

bool CAtomicWriteFile::Write(iovec* parts, size_t count)
{
    if (m_fd < 0 || m_bFailed)
        return false;
    while (count > 0) {
        ssize_t put = ::writev(m_fd, parts, static_cast<int>(std::min<size_t>(count, IOV_MAX)));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            m_bFailed = true;
            return false;
        }
        for (size_t done = static_cast<size_t>(put); count > 0 && (done > 0 || parts->iov_len == 0);) {
            size_t step = std::min(done, parts->iov_len);
            parts->iov_base = static_cast<char*>(parts->iov_base) + step;
            parts->iov_len -= step;
            done -= step;
            if (parts->iov_len == 0) {
                ++parts;
                --count;
            }
        }
    }
    return true;
}

bool CAtomicWriteFile::Commit(const char* drop)
{
    if (m_fd < 0)
        return false;
    // A replaced file keeps its permissions.
    struct stat old;
    bool ok = !m_bFailed;
    if (ok && ::stat(m_target.c_str(), &old) == 0)
        ok = ::fchmod(m_fd, old.st_mode & 07777) == 0;
    ok = ok && ::fsync(m_fd) == 0;
    // Renamed while still open, so the lock keeps a folder sweep away from
    // the temporary name until it is gone.
    ok = ok && ::rename(m_temp.c_str(), m_target.c_str()) == 0;
    int error = errno;
    ::close(m_fd);
    m_fd = -1;
    if (ok) {
        m_temp.clear();
        // Safe before the flush: the dropped name leads to the old file,
        // which the target names until the rename is on disk.
        if (drop)
            ::unlink(drop);
        SyncFolderOf(m_target);
        return true;
    }
    ::unlink(m_temp.c_str());
    m_temp.clear();
    errno = error;  // the caller reports why the save failed
    return false;
}

void CAtomicWriteFile::Abort()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_temp.clear();
}

bool CAtomicWriteFile::IsTempName(std::string_view entry, std::string_view target)
{
    // "." + name + ".<pid>.<n>.tmp"
    if (entry.size() <= 1 + target.size() + kTempTail.size() || entry[0] != '.' ||
        !entry.ends_with(kTempTail) || entry.substr(1, target.size()) != target)
        return false;
    std::string_view rest = entry.substr(0, entry.size() - kTempTail.size());
    size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || !IsDigits(rest.substr(dot + 1)))
        return false;
    rest = rest.substr(0, dot);
    dot = rest.rfind('.');
    if (dot == std::string_view::npos || !IsDigits(rest.substr(dot + 1)))
        return false;
    // What is left is "." + the name, and the name is the target when one is given.
    return target.empty() ? dot > 1 : dot == 1 + target.size();
}

bool CAtomicWriteFile::RemoveIfStale(const char* path)
{
    std::string_view name(path);
    if (size_t slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    if (!IsTempName(name))
        return false;
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return true;
    // A writer holds its lock from the creation of the file to its rename,
    // and a lock dies with its process.
    bool held = false;
    if (fd < 0)
        held = OwnerMayRun(name);
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        held = errno == EWOULDBLOCK || OwnerMayRun(name);
    bool removed = !held && (::unlink(path) == 0 || errno == ENOENT);
    if (fd >= 0)
        ::close(fd);
    return removed;
}
