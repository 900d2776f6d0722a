#pragma once

// The generated project the benchmarks work on: 1,000 folders nested four
// levels deep and 20,000 tagged pages, twenty to a folder, each folder with
// its own collection file, in a home of its own under /tmp. Every run
// builds the same project. Also what the benchmarks measure with: CPU time
// of this thread, pairs of runs and their median ratio, a quiet port.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/BenchPairs.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CAppSettings.h"
#include "app/core/CQuietUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CTagStore.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CTagsXML.h"
#include "base/xml/CWriteColctRSS.h"
#include "base/xml/CWriteFolderTreeOPML.h"

namespace bench {

namespace fs = std::filesystem;

constexpr int kFolders = 1000;
constexpr int kPages = 20000;
constexpr int kFanOut = 6;  // children per folder: 1 + 6 + 36 + 216 + 741
constexpr size_t kTags = 40;

// The size of a project other than the benchmarks' own: `pages` pages,
// twenty to a folder, plus one folder of `bigFolderPages` pages (none when
// 0) as the first below the top; in `home` when given, which is then kept.
struct Shape {
    int pages = kPages;
    int bigFolderPages = 0;
    std::string home;
};
constexpr char kBigFolderName[] = "Big folder";


// The quiet port, with every message on the error output.
class CQuietUI : public CQuietUIPort {
public:
    int MessageBox(const std::u16string& text, const std::u16string& title, int buttons, int defaultAnswer) override
    {
        std::fprintf(stderr, "message: %s\n", CUnicodeTool::ToUtf8(std::u16string_view(text)).c_str());
        return CQuietUIPort::MessageBox(text, title, buttons, defaultAnswer);
    }
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

inline const char* const kWords[] = {
    "project", "notes", "meeting", "draft", "review", "budget", "design", "summary", "research", "plan",
    "report", "ideas", "travel", "recipe", "linux", "kernel", "garden", "photos", "invoice", "letter",
    "caf\xC3\xA9", "M\xC3\xBCller", "\xE6\x97\xA5\xE6\x9C\xAC", "Q&A", "it's", "2009",
};
constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];

inline std::string Words(Random& random, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i)
            text += ' ';
        text += kWords[random.Below(kWordCount)];
    }
    return text;
}

inline std::u16string W(const std::string& utf8)
{
    return CUnicodeTool::FromUtf8(utf8);
}

inline std::string N(const std::u16string& text)
{
    return CUnicodeTool::ToUtf8(std::u16string_view(text));
}

// The project on disk and the list of files libxml2 reads, with `tagCount`
// tags. A page's tags are even draws when `skew` is 1; above 1 the draw is
// raised to that power (scaled back into range), so the first few tags are
// on many pages, as a few tags are in a real project.
struct Project {
    fs::path home;
    fs::path content;
    std::vector<std::string> files;
    bool ok = false;
    size_t tagCount;
    int skew;
    Shape shape;

    explicit Project(size_t tags = kTags, int tagSkew = 1, Shape projectShape = {})
        : tagCount(tags), skew(tagSkew), shape(std::move(projectShape))
    {
        std::string pattern = "/tmp/zandrel-bench-" + std::to_string(tagCount) + "tags-XXXXXX";
        if (!shape.home.empty())
            home = shape.home;
        else if (mkdtemp(pattern.data()))
            home = pattern;
        else
            return;
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
        if (shape.home.empty())
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
        const size_t folderCount = static_cast<size_t>(std::max(1, shape.pages / (kPages / kFolders)));
        for (size_t parent = 0; folders.size() < folderCount; ++parent) {
            for (int k = 0; k < kFanOut && folders.size() < folderCount; ++k) {
                CFolderNode* folder = CFolderNode::New();
                std::string name = Words(random, 2) + " " + std::to_string(folders.size());
                folder->SetName(W(name).c_str());
                RNode* rnode = RNode::New2(folder, NT_FOLDER);
                RNTool::InsertAsChild(folders[parent], rnode);
                folders.push_back(rnode);
                directories.push_back(directories[parent] / name);
            }
        }
        if (shape.bigFolderPages > 0) {
            RNode* big = RNode::New2(CFolderNode::New(), NT_FOLDER);
            big->GetData()->SetName(W(kBigFolderName).c_str());
            RNTool::InsertAsHeadChild(root, big);
            folders.push_back(big);
            directories.push_back(content / kBigFolderName);
        }
        CTagStore* tags = CTagStore::CreateTagStore();
        std::vector<CTagItem*> tagItems;
        for (size_t i = 0; i < tagCount; ++i) {
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
            const bool bigOne = shape.bigFolderPages > 0 && f + 1 == folders.size();
            for (int p = 0; p < (bigOne ? shape.bigFolderPages : perFolder); ++p) {
                CUrlNode* item = CUrlNode::New();
                std::string title = Words(random, 2 + random.Below(4)) + " " + std::to_string(p);
                item->SetName(W(title).c_str());
                item->SetUrl(W(title + ".htm").c_str());
                item->SetItemType(ITEM_NOTE);
                item->SetDescription(W(Words(random, random.Below(8))).c_str());
                std::string tagText;
                for (size_t t = random.Below(4); t > 0; --t) {
                    CTagItem* tag = tagItems[Skewed(random.Below(tagItems.size()))];
                    tagText += N(tag->GetName()) + " ";
                    tag->AddUrlItem(W(relative + title + ".htm").c_str(), true);
                }
                item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(W(tagText).c_str()));
                long base = 1200000000L + static_cast<long>(random.Below(300000000));
                item->GetNodeStat()->SetStatTime(base, base + 1000, base + 2000, 7);
                CBaseNode::AssignUUID(item);
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

    // The same draw for a skew of 1.
    size_t Skewed(size_t pick) const
    {
        uint64_t skewed = pick;
        for (int k = 1; k < skew; ++k)
            skewed = skewed * pick / tagCount;
        return static_cast<size_t>(skewed);
    }
};

// The one project of a benchmark run, generated on first use.
inline Project& Data()
{
    static Project project;
    return project;
}

// Every folder record below and including `root`.
inline void CollectFolders(RNode* root, std::vector<RNode*>& out)
{
    out.push_back(root);
    for (RNode* child = root->GetChild(); child; child = child->GetNext()) {
        if (child->GetType() == NT_FOLDER)
            CollectFolders(child, out);
    }
}

// Runs `body(tree, ui)` on the generated project's tree, loaded with the
// quiet port `ui` in place; the benchmark is skipped when the project was not
// generated or did not load.
template <typename Body>
void WithTree(benchmark::State& state, const Project& project, Body body)
{
    if (!project.ok) {
        state.SkipWithError("the project could not be generated");
        return;
    }
    CQuietUI ui;
    SetUIPort(&ui);
    {
        CFolderTreeMgr tree;
        if (tree.LoadFolderTree(u"Bench"))
            body(tree, ui);
        else
            state.SkipWithError("the project did not load");
    }
    SetUIPort(nullptr);
}

}  // namespace bench
