// The item list's fill without the window: 5,000 rows of a collection
// through the code the main window fills its list with, against the same
// rows, their texts made beforehand, appended to a bare GtkListStore of the
// same columns. Neither store has a view. Both sides run in CPU time of
// this thread, in pairs, alternating which goes first; the ratio is the
// median of the pairs'. Then sorting 20,000 rows by a column, ours against
// the store's own comparison. Needs a display for the toolkit: scripts/bench.sh
// runs it under tests/gui/with_display.sh.

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/shell/CListSort.h"
#include "app/shell/CMainWindow.h"
#include "base/model/CColctNode.h"
#include "bench/BenchMain.h"
#include "bench/ProjectGenerator.h"

namespace {

using namespace bench;

constexpr int kRows = 5000;
constexpr double kTarget = 1.5;

struct Row {
    std::string title;
    int flag;
    std::string added;
    std::string modified;
    CUrlNode* item;
};

Pairs g_fill;

std::string TimeText(long seconds)
{
    time_t when = seconds;
    struct tm local {};
    localtime_r(&when, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// A collection of `count` pages as the generated project's, and the rows
// the list shows for them.
CColctNode* MakeColct(std::vector<Row>& rows, int count = kRows)
{
    Random random;
    CColctNode* colct = CColctNode::New();
    colct->SetLocRNodeRoot(RNode::New2(CFolderNode::New(), NT_FOLDER));
    for (int p = 0; p < count; ++p) {
        CUrlNode* item = CUrlNode::New();
        std::string title = Words(random, 2 + random.Below(4)) + " " + std::to_string(p);
        item->SetName(W(title).c_str());
        item->SetUrl(W(title + ".htm").c_str());
        item->SetItemType(ITEM_NOTE);
        long base = 1200000000L + static_cast<long>(random.Below(300000000));
        item->GetNodeStat()->SetStatTime(base, base + 1000, base + 2000, 7);
        item->GetNodeStat()->SetFlag(static_cast<int>(random.Below(3)));
        RNTool::InsertAsChild(colct->GetLocRNodeRoot(), RNode::New2(item, NT_URL));
        rows.push_back({title, item->GetNodeStat()->GetFlag(), TimeText(base), TimeText(base + 1000), item});
    }
    return colct;
}

void BareFill(GtkListStore* store, const std::vector<Row>& rows)
{
    gtk_list_store_clear(store);
    for (const Row& row : rows) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        gtk_list_store_set(store, &iter, 0, row.title.c_str(), 1, row.flag, 2, row.added.c_str(), 3,
                           row.modified.c_str(), 4, row.item, -1);
    }
}

// The first and last rows' texts, to see that both sides made the same.
std::string Ends(GtkListStore* store)
{
    GtkTreeModel* model = GTK_TREE_MODEL(store);
    std::string out;
    GtkTreeIter iter;
    for (int row : {0, kRows - 1}) {
        if (!gtk_tree_model_iter_nth_child(model, &iter, nullptr, row))
            return "";
        gchar *title = nullptr, *added = nullptr, *modified = nullptr;
        int flag = 0;
        gtk_tree_model_get(model, &iter, 0, &title, 1, &flag, 2, &added, 3, &modified, -1);
        out += std::string(title) + "|" + std::to_string(flag) + "|" + added + "|" + modified + "\n";
        g_free(title);
        g_free(added);
        g_free(modified);
    }
    return out;
}

void BM_ListFill(benchmark::State& state)
{
    std::vector<Row> rows;
    CColctNode* colct = MakeColct(rows);
    GtkListStore* ours = CMainWindow::NewItemStore();
    GtkListStore* bare = gtk_list_store_new(5, G_TYPE_STRING, G_TYPE_INT, G_TYPE_STRING, G_TYPE_STRING,
                                            G_TYPE_POINTER);
    CMainWindow::FillItemList(ours, colct);
    BareFill(bare, rows);
    if (Ends(ours).empty() || Ends(ours) != Ends(bare)) {
        state.SkipWithError("the two stores disagree");
    } else {
        g_fill = Pairs();
        bool bareFirst = false;
        for (auto _ : state) {
            double a = 0, b = 0;
            auto runOurs = [&] {
                double start = ThreadSeconds();
                CMainWindow::FillItemList(ours, colct);
                a = ThreadSeconds() - start;
            };
            auto runBare = [&] {
                double start = ThreadSeconds();
                BareFill(bare, rows);
                b = ThreadSeconds() - start;
            };
            if (bareFirst) {
                runBare();
                runOurs();
            } else {
                runOurs();
                runBare();
            }
            bareFirst = !bareFirst;
            g_fill.ours.push_back(a);
            g_fill.theirs.push_back(b);
            state.SetIterationTime(a + b);
        }
        state.counters["zandrel_ms"] = Pairs::Median(g_fill.ours) * 1e3;
        state.counters["bare_ms"] = Pairs::Median(g_fill.theirs) * 1e3;
        state.counters["ratio"] = g_fill.Ratio();
    }
    g_object_unref(ours);
    g_object_unref(bare);
    CColctNode::DeleteAll(colct);
}

BENCHMARK(BM_ListFill)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Sorting kSortRows rows by a column, on a freshly filled store each time:
// by title, the same reversed, by modified time; the item list's sort
// against the same rows in a GtkListStore sorting itself.
constexpr int kSortRows = 20000;
const char* const kSorts[] = {"title", "title reversed", "modified"};
std::vector<double> g_sort[2][3];  // [ours, bare][sort]

void BM_ListSort(benchmark::State& state)
{
    std::vector<Row> rows;
    CColctNode* colct = MakeColct(rows, kSortRows);
    const std::pair<int, GtkSortType> sorts[] = {{0, GTK_SORT_ASCENDING}, {0, GTK_SORT_DESCENDING},
                                                 {3, GTK_SORT_ASCENDING}};
    const CListSort::Kind kinds[] = {CListSort::BY_LOCALE, CListSort::BY_LOCALE, CListSort::BY_BYTES};
    for (auto _ : state) {
        double total = 0;
        for (int side = 0; side < 2; ++side) {
            GtkListStore* store = CMainWindow::NewItemStore();
            if (side == 0)
                CMainWindow::FillItemList(store, colct);
            else
                BareFill(store, rows);
            for (int k = 0; k < 3; ++k) {
                double start = ThreadSeconds();
                if (side == 0)
                    CListSort::Sort(store, sorts[k].first, kinds[k], sorts[k].second);
                else
                    gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(store), sorts[k].first, sorts[k].second);
                double seconds = ThreadSeconds() - start;
                g_sort[side][k].push_back(seconds);
                total += seconds;
            }
            g_object_unref(store);
        }
        state.SetIterationTime(total);
    }
    CColctNode::DeleteAll(colct);
}

BENCHMARK(BM_ListSort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::printf("bench_listfill: skipped, no display (run it under tests/gui/with_display.sh)\n");
        return 0;
    }
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    if (g_fill.ours.empty())
        return 0;  // filtered out, or failed
    std::printf("list fill of %d rows zandrel: %.2f ms, bare GtkListStore: %.2f ms (median CPU time of %zu pairs)\n",
                kRows, Pairs::Median(g_fill.ours) * 1e3, Pairs::Median(g_fill.theirs) * 1e3, g_fill.ours.size());
    double ratio = g_fill.Ratio();
    std::printf("list fill ratio zandrel/bare GtkListStore: %.3f (target <= %.2f): %s\n", ratio, kTarget,
                ratio <= kTarget ? "met" : "NOT met");
    for (int k = 0; k < 3 && !g_sort[0][k].empty(); ++k)
        std::printf("sort %d rows by %s: zandrel %.1f ms, GtkListStore's own %.1f ms (median CPU time of %zu)\n",
                    kSortRows, kSorts[k], Pairs::Median(g_sort[0][k]) * 1e3, Pairs::Median(g_sort[1][k]) * 1e3,
                    g_sort[0][k].size());
    return 0;
}
