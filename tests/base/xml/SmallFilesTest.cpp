#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestUtil.h"
#include "base/model/CColctExData.h"
#include "base/model/CColctItemID.h"
#include "base/model/CColctNode.h"
#include "base/model/CTagStore.h"
#include "base/xml/CColctExDataXML.h"
#include "base/xml/CTagsXML.h"
#include "tests/ScopedEnv.h"

namespace {

template <typename Writer>
std::string Written(Writer& writer)
{
    return TakeText(writer.GetXMLBSTR());
}

CTagStore* MakeStore(std::initializer_list<std::pair<const char16_t*, std::vector<const char16_t*>>> tags)
{
    CTagStore* store = CTagStore::CreateTagStore();
    for (const auto& [name, urls] : tags) {
        CTagItem* tag = CTagStore::CreateTagItem();
        tag->SetName(name);
        for (const char16_t* url : urls)
            tag->AddUrlItem(url, false);
        store->AddTagItem(tag);
    }
    return store;
}

std::string Describe(const CTagStore* store)
{
    std::string out;
    for (const RTagItem* r = store->GetTagItemHead(); r; r = r->GetNext()) {
        out += "[" + CUnicodeTool::ToUtf8(r->GetData()->GetName()) + ":" + std::to_string(r->GetData()->GetCount());
        for (const RBstrItem* u = r->GetData()->GetUrlList(); u; u = u->GetNext())
            out += " " + CUnicodeTool::ToUtf8(u->GetData());
        out += "]";
    }
    return out;
}

CTagStore* ReadTags(const std::string& bytes)
{
    CReadTagsXML reader;
    if (!reader.LoadXML(bytes.data(), static_cast<long>(bytes.size())))
        return nullptr;
    return reader.DetachTagStore();
}

}  // namespace

TEST(TagsFile, WritesGoldenAndReadsItBack)
{
    CTagStore* empty = CTagStore::CreateTagStore();
    CWriteTagsXML emptyWriter;
    emptyWriter.SetTagStore(empty);
    ExpectGolden("tags_empty.xml", Written(emptyWriter));
    CTagStore::DeleteTagStore(empty);

    CTagStore* store = MakeStore({{u"Tom & Jerry's", {u"/p/a.htm", u"", u"/p/<b>.htm"}},
                                  {u"b", {u"/p/a.htm"}},
                                  {u"\u00e9t\u00e9", {}}});
    CWriteTagsXML writer;
    writer.SetTagStore(store);
    std::string bytes = Written(writer);
    ExpectGolden("tags_full.xml", bytes);

    CTagStore* back = ReadTags(Golden("tags_full.xml"));
    ASSERT_NE(back, nullptr);
    // The empty address is not written, so it does not come back.
    EXPECT_EQ(Describe(back), "[Tom & Jerry's:2 /p/a.htm /p/<b>.htm][b:1 /p/a.htm][\u00e9t\u00e9:0]");
    CTagStore::DeleteTagStore(back);
    CTagStore::DeleteTagStore(store);

    CTagStore* none = ReadTags(Golden("tags_empty.xml"));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->GetTagItemHead(), nullptr);
    CTagStore::DeleteTagStore(none);
}

TEST(TagsFile, ReaderIgnoresWhatIsOutOfPlace)
{
    CTagStore* store = ReadTags(
        "<krvtags><url>/stray</url><tag Name='x'><url>/in</url><other><url>/deeper</url></other></tag>"
        "<tag name='t'><tag name='nested'/><url>/u</url></tag></krvtags>");
    ASSERT_NE(store, nullptr);
    // Name in the wrong case gives an empty name; a url inside another
    // element of a tag still counts for that tag; leaving a nested tag
    // leaves the tag scope.
    EXPECT_EQ(Describe(store), "[:2 /in /deeper][t:0]");
    CTagStore::DeleteTagStore(store);

    EXPECT_EQ(ReadTags("<tags><tag name='a'/></tags>"), nullptr);
    EXPECT_EQ(ReadTags("<krvtags><tag name='a'>"), nullptr);
}

