#include <cstdio>
#include <cstring>

namespace {

// Shown as three digits: 200 reads as 2.0.0.
constexpr int kThisVersion = 200;
constexpr int kThisBuild = 1283;

void PrintVersion()
{
    std::printf("Version %d.%d.%d   Build %d\n", kThisVersion / 100, kThisVersion % 100 / 10,
                kThisVersion % 10, kThisBuild);
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
