// The item list's fill without the window: 5,000 rows of a collection
// through the code the main window fills its list with, against the same
// rows, their texts made beforehand, appended to a bare GtkListStore of the
// same columns. Neither store has a view. Both sides run in CPU time of
// this thread, in pairs, alternating which goes first; the ratio is the
// median of the pairs'. Needs a display for the toolkit: scripts/bench.sh
// runs it under tests/gui/with_display.sh.

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

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

// A collection of kRows pages as the generated project's, and the rows
// the list shows for them.
CColctNode* MakeColct(std::vector<Row>& rows)
{
    Random random;
    CColctNode* colct = CColctNode::New();
    colct->SetLocRNodeRoot(RNode::New2(CFolderNode::New(), NT_FOLDER));
    for (int p = 0; p < kRows; ++p) {
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
    return 0;
}
