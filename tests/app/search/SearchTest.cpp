// The full-text index: the query language, what is indexed from a page,
// how the index follows the project and the disk, how it recovers from a
// damaged file, the query worker, and the command-line search.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/core/CProjectMgr.h"
#include "app/core/CTraceLog.h"
#include "app/main/CMainCore.h"
#include "app/search/CPageSearch.h"
#include "app/search/CSearchQuery.h"
#include "base/model/CZandrelProject.h"
#include "tests/app/core/pages/PageTestUtil.h"
#include "tests/RunCli.h"

namespace {

TEST(SearchQuery, QuotesEveryTermSoNothingTypedBecomesSyntax)
{
    auto match = [](const char16_t* text) { return CSearchQuery::Parse(text).match; };
    EXPECT_EQ(match(u"cafe  Budget"), "\"cafe\" AND \"Budget\"");
    EXPECT_EQ(match(u"\"exact phrase\" pre*"), "\"exact phrase\" AND \"pre\"*");
    EXPECT_EQ(match(u"a -b -\"c d\""), "(\"a\") NOT (\"b\" OR \"c d\")");
    // Operators, column filters and quotes stay words.
    EXPECT_EQ(match(u"x AND NEAR(y) title:z NOT"), "\"x\" AND \"AND\" AND \"NEAR(y)\" AND \"title:z\" AND \"NOT\"");
    EXPECT_EQ(match(u"say\"hi"), "\"say\"\"hi\"");
    // Terms without a word would match nothing at all, so they go.
    EXPECT_EQ(match(u"& cafe - * \"\""), "\"cafe\"");

    CSearchQuery q = CSearchQuery::Parse(u"tag:Red in:\"My Work\\Sub/\" in:/ -tag:x -in:A");
    EXPECT_EQ(q.tags, std::vector<std::u16string>({u"\x1fred\x1f"}));
    EXPECT_EQ(q.notTags, std::vector<std::u16string>({u"\x1fx\x1f"}));
    EXPECT_EQ(q.folders, std::vector<std::u16string>({u"my work/sub/"}));
    EXPECT_EQ(q.notFolders, std::vector<std::u16string>({u"a/"}));
    EXPECT_EQ(q.match, "");
    EXPECT_TRUE(q.usable);
    // Excluding alone finds nothing; next to a filter it excludes from it.
    EXPECT_FALSE(CSearchQuery::Parse(u"-word").usable);
    EXPECT_FALSE(CSearchQuery::Parse(u"  ").usable);
    q = CSearchQuery::Parse(u"tag:red -word");
    EXPECT_TRUE(q.usable);
    EXPECT_EQ(q.match, "");
    EXPECT_EQ(q.exclude, "\"word\"");
}

TEST(PageText, KeepsTheWordsAPersonReads)
{
    EXPECT_EQ(CPageText::Extract("<html><head><title>T</title><style>p{x:1}</style><script>var secret=1;</script>"
                                 "</head><body><p>Caf&eacute;&nbsp;au<b>lait</b></p><div>next</div>"
                                 "<noscript>ns</noscript><!-- comment --><template>tpl</template>a<br>b</body>"),
              "T Caf\xC3\xA9\xC2\xA0" "aulait next a b");
    EXPECT_EQ(CPageText::Extract(""), "");
    EXPECT_EQ(CPageText::Extract(std::string(3 << 20, 'x')).size(), size_t(2 << 20));
}

class SearchTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        work = AddFolder(u"Work");
        sub = FolderTest::AddFolder(work, u"Sub");
        cafe = AddPage(root, u"Caf\u00e9 list",
                       "<p>Meeting about the caf&eacute; budget</p><script>var secretword = 1;</script>"
                       "<style>.hiddenstyle{}</style>",
                       u"Red");
        AddPage(work, u"Plans", "<p>budget for the garden and the meeting</p>", u"redish");
        AddPage(sub, u"Garden budget", "<p>roses</p>");
        AddPage(sub, u"Other", "<p>nothing about gardens here, just a budget</p>", u"red");
        for (RNode* folder : {root, work, sub})
            EXPECT_TRUE(tree.SaveColct(Colct(folder)));
        ASSERT_TRUE(index.Open(path));
    }

    CSearchIndex::CSyncStats Sync(bool full = false)
    {
        return index.Sync(CPageSearch::ListFolders(tree), full, nullptr, {});
    }
    Texts Find(const char16_t* query)
    {
        Texts found;
        for (const CSearchHit& hit : index.Query(query, 50))
            found.push_back(Utf8(hit.pagePath));
        std::sort(found.begin(), found.end());
        return found;
    }

    std::u16string path = CSearchIndex::PathFor(u"1234-uuid");
    CSearchIndex index;
    RNode* work = nullptr;
    RNode* sub = nullptr;
    CUrlNode* cafe = nullptr;
};

