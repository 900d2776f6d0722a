#pragma once

// A main core of its own per test, in a home of its own; the program's
// shared objects go with it.

#include <memory>

#include "app/core/CFolderTreeMgr.h"
#include "app/core/CProjectMgr.h"
#include "app/main/CMainCore.h"
#include "tests/app/core/ScriptedUI.h"

class CoreTest : public ::testing::Test {
protected:
    ~CoreTest() override
    {
        core.reset();
        CMainCore::ReleaseProgramObjects();
    }

    ScopedHome home;
    ScriptedUI ui;
    std::unique_ptr<CMainCore> core = std::make_unique<CMainCore>();
    CProjectMgr& projects = core->GetProjectMgr();
    CFolderTreeMgr& tree = core->GetTreeMgr();
};
