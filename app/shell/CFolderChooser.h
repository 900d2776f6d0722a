#pragma once

// The modal dialog that picks a folder of the project's tree, and the Move
// Page command built on it.

#include <gtk/gtk.h>

class CMainCore;
class RNode;

class CFolderChooser {
public:
    // Shows the tree under `root`, every folder open, none chosen; OK is
    // enabled once a folder is. The chosen folder, or null on Cancel.
    static RNode* Choose(GtkWindow* parent, const char* title, RNode* root);

    // Move Page: the current page to the folder the user picks, with the
    // core's questions and messages. Nothing without a current page.
    static void MoveCurrentPage(GtkWindow* parent, CMainCore& core);
};
