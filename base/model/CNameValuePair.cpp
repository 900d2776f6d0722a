#include "base/model/CNameValuePair.h"

#include <new>

#include "base/tools/CStringTool.h"
#include "base/tools/CSysString.h"

CNameValuePair::~CNameValuePair()
{
    CSysString::Free(m_bstrName);
    CSysString::Free(m_bstrValue);
}

CNameValuePair* CNameValuePair::New()
{
    return new (std::nothrow) CNameValuePair();
}

void CNameValuePair::Delete(CNameValuePair* record)
{
    delete record;
}

void CNameValuePair::DeleteList(CNameValuePair* head)
{
    while (head) {
        CNameValuePair* next = head->GetNext();
        Delete(head);
        head = next;
    }
}

const char16_t* CNameValuePair::FindValue(const CNameValuePair* head, const char16_t* name)
{
    if (!name)
        return nullptr;
    for (; head; head = head->GetNext()) {
        if (head->m_bstrName && CStringTool::EqualNoCase(head->m_bstrName, name))
            return head->m_bstrValue;
    }
    return nullptr;
}

namespace {

// Copies before releasing, so a record may be given its own text.
void Replace(char16_t*& slot, const char16_t* text)
{
    char16_t* copy = CSysString::Alloc(text);
    CSysString::Free(slot);
    slot = copy;
}

}  // namespace

void CNameValuePair::SetName(const char16_t* name)
{
    Replace(m_bstrName, name);
}

void CNameValuePair::SetValue(const char16_t* value)
{
    Replace(m_bstrValue, value);
}
