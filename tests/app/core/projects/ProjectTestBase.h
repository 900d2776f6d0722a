#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CProjectLock.h"
#include "app/core/CProjectMgr.h"
#include "tests/app/core/ScriptedUI.h"

namespace fs = std::filesystem;

// A fresh home with a project manager; projects go under Dir().
class ProjectTest : public ::testing::Test {
protected:
    ProjectTest()
    {
        fs::create_directories(Dir());
        fs::create_directories(home.Root() / ".local/share");
        tree = std::make_unique<CFolderTreeMgr>();
        mgr = std::make_unique<CProjectMgr>(*tree);
    }
    ~ProjectTest() override
    {
        mgr.reset();
        tree.reset();
        CProjectLock::Release();
        CAppSettings::Release();
    }

    fs::path Dir() const { return home.Root() / "work"; }
    std::u16string U(const fs::path& path) const { return Utf16(path.string()); }
    std::u16string ProjectFile(const std::string& title) const { return U(Dir() / (title + ".zand")); }
    static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
    static bool Exists(const std::u16string& path) { return fs::exists(Utf8(path)); }
    static std::u16string Lock(const std::u16string& project) { return project + u".lck"; }

    // A project made and closed again, leaving no messages behind.
    std::u16string MakeClosedProject(const std::string& title)
    {
        std::u16string file = ProjectFile(title);
        EXPECT_NE(mgr->CreateProject(file), nullptr);
        EXPECT_TRUE(mgr->CloseProject());
        ui.messages.clear();
        return file;
    }

    ScopedHome home;
    ScriptedUI ui;
    std::unique_ptr<CFolderTreeMgr> tree;
    std::unique_ptr<CProjectMgr> mgr;
};
