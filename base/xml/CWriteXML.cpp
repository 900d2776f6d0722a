#include "base/xml/CWriteXML.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/tools/CStringTool.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CWriteFile.h"

CWriteXML::CWriteXML() : m_pBuffer(new CDataBuffer())
{
    std::strcpy(m_szEncoding, "UTF-8");
}

CWriteXML::~CWriteXML()
{
    delete m_pBuffer;
}

void CWriteXML::SetEncoding(const char* name)
{
    size_t length = name ? std::strlen(name) : 0;
    if (length >= 1 && length <= 18)
        std::memcpy(m_szEncoding, name, length + 1);
}

namespace {

// Bytes that may need work: the five markup characters, control characters
// other than tab, LF and CR, and 0xEF, which leads U+FFFE and U+FFFF.
struct SpecialBytes {
    bool table[256] = {};
    constexpr SpecialBytes()
    {
        for (int c = 0; c < 0x20; ++c)
            table[c] = c != '\t' && c != '\n' && c != '\r';
        for (unsigned char c : {'&', '<', '>', '"', '\'', static_cast<char>(0xEF)})
            table[c] = true;
    }
};
constexpr SpecialBytes kSpecial;

bool IsNonCharacter(const std::string& text, size_t i)
{
    return i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
           (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE;
}

size_t SkipPlain(const std::string& text, size_t i)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (; i < text.size(); ++i) {
        if (kSpecial.table[bytes[i]] && (bytes[i] != 0xEF || IsNonCharacter(text, i)))
            break;
    }
    return i;
}

}  // namespace

void CWriteXML::EscapeFrom(std::string& text, size_t start)
{
    // The five characters are ASCII, so escaping UTF-8 bytes is the same as
    // escaping the UTF-16 text they came from. Characters XML cannot carry
    // at all would make the whole file unreadable, so they become U+FFFD.
    size_t first = SkipPlain(text, start);
    if (first == text.size())
        return;
    thread_local std::string tail;
    tail.assign(text, first, std::string::npos);
    text.resize(first);
    for (size_t i = 0; i < tail.size();) {
        size_t plain = SkipPlain(tail, i);
        text.append(tail, i, plain - i);
        if (plain == tail.size())
            break;
        switch (tail[plain]) {
        case '&': text += "&amp;"; break;
        case '<': text += "&lt;"; break;
        case '>': text += "&gt;"; break;
        case '"': text += "&quot;"; break;
        case '\'': text += "&apos;"; break;
        default:
            text += "\xEF\xBF\xBD";
            if (static_cast<unsigned char>(tail[plain]) == 0xEF)
                plain += 2;
        }
        i = plain + 1;
    }
}

void CWriteXML::AppendEscapedUTF8(const char16_t* text, std::string& out)
{
    size_t start = out.size();
    CUnicodeTool::AppendUtf8(text ? text : u"", out);
    EscapeFrom(out, start);
}

bool CWriteXML::GetXMLUTF8(const char16_t* text, char** bytes, int* length)
{
    if (!text || !bytes)
        return false;
    std::string escaped;
    AppendEscapedUTF8(text, escaped);
    char* out = static_cast<char*>(std::malloc(escaped.size() + 1));
    if (!out)
        return false;
    std::memcpy(out, escaped.c_str(), escaped.size() + 1);
    *bytes = out;
    if (length)
        *length = static_cast<int>(escaped.size());
    return true;
}

bool CWriteXML::FillString(const char* bytes, int length)
{
    if (!bytes)
        return false;
    return m_pBuffer->AddData(bytes, length < 0 ? static_cast<int>(std::strlen(bytes)) : length);
}

bool CWriteXML::FillXMLBSTR(const char16_t* text)
{
    if (!text)
        return false;
    thread_local std::string escaped;
    escaped.clear();
    AppendEscapedUTF8(text, escaped);
    return m_pBuffer->AddData(escaped.data(), static_cast<int>(escaped.size()));
}