TEST_F(SearchTest, FindsEveryQueryFormAndNothingOfScripts)
{
    EXPECT_EQ(Utf8(path), (home.Root() / ".cache/Zandrel/index/1234-uuid.sqlite").string());
    CSearchIndex::CSyncStats stats = Sync(true);
    EXPECT_EQ(stats.pagesIndexed, 4);
    EXPECT_EQ(stats.pagesTotal, 4);
    EXPECT_EQ(Find(u"CAFE"), Texts({"Caf\xC3\xA9 list.htm"}));  // diacritics and entities
    EXPECT_EQ(Find(u"budget meeting"), Texts({"Caf\xC3\xA9 list.htm", "Work/Plans.htm"}));
    EXPECT_EQ(Find(u"\"the cafe budget\""), Texts({"Caf\xC3\xA9 list.htm"}));
    EXPECT_EQ(Find(u"\"budget meeting\""), Texts());
    EXPECT_EQ(Find(u"garden*"), Texts({"Work/Plans.htm", "Work/Sub/Garden budget.htm", "Work/Sub/Other.htm"}));
    EXPECT_EQ(Find(u"budget -garden"), Texts({"Caf\xC3\xA9 list.htm", "Work/Sub/Other.htm"}));
    EXPECT_EQ(Find(u"tag:RED"), Texts({"Caf\xC3\xA9 list.htm", "Work/Sub/Other.htm"}));
    EXPECT_EQ(Find(u"budget in:work/sub"), Texts({"Work/Sub/Garden budget.htm", "Work/Sub/Other.htm"}));
    EXPECT_EQ(Find(u"in:Work -roses"), Texts({"Work/Plans.htm", "Work/Sub/Other.htm"}));
    EXPECT_EQ(Find(u"budget -tag:red -in:work/sub"), Texts({"Work/Plans.htm"}));
    EXPECT_EQ(Find(u"in:Wor"), Texts());
    EXPECT_EQ(Find(u"secretword"), Texts());
    EXPECT_EQ(Find(u"hiddenstyle"), Texts());
    EXPECT_EQ(Find(u"-budget"), Texts());
    EXPECT_EQ(Find(u"NEAR( AND \""), Texts());
    EXPECT_EQ(index.Query(u"budget", 50, false, false).size(), 4u);  // unranked, as --paths lists

    // The title weighs more than the text; the snippet marks the words.
    std::vector<CSearchHit> hits = index.Query(u"garden", 10);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(Utf8(hits[0].title), "Garden budget");
    EXPECT_EQ(Utf8(hits[0].folder), "Work/Sub");
    EXPECT_EQ(Utf8(hits[1].snippet), "budget for the \x02garden\x03 and the meeting");
    EXPECT_LT(hits[0].rank, hits[1].rank);
}

