#include "app/core/CFileStamp.h"

#include <sys/stat.h>

#include <algorithm>

#include "app/core/CFileSys.h"
#include "base/tools/CMD5Digest.h"
#include "base/xml/CReadFile.h"

bool CFileStamp::ReadStat(const std::u16string& path)
{
    struct stat info {};
    if (::stat(CFileSys::Native(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_size = -1;
        return false;
    }
    m_size = static_cast<int64_t>(info.st_size);
    m_timeNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    m_inode = static_cast<uint64_t>(info.st_ino);
    return true;
}

void CFileStamp::Digest(const std::string& bytes)
{
    unsigned char digest[17] = {};
    CMD5Digest::MD5String(digest, bytes.data(), static_cast<long>(bytes.size()));
    std::copy(digest, digest + 16, m_digest.begin());
}

CFileStamp CFileStamp::Take(const std::u16string& path, std::string* bytes)
{
    CFileStamp stamp;
    std::string read;
    std::string& content = bytes ? *bytes : read;
    content.clear();
    // The time before the bytes: a write in between then shows as a change.
    if (!stamp.ReadStat(path) || !ReadRegularFile(CFileSys::Native(path).c_str(), &content)) {
        stamp.m_size = -1;
        return stamp;
    }
    stamp.m_size = static_cast<int64_t>(content.size());
    stamp.Digest(content);
    return stamp;
}

CFileStamp CFileStamp::OfWritten(const std::u16string& path, const std::string& bytes)
{
    CFileStamp stamp;
    if (stamp.ReadStat(path))
        stamp.Digest(bytes);
    return stamp;
}

CFileStamp::tagSTATE CFileStamp::Compare(const std::u16string& path, std::string* bytes, CFileStamp* now) const
{
    if (now)
        *now = *this;
    if (!IsKnown())
        return SAME;
    CFileStamp seen;
    if (!seen.ReadStat(path))
        return GONE;
    if (seen.m_size == m_size && seen.m_timeNs == m_timeNs && seen.m_inode == m_inode)
        return SAME;
    seen = Take(path, bytes);
    if (!seen.IsKnown())
        return GONE;
    if (now)
        *now = seen;
    return seen.m_size == m_size && seen.m_digest == m_digest ? SAME : CHANGED;
}
