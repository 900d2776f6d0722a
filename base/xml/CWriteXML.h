#pragma once

#include <string>

#include "base/ZandrelExport.h"
#include "base/xml/CDataBuffer.h"

class CAtomicWriteFile;

// Base of every XML writer. A subclass appends its whole document to the
// buffer in FillData; the base runs FillData once per writer object and
// writes the result to a file or hands it out as text. Content is always
// UTF-8; escaping covers exactly & < > " and ', and characters XML 1.0
// cannot hold at all (control characters other than tab, LF and CR, U+FFFE,
// U+FFFF) are written as U+FFFD.
class ZANDREL_API CWriteXML {
public:
    // Namespaces of the documents; readers match the prefixes only.
    static constexpr char s_szKrvNamespace[] = "http://www.korvel.com/schema/krv";
    static constexpr char s_szProjectNamespace[] = "http://www.korvel.com/zandrel";
    static constexpr char s_szDcNamespace[] = "http://purl.org/dc/elements/1.1/";
    static constexpr char s_szSxNamespace[] = "http://www.microsoft.com/schemas/sse";

    CWriteXML();
    virtual ~CWriteXML();
    CWriteXML(const CWriteXML&) = delete;
    CWriteXML& operator=(const CWriteXML&) = delete;

    // The whole document as a new CSysString; null for an empty document
    // or one cut short by the size limit.
    virtual char16_t* GetXMLBSTR();
    // Writes the document to `path`. The file is replaced only once the
    // whole document is on disk: on any failure (folder not writable, empty
    // or oversized document) the old file stays as it was.
    [[nodiscard]] virtual bool SaveToFile(const char16_t* path);
    // SaveToFile over a file that has a second name `drop` (its "~" copy),
    // which goes once the new file has replaced it.
    [[nodiscard]] bool SaveReplacing(const char16_t* path, const char16_t* drop);

    // Names the encoding in the declaration (1 to 18 bytes; others are
    // ignored). The content stays UTF-8.
    void SetEncoding(const char* name);
    const char* GetEncoding() const { return m_szEncoding; }

    // Escapes `text` and converts it to a new NUL-terminated UTF-8 buffer
    // (free with CUnicodeTool::DeleteBuffer); false for null text or no memory.
    static bool GetXMLUTF8(const char16_t* text, char** bytes, int* length);
    // The same escaping, appended to `out`.
    static void AppendEscapedUTF8(const char16_t* text, std::string& out);

    const CDataBuffer* GetBuffer() const { return m_pBuffer; }

protected:
    // One element: start tag (`startLen` bytes, or all of it when negative),
    // the escaped text, end tag. False when the text cannot be converted.
    virtual bool FillNode(const char16_t* text, const char* startTag, const char* endTag, int startLen = -1);
    // As FillNode with a byte-string value appended unescaped (numbers,
    // identifiers).
    virtual bool FillNodeChar(const char* value, const char* startTag, const char* endTag, int startLen = -1);
    // Appends the whole document.
    virtual void FillData() = 0;

    // `<?xml version="1.0" encoding="…"?>` and LF.
    void AddXMLVersion();
    // Raw bytes; a negative length takes the whole NUL-terminated text.
    bool FillString(const char* bytes, int length = -1);
    // Escaped text without tags.
    bool FillXMLBSTR(const char16_t* text);
    // UTF-8 text, unescaped, without tags.
    bool FillBSTRString(const char16_t* text);
    // printf-style raw text (numbers and fixed markup only).
    bool FillFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // ` xmlns:krv="…" xmlns:dc="…" xmlns:sx="…"`, the declarations of the
    // RSS and OPML roots, in that order.
    void FillNamespaces();
    // The sharing element of a node: `<sx:sync id="…" version="…">` (no
    // version when it is 0), ` deleted="true"` before the `>` when asked,
    // then `</sx:sync>`, no line break. `uuid` is the UTF-8 identifier; it
    // is escaped here.
    void FillSync(const char* uuid, int version, bool deleted = false);
    // Start tag, "true" or "false", end tag.
    void FillBoolean(const char* startTag, bool value, const char* endTag);

    CDataBuffer* Buffer() { return m_pBuffer; }

private:
    // Escapes & < > " ' in `text` from byte `start` on and replaces what
    // XML cannot carry; the one place escaping is done.
    static void EscapeFrom(std::string& text, size_t start);
    // Runs FillData unless it already ran.
    void EnsureFilled();
    // Writes every chunk in order; false for an empty or oversized document.
    bool RealWrite(CAtomicWriteFile& file);

    CDataBuffer* m_pBuffer;
    char m_szEncoding[20];
    bool m_bFilled = false;
};
