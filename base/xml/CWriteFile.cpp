#include "base/xml/CWriteFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/tools/CUnicodeTool.h"

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
        if (m_fd >= 0) {
            m_bFailed = false;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    m_temp.clear();
    return false;
}

bool CAtomicWriteFile::Write(const void* bytes, size_t length)
{
    if (m_fd < 0 || m_bFailed)
        return false;
    if (!WriteAllBytes(m_fd, bytes, length))
        m_bFailed = true;
    return !m_bFailed;
}

bool CAtomicWriteFile::Commit()
{
    if (m_fd < 0)
        return false;
    // A replaced file keeps its permissions.
    struct stat old;
    bool ok = !m_bFailed;
    if (ok && ::stat(m_target.c_str(), &old) == 0)
        ok = ::fchmod(m_fd, old.st_mode & 07777) == 0;
    ok = ok && ::fsync(m_fd) == 0;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    if (ok && ::rename(m_temp.c_str(), m_target.c_str()) == 0) {
        m_temp.clear();
        return true;
    }
    ::unlink(m_temp.c_str());
    m_temp.clear();
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
