#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "XmlTestUtil.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNTool.h"
#include "base/xml/CReadFolderTreeOPML.h"
#include "base/xml/CWriteFolderTreeOPML.h"

namespace {

struct TreeDeleter {
    void operator()(RNode* root) const { CReadFolderTreeOPML::DeleteTree(root); }
};
using TreePtr = std::unique_ptr<RNode, TreeDeleter>;

constexpr unsigned kPage = 1, kTag = 2, kOpen = 4;

// A folder record, hung as the last child of `parent` when one is given.
RNode* Folder(RNode* parent, const std::u16string& name, unsigned marks = 0, const char16_t* uuid = nullptr,
              int version = 1, const char16_t* description = nullptr)
{
    CFolderNode* folder = CFolderNode::New();
    folder->SetName(name.c_str());
    folder->SetDescription(description);
    folder->SetHasPage(marks & kPage);
    folder->SetHasTag(marks & kTag);
    folder->SetFolderOpen(marks & kOpen);
    folder->SetUUID(uuid);
    folder->SetVersion(version);
    RNode* rnode = RNode::New2(folder, NT_FOLDER);
    if (parent)
        RNTool::InsertAsChild(parent, rnode);
    return rnode;
}

// One line per record, children indented. `asWritten` shows what a file
// keeps: folders only, "No name" for none, at most 199 units and never
// half a surrogate pair.
void Dump(RNode* rnode, bool asWritten, int depth, std::string& out)
{
    CBaseNode* data = rnode->GetData();
    std::u16string name = data->GetName() ? data->GetName() : u"";
    if (asWritten && name.empty())
        name = u"No name";
    if (asWritten && name.size() >= 200)
        name.resize(name[198] >= 0xD800 && name[198] <= 0xDBFF ? 198 : 199);
    out += std::string(depth * 2, ' ') + "FUC"[rnode->GetType()] + " [" + CUnicodeTool::ToUtf8(name) + "]";
    if (*data->GetDescription())
        out += " desc=[" + U8(data->GetDescription()) + "]";
    if (*data->GetUUID())
        out += " id=" + U8(data->GetUUID());
    out += " v" + std::to_string(data->GetVersion()) + (data->IsDeleted() ? " deleted" : "");
    if (rnode->GetType() == NT_FOLDER) {
        auto* folder = static_cast<CFolderNode*>(data);
        out += std::string(folder->HasPage() ? " page" : "") + (folder->HasTag() ? " tag" : "") +
               (folder->IsFolderOpen() ? " open" : "");
    } else if (rnode->GetType() == NT_COLCT) {
        auto* colct = static_cast<CColctNode*>(data);
        out += " url=" + U8(colct->GetUrl()) + " rel=" + U8(colct->GetRelationUrl());
    }
    out += "\n";
    for (RNode* child = rnode->GetChild(); child; child = child->GetNext()) {
        if (!asWritten || child->GetType() == NT_FOLDER)
            Dump(child, asWritten, depth + 1, out);
    }
}

std::string Dump(RNode* root)
{
    std::string out;
    if (root)
        Dump(root, false, 0, out);
    return out;
}

struct OpmlRead {
    bool loaded;
    TreePtr root;
    int version;
};

OpmlRead ReadOpml(const std::string& bytes)
{
    CReadFolderTreeOPML reader;
    bool loaded = reader.LoadXML(bytes.data(), static_cast<long>(bytes.size()));
    return {loaded, TreePtr(reader.DetachTreeRoot()), reader.GetOpmlVersion()};
}

std::string Opml(const std::string& inside)
{
    return "<opml version=\"1.0\" xmlns:krv=\"urn:k\" xmlns:sx=\"urn:s\">" + inside + "</opml>";
}

}  // namespace

