#pragma once

// What the new-project dialog accepts: a file name whose title makes a new
// content folder beside it, warning when the folder lies inside another
// project's content folder.

#include <string>
#include <vector>

#include "app/core/CUIPort.h"

class CNewProjectRules : public CNameRules {
public:
    // Takes the full chosen path; false keeps the dialog open (the user has
    // been told why). A name without a dot gets the project extension.
    bool OnOk(std::u16string& path) override;

    // The title of a project file name, or false after the rule's message
    // (none for an empty name).
    static bool CheckFileName(const std::u16string& name, std::u16string* title);
    // The folders from the top of `folder` down to `folder` itself (without
    // their trailing "/") that have a project file beside them.
    static std::vector<std::u16string> FindEnclosingProjects(const std::u16string& folder);
    // The OK/Cancel warning listing those folders; true when the user goes on.
    static bool AskNestedProject(const std::vector<std::u16string>& contentFolders);
};
