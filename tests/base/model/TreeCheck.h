#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/model/CBaseNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNTool.h"
#include "base/tools/CUnicodeTool.h"

// Checks the sibling-chain invariants of every chain in the tree below
// (and including) `root`: the head's previous link is the tail, the tail
// has no next, previous and next links mirror each other, each member
// points at the parent and the parent's first child is the head.
inline testing::AssertionResult TreeIsConsistent(const RNode* root)
{
    std::set<const RNode*> seen;
    std::vector<const RNode*> pending{root};
    if (root->GetParent() == nullptr && root->GetPrev() != root)
        return testing::AssertionFailure() << "root is not alone in its chain";
    while (!pending.empty()) {
        const RNode* parent = pending.back();
        pending.pop_back();
        const RNode* head = parent->GetChild();
        if (!head)
            continue;
        if (head->GetPrev()->GetNext() != nullptr)
            return testing::AssertionFailure() << "head's previous record is not the tail";
        const RNode* last = nullptr;
        for (const RNode* n = head; n; n = n->GetNext()) {
            if (!seen.insert(n).second)
                return testing::AssertionFailure() << "record reached twice (cycle)";
            if (n->GetParent() != parent)
                return testing::AssertionFailure() << "member with a wrong parent";
            if (n != head && n->GetPrev() != last)
                return testing::AssertionFailure() << "previous link does not mirror next";
            if (n != head && n->GetPrev()->GetNext() != n)
                return testing::AssertionFailure() << "next link does not mirror previous";
            last = n;
            pending.push_back(n);
        }
        if (head->GetPrev() != last)
            return testing::AssertionFailure() << "head does not point at the tail";
    }
    return testing::AssertionSuccess();
}

inline testing::AssertionResult IsLone(const RNode* n)
{
    if (n->GetParent() || n->GetNext() || n->GetPrev() != n)
        return testing::AssertionFailure() << "record is still linked";
    return testing::AssertionSuccess();
}

// Names of the children of `parent`, in chain order.
inline std::vector<std::string> ChildNames(const RNode* parent)
{
    std::vector<std::string> names;
    for (const RNode* n = parent->GetChild(); n; n = n->GetNext())
        names.push_back(CUnicodeTool::ToUtf8(n->GetData()->GetName()));
    return names;
}

// Releases a tree record by record, as its owner does.
inline void ReleaseTree(RNode* root)
{
    std::vector<RNode*> pending{root};
    while (!pending.empty()) {
        RNode* n = pending.back();
        pending.pop_back();
        for (RNode* c = n->GetChild(); c; c = c->GetNext())
            pending.push_back(c);
        CBaseNode::Delete(n->GetData());
        RNode::Delete(n);
    }
}

inline RNode* NewFolder(const char16_t* name)
{
    CFolderNode* folder = CFolderNode::New();
    folder->SetName(name);
    return RNode::New2(folder, NT_FOLDER);
}

inline RNode* NewItem(const char16_t* name)
{
    CUrlNode* item = CUrlNode::New();
    item->SetName(name);
    return RNode::New2(item, NT_URL);
}