TEST(FolderTree, GoldensReadBackUnderARootNamedAfterTheTitle)
{
    const std::u16string smile = u"\U0001F600";
    struct Case {
        std::string golden, title, rootLine;
        int opmlVersion;
        std::function<RNode*()> build;
    } cases[] = {
        {"folders_full.xml", "Root & \"Co\"", " id=00000000-1111-2222-3333-444444444444 v7", 1, [] {
             RNode* root = Folder(nullptr, u"Root & \"Co\"", kOpen, u"00000000-1111-2222-3333-444444444444", 7,
                                  u"the <root>");
             Folder(root, u"Inbox", kPage, u"aaaaaaaa-0000-0000-0000-000000000001");
             for (unsigned marks : {kTag, kOpen, kPage | kTag, kTag | kOpen})
                 Folder(root, u"marks " + std::u16string(1, u'0' + marks), marks);
             RNode* all = Folder(root, u"All", kPage | kTag | kOpen, u"aaaaaaaa-0000-0000-0000-000000000002", 3);
             RNode* level3 = Folder(Folder(all, u"Level 2"), u"Level 3", kOpen, nullptr, 1, u"a \"q\" & 'b'");
             Folder(level3, u"Level 4");
             Folder(root, u"");
             Folder(root, std::u16string(230, u'x') + u"0123456789" + std::u16string(10, u'y'));
             Folder(root, u"Tom & \"Jerry\"");
             Folder(root, u"Version zero", 0, u"aaaaaaaa-0000-0000-0000-000000000003", 0);
             // Items and collections in the tree are not part of the file.
             RNTool::InsertAsChild(all, RNode::New2(CUrlNode::New(), NT_URL));
             RNTool::InsertAsHeadChild(root, RNode::New2(CColctNode::New(), NT_COLCT));
             return root;
         }},
        {"folders_bare.xml", "No name collections", " v1", 0, [] { return Folder(nullptr, u""); }},
        {"folders_version.xml", "Projects \xE2\x98\x83", " id=root-id v0", 5, [&] {
             RNode* root = Folder(nullptr, u"Projects \u2603", 0, u"root-id", 0);
             Folder(root, std::u16string(198, u'a') + smile + u"tail");                   // pair across the cut
             Folder(root, std::u16string(197, u'b') + smile + std::u16string(10, u'c'));  // pair ends at it
             Folder(root, std::u16string(199, u'd'));
             Folder(root, std::u16string(200, u'e'));
             Folder(root, u"negative", 0, u"n-id", -3);
             return root;
         }},
    };
    for (const Case& c : cases) {
        TreePtr root(c.build());
        TempDir dir;
        CWriteFolderTreeOPML writer;
        writer.SetTreeRoot(root.get());
        writer.SetOpmlVersion(c.opmlVersion);
        ASSERT_TRUE(writer.SaveToFile(dir.WPath("krv_folders.xml").c_str()));
        ExpectGolden(c.golden, ReadBytes(dir.Path("krv_folders.xml")));

        CReadFolderTreeOPML reader;
        ASSERT_TRUE(reader.LoadFile(dir.WPath("krv_folders.xml").c_str()));
        EXPECT_EQ(reader.GetOpmlVersion(), c.opmlVersion);
        TreePtr back(reader.DetachTreeRoot());
        EXPECT_EQ(reader.DetachTreeRoot(), nullptr);
        std::string expected = "F [" + c.title + "]" + c.rootLine + "\n";
        Dump(root.get(), true, 1, expected);
        EXPECT_EQ(Dump(back.get()), expected) << c.golden;
        EXPECT_EQ(back->GetChild()->GetData()->GetRNode(), back->GetChild());
    }
    CWriteFolderTreeOPML none;
    EXPECT_EQ(none.GetXMLBSTR(), nullptr);
}

