#pragma once

#include "base/ZandrelExport.h"

// One entry of a CHashtable bucket chain. Owns its key and value.
class ZANDREL_API CHashData {
public:
    // Copies both; a null key is taken as the empty key, a null value stays
    // none. IsComplete tells whether the copies could be made.
    CHashData(const char16_t* key, const char16_t* value);
    ~CHashData();
    CHashData(const CHashData&) = delete;
    CHashData& operator=(const CHashData&) = delete;

    bool IsComplete() const { return m_bstrKey && (m_bstrValue || !m_bValueGiven); }

    const char16_t* GetKey() const { return m_bstrKey; }
    const char16_t* GetValue() const { return m_bstrValue; }
    // Stores a copy; null removes the value. False when memory runs out, in
    // which case the old value stays.
    bool SetValue(const char16_t* value);

    CHashData* GetNext() const { return m_pNext; }
    void SetNext(CHashData* next) { m_pNext = next; }

private:
    char16_t* m_bstrKey;    // CSysString
    char16_t* m_bstrValue;  // CSysString or null
    CHashData* m_pNext = nullptr;
    bool m_bValueGiven;
};

// Fixed-size hash table from text keys to text values; keys compare exactly.
// It never grows: chains just lengthen. Every text handed out is a
// CSysString copy that the caller releases with CSysString::Free.
class ZANDREL_API CHashtable {
public:
    static constexpr int kDefaultBuckets = 23;

    CHashtable();
    // Fewer than one bucket is taken as one.
    explicit CHashtable(int buckets);
    virtual ~CHashtable();
    CHashtable(const CHashtable&) = delete;
    CHashtable& operator=(const CHashtable&) = delete;

    // Adds a new entry at the head of its bucket and returns true. A key
    // already present gives false; with `replace` its value is replaced
    // first (null removes it). A null key is the empty key, here and below.
    bool Put(const char16_t* key, const char16_t* value, bool replace);
    // True when found; `*value` then gets a copy of the value, or null when
    // the entry has none. Not found (or no memory for the copy): `*value`
    // null and false.
    bool Get(const char16_t* key, char16_t** value) const;
    bool Contains(const char16_t* key) const;
    bool Remove(const char16_t* key);
    void RemoveAll();

    int GetCount() const { return m_nCount; }
    int GetBucketCount() const { return m_nBuckets; }

    // Iteration in bucket order, newest first within a bucket. Changing the
    // table while iterating is not supported.
    void ResetPosition();
    bool HasNext() const { return m_pIterEntry != nullptr; }
    // Hands out copies of the pending key and value (each only when its
    // pointer is given), moves on and returns true; with nothing pending
    // sets the given pointers to null and returns false.
    bool GetNextKeyValue(char16_t** key, char16_t** value);

protected:
    // The bucket index of `key`.
    int HashString(const char16_t* key) const;
    // The first entry of the key's bucket whose key equals `key` exactly.
    CHashData* Find(const char16_t* key) const;

private:
    // Points the iteration at the first entry of the first non-empty bucket
    // from `index` on.
    void SeekBucket(int index);

    CHashData** m_ppBuckets;
    int m_nBuckets;
    int m_nCount = 0;
    int m_nIterBucket = 0;
    CHashData* m_pIterEntry = nullptr;
};
