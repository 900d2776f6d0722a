// Opening a generated project against libxml2 on the same files: 1,000
// folders nested four levels deep and 20,000 tagged pages, twenty to a
// folder, each folder with its own collection file.
//
// Zandrel: CFolderTreeMgr::LoadFolderTree (tree file, recent collections,
// tags) and LoadColct for every folder, then the manager is released.
// libxml2: xmlReadFile and xmlFreeDoc of the tree file, the tags file and
// every collection file. Both sides are timed in CPU time of this thread and
// run in pairs, alternating which goes first; the ratio is the median of
// the pairs' ratios.

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/tools/CBaseTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CTagsXML.h"
#include "base/xml/CWriteColctRSS.h"
#include "base/xml/CWriteFolderTreeOPML.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 1000;
constexpr int kPages = 20000;
constexpr int kFanOut = 6;  // children per folder: 1 + 6 + 36 + 216 + 741
constexpr double kTarget = 1.5;
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct Pairs {
    std::vector<double> ours;
    std::vector<double> theirs;

    static double Median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }
    double Ratio() const
    {
        std::vector<double> ratios;
        for (size_t i = 0; i < ours.size(); ++i)
            ratios.push_back(ours[i] / theirs[i]);
        return Median(ratios);
    }
};

Pairs g_open;

double ThreadSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A port that answers nothing and shows nothing.
class CQuietUI : public CUIPort {
public:
    int MessageBox(const std::u16string& text, const std::u16string&, int, int defaultAnswer) override
    {
        ++messages;
        std::fprintf(stderr, "message: %s\n", CUnicodeTool::ToUtf8(std::u16string_view(text)).c_str());
        return defaultAnswer;
    }
    bool Confirm(const CConfirmation&) override { return false; }
    bool AskFolderName(const std::u16string&, CNameRules&, std::u16string*) override { return false; }
    bool AskNewProjectPath(const std::u16string&, CNameRules&, std::u16string*) override { return false; }
    bool AskOpenProjectPath(const std::u16string&, std::u16string*) override { return false; }
    void SetProjectState(bool) override {}
    void SetWindowTitle(const std::u16string&) override {}
    void ShowTree(RNode*, RNode*) override {}
    void ShowCollection(CColctNode*) override {}
    void ClearPageView() override {}
    bool OpenUri(const std::u16string&) override { return false; }
    bool RunProgram(const std::u16string&, const std::u16string&) override { return false; }
    void ShowInFileManager(const std::u16string&) override {}
    void PostMessage(unsigned, uintptr_t, void*) override {}
    void ExitProcess(int code) override { std::exit(code); }

    int messages = 0;
};

// xorshift64*: a fixed seed, so every run builds the same project.
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
    "project", "notes", "meeting", "draft", "review", "budget", "design", "summary", "research", "plan",
    "report", "ideas", "travel", "recipe", "linux", "kernel", "garden", "photos", "invoice", "letter",
    "caf\xC3\xA9", "M\xC3\xBCller", "\xE6\x97\xA5\xE6\x9C\xAC", "Q&A", "it's", "2009",
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

std::string N(const std::u16string& text)
{
    return CUnicodeTool::ToUtf8(std::u16string_view(text));
}

// The project on disk and the list of files libxml2 reads.
struct Project {
    fs::path home;
    fs::path content;
    std::vector<std::string> files;
    bool ok = false;

    Project()
    {
        char pattern[] = "/tmp/zandrel-bench-XXXXXX";
        if (!mkdtemp(pattern))
            return;
        home = pattern;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
        content = home / "Bench";
        fs::create_directories(content / ".zandrel");
        CAppSettings::Get()->GetUserFolder().SetCurrentContentPath(W(content.string() + "/"));
        ok = Generate();
    }
    ~Project()
    {
        std::error_code ignored;
        fs::remove_all(home, ignored);
    }