TEST(FolderTree, ImportedOpmlMakesFeedsIntoCollections)
{
    OpmlRead read = ReadOpml(Opml(
        "<head><meta><title>My feeds</title></meta><krv:opml version=\"12abc\" /></head><body><sx:sync id=\"r\"/>"
        "<outline text=\"Tech\" title=\"Technology\" description=\"tech news\">"
        "<krv:stat addDate=\"10\" lastModified=\"20\" lastVisit=\"30\"/><krv:opml version=\"9\"/>"
        "<krv:fprop page=\"TRUE\" tag=\"1\" expand=\"yes\" Page=\"true\"/><opml><head><title>x</title></head></opml>"
        "<outline text=\"Feed A\" type=\"rss\" xmlUrl=\"http://a.example/feed/rss.xml\" htmlUrl=\"http://a.example/\""
        " description=\"A\" language=\"en\" lastBuildDate=\"x\" version=\"RSS2\"/>"
        "<outline text=\"No type\" xmlUrl=\"http://b.example/x/y\"/>"
        "<outline text=\"Link\" type=\"link\" xmlUrl=\"http://c.example/\"/>"
        "<outline text=\"Cased\" type=\"RSS\" xmlUrl=\"http://d.example/\"/>"
        "<outline text=\"Empty url\" xmlUrl=\"\"/>"
        // What is inside a feed describes the feed, or stays with its folder.
        "<outline text=\"Synced\" type=\"rss\" xmlUrl=\"e\"><sx:sync id=\"feed-id\" version=\"4\" deleted=\"true\"/>"
        "<krv:fprop expand=\"true\"/><title>not the root</title><outline text=\"In a feed\"/></outline>"
        "</outline><group><outline title=\"\" text=\"Untitled\" description=\"\"><krv:fprop page=\"true\" />"
        "<krv:fprop tag=\"true\" page=\"false\"/></outline></group>"
        "<outline text=\"Long url\" type=\"rss\" xmlUrl=\"http://x.example/" + std::string(2100, 'u') + "\"/>"
        "<outline TEXT=\"x\" Type=\"rss\" XMLURL=\"u\"><unknown/></outline></body>"));
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(read.version, 12);
    EXPECT_EQ(Dump(read.root.get()),
              "F [My feeds] id=r v0\n"
              "  F [Technology] desc=[tech news] v1\n"
              "    C [Feed A] desc=[A] v1 url=http:\\\\a.example\\feed\\rss.xml rel=http://a.example/\n"
              "    C [No type] v1 url=http:\\\\b.example\\x\\y rel=<none>\n"
              "    F [Link] v1\n"
              "    F [Cased] v1\n"
              "    C [Empty url] v1 url=about:blank rel=<none>\n"
              "    C [Synced] id=feed-id v4 deleted url=e rel=<none>\n"
              "    F [In a feed] v1\n"
              "  F [Untitled] v1 page tag\n"
              "  C [Long url] v1 url=about:blank rel=<none>\n"
              "  F [] v1\n");
    long added = 0, modified = 0, visited = 0;
    read.root->GetChild()->GetData()->GetNodeStat()->GetStatTime(&added, &modified, &visited);
    EXPECT_EQ(std::to_string(added) + " " + std::to_string(modified) + " " + std::to_string(visited), "10 20 30");
}

TEST(FolderTree, HostileDocumentsGiveNoTree)
{
    for (const char* wrong : {"<rss><outline text=\"a\"/></rss>", "<OPML><body/></OPML>",
                              "<x:opml xmlns:x=\"urn:x\"><body><outline text=\"a\"/></body></x:opml>"}) {
        OpmlRead read = ReadOpml(wrong);
        EXPECT_TRUE(read.loaded && !read.root) << wrong;
    }
    std::string huge(4 << 20, 'h');
    OpmlRead big = ReadOpml(Opml("<body><outline text=\"" + huge + "\" description=\"" + huge + "\"/></body>"));
    ASSERT_TRUE(big.root);
    EXPECT_EQ(CStringTool::Length(big.root->GetChild()->GetData()->GetName()), huge.size());

    // The walk fails after outlines were made: the partial tree goes.
    OpmlRead failed = ReadOpml(EntityBomb("opml") + "]><opml><body><outline text=\"a\"><outline text=\"&a7;\"/></outline></body></opml>");
    EXPECT_TRUE(!failed.loaded && !failed.root);

    // Nesting the parser accepts survives a write and a read.
    std::string nested = "n";
    for (int i = 0; i < 200; ++i)
        nested = "<outline text=\"" + std::to_string(i) + "\">" + nested + "</outline>";
    OpmlRead deep = ReadOpml(Opml("<body>" + nested + "</body>"));
    ASSERT_TRUE(deep.root);
    CWriteFolderTreeOPML writer;
    writer.SetTreeRoot(deep.root.get());
    std::string expected;
    Dump(deep.root.get(), true, 0, expected);
    OpmlRead again = ReadOpml(TakeText(writer.GetXMLBSTR()));
    ASSERT_TRUE(again.root);
    EXPECT_EQ(Dump(again.root->GetChild()), expected);
}
