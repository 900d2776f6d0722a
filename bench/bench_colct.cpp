// Collection file speed against libxml2 on the same document: a generated
// collection of 50,000 items in nested folders (about 25 MB of RSS).
//
// Reading: CReadBkmarkXML::LoadXML (libxml2 parse, walk, model) against
// libxml2 parsing the same bytes into a DOM (xmlReadMemory, xmlFreeDoc).
// Writing: CWriteColctRSS filling its buffer against xmlDocDumpMemory of
// that DOM. Both sides are timed in CPU time of this thread and run in
// pairs, alternating which goes first, so that load on a shared machine
// weighs on both alike; a ratio is the median of the pairs' ratios. The
// program ends with both ratios and whether they meet their targets.

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchMain.h"
#include "bench/BenchPairs.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CWriteColctRSS.h"

namespace {

using bench::Pairs;
using bench::ThreadSeconds;

constexpr int kItems = 50000;
constexpr int kTopFolders = 40;
constexpr double kReadTarget = 1.5;
constexpr double kWriteTarget = 1.0;
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;


Pairs g_read;
Pairs g_write;

// xorshift64*: a fixed seed, so every run builds the same collection.
class Random {
public:
    uint64_t Next()
    {
        m_x ^= m_x >> 12;
        m_x ^= m_x << 25;
        m_x ^= m_x >> 27;
        return m_x * 0x2545F4914F6CDD1Dull;
    }
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }

private:
    uint64_t m_x = 0x9E3779B97F4A7C15ull;
};

const char* const kWords[] = {
    "project", "notes",  "meeting", "draft",  "review", "budget",   "design", "summary", "research", "plan",
    "report",  "ideas",  "travel",  "recipe", "linux",  "kernel",   "garden", "photos",  "invoice",  "letter",
    "caf\xC3\xA9", "na\xC3\xAFve", "r\xC3\xA9sum\xC3\xA9", "M\xC3\xBCller", "\xE6\x97\xA5\xE6\x9C\xAC",
    "Q&A",     "<draft>", "\"quoted\"", "it's", "2009",
};
constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];

std::string Words(Random& random, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i)
            text += ' ';
        text += kWords[random.Below(kWordCount)];
    }
    return text;
}

std::u16string W(const std::string& utf8)
{
    return CUnicodeTool::FromUtf8(utf8);
}

RNode* AddFolder(RNode* parent, Random& random)
{
    CFolderNode* folder = CFolderNode::New();
    folder->SetName(W(Words(random, 2)).c_str());
    RNode* rnode = RNode::New2(folder, NT_FOLDER);
    RNTool::InsertAsChild(parent, rnode);
    return rnode;
}

CColctNode* MakeCollection()
{
    Random random;
    CColctNode* colct = CColctNode::New();
    colct->SetName(u"Generated collection");
    colct->SetDescription(u"Pages, links and files for the benchmark");
    RNode* root = RNode::New2(CFolderNode::New(), NT_FOLDER);
    colct->SetLocRNodeRoot(root);
    std::vector<RNode*> places{root};
    for (int i = 0; i < kTopFolders; ++i) {
        RNode* top = AddFolder(root, random);
        places.push_back(top);
        for (int k = 0; k < 3; ++k)
            places.push_back(AddFolder(top, random));
    }
    for (int i = 0; i < kItems; ++i) {
        CUrlNode* item = CUrlNode::New();
        item->SetName(W(Words(random, 2 + random.Below(4))).c_str());
        std::string host = "https://" + std::string(kWords[random.Below(20)]) + ".example.org/";
        std::string path = std::string(kWords[random.Below(20)]) + "/" + std::to_string(random.Next() % 100000) +
                           "?id=" + std::to_string(i) + "&lang=en";
        switch (random.Below(4)) {
        case 0:
            item->SetItemType(ITEM_NOTE);
            item->SetUrl(W("/home/ann/Zandrel/" + path.substr(0, path.find('?')) + ".htm").c_str());
            break;
        case 1:
            item->SetItemType(ITEM_WEBPAGE);
            item->SetUrl(W("/home/ann/Zandrel/page" + std::to_string(i) + ".htm").c_str());
            item->SetRelationUrl(W(host + path).c_str());
            break;
        case 2:
            item->SetItemType(ITEM_FILE);
            item->SetUrl(W("file:///home/ann/doc" + std::to_string(i) + ".pdf").c_str());
            item->SetRelationUrl(W("/home/ann/doc" + std::to_string(i) + ".pdf").c_str());
            item->GetUrlProp()->SetFileType(static_cast<tagKRVITEMFILETYPE>(random.Below(7)));
            break;
        default:
            item->SetUrl(W(host + path).c_str());
            break;
        }
        item->SetDescription(W(Words(random, random.Below(8))).c_str());
        item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(W(Words(random, random.Below(4))).c_str()));
        long base = 1200000000L + static_cast<long>(random.Below(300000000));
        item->GetNodeStat()->SetStatTime(base, base + static_cast<long>(random.Below(5000000)),
                                         base + static_cast<long>(random.Below(9000000)), 7);
        item->GetNodeStat()->SetFlag(random.Below(4) == 0 ? static_cast<int>(random.Below(11)) : 0);
        item->GetNodeStat()->MarkAsUnread(random.Below(3) == 0);
        if (random.Below(10) == 0)
            item->SetBaseBuild(100 + static_cast<int>(random.Below(50)));
        CBaseNode::AssignUUID(item);
        // Three items in ten at the root, the rest spread over the folders.
        RNode* parent = random.Below(10) < 3 ? root : places[1 + random.Below(places.size() - 1)];
        RNTool::InsertAsChild(parent, RNode::New2(item, NT_URL));
    }
    return colct;
}

