#include "base/xml/CReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CDataBuffer.h"

namespace {

long ReadSome(int fd, void* bytes, long size)
{
    char* p = static_cast<char*>(bytes);
    long done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, p + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

}  // namespace

int OpenRegularFile(const char* path, int flags)
{
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags);
    if (fd < 0)
        return -1;
    struct stat st;
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (error) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool ReadRegularFile(const char* path, std::string* bytes, size_t limit)
{
    bytes->clear();
    int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    bool read = ReadOpenFile(fd, bytes, limit);
    int error = errno;
    ::close(fd);
    errno = error;
    return read;
}

bool ReadOpenFile(int fd, std::string* bytes, size_t limit)
{
    bytes->clear();
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && static_cast<size_t>(st.st_size) < limit)
        bytes->reserve(static_cast<size_t>(st.st_size));
    char piece[65536];
    int error = 0;
    for (;;) {
        ssize_t got = ::read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        if (static_cast<size_t>(got) >= limit - bytes->size()) {
            error = EFBIG;
            break;
        }
        bytes->append(piece, static_cast<size_t>(got));
    }
    if (error) {
        bytes->clear();
        errno = error;
        return false;
    }
    return true;
}

CReadFile::~CReadFile()
{
    CloseFile();
}

bool CReadFile::OpenFile(const char16_t* path)
{
    CloseFile();
    if (!path || !*path)
        return false;
    m_fd = OpenRegularFile(CUnicodeTool::ToUtf8(path).c_str());
    if (m_fd < 0)
        return false;
    m_path = path;
    m_bom = BOM_NONE;
    return true;
}

tagFILE_BOM_ENCODE CReadFile::CheckBOMEncode()
{
    m_bom = BOM_NONE;
    if (m_fd < 0)
        return m_bom;
    unsigned char b[4] = {};
    ::lseek(m_fd, 0, SEEK_SET);
    long n = ReadSome(m_fd, b, 4);
    off_t skip = 0;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        bool utf32 = n >= 4 && b[2] == 0 && b[3] == 0;
        m_bom = utf32 ? BOM_UTF32_LE : BOM_UTF16_LE;
        skip = utf32 ? 4 : 2;
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        m_bom = BOM_UTF16_BE;
        skip = 2;
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        m_bom = BOM_UTF8;
        skip = 3;
    } else if (n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) {
        m_bom = BOM_UTF32_BE;
        skip = 4;
    }
    ::lseek(m_fd, skip, SEEK_SET);
    return m_bom;
}

long CReadFile::ReadToBuffer(void* bytes, long size)
{
    if (m_fd < 0 || !bytes || size <= 0)
        return 0;
    return ReadSome(m_fd, bytes, size);
}

long CReadFile::ReadToBuffer(char16_t* text, long chars)
{
    if (m_fd < 0 || !text || chars <= 0)
        return 0;
    if (m_bCheckBOM)
        CheckBOMEncode();
    return ReadSome(m_fd, text, chars * 2) / 2;
}

bool CReadFile::ReadToBuffer(char** bytes, long* length)
{
    if (!bytes || !length)
        return false;
    *bytes = nullptr;
    *length = 0;
    long size = GetFileSize();
    if (size <= 0)
        return false;
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (!buffer)
        return false;
    ::lseek(m_fd, 0, SEEK_SET);
    long n = ReadSome(m_fd, buffer, size);
    if (n <= 0) {
        std::free(buffer);
        return false;
    }
    buffer[n] = '\0';
    *bytes = buffer;
    *length = n;
    return true;
}

long CReadFile::ReadAllToBuffer(char16_t** text)
{
    if (!text)
        return 0;
    *text = nullptr;
    if (m_fd < 0)
        return 0;
    if (m_bCheckBOM)
        CheckBOMEncode();
    CDataBuffer buffer;
    char piece[1024];
    long total = 0;
    for (long n; (n = ReadSome(m_fd, piece, sizeof piece)) > 0; total += n) {
        if (!buffer.AddData(piece, static_cast<int>(n)))
            return 0;
    }
    if (total == 0)
        return 0;
    std::u16string wide = CUnicodeTool::FromUtf8(buffer.Join());
    *text = CSysString::AllocLen(wide.c_str(), static_cast<uint32_t>(wide.size() + 1));
    return *text ? total : 0;
}

long CReadFile::GetFileSize() const
{
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return -1;
    return static_cast<long>(st.st_size);
}

void CReadFile::CloseFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
