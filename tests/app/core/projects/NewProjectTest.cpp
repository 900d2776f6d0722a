#include "app/core/CNewProjectRules.h"
#include "base/model/CZandrelProject.h"
#include "tests/app/core/projects/ProjectTestBase.h"

TEST_F(ProjectTest, NameRulesInOrder)
{
    fs::create_directory(Dir() / "Folder");
    Write(Dir() / "File.zand", "");
    Write(Dir() / "Upper.ZAND", "");
    std::string d = Dir().string() + "/";
    CNewProjectRules rules;
    for (const char* name : {"", ".zand", "Notes.old.zand", "Notes.txt", "Folder.zand", "File.zand", "File", "Upper.ZAND"}) {
        std::u16string path = Utf16(d + name);
        EXPECT_FALSE(rules.OnOk(path)) << name;
    }
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{
        "Project name cannot start with dot.", "Project file cannot have extra dot.",
        "Project file extension should be ended with .zand",
        "Please choose a different name, folder name conflicts",
        "Please choose a different name, project file already exists",
        "Please choose a different name, project file already exists",
        "Please choose a different name, project file already exists"}));

    std::u16string upper = Utf16(d + "Notes.ZAND"), bare = Utf16(d + "Notes");
    EXPECT_TRUE(rules.OnOk(upper));
    EXPECT_EQ(Utf8(upper), d + "Notes.ZAND");
    EXPECT_TRUE(rules.OnOk(bare));
    EXPECT_EQ(Utf8(bare), d + "Notes.zand");
}

TEST_F(ProjectTest, NestingWarningListsEveryEnclosingProject)
{
    fs::create_directories(Dir() / "Outer/Inner/deep");
    Write(Dir() / "Outer.zand", "");
    Write(Dir() / "Outer/Inner.zand", "");
    std::u16string path = U(Dir() / "Outer/Inner/deep/New.zand");
    ui.answers = {IDCANCEL, IDOK};
    CNewProjectRules rules;
    EXPECT_FALSE(rules.OnOk(path));
    EXPECT_TRUE(rules.OnOk(path));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "One of its parent folder is a Zandrel project.\r\nIf use this folder, it may create conflicts.\r\n\r\n"
              "The Zandrel project folder:\r\n" + (Dir() / "Outer").string() + "\r\n" + (Dir() / "Outer/Inner").string() +
              "\r\n\r\nYou can press Cancel button to choose another folder.");
    EXPECT_EQ(ui.messages[0].buttons, MB_OKCANCEL);
    EXPECT_EQ(ui.messages[0].defaultAnswer, IDCANCEL);
    EXPECT_TRUE(CNewProjectRules::FindEnclosingProjects(U(Dir() / "Outer/")).size() == 1);
}

TEST_F(ProjectTest, NewProjectDialogRemembersItsFolder)
{
    std::u16string myKorvel = U(home.MyKorvel()) + u"/";
    ui.names = {{U(Dir() / "Bad.txt"), U(Dir() / "First")}, {}};
    CZandrelProject* first = mgr->NewProjectCommand();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Utf8(first->GetName()), "First");
    EXPECT_EQ(mgr->GetCurrentProjectFile(), ProjectFile("First"));
    EXPECT_EQ(mgr->NewProjectCommand(), nullptr);   // cancelled
    EXPECT_EQ(mgr->GetCurrentProject(), first);

    ui.openPaths = {ProjectFile("First")};
    EXPECT_FALSE(mgr->OpenProjectCommand());
    EXPECT_EQ(ui.dialogStarts, (std::vector<std::u16string>{myKorvel, U(Dir()) + u"/", U(Dir()) + u"/"}));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{"Project file extension should be ended with .zand",
                                                           "The project has already been opened"}));
}
