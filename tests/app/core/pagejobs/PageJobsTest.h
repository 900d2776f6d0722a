#pragma once

// An open project "Notes" made through the main core, with helpers that add
// folders and page items and write page files.

#include <gtest/gtest.h>

#include "base/model/CColctNode.h"
#include "tests/app/core/CoreTest.h"

class PageJobsTest : public CoreTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(projects.CreateProject(projectFile), nullptr);
        ui.messages.clear();
    }
    ~PageJobsTest() override { projects.CloseProject(); }

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
        CUrlNode* item = AddPageItem(colct->GetLocRNodeRoot(), title, url, type);
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

    std::u16string projectFile = U16(home.Root() / "Notes.zand");
    fs::path content = home.Root() / "Notes";
};
