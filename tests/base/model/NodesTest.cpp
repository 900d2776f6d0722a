#include <gtest/gtest.h>

#include "TreeCheck.h"
#include "base/model/CColctItemID.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/CZandrelProject.h"

using Names = std::vector<std::string>;

namespace {

Names Tags(const RBstrItem* head)
{
    Names out;
    for (; head; head = head->GetNext())
        out.push_back(CUnicodeTool::ToUtf8(head->GetData()));
    return out;
}

std::string U8(const char16_t* text)
{
    return text ? CUnicodeTool::ToUtf8(text) : "<none>";
}

}  // namespace

TEST(TagSplitting, SeparatorsDuplicatesAndFirstSpelling)
{
    const std::pair<const char16_t*, Names> cases[] = {
        {u" a,,b A;\tc\r\n", {"a", "b", "c"}},
        {u"Linux linux LINUX kernel Kernel x", {"Linux", "kernel", "x"}},
        {u"Ünïcode.tag #hash", {"Ünïcode.tag", "#hash"}},  // nothing else trimmed or folded
        {u"", {}},
        {u" ,;\t\r\n ", {}},
        {nullptr, {}},
    };
    for (const auto& [text, expected] : cases) {
        RBstrItem* tags = CUrlProp::GenerateRBstrItemList(text);
        EXPECT_EQ(Tags(tags), expected) << U8(text);
        if (tags) {
            EXPECT_EQ(CListTool::GetTail(tags)->GetNext(), nullptr);
            EXPECT_EQ(U8(CListTool::GetTail(tags)->GetData()), expected.back());
        }
        CUrlProp::DeleteTagsList(tags);
    }
}

TEST(UrlNode, AddressRules)
{
    CUrlNode* item = CUrlNode::New();
    EXPECT_EQ(U8(item->GetUrl()), "about:blank");
    EXPECT_FALSE(item->HasUrl());
    item->SetUrl(u"About:blank");
    EXPECT_TRUE(item->HasUrl());
    item->SetUrl(u"");
    EXPECT_FALSE(item->HasUrl());
    item->SetUrl(nullptr);
    EXPECT_FALSE(item->HasUrl());

    std::u16string longest(2084, u'x');
    std::u16string tooLong(2085, u'y');
    EXPECT_TRUE(item->SetUrl(longest.c_str()));
    EXPECT_FALSE(item->SetUrl(tooLong.c_str()));
    EXPECT_EQ(item->GetUrl(), longest);

    item->SetAuthor(u"me");
    item->SetAuthor(tooLong.c_str());
    EXPECT_EQ(item->GetAuthor(), nullptr);
    item->SetRelationUrl(longest.c_str());
    EXPECT_EQ(item->GetRelationUrl(), longest);
    item->SetRelationUrl(tooLong.c_str());
    EXPECT_EQ(item->GetRelationUrl(), nullptr);
    CBaseNode::Delete(item);
}

