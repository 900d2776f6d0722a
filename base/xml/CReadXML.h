#pragma once

#include <functional>
#include <string>

#include "base/ZandrelExport.h"
#include "base/xml/CDataBuffer.h"

struct _xmlNode;
using XMLNode = _xmlNode;
class CNodeStat;

// Loads a whole document and hands its root element to the reader. The
// parser never touches the network, never loads external entities or DTDs
// and keeps libxml2's limits against entity bombs and deep nesting.
class ZANDREL_API CReadXML {
public:
    // Larger files are refused rather than read into memory. It is the
    // largest document the writers save, so whatever reads can be saved.
    static constexpr long kMaxFileSize = CDataBuffer::s_iMaxTotal - 1;

    CReadXML() = default;
    virtual ~CReadXML() = default;
    CReadXML(const CReadXML&) = delete;
    CReadXML& operator=(const CReadXML&) = delete;

    // Parses the file at `path`. False when it cannot be read or is not
    // well-formed, or when the walk failed; no result is then kept. A
    // well-formed document with an unexpected root loads (true) but gives
    // no result.
    bool LoadFile(const char16_t* path);
    // Parses `length` bytes; the encoding comes from a byte-order mark or
    // the declaration, UTF-8 otherwise.
    bool LoadXML(const void* bytes, long length);
    // Parses a document held as UTF-16 text (its declared encoding is moot).
    bool LoadBSTRXML(const char16_t* text);

    // Why the last load failed, for diagnostics: the parser's error code
    // (-1 for a file that could not be read) and its reason.
    int GetErrorCode() const { return m_nErrorCode; }
    const std::string& GetErrorReason() const { return m_errorReason; }

protected:
    // Checks the root's name and walks it; false when the walk failed.
    virtual bool InvokeParser(XMLNode* root) = 0;
    // Drops whatever a failed walk built.
    virtual void DiscardResult() = 0;

private:
    bool Parse(const char* bytes, long length, const char* encoding, const char* url);

    int m_nErrorCode = 0;
    std::string m_errorReason;
};

// Depth-first walk over a document: every node is entered, elements are
// processed before their descendants, and every node is left after them.
class ZANDREL_API CParseXML {
public:
    CParseXML() = default;
    virtual ~CParseXML() = default;
    CParseXML(const CParseXML&) = delete;
    CParseXML& operator=(const CParseXML&) = delete;

    // The walker's result, handed over to the caller; none in the base.
    virtual void* DetachData() { return nullptr; }

    // Whether the walk stopped on an error (its result must be dropped).
    bool HasWalkFailed() const { return m_bWalkFailed; }

protected:
    virtual void ParseXMLTree(XMLNode* root) = 0;
    virtual void OnEnterNode(XMLNode*) {}
    virtual void OnLeaveNode(XMLNode*) {}
    virtual void GoThroughChildNodes(XMLNode* node);
    // Called once for every element node.
    virtual void ProcessElementNode(XMLNode* node) = 0;

    // Reads addDate, lastModified and lastVisit into `stat`.
    void ProcessNodeStat(XMLNode* node, CNodeStat* stat);

    // Whether `node` is an element whose qualified name is exactly `qname`
    // ("krv:stat", "title").
    static bool IsName(const XMLNode* node, const char* qname);
    static bool IsElement(const XMLNode* node);
    // The concatenated text below `node`, entity references resolved.
    std::u16string GetText(const XMLNode* node);
    // The same in a buffer of the walker's, valid until the next call: for
    // hot paths that only copy the text on.
    const std::u16string& ReadText(const XMLNode* node);
    // Calls `visit` with the qualified name and the value of each attribute
    // in document order.
    void ForEachAttribute(const XMLNode* node,
                          const std::function<void(const char* qname, const std::u16string& value)>& visit);
    // A decimal number as the C library's atol reads it, from at most the
    // first 20 characters; 0 without digits.
    static long ToLong(const std::u16string& value);
    // Stops the walk; the load then fails and leaves no result.
    void FailWalk() { m_bWalkFailed = true; }

    int m_nDepth = 0;

private:
    bool AppendText(const XMLNode* node, std::u16string& out, int nesting);

    bool m_bWalkFailed = false;
    size_t m_entityText = 0;
    std::u16string m_text;
};
