#pragma once

// Where the program's own files (page templates, built-in pages) are read
// from: $ZANDREL_RESOURCES when set, else the installed data folder beside
// the program, else the source tree the program was built from.

#include <string>

class CResources {
public:
    CResources() = delete;

    // The folder, with a trailing "/".
    static std::u16string GetFolder();
    // The folder + `name` ("tags/tagit.htm").
    static std::u16string GetPath(const std::u16string& name);
};
