#pragma once

// File > Import Pages... and Import Folder..., and files dropped on the
// window: pages a browser saved are copied into a folder in the background
// under the progress dialog, which can cancel them; then the tree and the
// item list show what came in, and a message tells what was left out.

#include <gtk/gtk.h>

#include <string>
#include <vector>

class CMainCore;
class RNode;

namespace CImportDialog {

// Asks for saved pages (or, with `directory`, for a directory) and imports
// them into `folder`.
void Run(GtkWindow* parent, CMainCore& core, RNode* folder, bool directory);

// Imports `paths` (files and directories) into `folder`.
void ImportPaths(CMainCore& core, RNode* folder, const std::vector<std::u16string>& paths);

}  // namespace CImportDialog