TEST(UrlNode, CopiesOwnTheirPropertiesAndTags)
{
    CUrlNode* item = CUrlNode::New();
    item->SetName(u"page");
    item->SetDescription(u"text");
    item->SetUUID(u"aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
    item->SetItemType(ITEM_FILE);
    item->SetAuthor(u"me");
    item->GetNodeStat()->SetStatTime(10, 20, 30, 7);
    item->GetNodeStat()->SetFlag(5);
    item->SetNodeData(42);
    CUrlProp* prop = item->GetUrlProp();
    prop->SetFileType(FILE_PDF);
    prop->SetFileExtension(u".pdf");
    prop->SetTagsList(CUrlProp::GenerateRBstrItemList(u"one two"));
    prop->SetNeedSaveKeyWords(true);
    RNode* holder = RNode::New2(item, NT_URL);

    CUrlNode* copy = CUrlNode::New(item);
    EXPECT_EQ(copy->GetRNode(), nullptr);
    EXPECT_EQ(U8(copy->GetName()), "page");
    EXPECT_EQ(U8(copy->GetDescription()), "text");
    EXPECT_EQ(U8(copy->GetUUID()), "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
    EXPECT_EQ(copy->GetItemType(), ITEM_FILE);
    EXPECT_EQ(U8(copy->GetAuthor()), "me");
    EXPECT_EQ(copy->GetNodeData(), 42u);
    long added = 0, modified = 0, visited = 0;
    copy->GetNodeStat()->GetStatTime(&added, &modified, &visited);
    EXPECT_EQ(added + modified + visited, 60);
    EXPECT_EQ(copy->GetNodeStat()->GetFlag(), 5);

    CUrlProp* copied = copy->PeekUrlProp();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->GetFileType(), FILE_PDF);
    EXPECT_EQ(U8(copied->GetFileExtension()), ".pdf");
    EXPECT_FALSE(copied->DoNeedSaveKeyWords());
    EXPECT_TRUE(copied->HasTag(u"TWO"));
    CUrlProp::DeleteTagsList(copied->DetachTagsHead());
    EXPECT_EQ(Tags(prop->GetTagsHead()), (Names{"one", "two"}));

    CBaseNode::Delete(copy);
    CBaseNode::Delete(item);
    RNode::Delete(holder);
}

TEST(NodeStat, MaskedTimesAndFlagNameBounds)
{
    CNodeStat stat;
    stat.SetStatTime(1, 2, 3, 7);
    stat.SetStatTime(100, 200, 300, 2);
    long added = 0, modified = 0, visited = 0;
    stat.GetStatTime(&added, &modified, &visited);
    EXPECT_EQ(std::vector<long>({added, modified, visited}), std::vector<long>({1, 200, 3}));
    stat.GetStatTime(nullptr, nullptr, &visited);
    EXPECT_EQ(U8(CNodeStat::GetFlagName(0)), "Clear Flag");
    EXPECT_EQ(U8(CNodeStat::GetFlagName(10)), "Unfinished");
    EXPECT_EQ(CNodeStat::GetFlagName(11), nullptr);
    EXPECT_EQ(CNodeStat::GetFlagName(-1), nullptr);
}

namespace {

// A collection with items named after `names`, in that order.
CColctNode* MakeColct(const char16_t* uuid, std::initializer_list<const char16_t*> names)
{
    CColctNode* colct = CColctNode::New();
    colct->SetUUID(uuid);
    std::vector<const char16_t*> reversed(names);
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) {
        CUrlNode* item = CUrlNode::New();
        item->SetName(*it);
        item->SetUUID(*it);
        colct->AddNewUrlNode(item);
    }
    return colct;
}

}  // namespace

TEST(ColctNode, NewItemsGoFirstAndDeleteAllReleasesEverything)
{
    CColctNode* colct = CColctNode::New();
    EXPECT_EQ(colct->GetFirstRNode(), nullptr);
    EXPECT_EQ(colct->GetColctType(), COLCT_NORMAL);
    CUrlNode* first = CUrlNode::New();
    first->SetName(u"first");
    RNode* record = colct->AddNewUrlNode(first);
    ASSERT_NE(colct->GetLocRNodeRoot(), nullptr);
    EXPECT_EQ(colct->GetLocRNodeRoot()->GetType(), NT_FOLDER);
    EXPECT_EQ(first->GetRNode(), record);
    CUrlNode* second = CUrlNode::New();
    second->SetName(u"second");
    colct->AddNewUrlNode(second);
    EXPECT_EQ(ChildNames(colct->GetLocRNodeRoot()), (Names{"second", "first"}));
    EXPECT_TRUE(TreeIsConsistent(colct->GetLocRNodeRoot()));

    // Items grouped in a folder are released too.
    RNode* group = NewFolder(u"group");
    RNTool::InsertAsChild(colct->GetLocRNodeRoot(), group);
    RNTool::InsertAsChild(group, NewItem(u"nested"));
    CColctNode::DeleteAll(colct);
    CColctNode::DeleteAll(nullptr);
}

TEST(ColctNode, LoadingStateAndFileProperties)
{
    CColctNode* colct = CColctNode::New();
    colct->SetLoadingState(2);
    colct->SetLoadingState(3);
    colct->SetLoadingState(-2);
    EXPECT_EQ(colct->GetLoadingState(), 2);
    colct->SetLoadingState(-1);
    EXPECT_EQ(colct->GetLoadingState(), -1);

    colct->SetName(u"mine");
    colct->SetUUID(u"keep-me");
    CColctNode* file = CColctNode::New();
    file->SetName(nullptr);
    file->SetDescription(u"from file");
    file->SetUUID(u"x");  // one character is not an identifier
    file->SetCheckedIn(0);
    file->SetBaseBuild(77);
    colct->SetPropertiesFromColctFileNode(file);
    EXPECT_EQ(U8(colct->GetName()), "mine");
    EXPECT_EQ(U8(colct->GetDescription()), "from file");
    EXPECT_EQ(U8(colct->GetUUID()), "keep-me");
    EXPECT_FALSE(colct->HasCheckedIn());
    EXPECT_EQ(colct->GetBaseBuild(), 77);
    file->SetUUID(u"new-id");
    colct->SetPropertiesFromColctFileNode(file);
    EXPECT_EQ(U8(colct->GetUUID()), "new-id");
    CColctNode::DeleteAll(file);
    CColctNode::DeleteAll(colct);
}

