// Title search over a real project: what matches, in which order, the row
// texts, and the opening of a result that may have gone in the meantime.

#include <gtest/gtest.h>

#include "app/core/CTitleSearch.h"
#include "app/core/CTraceLog.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNTool.h"
#include "tests/app/core/CoreTest.h"

namespace {

// The project "Work": the root and the folders A, A/B and C, each with a
// collection written to disk, then the project opened afresh so that no
// collection is loaded yet.
class TitleSearchTest : public CoreTest {
protected:
    TitleSearchTest()
    {
        fs::create_directories(home.Root() / "Notes");
        EXPECT_NE(projects.CreateProject(file), nullptr);
        RNode* root = tree.GetRoot();
        ui.names = {{u"A"}, {u"B"}, {u"C"}};
        RNode* a = tree.CreateFolder(root);
        RNode* b = tree.CreateFolder(a);
        RNode* c = tree.CreateFolder(root);
        Fill(root, {{u"annual report 2009", u"annual.htm", ITEM_NOTE, u""},
                    {u"Minutes", u"minutes.htm", ITEM_NOTE, u"Quarterly REPORTS"},
                    {u"Budget", u"report.htm", ITEM_NOTE, u""},
                    {u"report link", u"https://example.com/report", ITEM_LINK, u"report"}});
        Fill(a, {{u"Report A", u"a.htm", ITEM_NOTE, u""}});
        Fill(b, {{u"Plans", u"plans.htm", ITEM_NOTE, u""}, {u"Report B", u"Report B.htm", ITEM_NOTE, u""}});
        Fill(c, {{u"report C", u"c.htm", ITEM_NOTE, u""}});
        EXPECT_TRUE(projects.CloseProject());
        EXPECT_TRUE(projects.OpenProject(file));
        EXPECT_TRUE(ui.messages.empty());
        search.SetShowItemHook([this](RNode* folder, CColctNode* colct, CUrlNode* item) {
            shown.push_back({folder, colct, item});
        });
    }
    struct Page {
        const char16_t *name, *url;
        tagKRVITEMTYPE type;
        const char16_t* description;
    };
    void Fill(RNode* folder, std::initializer_list<Page> pages)
    {
        CColctNode* colct = tree.EnsureColct(folder);
        ASSERT_NE(colct, nullptr);
        for (const Page& page : pages)
            AddItem(colct->GetLocRNodeRoot(), page);
        EXPECT_TRUE(tree.SaveColct(colct));
    }
    static CUrlNode* AddItem(RNode* parent, const Page& page)
    {
        CUrlNode* item = AddPageItem(parent, page.name, page.url, page.type);
        item->SetDescription(page.description);
        return item;
    }
    RNode* Folder(const char16_t* path)
    {
        RNode* folder = tree.GetRoot();
        // One-letter names joined with "/".
        for (size_t i = 0; folder && path[i]; i += path[i + 1] ? 2 : 1)
            folder = RNTool::FindRNodeByName(folder, std::u16string(1, path[i]).c_str(), NT_FOLDER);
        return folder;
    }
    Texts Titles() const
    {
        Texts titles;
        for (size_t row = 0; row < search.GetResults().size(); ++row)
            titles.push_back(Utf8(search.GetRow(row).title));
        return titles;
    }
    // Opens `row` and says whether it was shown, and the messages since.
    std::pair<bool, Texts> Open(size_t row)
    {
        size_t before = shown.size();
        ui.messages.clear();
        search.OpenResult(row);
        return {shown.size() > before, ui.MessageTexts()};
    }

    struct Shown {
        RNode* folder;
        CColctNode* colct;
        CUrlNode* item;
    };

