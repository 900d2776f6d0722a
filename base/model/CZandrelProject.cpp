#include "base/model/CZandrelProject.h"

#include <new>

CZandrelProject* CZandrelProject::New()
{
    return new (std::nothrow) CZandrelProject();
}

void CZandrelProject::Delete(CZandrelProject* project)
{
    delete project;
}

void CZandrelProject::SetVersion(int major, int minor, int build)
{
    m_nMajor = major;
    m_nMinor = minor;
    m_nBuild = build;
}

bool CZandrelProject::GetVersion(int* major, int* minor, int* build) const
{
    *major = m_nMajor;
    *minor = m_nMinor;
    *build = m_nBuild;
    return m_nMajor != 0;
}
