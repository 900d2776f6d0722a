#pragma once

#include "base/ZandrelExport.h"
#include "base/layout/CWinData.h"

// Lays out one row (or column) of panes and slider bars: an ordered list of
// CWinData items whose sizes along the row it shares out. It never touches
// real windows; RePositionWnd, which the shell overrides, does that from the
// current sizes. The manager owns its list nodes, never the items.
class ZANDREL_API CBaseWinMgr {
public:
    CBaseWinMgr() = default;
    CBaseWinMgr(const CBaseWinMgr&) = delete;
    CBaseWinMgr& operator=(const CBaseWinMgr&) = delete;

    // The virtual operations are declared in their table order.

    // Moves the real windows to the current sizes; nothing here.
    virtual void RePositionWnd() {}
    // Deletes the list nodes; the items are left alone (they may be gone).
    virtual ~CBaseWinMgr();
    // Moves `slider` toward the tail by `amount`, then calls RePositionWnd.
    // Keep `amount` within GetConstrain's limit: the shrinking and growing
    // sides do not check each other. A negative amount moves nothing; a
    // slider of another list does nothing at all.
    virtual void OnBarMoveToRight(int amount, RWinItem* slider);
    // The same toward the head.
    virtual void OnBarMoveToLeft(int amount, RWinItem* slider);
    // How far `slider` may move toward the head and toward the tail without
    // pushing any item out of its bounds; either out argument may be null.
    // False (limits 0) when `slider` is not in this list.
    virtual bool GetConstrain(int* toHead, int* toTail, RWinItem* slider) const;

    // The first node of the row; null when it is empty.
    RWinItem* GetHeadItem() const { return m_pHead; }

    // Each links a new node for `item` at the named place, records the node
    // and this manager in the item and returns the node. Null, and nothing
    // changes, when `item` is null or already in this row, when `ref` is not
    // a node of this row, or when memory runs out.
    RWinItem* AppendAsTail(CWinData* item);
    RWinItem* InsertAsHead(CWinData* item);
    RWinItem* InsertBeforeRefItem(CWinData* item, RWinItem* ref);
    RWinItem* InsertAfterRefItem(CWinData* item, RWinItem* ref);

    // Finds the first item named exactly `name` (null matches none) and
    // unlinks it with the node after it (side -1) or before it (side 1),
    // when there is one; any other side unlinks nothing. The nodes are
    // deleted, the items kept and told they are in no row. True when found.
    bool RemoveWndAndSlider(const char16_t* name, int side);

    // Over the list from `head`: the number of items, the least total size
    // (bounded and stretch items at their minimum, fixed ones at their
    // current size, other kinds left out) and the current total. Any out
    // argument may be null.
    static void GetWinItemData(const RWinItem* head, int* count, int* minTotal, int* curTotal);

    // The arrangements change sizes only; call RePositionWnd when done.

    // Every bounded or stretch item takes its minimum size.
    void ArrangeWinAsMin();
    // Takes `amount` away, from stretch items first, then from bounded ones,
    // each walking from the head (`fromHead`) or from the tail; no item goes
    // below its minimum.
    void ArrangeWinAsMinPlus(int amount, bool fromHead);
    // Gives `amount` to the first stretch item from the head (`fromHead`) or
    // the last one; without one, to the tail or the head item, as far as its
    // bounds allow. A negative amount is taken back as far as the minimum.
    void ArrangeWinAsDesired(int amount, bool fromHead);

protected:
    // A lone node for `item`; null when memory runs out.
    RWinItem* CreateRWinItem(CWinData* item);

private:
    bool Holds(const RWinItem* node) const;
    bool HoldsItem(const CWinData* item) const;
    RWinItem* Before(RWinItem* node) const;
    RWinItem* Step(RWinItem* node, bool towardHead) const;
    void Unlink(RWinItem* node);
    int Shrink(RWinItem* from, bool towardHead, int amount, unsigned kinds);
    void Grow(RWinItem* from, bool towardHead, int amount);

    RWinItem* m_pHead = nullptr;
};
