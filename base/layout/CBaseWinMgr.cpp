#include "base/layout/CBaseWinMgr.h"

#include <algorithm>
#include <climits>

namespace {

constexpr unsigned kBounded = 1u << SCT_BOUNDED;
constexpr unsigned kStretch = 1u << SCT_STRETCH;

bool IsKind(const CWinData* item, unsigned kinds)
{
    int type = item->GetConstrainType();
    return type >= 0 && type < 32 && (kinds & (1u << type)) != 0;
}

int Saturate(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// What an item can give up. Never negative, so an item already below its
// minimum is not pushed further out.
int FreeRoom(const CWinData* item)
{
    if (!IsKind(item, kBounded | kStretch))
        return 0;
    int min = 0;
    item->GetMaxMinSize(nullptr, &min);
    return Saturate(std::max<long long>(0, (long long)item->GetCurSize() - min));
}

// What a bounded item can take; stretch items are unlimited and handled by
// the callers.
int SpareRoom(const CWinData* item)
{
    if (!IsKind(item, kBounded))
        return 0;
    int max = 0;
    item->GetMaxMinSize(&max, nullptr);
    return Saturate(std::max<long long>(0, (long long)max - item->GetCurSize()));
}

void AddToCur(CWinData* item, long long delta)
{
    item->SetCurSize(Saturate(item->GetCurSize() + delta));
}

// Room on one side of a slider. The sums stay wide so long rows cannot wrap.
struct Room {
    long long shrink = 0;
    long long grow = 0;
    bool unlimited = false;  // a stretch item can take any amount
};

// Links `rec` directly before `ref`; returns the head.
RWinItem* LinkBefore(RWinItem* head, RWinItem* ref, RWinItem* rec)
{
    if (ref == head) {
        rec->SetPrev(head->GetPrev());  // the new head takes over the tail link
        rec->SetNext(head);
        head->SetPrev(rec);
        return rec;
    }
    RWinItem* prev = ref->GetPrev();
    prev->SetNext(rec);
    rec->SetPrev(prev);
    rec->SetNext(ref);
    ref->SetPrev(rec);
    return head;
}

// Links `rec` directly after `ref`; returns the head.
RWinItem* LinkAfter(RWinItem* head, RWinItem* ref, RWinItem* rec)
{
    RWinItem* next = ref->GetNext();
    if (!next)
        return CListTool::Append(head, rec);
    rec->SetPrev(ref);
    rec->SetNext(next);
    next->SetPrev(rec);
    ref->SetNext(rec);
    return head;
}

}  // namespace

CBaseWinMgr::~CBaseWinMgr()
{
    while (m_pHead) {
        RWinItem* next = m_pHead->GetNext();
        RWinItem::Delete(m_pHead);
        m_pHead = next;
    }
}

RWinItem* CBaseWinMgr::CreateRWinItem(CWinData* item)
{
    return RWinItem::New(item);
}

bool CBaseWinMgr::Holds(const RWinItem* node) const
{
    if (!node)
        return false;
    for (const RWinItem* n = m_pHead; n; n = n->GetNext()) {
        if (n == node)
            return true;
    }
    return false;
}

bool CBaseWinMgr::HoldsItem(const CWinData* item) const
{
    for (const RWinItem* n = m_pHead; n; n = n->GetNext()) {
        if (n->GetData() == item)
            return true;
    }
    return false;
}

RWinItem* CBaseWinMgr::Before(RWinItem* node) const
{
    // The head's previous link is the tail, not a predecessor.
    return node == m_pHead ? nullptr : node->GetPrev();
}

RWinItem* CBaseWinMgr::Step(RWinItem* node, bool towardHead) const
{
    return towardHead ? Before(node) : node->GetNext();
}

void CBaseWinMgr::Unlink(RWinItem* node)
{
    m_pHead = CListTool::Unlink(m_pHead, node);
    CWinData* item = node->GetData();
    item->SetRWinItem(nullptr);
    item->SetParentWinMgr(nullptr);
    RWinItem::Delete(node);
}

RWinItem* CBaseWinMgr::AppendAsTail(CWinData* item)
{
    if (!item || HoldsItem(item))
        return nullptr;
    RWinItem* rec = CreateRWinItem(item);
    if (!rec)
        return nullptr;
    m_pHead = CListTool::Append(m_pHead, rec);
    item->SetRWinItem(rec);
    item->SetParentWinMgr(this);
    return rec;
}

RWinItem* CBaseWinMgr::InsertAsHead(CWinData* item)
{
    if (!m_pHead)
        return AppendAsTail(item);
    return InsertBeforeRefItem(item, m_pHead);
}

RWinItem* CBaseWinMgr::InsertBeforeRefItem(CWinData* item, RWinItem* ref)
{
    if (!item || !Holds(ref) || HoldsItem(item))
        return nullptr;
    RWinItem* rec = CreateRWinItem(item);
    if (!rec)
        return nullptr;
    m_pHead = LinkBefore(m_pHead, ref, rec);
    item->SetRWinItem(rec);
    item->SetParentWinMgr(this);
    return rec;
}

RWinItem* CBaseWinMgr::InsertAfterRefItem(CWinData* item, RWinItem* ref)
{
    if (!item || !Holds(ref) || HoldsItem(item))
        return nullptr;
    RWinItem* rec = CreateRWinItem(item);
    if (!rec)
        return nullptr;
    m_pHead = LinkAfter(m_pHead, ref, rec);
    item->SetRWinItem(rec);
    item->SetParentWinMgr(this);
    return rec;
}

bool CBaseWinMgr::RemoveWndAndSlider(const char16_t* name, int side)
{
    if (!name)
        return false;
    RWinItem* node = m_pHead;
    while (node) {
        const char16_t* itemName = node->GetData()->GetName();
        if (itemName && CStringTool::Equal(itemName, name))
            break;
        node = node->GetNext();
    }
    if (!node)
        return false;
    if (side != -1 && side != 1)
        return true;
    // At the end of the row there is no slider on that side: the item goes
    // alone rather than taking the wrong neighbour.
    RWinItem* slider = side == -1 ? node->GetNext() : Before(node);
    Unlink(node);
    if (slider)
        Unlink(slider);
    return true;
}

void CBaseWinMgr::GetWinItemData(const RWinItem* head, int* count, int* minTotal, int* curTotal)
{
    long long n = 0;
    long long least = 0;
    long long cur = 0;
    for (; head; head = head->GetNext()) {
        const CWinData* item = head->GetData();
        ++n;
        cur += item->GetCurSize();
        if (IsKind(item, kBounded | kStretch)) {
            int min = 0;
            item->GetMaxMinSize(nullptr, &min);
            least += min;
        } else if (item->GetConstrainType() == SCT_FIXED) {
            least += item->GetCurSize();
        }
    }
    if (count)
        *count = Saturate(n);
    if (minTotal)
        *minTotal = Saturate(least);
    if (curTotal)
        *curTotal = Saturate(cur);
}

bool CBaseWinMgr::GetConstrain(int* toHead, int* toTail, RWinItem* slider) const
{
    if (toHead)
        *toHead = 0;
    if (toTail)
        *toTail = 0;
    if (!Holds(slider))
        return false;

    Room before;
    Room after;
    // Walk each side outward from the slider.
    for (int pass = 0; pass < 2; ++pass) {
        bool towardHead = pass == 0;
        Room& room = towardHead ? before : after;
        for (RWinItem* n = Step(slider, towardHead); n; n = Step(n, towardHead)) {
            const CWinData* item = n->GetData();
            room.shrink += FreeRoom(item);
            if (IsKind(item, kStretch))
                room.unlimited = true;
            else
                room.grow += SpareRoom(item);
        }
    }
    long long head = after.unlimited ? before.shrink : std::min(before.shrink, after.grow);
    long long tail = before.unlimited ? after.shrink : std::min(after.shrink, before.grow);
    if (toHead)
        *toHead = Saturate(head);
    if (toTail)
        *toTail = Saturate(tail);
    return true;
}

int CBaseWinMgr::Shrink(RWinItem* from, bool towardHead, int amount, unsigned kinds)
{
    for (RWinItem* n = from; n && amount > 0; n = Step(n, towardHead)) {
        CWinData* item = n->GetData();
        if (!IsKind(item, kinds))
            continue;
        int give = std::min(FreeRoom(item), amount);
        AddToCur(item, -give);
        amount -= give;
    }
    return amount;
}

void CBaseWinMgr::Grow(RWinItem* from, bool towardHead, int amount)
{
    for (RWinItem* n = from; n && amount > 0; n = Step(n, towardHead)) {
        CWinData* item = n->GetData();
        if (IsKind(item, kStretch)) {
            AddToCur(item, amount);
            return;
        }
        int take = std::min(SpareRoom(item), amount);
        AddToCur(item, take);
        amount -= take;
    }
}

void CBaseWinMgr::OnBarMoveToLeft(int amount, RWinItem* slider)
{
    if (!Holds(slider))
        return;
    if (amount > 0) {
        Shrink(Before(slider), true, amount, kBounded | kStretch);
        Grow(slider->GetNext(), false, amount);
    }
    RePositionWnd();
}

void CBaseWinMgr::OnBarMoveToRight(int amount, RWinItem* slider)
{
    if (!Holds(slider))
        return;
    if (amount > 0) {
        Shrink(slider->GetNext(), false, amount, kBounded | kStretch);
        Grow(Before(slider), true, amount);
    }
    RePositionWnd();
}

void CBaseWinMgr::ArrangeWinAsMin()
{
    for (RWinItem* n = m_pHead; n; n = n->GetNext()) {
        CWinData* item = n->GetData();
        if (!IsKind(item, kBounded | kStretch))
            continue;
        int min = 0;
        item->GetMaxMinSize(nullptr, &min);
        item->SetCurSize(min);
    }
}

void CBaseWinMgr::ArrangeWinAsMinPlus(int amount, bool fromHead)
{
    if (!m_pHead || amount <= 0)
        return;
    RWinItem* start = fromHead ? m_pHead : CListTool::GetTail(m_pHead);
    amount = Shrink(start, !fromHead, amount, kStretch);
    Shrink(start, !fromHead, amount, kBounded);
}

void CBaseWinMgr::ArrangeWinAsDesired(int amount, bool fromHead)
{
    if (!m_pHead || amount == 0)
        return;
    RWinItem* start = fromHead ? m_pHead : CListTool::GetTail(m_pHead);
    RWinItem* receiver = nullptr;
    for (RWinItem* n = start; n && !receiver; n = Step(n, !fromHead)) {
        if (IsKind(n->GetData(), kStretch))
            receiver = n;
    }
    if (!receiver)
        receiver = fromHead ? CListTool::GetTail(m_pHead) : m_pHead;

    // The fallback may be a bounded or fixed item, and the amount may be
    // negative: either way the receiver stays within its bounds.
    CWinData* item = receiver->GetData();
    if (amount < 0)
        AddToCur(item, -std::min<long long>(FreeRoom(item), -(long long)amount));
    else if (IsKind(item, kStretch))
        AddToCur(item, amount);
    else
        AddToCur(item, std::min(SpareRoom(item), amount));
}
