#pragma once

// An open project "Notes" made through the main core, with helpers that add
// folders and page items and write page files.

#include <gtest/gtest.h>

#include "app/core/CFolderTreeMgr.h"
#include "app/main/CMainCore.h"
#include "app/core/CProjectMgr.h"
#include "base/model/CColctNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNTool.h"
#include "tests/app/core/ScriptedUI.h"

class PageJobsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(projects.CreateProject(projectFile), nullptr);
        ui.messages.clear();
    }
    ~PageJobsTest() override
    {
        projects.CloseProject();
        core.reset();
        CMainCore::ReleaseProgramObjects();
    }

    RNode* AddFolder(RNode* parent, const std::u16string& name)
    {
        ui.names.push_back({name});
        return tree.CreateFolder(parent);
    }

    // A page item appended to the folder's collection, which is written.
    CUrlNode* AddPage(RNode* folder, const std::u16string& title, tagKRVITEMTYPE type = ITEM_NOTE,
                      const std::u16string& url = std::u16string())
    {
        CColctNode* colct = tree.EnsureColct(folder);
        EXPECT_NE(colct, nullptr);
        CUrlNode* item = CUrlNode::New();
        item->SetName(title.c_str());
        item->SetUrl((url.empty() ? title + u".htm" : url).c_str());
        item->SetItemType(type);
        RNTool::InsertAsChild(colct->GetLocRNodeRoot(), RNode::New2(item, NT_URL));
        EXPECT_TRUE(tree.SaveColct(colct));
        return item;
    }

    // Adds the page and writes its file; the file's path.
    fs::path AddPageFile(RNode* folder, const std::u16string& title, const std::string& bytes)
    {
        fs::path file = Utf8(tree.GetPageFilePath(folder, AddPage(folder, title)));
        WriteBytes(file, bytes);
        return file;
    }

    ScopedHome home;
    ScriptedUI ui;
    std::unique_ptr<CMainCore> core = std::make_unique<CMainCore>();
    CProjectMgr& projects = core->GetProjectMgr();
    CFolderTreeMgr& tree = core->GetTreeMgr();
    std::u16string projectFile = U16(home.Root() / "Notes.zand");
    fs::path content = home.Root() / "Notes";
};
