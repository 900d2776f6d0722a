#include <cstdio>
#include <cstring>

#include "app/core/CCommandLine.h"
#include "app/core/CCommandTable.h"
#include "app/shell/CShellApp.h"
#include "base/tools/CUnicodeTool.h"

namespace {

void PrintVersion()
{
    std::printf("%s\n", CUnicodeTool::ToUtf8(CCommandTable::GetVersionText()).c_str());
}

void PrintHelp()
{
    std::printf(
        "Usage: Zandrel [OPTION] [PROJECT.zand]\n"
        "Opens the main window, with the project file when one is given.\n"
        "\n"
        "  --help     show this text and exit\n"
        "  --version  show the version and exit\n");
}

}  // namespace

int main(int argc, char** argv)
{
    // Both answer without a display, before the toolkit is touched.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            PrintVersion();
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintHelp();
            return 0;
        }
    }
    CCommandLine commandLine;
    commandLine.Parse(argc, argv);
    return CShellApp::Run(argc, argv, commandLine.GetProjectPath());
}
