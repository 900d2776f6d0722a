#include "base/model/CBaseNode.h"

#include "base/model/CModelStamp.h"
#include "base/tools/CBaseTool.h"

void CBaseNode::Delete(CBaseNode* node)
{
    delete node;
}

CBaseNode::~CBaseNode()
{
    CModelStamp::Bump();
}

namespace {

// `text` folded onto the end of `out`.
void AppendFolded(std::u16string& out, std::u16string_view text)
{
    for (char16_t c : text)
        out.push_back(CStringTool::FoldCase(c));
}

}  // namespace

void CBaseNode::SetName(const char16_t* name)
{
    CModelStamp::Bump();
    m_name = OptTextFrom(name);
    // The new folded name, then the NUL and the folded description kept.
    std::u16string_view rest = std::u16string_view(m_folded).substr(m_foldedNameLength);
    std::u16string folded;
    folded.reserve((m_name ? m_name->size() : 0) + rest.size());
    if (m_name)
        AppendFolded(folded, *m_name);
    m_foldedNameLength = folded.size();
    folded.append(rest);
    m_folded = std::move(folded);
}

void CBaseNode::SetDescription(const char16_t* text)
{
    CModelStamp::Bump();
    m_description = text ? text : u"";
    m_folded.resize(m_foldedNameLength + 1);
    AppendFolded(m_folded, m_description);
}

void CBaseNode::SetUUID(const char16_t* uuid)
{
    CModelStamp::Bump();
    int n = 0;
    if (uuid) {
        for (; n < kUUIDLength && uuid[n]; ++n)
            m_szUUID[n] = uuid[n];
    }
    m_szUUID[n] = u'\0';
}

bool CBaseNode::AssignUUID(CBaseNode* node)
{
    if (!node)
        return false;
    char16_t text[kUUIDLength + 1];
    CBaseTool::GetUUID(text, kUUIDLength + 1);
    node->SetUUID(text);
    return true;
}

bool CBaseNode::HasCheckedIn(int* state) const
{
    if (state)
        *state = m_nCheckedIn;
    return m_nCheckedIn == kCheckedIn;
}

void CBaseNode::CopyFrom(const CBaseNode& source)
{
    m_name = source.m_name;
    m_description = source.m_description;
    m_folded = source.m_folded;
    m_foldedNameLength = source.m_foldedNameLength;
    m_stat = source.m_stat;
    SetUUID(source.m_szUUID);
    m_nVersion = source.m_nVersion;
    m_nOrder = source.m_nOrder;
    m_nCheckedIn = source.m_nCheckedIn;
    m_nBaseBuild = source.m_nBaseBuild;
    m_bDeleted = source.m_bDeleted;
    m_ulNodeData = source.m_ulNodeData;
}
