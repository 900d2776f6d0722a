#pragma once

// The command line: at most one project file to open at start-up. The
// file association starts the program with the project file as its only
// parameter.

#include <string>

class CCommandLine {
public:
    // Offers one parameter. A switch comes without its leading "-". The
    // last parameter, when it is not a switch and holds a dot, is the
    // project file; switches are ignored.
    void ParseParam(const std::u16string& param, bool isSwitch, bool isLast);

    // The project file as it was given; "" when there is none.
    const std::u16string& GetProjectFile() const { return m_projectFile; }

    // Offers every parameter of `argv` after the program name. Only "-"
    // starts a switch: a leading "/" begins an absolute path here.
    void Parse(int argc, const char* const* argv);

    // The project file made absolute against `workingFolder` (which ends
    // in "/"), so the recent list and the lock file name the same file
    // wherever the program starts next; "" when there is none.
    std::u16string GetProjectPath(const std::u16string& workingFolder) const;
    // The same against the current working folder.
    std::u16string GetProjectPath() const;

    static bool IsSwitch(const std::string& arg) { return !arg.empty() && arg[0] == '-'; }

private:
    std::u16string m_projectFile;
};
