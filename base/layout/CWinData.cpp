#include "base/layout/CWinData.h"

CWinData::CWinData(tagSIZECONTYPE conType, tagSIZECONTYPE conTypeH)
    : m_size{100, 500, 150, 150, conType},
      m_size2{100, 500, 150, 150, conType},
      m_sizeH{50, 500, 150, 150, conTypeH}
{
}

void CWinData::SetBounds(SIZEDATA& size, int max, int min)
{
    switch (size.nConType) {
    case SCT_BOUNDED:
        size.nMax = max;
        size.nMin = min;
        break;
    case SCT_STRETCH:
        size.nMin = min;  // a stretch item has no maximum to keep
        break;
    default:
        break;
    }
}

void CWinData::GetMaxMinSize(int* max, int* min) const
{
    if (max)
        *max = m_size.nMax;
    if (min)
        *min = m_size.nMin;
}

void CWinData::SetMaxMinSize(int max, int min)
{
    SetBounds(m_size, max, min);
}

void CWinData::GetMaxMinH(int* max, int* min) const
{
    if (max)
        *max = m_sizeH.nMax;
    if (min)
        *min = m_sizeH.nMin;
}

void CWinData::SetMaxMinH(int max, int min)
{
    SetBounds(m_sizeH, max, min);
}

void CWinData::SetDirection(bool direction)
{
    if (direction == m_bDirection)
        return;
    if (direction)
        m_size2 = m_size;
    else
        m_size = m_sizeH;
    m_bDirection = direction;
}
