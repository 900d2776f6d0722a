#include "base/xml/CReadXML.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "base/model/CNodeStat.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

// No network, no entity substitution, no DTD loading, no huge-document
// mode: libxml2's default limits then refuse entity bombs and deep trees.
// Short texts (numbers, flags) are kept inside their nodes: the readers
// only read the tree, and most attribute values then cost no allocation.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

// Text taken from entity references may not grow beyond this, and entities
// may not nest deeper.
constexpr size_t kMaxEntityText = 8u << 20;
constexpr int kMaxEntityNesting = 16;

void InitLibxml()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

}  // namespace

bool CReadXML::LoadFile(const char16_t* path)
{
    m_nErrorCode = -1;
    CReadFile file;
    if (!file.OpenFile(path)) {
        m_errorReason = errno == EINVAL || errno == EISDIR ? "not a regular file" : "cannot open the file";
        return false;
    }
    long size = file.GetFileSize();
    if (size > kMaxFileSize) {
        m_errorReason = "the file is too large";
        return false;
    }
    // The file was just opened at its start: one read of the size taken,
    // with no second look at the file (this runs for every collection).
    std::unique_ptr<char[]> bytes(size > 0 ? new (std::nothrow) char[static_cast<size_t>(size) + 1] : nullptr);
    long length = bytes ? file.ReadToBuffer(bytes.get(), size) : 0;
    if (length <= 0) {
        m_errorReason = "cannot read the file";
        return false;
    }
    bytes[length] = '\0';
    return Parse(bytes.get(), length, nullptr, CUnicodeTool::ToUtf8(path).c_str());
}

bool CReadXML::LoadXML(const void* bytes, long length)
{
    return Parse(static_cast<const char*>(bytes), length, nullptr, nullptr);
}

bool CReadXML::LoadBSTRXML(const char16_t* text)
{
    if (!text) {
        m_nErrorCode = -1;
        m_errorReason = "no text";
        return false;
    }
    std::string utf8 = CUnicodeTool::ToUtf8(text);
    return Parse(utf8.data(), static_cast<long>(utf8.size()), "UTF-8", nullptr);
}

bool CReadXML::Parse(const char* bytes, long length, const char* encoding, const char* url)
{
    m_nErrorCode = 0;
    m_errorReason.clear();
    if (!bytes || length <= 0 || length > kMaxFileSize) {
        m_nErrorCode = -1;
        m_errorReason = length <= 0 ? "empty document" : "the document is too large";
        return false;
    }
    InitLibxml();
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        m_nErrorCode = -1;
        m_errorReason = "out of memory";
        return false;
    }
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes, static_cast<int>(length), url, encoding, kParseOptions);
    if (!doc) {
        const xmlError* error = xmlCtxtGetLastError(ctxt);
        m_nErrorCode = error && error->code ? error->code : -1;
        m_errorReason = error && error->message ? error->message : "not well-formed";
        while (!m_errorReason.empty() && m_errorReason.back() == '\n')
            m_errorReason.pop_back();
        xmlFreeParserCtxt(ctxt);
        return false;
    }
    xmlFreeParserCtxt(ctxt);
    bool ok = true;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (root && !InvokeParser(root)) {
        DiscardResult();
        m_nErrorCode = -1;
        m_errorReason = "the document could not be read as a whole";
        ok = false;
    }
    xmlFreeDoc(doc);
    return ok;
}

void CParseXML::GoThroughChildNodes(XMLNode* node)
{
    if (m_bWalkFailed)
        return;
    ++m_nDepth;
    OnEnterNode(node);
    if (node->type == XML_ELEMENT_NODE)
        ProcessElementNode(node);
    // Entity references are not descended into: their content is shared by
    // every reference and would be walked once per use.
    if (node->type != XML_ENTITY_REF_NODE) {
        for (xmlNodePtr child = node->children; child && !m_bWalkFailed; child = child->next)
            GoThroughChildNodes(child);
    }
    OnLeaveNode(node);
    --m_nDepth;
}

bool CParseXML::IsElement(const XMLNode* node)
{
    return node && node->type == XML_ELEMENT_NODE;
}

