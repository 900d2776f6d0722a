#include "app/core/CTreeDrop.h"

#include "app/core/CFolderTreeMgr.h"
#include "app/core/CUIPort.h"
#include "base/model/RNode.h"

namespace {

bool IsFolder(RNode* node)
{
    return node && node->GetType() == NT_FOLDER && node->GetData();
}

bool IsInside(RNode* node, RNode* ancestor)
{
    for (; node; node = node->GetParent()) {
        if (node == ancestor)
            return true;
    }
    return false;
}

// The folder right before `target` among its siblings; null for the first.
RNode* PreviousFolder(RNode* target)
{
    RNode* previous = nullptr;
    for (RNode* child = target->GetParent()->GetChild(); child && child != target; child = child->GetNext()) {
        if (child->GetType() == NT_FOLDER)
            previous = child;
    }
    return previous;
}

}  // namespace

bool CTreeDrop::CanDragFolder(RNode* folder)
{
    return IsFolder(folder) && folder->GetParent();
}

bool CTreeDrop::CanDropFolder(RNode* folder, RNode* target, tagDROPPLACE place)
{
    if (!CanDragFolder(folder) || !IsFolder(target) || IsInside(target, folder))
        return false;
    return place == DROP_INTO || target->GetParent();
}

bool CTreeDrop::CanDropPage(RNode* source, RNode* target)
{
    return IsFolder(target) && target != source;
}

bool CTreeDrop::DropFolder(CFolderTreeMgr& tree, RNode* folder, RNode* target, tagDROPPLACE place)
{
    if (!CanDropFolder(folder, target, place))
        return false;
    bool moved = false;
    if (place == DROP_INTO) {
        moved = tree.MoveFolder(folder, target, true);
    } else if (place == DROP_AFTER) {
        moved = tree.MoveFolder(folder, target, false);
    } else if (RNode* previous = PreviousFolder(target)) {
        // Before a folder is after the one before it, unless that is the
        // dragged folder itself, which is already in place.
        moved = previous == folder || tree.MoveFolder(folder, previous, false);
    } else {
        // Before the first folder: after it, then it after the dragged one.
        moved = tree.MoveFolder(folder, target, false) && tree.MoveFolder(target, folder, false);
    }
    UIPort().ShowTree(tree.GetRoot(), tree.GetCurrentFolder());
    return moved;
}
