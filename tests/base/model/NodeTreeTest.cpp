#include <gtest/gtest.h>

#include "TreeCheck.h"
#include "base/model/CColctNode.h"

using Names = std::vector<std::string>;

namespace {

// A root folder with children a, b, c.
class NodeTree : public testing::Test {
protected:
    void SetUp() override
    {
        root = NewFolder(u"root");
        for (auto name : {u"a", u"b", u"c"}) {
            RNode* child = NewItem(name);
            RNTool::InsertAsChild(root, child);
            kids.push_back(child);
        }
    }
    void TearDown() override
    {
        for (RNode* lone : lones)
            ReleaseTree(lone);
        ReleaseTree(root);
    }
    RNode* Keep(RNode* lone)
    {
        lones.push_back(lone);
        return lone;
    }

    RNode* root = nullptr;
    std::vector<RNode*> kids;
    std::vector<RNode*> lones;
};


TEST_F(NodeTree, InsertsInEveryPosition)
{
    RNTool::InsertAsHeadChild(root, NewItem(u"h"));
    RNTool::InsertAfter(kids[2], NewItem(u"t"));  // after the tail
    RNTool::InsertBefore(root->GetChild(), NewItem(u"h0"));
    RNTool::InsertAfter(kids[0], NewItem(u"a1"));
    RNTool::InsertBefore(kids[2], NewItem(u"b1"));
    RNTool::InsertAsHead(kids[1], NewItem(u"first"));
    RNTool::InsertAsLast(kids[1], NewItem(u"last"));
    EXPECT_EQ(ChildNames(root), (Names{"first", "h0", "h", "a", "a1", "b", "b1", "c", "t", "last"}));

    // The first child of an empty parent is its own head and tail.
    RNode* only = NewItem(u"x");
    RNTool::InsertAsChild(kids[0], only);
    EXPECT_EQ(only->GetPrev(), only);
    EXPECT_EQ(RNTool::GerPrevNode(only), nullptr);
    EXPECT_EQ(RNTool::GetHeadNode(only), only);
    RNTool::InsertAsHeadChild(kids[0], NewItem(u"y"));
    EXPECT_TRUE(TreeIsConsistent(root));
    EXPECT_EQ(ChildNames(kids[0]), (Names{"y", "x"}));
}

TEST_F(NodeTree, ChainsWithoutParentKeepTheirShape)
{
    RNode* head = NewItem(u"p");
    RNode* tail = NewItem(u"r");
    RNTool::InsertAfter(head, tail);
    RNode* mid = NewItem(u"q");
    RNTool::InsertBefore(tail, mid);
    RNode* front = NewItem(u"o");
    RNTool::InsertBefore(head, front);  // becomes the head of a parentless chain
    EXPECT_EQ(RNTool::GetHeadNode(tail), front);
    EXPECT_EQ(RNTool::GerPrevNode(front), nullptr);
    EXPECT_EQ(front->GetPrev(), tail);
    EXPECT_EQ(RNTool::GerPrevNode(tail), mid);
    // Hang the chain under a holder so TearDown releases it whole.
    RNode* holder = Keep(NewFolder(u"holder"));
    EXPECT_EQ(RNTool::SetParent(front, holder), nullptr);
    EXPECT_TRUE(TreeIsConsistent(holder));
    EXPECT_EQ(ChildNames(holder), (Names{"o", "p", "q", "r"}));
}

TEST_F(NodeTree, RemovesInTheFourCasesAndNoStranger)
{
    // Middle, then tail, then the lone last child.
    for (RNode* n : {kids[1], kids[2], kids[0]}) {
        ASSERT_TRUE(RNTool::RemoveOneChild(root, n));
        EXPECT_TRUE(IsLone(Keep(n)));
        EXPECT_TRUE(TreeIsConsistent(root));
    }
    EXPECT_EQ(root->GetChild(), nullptr);

    RNode* other = NewFolder(u"other");
    RNode* x = NewItem(u"x");
    RNode* y = NewItem(u"y");
    RNTool::InsertAsChild(other, x);
    RNTool::InsertAsChild(other, y);
    RNTool::InsertAsChild(root, other);
    // Heads of a longer chain hand the tail link to their successor.
    ASSERT_TRUE(RNTool::RemoveOneChild(other, x));
    EXPECT_TRUE(IsLone(Keep(x)));
    EXPECT_FALSE(RNTool::RemoveOneChild(root, y));
    EXPECT_FALSE(RNTool::RemoveOneChild(x, kids[0]));  // no children at all
    EXPECT_EQ(ChildNames(root), (Names{"other"}));
    EXPECT_EQ(ChildNames(other), (Names{"y"}));
    EXPECT_TRUE(TreeIsConsistent(root));
}

TEST_F(NodeTree, MovesWithinAndAcrossParents)
{
    RNTool::MoveRNodeInDataTree(root, kids[2], root->GetChild());
    EXPECT_EQ(ChildNames(root), (Names{"c", "a", "b"}));
    EXPECT_TRUE(TreeIsConsistent(root));

    RNode* other = NewFolder(u"other");
    RNTool::InsertAsChild(root, other);
    RNTool::MoveRNodeInDataTree(other, kids[0], nullptr);
    RNTool::MoveRNodeInDataTree(other, kids[1], kids[0]);
    EXPECT_EQ(ChildNames(root), (Names{"c", "other"}));
    EXPECT_EQ(ChildNames(other), (Names{"b", "a"}));
    EXPECT_TRUE(TreeIsConsistent(root));

    RNTool::MoveRNodeInDataTree(root, kids[1], nullptr);  // head of other to tail of root
    EXPECT_EQ(ChildNames(root), (Names{"c", "other", "b"}));
    EXPECT_EQ(ChildNames(other), (Names{"a"}));
    EXPECT_TRUE(TreeIsConsistent(root));
}

TEST_F(NodeTree, ReplacesAtHeadMiddleTailAndAlone)
{
    for (int i : {0, 1, 2}) {
        RNode* fresh = NewItem(i == 0 ? u"A" : i == 1 ? u"B" : u"C");
        RNode* grandchild = NewItem(u"g");
        RNTool::InsertAsChild(fresh, grandchild);
        RNTool::ReplaceSingleRNode(kids[i], fresh);
        EXPECT_TRUE(IsLone(Keep(kids[i])));
        EXPECT_EQ(fresh->GetChild(), grandchild);  // keeps its own children
        EXPECT_TRUE(TreeIsConsistent(root));
    }
    EXPECT_EQ(ChildNames(root), (Names{"A", "B", "C"}));

    RNode* folder = NewFolder(u"f");
    RNTool::InsertAsChild(root, folder);
    RNode* only = NewItem(u"only");
    RNTool::InsertAsChild(folder, only);
    RNTool::ReplaceSingleRNode(only, NewItem(u"new"));
    Keep(only);
    EXPECT_EQ(ChildNames(folder), (Names{"new"}));
    EXPECT_TRUE(TreeIsConsistent(root));
}

TEST_F(NodeTree, SetParentMovesTheWholeChain)
{
    RNode* other = NewFolder(u"other");
    RNode* old = NewItem(u"old");
    RNTool::InsertAsChild(other, old);
    EXPECT_EQ(RNTool::SetParent(kids[1], other), root);
    EXPECT_EQ(root->GetChild(), nullptr);
    EXPECT_EQ(ChildNames(other), (Names{"a", "b", "c"}));
    EXPECT_TRUE(TreeIsConsistent(other));
    // The replaced child is the caller's to release.
    old->SetParent(nullptr);
    Keep(old);
    RNTool::InsertAsChild(root, other);
    EXPECT_TRUE(TreeIsConsistent(root));
}

TEST_F(NodeTree, WalksAndFinds)
{
    RNode* folder = NewFolder(u"Docs");
    RNTool::InsertAsChild(root, folder);
    RNode* deep = NewItem(u"deep");
    RNTool::InsertAsChild(folder, deep);
    EXPECT_EQ(RNTool::GetRootRNode(deep), root);
    EXPECT_EQ(RNTool::GetRootNode(root), root);
    EXPECT_EQ(RNTool::GetHeadNode(kids[2]), kids[0]);
    EXPECT_EQ(RNTool::GerPrevNode(kids[0]), nullptr);
    EXPECT_EQ(RNTool::GerPrevNode(kids[2]), kids[1]);

    EXPECT_EQ(RNTool::FindRNodeByName(root, u"Docs", NT_FOLDER), folder);
    EXPECT_EQ(RNTool::FindRNodeByName(root, u"docs", NT_FOLDER), nullptr);
    EXPECT_EQ(RNTool::FindRNodeByName(root, u"Docs", NT_URL), nullptr);
    EXPECT_EQ(RNTool::FindRNodeByName(root, u"b", NT_URL), kids[1]);

    RNTool::MarkRNodeGoThrough(root, 7, false);
    EXPECT_EQ(deep->GetExtData(), 7u);
    EXPECT_EQ(kids[0]->GetExtData(), 7u);
    EXPECT_EQ(folder->GetExtData(), 0u);
    EXPECT_EQ(root->GetExtData(), 0u);
    RNTool::MarkRNodeGoThrough(root, 9, true);
    EXPECT_EQ(folder->GetExtData(), 9u);
    RNTool::MarkRNodeGoThrough(nullptr, 1, true);
}

TEST_F(NodeTree, DeepCopiesKeepIdentifiersAndOwnTheirData)
{
    RNode* folder = NewFolder(u"Docs");
    folder->GetData()->SetUUID(u"11111111-2222-3333-4444-555555555555");
    RNTool::InsertAsChild(root, folder);
    RNode* deep = NewItem(u"deep");
    static_cast<CUrlNode*>(deep->GetData())->SetUrl(u"https://example.org/");
    RNTool::InsertAsChild(folder, deep);
    RNode* colct = RNode::New2(CColctNode::New(), NT_COLCT);
    RNTool::InsertAsChild(root, colct);

    RNode* copy = Keep(NewFolder(u"copy"));
    RNTool::AddAllFolderChildren(copy, root);
    EXPECT_TRUE(TreeIsConsistent(copy));
    EXPECT_EQ(ChildNames(copy), (Names{"a", "b", "c", "Docs"}));  // the collection is skipped
    RNode* docs = RNTool::FindRNodeByName(copy, u"Docs", NT_FOLDER);
    ASSERT_NE(docs, nullptr);
    EXPECT_NE(docs->GetData(), folder->GetData());
    EXPECT_EQ(docs->GetData()->GetRNode(), docs);
    EXPECT_EQ(CUnicodeTool::ToUtf8(docs->GetData()->GetUUID()), "11111111-2222-3333-4444-555555555555");
    ASSERT_EQ(ChildNames(docs), (Names{"deep"}));
    EXPECT_EQ(CUnicodeTool::ToUtf8(static_cast<CUrlNode*>(docs->GetChild()->GetData())->GetUrl()),
              "https://example.org/");

    RNode* flat = Keep(NewFolder(u"flat"));
    RNTool::AddFirstLevelFolderChildren(flat, root);
    RNode* flatDocs = RNTool::FindRNodeByName(flat, u"Docs", NT_FOLDER);
    ASSERT_NE(flatDocs, nullptr);
    EXPECT_EQ(flatDocs->GetChild(), nullptr);
}

TEST(NodeIdentity, RecordsLinksAndIdentifiers)
{
    CUrlNode* item = CUrlNode::New();
    RNode* plain = RNode::New(item, NT_URL);
    EXPECT_EQ(item->GetRNode(), nullptr);  // New leaves the back link alone
    EXPECT_TRUE(IsLone(plain));
    RNode* linked = RNode::New2(item, NT_URL);
    EXPECT_EQ(item->GetRNode(), linked);
    RNode::Delete(plain);
    RNode::Delete(linked);
    CBaseNode::Delete(item);
    CBaseNode::Delete(nullptr);
    RNode::Delete(nullptr);

    // Identifiers are cut to 36 characters; a name can be none, a
    // description cannot.
    CFolderNode* folder = CFolderNode::New();
    folder->SetUUID(u"0123456789012345678901234567890123456789");
    EXPECT_EQ(CUnicodeTool::ToUtf8(folder->GetUUID()), "012345678901234567890123456789012345");
    folder->SetUUID(nullptr);
    EXPECT_EQ(CUnicodeTool::ToUtf8(folder->GetUUID()), "");
    ASSERT_TRUE(CBaseNode::AssignUUID(folder));
    std::u16string first = folder->GetUUID();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_EQ(first.find_first_not_of(u"0123456789abcdef-"), std::u16string::npos);
    CBaseNode::AssignUUID(folder);
    EXPECT_NE(std::u16string(folder->GetUUID()), first);
    EXPECT_FALSE(CBaseNode::AssignUUID(nullptr));
    folder->SetName(nullptr);
    EXPECT_EQ(folder->GetName(), nullptr);
    folder->SetDescription(nullptr);
    ASSERT_NE(folder->GetDescription(), nullptr);
    EXPECT_EQ(folder->GetDescription()[0], u'\0');
    CBaseNode::Delete(folder);
}

}  // namespace
