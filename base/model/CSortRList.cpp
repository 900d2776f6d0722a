#include "base/model/CSortRList.h"

#include "base/tools/CStringTool.h"

namespace {

const char16_t* NameOf(const CBaseNode* node)
{
    return node ? node->GetName() : nullptr;
}

long VisitedOf(const CBaseNode* node)
{
    long visited = 0;
    if (node)
        node->GetNodeStat()->GetStatTime(nullptr, nullptr, &visited);
    return visited;
}

}  // namespace

RBaseNodeItem* CSortRList::Sort(RBaseNodeItem* head, bool ascending)
{
    BubbleSort(&head, ascending ? CompareNameAsc : CompareNameDes, kByName);
    return head;
}

RBaseNodeItem* CSortRList::SortByVisitTime(RBaseNodeItem* head, bool ascending)
{
    BubbleSort(&head, ascending ? CompareNameAsc : CompareNameDes, kByVisitTime);
    return head;
}

int CSortRList::CompareNameAsc(const CBaseNode* a, const CBaseNode* b, int param)
{
    return -CompareNameDes(a, b, param);
}

int CSortRList::CompareNameDes(const CBaseNode* a, const CBaseNode* b, int param)
{
    switch (param) {
    case kByName:
        return CompareNoCase(NameOf(a), NameOf(b));
    case kByVisitTime:
        return CompareValue(VisitedOf(a), VisitedOf(b));
    default:
        return 0;
    }
}

int CSortRList::CompareNoCase(const char16_t* t1, const char16_t* t2)
{
    if (!t1)
        return 0;
    if (!t2)
        t2 = u"";
    // Stops at the first difference, so the end of t2 is never passed.
    for (; *t1; ++t1, ++t2) {
        char16_t c1 = CStringTool::FoldCase(*t1);
        char16_t c2 = CStringTool::FoldCase(*t2);
        if (c1 != c2)
            return c1 < c2 ? -1 : 1;
    }
    return 0;
}

int CSortRList::CompareValue(long x, long y)
{
    return x > y ? 1 : (x < y ? -1 : 0);
}
