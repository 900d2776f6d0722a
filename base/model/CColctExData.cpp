#include "base/model/CColctExData.h"

#include <ctime>
#include <new>

CColctExData::CColctExData() : m_tLastVisit(static_cast<long>(std::time(nullptr))) {}

CColctExData* CColctExData::New()
{
    return new (std::nothrow) CColctExData();
}

void CColctExData::Delete(CColctExData* data)
{
    delete data;
}

RColctExData* RColctExData::New(CColctExData* data)
{
    return new (std::nothrow) RColctExData(data);
}

void RColctExData::Delete(RColctExData* record)
{
    delete record;
}
