#pragma once

#include "base/ZandrelExport.h"
#include "base/model/RNode.h"

// Operations on trees of RNode records. Nothing here allocates or frees a
// data node except the deep copies, which the caller owns.
class ZANDREL_API RNTool {
public:
    RNTool() = delete;

    // Appends `node` as the last child of `parent`.
    static void InsertAsChild(RNode* parent, RNode* node);
    // Puts `node` first among the children of `parent`.
    static void InsertAsHeadChild(RNode* parent, RNode* node);
    // Puts `node` right after `ref`, under `ref`'s parent.
    static void InsertAfter(RNode* ref, RNode* node);
    // Puts `node` right before `ref`, under `ref`'s parent.
    static void InsertBefore(RNode* ref, RNode* node);
    // Puts `node` before the head of `ref`'s chain.
    static void InsertAsHead(RNode* ref, RNode* node);
    // Puts `node` after the tail of `ref`'s chain.
    static void InsertAsLast(RNode* ref, RNode* node);

    // Unlinks `node` from the children of `parent` and leaves it alone;
    // false, changing nothing, when it is not one of them.
    static bool RemoveOneChild(RNode* parent, RNode* node);
    // Moves `node` (which has a parent) under `newParent`: before `before`
    // when given (a child of `newParent`), else last.
    static void MoveRNodeInDataTree(RNode* newParent, RNode* node, RNode* before);
    // `newNode` takes the place of `oldNode` (which has a parent); `oldNode`
    // is left alone with its own children.
    static void ReplaceSingleRNode(RNode* oldNode, RNode* newNode);
    // Hangs the whole sibling chain of `node` under `newParent`, replacing
    // its children; returns the old parent, which is left childless.
    static RNode* SetParent(RNode* node, RNode* newParent);

    static RNode* GetParentNode(RNode* node) { return node->GetParent(); }
    static RNode* GetChildrenNode(RNode* node) { return node->GetChild(); }
    static RNode* GetNextNode(RNode* node) { return node->GetNext(); }
    // The previous sibling; null for the head of a chain.
    static RNode* GerPrevNode(RNode* node);
    static RNode* GetHeadNode(RNode* node);
    // The top of the tree above `node` (`node` itself without a parent).
    static RNode* GetRootNode(RNode* node);
    static RNode* GetRootRNode(RNode* node) { return GetRootNode(node); }

    // The first child of `parent` of type `type` named exactly `name`.
    static RNode* FindRNodeByName(RNode* parent, const char16_t* name, tagNODETYPE type);

    // Appends copies of the folder and item children of `src` under `dst`,
    // folders with all their descendants; other children are skipped.
    static void AddAllFolderChildren(RNode* dst, RNode* src);
    // As AddAllFolderChildren, one level deep.
    static void AddFirstLevelFolderChildren(RNode* dst, RNode* src);

    // Sets the extra data of every descendant item of `node` to `value`,
    // and of every descendant folder too when `markFolders` is true.
    static void MarkRNodeGoThrough(RNode* node, unsigned long value, bool markFolders);

    // Releases `root` and everything below it: each record and its data
    // node, collections together with their items. `root` must already be
    // unlinked from any siblings it had; null is allowed.
    static void DeleteTree(RNode* root);

    // A new identifier as a CSysString (release with CSysString::Free), or
    // null when none could be made.
    static char16_t* CreateUUID();

private:
    static void CopyChildren(RNode* dst, RNode* src, bool deep);
};