    std::u16string file = U16(home.Root() / "Notes" / "Work.zand");
    fs::path content = home.Root() / "Notes" / "Work";
    CTitleSearch search{tree};
    std::vector<Shown> shown;
    const Texts kGone{"Can not find this Page, it may be removed!"};
};

TEST_F(TitleSearchTest, FindsPagesByNameOrDescriptionInTreeOrder)
{
    EXPECT_EQ(static_cast<CFolderNode*>(Folder(u"A/B")->GetData())->GetColctNode(), nullptr);
    EXPECT_EQ(search.Search(u"Report", true), 5u);
    EXPECT_EQ(Utf8(search.GetQuery()), "report");
    // Not by address, not a link, and the walk goes down before across.
    EXPECT_EQ(Titles(), (Texts{"annual report 2009", "Minutes", "Report A", "Report B", "report C"}));

    const CTitleResult& b = search.GetResults()[3];
    EXPECT_EQ(b.host, Folder(u"A/B")->GetData());
    EXPECT_EQ(Utf8(search.GetPagePath(3)), (content / "A" / "B" / "Report B.htm").string());
    EXPECT_EQ(Utf8(search.GetPagePath(0)), (content / "annual.htm").string());
    CTitleRow row = search.GetRow(3);
    EXPECT_EQ(Utf8(row.title), "Report B");
    EXPECT_EQ(Utf8(row.folder), "\\A\\B");
    EXPECT_EQ(Utf8(row.file), "Report B.htm");
    EXPECT_EQ(Utf8(search.GetRow(0).folder), "");
    EXPECT_EQ(Utf8(search.GetRow(4).folder), "\\C");
    EXPECT_TRUE(ui.messages.empty());

    // Only the current folder's collection without the all flag.
    tree.SetCurrentFolder(Folder(u"A/B"));
    EXPECT_EQ(search.Search(u"REPORT", false), 1u);
    EXPECT_EQ(Titles(), Texts{"Report B"});
    EXPECT_EQ(search.Search(u"nothing like it", true), 0u);

    // An empty text clears the previous results.
    search.Search(u"report", true);
    EXPECT_EQ(search.Search(u"", true), 0u);
    EXPECT_TRUE(search.GetResults().empty());
    EXPECT_EQ(search.GetQuery(), u"");
}

// A page inside a folder of a collection is not searched; an address that
// would lead out of the page's folder gives no path.
TEST_F(TitleSearchTest, GroupedPagesAndStrayAddresses)
{
    search.Search(u"report", true);  // records to be taken over by the next search
    CColctNode* colct = tree.LoadColct(Folder(u"C"), false);
    RNode* group = RNode::New2(CFolderNode::New(), NT_FOLDER);
    group->GetData()->SetName(u"odd group");
    RNTool::InsertAsChild(colct->GetLocRNodeRoot(), group);
    AddItem(group, {u"odd inside", u"inside.htm", ITEM_NOTE, u""});
    AddItem(colct->GetLocRNodeRoot(), {u"Odd report", u"../../escape.htm", ITEM_NOTE, u""})->SetUUID(u"");
    ASSERT_EQ(search.Search(u"odd", true), 1u);
    EXPECT_EQ(search.GetPagePath(0), u"");
    EXPECT_EQ(Utf8(search.GetRow(0).file), "../../escape.htm");
    EXPECT_EQ(Open(0), (std::pair<bool, Texts>{true, {}}));
}

// A page is found by its texts as they are now; a rename keeps the new
// description.
TEST_F(TitleSearchTest, FindsChangedTextsAndNotTheOldOnes)
{
    ASSERT_EQ(search.Search(u"report", true), 5u);
    CUrlNode* minutes = search.GetResults()[1].item;
    search.GetResults()[3].item->SetName(u"Renamed Page");
    minutes->SetDescription(u"Weekly NOTES");
    minutes->SetName(u"Agenda");
    EXPECT_EQ(search.Search(u"report", true), 3u);
    EXPECT_EQ(search.Search(u"RENAMED", true), 1u);
    EXPECT_EQ(search.Search(u"weekly notes", true), 1u);
    EXPECT_EQ(Titles(), Texts{"Agenda"});
}

TEST_F(TitleSearchTest, OpeningAResultShowsItsPageAndIsTraced)
{
    fs::path log = home.Root() / "trace.log";
    ASSERT_TRUE(CTraceLog::Open(U16(log), false));
    search.Search(u"report b", true);
    EXPECT_EQ(Open(0), (std::pair<bool, Texts>{true, {}}));
    CTraceLog::Close();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].folder, Folder(u"A/B"));
    EXPECT_EQ(shown[0].colct, tree.LoadColct(Folder(u"A/B"), false));
    EXPECT_EQ(shown[0].item, search.GetResults()[0].item);
    EXPECT_NE(ReadBytes(log).find("Clicked\r\n"), std::string::npos);
    EXPECT_EQ(Open(7).first, false);  // no such row
}

