// Title search over the generated project (ProjectGenerator.h) against a
// plain loop over the same titles and descriptions, collected and folded to
// lower case once beforehand in a vector, doing the same substring test.
// The search keeps its own index between searches; a search after a change
// to the project, which makes it again, is timed apart.
// Both sides run the same queries in CPU time of this thread, in pairs,
// alternating which goes first; a side's time is per search, the ratio the
// median of the pairs'.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CTitleSearch.h"
#include "app/core/CUIPort.h"
#include "base/model/CModelStamp.h"
#include "base/tools/CStringTool.h"
#include "bench/BenchMain.h"
#include "bench/ProjectGenerator.h"

namespace {

using namespace bench;

constexpr double kTarget = 1.5;

// Common words, a number, non-ASCII, two words, an entity character, and
// one that finds nothing.
const char* const kQueries[] = {"report", "2009", "caf\xC3\xA9", "Notes Meeting", "Q&A", "zebra"};
constexpr size_t kQueryCount = sizeof kQueries / sizeof kQueries[0];

struct Titled {
    std::u16string name;
    std::u16string description;
};

Pairs g_search;
size_t g_matches = 0;
// A search right after a change to the project, which makes the index again.
std::vector<double> g_afterChange;

// What the plain loop reads: the pages of every loaded collection, their
// texts folded.
std::vector<Titled> CollectTitles(CFolderTreeMgr& tree)
{
    std::vector<RNode*> folders;
    CollectFolders(tree.GetRoot(), folders);
    std::vector<Titled> titles;
    for (RNode* folder : folders) {
        CColctNode* colct = tree.LoadColct(folder, false);
        for (RNode* r = colct ? colct->GetFirstRNode() : nullptr; r; r = r->GetNext()) {
            auto* item = static_cast<CUrlNode*>(r->GetData());
            if (r->GetType() == NT_URL && item->GetItemType() == ITEM_NOTE)
                titles.push_back({CStringTool::ToLower(item->GetName()), CStringTool::ToLower(item->GetDescription())});
        }
    }
    return titles;
}

size_t PlainSearch(const std::vector<Titled>& titles, const std::u16string& text)
{
    std::u16string query = CStringTool::ToLower(text.c_str());
    size_t found = 0;
    for (const Titled& t : titles) {
        if (t.name.find(query) != std::u16string::npos || t.description.find(query) != std::u16string::npos)
            ++found;
    }
    return found;
}

void BM_TitleSearch(benchmark::State& state)
{
    Project& project = Data();
    WithTree(state, project, [&](CFolderTreeMgr& tree, CQuietUI& ui) {
        CTitleSearch search(tree);
        search.Search(u"warm", true);  // loads every collection
        std::vector<Titled> titles = CollectTitles(tree);
        std::vector<std::u16string> queries;
        for (const char* q : kQueries)
            queries.push_back(W(q));

        g_search = Pairs();
        bool theirsFirst = false;
        for (auto _ : state) {
            size_t ours = 0, theirs = 0;
            double a = 0, b = 0;
            auto runOurs = [&] {
                double start = ThreadSeconds();
                for (const std::u16string& q : queries)
                    ours += search.Search(q, true);
                a = (ThreadSeconds() - start) / kQueryCount;
            };
            auto runTheirs = [&] {
                double start = ThreadSeconds();
                for (const std::u16string& q : queries)
                    theirs += PlainSearch(titles, q);
                b = (ThreadSeconds() - start) / kQueryCount;
            };
            if (theirsFirst) {
                runTheirs();
                runOurs();
            } else {
                runOurs();
                runTheirs();
            }
            theirsFirst = !theirsFirst;
            if (ours != theirs || titles.size() != size_t(kPages) || ui.messages) {
                state.SkipWithError("the two sides disagree");
                g_search = Pairs();
                break;
            }
            g_matches = ours;
            g_search.ours.push_back(a);
            g_search.theirs.push_back(b);
            state.SetIterationTime(a + b);
        }
        g_afterChange.clear();
        for (int i = 0; i < 9 && !g_search.ours.empty(); ++i) {
            CModelStamp::Bump();
            double start = ThreadSeconds();
            search.Search(queries[0], true);
            g_afterChange.push_back(ThreadSeconds() - start);
        }
    });
    state.counters["zandrel_ms"] = Pairs::Median(g_search.ours) * 1e3;
    state.counters["plain_ms"] = Pairs::Median(g_search.theirs) * 1e3;
    state.counters["ratio"] = g_search.Ratio();
}

BENCHMARK(BM_TitleSearch)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5.0);

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    if (g_search.ours.empty())
        return 0;  // filtered out, or failed
    std::printf("project: %d folders, %d pages; %zu queries finding %zu pages in all\n", kFolders, kPages,
                kQueryCount, g_matches);
    double ratio = g_search.Ratio();
    std::printf("search zandrel: %.2f ms, plain loop: %.2f ms (median CPU time per search of %zu pairs)\n",
                Pairs::Median(g_search.ours) * 1e3, Pairs::Median(g_search.theirs) * 1e3, g_search.ours.size());
    std::printf("search ratio zandrel/plain: %.3f (target <= %.2f): %s\n", ratio, kTarget,
                ratio <= kTarget ? "met" : "NOT met");
    std::printf("a search after a change to the project, which indexes the titles again: %.2f ms (median of %zu)\n",
                Pairs::Median(g_afterChange) * 1e3, g_afterChange.size());
    CAppSettings::Release();
    return 0;
}
