#include "base/model/CUrlProp.h"

#include "base/tools/CSysString.h"

CUrlProp::CUrlProp(const CUrlProp& source)
    : m_fileType(source.m_fileType), m_fileExt(source.m_fileExt)
{
    for (const RBstrItem* r = source.m_pTags; r; r = r->GetNext()) {
        RBstrItem* copy = CreateRBstrItem(r->GetData());
        if (copy)
            m_pTags = CListTool::Append(m_pTags, copy);
    }
}

CUrlProp::~CUrlProp()
{
    DeleteTagsList(m_pTags);
}

const char16_t* CUrlProp::GetFileTypeSubtype(tagKRVITEMFILETYPE type)
{
    static const char16_t* const kSubtypes[] = {u"unknown", u"pdf", u"doc", u"ppt",
                                                u"txt",     u"xml", u"xls"};
    return type >= FILE_UNKNOWN && type <= FILE_XLS ? kSubtypes[type] : kSubtypes[0];
}

RBstrItem* CUrlProp::DetachTagsHead()
{
    RBstrItem* head = m_pTags;
    m_pTags = nullptr;
    return head;
}

namespace {

bool IsTagSeparator(char16_t c)
{
    return c == u' ' || c == u',' || c == u';' || c == u'\t' || c == u'\r' || c == u'\n';
}

}  // namespace

RBstrItem* CUrlProp::GenerateRBstrItemList(const char16_t* text)
{
    if (!text)
        return nullptr;
    RBstrItem* head = nullptr;
    std::u16string token;
    for (const char16_t* p = text;; ++p) {
        if (*p && !IsTagSeparator(*p)) {
            token.push_back(*p);
            continue;
        }
        if (!token.empty() && !IsDuplicated(head, token.c_str())) {
            RBstrItem* record = CreateRBstrItem(token.c_str());
            if (record)
                head = CListTool::Append(head, record);
        }
        token.clear();
        if (!*p)
            break;
    }
    return head;
}

RBstrItem* CUrlProp::CreateRBstrItem(const char16_t* text)
{
    char16_t* copy = CSysString::Alloc(text ? text : u"");
    if (!copy)
        return nullptr;
    RBstrItem* record = RBstrItem::New(copy);
    if (!record)
        CSysString::Free(copy);
    return record;
}

void CUrlProp::DeleteOneRBstrItem(RBstrItem* record)
{
    if (!record)
        return;
    CSysString::Free(record->GetData());
    RBstrItem::Delete(record);
}

void CUrlProp::DeleteTagsList(RBstrItem* head)
{
    while (head) {
        RBstrItem* next = head->GetNext();
        DeleteOneRBstrItem(head);
        head = next;
    }
}

bool CUrlProp::IsDuplicated(const RBstrItem* head, const char16_t* text)
{
    for (; head; head = head->GetNext()) {
        if (CStringTool::EqualNoCase(head->GetData(), text))
            return true;
    }
    return false;
}
