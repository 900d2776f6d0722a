#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CSortRList.h"
#include "base/model/CTagStore.h"

// Puts the tag items of a tag store in order by tag name, ignoring letter
// case, with the same relinking bubble sort as node lists.
class ZANDREL_API CSortRTagItem : public CSortRList {
public:
    CSortRTagItem() = default;
    ~CSortRTagItem() override = default;

    // Returns the new head.
    RTagItem* Sort(RTagItem* head, bool ascending);

protected:
    // Tags have no other key: any non-zero param compares equal.
    static int CompareNameAsc(const CTagItem* a, const CTagItem* b, int param);
    static int CompareNameDes(const CTagItem* a, const CTagItem* b, int param);
};
