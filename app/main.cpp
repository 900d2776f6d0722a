#include <cstdio>
#include <cstring>

#include "app/core/CCommandTable.h"
#include "base/tools/CUnicodeTool.h"

namespace {

void PrintVersion()
{
    std::printf("%s\n", CUnicodeTool::ToUtf8(CCommandTable::GetVersionText()).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            PrintVersion();
            return 0;
        }
    }
    PrintVersion();
    std::fprintf(stderr, "Zandrel: the main window is not built yet; only --version is available.\n");
    return 0;
}