bool CParseXML::IsName(const XMLNode* node, const char* qname)
{
    if (!IsElement(node))
        return false;
    const char* name = reinterpret_cast<const char*>(node->name);
    const char* prefix = node->ns && node->ns->prefix ? reinterpret_cast<const char*>(node->ns->prefix) : nullptr;
    if (!prefix)
        return std::strcmp(name, qname) == 0;
    size_t n = std::strlen(prefix);
    return std::strncmp(qname, prefix, n) == 0 && qname[n] == ':' && std::strcmp(qname + n + 1, name) == 0;
}

bool CParseXML::AppendText(const XMLNode* node, std::u16string& out, int nesting)
{
    for (const xmlNode* child = node->children; child; child = child->next) {
        switch (child->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (child->content)
                CUnicodeTool::AppendUtf16(reinterpret_cast<const char*>(child->content), out);
            break;
        case XML_ENTITY_REF_NODE: {
            // Only entities declared inside the document are resolved; the
            // parser never loaded anything from outside.
            const xmlEntity* entity = reinterpret_cast<const xmlEntity*>(child->children);
            if (!entity || entity->etype != XML_INTERNAL_GENERAL_ENTITY)
                break;
            size_t before = out.size();
            if (nesting >= kMaxEntityNesting || !AppendText(child->children, out, nesting + 1))
                return false;
            m_entityText += out.size() - before;
            if (m_entityText > kMaxEntityText)
                return false;
            break;
        }
        case XML_ELEMENT_NODE:
            if (!AppendText(child, out, nesting))
                return false;
            break;
        default:
            break;
        }
        if (out.size() > kMaxEntityText * 4)
            return false;
    }
    return true;
}

std::u16string CParseXML::GetText(const XMLNode* node)
{
    std::u16string out;
    if (node && !AppendText(node, out, 0)) {
        FailWalk();
        out.clear();
    }
    return out;
}

const std::u16string& CParseXML::ReadText(const XMLNode* node)
{
    m_text.clear();
    if (node && !AppendText(node, m_text, 0)) {
        FailWalk();
        m_text.clear();
    }
    return m_text;
}

void CParseXML::ForEachAttribute(const XMLNode* node,
                                 const std::function<void(const char*, const std::u16string&)>& visit)
{
    if (!IsElement(node))
        return;
    std::string qname;
    // One buffer serves every value; `visit` only reads it during the call.
    std::u16string value;
    for (const xmlAttr* attr = node->properties; attr && !m_bWalkFailed; attr = attr->next) {
        const char* name = reinterpret_cast<const char*>(attr->name);
        if (attr->ns && attr->ns->prefix) {
            qname.assign(reinterpret_cast<const char*>(attr->ns->prefix));
            qname += ':';
            qname += name;
            name = qname.c_str();
        }
        value.clear();
        if (!AppendText(reinterpret_cast<const xmlNode*>(attr), value, 0)) {
            FailWalk();
            return;
        }
        visit(name, value);
    }
}

long CParseXML::ToLong(const std::u16string& value)
{
    // Only ASCII digits, signs and spaces can make up a number, so the
    // rest is narrowed to '?' and ends the digits.
    char narrow[21];
    size_t n = 0;
    for (; n < 20 && n < value.size(); ++n)
        narrow[n] = value[n] < 0x80 ? static_cast<char>(value[n]) : '?';
    narrow[n] = '\0';
    return std::strtol(narrow, nullptr, 10);
}

void CParseXML::ProcessNodeStat(XMLNode* node, CNodeStat* stat)
{
    ForEachAttribute(node, [stat](const char* name, const std::u16string& value) {
        long t = ToLong(value);
        if (std::strcmp(name, "addDate") == 0)
            stat->SetStatTime(t, 0, 0, CNodeStat::STAT_ADDED);
        else if (std::strcmp(name, "lastModified") == 0)
            stat->SetStatTime(0, t, 0, CNodeStat::STAT_MODIFIED);
        else if (std::strcmp(name, "lastVisit") == 0)
            stat->SetStatTime(0, 0, t, CNodeStat::STAT_VISITED);
    });
}
