#pragma once

// The program's run with a window: GTK, the port, the settings, the core
// and the main window, in the order they need each other, and their
// release in the reverse order.

#include <string>

class CShellApp {
public:
    CShellApp() = delete;

    // Runs until the main window has closed; the process's exit code.
    // `project` is the project file from the command line, or "".
    static int Run(int argc, char** argv, const std::u16string& project);
};
