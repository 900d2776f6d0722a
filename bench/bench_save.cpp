// Saving a collection file of about 1 MB through the program's save path
// (CSafeSave with the collection writer: the "~" name, the locked temporary
// file, its flush, the rename, the folder flush) against the bare minimum
// that keeps a file whole across a power cut: a temporary file written,
// flushed, renamed over the old one, and the folder flushed.
//
// The writer's document is built once, so both sides put the same bytes on
// disk and only the file handling differs. The time is wall-clock time
// (the flushes wait on the disk, not the processor), taken in pairs that
// alternate which side goes first; the ratio is the median of the pairs'
// ratios of saves per second. The folder is a new one under $TMPDIR (or
// /tmp), so the figures are those of that file system.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/core/CSafeSave.h"
#include "bench/BenchMain.h"
#include "bench/BenchPairs.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CWriteColctRSS.h"

namespace {

namespace fs = std::filesystem;
using bench::Pairs;

constexpr size_t kTargetBytes = 1000000;
constexpr double kTarget = 0.9;

Pairs g_pairs;

// Exposes the filled buffer, so the bare side writes the same bytes.
class BenchWriter : public CWriteColctRSS {
public:
    std::string Fill()
    {
        FillData();
        return GetBuffer()->Join();
    }
};

CColctNode* MakeCollection(int items)
{
    CColctNode* colct = CColctNode::New();
    colct->SetName(u"Saved collection");
    RNode* root = RNode::New2(CFolderNode::New(), NT_FOLDER);
    colct->SetLocRNodeRoot(root);
    for (int i = 0; i < items; ++i) {
        std::string n = std::to_string(i);
        CUrlNode* item = CUrlNode::New();
        item->SetName(CUnicodeTool::FromUtf8("Notes on the meeting & review " + n).c_str());
        item->SetItemType(ITEM_NOTE);
        item->SetUrl(CUnicodeTool::FromUtf8("Notes on the meeting " + n + ".htm").c_str());
        item->SetDescription(u"A page with a description long enough to make the file of a realistic shape");
        item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(u"project budget travel"));
        item->GetNodeStat()->SetStatTime(1200000000L + i, 1200000100L + i, 1200000200L + i, 7);
        CBaseNode::AssignUUID(item);
        RNTool::InsertAsChild(root, RNode::New2(item, NT_URL));
    }
    return colct;
}

struct Fixture {
    fs::path folder;
    std::u16string ours;
    std::string theirs;
    CColctNode* colct = nullptr;
    BenchWriter writer;
    std::string bytes;

    Fixture()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zandrel-bench-save-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return;
        folder = pattern;
        ours = CUnicodeTool::FromUtf8((folder / "krv_files.xml").string());
        theirs = (folder / "bare.xml").string();
        // Grown until the document reaches the size asked for.
        int items = 1000;
        for (;;) {
            CColctNode::DeleteAll(colct);
            colct = MakeCollection(items);
            BenchWriter probe;
            probe.SetColctNode(colct);
            size_t size = probe.Fill().size();
            if (size >= kTargetBytes)
                break;
            items = static_cast<int>(static_cast<double>(items) * static_cast<double>(kTargetBytes) /
                                     static_cast<double>(size)) + 1;
        }
        writer.SetColctNode(colct);
        bytes = writer.Fill();
    }
    ~Fixture()
    {
        CColctNode::DeleteAll(colct);
        if (!folder.empty())
            fs::remove_all(folder);
    }
};

Fixture& Data()
{
    static Fixture data;
    return data;
}

bool SaveOurs(Fixture& data)
{
    return CSafeSave::Save(data.writer, data.ours) == CSafeSave::SAVE_OK;
}

bool WriteAll(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool SaveBare(Fixture& data)
{
    std::string temp = data.theirs + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, data.bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), data.theirs.c_str()) == 0;
    int dir = ::open(data.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = ok && dir >= 0 && ::fsync(dir) == 0;
    if (dir >= 0)
        ::close(dir);
    return ok;
}

void BM_SaveColct(benchmark::State& state)
{
    Fixture& data = Data();
    if (data.folder.empty() || data.bytes.empty() || !SaveOurs(data) || !SaveBare(data)) {
        state.SkipWithError("the folder or the first saves failed");
        return;
    }
    g_pairs = Pairs();
    for (auto _ : state) {
        double seconds = g_pairs.RunWall([&] { return SaveOurs(data); }, [&] { return SaveBare(data); });
        if (seconds < 0) {
            state.SkipWithError("a save failed");
            g_pairs = Pairs();
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["zandrel_saves_per_s"] = 1 / Pairs::Median(g_pairs.ours);
    state.counters["bare_saves_per_s"] = 1 / Pairs::Median(g_pairs.theirs);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.bytes.size() * 2));
}

BENCHMARK(BM_SaveColct)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(10.0);

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    if (g_pairs.ours.empty())
        return 0;  // filtered out
    // Saves per second: the bare side's time over ours is our rate over its.
    double ratio = 1 / g_pairs.Ratio();
    std::printf("collection: %.2f MB in %s\n", static_cast<double>(Data().bytes.size()) / 1e6,
                Data().folder.c_str());
    std::printf("save zandrel: %.1f saves/s, bare write+fsync+rename+folder fsync: %.1f saves/s "
                "(median wall time of %zu pairs)\n",
                1 / Pairs::Median(g_pairs.ours), 1 / Pairs::Median(g_pairs.theirs), g_pairs.ours.size());
    std::printf("save ratio zandrel/bare in saves per second: %.3f (target >= %.2f): %s\n", ratio, kTarget,
                ratio >= kTarget ? "met" : "NOT met");
    return 0;
}
