#pragma once

// File > Export: what to export (the page on show, the current folder with
// the folders below it, or the whole project) and as what (web pages in a
// folder or in a .zip file, or the page on show as a PDF), then where to.
// Folders and zip files are written in the background under the progress
// dialog, which can cancel them; a PDF is printed by the page view.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

class CMainCore;

namespace CExportDialog {

// `pageView` shows the current page when `pageShown`.
void Run(GtkWindow* parent, CMainCore& core, WebKitWebView* pageView, bool pageShown);

}  // namespace CExportDialog