TEST(FolderNode, OwnsItsCollection)
{
    CFolderNode* folder = CFolderNode::New();
    CColctNode* first = CColctNode::New();
    folder->SetColctNode(first);
    EXPECT_EQ(first->GetHostFolderNode(), folder);
    folder->SetColctNode(first);  // the same one is kept, not destroyed
    EXPECT_EQ(folder->GetColctNode(), first);
    folder->SetColctNode(CColctNode::New());  // destroys the first
    folder->SetHasPage(true);
    folder->SetFolderOpen(true);

    CColctNode* items = MakeColct(u"c1", {u"x", u"y"});
    CColctNode::DeleteAll(folder->DetachColctNode());
    folder->SetColctNode(items);
    CFolderNode* copy = CFolderNode::New(folder);
    ASSERT_NE(copy->GetColctNode(), nullptr);
    EXPECT_NE(copy->GetColctNode(), items);
    EXPECT_EQ(copy->GetColctNode()->GetHostFolderNode(), copy);
    EXPECT_EQ(copy->GetColctNode()->GetLocRNodeRoot(), items->GetLocRNodeRoot());  // shared
    EXPECT_TRUE(copy->HasPage());
    EXPECT_TRUE(copy->IsFolderOpen());
    EXPECT_FALSE(copy->HasTag());
    CBaseNode::Delete(copy);  // destroys its collection node, not the shared items

    // Releasing the collection leaves the folder without a dangling pointer.
    CColctNode::DeleteAll(items);
    EXPECT_EQ(folder->GetColctNode(), nullptr);
    CBaseNode::Delete(folder);
}

TEST(ColctItemID, ResolvesByPointerThenByIdentifier)
{
    CColctNode* c1 = MakeColct(u"c1", {u"i1", u"i2"});
    CColctNode* c2 = MakeColct(u"c2", {u"j1", u"j2"});
    CColctNode* twin = MakeColct(u"c2", {u"j2"});
    RColctItem* list = RColctItem::New(c1);
    list = CListTool::Append(list, RColctItem::New(c2, true));
    EXPECT_TRUE(list->GetNext()->IsMatched());
    EXPECT_FALSE(list->IsMatched());

    CColctItemID* ref = CColctItemID::New();
    EXPECT_FALSE(CColctItemID::FindColctUrlNode(nullptr, ref));
    ref->SetColctID(u"c2");
    ref->SetItemID(u"j2");
    ASSERT_TRUE(CColctItemID::FindColctUrlNode(list, ref));
    EXPECT_EQ(ref->GetColctNode(), c2);
    EXPECT_EQ(U8(ref->GetUrlNode()->GetName()), "j2");

    // An item the collection no longer holds clears only the item pointer.
    ref->SetUrlNode(static_cast<CUrlNode*>(twin->GetFirstRNode()->GetData()));
    EXPECT_FALSE(CColctItemID::FindColctUrlNode(list, ref));
    EXPECT_EQ(ref->GetColctNode(), c2);
    EXPECT_EQ(ref->GetUrlNode(), nullptr);

    // A collection no longer in the list is stale even though one with the
    // same identifier is there: both pointers go.
    ref->SetColctNode(twin);
    ref->SetUrlNode(static_cast<CUrlNode*>(twin->GetFirstRNode()->GetData()));
    EXPECT_FALSE(CColctItemID::FindColctUrlNode(list, ref));
    EXPECT_EQ(ref->GetColctNode(), nullptr);
    EXPECT_EQ(ref->GetUrlNode(), nullptr);

    ref->SetColctID(u"C1");  // identifiers compare exactly
    EXPECT_FALSE(CColctItemID::FindColctNode(list, ref));
    ref->SetColctID(u"c1");
    EXPECT_TRUE(CColctItemID::FindColctNode(list, ref));
    EXPECT_EQ(ref->GetColctNode(), c1);

    CColctItemID::Delete(ref);
    while (list) {
        RColctItem* next = list->GetNext();
        RColctItem::Delete(list);
        list = next;
    }
    for (CColctNode* c : {c1, c2, twin})
        CColctNode::DeleteAll(c);
}

TEST(Project, VersionCountsOnlyFromMajorOne)
{
    CZandrelProject* project = CZandrelProject::New();
    int major = 0, minor = 0, build = 0;
    project->SetVersion(0, 5, 0);
    EXPECT_FALSE(project->GetVersion(&major, &minor, &build));
    project->SetVersion(1, 0, 0);
    EXPECT_TRUE(project->GetVersion(&major, &minor, &build));
    CZandrelProject::Delete(project);
}
