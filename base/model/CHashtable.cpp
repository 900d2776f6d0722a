#include "base/model/CHashtable.h"

#include <cstdint>
#include <new>

#include "base/tools/CStringTool.h"
#include "base/tools/CSysString.h"

namespace {

const char16_t* KeyText(const char16_t* key)
{
    return key ? key : u"";
}

}  // namespace

CHashData::CHashData(const char16_t* key, const char16_t* value)
    : m_bstrKey(CSysString::Alloc(KeyText(key))),
      m_bstrValue(CSysString::Alloc(value)),
      m_bValueGiven(value != nullptr)
{
}

CHashData::~CHashData()
{
    CSysString::Free(m_bstrKey);
    CSysString::Free(m_bstrValue);
}

bool CHashData::SetValue(const char16_t* value)
{
    char16_t* copy = CSysString::Alloc(value);
    if (value && !copy)
        return false;
    CSysString::Free(m_bstrValue);
    m_bstrValue = copy;
    m_bValueGiven = value != nullptr;
    return true;
}

CHashtable::CHashtable() : CHashtable(kDefaultBuckets) {}

CHashtable::CHashtable(int buckets)
{
    m_nBuckets = buckets < 1 ? 1 : buckets;
    m_ppBuckets = new (std::nothrow) CHashData*[m_nBuckets]();
    if (!m_ppBuckets)
        m_nBuckets = 0;  // every operation then finds nothing and adds nothing
}

CHashtable::~CHashtable()
{
    RemoveAll();
    delete[] m_ppBuckets;
}

int CHashtable::HashString(const char16_t* key) const
{
    if (m_nBuckets == 0)
        return 0;
    // Each step at least quarters h before adding one code unit, so h stays
    // below 4/3 of 0x10000 and never overflows or turns negative.
    int32_t h = 0;
    for (const char16_t* p = KeyText(key); *p; ++p)
        h = (h >> 2) + static_cast<int32_t>(*p);
    return h % m_nBuckets;
}

CHashData* CHashtable::Find(const char16_t* key) const
{
    if (m_nBuckets == 0)
        return nullptr;
    key = KeyText(key);
    for (CHashData* entry = m_ppBuckets[HashString(key)]; entry; entry = entry->GetNext()) {
        if (CStringTool::Equal(entry->GetKey(), key))
            return entry;
    }
    return nullptr;
}

bool CHashtable::Put(const char16_t* key, const char16_t* value, bool replace)
{
    if (m_nBuckets == 0)
        return false;
    if (CHashData* entry = Find(key)) {
        if (replace)
            entry->SetValue(value);
        return false;
    }
    auto* entry = new (std::nothrow) CHashData(key, value);
    if (!entry || !entry->IsComplete()) {
        delete entry;
        return false;
    }
    CHashData*& bucket = m_ppBuckets[HashString(key)];
    entry->SetNext(bucket);
    bucket = entry;
    ++m_nCount;
    return true;
}

bool CHashtable::Get(const char16_t* key, char16_t** value) const
{
    const CHashData* entry = Find(key);
    if (!value)
        return entry != nullptr;
    *value = nullptr;
    if (!entry)
        return false;
    if (entry->GetValue()) {
        *value = CSysString::Alloc(entry->GetValue());
        if (!*value)
            return false;
    }
    return true;
}

bool CHashtable::Contains(const char16_t* key) const
{
    return Find(key) != nullptr;
}

bool CHashtable::Remove(const char16_t* key)
{
    if (m_nBuckets == 0)
        return false;
    key = KeyText(key);
    int index = HashString(key);
    CHashData* prev = nullptr;
    for (CHashData* entry = m_ppBuckets[index]; entry; prev = entry, entry = entry->GetNext()) {
        if (!CStringTool::Equal(entry->GetKey(), key))
            continue;
        // Keep a pending iteration off the freed entry.
        if (entry == m_pIterEntry) {
            if (entry->GetNext())
                m_pIterEntry = entry->GetNext();
            else
                SeekBucket(index + 1);
        }
        if (prev)
            prev->SetNext(entry->GetNext());
        else
            m_ppBuckets[index] = entry->GetNext();
        delete entry;
        --m_nCount;
        return true;
    }
    return false;
}

void CHashtable::RemoveAll()
{
    for (int i = 0; i < m_nBuckets; ++i) {
        CHashData* entry = m_ppBuckets[i];
        while (entry) {
            CHashData* next = entry->GetNext();
            delete entry;
            entry = next;
        }
        m_ppBuckets[i] = nullptr;
    }
    m_nCount = 0;
    m_nIterBucket = 0;
    m_pIterEntry = nullptr;
}

void CHashtable::SeekBucket(int index)
{
    m_pIterEntry = nullptr;
    for (m_nIterBucket = index; m_nIterBucket < m_nBuckets; ++m_nIterBucket) {
        if (m_ppBuckets[m_nIterBucket]) {
            m_pIterEntry = m_ppBuckets[m_nIterBucket];
            return;
        }
    }
}

void CHashtable::ResetPosition()
{
    SeekBucket(0);
}

bool CHashtable::GetNextKeyValue(char16_t** key, char16_t** value)
{
    if (!m_pIterEntry) {
        if (key)
            *key = nullptr;
        if (value)
            *value = nullptr;
        return false;
    }
    if (key)
        *key = CSysString::Alloc(m_pIterEntry->GetKey());
    if (value)
        *value = CSysString::Alloc(m_pIterEntry->GetValue());
    if (m_pIterEntry->GetNext())
        m_pIterEntry = m_pIterEntry->GetNext();
    else
        SeekBucket(m_nIterBucket + 1);
    return true;
}