TEST_F(SearchTest, FollowsRenamesMovesDeletesAndChangesOnDisk)
{
    Sync(true);
    EXPECT_EQ(Sync().pagesIndexed, 0);  // nothing changed

    // Changed by another program: found at the next full sync.
    WriteBytes(content / "Work" / "Plans.htm", "<p>a brand new text about tulips</p>");
    EXPECT_EQ(Sync(true).pagesIndexed, 1);
    EXPECT_EQ(Find(u"tulips"), Texts({"Work/Plans.htm"}));
    EXPECT_EQ(Find(u"budget in:Work"), Texts({"Work/Sub/Garden budget.htm", "Work/Sub/Other.htm"}));

    ASSERT_TRUE(pages->RenamePage(cafe, u"Coffee"));
    Sync();
    EXPECT_EQ(Find(u"cafe"), Texts({"Coffee.htm"}));
    ASSERT_TRUE(pages->MovePage(cafe, sub));
    Sync();
    EXPECT_EQ(Find(u"cafe"), Texts({"Work/Sub/Coffee.htm"}));
    EXPECT_EQ(Find(u"tag:red in:Work/Sub"), Texts({"Work/Sub/Coffee.htm", "Work/Sub/Other.htm"}));
    ui.confirmations = {true};
    ASSERT_TRUE(pages->DeletePage(cafe));
    CSearchIndex::CSyncStats stats = Sync();
    EXPECT_EQ(stats.pagesRemoved, 1);
    EXPECT_EQ(stats.pagesTotal, 3);
    EXPECT_EQ(Find(u"cafe"), Texts());
    // The trash runs on its own thread; renaming the folder under it would
    // make it fail halfway.
    for (int i = 0; i < 1000 && fs::exists(content / "Work/Sub/Coffee.htm"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    // A renamed folder takes its pages along.
    ASSERT_TRUE(tree.RenameFolder(sub, u"Later"));
    Sync();
    EXPECT_EQ(Find(u"roses"), Texts({"Work/Later/Garden budget.htm"}));
    EXPECT_EQ(Find(u"in:Work/Sub"), Texts());
}

TEST_F(SearchTest, MakesADeletedDamagedOrForeignIndexAgain)
{
    ASSERT_TRUE(CTraceLog::Open(U16(home.Root() / "trace.log"), false));
    Sync(true);
    index.Close();
    fs::remove(Utf8(path));
    ASSERT_TRUE(index.Open(path));
    EXPECT_EQ(index.PageCount(), 0);
    EXPECT_EQ(Sync(true).pagesIndexed, 4);
    index.Close();

    // Garbage over the file: not a database; then a database not ours.
    std::string bytes = ReadBytes(Utf8(path));
    for (size_t at = 0; at < bytes.size(); at += 7)
        bytes[at] = char(at);
    WriteBytes(Utf8(path), bytes);
    ASSERT_TRUE(index.Open(path));
    EXPECT_EQ(Sync(true).pagesIndexed, 4);
    EXPECT_EQ(Find(u"roses"), Texts({"Work/Sub/Garden budget.htm"}));
    index.Close();
    fs::remove(Utf8(path));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Utf8(path).c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "PRAGMA application_id=7; CREATE TABLE t(x);", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ASSERT_TRUE(index.Open(path));
    EXPECT_EQ(index.PageCount(), 0);
    CTraceLog::Close();
    std::string log = ReadBytes(home.Root() / "trace.log");
    EXPECT_NE(log.find("made again"), std::string::npos) << log;
    EXPECT_NE(log.find("not a Zandrel index"), std::string::npos) << log;
}

TEST_F(SearchTest, DeliversOnlyTheNewestQuery)
{
    std::vector<std::string> delivered;
    std::vector<CPageSearch::CState> states;
    CPageSearch search([&](const CPageSearch::CState& state) { states.push_back(state); },
                       [&](const std::u16string& query, const std::vector<CSearchHit>& hits) {
                           delivered.push_back(Utf8(query) + "=" + std::to_string(hits.size()));
                       });
    search.Open(u"5678-uuid", CPageSearch::ListFolders(tree));
    // Wait for the build to end, as the task pane sees it.
    while (states.empty() || states.back().syncing)
        ASSERT_EQ(ui.RunPosted(1), 1u);
    EXPECT_EQ(states.front().syncing, true);
    for (const char16_t* typed : {u"b", u"bu", u"bud", u"budg", u"budget", u"budget -garden"})
        search.Submit(typed);
    while (delivered.empty())
        ASSERT_EQ(ui.RunPosted(1), 1u);
    ui.RunPosted();
    // The newest query's results only (again, if the build's end crossed it).
    for (const std::string& results : delivered)
        EXPECT_EQ(results, "budget -garden=2");

    // A change to the project runs the newest query again.
    AddPage(root, u"Budget 2", "<p>more</p>");
    ASSERT_TRUE(tree.SaveColct(Colct(root)));
    search.Changed(CPageSearch::ListFolders(tree));
    while (delivered.back() != "budget -garden=3")
        ASSERT_EQ(ui.RunPosted(1), 1u);
    // A picker's lookups beside it: only the newest is answered.
    std::vector<size_t> looked;
    search.Lookup(u"roses", 10, [&](const std::vector<CSearchHit>& hits) { looked.push_back(100 + hits.size()); });
    search.Lookup(u"budget", 10, [&](const std::vector<CSearchHit>& hits) { looked.push_back(hits.size()); });
    while (looked.empty())
        ASSERT_EQ(ui.RunPosted(1), 1u);
    ui.RunPosted();
    EXPECT_EQ(looked, std::vector<size_t>{5});

    size_t count = delivered.size();
    search.Submit(u"budget");
    search.Close();
    ui.RunPosted();
    EXPECT_EQ(delivered.size(), count);  // nothing after Close
}

class SearchCliTest : public ::testing::Test {
protected:
    ~SearchCliTest() override { CMainCore::ReleaseProgramObjects(); }
    ScopedHome home;
    ScriptedUI ui;
};

TEST_F(SearchCliTest, PrintsPathTitleAndSnippet)
{
    fs::path file = home.Root() / "Notes" / "Work.zand";
    {
        CMainCore core;
        fs::create_directories(file.parent_path());
        ASSERT_NE(core.GetProjectMgr().CreateProject(U16(file)), nullptr);
        CFolderTreeMgr& tree = core.GetTreeMgr();
        AddPageItem(tree.EnsureColct(tree.GetRoot())->GetLocRNodeRoot(), u"Plan\tA");
        ASSERT_TRUE(tree.SaveColct(tree.EnsureColct(tree.GetRoot())));
        WriteBytes(file.parent_path() / "Work" / "Plan\tA.htm", "<p>the plan for\nspring</p>");
        ASSERT_TRUE(core.GetProjectMgr().CloseProject());
    }
    std::string project = "search '" + file.string() + "' ";
    EXPECT_EQ(RunCli(project + "spring"), std::make_pair(0, std::string("Plan A.htm\tPlan A\tthe plan for [spring]\n")));
    EXPECT_EQ(RunCli(project + "spring --paths"), std::make_pair(0, std::string("Plan A.htm\n")));
    EXPECT_EQ(RunCli(project + "nothing"), std::make_pair(0, std::string()));
    EXPECT_EQ(RunCli(project).first, 2);
    WriteBytes(file.string() + ".lck", "");
    EXPECT_EQ(RunCli(project + "spring").first, 3);
}

}  // namespace
