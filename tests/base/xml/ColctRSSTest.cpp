#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "XmlTestUtil.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CProfExtra.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CWriteColctRSS.h"
#include "tests/ScopedEnv.h"

namespace {

// 2009-03-01 12:00:00 in a zone five hours west of UTC.
constexpr long kNoonEST = 1235926800;

struct ColctDeleter {
    void operator()(CColctNode* colct) const { CColctNode::DeleteAll(colct); }
};
using ColctPtr = std::unique_ptr<CColctNode, ColctDeleter>;

std::u16string Uuid(int n)
{
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", n);
    return CUnicodeTool::FromUtf8(text);
}

ColctPtr NewColct(int id)
{
    ColctPtr colct(CColctNode::New());
    colct->SetLocRNodeRoot(RNode::New2(CFolderNode::New(), NT_FOLDER));
    colct->SetUUID(Uuid(id).c_str());
    return colct;
}

RNode* AddFolder(RNode* parent, int id, const char16_t* name, int version = 1)
{
    CFolderNode* folder = CFolderNode::New();
    folder->SetName(name);
    folder->SetUUID(Uuid(id).c_str());
    folder->SetVersion(version);
    RNode* rnode = RNode::New2(folder, NT_FOLDER);
    RNTool::InsertAsChild(parent, rnode);
    return rnode;
}

// Times follow the identifier, so every item has its own; item 20 was
// modified at kNoonEST.
CUrlNode* AddItem(RNode* parent, int id, const char16_t* name, const char16_t* url,
                  tagKRVITEMTYPE type = ITEM_LINK, const char16_t* tags = nullptr)
{
    CUrlNode* item = CUrlNode::New();
    item->SetName(name);
    item->SetUrl(url);
    item->SetItemType(type);
    item->SetUUID(Uuid(id).c_str());
    item->GetNodeStat()->SetStatTime(kNoonEST - 86400L * id, kNoonEST + 3600L * (id - 20), kNoonEST + 60L * id, 7);
    if (tags)
        item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(tags));
    RNTool::InsertAsChild(parent, RNode::New2(item, NT_URL));
    return item;
}

// Everything the file keeps of a collection, one line per node, indented by
// depth. `keep` leaves out the items a writer skipped. A version of 0 is
// written without the attribute and so reads back as the default 1.
std::string Describe(const CColctNode* colct, const std::function<bool(CUrlNode*)>& keep = nullptr)
{
    auto base = [](const CBaseNode* node) {
        int state = 0;
        node->HasCheckedIn(&state);
        return U8(node->GetName()) + "|" + U8(node->GetDescription()) + "|" + U8(node->GetUUID()) + "|v" +
               std::to_string(node->GetVersion() ? node->GetVersion() : 1) + "|b" +
               std::to_string(node->GetBaseBuild()) + "|ci" + std::to_string(state) +
               (node->IsDeleted() ? "|deleted" : "");
    };
    std::string out = "C|" + base(colct) + "\n";
    std::function<void(RNode*, std::string)> walk = [&](RNode* parent, std::string indent) {
        for (RNode* r = parent->GetChild(); r; r = r->GetNext()) {
            if (r->GetType() == NT_FOLDER) {
                out += indent + "F|" + base(r->GetData()) + "\n";
                walk(r, indent + "  ");
                continue;
            }
            auto* item = static_cast<CUrlNode*>(r->GetData());
            if (keep && !keep(item))
                continue;
            const CUrlProp* prop = item->PeekUrlProp();
            std::string tags;
            for (const RBstrItem* t = prop ? prop->GetTagsHead() : nullptr; t; t = t->GetNext())
                tags += U8(t->GetData()) + ",";
            long a = 0, m = 0, v = 0;
            const CNodeStat* stat = item->GetNodeStat();
            stat->GetStatTime(&a, &m, &v);
            out += indent + "I|" + base(item) + "|" + U8(item->GetUrl()) + "|" + U8(item->GetAuthor()) + "|t" +
                   std::to_string(item->GetItemType()) + "|ft" + std::to_string(prop ? prop->GetFileType() : 0) +
                   "|" + U8(item->GetRelationUrl()) + "|" + tags + "|" + std::to_string(a) + "," +
                   std::to_string(m) + "," + std::to_string(v) + "|f" + std::to_string(stat->GetFlag()) +
                   (stat->IsUnread() ? "|unread" : "") + "\n";
        }
    };
    if (colct->GetLocRNodeRoot())
        walk(colct->GetLocRNodeRoot(), "  ");
    return out;
}

