#include "base/model/CSortRTagItem.h"

RTagItem* CSortRTagItem::Sort(RTagItem* head, bool ascending)
{
    BubbleSort(&head, ascending ? CompareNameAsc : CompareNameDes, kByName);
    return head;
}

int CSortRTagItem::CompareNameAsc(const CTagItem* a, const CTagItem* b, int param)
{
    return -CompareNameDes(a, b, param);
}

int CSortRTagItem::CompareNameDes(const CTagItem* a, const CTagItem* b, int param)
{
    if (param != kByName)
        return 0;
    return CompareNoCase(a ? a->GetName() : nullptr, b ? b->GetName() : nullptr);
}
