#include "base/xml/CDataBuffer.h"

#include <cstdlib>
#include <cstring>

#include "base/tools/CUnicodeTool.h"

CDataBuffer::~CDataBuffer()
{
    ClearMemory();
}

DATABUFFER* CDataBuffer::NewChunk()
{
    auto* chunk = static_cast<DATABUFFER*>(std::malloc(sizeof(DATABUFFER)));
    if (!chunk)
        return nullptr;
    chunk->pData = static_cast<char*>(std::malloc(s_iBufLen));
    if (!chunk->pData) {
        std::free(chunk);
        return nullptr;
    }
    chunk->nUsed = 0;
    chunk->pNext = nullptr;
    return chunk;
}

bool CDataBuffer::AddData(const void* bytes, int length)
{
    if (length < 0 || (length > 0 && !bytes) || length >= s_iMaxTotal - m_nTotal) {
        m_bOverflow = m_bOverflow || length > 0;
        return length == 0;
    }
    // Chunks are linked in only after all of them exist, so running out of
    // memory leaves the buffer as it was.
    const char* src = static_cast<const char*>(bytes);
    int free = m_pTail ? s_iBufLen - m_pTail->nUsed : 0;
    int rest = length - (length < free ? length : free);
    DATABUFFER* first = nullptr;
    DATABUFFER* last = nullptr;
    for (int left = rest; left > 0; left -= s_iBufLen) {
        DATABUFFER* chunk = NewChunk();
        if (!chunk) {
            while (first) {
                DATABUFFER* next = first->pNext;
                std::free(first->pData);
                std::free(first);
                first = next;
            }
            m_bOverflow = true;
            return false;
        }
        (last ? last->pNext : first) = chunk;
        last = chunk;
    }
    int head = length - rest;
    if (head > 0) {
        std::memcpy(m_pTail->pData + m_pTail->nUsed, src, head);
        m_pTail->nUsed += head;
        src += head;
    }
    for (DATABUFFER* chunk = first; chunk; chunk = chunk->pNext) {
        chunk->nUsed = rest < s_iBufLen ? rest : s_iBufLen;
        std::memcpy(chunk->pData, src, chunk->nUsed);
        src += chunk->nUsed;
        rest -= chunk->nUsed;
    }
    if (first) {
        (m_pTail ? m_pTail->pNext : m_pHead) = first;
        m_pTail = last;
    }
    m_nTotal += length;
    return true;
}

bool CDataBuffer::AddStringToUTF8(const char16_t* text)
{
    if (!text)
        return false;
    std::string utf8 = CUnicodeTool::ToUtf8(text);
    return AddData(utf8.data(), static_cast<int>(utf8.size()));
}

int CDataBuffer::GetData(DATABUFFER** first) const
{
    if (m_nTotal > 0 && first)
        *first = m_pHead;
    return m_nTotal;
}

std::string CDataBuffer::Join() const
{
    std::string out;
    out.reserve(m_nTotal);
    for (const DATABUFFER* chunk = m_pHead; chunk; chunk = chunk->pNext)
        out.append(chunk->pData, chunk->nUsed);
    return out;
}

void CDataBuffer::ClearMemory()
{
    while (m_pHead) {
        DATABUFFER* next = m_pHead->pNext;
        std::free(m_pHead->pData);
        std::free(m_pHead);
        m_pHead = next;
    }
    m_pTail = nullptr;
    m_nTotal = 0;
    m_bOverflow = false;
}
