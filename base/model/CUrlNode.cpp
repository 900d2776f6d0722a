#include "base/model/CUrlNode.h"

#include <new>

#include "base/model/CModelStamp.h"
#include "base/model/CUrlProp.h"

namespace {

OptText LimitedCopy(const char16_t* text)
{
    if (!text || CStringTool::Length(text) > CUrlNode::kMaxUrlLength)
        return std::nullopt;
    return OptText(text);
}

}  // namespace

CUrlNode::CUrlNode() : m_url(u"about:blank") {}

CUrlNode::~CUrlNode()
{
    delete m_pProp;
}

CUrlNode* CUrlNode::New()
{
    return new (std::nothrow) CUrlNode();
}

CUrlNode* CUrlNode::New(CUrlNode* source)
{
    if (!source)
        return nullptr;
    CUrlNode* item = New();
    if (item)
        item->CopyFrom(*source);
    return item;
}

void CUrlNode::CopyFrom(const CUrlNode& source)
{
    CBaseNode::CopyFrom(source);  // counts as a change
    m_url = source.m_url;
    m_author = source.m_author;
    m_relationUrl = source.m_relationUrl;
    m_itemType = source.m_itemType;
    delete m_pProp;
    m_pProp = source.m_pProp ? new (std::nothrow) CUrlProp(*source.m_pProp) : nullptr;
}

bool CUrlNode::SetUrl(const char16_t* url)
{
    if (url && CStringTool::Length(url) > kMaxUrlLength)
        return false;
    CModelStamp::Bump();
    m_url = OptTextFrom(url);
    return true;
}

bool CUrlNode::HasUrl() const
{
    return m_url && !m_url->empty() && *m_url != u"about:blank";
}

void CUrlNode::SetAuthor(const char16_t* text)
{
    m_author = LimitedCopy(text);
}

void CUrlNode::SetRelationUrl(const char16_t* text)
{
    m_relationUrl = LimitedCopy(text);
}

CUrlProp* CUrlNode::GetUrlProp()
{
    if (!m_pProp)
        m_pProp = new (std::nothrow) CUrlProp();
    return m_pProp;
}
