#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CBaseNode.h"
#include "base/model/TList.h"

using RBaseNodeItem = TList<CBaseNode*>;

// Puts a list of nodes in order in place by relinking its records; the
// data never moves. An instance carries nothing and lives for one call.
class ZANDREL_API CSortRList {
public:
    CSortRList() = default;
    virtual ~CSortRList() = default;

    // By name, ignoring letter case; returns the new head.
    RBaseNodeItem* Sort(RBaseNodeItem* head, bool ascending);
    // By last-visited time, oldest first when ascending; returns the new head.
    RBaseNodeItem* SortByVisitTime(RBaseNodeItem* head, bool ascending);

protected:
    // param for the node comparisons: order by name or by visit time.
    static constexpr int kByName = 0;
    static constexpr int kByVisitTime = 1;

    // Bubble sort over any head-and-tail list. `compare` gets the data of two
    // neighbours, first one first, and returns a negative value when they
    // are out of order. Equal neighbours never swap, so the sort is stable.
    // Stores the new head; returns whether anything was swapped.
    template <typename R, typename T>
    static bool BubbleSort(R** head, int (*compare)(T, T, int), int param);

    // Exchanges `record` with its successor, keeping the head, the tail link
    // of the head and every neighbour link valid.
    template <typename R>
    static void SwapWithNext(R* record, R** head);

    static int CompareNameAsc(const CBaseNode* a, const CBaseNode* b, int param);
    static int CompareNameDes(const CBaseNode* a, const CBaseNode* b, int param);

    // Compares, ignoring letter case, no more characters than `t1` has, so
    // an empty `t1` or one that begins `t2` gives 0. Null counts as empty.
    static int CompareNoCase(const char16_t* t1, const char16_t* t2);
    // -1, 0 or 1 as x is below, equal to or above y.
    static int CompareValue(long x, long y);
};

template <typename R, typename T>
bool CSortRList::BubbleSort(R** head, int (*compare)(T, T, int), int param)
{
    if (!head || !*head || !compare)
        return false;
    R* first = *head;
    R* boundary = first->GetPrev();
    bool swappedAny = false;
    bool swapped;
    do {
        swapped = false;
        R* r = first;
        while (r != boundary) {
            R* next = r->GetNext();
            if (compare(r->GetData(), next->GetData(), param) < 0) {
                SwapWithNext(r, &first);
                swapped = true;
                // r moved on; compare it again with its new successor.
                if (next == boundary)
                    boundary = r;
            } else {
                r = next;
            }
        }
        // Everything from the boundary on is in its final place.
        boundary = boundary->GetPrev();
        swappedAny = swappedAny || swapped;
    } while (boundary != first && swapped);
    *head = first;
    return swappedAny;
}

template <typename R>
void CSortRList::SwapWithNext(R* record, R** head)
{
    R* next = record ? record->GetNext() : nullptr;
    if (!next || !head || !*head)
        return;
    R* before = record->GetPrev();  // the tail when record is the head
    R* after = next->GetNext();
    if (record == *head) {
        *head = next;
        next->SetPrev(before);
    } else {
        before->SetNext(next);
        next->SetPrev(before);
    }
    next->SetNext(record);
    record->SetPrev(next);
    record->SetNext(after);
    if (after)
        after->SetPrev(record);
    else
        (*head)->SetPrev(record);  // record is the new tail
}