std::string Write(CColctNode* colct, bool onlyUnchecked = false, const char16_t* generator = nullptr)
{
    CWriteColctRSS writer;
    writer.SetColctNode(colct);
    writer.SetOnlyWriteUnchecked(onlyUnchecked);
    writer.SetGenerator(generator);
    return TakeText(writer.GetXMLBSTR());
}

ColctPtr Read(const std::string& xml, bool loads = true)
{
    CReadBkmarkXML reader;
    EXPECT_EQ(reader.LoadXML(xml.data(), static_cast<long>(xml.size())), loads) << reader.GetErrorReason();
    return ColctPtr(reader.DetachColctNode());
}

ColctPtr ReadGolden(const std::string& name)
{
    CReadBkmarkXML reader;
    EXPECT_TRUE(reader.LoadFile(CUnicodeTool::FromUtf8(std::string(ZANDREL_TEST_DATA) + "/" + name).c_str()));
    return ColctPtr(reader.DetachColctNode());
}

std::string Doc(const std::string& channelBody)
{
    return "<rss version='2.0' xmlns:krv='urn:krv' xmlns:sx='urn:sx'><channel>" + channelBody + "</channel></rss>";
}

std::vector<CUrlNode*> ItemsOf(RNode* parent)
{
    std::vector<CUrlNode*> items;
    for (RNode* r = parent->GetChild(); r; r = r->GetNext()) {
        if (r->GetType() == NT_URL)
            items.push_back(static_cast<CUrlNode*>(r->GetData()));
    }
    return items;
}

// Dates depend on the local zone: run in one without daylight saving,
// five hours west of UTC.
class ColctRSS : public testing::Test {
protected:
    void TearDown() override { CProfExtra::s_iThisKRVVersion = m_oldVersion; }

    // Folders nested two deep, items at the root and in folders, and every
    // optional part both present and absent.
    static ColctPtr FullModel()
    {
        ColctPtr colct = NewColct(1);
        colct->SetName(u"Reading & <Research>");
        colct->SetDescription(u"Things \"to\" read 'soon'");
        colct->SetVersion(3);
        colct->SetBaseBuild(1234);
        RNode* root = colct->GetLocRNodeRoot();
        RNode* projects = AddFolder(root, 10, u"Projects", 2);
        projects->GetData()->SetDescription(u"Work & play");
        RNode* unnamed = AddFolder(projects, 11, u"", 0);
        AddFolder(root, 12, u"Empty");

        CUrlNode* sheet = AddItem(unnamed, 24, u"Budget", u"file:///home/u/sheet.xls", ITEM_FILE);
        sheet->SetRelationUrl(u"/home/u/sheet.xls");
        sheet->GetUrlProp()->SetFileType(FILE_XLS);
        sheet->GetNodeStat()->SetFlag(10);
        sheet->GetNodeStat()->MarkAsUnread(true);
        sheet->SetAsDeleted(true);
        sheet->SetCheckedIn(0);
        sheet->SetBaseBuild(9);
        CUrlNode* paper = AddItem(projects, 23, u"Paper", u"file:///home/u/a%20b.pdf", ITEM_FILE, u"pdf");
        paper->SetRelationUrl(u"/home/u/a b.pdf");
        paper->GetUrlProp()->SetFileType(FILE_PDF);
        paper->SetDescription(u"<b>bold</b> caf\u00e9");
        paper->GetNodeStat()->MarkAsUnread(true);

        AddItem(root, 20, u"Notes 1", u"/home/u/notes/a.htm", ITEM_NOTE, u"a b c");
        CUrlNode* web = AddItem(root, 21, u"Example", u"https://example.com/?a=1&b=2", ITEM_WEBPAGE);
        web->SetRelationUrl(u"https://example.com/?a=1&b=2");
        web->SetAuthor(u"Ann <ann@example.com>");
        web->GetNodeStat()->SetFlag(3);
        web->SetBaseBuild(77);
        web->SetCheckedIn(0);
        web->SetVersion(0);
        AddItem(root, 22, u"", u"about:blank")->SetDescription(u"plain");
        AddItem(root, 25, u"Gone", u"https://gone.example/")->SetAsDeleted(true);
        AddItem(root, 26, u"Synced", u"https://synced.example/")->SetBaseBuild(5);
        return colct;
    }

