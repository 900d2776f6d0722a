// Folders dropped on the folder tree: which drops are allowed, where each
// place puts the folder, that the directory follows, and that the tree is
// shown again whether the move worked or not.

#include "tests/app/core/folders/FolderTestUtil.h"

#include "app/core/CTreeDrop.h"

namespace {

class TreeDropTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        root = tree.GetRoot();
        a = AddFolder(root, u"A");
        b = AddFolder(root, u"B");
        c = AddFolder(root, u"C");
        inner = AddFolder(a, u"Inner");
        tree.SetCurrentFolder(a);
    }

    // The names of the folders under `parent`, in order.
    static Texts Children(RNode* parent)
    {
        Texts names;
        for (RNode* child = parent->GetChild(); child; child = child->GetNext())
            names.push_back(Utf8(child->GetData()->GetName()));
        return names;
    }

    RNode *root = nullptr, *a = nullptr, *b = nullptr, *c = nullptr, *inner = nullptr;
};

using D = CTreeDrop;

TEST_F(TreeDropTest, WhatMayBeDraggedAndWhereItMayLand)
{
    EXPECT_FALSE(D::CanDragFolder(root));
    EXPECT_FALSE(D::CanDragFolder(nullptr));
    EXPECT_TRUE(D::CanDragFolder(inner));

    // Never on or into itself or its own subfolders, in any place.
    for (int place : {D::DROP_BEFORE, D::DROP_AFTER, D::DROP_INTO}) {
        auto at = static_cast<D::tagDROPPLACE>(place);
        EXPECT_FALSE(D::CanDropFolder(a, a, at)) << place;
        EXPECT_FALSE(D::CanDropFolder(a, inner, at)) << place;
        EXPECT_FALSE(D::CanDropFolder(root, b, at)) << place;
        EXPECT_FALSE(D::CanDropFolder(a, nullptr, at)) << place;
        EXPECT_TRUE(D::CanDropFolder(inner, b, at)) << place;
    }
    // The root has no siblings; into it is fine, also for a folder already there.
    EXPECT_FALSE(D::CanDropFolder(a, root, D::DROP_BEFORE));
    EXPECT_FALSE(D::CanDropFolder(a, root, D::DROP_AFTER));
    EXPECT_TRUE(D::CanDropFolder(a, root, D::DROP_INTO));
    EXPECT_TRUE(D::CanDropFolder(inner, a, D::DROP_INTO));

    // A page goes to any folder but its own.
    EXPECT_FALSE(D::CanDropPage(a, a));
    EXPECT_FALSE(D::CanDropPage(a, nullptr));
    EXPECT_TRUE(D::CanDropPage(a, root));
    EXPECT_TRUE(D::CanDropPage(a, inner));
}

TEST_F(TreeDropTest, IntoAnotherFolderMovesTheDirectoryAndShowsTheTree)
{
    WriteBytes(content / "A" / "Inner" / "page.htm", "page");
    ASSERT_TRUE(D::DropFolder(tree, a, c, D::DROP_INTO));
    EXPECT_EQ(a->GetParent(), c);
    EXPECT_EQ(ReadBytes(content / "C" / "A" / "Inner" / "page.htm"), "page");
    EXPECT_FALSE(fs::exists(content / "A"));
    EXPECT_EQ(ui.shownRoot, root);
    EXPECT_EQ(ui.shownFolder, a);
    std::string file = ReadBytes(TreeFile());
    EXPECT_LT(file.find("text=\"C\""), file.find("text=\"A\""));

    // Out again, after B: back under the root, right behind B.
    ASSERT_TRUE(D::DropFolder(tree, a, b, D::DROP_AFTER));
    EXPECT_EQ(Children(root), (Texts{"B", "A", "C"}));
    EXPECT_TRUE(fs::is_directory(content / "A" / "Inner"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TreeDropTest, BeforeAFolderUnderEveryNeighbour)
{
    // Before the last: behind the one before it.
    ASSERT_TRUE(D::DropFolder(tree, a, c, D::DROP_BEFORE));
    EXPECT_EQ(Children(root), (Texts{"B", "A", "C"}));
    // Before the first, which has no folder before it.
    ASSERT_TRUE(D::DropFolder(tree, c, b, D::DROP_BEFORE));
    EXPECT_EQ(Children(root), (Texts{"C", "B", "A"}));
    // Before its own next sibling: already there, nothing written.
    fs::remove(TreeFile());
    ASSERT_TRUE(D::DropFolder(tree, c, b, D::DROP_BEFORE));
    EXPECT_EQ(Children(root), (Texts{"C", "B", "A"}));
    EXPECT_FALSE(fs::exists(TreeFile()));
    // From another parent to before the first folder: the directory moves.
    ASSERT_TRUE(D::DropFolder(tree, inner, c, D::DROP_BEFORE));
    EXPECT_EQ(Children(root), (Texts{"Inner", "C", "B", "A"}));
    EXPECT_TRUE(fs::is_directory(content / "Inner"));
    EXPECT_FALSE(fs::exists(content / "A" / "Inner"));
    std::string file = ReadBytes(TreeFile());
    EXPECT_LT(file.find("text=\"Inner\""), file.find("text=\"C\""));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TreeDropTest, RefusedAndFailedDropsChangeNothingButStillRedraw)
{
    EXPECT_FALSE(D::DropFolder(tree, a, inner, D::DROP_INTO));
    EXPECT_FALSE(D::DropFolder(tree, root, b, D::DROP_INTO));
    EXPECT_EQ(ui.shownRoot, nullptr);  // a refused drop did not touch the tree

    // A directory of that name already under the target: the core says so.
    fs::create_directories(content / "B" / "A");
    EXPECT_FALSE(D::DropFolder(tree, a, b, D::DROP_INTO));
    EXPECT_EQ(a->GetParent(), root);
    EXPECT_EQ(ui.MessageTexts(), Texts{"The following folder already exists:\n" + (content / "B" / "A").string()});
    EXPECT_EQ(ui.shownRoot, root);
    EXPECT_EQ(ui.shownFolder, a);
}

}  // namespace