// Exposes the buffer fill, which is what a save costs before the disk.
class BenchWriter : public CWriteColctRSS {
public:
    int Fill()
    {
        FillData();
        return GetBuffer()->GetLength();
    }
};

// The collection as the program holds it: generated once, saved, and
// loaded back from that file, so its nodes lie in memory as a load leaves
// them (libxml2's DOM likewise comes from parsing the bytes).
struct Fixture {
    CColctNode* colct = nullptr;
    std::string bytes;
    xmlDocPtr doc = nullptr;
    bool sameBytes = false;

    Fixture()
    {
        CColctNode* generated = MakeCollection();
        BenchWriter writer;
        writer.SetColctNode(generated);
        writer.Fill();
        bytes = writer.GetBuffer()->Join();
        CColctNode::DeleteAll(generated);
        CReadBkmarkXML reader;
        if (reader.LoadXML(bytes.data(), static_cast<long>(bytes.size())))
            colct = reader.DetachColctNode();
        if (colct) {
            BenchWriter again;
            again.SetColctNode(colct);
            again.Fill();
            sameBytes = again.GetBuffer()->Join() == bytes;
        }
        doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, kParseOptions);
    }
    ~Fixture()
    {
        xmlFreeDoc(doc);
        CColctNode::DeleteAll(colct);
    }
};

Fixture& Data()
{
    static Fixture fixture;
    return fixture;
}

// Runs `ours` and `theirs` once each per iteration, in alternating order.
template <typename Ours, typename Theirs>
void RunPairs(benchmark::State& state, Pairs& pairs, Ours ours, Theirs theirs)
{
    pairs = Pairs();
    bool theirsFirst = false;
    for (auto _ : state) {
        double a = 0, b = 0;
        if (theirsFirst) {
            b = theirs();
            a = ours();
        } else {
            a = ours();
            b = theirs();
        }
        theirsFirst = !theirsFirst;
        if (a < 0 || b < 0) {
            state.SkipWithError("a run failed");
            pairs = Pairs();
            return;
        }
        pairs.ours.push_back(a);
        pairs.theirs.push_back(b);
        state.SetIterationTime(a + b);
    }
    state.counters["zandrel_ms"] = Pairs::Median(pairs.ours) * 1e3;
    state.counters["libxml2_ms"] = Pairs::Median(pairs.theirs) * 1e3;
    state.counters["ratio"] = pairs.Ratio();
}

// CPU seconds of one load of the collection, or -1 when it fails.
double ReadOnce(const std::string& bytes)
{
    CReadBkmarkXML reader;
    double start = ThreadSeconds();
    bool ok = reader.LoadXML(bytes.data(), static_cast<long>(bytes.size()));
    CColctNode* colct = reader.DetachColctNode();
    double seconds = ThreadSeconds() - start;
    CColctNode::DeleteAll(colct);
    return ok && colct ? seconds : -1;
}

double ParseOnce(const std::string& bytes)
{
    double start = ThreadSeconds();
    xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, kParseOptions);
    xmlFreeDoc(doc);
    double seconds = ThreadSeconds() - start;
    return doc ? seconds : -1;
}

double WriteOnce(CColctNode* colct)
{
    BenchWriter writer;
    writer.SetColctNode(colct);
    double start = ThreadSeconds();
    int length = writer.Fill();
    double seconds = ThreadSeconds() - start;
    return length > 0 ? seconds : -1;
}

double DumpOnce(xmlDocPtr doc)
{
    xmlChar* text = nullptr;
    int length = 0;
    double start = ThreadSeconds();
    xmlDocDumpMemory(doc, &text, &length);
    xmlFree(text);
    double seconds = ThreadSeconds() - start;
    return length > 0 ? seconds : -1;
}

void BM_ReadColct(benchmark::State& state)
{
    const std::string& bytes = Data().bytes;
    RunPairs(state, g_read, [&] { return ReadOnce(bytes); }, [&] { return ParseOnce(bytes); });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_WriteColct(benchmark::State& state)
{
    Fixture& data = Data();
    if (!data.colct || !data.doc) {
        state.SkipWithError("the generated collection did not load");
        return;
    }
    RunPairs(state, g_write, [&] { return WriteOnce(data.colct); }, [&] { return DumpOnce(data.doc); });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.bytes.size()));
}

BENCHMARK(BM_ReadColct)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(8.0);
BENCHMARK(BM_WriteColct)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5.0);

}  // namespace

int main(int argc, char** argv)
{
    xmlInitParser();
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    if (g_read.ours.empty() && g_write.ours.empty())
        return 0;  // filtered out
    std::printf("collection: %d items, %.1f MB; saved again after loading it %s\n", kItems,
                static_cast<double>(Data().bytes.size()) / 1e6,
                Data().sameBytes ? "gives the same bytes" : "gives DIFFERENT bytes");
    g_read.Report("read", "xmlReadMemory", kReadTarget);
    g_write.Report("write", "xmlDocDumpMemory", kWriteTarget);
    return Data().sameBytes ? 0 : 1;
}