    ScopedEnv m_zone{"TZ", "EST5"};
    int m_oldVersion = CProfExtra::s_iThisKRVVersion;
};


TEST_F(ColctRSS, EmptyCollection)
{
    ColctPtr colct = NewColct(1);
    std::string xml = Write(colct.get());
    ExpectGolden("colct_empty.xml", xml);
    EXPECT_EQ(Describe(ReadGolden("colct_empty.xml").get()), Describe(colct.get()));
    ColctPtr bare(CColctNode::New());  // no local root at all
    bare->SetUUID(Uuid(1).c_str());
    EXPECT_EQ(Write(bare.get()), xml);

    CProfExtra::s_iThisKRVVersion = 185;
    EXPECT_NE(Write(colct.get()).find("<generator>Zandrel v1.8.5\n</generator>\r\n"), std::string::npos);
}

TEST_F(ColctRSS, FullCollectionWritesAndReadsBack)
{
    CProfExtra::s_iThisKRVVersion = 200;
    auto written = [](CUrlNode* item) { return !(item->HasCheckedIn() && item->IsDeleted()); };
    auto unchecked = [&](CUrlNode* item) { return written(item) && !(item->HasCheckedIn() && item->GetBaseBuild()); };
    ColctPtr colct = FullModel();
    TempDir dir;
    CWriteColctRSS writer;
    writer.SetColctNode(colct.get());
    ASSERT_TRUE(writer.SaveToFile(dir.WPath("krv_files.xml").c_str()));
    ExpectGolden("colct_full.xml", ReadBytes(dir.Path("krv_files.xml")));
    EXPECT_EQ(Describe(ReadGolden("colct_full.xml").get()), Describe(colct.get(), written));

    ExpectGolden("colct_unchecked.xml", Write(colct.get(), true));
    EXPECT_EQ(Describe(ReadGolden("colct_unchecked.xml").get()), Describe(colct.get(), unchecked));

    // Saving renumbered the level from 1, skipped items included.
    std::vector<int> orders;
    for (RNode* r = colct->GetFirstRNode(); r; r = r->GetNext())
        orders.push_back(r->GetData()->GetOrder());
    EXPECT_EQ(orders, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(ColctRSS, RelationsOfEveryTypeAndSubtype)
{
    ColctPtr colct = NewColct(2);
    colct->SetName(u"Relations");
    RNode* root = colct->GetLocRNodeRoot();
    AddItem(root, 30, u"Link", u"https://example.org/");
    AddItem(root, 31, u"Note", u"/p/n.htm", ITEM_NOTE);
    AddItem(root, 32, u"Page", u"/p/w.htm", ITEM_WEBPAGE)->SetRelationUrl(u"https://example.org/a?x=1&y='2'");
    for (int type = FILE_UNKNOWN; type <= FILE_XLS; ++type) {
        CUrlNode* file = AddItem(root, 40 + type, u"File", u"/p/f.htm", ITEM_FILE);
        file->SetRelationUrl(CUnicodeTool::FromUtf8("/docs/f" + std::to_string(type)).c_str());
        file->GetUrlProp()->SetFileType(static_cast<tagKRVITEMFILETYPE>(type));
    }
    const char16_t* generator = u"Feeder <1.0> & \"co\"\n";
    ExpectGolden("colct_relations.xml", Write(colct.get(), false, generator));
    ColctPtr back = ReadGolden("colct_relations.xml");
    EXPECT_EQ(Describe(back.get()), Describe(colct.get()));
    EXPECT_EQ(Write(back.get(), false, generator), Golden("colct_relations.xml"));

    // Nothing to relate to: no element, and no subtype outside the table.
    ColctPtr odd = NewColct(3);
    AddItem(odd->GetLocRNodeRoot(), 50, u"NoRel", u"x", ITEM_WEBPAGE);
    AddItem(odd->GetLocRNodeRoot(), 51, u"NoRel", u"x", ITEM_FILE);
    CUrlNode* far = AddItem(odd->GetLocRNodeRoot(), 52, u"Far", u"x", ITEM_FILE);
    far->SetRelationUrl(u"/f");
    far->GetUrlProp()->SetFileType(static_cast<tagKRVITEMFILETYPE>(9));
    std::string xml = Write(odd.get());
    EXPECT_NE(xml.find("<krv:rel type=\"file\" href=\"/f\" />"), std::string::npos);
    EXPECT_EQ(xml.find("krv:rel"), xml.rfind("krv:rel"));
}

TEST_F(ColctRSS, SavingAssignsIdentifiersAndNumbersEachLevel)
{
    ColctPtr colct = NewColct(0);
    RNode* folder = AddFolder(colct->GetLocRNodeRoot(), 0, u"F");
    CUrlNode* inner = AddItem(folder, 0, u"inner", u"https://in.example/");
    CUrlNode* second = AddItem(folder, 0, u"second", u"https://in2.example/");
    CUrlNode* last = AddItem(colct->GetLocRNodeRoot(), 0, u"last", u"https://last.example/");
    for (CBaseNode* node : std::vector<CBaseNode*>{colct.get(), folder->GetData(), inner, second, last}) {
        node->SetUUID(nullptr);
        node->SetOrder(99);
    }
    std::string xml = Write(colct.get());
    for (const CBaseNode* node : std::vector<const CBaseNode*>{colct.get(), folder->GetData(), inner, last}) {
        ASSERT_EQ(CStringTool::Length(node->GetUUID()), 36u);
        EXPECT_NE(xml.find("<sx:sync id=\"" + U8(node->GetUUID()) + "\""), std::string::npos);
    }
    std::vector<int> orders{folder->GetData()->GetOrder(), last->GetOrder(), inner->GetOrder(), second->GetOrder()};
    EXPECT_EQ(orders, std::vector<int>({1, 2, 1, 2}));
    EXPECT_NE(xml.find("<krv:folderref folderid=\"" + U8(folder->GetData()->GetUUID()) + "\"/>"), std::string::npos);
    EXPECT_EQ(Describe(Read(xml).get()), Describe(colct.get()));
}

TEST_F(ColctRSS, FolderRootCanBeReplaced)
{
    ColctPtr colct = NewColct(1);
    AddItem(AddFolder(colct->GetLocRNodeRoot(), 2, u"Inside"), 3, u"i", u"x");
    ColctPtr other = NewColct(4);
    AddFolder(AddFolder(other->GetLocRNodeRoot(), 5, u"Other"), 6, u"Nested");
    CWriteColctRSS writer;
    writer.SetColctNode(colct.get());
    writer.SetFolderRNode(other->GetLocRNodeRoot());
    std::string xml = TakeText(writer.GetXMLBSTR());
    EXPECT_EQ(xml.find("Inside"), std::string::npos);
    EXPECT_NE(xml.find("<title>Other</title>\r\n<sx:sync id=\"" + U8(Uuid(5).c_str()) +
                       "\" version=\"1\"></sx:sync><krv:folder>\r\n<title>Nested</title>"),
              std::string::npos);
    // The items still come from the collection and name their own folder.
    EXPECT_NE(xml.find("<krv:folderref folderid=\"" + U8(Uuid(2).c_str()) + "\"/>"), std::string::npos);
}

TEST_F(ColctRSS, TextFromFilesIsEscapedEverywhere)
{
    // Identifiers read from a foreign file may hold markup characters too.
    ColctPtr colct = Read(Doc("<sx:sync id='c&amp;&lt;1&quot;'/><krv:folder><sx:sync id=\"f'&gt;\"/></krv:folder>"
                              "<item><title>a&lt;b&gt;&amp;&quot;c&apos;</title>"
                              "<krv:folderref folderid=\"f'&gt;\"/><krv:tags>x&amp;y &lt;z&gt;</krv:tags>"
                              "<sx:sync id='i&amp;'/></item>"));
    std::string xml = Write(colct.get());
    EXPECT_NE(xml.find("<sx:sync id=\"c&amp;&lt;1&quot;\" version=\"1\">"), std::string::npos);
    EXPECT_NE(xml.find("<title>a&lt;b&gt;&amp;&quot;c&apos;</title>"), std::string::npos);
    EXPECT_NE(xml.find("<krv:folderref folderid=\"f&apos;&gt;\"/>"), std::string::npos);
    EXPECT_NE(xml.find("<krv:tags>x&amp;y &lt;z&gt;</krv:tags>"), std::string::npos);
    EXPECT_EQ(Describe(Read(xml).get()), Describe(colct.get()));
}

TEST_F(ColctRSS, ExtremeModelsStayWritable)
{
    // A time past what the calendar functions take has no date to show.
    ColctPtr colct = NewColct(1);
    AddItem(colct->GetLocRNodeRoot(), 2, u"far", u"x")->GetNodeStat()->SetStatTime(0, LONG_MAX, 0, 7);
    std::string xml = Write(colct.get());
    EXPECT_EQ(xml.find("<pubDate>"), std::string::npos);
    EXPECT_EQ(Describe(Read(xml).get()), Describe(colct.get()));

    // Folders far deeper than any stack would carry in recursion.
    ColctPtr deep = NewColct(1);
    RNode* folder = deep->GetLocRNodeRoot();
    for (int i = 0; i < 50000; ++i)
        folder = AddFolder(folder, 100 + i, u"d");
    AddItem(folder, 5, u"bottom", u"x");
    TempDir dir;
    CWriteColctRSS writer;
    writer.SetColctNode(deep.get());
    ASSERT_TRUE(writer.SaveToFile(dir.WPath("deep.xml").c_str()));
    xml = ReadBytes(dir.Path("deep.xml"));
    EXPECT_NE(xml.find("<krv:folderref folderid=\"" + U8(Uuid(50099).c_str()) + "\"/>"), std::string::npos);
    size_t ends = 0;
    for (size_t at = xml.find("</krv:folder>"); at != std::string::npos; at = xml.find("</krv:folder>", at + 1))
        ++ends;
    EXPECT_EQ(ends, 50000u);
    EXPECT_LT(xml.rfind("</krv:folder>"), xml.find("<item>"));
}

TEST(ReadColctRSS, ItemsGoToTheFoldersTheyName)
{
    ColctPtr colct = Read(Doc(
        "<krv:folder><title>A</title><sx:sync id='fa'/><krv:folder><sx:sync id='fb'/></krv:folder></krv:folder>"
        "<krv:folder><title>Twin</title><sx:sync id='fa'/></krv:folder>"
        "<item><title>both</title><krv:folderref folderid='fa' order='3'/><krv:folderref folderid='fb'/>"
        "<krv:folderref folderid='fa'/></item><item><title>lost</title><krv:folderref folderid='nowhere'/></item>"
        "<item><title>blank</title><krv:folderref folderid=''/></item><item><title>plain</title></item>"));
    RNode* a = colct->GetFirstRNode();
    RNode* b = a->GetChild();
    ASSERT_EQ(ItemsOf(a).size(), 1u);  // a second reference to the same folder adds nothing
    ASSERT_EQ(ItemsOf(b).size(), 1u);
    EXPECT_NE(ItemsOf(a)[0], ItemsOf(b)[0]);  // the second placement is a copy
    EXPECT_EQ(U8(ItemsOf(b)[0]->GetName()), "both");
    EXPECT_EQ(ItemsOf(b)[0]->GetRNode()->GetParent(), b);
    EXPECT_TRUE(ItemsOf(a->GetNext()).empty());  // the first folder of an identifier wins
    std::vector<std::string> atRoot;
    for (CUrlNode* item : ItemsOf(colct->GetLocRNodeRoot()))
        atRoot.push_back(U8(item->GetName()));
    EXPECT_EQ(atRoot, (std::vector<std::string>{"lost", "blank", "plain"}));
    EXPECT_EQ(colct->GetLocRNodeRoot()->GetExtData() + a->GetExtData(), 0u);  // marks cleared
}

TEST(ReadColctRSS, ItemValues)
{
    ColctPtr colct = Read(Doc(
        "<title>T</title><description>D</description><link>ignored</link>"
        "<krv:build basebuild='12abc' checkedin='false'/>"
        "<item><link>z-a/b/c</link><krv:stat addDate='10' lastModified='20' lastVisit='30' flag='11' "
        "unread='TRUE'/><krv:tags>a, b;A\tc\r\n</krv:tags><author>me</author>"
        "<krv:rel type='file' subtype='PDF' href='h'/><sx:sync id='i' version='x' deleted='yes'/></item>"
        "<item><link>z-/</link><krv:stat added='1' modified='2' lastVisited='3' flag='4' unread='true'/>"
        "<krv:tags>a b</krv:tags><krv:tags>d</krv:tags>"
        "<krv:rel type='other' subtype='doc'/><sx:sync id='j' version='7' deleted='true'/></item>"
        "<item><link>Z-a/b</link></item><item><link>x-a/b</link></item><item><link>z-ab</link></item>"));
    EXPECT_EQ(Describe(colct.get()).substr(0, Describe(colct.get()).find('\n')), "C|T|D||v1|b12|ci0");
    std::vector<CUrlNode*> items = ItemsOf(colct->GetLocRNodeRoot());
    ASSERT_EQ(items.size(), 5u);
    std::string described = Describe(colct.get());
    EXPECT_NE(described.find("\n  I|||i|v1|b0|ci2|z-a\\b/c|me|t3|ft0|h|a,b,c,|10,20,30|f0\n"), std::string::npos);
    EXPECT_EQ(items[0]->GetVersion(), 0);
    EXPECT_NE(described.find("\n  I|||j|v7|b0|ci2|deleted|z-/|<none>|t0|ft2|<none>|d,|1,2,3|f4|unread\n"),
              std::string::npos);
    EXPECT_EQ(U8(items[2]->GetUrl()) + " " + U8(items[3]->GetUrl()) + " " + U8(items[4]->GetUrl()), "Z-a/b x-a/b z-ab");
}

TEST(ReadColctRSS, EntitiesAndCdataReadAsText)
{
    ColctPtr colct = Read("<!DOCTYPE rss [<!ENTITY e 'ent'>]><rss xmlns:sx='s' xmlns:krv='k'><channel>"
                          "<title>a&e;b</title><item><title><![CDATA[<x>&]]></title><sx:sync id='i&e;' version='&e;'/>"
                          "<krv:tags>&e; t<![CDATA[u]]></krv:tags></item></channel></rss>");
    EXPECT_EQ(U8(colct->GetName()), "aentb");
    CUrlNode* item = ItemsOf(colct->GetLocRNodeRoot())[0];
    EXPECT_EQ(U8(item->GetName()), "<x>&");
    EXPECT_EQ(U8(item->GetUUID()), "ient");
    EXPECT_EQ(item->GetVersion(), 0);
    EXPECT_EQ(U8(item->GetUrlProp()->GetTagsHead()->GetNext()->GetData()), "tu");
}

TEST(ReadColctRSS, ValuesOutsideTheirScopeAreIgnored)
{
    ColctPtr colct = Read(
        "<rss xmlns:krv='k' xmlns:sx='s'><item><title>before</title></item><title>no</title>"
        "<channel><image><title>Logo</title><description>no</description></image><title>Name</title>"
        "<guid>g</guid><krv:error uuidlen='40'/><krv:stat added='5'/>"
        "<krv:folder><item><title>in folder</title></item><foo><title>no</title></foo><title>F</title>"
        "<krv:build basebuild='3'/></krv:folder>"
        "<item><title>A</title><source><title>no</title></source><item><title>B</title></item>"
        "<guid>x</guid><krv:tags>t</krv:tags><sx:sync ID='X' Version='5' id='ok'/>"
        "<krv:stat Added='5' ADDED='6'/><krv:rel Type='note'/></item></channel>"
        "<channel><title>second</title><item/></channel><item><title>after</title></item></rss>");
    ASSERT_TRUE(colct);
    RNode* folder = colct->GetFirstRNode();
    ASSERT_EQ(folder->GetType(), NT_FOLDER);
    EXPECT_EQ(folder->GetChild(), nullptr);
    CUrlNode* item = ItemsOf(colct->GetLocRNodeRoot()).at(0);
    long added = 0;
    item->GetNodeStat()->GetStatTime(&added, nullptr, nullptr);
    EXPECT_GT(added, 1000000000L);  // still the time it was made
    item->GetNodeStat()->SetStatTime(0, 0, 0, 7);
    EXPECT_EQ(Describe(colct.get()), "C|Name|||v1|b0|ci2\n  F|F|||v1|b0|ci2\n"
                                     "  I|A||ok|v1|b0|ci2|about:blank|<none>|t0|ft0|<none>|t,|0,0,0|f0\n");
}

TEST(ReadColctRSS, DocumentsWithoutACollection)
{
    EXPECT_FALSE(Read("<feed><channel><title>x</title></channel></feed>"));
    EXPECT_FALSE(Read("<rss version='2.0'><item><title>x</title></item></rss>"));
    EXPECT_FALSE(Read("<channel><title>x</title></channel>"));
    EXPECT_FALSE(Read("<rss><x><channel/></x></rss>"));
    EXPECT_TRUE(Read("<rss><channel/></rss>"));
    CReadBkmarkXML missing;
    EXPECT_FALSE(missing.LoadFile(u"/nonexistent/krv_files.xml"));
    EXPECT_EQ(missing.DetachColctNode(), nullptr);

    // A reader that is never asked for its result frees it.
    CReadBkmarkXML undetached;
    std::string full = Golden("colct_full.xml");
    EXPECT_TRUE(undetached.LoadXML(full.data(), static_cast<long>(full.size())));
}

TEST(ReadColctRSS, BrokenDocumentsGiveNothing)
{
    std::string full = Golden("colct_full.xml");
    ASSERT_GT(full.size(), 1000u);
    for (size_t cut = 1; cut < full.size() - 6; cut += 37)
        EXPECT_FALSE(Read(full.substr(0, cut), false)) << "cut at " << cut;

    // Well-formed, but the items' texts expand past the reader's limit: the
    // items read before that must not come out either.
    std::string refs;
    for (int k = 0; k < 100; ++k)
        refs += "&e;";
    std::string doc = "<!DOCTYPE rss [<!ENTITY e '" + std::string(10000, 'x') + "'>]><rss><channel>";
    for (int i = 0; i < 10; ++i)
        doc += "<item><title>ok</title><description>" + refs + "</description></item>";
    doc += "</channel></rss>";
    CReadBkmarkXML reader;
    EXPECT_FALSE(reader.LoadXML(doc.data(), static_cast<long>(doc.size())));
    EXPECT_EQ(reader.GetErrorReason(), "the document could not be read as a whole");
    EXPECT_EQ(reader.DetachColctNode(), nullptr);
}

TEST(ReadColctRSS, HugeValuesAndDeepFolders)
{
    std::string huge(1 << 20, 'h');
    std::string digits(1 << 20, '9');
    ColctPtr colct = Read(Doc("<krv:folder><sx:sync id='" + huge + "' version='" + digits + "'/></krv:folder><item>"
                              "<link>" + huge + "</link><krv:rel type='webpage' href='" + huge + "'/>"
                              "<krv:folderref folderid='" + huge + "'/><title>" + huge + "</title></item>"));
    CUrlNode* item = ItemsOf(colct->GetFirstRNode()).at(0);  // both identifiers cut to 36
    EXPECT_EQ(U8(item->GetUrl()), "about:blank");
    EXPECT_EQ(item->GetRelationUrl(), nullptr);
    EXPECT_EQ(CStringTool::Length(item->GetName()), huge.size());
    EXPECT_EQ(colct->GetFirstRNode()->GetData()->GetVersion(), INT_MAX);

    // As deep as the parser allows, and past it.
    auto nested = [](int depth) {
        std::string open, close;
        for (int i = 0; i < depth; ++i) {
            open += "<krv:folder><sx:sync id='d" + std::to_string(i) + "'/>";
            close += "</krv:folder>";
        }
        return Doc(open + close + "<item><krv:folderref folderid='d" + std::to_string(depth - 1) + "'/></item>");
    };
    ColctPtr deep = Read(nested(250));
    RNode* bottom = deep->GetFirstRNode();
    int depth = 1;
    for (; bottom->GetChild() && bottom->GetChild()->GetType() == NT_FOLDER; bottom = bottom->GetChild())
        ++depth;
    EXPECT_EQ(depth, 250);
    EXPECT_EQ(ItemsOf(bottom).size(), 1u);
    std::string xml = Write(deep.get());  // gives the collection and the item identifiers
    EXPECT_EQ(Describe(Read(xml).get()), Describe(deep.get()));
    EXPECT_FALSE(Read(nested(300), false));
}

TEST(ReadColctRSS, DeleteAllChildrenFreesTheSubtree)
{
    ColctPtr colct = NewColct(1);
    RNode* root = colct->GetLocRNodeRoot();
    AddItem(AddFolder(AddFolder(root, 2, u"F"), 3, u"G"), 4, u"i", u"x");
    AddItem(root, 5, u"j", u"y");
    CReadBkmarkXML::DeleteAllChildren(root);
    EXPECT_EQ(root->GetChild(), nullptr);
    CReadBkmarkXML::DeleteAllChildren(nullptr);
}

}  // namespace
