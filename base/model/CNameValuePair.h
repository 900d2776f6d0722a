#pragma once

#include "base/ZandrelExport.h"

// One name/value record of a list of the head-and-tail shape (the head's
// previous link points at the tail); chain records with CListTool. Owns its
// two strings, never its neighbours.
class ZANDREL_API CNameValuePair {
public:
    // A lone record with neither name nor value; null when memory runs out.
    static CNameValuePair* New();
    // Destroys this record only; null is allowed.
    static void Delete(CNameValuePair* record);
    // Destroys every record from `head` along next links; null is allowed.
    static void DeleteList(CNameValuePair* head);

    // The value of the first record from `head` on whose name equals `name`
    // ignoring letter case; null when there is none. A record without a name
    // never matches. The value still belongs to the record.
    static const char16_t* FindValue(const CNameValuePair* head, const char16_t* name);

    // Each stores a copy; null leaves none.
    void SetName(const char16_t* name);
    void SetValue(const char16_t* value);
    const char16_t* GetName() const { return m_bstrName; }
    const char16_t* GetValue() const { return m_bstrValue; }
    // Both a name and a value are present.
    bool IsPair() const { return m_bstrName && m_bstrValue; }

    CNameValuePair* GetPrev() const { return m_pPrev; }
    void SetPrev(CNameValuePair* prev) { m_pPrev = prev; }
    CNameValuePair* GetNext() const { return m_pNext; }
    void SetNext(CNameValuePair* next) { m_pNext = next; }

protected:
    CNameValuePair() : m_pPrev(this) {}
    virtual ~CNameValuePair();
    CNameValuePair(const CNameValuePair&) = delete;
    CNameValuePair& operator=(const CNameValuePair&) = delete;

private:
    CNameValuePair* m_pPrev;
    CNameValuePair* m_pNext = nullptr;
    char16_t* m_bstrName = nullptr;   // CSysString
    char16_t* m_bstrValue = nullptr;  // CSysString
};
