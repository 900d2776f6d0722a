#pragma once

// One row or column of the main window's panes. The base class shares the
// length out; this one turns the sizes into rectangles, handing each item
// and its place to a mover, and lays out an item's own inner manager in
// the item's rectangle.

#include <functional>

#include "base/layout/CBaseWinMgr.h"

class CPaneMgr : public CBaseWinMgr {
public:
    using Mover = std::function<void(CWinData* item, int x, int y, int width, int height)>;

    CPaneMgr(bool horizontal, Mover mover);

    // Fits the row to the rectangle's length (stretch items take or give
    // first) and places every item in it.
    void Place(int x, int y, int width, int height);
    // Places the items at their current sizes in the last rectangle.
    void RePositionWnd() override;

    bool IsHorizontal() const { return m_bHorizontal; }
    // The length along the row of the last rectangle.
    int GetLength() const { return m_bHorizontal ? m_nWidth : m_nHeight; }
    // Where `item` starts along the row; -1 when it is not in this row.
    int GetOffset(const CWinData* item) const;

private:
    void Fit(int length);

    bool m_bHorizontal;
    Mover m_mover;
    int m_nX = 0;
    int m_nY = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
};
