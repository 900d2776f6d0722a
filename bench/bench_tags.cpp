// Several-tag searches over a generated project of 20,000 pages and 2,000
// tags (ProjectGenerator.h), whose first tags are on many pages: the whole
// search page (split, look-up, intersection, sort, entries, side list of
// every tag, template) and the intersection with its sort alone. Every
// collection is loaded before timing, so no search pays for a first load.
// Times are CPU time of this thread per search; the median is reported.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CUIPort.h"
#include "app/tags/CTagPageBuilder.h"
#include "bench/BenchMain.h"
#include "bench/ProjectGenerator.h"

namespace {

using namespace bench;

constexpr size_t kTagCount = 2000;
constexpr int kTagSkew = 4;
constexpr double kTargetMs = 50.0;

// Tags 0, 1 and 2 share many pages; the last search is one common tag and
// one unknown, which lists every page of that tag on a several-tag page.
const char* const kQueries[] = {"project0 notes1", "project0, notes1 meeting2", "project0 nosuchtag"};
constexpr size_t kQueryCount = sizeof kQueries / sizeof kQueries[0];

std::vector<double> g_page, g_find, g_sort;
std::vector<std::vector<double>> g_perQuery(kQueryCount);
std::vector<size_t> g_pageChars(kQueryCount);
size_t g_sorted = 0;
std::vector<size_t> g_found;
std::vector<int> g_tagPages;

Project& TagProject()
{
    static Project project(kTagCount, kTagSkew);
    return project;
}

std::u16string TemplateFolder()
{
    std::string source = __FILE__;
    return W(source.substr(0, source.rfind('/')) + "/../resources/");
}

// Runs `body` with the project open and every collection loaded.
template <typename Body>
void WithProject(benchmark::State& state, Body body)
{
    if (!TagProject().ok) {
        state.SkipWithError("the project could not be generated");
        return;
    }
    CQuietUI ui;
    SetUIPort(&ui);
    {
        CFolderTreeMgr tree;
        bool opened = tree.LoadFolderTree(u"Bench");
        size_t loaded = 0;
        for (RNode* folder : tree.GetAllFolders())
            loaded += tree.LoadColct(folder, false) ? 1 : 0;
        if (!opened || loaded != size_t(kFolders) || ui.messages)
            state.SkipWithError("the project did not load");
        else
            body(tree);
    }
    SetUIPort(nullptr);
}

void BM_TagSearchPage(benchmark::State& state)
{
    WithProject(state, [&](CFolderTreeMgr& tree) {
        CTagPageBuilder builder(TemplateFolder());
        CTagPageContext context;
        context.tree = &tree;
        context.projectName = u"Bench";
        std::vector<std::u16string> queries;
        for (const char* q : kQueries)
            queries.push_back(W(q));
        g_page.clear();
        for (auto& times : g_perQuery)
            times.clear();
        for (auto _ : state) {
            double all = 0;
            for (size_t q = 0; q < kQueryCount; ++q) {
                std::u16string html;
                double start = ThreadSeconds();
                bool built = builder.BuildSearchPage(context, queries[q], &html);
                double seconds = ThreadSeconds() - start;
                if (!built) {
                    state.SkipWithError("no page was built");
                    return;
                }
                g_pageChars[q] = html.size();
                g_perQuery[q].push_back(seconds);
                all += seconds;
            }
            g_page.push_back(all / kQueryCount);
            state.SetIterationTime(all / kQueryCount);
        }
    });
    state.counters["median_ms"] = Pairs::Median(g_page) * 1e3;
}

void BM_TagFindPages(benchmark::State& state)
{
    WithProject(state, [&](CFolderTreeMgr& tree) {
        // The found tags of the first two searches.
        std::vector<std::vector<CTagItem*>> searches = {{}, {}};
        g_tagPages.clear();
        for (const char* name : {"project0", "notes1", "meeting2"}) {
            CTagItem* tag = tree.GetProjectTags().FindTag(W(name));
            if (!tag) {
                state.SkipWithError("a generated tag is missing");
                return;
            }
            g_tagPages.push_back(tag->GetCount());
            if (searches[0].size() < 2)
                searches[0].push_back(tag);
            searches[1].push_back(tag);
        }
        g_find.clear();
        g_found.clear();
        for (const auto& tags : searches)
            g_found.push_back(CTagPageBuilder::FindPages(tree, tags).size());
        for (auto _ : state) {
            double start = ThreadSeconds();
            for (const auto& tags : searches)
                benchmark::DoNotOptimize(CTagPageBuilder::FindPages(tree, tags));
            double seconds = (ThreadSeconds() - start) / searches.size();
            g_find.push_back(seconds);
            state.SetIterationTime(seconds);
        }
    });
    state.counters["median_ms"] = Pairs::Median(g_find) * 1e3;
}

// The sort alone, on every page of the most common tag.
void BM_TagSortByName(benchmark::State& state)
{
    WithProject(state, [&](CFolderTreeMgr& tree) {
        std::vector<CTaggedPage> pages = CTagPageBuilder::FindPages(tree, {tree.GetProjectTags().FindTag(u"project0")});
        // Tree order, as the pages came from the store.
        std::stable_sort(pages.begin(), pages.end(), [](const CTaggedPage& a, const CTaggedPage& b) {
            return a.folder < b.folder;
        });
        g_sorted = pages.size();
        g_sort.clear();
        for (auto _ : state) {
            std::vector<CTaggedPage> copy = pages;
            double start = ThreadSeconds();
            CTagPageBuilder::SortByName(copy);
            double seconds = ThreadSeconds() - start;
            g_sort.push_back(seconds);
            state.SetIterationTime(seconds);
        }
    });
    state.counters["median_ms"] = Pairs::Median(g_sort) * 1e3;
}

BENCHMARK(BM_TagSearchPage)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_TagFindPages)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_TagSortByName)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    std::printf("project: %d folders, %d pages, %zu tags\n", kFolders, kPages, kTagCount);
    if (g_found.size() == 2 && g_tagPages.size() == 3)
        std::printf("tags 0, 1, 2 on %d, %d, %d pages; pages carrying tags 0 and 1: %zu; tags 0, 1 and 2: %zu\n",
                    g_tagPages[0], g_tagPages[1], g_tagPages[2], g_found[0], g_found[1]);
    if (!g_find.empty())
        std::printf("find pages: %.2f ms (median CPU time per search of %zu runs)\n", Pairs::Median(g_find) * 1e3,
                    g_find.size());
    if (!g_sort.empty())
        std::printf("sort by name of %zu pages: %.2f ms (median CPU time of %zu runs)\n", g_sorted,
                    Pairs::Median(g_sort) * 1e3, g_sort.size());
    if (!g_page.empty()) {
        double slowest = 0;
        for (size_t q = 0; q < kQueryCount; ++q) {
            double median = Pairs::Median(g_perQuery[q]) * 1e3;
            slowest = std::max(slowest, median);
            std::printf("search page \"%s\": %.2f ms (%zu characters)\n", kQueries[q], median, g_pageChars[q]);
        }
        double median = Pairs::Median(g_page) * 1e3;
        std::printf("tag search page: %.2f ms a search, slowest %.2f ms (median CPU time of %zu runs, target < %.0f "
                    "ms): %s\n",
                    median, slowest, g_page.size(), kTargetMs, slowest < kTargetMs ? "met" : "NOT met");
    }
    CAppSettings::Release();
    return 0;
}
