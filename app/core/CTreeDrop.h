#pragma once

// What a drop on the folder tree may do and what it does: a folder dragged
// into, before or after another folder, a page dragged onto a folder. The
// window shell asks while the pointer moves and carries out the drop here.

class CFolderTreeMgr;
class RNode;

class CTreeDrop {
public:
    // Where on a folder's row a folder is dropped.
    enum tagDROPPLACE : int {
        DROP_BEFORE = 0,
        DROP_AFTER,
        DROP_INTO,
    };

    // Any folder but the root may be picked up.
    static bool CanDragFolder(RNode* folder);
    // Not on itself, not inside itself, not beside the root.
    static bool CanDropFolder(RNode* folder, RNode* target, tagDROPPLACE place);
    // A page of the folder `source` goes to any other folder.
    static bool CanDropPage(RNode* source, RNode* target);

    // Moves `folder` as the last child of `target`, or beside it under the
    // same parent, then shows the tree again with the current folder
    // selected. False when refused or when the move failed (the user was
    // told why).
    static bool DropFolder(CFolderTreeMgr& tree, RNode* folder, RNode* target, tagDROPPLACE place);
};
