#include "base/xml/CReadZandrelXML.h"

#include "base/model/CZandrelProject.h"

CReadZandrelXML::CReadZandrelXML() : TReadOwnedXML("zandrel", &CZandrelProject::Delete) {}

void CReadZandrelXML::ProcessElementNode(XMLNode* node)
{
    if (m_scope == SCOPE_ITEM)
        ProcessElmItemScope(node);
    else
        ProcessElmRootScope(node);
}

void CReadZandrelXML::ProcessElmRootScope(XMLNode* node)
{
    if (IsName(node, "zandrel")) {
        // A nested root starts the project over.
        SetScope(SCOPE_ROOT);
        CZandrelProject::Delete(m_pResult);
        m_pResult = CZandrelProject::New();
        return;
    }
    if (!m_pResult)
        return;
    if (IsName(node, "version")) {
        SetScope(SCOPE_ITEM);
        SetProjectVersion(GetText(node));
    } else if (IsName(node, "title")) {
        SetScope(SCOPE_ITEM);
        m_pResult->SetName(GetText(node).c_str());
    } else if (IsName(node, "path")) {
        SetScope(SCOPE_ITEM);
        m_pResult->SetContentPath(GetText(node).c_str());
    } else if (IsName(node, "uuid")) {
        SetScope(SCOPE_ITEM);
        m_pResult->SetUUID(GetText(node).c_str());
    } else if (IsName(node, "stat")) {
        SetScope(SCOPE_ITEM);
        ProcessNodeStat(node, m_pResult->GetNodeStat());
    }
}

void CReadZandrelXML::OnLeaveNode(XMLNode* node)
{
    if (IsElement(node))
        BackScope();
}

void CReadZandrelXML::BackScope()
{
    if (m_scope == SCOPE_ITEM)
        m_scope = SCOPE_ROOT;
}

void CReadZandrelXML::SetProjectVersion(const std::u16string& text)
{
    if (text.size() < 5 || text.size() > 20)
        return;
    int numbers[3] = {1, 0, 0};
    size_t start = 0;
    for (int i = 0; i < 3 && start <= text.size(); ++i) {
        size_t stop = text.find(u'.', start);
        if (stop == std::u16string::npos)
            stop = text.size();
        numbers[i] = static_cast<int>(ToLong(text.substr(start, stop - start)));
        start = stop + 1;
    }
    m_pResult->SetVersion(numbers[0], numbers[1], numbers[2]);
}
