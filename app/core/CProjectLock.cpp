#include "app/core/CProjectLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "app/core/CFileSys.h"
#include "app/core/CUIPort.h"

namespace {

CProjectLock* g_lock = nullptr;

}  // namespace

CProjectLock* CProjectLock::Get()
{
    if (!g_lock)
        g_lock = new CProjectLock();
    return g_lock;
}

void CProjectLock::Release()
{
    delete g_lock;
    g_lock = nullptr;
}

std::u16string CProjectLock::GetLockFilePath(const std::u16string& projectFile)
{
    return projectFile + u".lck";
}

bool CProjectLock::Take(const std::u16string& projectFile)
{
    m_pending = GetLockFilePath(projectFile);
    m_bPendingMade = CreateExclusive(m_pending);
    return m_bPendingMade;
}

void CProjectLock::Commit()
{
    // An adopted lock file may have gone meanwhile (its owner closed the
    // project); an open project must always leave its lock behind it.
    if (!m_pending.empty() && !CFileSys::Exists(m_pending))
        CreateExclusive(m_pending);
    m_current = m_pending;
    m_pending.clear();
    m_bPendingMade = false;
}

void CProjectLock::DropPending()
{
    m_pending.clear();
    m_bPendingMade = false;
}

void CProjectLock::ReleasePending()
{
    if (m_bPendingMade)
        DeleteLockFile(m_pending);
    DropPending();
}

void CProjectLock::ReleaseCurrent()
{
    if (!m_current.empty())
        DeleteLockFile(m_current);
    m_current.clear();
}

bool CProjectLock::CreateExclusive(const std::u16string& path)
{
    int fd;
    do
        fd = ::open(CFileSys::Native(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void CProjectLock::DeleteLockFile(const std::u16string& path)
{
    if (!CFileSys::Exists(path))
        return;
    int error = 0;
    if (!CFileSys::RemoveFile(path, &error))
        ShowMessage(u"Cannot delete file. Code=" + CFileSys::ErrorCode(error) + u"\r\n" + path);
}
