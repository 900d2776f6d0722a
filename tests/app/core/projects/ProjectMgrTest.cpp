#include <sys/wait.h>
#include <unistd.h>

#include "base/model/CZandrelProject.h"
#include "base/xml/CReadZandrelXML.h"
#include "tests/app/core/projects/ProjectTestBase.h"

namespace {

const std::string kLockQuestion =
    "The project may be used by another Zandrel.\r\nOr last time it was not closed properly.\r\n\r\n"
    "It is better not to open the same project with\r\nmore than one Zandrel to prevent the posibility\r\n"
    "of losing unsaved content.\r\n";

std::string StoredName(const std::u16string& file)
{
    CReadZandrelXML reader;
    EXPECT_TRUE(reader.LoadFile(file.c_str()));
    CZandrelProject* project = reader.DetachZandrelProject();
    std::string name = project && project->GetName() ? Utf8(project->GetName()) : "<none>";
    CZandrelProject::Delete(project);
    return name;
}

}  // namespace

TEST_F(ProjectTest, CreateThenCloseLeavesAProjectThatOpensAgain)
{
    std::u16string file = ProjectFile("Notes");
    CZandrelProject* project = mgr->CreateProject(file);
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(Utf8(project->GetUUID()).size(), 36u);
    EXPECT_EQ(StoredName(file), "Notes");
    EXPECT_TRUE(fs::is_directory(Dir() / "Notes/.zandrel"));
    EXPECT_EQ(Utf8(CAppSettings::Get()->GetUserFolder().GetCurrentContentPath()), (Dir() / "Notes/").string());
    EXPECT_TRUE(Exists(Lock(file)));
    EXPECT_EQ(ui.projectState, 1);
    EXPECT_EQ(ui.titles.back(), "Notes");
    EXPECT_NE(ui.shownRoot, nullptr);

    bool savedPages = false;
    mgr->SetSaveRecentPagesHook([&] { savedPages = true; });
    ASSERT_TRUE(mgr->CloseProject());
    EXPECT_TRUE(savedPages);
    EXPECT_FALSE(Exists(Lock(file)));
    EXPECT_EQ(mgr->GetCurrentProject(), nullptr);
    EXPECT_TRUE(mgr->GetCurrentProjectFile().empty());
    EXPECT_TRUE(CAppSettings::Get()->GetUserFolder().GetCurrentContentPath().empty());
    EXPECT_EQ(ui.projectState, 0);
    EXPECT_EQ(ui.titles.back(), "Zandrel");

    fs::remove_all(Dir() / "Notes/.zandrel");
    ASSERT_TRUE(mgr->OpenProject(file));
    EXPECT_TRUE(fs::is_directory(Dir() / "Notes/.zandrel"));
    EXPECT_EQ(mgr->GetCurrentProjectFile(), file);
    EXPECT_TRUE(Exists(Lock(file)));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProjectTest, RefusedCloseKeepsEverything)
{
    std::u16string a = MakeClosedProject("A");
    std::u16string b = MakeClosedProject("B");
    ASSERT_TRUE(mgr->OpenProject(a));
    SetLeavePageHook([] { return false; });
    EXPECT_FALSE(mgr->CloseProject());
    EXPECT_EQ(mgr->CreateProject(ProjectFile("C")), nullptr);
    EXPECT_FALSE(fs::exists(Dir() / "C"));
    // Opening B got as far as its lock, which must not outlive the refusal.
    EXPECT_FALSE(mgr->OpenProject(b));
    EXPECT_FALSE(Exists(Lock(b)));
    EXPECT_EQ(mgr->GetCurrentProjectFile(), a);
    EXPECT_TRUE(Exists(Lock(a)));
}

