#include "base/model/RNTool.h"

#include <utility>
#include <vector>

#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/tools/CBaseTool.h"

namespace {

// The head is the one member whose previous record has no successor.
bool IsHead(const RNode* node)
{
    return node->GetPrev()->GetNext() == nullptr;
}

void MakeLone(RNode* node)
{
    node->SetParent(nullptr);
    node->SetNext(nullptr);
    node->SetPrev(node);
}

// Takes `node` out of its parent's children: alone, head, tail or middle.
void UnlinkFromParent(RNode* node)
{
    RNode* parent = node->GetParent();
    RNode* prev = node->GetPrev();
    RNode* next = node->GetNext();
    if (IsHead(node)) {
        if (next)
            next->SetPrev(prev);  // the successor keeps the link to the tail
        parent->SetChild(next);
    } else if (!next) {
        parent->GetChild()->SetPrev(prev);
        prev->SetNext(nullptr);
    } else {
        prev->SetNext(next);
        next->SetPrev(prev);
    }
    MakeLone(node);
}

}  // namespace

void RNTool::InsertAsChild(RNode* parent, RNode* node)
{
    RNode* head = parent->GetChild();
    node->SetParent(parent);
    node->SetNext(nullptr);
    if (!head) {
        node->SetPrev(node);
        parent->SetChild(node);
        return;
    }
    RNode* tail = head->GetPrev();
    tail->SetNext(node);
    node->SetPrev(tail);
    head->SetPrev(node);
}

void RNTool::InsertAsHeadChild(RNode* parent, RNode* node)
{
    RNode* head = parent->GetChild();
    if (!head) {
        InsertAsChild(parent, node);
        return;
    }
    node->SetParent(parent);
    node->SetPrev(head->GetPrev());
    node->SetNext(head);
    head->SetPrev(node);
    parent->SetChild(node);
}

void RNTool::InsertAfter(RNode* ref, RNode* node)
{
    RNode* next = ref->GetNext();
    RNode* head = next ? nullptr : GetHeadNode(ref);
    node->SetParent(ref->GetParent());
    node->SetPrev(ref);
    node->SetNext(next);
    ref->SetNext(node);
    if (next)
        next->SetPrev(node);
    else
        head->SetPrev(node);  // `node` is the new tail
}

void RNTool::InsertBefore(RNode* ref, RNode* node)
{
    RNode* parent = ref->GetParent();
    RNode* prev = ref->GetPrev();
    node->SetParent(parent);
    node->SetNext(ref);
    node->SetPrev(prev);
    if (IsHead(ref)) {
        if (parent)
            parent->SetChild(node);
    } else {
        prev->SetNext(node);
    }
    ref->SetPrev(node);
}

void RNTool::InsertAsHead(RNode* ref, RNode* node)
{
    InsertBefore(GetHeadNode(ref), node);
}

void RNTool::InsertAsLast(RNode* ref, RNode* node)
{
    InsertAfter(GetHeadNode(ref)->GetPrev(), node);
}

bool RNTool::RemoveOneChild(RNode* parent, RNode* node)
{
    if (!parent || !node)
        return false;
    RNode* child = parent->GetChild();
    while (child && child != node)
        child = child->GetNext();
    if (!child)
        return false;
    UnlinkFromParent(node);
    return true;
}

void RNTool::MoveRNodeInDataTree(RNode* newParent, RNode* node, RNode* before)
{
    if (before == node)
        return;
    UnlinkFromParent(node);
    if (before)
        InsertBefore(before, node);
    else
        InsertAsChild(newParent, node);
}

void RNTool::ReplaceSingleRNode(RNode* oldNode, RNode* newNode)
{
    RNode* parent = oldNode->GetParent();
    RNode* prev = oldNode->GetPrev();
    RNode* next = oldNode->GetNext();
    newNode->SetParent(parent);
    newNode->SetNext(next);
    if (IsHead(oldNode)) {
        parent->SetChild(newNode);
        if (next) {
            newNode->SetPrev(prev);
            next->SetPrev(newNode);
        } else {
            newNode->SetPrev(newNode);
        }
    } else {
        newNode->SetPrev(prev);
        prev->SetNext(newNode);
        if (next)
            next->SetPrev(newNode);
        else
            parent->GetChild()->SetPrev(newNode);
    }
    MakeLone(oldNode);
}

