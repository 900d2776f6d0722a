#include "app/shell/CPaneMgr.h"

#include <utility>

CPaneMgr::CPaneMgr(bool horizontal, Mover mover) : m_bHorizontal(horizontal), m_mover(std::move(mover)) {}

void CPaneMgr::Place(int x, int y, int width, int height)
{
    m_nX = x;
    m_nY = y;
    m_nWidth = width < 0 ? 0 : width;
    m_nHeight = height < 0 ? 0 : height;
    Fit(GetLength());
    RePositionWnd();
}

void CPaneMgr::Fit(int length)
{
    int current = 0;
    GetWinItemData(GetHeadItem(), nullptr, nullptr, &current);
    int change = length - current;
    if (change > 0)
        ArrangeWinAsDesired(change, true);
    else if (change < 0)
        // From the tail, so the panes at the head (the tree) keep their
        // size longest when the window gets small.
        ArrangeWinAsMinPlus(-change, false);
}

void CPaneMgr::RePositionWnd()
{
    int at = m_bHorizontal ? m_nX : m_nY;
    for (RWinItem* node = GetHeadItem(); node; node = node->GetNext()) {
        CWinData* item = node->GetData();
        int size = item->GetCurSize();
        int x = m_bHorizontal ? at : m_nX;
        int y = m_bHorizontal ? m_nY : at;
        int w = m_bHorizontal ? size : m_nWidth;
        int h = m_bHorizontal ? m_nHeight : size;
        if (m_mover)
            m_mover(item, x, y, w, h);
        if (auto* inner = dynamic_cast<CPaneMgr*>(item->GetBaseWinMgr()))
            inner->Place(x, y, w, h);
        at += size;
    }
}

int CPaneMgr::GetOffset(const CWinData* item) const
{
    int at = 0;
    for (RWinItem* node = GetHeadItem(); node; node = node->GetNext()) {
        if (node->GetData() == item)
            return at;
        at += node->GetData()->GetCurSize();
    }
    return -1;
}