namespace {

RColctExData* MakeRecords()
{
    RColctExData* head = nullptr;
    struct {
        const char16_t* url;
        const char16_t* item;
        long time;
    } rows[] = {{u"/Docs & more", u"Page <1>", 1236143167}, {u"", u"", 5}, {u"/x", nullptr, 7}};
    for (const auto& row : rows) {
        CColctExData* data = CColctExData::New();
        data->SetFolderUrl(row.url);
        data->SetItemID(row.item);
        data->SetLastVisitTime(row.time);
        head = CListTool::Append(head, RColctExData::New(data));
    }
    return head;
}

std::string Describe(const RColctExData* head)
{
    std::string out;
    for (; head; head = head->GetNext()) {
        const CColctExData* d = head->GetData();
        out += "[" + (d->GetFolderUrl() ? CUnicodeTool::ToUtf8(d->GetFolderUrl()) : "-") + "|" +
               (d->GetItemID() ? CUnicodeTool::ToUtf8(d->GetItemID()) : "-") + "|" +
               std::to_string(d->GetLastVisitTime()) + "]";
    }
    return out;
}

}  // namespace

TEST(RecentFile, WritesGoldenAndReadsItBack)
{
    CWriteColctExData emptyWriter;
    emptyWriter.SetDefaultColctUrl(u"");
    ExpectGolden("recent_empty.xml", Written(emptyWriter));

    RColctExData* records = MakeRecords();
    CWriteColctExData writer;
    writer.SetRColctExDataHead(records);
    writer.SetDefaultColctUrl(u"/Docs & more");
    ExpectGolden("recent_full.xml", Written(writer));
    CReadColctExData::DeleteList(records);

    std::string bytes = Golden("recent_full.xml");
    CReadColctExData reader;
    ASSERT_TRUE(reader.LoadXML(bytes.data(), static_cast<long>(bytes.size())));
    RColctExData* back = reader.DetachRColctExDataHead();
    // A record without url reads back with none; one without item as well.
    EXPECT_EQ(Describe(back), "[/Docs & more|Page <1>|1236143167][-||5][/x|-|7]");
    EXPECT_EQ(TakeText(reader.DetachDefaultColctUrl()), "/Docs & more");
    EXPECT_EQ(reader.DetachDefaultColctUrl(), nullptr);
    CReadColctExData::DeleteList(back);
}

TEST(RecentFile, FirstNonEmptyDefaultWinsAndBadFilesGiveNothing)
{
    CReadColctExData reader;
    const char doc[] = "<folderprofile><head><defaultfolder></defaultfolder><defaultfolder>/a</defaultfolder>"
                       "<defaultfolder>/b</defaultfolder></head><folder><url>/u</url></folder>"
                       "<url>/outside</url></folderprofile>";
    ASSERT_TRUE(reader.LoadXML(doc, sizeof doc - 1));
    EXPECT_EQ(TakeText(reader.DetachDefaultColctUrl()), "/a");
    RColctExData* list = reader.DetachRColctExDataHead();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(CUnicodeTool::ToUtf8(list->GetData()->GetFolderUrl()), "/u");
    EXPECT_GT(list->GetData()->GetLastVisitTime(), 1600000000);  // no time: the time it was read
    CReadColctExData::DeleteList(list);

    CReadColctExData wrong;
    EXPECT_TRUE(wrong.LoadBSTRXML(u"<profile><folder/></profile>"));
    EXPECT_EQ(wrong.DetachRColctExDataHead(), nullptr);
    CReadColctExData broken;
    EXPECT_FALSE(broken.LoadBSTRXML(u"<folderprofile><folder><url>/u</url>"));
    EXPECT_EQ(broken.DetachRColctExDataHead(), nullptr);
}

TEST(ColctListFile, ListsOnlyNormalCollections)
{
    ScopedEnv zone("TZ", "UTC");
    RColctItem* list = nullptr;
    for (int i = 0; i < 3; ++i) {
        CColctNode* colct = CColctNode::New();
        colct->SetName(i == 0 ? u"News & views" : u"Other");
        colct->SetUrl(u"http://example.org/c?a=1&b=2");
        colct->SetDescription(i == 0 ? u"" : u"d");
        colct->SetUUID(i == 0 ? u"aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee" : u"");
        colct->SetVersion(i == 0 ? 3 : 0);
        colct->GetNodeStat()->SetStatTime(0, 1236143167, 0, CNodeStat::STAT_MODIFIED);
        if (i == 2)
            colct->SetColctType(static_cast<tagCOLCTTYPE>(0));
        list = CListTool::Append(list, RColctItem::New(colct));
    }
    CWriteColctListXML writer;
    writer.SetRColctItemHead(list);
    ExpectGolden("colct_list.xml", Written(writer));
    while (list) {
        RColctItem* next = list->GetNext();
        CColctNode::DeleteAll(list->GetData());
        RColctItem::Delete(list);
        list = next;
    }
}
