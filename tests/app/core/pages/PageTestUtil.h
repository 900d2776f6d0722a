#pragma once

// A project made by hand in a temporary home, with its tree, the page
// manager and what it talks to.

#include <memory>

#include "app/background/CThreadMgr.h"
#include "app/core/CPageMgr.h"
#include "app/core/CRecentPages.h"
#include "tests/app/core/folders/FolderTestUtil.h"

class PageTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        root = tree.GetRoot();
        pages = std::make_unique<CPageMgr>(tree, recent, [this](const std::u16string& file) {
            threads.PostDeleteRequest(file, CDeleteFileThread::DELETE_NOTE);
        });
    }

    RNode* AddFolder(const std::u16string& name) { return FolderTest::AddFolder(root, name); }
    // A saved page `name`.htm in the folder's collection (made when
    // missing); the file is written when `html` is given.
    CUrlNode* AddPage(RNode* folder, const std::u16string& name, const char* html = nullptr,
                      const char16_t* tags = nullptr)
    {
        CUrlNode* item = FolderTest::AddPage(tree.EnsureColct(folder), name, tags);
        for (RBstrItem* t = tags ? item->GetUrlProp()->GetTagsHead() : nullptr; t; t = t->GetNext())
            tree.GetProjectTags().AddTag(t->GetData(), tree.GetPageRelativePath(folder, item));
        if (html)
            WriteBytes(Dir(folder) / Utf8(name + u".htm"), html);
        return item;
    }
    CColctNode* Colct(RNode* folder) { return static_cast<CFolderNode*>(folder->GetData())->GetColctNode(); }
    static CFolderNode* Data(RNode* folder) { return static_cast<CFolderNode*>(folder->GetData()); }
    fs::path Dir(RNode* folder) { return Utf8(tree.GetFolderDirectory(folder)); }
    static bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    CThreadMgr threads;
    CRecentPages recent;
    RNode* root = nullptr;
    std::unique_ptr<CPageMgr> pages;
};
