#pragma once

// A project made by hand in a temporary home: the content folder "Notes"
// under "My Korvel", with its ".zandrel" folder, set as the current one.

#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CTagStore.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "tests/app/core/ScriptedUI.h"

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppSettings::Release();
        fs::create_directories(content / ".zandrel");
        CAppSettings::Get()->GetUserFolder().SetCurrentContentPath(U16(content) + u"/");
    }
    void TearDown() override
    {
        tree.CloseTree();
        CAppSettings::Get()->GetUserFolder().SetCurrentContentPath(u"");
        CAppSettings::Release();
    }

    // A folder node added under `parent` without asking anyone, with its
    // directory made; the tree file is not written.
    RNode* AddFolder(RNode* parent, const std::u16string& name, bool makeDirectory = true)
    {
        RNode* rnode = RNode::New2(CFolderNode::New(), NT_FOLDER);
        rnode->GetData()->SetName(name.c_str());
        RNTool::InsertAsChild(parent, rnode);
        if (makeDirectory)
            fs::create_directories(Utf8(tree.GetFolderDirectory(rnode)));
        return rnode;
    }

    // A page item named `name` with the file `name`.htm, tagged with `tags`.
    static CUrlNode* AddPage(CColctNode* colct, const std::u16string& name, const char16_t* tags = nullptr)
    {
        CUrlNode* item = AddPageItem(colct->GetLocRNodeRoot(), name);
        if (tags)
            item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(tags));
        return item;
    }

    static Texts ItemNames(CColctNode* colct)
    {
        Texts names;
        for (RNode* r = colct ? colct->GetFirstRNode() : nullptr; r; r = r->GetNext())
            names.push_back(Utf8(r->GetData()->GetName()));
        return names;
    }

    // The pages a tag names, in store order.
    Texts TagPaths(const std::u16string& tag)
    {
        Texts paths;
        CTagItem* item = tree.GetProjectTags().FindTag(tag);
        for (RBstrItem* u = item ? item->GetUrlList() : nullptr; u; u = u->GetNext())
            paths.push_back(Utf8(u->GetData()));
        return paths;
    }

    fs::path TreeFile() const { return content / ".zandrel" / "krv_folders.xml"; }
    fs::path TagsFile() const { return content / ".zandrel" / "krv_tags.xml"; }
    static fs::path ColctFile(const fs::path& directory) { return directory / ".zandrel" / "krv_files.xml"; }

    ScopedHome home;
    ScriptedUI ui;
    fs::path content = home.MyKorvel() / "Notes";
    CFolderTreeMgr tree;
};
