#pragma once

#include <string>

#include "base/ZandrelExport.h"

// One chunk of a CDataBuffer; every chunk but the last is full.
struct DATABUFFER {
    char* pData;
    int nUsed;
    DATABUFFER* pNext;
};

// Bytes collected in 4096-byte chunks, so that a growing document is never
// reallocated. A document may not reach 100 MiB.
class ZANDREL_API CDataBuffer {
public:
    static constexpr int s_iBufLen = 4096;
    static constexpr int s_iMaxTotal = 104857600;

    CDataBuffer() = default;
    virtual ~CDataBuffer();
    CDataBuffer(const CDataBuffer&) = delete;
    CDataBuffer& operator=(const CDataBuffer&) = delete;

    // Appends `length` bytes. False, appending nothing, when the total would
    // reach the limit or memory runs out; the buffer is then marked as
    // overflowed until it is reset, so a cut-short document is never taken
    // for a whole one.
    bool AddData(const void* bytes, int length);
    // Appends the UTF-8 form of a NUL-terminated UTF-16 text; false for null.
    bool AddStringToUTF8(const char16_t* text);
    // The total length; `*first` gets the first chunk unless the buffer is
    // empty, in which case it is left untouched.
    int GetData(DATABUFFER** first) const;
    int GetLength() const { return m_nTotal; }
    // Whether an append was refused since the last reset.
    bool HasOverflowed() const { return m_bOverflow; }
    // The whole content as one string.
    std::string Join() const;

    void Reset() { ClearMemory(); }
    void ClearMemory();

private:
    DATABUFFER* NewChunk();

    int m_nTotal = 0;
    DATABUFFER* m_pHead = nullptr;
    DATABUFFER* m_pTail = nullptr;
    bool m_bOverflow = false;
};