TEST_F(TitleSearchTest, AResultWhosePageWentSaysSo)
{
    search.Search(u"report", true);
    ASSERT_EQ(search.GetResults().size(), 5u);

    // The item taken out of its collection.
    CColctNode* colct = tree.LoadColct(Folder(u"A"), false);
    RNode* record = colct->GetFirstRNode();
    ASSERT_TRUE(RNTool::RemoveOneChild(colct->GetLocRNodeRoot(), record));
    CBaseNode::Delete(record->GetData());
    RNode::Delete(record);
    EXPECT_EQ(Open(2), (std::pair<bool, Texts>{false, kGone}));

    // Another item where the old one was is not the old one.
    search.GetResults()[3].item->SetUUID(u"00000000-0000-0000-0000-000000000000");
    EXPECT_EQ(Open(3), (std::pair<bool, Texts>{false, kGone}));

    // Its folder removed from the tree.
    ui.confirmations = {true};
    ASSERT_TRUE(tree.RemoveFolder(Folder(u"C")));
    EXPECT_EQ(Open(4), (std::pair<bool, Texts>{false, kGone}));
    EXPECT_EQ(Open(0), (std::pair<bool, Texts>{true, {}}));

    // The project closed.
    ASSERT_TRUE(projects.CloseProject());
    EXPECT_EQ(Open(0), (std::pair<bool, Texts>{false, kGone}));
    EXPECT_EQ(shown.size(), 1u);
}

// A search in steps reads a collection a step; a newer query replaces an
// older one; a change to the project between steps starts the reading
// again rather than following what the change freed.
TEST_F(TitleSearchTest, SearchesInStepsAndStartsAgainAfterAChange)
{
    search.Begin(u"report", true);
    EXPECT_FALSE(search.Step(0));
    EXPECT_TRUE(search.IsRunning());
    EXPECT_GT(search.GetProgress(), 0.0);
    EXPECT_LT(search.GetProgress(), 1.0);
    EXPECT_EQ(search.GetRow(0).title, u"");  // nothing yet

    search.Begin(u"plans", true);
    ui.confirmations = {true};
    ASSERT_TRUE(tree.RemoveFolder(Folder(u"C")));
    CColctNode* root = tree.LoadColct(tree.GetRoot(), false);
    RNode* annual = root->GetFirstRNode();
    ASSERT_TRUE(RNTool::RemoveOneChild(root->GetLocRNodeRoot(), annual));
    CBaseNode::Delete(annual->GetData());
    RNode::Delete(annual);
    int steps = 1;
    while (!search.Step(0))
        ++steps;
    EXPECT_GE(steps, 3);
    EXPECT_EQ(Titles(), Texts{"Plans"});
    EXPECT_EQ(Utf8(search.GetRow(0).folder), "\\A\\B");

    // Gone pages and folders are not found, from the index kept either.
    EXPECT_EQ(search.Search(u"report", true), 3u);
    EXPECT_EQ(Titles(), (Texts{"Minutes", "Report A", "Report B"}));

    // The texts of a row are only read while the project is as searched.
    search.GetResults()[0].item->SetName(u"Changed");
    EXPECT_EQ(search.GetRow(0).title, u"");
    EXPECT_EQ(search.GetPagePath(0), u"");
    search.Clear();
    EXPECT_FALSE(search.IsRunning());
}

}  // namespace
