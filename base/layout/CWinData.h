#pragma once

#include "base/ZandrelExport.h"
#include "base/model/TList.h"
#include "base/tools/CStringTool.h"

class CBaseWinMgr;
class CWinData;

// How an item's size may change along one dimension.
enum tagSIZECONTYPE : int {
    SCT_FIXED = 0,    // never changed by a manager (slider bars)
    SCT_BOUNDED = 1,  // between a minimum and a maximum
    SCT_STRETCH = 2,  // a minimum and no maximum; takes what others cannot
};

// The sizes of an item along one dimension.
struct SIZEDATA {
    int nMin;
    int nMax;
    int nDesired;
    int nCur;
    tagSIZECONTYPE nConType;
};

// A list node of a manager's row; the record never owns its item.
using RWinItem = TList<CWinData*>;

// Extra data the window shell may hang on an item; never owned by the item.
class ZANDREL_API CWinExtData {
public:
    virtual ~CWinExtData() = default;
};

// One pane or slider bar of a row. The item knows its sizes and where it is
// linked; it never owns its manager, list node, window or extra data.
class ZANDREL_API CWinData {
public:
    // `conType` governs the active and second records, `conTypeH` the cross
    // record.
    CWinData(tagSIZECONTYPE conType, tagSIZECONTYPE conTypeH);
    virtual ~CWinData() = default;
    CWinData(const CWinData&) = delete;
    CWinData& operator=(const CWinData&) = delete;

    // Bounds of the active record; either out argument may be null.
    void GetMaxMinSize(int* max, int* min) const;
    // Bounded: both bounds; stretch: the minimum only; fixed: nothing.
    void SetMaxMinSize(int max, int min);
    int GetCurSize() const { return m_size.nCur; }
    void SetCurSize(int size) { m_size.nCur = size; }
    tagSIZECONTYPE GetConstrainType() const { return m_size.nConType; }

    // The same for the cross record (the other dimension).
    void GetMaxMinH(int* max, int* min) const;
    void SetMaxMinH(int max, int min);
    int GetCurH() const { return m_sizeH.nCur; }
    void SetCurH(int size) { m_sizeH.nCur = size; }

    // An unchanged flag does nothing. Turning it on saves the active record
    // into the second one; turning it off lays the row along the cross
    // record, which is copied into the active one.
    void SetDirection(bool direction);
    bool GetDirection() const { return m_bDirection; }

    const SIZEDATA& GetSizeData() const { return m_size; }
    const SIZEDATA& GetSecondSizeData() const { return m_size2; }
    const SIZEDATA& GetSizeDataH() const { return m_sizeH; }

    // The node of this item in its manager's list; null when in none.
    RWinItem* GetRWinItem() const { return m_pRWinItem; }
    void SetRWinItem(RWinItem* item) { m_pRWinItem = item; }
    // The manager whose row holds this item.
    CBaseWinMgr* GetParentWinMgr() const { return m_pParentWinMgr; }
    void SetParentWinMgr(CBaseWinMgr* mgr) { m_pParentWinMgr = mgr; }
    // A manager that lays out the inside of this item, if any.
    CBaseWinMgr* GetBaseWinMgr() const { return m_pBaseWinMgr; }
    void SetBaseWinMgr(CBaseWinMgr* mgr) { m_pBaseWinMgr = mgr; }

    // The shell's window handle, opaque here.
    void* GetWnd() const { return m_hWnd; }
    void SetWnd(void* wnd) { m_hWnd = wnd; }
    bool IsWndType() const { return m_bWndType; }
    void SetWinType(bool wndType) { m_bWndType = wndType; }
    CWinExtData* GetWinExtData() const { return m_pExtData; }
    void SetWinExtData(CWinExtData* data) { m_pExtData = data; }

    // Stores a copy; null leaves no name, and GetName then returns null.
    void SetName(const char16_t* name) { m_name = OptTextFrom(name); }
    const char16_t* GetName() const { return OptTextPtr(m_name); }

private:
    static void SetBounds(SIZEDATA& size, int max, int min);

    SIZEDATA m_size;
    SIZEDATA m_size2;
    SIZEDATA m_sizeH;
    bool m_bDirection = true;
    RWinItem* m_pRWinItem = nullptr;
    CBaseWinMgr* m_pParentWinMgr = nullptr;
    CBaseWinMgr* m_pBaseWinMgr = nullptr;
    void* m_hWnd = nullptr;
    bool m_bWndType = true;
    CWinExtData* m_pExtData = nullptr;
    OptText m_name;
};
