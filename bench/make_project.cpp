// Writes a generated project for measuring the real program: the
// benchmarks' project scaled to PAGES pages, twenty to a folder, plus one
// folder of 5,000 pages first below the top, under HOME (made if need be,
// and kept). Prints the project file's path.
// Usage: make_project HOME PAGES

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/model/CZandrelProject.h"
#include "base/tools/CBaseTool.h"
#include "base/xml/CWriteZandrelXML.h"
#include "bench/ProjectGenerator.h"

namespace {

constexpr int kBigFolderPages = 5000;

}  // namespace

int main(int argc, char** argv)
{
    char* end = nullptr;
    long pages = argc == 3 ? std::strtol(argv[2], &end, 10) : 0;
    if (argc != 3 || *end || pages < 20 || pages > 1000000) {
        std::fprintf(stderr, "Usage: make_project HOME PAGES  (PAGES from 20 to 1000000)\n");
        return 2;
    }
    std::error_code error;
    bench::fs::create_directories(argv[1], error);
    if (error || !bench::fs::is_empty(argv[1], error)) {
        std::fprintf(stderr, "make_project: %s is not a new or empty folder\n", argv[1]);
        return 1;
    }
    bench::Shape shape{static_cast<int>(pages), kBigFolderPages, bench::fs::absolute(argv[1]).string()};
    bench::Project project(bench::kTags, 1, shape);
    if (!project.ok) {
        std::fprintf(stderr, "make_project: cannot write the project under %s\n", argv[1]);
        return 1;
    }
    // The project file lies beside its content folder and is named after it.
    std::string file = project.content.string() + ".zand";
    CZandrelProject* zand = CZandrelProject::New();
    char16_t uuid[37];
    bool written = false;
    if (CBaseTool::GetUUID(uuid, 37)) {
        zand->SetName(bench::W(project.content.filename().string()).c_str());
        zand->SetContentPath(bench::W(project.content.string() + "/").c_str());
        zand->SetUUID(uuid);
        CWriteZandrelXML writer;
        writer.SetZandrelProject(zand);
        written = writer.SaveToFile(bench::W(file).c_str());
    }
    CZandrelProject::Delete(zand);
    if (!written) {
        std::fprintf(stderr, "make_project: cannot write %s\n", file.c_str());
        return 1;
    }
    std::printf("%s\n", file.c_str());
    return 0;
}
