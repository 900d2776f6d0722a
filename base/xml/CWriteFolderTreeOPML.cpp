#include "base/xml/CWriteFolderTreeOPML.h"

#include <string>
#include <string_view>

#include "base/model/CFolderNode.h"
#include "base/model/RNode.h"
#include "base/tools/CUnicodeTool.h"

namespace {

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

void CWriteFolderTreeOPML::FillData()
{
    Buffer()->Reset();
    if (!m_pRoot || m_pRoot->GetType() != NT_FOLDER || !m_pRoot->GetData())
        return;
    AddHead();
    FillNodeUUID(m_pRoot->GetData());
    FillFolderStructure(m_pRoot);
    AddTail();
}

void CWriteFolderTreeOPML::AddHead()
{
    AddXMLVersion();
    FillString("<opml version=\"2.0\"");
    FillNamespaces();
    FillString(">\r\n<head><title>");
    const char16_t* name = m_pRoot->GetData()->GetName();
    char* bytes = nullptr;
    int length = 0;
    if (!name || !*name) {
        FillString("No name collections");
    } else if (GetXMLUTF8(name, &bytes, &length)) {
        FillString(bytes, length);
        CUnicodeTool::DeleteBuffer(bytes);
    } else {
        FillString("My Collections");
    }
    FillString("</title>");
    if (m_nOpmlVersion != 0)
        FillFormat("<krv:opml version=\"%d\" />\r\n", m_nOpmlVersion);
    FillString("</head><body>");
}

void CWriteFolderTreeOPML::FillFolderStructure(RNode* node)
{
    auto* folder = static_cast<CFolderNode*>(node->GetData());
    FillString("<outline");
    FillFolderAttribute(folder);
    FillString(">");
    FillNodeUUID(folder);
    FillFolderProp(folder);
    for (RNode* child = node->GetChild(); child; child = child->GetNext()) {
        if (child->GetType() == NT_FOLDER && child->GetData())
            FillFolderStructure(child);
    }
    FillString("</outline>\r\n");
}

void CWriteFolderTreeOPML::FillNodeUUID(CBaseNode* node)
{
    const char16_t* uuid = node->GetUUID();
    if (!*uuid)
        return;
    // Identifiers are plain hex, but one read from a foreign file may hold
    // anything; escaped, it cannot break the document.
    std::string escaped;
    AppendEscapedUTF8(uuid, escaped);
    FillSync(escaped.c_str(), node->GetVersion());
}

void CWriteFolderTreeOPML::FillFolderAttribute(CFolderNode* folder)
{
    std::u16string_view name = folder->GetName() ? folder->GetName() : u"";
    if (name.empty())
        name = u"No name";
    if (name.size() > kMaxNameLength) {
        size_t cut = kMaxNameLength;
        // Never keep half of a surrogate pair.
        if (IsHighSurrogate(name[cut - 1]))
            --cut;
        name = name.substr(0, cut);
    }
    std::string attribute = " text=\"";
    AppendEscapedUTF8(std::u16string(name).c_str(), attribute);
    attribute += '"';
    const char16_t* description = folder->GetDescription();
    if (description && *description) {
        attribute += " description=\"";
        AppendEscapedUTF8(description, attribute);
        attribute += '"';
    }
    FillString(attribute.data(), static_cast<int>(attribute.size()));
}

void CWriteFolderTreeOPML::FillFolderProp(CFolderNode* folder)
{
    if (!folder->HasPage() && !folder->HasTag() && !folder->IsFolderOpen())
        return;
    FillString("<krv:fprop");
    if (folder->HasPage())
        FillString(" page=\"true\"");
    if (folder->HasTag())
        FillString(" tag=\"true\"");
    if (folder->IsFolderOpen())
        FillString(" expand=\"true\"");
    FillString(" />\r\n");
}

void CWriteFolderTreeOPML::AddTail()
{
    FillString("</body></opml>");
}
