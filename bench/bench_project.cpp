// Opening a generated project against libxml2 on the same files (see
// ProjectGenerator.h for the project).
//
// Zandrel: CFolderTreeMgr::LoadFolderTree (tree file, recent collections),
// the tag store (read on a thread of its own, so the launch need not wait
// for it) and LoadColct for every folder, then the manager is released.
// libxml2: xmlReadFile and xmlFreeDoc of the tree file, the tags file and
// every collection file. Both sides are timed in CPU time of the process,
// so the tags' thread counts too, and run in pairs, alternating which goes
// first; the ratio is the median of the pairs' ratios.

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CUIPort.h"
#include "bench/BenchMain.h"
#include "bench/ProjectGenerator.h"

namespace {

using namespace bench;

constexpr double kTarget = 1.2;
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

Pairs g_open;

// CPU seconds of every thread of the process.
double ProcessSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// CPU seconds of one open of the project, or -1 when something is missing.
double OpenOnce(CQuietUI& ui)
{
    std::vector<RNode*> folders;
    folders.reserve(kFolders);
    int loaded = 0;
    double start = ProcessSeconds();
    {
        CFolderTreeMgr tree;
        if (tree.LoadFolderTree(u"Bench") && tree.GetRoot() && tree.GetTagStore())
            CollectFolders(tree.GetRoot(), folders);
        for (RNode* folder : folders)
            loaded += tree.LoadColct(folder, true) ? 1 : 0;
        // Released without writing anything: the files stay as generated.
    }
    double seconds = ProcessSeconds() - start;
    return loaded == kFolders && ui.messages == 0 ? seconds : -1;
}

double ParseOnce(const std::vector<std::string>& files)
{
    bool ok = true;
    double start = ProcessSeconds();
    for (const std::string& file : files) {
        xmlDocPtr doc = xmlReadFile(file.c_str(), nullptr, kParseOptions);
        ok = ok && doc;
        xmlFreeDoc(doc);
    }
    double seconds = ProcessSeconds() - start;
    return ok ? seconds : -1;
}

void BM_OpenProject(benchmark::State& state)
{
    Project& project = Data();
    if (!project.ok) {
        state.SkipWithError("the project could not be generated");
        return;
    }
    CQuietUI ui;
    SetUIPort(&ui);
    g_open = Pairs();
    bool theirsFirst = false;
    for (auto _ : state) {
        double a = 0, b = 0;
        if (theirsFirst) {
            b = ParseOnce(project.files);
            a = OpenOnce(ui);
        } else {
            a = OpenOnce(ui);
            b = ParseOnce(project.files);
        }
        theirsFirst = !theirsFirst;
        if (a < 0 || b < 0) {
            state.SkipWithError("a run failed");
            g_open = Pairs();
            break;
        }
        g_open.ours.push_back(a);
        g_open.theirs.push_back(b);
        state.SetIterationTime(a + b);
    }
    SetUIPort(nullptr);
    state.counters["zandrel_ms"] = Pairs::Median(g_open.ours) * 1e3;
    state.counters["libxml2_ms"] = Pairs::Median(g_open.theirs) * 1e3;
    state.counters["ratio"] = g_open.Ratio();
}

BENCHMARK(BM_OpenProject)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(10.0);

}  // namespace

int main(int argc, char** argv)
{
    xmlInitParser();
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    if (g_open.ours.empty())
        return 0;  // filtered out, or failed
    Project& project = Data();
    uintmax_t bytes = 0;
    for (const std::string& file : project.files)
        bytes += fs::file_size(file);
    std::printf("project: %d folders, %d pages, %zu files, %.1f MB\n", kFolders, kPages, project.files.size(),
                static_cast<double>(bytes) / 1e6);
    g_open.Report("open", "libxml2", kTarget);
    CAppSettings::Release();
    return 0;
}
