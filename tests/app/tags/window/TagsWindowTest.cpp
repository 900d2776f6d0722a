// The tags window's commands and what they do to the pages, the tag store
// and the files, through the scripted interface.

#include <sys/inotify.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <map>
#include <set>

#include "app/core/CPageMgr.h"
#include "app/tags/CTagsWindowMgr.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlProp.h"
#include "tests/app/core/CoreTest.h"

namespace {

using TagMap = std::map<std::string, std::set<std::string>>;

// Counts the collection files renamed into place in a folder's data folder.
class WriteCounter {
public:
    explicit WriteCounter(const fs::path& dataFolder)
    {
        m_fd = inotify_init1(IN_NONBLOCK);
        inotify_add_watch(m_fd, dataFolder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~WriteCounter() { ::close(m_fd); }
    int Count()
    {
        alignas(inotify_event) char buffer[8192];
        for (ssize_t got; (got = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + got;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if ((event->mask & IN_MOVED_TO) && event->len && std::string(event->name) == "krv_files.xml")
                    ++m_count;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return m_count;
    }

private:
    int m_fd = -1;
    int m_count = 0;
};

class TagsWindowTest : public CoreTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(projects.CreateProject(U16(home.Root() / "Notes.zand")), nullptr);
        content = Utf8(CAppSettings::Get()->GetUserFolder().GetCurrentContentPath());
        tags.OnWindowReady();
    }

    RNode* AddFolder(const std::u16string& name)
    {
        RNode* rnode = RNode::New2(CFolderNode::New(), NT_FOLDER);
        rnode->GetData()->SetName(name.c_str());
        RNTool::InsertAsChild(tree.GetRoot(), rnode);
        fs::create_directories(Dir(rnode) / ".zandrel");
        return rnode;
    }
    // A saved page with its tags in the store and the collection file.
    CUrlNode* AddPage(RNode* folder, const std::u16string& name, const char16_t* tagText)
    {
        CColctNode* colct = tree.EnsureColct(folder);
        CUrlNode* item = AddPageItem(colct->GetLocRNodeRoot(), name);
        item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(tagText));
        WriteBytes(Dir(folder) / Utf8(name + u".htm"), "<html></html>");
        for (const std::string& tag : TagsOf(item))
            tree.GetProjectTags().AddTag(Utf16(tag), tree.GetPageRelativePath(folder, item));
        EXPECT_TRUE(tree.SaveColct(colct));
        return item;
    }
    fs::path Dir(RNode* folder) { return Utf8(tree.GetFolderDirectory(folder)); }
    static fs::path ColctFile(const fs::path& directory) { return directory / ".zandrel" / "krv_files.xml"; }
    static Texts TagsOf(CUrlNode* item)
    {
        Texts list;
        for (RBstrItem* t = item->PeekUrlProp() ? item->PeekUrlProp()->GetTagsHead() : nullptr; t; t = t->GetNext())
            list.push_back(Utf8(t->GetData()));
        return list;
    }
    TagMap Store()
    {
        TagMap map;
        for (RTagItem* r = tree.GetTagStore()->GetTagItemHead(); r; r = r->GetNext()) {
            auto& paths = map[Utf8(r->GetData()->GetName())];
            for (RBstrItem* u = r->GetData()->GetUrlList(); u; u = u->GetNext())
                paths.insert(Utf8(u->GetData()));
        }
        return map;
    }
    void Show(RNode* folder, CUrlNode* item)
    {
        ASSERT_TRUE(core->GetPageMgr().ShowFolder(folder));
        ASSERT_TRUE(core->GetPageMgr().ShowItem(static_cast<CFolderNode*>(folder->GetData())->GetColctNode(), item));
    }
    void Run(const std::string& command) { tags.OnCommand(Utf16(command), nullptr); }
    void Run(const std::string& command, const std::string& body) { tags.OnCommand(Utf16(command), &body); }
    std::string FormFor(CUrlNode* item, const std::string& fields)
    {
        return fields + "&savebtn=+Save+&colctid=" + Utf8(core->GetPageMgr().GetCurrentColct()->GetUUID()) +
               "&pageid=" + Utf8(item->GetUUID());
    }

    CTagsWindowMgr& tags = core->GetTagsMgr();
    fs::path content;
};

TEST(TagsWindow, PagesWaitForTheWindowAndTheWindowGoesWhereItFits)
{
    ScopedHome home;
    ScriptedUI ui;
    CMainCore core;
    CTagsWindowMgr& tags = core.GetTagsMgr();
    tags.ShowPage(u"<p>a");
    tags.ShowPage(u"<p>b");  // replaces the one still waiting
    EXPECT_EQ(ui.tagsWindowShows, (std::vector<int>{0, 0}));
    EXPECT_TRUE(ui.tagsPages.empty());
    tags.OnWindowReady();
    tags.ShowPage(u"<p>c");
    EXPECT_EQ(ui.tagsPages, (Texts{"<p>b", "<p>c"}));

    // A stored place that does not fit (too small, off the screen) gives
    // the centred default.
    auto rect = [](int w, int h, CQVRect stored) {
        CQVRect r = CTagsWindowMgr::GetWindowRect(w, h, stored);
        return std::vector<int>{r.x, r.y, r.width, r.height};
    };
    const std::vector<int> centred{384, 196, 1152, 648};
    EXPECT_EQ(rect(200, 80, {}), (std::vector<int>{40, 0, 120, 48}));
    EXPECT_EQ(rect(1920, 1080, {1820, 980, 120, 100}), (std::vector<int>{1820, 980, 120, 100}));
    for (CQVRect bad : {CQVRect{}, CQVRect{10, 10, 119, 300}, CQVRect{10, 10, 300, 99}, CQVRect{1821, 10, 300, 300},
                        CQVRect{10, -1, 300, 300}, CQVRect{0, 0, 1921, 300}})
        EXPECT_EQ(rect(1920, 1080, bad), centred);
}

TEST(TagsWindow, FormBodiesAreSplitThenDecoded)
{
    // A part without "=" is dropped; an empty value is none.
    std::string pairs;
    const char* body = "a=1&bare&b=&c=Tom+%26+Jerry%3D&%74ags=caf%C3%A9+%2B&d=%G1%4";
    for (const auto& [name, value] : CTagsWindowMgr::DecodeFormBody(body))
        pairs += Utf8(name) + (value ? "=" + Utf8(*value) : "") + "|";
    EXPECT_EQ(pairs, "a=1|b|c=Tom & Jerry=|tags=caf\xC3\xA9 +|d=%G1%4|");
}

TEST_F(TagsWindowTest, TheTagItFormChangesThePageItsFilesAndTheStore)
{
    RNode* f = AddFolder(u"F");
    CUrlNode* page = AddPage(f, u"P", u"red blue");
    AddPage(f, u"Q", u"blue");
    EXPECT_FALSE(tags.TagIt());
    EXPECT_EQ(ui.MessageTexts(), Texts{"Please create or select a page."});
    ui.messages.clear();
    Show(f, page);

    std::string body = FormFor(page, "title=P&description=Tom+%26+Jerry&tags=blue+Green+blue");
    Run("TAGIT", body);
    EXPECT_EQ(ui.tagsWindowCloses, 1);
    EXPECT_EQ(Utf8(page->GetDescription()), "Tom & Jerry");
    EXPECT_EQ(TagsOf(page), (Texts{"blue", "Green"}));
    EXPECT_EQ(Store(), (TagMap{{"blue", {"F/P.htm", "F/Q.htm"}}, {"Green", {"F/P.htm"}}}));
    EXPECT_NE(ReadBytes(ColctFile(Dir(f))).find("Tom &amp; Jerry"), std::string::npos);
    EXPECT_NE(ReadBytes(content / ".zandrel" / "krv_tags.xml").find("<tag name=\"Green\">"), std::string::npos);
    EXPECT_TRUE(static_cast<CFolderNode*>(f->GetData())->HasTag());
    EXPECT_EQ(tags.GetRecentTagged().GetCount(), 1);
    EXPECT_EQ(ui.refreshedItems.back(), page);
    char value[64] = {};
    ssize_t got = ::getxattr((Dir(f) / "P.htm").c_str(), "user.xdg.tags", value, sizeof value);
    if (got >= 0) {
        EXPECT_EQ(std::string(value, size_t(got)), "blue,Green");
    }
    EXPECT_TRUE(ui.messages.empty());

    // The same form again changes nothing and writes nothing.
    WriteCounter writes(Dir(f) / ".zandrel");
    size_t refreshed = ui.refreshedItems.size();
    Run("tagit", body);
    EXPECT_EQ(writes.Count(), 0);
    EXPECT_EQ(ui.refreshedItems.size(), refreshed);

    // Cancel does nothing; a form of another page, or without Save, is stale.
    std::string other = FormFor(page, "tags=x");
    other.replace(other.rfind('=') + 1, std::string::npos, "00000000-0000-0000-0000-000000000000");
    for (const std::string& form :
         {FormFor(page, "tags=x&cancelbtn=Cancel"), other, "tags=x&pageid=" + Utf8(page->GetUUID())})
        Run("tagit", form);
    EXPECT_EQ(ui.MessageTexts(), (Texts(2, "Can not process the instruction. The page may be moved.")));
    EXPECT_EQ(TagsOf(page), (Texts{"blue", "Green"}));

    // A form without a description clears it.
    Run("tagit", FormFor(page, "tags=blue+Green"));
    EXPECT_EQ(Utf8(page->GetDescription()), "");
}

TEST_F(TagsWindowTest, LinksOpenPagesAndTheOtherCommandsDoWhatTheySay)
{
    RNode* f = AddFolder(u"F & G");
    CUrlNode* page = AddPage(f, u"P one", u"red");
    RNode* other = AddFolder(u"Other");
    CUrlNode* second = AddPage(other, u"S", u"red");
    Show(other, second);

    Run("urlnode?href=Notes%5CF%20&%20G%5CP%20one.htm");
    EXPECT_EQ(ui.selectedItem, page);
    EXPECT_EQ(core->GetPageMgr().GetCurrentPage(), page);
    EXPECT_EQ(ui.tagsWindowCloses, 1);
    Run("stickwin?ON");
    EXPECT_TRUE(tags.GetKeepOpen());
    Run("urlnode?href=Notes\\Other\\S.htm");
    EXPECT_EQ(core->GetPageMgr().GetCurrentPage(), second);
    EXPECT_EQ(ui.tagsWindowCloses, 1);  // kept open
    Run("stickwin?of");
    EXPECT_FALSE(tags.GetKeepOpen());

    // Without "q=" a search does nothing.
    for (const char* command : {"urlnode?href=Notes\\Other\\Gone.htm", "urlnode?href=Elsewhere\\Other\\S.htm",
                                "urlnode?%FF", "searchtag?tag=red", "bogus?x"})
        Run(command);
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Can not find the Page.\r\nhref=Notes\\Other\\Gone.htm",
                                        "Can not find the Page.\r\nhref=Elsewhere\\Other\\S.htm",
                                        "Can not convert page path.\r\n%FF", "Unknown Command\r\nbogus?x"}));
    EXPECT_EQ(ui.tagsPages.size(), 0u);

    // A search from a tag link or the filter form shows a page.
    Run("searchtag?q=re%64");
    Run("Filter", "tags=red+blue");
    ASSERT_EQ(ui.tagsPages.size(), 2u);
    EXPECT_NE(ui.tagsPages[0].find("P one"), std::string::npos);
    EXPECT_EQ(tags.GetMode(), CTagsWindowMgr::MODE_SEARCH);

    // Without a project there is no page to open.
    ASSERT_TRUE(projects.CloseProject());
    ui.messages.clear();
    tags.OnOpenPage(u"href=Notes\\Other\\S.htm");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TagsWindowTest, DeleteTakesTheTagFromEveryPageWritingEachCollectionOnce)
{
    RNode* f = AddFolder(u"F");
    RNode* g = AddFolder(u"G");
    RNode* h = AddFolder(u"H");
    CUrlNode* p1 = AddPage(f, u"P1", u"red blue");
    CUrlNode* p2 = AddPage(f, u"P2", u"Red");
    CUrlNode* p3 = AddPage(g, u"P3", u"red");
    CUrlNode* p4 = AddPage(h, u"P4", u"blue");
    WriteCounter inF(Dir(f) / ".zandrel"), inG(Dir(g) / ".zandrel"), inH(Dir(h) / ".zandrel");

    ui.names = {{u"nosuch", u"  RED "}};
    Run("edittag?Delete");
    EXPECT_EQ(ui.textQuestions.size(), 1u);
    EXPECT_EQ(ui.MessageTexts(), Texts{"The Tag: \"nosuch\" \r\n does not exist."});
    EXPECT_EQ((std::vector<Texts>{TagsOf(p1), TagsOf(p2), TagsOf(p3), TagsOf(p4)}),
              (std::vector<Texts>{{"blue"}, {}, {}, {"blue"}}));
    EXPECT_EQ(Store(), (TagMap{{"blue", {"F/P1.htm", "H/P4.htm"}}}));
    EXPECT_EQ((std::vector<int>{inF.Count(), inG.Count(), inH.Count()}), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(ReadBytes(ColctFile(Dir(g))).find(">red<"), std::string::npos);
    EXPECT_EQ(ReadBytes(content / ".zandrel" / "krv_tags.xml").find("red"), std::string::npos);
    ASSERT_EQ(ui.tagsPages.size(), 1u);  // the recently tagged pages
}

TEST_F(TagsWindowTest, RenameChecksItsInputAndMergesIntoAnExistingTag)
{
    RNode* f = AddFolder(u"F");
    CUrlNode* p1 = AddPage(f, u"P1", u"red blue");
    CUrlNode* p2 = AddPage(f, u"P2", u"red");

    // Another letter case needs no question (an unexpected one fails).
    ui.renames = {{{0, u"x"}, {1, u"a,b"}, {1, u" "}, {1, u"red"}, {1, u" RED "}}};
    Run("edittag?rename");
    ASSERT_EQ(ui.renameLists.size(), 1u);
    EXPECT_EQ(ui.renameLists[0], (std::vector<std::u16string>{u"-- Choose a tag to rename", u"red (2)", u"blue (1)"}));
    std::string onlyOne = "Only one tag please (whitespace , or ; cannot be used in tag).";
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Please choose an old tag.", onlyOne, onlyOne, "No change."}));
    EXPECT_EQ(TagsOf(p1), (Texts{"RED", "blue"}));
    EXPECT_EQ(Store(), (TagMap{{"RED", {"F/P1.htm", "F/P2.htm"}}, {"blue", {"F/P1.htm"}}}));

    // Onto another tag: asked, No keeps the dialog, Yes merges.
    ui.messages.clear();
    ui.renames = {{{1, u"Blue"}, {1, u"Blue"}}};
    ui.answers = {IDNO, IDYES};
    Run("edittag?rename");
    EXPECT_EQ(ui.MessageTexts(), (Texts(2, "The Tag: \"Blue\" already exists.\r\n Do you want to continue?")));
    EXPECT_EQ(ui.messages[0].buttons, MB_YESNO);
    EXPECT_EQ(TagsOf(p1), Texts{"Blue"});
    EXPECT_EQ(TagsOf(p2), TagsOf(p1));
    EXPECT_EQ(Store(), (TagMap{{"blue", {"F/P1.htm", "F/P2.htm"}}}));
    EXPECT_NE(ReadBytes(ColctFile(Dir(f))).find("Blue"), std::string::npos);
}

TEST_F(TagsWindowTest, RebuildGivesTheStoreTheFormsMadeSorted)
{
    RNode* f = AddFolder(u"F");
    RNode* g = AddFolder(u"G");
    CUrlNode* pages[] = {AddPage(f, u"A", nullptr), AddPage(g, u"B", nullptr), AddPage(g, u"C", nullptr)};
    const char* forms[] = {"tags=zeta+Alpha", "tags=Alpha+mid", "tags=zeta+mid+x", "tags=mid"};
    for (int i = 0; i < 4; ++i) {
        CUrlNode* page = pages[i % 3];
        Show(i % 3 ? g : f, page);
        Run("tagit", FormFor(page, forms[i]));
    }
    TagMap incremental = Store();
    EXPECT_EQ(incremental.size(), 4u);
    ASSERT_TRUE(tags.RebuildTagList());
    EXPECT_EQ(Store(), incremental);
    Texts order;
    for (RTagItem* r = tree.GetTagStore()->GetTagItemHead(); r; r = r->GetNext())
        order.push_back(Utf8(r->GetData()->GetName()));
    EXPECT_EQ(order, (Texts{"Alpha", "mid", "x", "zeta"}));
    EXPECT_TRUE(ui.messages.empty());

    ASSERT_TRUE(projects.CloseProject());
    EXPECT_FALSE(tags.RebuildTagList());
    EXPECT_EQ(ui.MessageTexts(), Texts{"No Project"});
}

}  // namespace