TEST_F(ProjectTest, OpenFailuresLeaveTheOpenProjectAndNoLock)
{
    std::u16string open = MakeClosedProject("Open");
    ASSERT_TRUE(mgr->OpenProject(open));
    std::u16string missing = ProjectFile("Missing"), garbage = ProjectFile("Garbage"),
                   other = ProjectFile("Other"), newer = ProjectFile("Newer"), dir = ProjectFile("Dir"),
                   noTitle = U(Dir() / ".zand");
    Write(Utf8(garbage), "not xml <");
    Write(Utf8(other), "<?xml version=\"1.0\"?><other/>");
    Write(Utf8(newer), "<?xml version=\"1.0\"?><zandrel><version>2.0.0</version><title>Newer</title></zandrel>");
    Write(Utf8(noTitle), "<?xml version=\"1.0\"?><zandrel><title>X</title></zandrel>");
    fs::create_directory(Utf8(dir));

    for (const auto& file : {open, missing, garbage, other, newer, dir, noTitle})
        EXPECT_FALSE(mgr->OpenProject(file));
    std::string p = Dir().string() + "/";
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{
        "The project has already been opened",
        "The project file does not exist.\r\n\r\n" + p + "Missing.zand",
        "Cannot open project file:\r\n\r\n" + p + "Garbage.zand",
        "Cannot parse project file:\r\n\r\n" + p + "Other.zand",
        "This project was created by a later version of Zandrel.\r\nPlease upgrade your version of Zandrel to open it.",
        "This is not a project file:\r\n\r\n" + p + "Dir.zand",
        "The project file name has no project name:\r\n\r\n" + p + ".zand"}));
    for (const auto& file : {garbage, other, newer})
        EXPECT_FALSE(Exists(Lock(file)));
    EXPECT_FALSE(fs::exists(Dir() / "Newer"));
    EXPECT_EQ(mgr->GetCurrentProjectFile(), open);
    EXPECT_TRUE(Exists(Lock(open)));
}

TEST_F(ProjectTest, FolderMessages)
{
    std::u16string nowhere = U(home.Root() / "absent/Notes.zand");
    EXPECT_EQ(mgr->CreateProject(nowhere), nullptr);
    Write(Dir() / "Taken", "a file where the content folder goes");
    EXPECT_EQ(mgr->CreateProject(ProjectFile("Taken")), nullptr);
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{
        "Cannot create folder 0X00000002:\r\n" + (home.Root() / "absent/Notes").string(),
        "Cannot create a folder when that folder already exists.\n" + (Dir() / "Taken").string()}));
    EXPECT_EQ(ui.projectState, 0);
    EXPECT_EQ(ui.titles.back(), "Zandrel");
    EXPECT_EQ(mgr->GetCurrentProject(), nullptr);
}

// The project file A.zand renamed to B.zand, with the folders as given.
class RenamedProjectTest : public ProjectTest {
protected:
    void SetUp() override
    {
        std::u16string a = MakeClosedProject("A");
        Write(Dir() / "A/page.htm", "page");
        fs::rename(Utf8(a), Utf8(b));
    }
    std::u16string b = ProjectFile("B");
};

TEST_F(RenamedProjectTest, OldFolderOnlyIsRenamed)
{
    ASSERT_TRUE(mgr->OpenProject(b));
    EXPECT_FALSE(fs::exists(Dir() / "A"));
    EXPECT_TRUE(fs::exists(Dir() / "B/page.htm"));
    EXPECT_EQ(StoredName(b), "B");
    EXPECT_EQ(Utf8(mgr->GetCurrentProject()->GetName()), "B");
    EXPECT_EQ(Utf8(mgr->GetCurrentProject()->GetContentPath()), (Dir() / "B/").string());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RenamedProjectTest, NewFolderOnlyOrNeitherTakesTheNewName)
{
    fs::rename(Dir() / "A", Dir() / "B");
    ASSERT_TRUE(mgr->OpenProject(b));
    EXPECT_EQ(StoredName(b), "B");
    ASSERT_TRUE(mgr->CloseProject());

    std::u16string c = ProjectFile("C");
    fs::rename(Utf8(b), Utf8(c));
    fs::remove_all(Dir() / "B");
    ASSERT_TRUE(mgr->OpenProject(c));
    EXPECT_EQ(StoredName(c), "C");
    EXPECT_TRUE(fs::is_directory(Dir() / "C/.zandrel"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RenamedProjectTest, ConflictAndFailedRenameKeepTheProjectAsItWas)
{
    fs::create_directory(Dir() / "B");
    EXPECT_FALSE(mgr->OpenProject(b));
    fs::remove(Dir() / "B");
    Write(Dir() / "B", "a file in the way");
    EXPECT_FALSE(mgr->OpenProject(b));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{
        "There is conflict in project content folder name.\r\nProject name, content folder name and the name\r\n"
        "in project description shold be the same.\r\nPlease correct them then retry.",
        "Could not change project content folder name. Code=0X00000014\r\n\r\n" + (Dir() / "A").string()}));
    EXPECT_EQ(StoredName(b), "A");
    EXPECT_TRUE(fs::exists(Dir() / "A/page.htm"));
    EXPECT_FALSE(Exists(Lock(b)));
}

