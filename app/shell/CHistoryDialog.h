#pragma once

// File > Page History: the kept versions of the page on show with their
// time and size, the chosen one shown read-only beside the list, and
// Restore, Empty History and Empty Deleted Pages' History, which the page
// manager carries out.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

class CMainCore;

namespace CHistoryDialog {

// True when a saved page is on show, so there is a history to look at.
bool CanRun(CMainCore& core);
// Makes the menu's `item` sensitive only while CanRun, each time `menu` opens.
void FollowPage(GtkWidget* menu, GtkWidget* item, CMainCore& core);
// `pageView` lends the versions' view its engine.
void Run(GtkWindow* parent, CMainCore& core, WebKitWebView* pageView);

}  // namespace CHistoryDialog
