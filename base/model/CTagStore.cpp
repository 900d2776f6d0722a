#include "base/model/CTagStore.h"

#include <new>

#include "base/model/CSortRTagItem.h"

CTagItem::~CTagItem()
{
    CUrlProp::DeleteTagsList(m_pUrls);
}

void CTagItem::Delete(CTagItem* tag)
{
    delete tag;
}

bool CTagItem::AddUrlItem(const char16_t* url, bool checkDuplicate)
{
    if (checkDuplicate) {
        for (RBstrItem* r = m_pUrls; r; r = r->GetNext()) {
            if (CStringTool::EqualNoCase(r->GetData(), url))
                return false;
        }
    }
    RBstrItem* record = CUrlProp::CreateRBstrItem(url);
    if (!record)
        return false;
    m_pUrls = CListTool::Append(m_pUrls, record);
    ++m_nCount;
    return true;
}

bool CTagItem::DeleteUrl(const char16_t* url)
{
    for (RBstrItem* r = m_pUrls; r; r = r->GetNext()) {
        if (CStringTool::EqualNoCase(r->GetData(), url)) {
            DeleteUrlItem(r);
            return true;
        }
    }
    return false;
}

void CTagItem::DeleteUrlItem(RBstrItem* record)
{
    m_pUrls = CListTool::Unlink(m_pUrls, record);
    CUrlProp::DeleteOneRBstrItem(record);
    --m_nCount;
}

CTagStore::~CTagStore()
{
    DeleteAll();
}

CTagStore* CTagStore::CreateTagStore()
{
    return new (std::nothrow) CTagStore();
}

void CTagStore::DeleteTagStore(CTagStore* store)
{
    delete store;
}

CTagItem* CTagStore::CreateTagItem()
{
    return new (std::nothrow) CTagItem();
}

RTagItem* CTagStore::AddTagItem(CTagItem* tag)
{
    RTagItem* record = RTagItem::New(tag);
    if (record)
        m_pHead = CListTool::Append(m_pHead, record);
    return record;
}

bool CTagStore::DeleteTagItem(CTagItem* tag)
{
    for (RTagItem* r = m_pHead; r; r = r->GetNext()) {
        if (r->GetData() == tag) {
            m_pHead = CListTool::Unlink(m_pHead, r);
            CTagItem::Delete(tag);
            RTagItem::Delete(r);
            return true;
        }
    }
    return false;
}

void CTagStore::DeleteAll()
{
    while (m_pHead) {
        RTagItem* next = m_pHead->GetNext();
        CTagItem::Delete(m_pHead->GetData());
        RTagItem::Delete(m_pHead);
        m_pHead = next;
    }
}

void CTagStore::SortTagItem(bool ascending)
{
    if (m_pHead && m_pHead->GetNext())
        m_pHead = CSortRTagItem().Sort(m_pHead, ascending);
}