bool CWriteXML::FillBSTRString(const char16_t* text)
{
    return m_pBuffer->AddStringToUTF8(text);
}

bool CWriteXML::FillFormat(const char* format, ...)
{
    std::string text;
    va_list args;
    va_start(args, format);
    bool ok = CStringTool::AppendFormatV(text, format, args);
    va_end(args);
    return ok && m_pBuffer->AddData(text.data(), static_cast<int>(text.size()));
}

bool CWriteXML::FillNode(const char16_t* text, const char* startTag, const char* endTag, int startLen)
{
    if (!text)
        return false;
    FillString(startTag, startLen);
    FillXMLBSTR(text);
    return FillString(endTag);
}

bool CWriteXML::FillNodeChar(const char* value, const char* startTag, const char* endTag, int startLen)
{
    if (!value)
        return false;
    FillString(startTag, startLen);
    FillString(value);
    return FillString(endTag);
}

void CWriteXML::AddXMLVersion()
{
    FillString("<?xml version=\"1.0\" encoding=\"");
    FillString(m_szEncoding);
    FillString("\"?>\n");
}

void CWriteXML::FillNamespaces()
{
    FillFormat(" xmlns:krv=\"%s\" xmlns:dc=\"%s\" xmlns:sx=\"%s\"", s_szKrvNamespace, s_szDcNamespace,
               s_szSxNamespace);
}

void CWriteXML::FillSync(const char* uuid, int version, bool deleted)
{
    // Identifiers come from files too, so they are escaped like any text.
    thread_local std::string element;
    element.assign("<sx:sync id=\"");
    size_t start = element.size();
    element += uuid ? uuid : "";
    EscapeFrom(element, start);
    if (version != 0) {
        element += "\" version=\"";
        element += std::to_string(version);
    }
    element += deleted ? "\" deleted=\"true\"></sx:sync>" : "\"></sx:sync>";
    m_pBuffer->AddData(element.data(), static_cast<int>(element.size()));
}

void CWriteXML::FillBoolean(const char* startTag, bool value, const char* endTag)
{
    FillString(startTag);
    FillString(value ? "true" : "false");
    FillString(endTag);
}

void CWriteXML::EnsureFilled()
{
    if (!m_bFilled) {
        m_bFilled = true;
        FillData();
    }
}

bool CWriteXML::RealWrite(CAtomicWriteFile& file)
{
    DATABUFFER* chunk = nullptr;
    int total = m_pBuffer->GetData(&chunk);
    if (total <= 0)
        return false;
    if (total >= CDataBuffer::s_iMaxTotal || m_pBuffer->HasOverflowed()) {
        errno = EFBIG;
        return false;
    }
    // One system call for many chunks rather than one each.
    std::vector<iovec> parts;
    parts.reserve(static_cast<size_t>(total / CDataBuffer::s_iBufLen + 1));
    for (; chunk; chunk = chunk->pNext)
        parts.push_back({chunk->pData, static_cast<size_t>(chunk->nUsed)});
    return file.Write(parts.data(), parts.size());
}

bool CWriteXML::SaveToFile(const char16_t* path)
{
    return SaveReplacing(path, nullptr);
}

bool CWriteXML::SaveReplacing(const char16_t* path, const char16_t* drop)
{
    CAtomicWriteFile file;
    if (!file.Open(path))
        return false;
    EnsureFilled();
    return RealWrite(file) && file.Commit(drop ? CUnicodeTool::ToUtf8(drop).c_str() : nullptr);
}

char16_t* CWriteXML::GetXMLBSTR()
{
    EnsureFilled();
    if (m_pBuffer->GetLength() == 0 || m_pBuffer->HasOverflowed())
        return nullptr;
    std::u16string text = CUnicodeTool::FromUtf8(m_pBuffer->Join());
    if (text.empty())
        return nullptr;
    return CSysString::AllocLen(text.data(), static_cast<uint32_t>(text.size()));
}