    bool Generate()
    {
        Random random;
        RNode* root = RNode::New2(CFolderNode::New(), NT_FOLDER);
        root->GetData()->SetName(u"Bench");
        std::vector<RNode*> folders{root};
        std::vector<fs::path> directories{content};
        // Breadth first, so the tree fills level by level.
        for (size_t parent = 0; folders.size() < kFolders; ++parent) {
            for (int k = 0; k < kFanOut && folders.size() < kFolders; ++k) {
                CFolderNode* folder = CFolderNode::New();
                std::string name = Words(random, 2) + " " + std::to_string(folders.size());
                folder->SetName(W(name).c_str());
                RNode* rnode = RNode::New2(folder, NT_FOLDER);
                RNTool::InsertAsChild(folders[parent], rnode);
                folders.push_back(rnode);
                directories.push_back(directories[parent] / name);
            }
        }
        CTagStore* tags = CTagStore::CreateTagStore();
        std::vector<CTagItem*> tagItems;
        for (size_t i = 0; i < 40; ++i) {
            CTagItem* tag = CTagStore::CreateTagItem();
            tag->SetName(W(kWords[i % kWordCount] + std::to_string(i)).c_str());
            tags->AddTagItem(tag);
            tagItems.push_back(tag);
        }
        const int perFolder = kPages / kFolders;
        for (size_t f = 0; f < folders.size(); ++f) {
            fs::create_directories(directories[f] / ".zandrel");
            std::string relative = fs::relative(directories[f], content).string();
            relative = relative == "." ? "" : relative + "/";
            CColctNode* colct = CColctNode::New();
            colct->SetLocRNodeRoot(RNode::New2(CFolderNode::New(), NT_FOLDER));
            for (int p = 0; p < perFolder; ++p) {
                CUrlNode* item = CUrlNode::New();
                std::string title = Words(random, 2 + random.Below(4)) + " " + std::to_string(p);
                item->SetName(W(title).c_str());
                item->SetUrl(W(title + ".htm").c_str());
                item->SetItemType(ITEM_NOTE);
                item->SetDescription(W(Words(random, random.Below(8))).c_str());
                std::string tagText;
                for (size_t t = random.Below(4); t > 0; --t) {
                    CTagItem* tag = tagItems[random.Below(tagItems.size())];
                    tagText += N(tag->GetName()) + " ";
                    tag->AddUrlItem(W(relative + title + ".htm").c_str(), true);
                }
                item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(W(tagText).c_str()));
                long base = 1200000000L + static_cast<long>(random.Below(300000000));
                item->GetNodeStat()->SetStatTime(base, base + 1000, base + 2000, 7);
                CBaseTool::AssignUUID(item);
                RNTool::InsertAsChild(colct->GetLocRNodeRoot(), RNode::New2(item, NT_URL));
            }
            CWriteColctRSS writer;
            writer.SetColctNode(colct);
            std::string file = (directories[f] / ".zandrel" / "krv_files.xml").string();
            bool written = writer.SaveToFile(W(file).c_str());
            CColctNode::DeleteAll(colct);
            if (!written)
                return false;
            static_cast<CFolderNode*>(folders[f]->GetData())->SetHasPage(true);
            files.push_back(file);
        }
        std::string treeFile = (content / ".zandrel" / "krv_folders.xml").string();
        std::string tagsFile = (content / ".zandrel" / "krv_tags.xml").string();
        CWriteFolderTreeOPML treeWriter;
        treeWriter.SetTreeRoot(root);
        CWriteTagsXML tagsWriter;
        tagsWriter.SetTagStore(tags);
        bool written = treeWriter.SaveToFile(W(treeFile).c_str()) && tagsWriter.SaveToFile(W(tagsFile).c_str());
        RNTool::DeleteTree(root);
        CTagStore::DeleteTagStore(tags);
        files.push_back(treeFile);
        files.push_back(tagsFile);
        return written;
    }
};

Project& Data()
{
    static Project project;
    return project;
}

// Every folder record below and including `root`.
void CollectFolders(RNode* root, std::vector<RNode*>& out)
{
    out.push_back(root);
    for (RNode* child = root->GetChild(); child; child = child->GetNext()) {
        if (child->GetType() == NT_FOLDER)
            CollectFolders(child, out);
    }
}

// CPU seconds of one open of the project, or -1 when something is missing.
double OpenOnce(CQuietUI& ui)
{
    std::vector<RNode*> folders;
    folders.reserve(kFolders);
    int loaded = 0;
    double start = ThreadSeconds();
    {
        CFolderTreeMgr tree;
        tree.LoadFolderTree(u"Bench");
        if (tree.GetRoot())
            CollectFolders(tree.GetRoot(), folders);
        for (RNode* folder : folders)
            loaded += tree.LoadColct(folder, true) ? 1 : 0;
        // Released without writing anything: the files stay as generated.
    }
    double seconds = ThreadSeconds() - start;
    return loaded == kFolders && ui.messages == 0 ? seconds : -1;
}

double ParseOnce(const std::vector<std::string>& files)
{
    bool ok = true;
    double start = ThreadSeconds();
    for (const std::string& file : files) {
        xmlDocPtr doc = xmlReadFile(file.c_str(), nullptr, kParseOptions);
        ok = ok && doc;
        xmlFreeDoc(doc);
    }
    double seconds = ThreadSeconds() - start;
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    xmlInitParser();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_open.ours.empty())
        return 0;  // filtered out, or failed
    Project& project = Data();
    uintmax_t bytes = 0;
    for (const std::string& file : project.files)
        bytes += fs::file_size(file);
    std::printf("project: %d folders, %d pages, %zu files, %.1f MB\n", kFolders, kPages, project.files.size(),
                static_cast<double>(bytes) / 1e6);
    double ratio = g_open.Ratio();
    std::printf("open zandrel: %.1f ms, libxml2: %.1f ms (median CPU time of %zu pairs)\n",
                Pairs::Median(g_open.ours) * 1e3, Pairs::Median(g_open.theirs) * 1e3, g_open.ours.size());
    std::printf("open ratio zandrel/libxml2: %.3f (target <= %.2f): %s\n", ratio, kTarget,
                ratio <= kTarget ? "met" : "NOT met");
    CAppSettings::Release();
    return 0;
}
