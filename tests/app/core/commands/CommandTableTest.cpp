// The menu table (identifiers, captions, keys) and the commands the main
// core carries out from it, with and without a project.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "app/core/CCommandTable.h"
#include "app/core/CPageMgr.h"
#include "app/core/CRecentPages.h"
#include "tests/app/core/CoreTest.h"

namespace {

using T = CCommandTable;

std::vector<int> CommandIds(tagCOMMANDMENU menu)
{
    std::vector<int> ids;
    for (const CMenuEntry* entry : T::GetMenu(menu)) {
        if (entry->kind == ENTRY_COMMAND)
            ids.push_back(entry->id);
    }
    return ids;
}

TEST(CommandTable, EachIdentifierOnceAndEachMenuWellFormed)
{
    // The menu bar with its submenus is one context, each popup another.
    const std::vector<std::vector<tagCOMMANDMENU>> contexts = {
        {MENU_FILE, MENU_EDIT, MENU_VIEW, MENU_INSERT, MENU_FORMAT, MENU_TOOLS, MENU_HELP, MENU_TROUBLESHOOTING},
        {MENU_FOLDER_TREE}, {MENU_ITEM_LIST}, {MENU_RECENT_PROJECTS}, {MENU_FLAG}};
    std::set<int> all;
    for (const auto& context : contexts) {
        std::set<int> seen;
        for (tagCOMMANDMENU menu : context) {
            for (int id : CommandIds(menu)) {
                EXPECT_TRUE(seen.insert(id).second) << id;
                EXPECT_TRUE(all.insert(id).second) << id;
                EXPECT_EQ(T::Find(id)->menu, menu);
            }
            auto entries = T::GetMenu(menu);
            ASSERT_FALSE(entries.empty());
            EXPECT_NE(entries.front()->kind, ENTRY_SEPARATOR) << menu;
            EXPECT_NE(entries.back()->kind, ENTRY_SEPARATOR) << menu;
            for (size_t i = 1; i < entries.size(); ++i)
                EXPECT_FALSE(entries[i]->kind == ENTRY_SEPARATOR && entries[i - 1]->kind == ENTRY_SEPARATOR);
        }
    }
    EXPECT_EQ(T::Find(0), nullptr);
    EXPECT_EQ(T::Find(T::ID_RECENT_PAGES), nullptr);  // a submenu, not a command
    EXPECT_EQ(CommandIds(MENU_FLAG).front(), 100);     // the page manager's flags, from the base
    EXPECT_EQ(T::GetMenuTitle(MENU_INSERT), u"Insert");
    EXPECT_EQ(T::GetMenuTitle(MENU_FLAG), u"");
    EXPECT_EQ(T::FormatVersion(200, 1283), u"Version 2.0.0   Build 1283");
    EXPECT_EQ(T::FormatVersion(315, 7), u"Version 3.1.5   Build 7");
}

TEST(CommandTable, EveryKeyParsesAndReachesOneCommand)
{
    EXPECT_EQ(T::ParseShortcut(u"Alt+N  or Ctrl+N"), (std::vector<std::string>{"<Alt>n", "<Control>n"}));
    EXPECT_EQ(T::ParseShortcut(u"Shift + Ctrl + W"), std::vector<std::string>{"<Shift><Control>w"});
    EXPECT_EQ(T::ParseShortcut(u"F11"), std::vector<std::string>{"F11"});
    EXPECT_EQ(T::ParseShortcut(u"Del"), std::vector<std::string>{"Delete"});
    for (const char16_t* bad : {u"", u"Ctrl+", u"Hyper+K", u"F99", u"Ctrl+N or", u"Ctrl+Home"})
        EXPECT_TRUE(T::ParseShortcut(bad).empty()) << Utf8(bad);

    const std::regex grammar("(<Shift>)?(<Control>)?(<Alt>)?([a-z0-9]|F[0-9]{1,2}|Delete)");
    std::map<std::string, int> owner;
    for (const CMenuEntry& entry : T::GetEntries()) {
        for (const std::string& accel : entry.accels) {
            EXPECT_TRUE(std::regex_match(accel, grammar)) << accel;
            EXPECT_TRUE(owner.emplace(accel, entry.id).second) << accel << " bound twice";
        }
        // Bound when the caption shows a key, unless the key went to another
        // command; Save Page has one it does not show.
        bool shown = !T::GetShortcutText(entry.caption).empty() && entry.id != T::ID_REDO && entry.id != T::ID_TABLE_BORDER;
        EXPECT_EQ(!entry.accels.empty(), shown || entry.id == T::ID_SAVE_PAGE) << Utf8(entry.caption);
    }
}

class CommandCoreTest : public CoreTest {
protected:
    void OpenProject()
    {
        ASSERT_NE(projects.CreateProject(U16(home.Root() / "Work.zand")), nullptr);
        ui.messages.clear();
    }
};

TEST_F(CommandCoreTest, WithoutAProjectTheFlaggedCommandsSaySoAndNoOthers)
{
    for (const CMenuEntry& entry : T::GetEntries()) {
        if (entry.kind != ENTRY_COMMAND || (!entry.needsProject && entry.op != OP_CORE))
            continue;
        if (entry.id == T::ID_NEW_PROJECT)
            ui.names = {{}};
        if (entry.id == T::ID_OPEN_PROJECT)
            ui.openPaths = {u""};
        ui.messages.clear();
        EXPECT_TRUE(core->OnCommand(entry.id)) << entry.id;
        Texts said = ui.MessageTexts();
        if (entry.needsProject) {
            EXPECT_EQ(said, Texts{"No Project"}) << entry.id;
        } else {
            EXPECT_EQ(std::count(said.begin(), said.end(), "No Project"), 0) << entry.id;
        }
    }
    EXPECT_TRUE(ui.dialogStarts.size() == 2 && ui.progressTitles.empty() && ui.confirms.empty());
    EXPECT_FALSE(core->OnCommand(T::ID_PRINT));
    EXPECT_FALSE(core->OnCommand(12345));
}

TEST_F(CommandCoreTest, HelpPagesOnTheChosenSite)
{
    {
        ScopedEnv site(T::kWebSiteVariable, "");
        EXPECT_TRUE(core->OnCommand(T::ID_HELP_TUTORIAL));
    }
    {
        ScopedEnv site(T::kWebSiteVariable, "http://127.0.0.1:8080//");
        EXPECT_TRUE(core->OnCommand(T::ID_HELP_SHORTCUTS));
        EXPECT_TRUE(core->OnCommand(T::ID_HELP_FAQS));
        EXPECT_TRUE(core->OnCommand(T::ID_HELP_WEB_SITE));
    }
    EXPECT_EQ(ui.opened, (Texts{"https://zandrel.org/zandrel/tutorial/", "http://127.0.0.1:8080/zandrel/shortcuts/",
                                "http://127.0.0.1:8080/zandrel/faqs/", "http://127.0.0.1:8080/zandrel/help/"}));
    EXPECT_EQ(T::GetHelpUri(T::ID_ABOUT), u"");
}

TEST_F(CommandCoreTest, PagesFromTheMenuAndTheRecentPagesSubmenu)
{
    OpenProject();
    auto none = T::GetRecentPagesMenu(core->GetRecentPages());
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].caption, u"Empty");
    EXPECT_FALSE(none[0].enabled);

    ASSERT_TRUE(core->OnCommand(T::ID_NEW_PAGE));
    CUrlNode* page = core->GetPageMgr().GetCurrentPage();
    ASSERT_NE(page, nullptr);
    ui.pageHtml = "<html><body>Notes</body></html>";
    ui.pageModified = true;
    ASSERT_TRUE(core->OnCommand(T::ID_SAVE_PAGE));
    EXPECT_EQ(ReadBytes(home.Root() / "Work" / "Untitled-1.htm"), ui.pageHtml);
    EXPECT_FALSE(ui.pageModified);
    EXPECT_EQ(ui.refreshedItems.back(), page);

    // Leaving it for the next new page lists it, its title typed in the box.
    ui.titleText = u"R&D\tplan";
    ASSERT_TRUE(core->OnCommand(T::ID_NEW_PAGE));
    auto recent = T::GetRecentPagesMenu(core->GetRecentPages());
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0].id, T::kRecentPageFirst);
    EXPECT_EQ(recent[0].caption, u"R&&D plan");  // no mnemonic, no shortcut text
    EXPECT_TRUE(recent[0].enabled);
    EXPECT_FALSE(core->OnCommand(recent[0].id));  // the shell opens it

    // Shown while no project is open, the submenu still reads the list of
    // the project opened next.
    ASSERT_TRUE(core->OnCommand(T::ID_CLOSE_PROJECT));
    EXPECT_EQ(T::GetRecentPagesMenu(core->GetRecentPages())[0].caption, u"Empty");
    ui.openPaths = {U16(home.Root() / "Work.zand")};
    ASSERT_TRUE(core->OnCommand(T::ID_OPEN_PROJECT));
    EXPECT_EQ(T::GetRecentPagesMenu(core->GetRecentPages())[0].caption, u"R&&D plan");

    // The shell's own commands are left to it once a project is open.
    for (int id : {int(T::ID_MOVE_PAGE), 105, int(T::ID_ITEM_DELETE), int(T::ID_EXIT), int(T::ID_BOLD)})
        EXPECT_FALSE(core->OnCommand(id)) << id;
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
