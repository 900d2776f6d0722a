#include "base/threads/CQVSynch.h"

CQVSynch::CQVSynch() = default;

CQVSynch::~CQVSynch() = default;

void CQVSynch::Lock()
{
    m_mutex.lock();
}

void CQVSynch::UnLock()
{
    m_mutex.unlock();
}

bool CQVSynch::TryLock()
{
    return m_mutex.try_lock();
}
