#pragma once

// File > New Page from Web Address... and web addresses dropped on a
// folder: asks for the address when none came with the command, captures
// the page under the progress dialog (Cancel leaves nothing behind), adds
// it to the folder and tells the user what stayed on the web.

#include <string>

class CColctNode;
class CFolderTreeMgr;
class CUrlNode;
class RNode;

namespace CCaptureCommand {

// The new page and its collection, or null when the user cancelled or
// the capture failed (the user was told why).
CUrlNode* Run(CFolderTreeMgr& tree, RNode* folder, const std::u16string& url, CColctNode** colct);

}  // namespace CCaptureCommand
