#include "base/net/CReadNetXML.h"

#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <string>

#include "base/model/CColctItemID.h"
#include "base/model/CColctNode.h"
#include "base/model/CNodeStat.h"
#include "base/tools/CQVTime.h"

CReadNetXML::CReadNetXML() : TReadOwnedXML("korvel", &DeleteRColctItemList) {}

void CReadNetXML::DeleteRColctItemList(RColctItem* head)
{
    while (head) {
        RColctItem* next = head->GetNext();
        CColctNode::DeleteAll(head->GetData());
        RColctItem::Delete(head);
        head = next;
    }
}

void CReadNetXML::ParseXMLTree(XMLNode* root)
{
    for (XMLNode* child = root->children; child; child = child->next) {
        if (!IsName(child, "collections"))
            continue;
        for (XMLNode* colct = child->children; colct; colct = colct->next)
            ProcessElementNode(colct);
    }
}

void CReadNetXML::ProcessElementNode(XMLNode* node)
{
    if (IsName(node, "colct"))
        ProcessColct(node);
}

void CReadNetXML::ProcessColct(XMLNode* node)
{
    CColctNode* colct = CColctNode::New();
    if (!colct) {
        FailWalk();
        return;
    }
    for (XMLNode* child = node->children; child; child = child->next) {
        if (!IsElement(child))
            continue;
        if (IsName(child, "title")) {
            colct->SetName(GetText(child).c_str());
        } else if (IsName(child, "link")) {
            colct->SetUrl(GetText(child).c_str());
        } else if (IsName(child, "description")) {
            colct->SetDescription(GetText(child).c_str());
        } else if (IsName(child, "uuid")) {
            colct->SetUUID(GetText(child).c_str());
        } else if (IsName(child, "modified")) {
            long t = 0;
            if (CQVTime::GetEpochTimeFromDCDateBSTR(&t, GetText(child).c_str()))
                colct->GetNodeStat()->SetStatTime(0, t, 0, CNodeStat::STAT_MODIFIED);
        } else if (IsName(child, "stat")) {
            ReadStat(child, colct->GetNodeStat());
        } else if (IsName(child, "sx:sync")) {
            ReadSync(child, colct);
        }
    }
    RColctItem* rec = RColctItem::New(colct);
    if (!rec) {
        CColctNode::DeleteAll(colct);
        FailWalk();
        return;
    }
    if (!m_pResult) {
        m_pResult = rec;
    } else {
        RColctItem* tail = m_pResult->GetPrev();
        tail->SetNext(rec);
        rec->SetPrev(tail);
        m_pResult->SetPrev(rec);
    }
}

void CReadNetXML::ReadStat(XMLNode* node, CNodeStat* stat)
{
    // The names of the collection file and those of the older stat element.
    ForEachAttribute(node, [stat](const char* name, const std::u16string& value) {
        auto is = [name](const char* expected) { return std::strcmp(name, expected) == 0; };
        if (is("added") || is("addDate")) {
            stat->SetStatTime(ToLong(value), 0, 0, CNodeStat::STAT_ADDED);
        } else if (is("modified") || is("lastModified")) {
            stat->SetStatTime(0, ToLong(value), 0, CNodeStat::STAT_MODIFIED);
        } else if (is("lastVisited") || is("lastVisit")) {
            stat->SetStatTime(0, 0, ToLong(value), CNodeStat::STAT_VISITED);
        } else if (is("flag")) {
            long flag = ToLong(value);
            if (flag >= 0 && flag <= CNodeStat::kMaxFlag)
                stat->SetFlag(static_cast<int>(flag));
        } else if (is("unread") && value == u"true") {
            stat->MarkAsUnread(true);
        }
    });
}

void CReadNetXML::ReadSync(XMLNode* node, CBaseNode* base)
{
    ForEachAttribute(node, [base](const char* name, const std::u16string& value) {
        if (std::strcmp(name, "id") == 0) {
            base->SetUUID(value.c_str());
        } else if (std::strcmp(name, "version") == 0) {
            long v = ToLong(value);
            base->SetVersion(v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v));
        } else if (std::strcmp(name, "deleted") == 0 && value == u"true") {
            base->SetAsDeleted(true);
        }
    });
}
