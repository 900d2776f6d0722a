#pragma once

// A project made by hand in a temporary home, with its tree, the page
// manager and what it talks to.

#include <gtest/gtest.h>

#include <memory>

#include "app/background/CThreadMgr.h"
#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageMgr.h"
#include "app/core/CRecentPages.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "tests/app/core/ScriptedUI.h"

class PageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppSettings::Release();
        fs::create_directories(content / ".zandrel");
        CAppSettings::Get()->GetUserFolder().SetCurrentContentPath(U16(content) + u"/");
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        root = tree.GetRoot();
        pages = std::make_unique<CPageMgr>(tree, recent, [this](const std::u16string& file) {
            threads.PostDeleteRequest(file, CDeleteFileThread::DELETE_NOTE);
        });
    }
    void TearDown() override
    {
        tree.CloseTree();
        CAppSettings::Get()->GetUserFolder().SetCurrentContentPath(u"");
        CAppSettings::Release();
    }

    RNode* AddFolder(const std::u16string& name)
    {
        RNode* rnode = RNode::New2(CFolderNode::New(), NT_FOLDER);
        rnode->GetData()->SetName(name.c_str());
        RNTool::InsertAsChild(root, rnode);
        fs::create_directories(Dir(rnode));
        return rnode;
    }
    // A saved page `name`.htm in the folder's collection (made when
    // missing); the file is written when `html` is given.
    CUrlNode* AddPage(RNode* folder, const std::u16string& name, const char* html = nullptr,
                      const char16_t* tags = nullptr)
    {
        CColctNode* colct = tree.EnsureColct(folder);
        CUrlNode* item = CUrlNode::New();
        item->SetName(name.c_str());
        item->SetUrl((name + u".htm").c_str());
        item->SetItemType(ITEM_NOTE);
        CBaseNode::AssignUUID(item);
        if (tags) {
            item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(tags));
            for (RBstrItem* t = item->GetUrlProp()->GetTagsHead(); t; t = t->GetNext())
                tree.GetProjectTags().AddTag(t->GetData(), tree.GetPageRelativePath(folder, item));
        }
        RNTool::InsertAsChild(colct->GetLocRNodeRoot(), RNode::New2(item, NT_URL));
        if (html)
            WriteBytes(Dir(folder) / Utf8(name + u".htm"), html);
        return item;
    }
    CColctNode* Colct(RNode* folder) { return static_cast<CFolderNode*>(folder->GetData())->GetColctNode(); }
    static CFolderNode* Data(RNode* folder) { return static_cast<CFolderNode*>(folder->GetData()); }
    fs::path Dir(RNode* folder) { return Utf8(tree.GetFolderDirectory(folder)); }
    static fs::path ColctFile(const fs::path& directory) { return directory / ".zandrel" / "krv_files.xml"; }
    static bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    std::vector<std::string> TagPaths(const std::u16string& tag)
    {
        std::vector<std::string> paths;
        CTagItem* item = tree.GetProjectTags().FindTag(tag);
        for (RBstrItem* u = item ? item->GetUrlList() : nullptr; u; u = u->GetNext())
            paths.push_back(Utf8(u->GetData()));
        return paths;
    }

    ScopedHome home;
    ScriptedUI ui;
    fs::path content = home.MyKorvel() / "Notes";
    CFolderTreeMgr tree;
    CThreadMgr threads;
    CRecentPages recent;
    RNode* root = nullptr;
    std::unique_ptr<CPageMgr> pages;
};