TEST_F(ProjectTest, StoredNameNeverReachesOutsideTheProjectFolder)
{
    fs::create_directories(home.Root() / "victim");
    std::u16string file = ProjectFile("X");
    Write(Utf8(file), "<?xml version=\"1.0\"?><zandrel><title>../victim</title></zandrel>");
    ASSERT_TRUE(mgr->OpenProject(file));
    EXPECT_TRUE(fs::is_directory(home.Root() / "victim"));
    EXPECT_TRUE(fs::is_directory(Dir() / "X/.zandrel"));
    EXPECT_EQ(StoredName(file), "X");
}

TEST_F(ProjectTest, LeftLockAsksAndOkAdoptsIt)
{
    std::u16string file = MakeClosedProject("Notes");
    Write(Utf8(Lock(file)), "");
    ui.answers = {IDCANCEL, IDOK};
    EXPECT_FALSE(mgr->OpenProject(file));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kLockQuestion);
    EXPECT_EQ(ui.messages[0].buttons, MB_OKCANCEL);
    EXPECT_EQ(ui.messages[0].defaultAnswer, IDCANCEL);
    EXPECT_TRUE(Exists(Lock(file)));

    ASSERT_TRUE(mgr->OpenProject(file));
    ASSERT_TRUE(mgr->CloseProject());
    EXPECT_FALSE(Exists(Lock(file)));

    // A lock adopted for a project that then fails to open is not ours.
    std::u16string broken = ProjectFile("Broken");
    Write(Utf8(broken), "broken");
    Write(Utf8(Lock(broken)), "");
    ui.answers = {IDOK};
    EXPECT_FALSE(mgr->OpenProject(broken));
    EXPECT_TRUE(Exists(Lock(broken)));
}

TEST_F(ProjectTest, UndeletableLockIsReportedAndTheProjectClosesAnyway)
{
    std::u16string file = MakeClosedProject("Notes");
    ASSERT_TRUE(mgr->OpenProject(file));
    fs::remove(Utf8(Lock(file)));
    fs::create_directories(Utf8(Lock(file)) + "/inside");
    EXPECT_TRUE(mgr->CloseProject());
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Cannot delete file. Code=0X00000015\r\n" + Utf8(Lock(file))});
    EXPECT_EQ(mgr->GetCurrentProject(), nullptr);
}

// Another program opening the project this one holds: a child process with
// its own interface and lock holder, reporting through its exit code.
TEST_F(ProjectTest, SecondProgramGetsTheLockQuestion)
{
    std::u16string file = MakeClosedProject("Shared");
    ASSERT_TRUE(mgr->OpenProject(file));
    auto runOther = [&](int answer) {
        pid_t pid = fork();
        if (pid == 0) {
            CProjectLock::Release();
            ScriptedUI otherUI;
            otherUI.answers = {answer};
            CFolderTreeMgr otherTree;
            CProjectMgr other(otherTree);
            bool opened = other.OpenProject(file);
            bool asked = otherUI.messages.size() == 1 && otherUI.messages[0].text == kLockQuestion;
            bool closed = opened && other.CloseProject();
            _exit(!asked ? 3 : opened ? (closed && !Exists(Lock(file)) ? 1 : 4) : (Exists(Lock(file)) ? 0 : 5));
        }
        int status = -1;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(runOther(IDCANCEL), 0);   // asked, not opened, lock left alone
    EXPECT_EQ(runOther(IDOK), 1);       // asked, opened, its close deleted the lock
    EXPECT_EQ(mgr->GetCurrentProjectFile(), file);
}