RNode* RNTool::SetParent(RNode* node, RNode* newParent)
{
    RNode* oldParent = node->GetParent();
    RNode* head = GetHeadNode(node);
    if (oldParent)
        oldParent->SetChild(nullptr);
    newParent->SetChild(head);
    for (RNode* n = head; n; n = n->GetNext())
        n->SetParent(newParent);
    return oldParent;
}

RNode* RNTool::GerPrevNode(RNode* node)
{
    return IsHead(node) ? nullptr : node->GetPrev();
}

RNode* RNTool::GetHeadNode(RNode* node)
{
    if (node->GetParent())
        return node->GetParent()->GetChild();
    while (!IsHead(node))
        node = node->GetPrev();
    return node;
}

RNode* RNTool::GetRootNode(RNode* node)
{
    while (node->GetParent())
        node = node->GetParent();
    return node;
}

RNode* RNTool::FindRNodeByName(RNode* parent, const char16_t* name, tagNODETYPE type)
{
    for (RNode* child = parent->GetChild(); child; child = child->GetNext()) {
        if (child->GetType() == type && child->GetData() &&
            CStringTool::Equal(child->GetData()->GetName(), name))
            return child;
    }
    return nullptr;
}

void RNTool::CopyChildren(RNode* dst, RNode* src, bool deep)
{
    // An explicit stack: a hostile file may nest folders deeper than the
    // call stack would allow.
    std::vector<std::pair<RNode*, RNode*>> pending{{dst, src}};
    while (!pending.empty()) {
        auto [to, from] = pending.back();
        pending.pop_back();
        for (RNode* child = from->GetChild(); child; child = child->GetNext()) {
            RNode* copy = nullptr;
            if (child->GetType() == NT_FOLDER) {
                CFolderNode* folder = CFolderNode::New(static_cast<CFolderNode*>(child->GetData()));
                copy = folder ? RNode::New2(folder, NT_FOLDER) : nullptr;
                if (!copy) {
                    CBaseNode::Delete(folder);
                    continue;
                }
                if (deep)
                    pending.emplace_back(copy, child);
            } else if (child->GetType() == NT_URL) {
                CUrlNode* item = CUrlNode::New(static_cast<CUrlNode*>(child->GetData()));
                copy = item ? RNode::New2(item, NT_URL) : nullptr;
                if (!copy) {
                    CBaseNode::Delete(item);
                    continue;
                }
            } else {
                continue;
            }
            InsertAsChild(to, copy);
        }
    }
}

void RNTool::AddAllFolderChildren(RNode* dst, RNode* src)
{
    CopyChildren(dst, src, true);
}

void RNTool::AddFirstLevelFolderChildren(RNode* dst, RNode* src)
{
    CopyChildren(dst, src, false);
}

void RNTool::MarkRNodeGoThrough(RNode* node, unsigned long value, bool markFolders)
{
    if (!node)
        return;
    std::vector<RNode*> pending{node};
    while (!pending.empty()) {
        RNode* from = pending.back();
        pending.pop_back();
        for (RNode* child = from->GetChild(); child; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER) {
                if (markFolders)
                    child->SetExtData(value);
                pending.push_back(child);
            } else {
                child->SetExtData(value);
            }
        }
    }
}

void RNTool::DeleteTree(RNode* root)
{
    if (!root)
        return;
    std::vector<RNode*> pending{root};
    while (!pending.empty()) {
        RNode* rnode = pending.back();
        pending.pop_back();
        for (RNode* child = rnode->GetChild(); child; child = child->GetNext())
            pending.push_back(child);
        if (rnode->GetType() == NT_COLCT)
            CColctNode::DeleteAll(static_cast<CColctNode*>(rnode->GetData()));
        else
            CBaseNode::Delete(rnode->GetData());
        RNode::Delete(rnode);
    }
}

char16_t* RNTool::CreateUUID()
{
    return CBaseTool::NewUUIDString();
}
