// Links between pages on the generated project (ProjectGenerator.h), each
// of its 20,000 pages given a page file of about 5 KB, 50 of them with a
// link to one page: renaming that page, which finds and rewrites the 50
// links on the interface thread, against `grep -rlF` of the page's
// identifier over the same files, which only finds them. Ours is the CPU
// time of this thread (the rename also renames the file and writes its
// collection), grep's that of its process; the page cache is warm for
// both. The scan behind "Linked from" and Check Links, on its worker, is
// timed too.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/capture/CPageLinks.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageMgr.h"
#include "app/core/CRecentPages.h"
#include "app/core/CUIPort.h"
#include "app/main/CPageLinkMgr.h"
#include "app/search/CPageSearch.h"
#include "base/model/CColctNode.h"
#include "base/model/CUrlNode.h"
#include "base/xml/CReadBkmarkXML.h"
#include "bench/BenchMain.h"
#include "bench/ProjectGenerator.h"

namespace {

using namespace bench;

constexpr int kLinking = 50;
constexpr int kRenames = 6;
constexpr size_t kPageText = 5000;

std::string g_report;

struct Page {
    std::u16string path;  // relative to the content folder
    std::string uuid;
};

void BM_RenameLinked(benchmark::State& state)
{
    Project project(kTags, 1, Shape{kPages, 0, ""});
    WithTree(state, project, [&](CFolderTreeMgr& tree, CQuietUI&) {
        const std::vector<CSearchFolder> folders = CPageSearch::ListFolders(tree);
        std::vector<Page> all;
        for (const CSearchFolder& folder : folders) {
            CReadBkmarkXML reader;
            CColctNode* colct = folder.colctFile.empty() || !reader.LoadFile(folder.colctFile.c_str())
                                    ? nullptr
                                    : reader.DetachColctNode();
            for (RNode* r = colct ? colct->GetFirstRNode() : nullptr; r; r = r->GetNext()) {
                auto* item = static_cast<CUrlNode*>(r->GetData());
                all.push_back({folder.relative + item->GetUrl(), N(item->GetUUID())});
            }
            CColctNode::DeleteAll(colct);
        }
        const Page target = all[all.size() / 2];
        Random random;
        int linking = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>";
            while (html.size() < kPageText) {
                html += "<p>";
                for (int w = 0; w < 40; ++w)
                    html += std::string(kWords[random.Below(sizeof kWords / sizeof kWords[0])]) + " ";
                html += "</p>\n";
            }
            if (i % (all.size() / kLinking) == 1 && linking < kLinking) {
                html += "<p>See " + CPageLinks::MakeLinkHtml(all[i].path, target.path, target.uuid, "the page") + "</p>";
                ++linking;
            }
            html += "</body></html>\n";
            if (FILE* file = std::fopen((project.content.string() + "/" + N(all[i].path)).c_str(), "wb")) {
                std::fwrite(html.data(), 1, html.size(), file);
                std::fclose(file);
            }
        }

        CRecentPages recent;
        CPageMgr pages(tree, recent, nullptr);
        CPageLinkMgr links(tree, pages);
        tree.AddPathChangeHook([&links](const CFolderTreeMgr::CPathChange& change) { links.OnPathChange(change); });
        RNode* folder = nullptr;
        CUrlNode* item = tree.FindPage(target.path, &folder);
        const std::string grep = "grep -rlF --include='*.htm' '" + target.uuid + "' '" + project.content.string() + "'";
        RunGrep(grep);  // both sides read from the page cache
        std::vector<double> ours, theirs;
        size_t found = 0;
        bool renamed = item != nullptr;
        for (auto _ : state) {
            for (int i = 0; i < kRenames && renamed; ++i) {
                double t = ThreadSeconds();
                renamed = pages.RenamePage(item, i % 2 ? u"Linked page" : u"Linked page renamed");
                ours.push_back(ThreadSeconds() - t);
                auto [seconds, files] = RunGrep(grep);
                theirs.push_back(seconds);
                found = files;
            }
            state.SetIterationTime(Pairs::Median(ours));
        }
        double t = ThreadSeconds();
        std::shared_ptr<CPageLinkMgr::CScan> scan = CPageLinkMgr::Scan(folders, {});
        double scanned = ThreadSeconds() - t;
        const size_t backlinks = scan->LinkedFrom(tree.GetPageRelativePath(folder, item), W(target.uuid)).size();

        char line[512];
        std::snprintf(line, sizeof line,
                      "rename of a page linked from %d of %zu pages: %.0f ms (median of %zu)%s; grep -rlF of its "
                      "identifier %.0f ms for %zu files; zandrel/grep %.1f\n"
                      "scan for \"Linked from\" and Check Links, on its worker: %.0f ms, %zu pages link to it\n",
                      linking, all.size(), Pairs::Median(ours) * 1e3, ours.size(), renamed ? "" : " (a rename failed)",
                      Pairs::Median(theirs) * 1e3, found, Pairs::Median(ours) / Pairs::Median(theirs), scanned * 1e3,
                      backlinks);
        g_report += line;
        tree.CloseTree();
    });
}

BENCHMARK(BM_RenameLinked)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunAndReport(&argc, argv, g_report);
}
