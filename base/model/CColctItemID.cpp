#include "base/model/CColctItemID.h"

#include <new>

#include "base/model/CColctNode.h"
#include "base/model/RNode.h"

RColctItem* RColctItem::New(CColctNode* colct, bool matched)
{
    return new (std::nothrow) RColctItem(colct, matched);
}

void RColctItem::Delete(RColctItem* record)
{
    delete record;
}

RColctItemID* RColctItemID::New(CColctItemID* ref)
{
    return new (std::nothrow) RColctItemID(ref);
}

void RColctItemID::Delete(RColctItemID* record)
{
    delete record;
}

CColctItemID* CColctItemID::New()
{
    return new (std::nothrow) CColctItemID();
}

void CColctItemID::Delete(CColctItemID* ref)
{
    delete ref;
}

bool CColctItemID::FindColctNode(RColctItem* list, CColctItemID* ref)
{
    if (!list || !ref)
        return false;
    CColctNode* found = nullptr;
    for (RColctItem* r = list; r && !found; r = r->GetNext()) {
        CColctNode* colct = r->GetData();
        if (!colct)
            continue;
        if (ref->m_pColct) {
            if (colct == ref->m_pColct)
                found = colct;
        } else if (CStringTool::Equal(colct->GetUUID(), ref->GetColctID())) {
            found = colct;
        }
    }
    if (!found) {
        ref->m_pColct = nullptr;
        ref->m_pItem = nullptr;
        return false;
    }
    ref->m_pColct = found;
    return true;
}

bool CColctItemID::FindColctUrlNode(RColctItem* list, CColctItemID* ref)
{
    if (!FindColctNode(list, ref))
        return false;
    CUrlNode* found = nullptr;
    for (RNode* r = ref->m_pColct->GetFirstRNode(); r && !found; r = r->GetNext()) {
        if (r->GetType() != NT_URL || !r->GetData())
            continue;
        auto* item = static_cast<CUrlNode*>(r->GetData());
        if (ref->m_pItem ? item == ref->m_pItem : CStringTool::Equal(item->GetUUID(), ref->GetItemID()))
            found = item;
    }
    ref->m_pItem = found;
    return found != nullptr;
}
