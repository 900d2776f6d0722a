// Projects: create, open, close, every failure message, renamed project
// files, lock files (also against a second process), the recent list and
// the new-project rules.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CNewProjectRules.h"
#include "app/core/CProjectLock.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CRecentProjects.h"
#include "base/model/CColctNode.h"
#include "base/model/CZandrelProject.h"
#include "base/model/RNode.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CReadZandrelXML.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

// A fresh home with a project manager; projects go under Dir().
class ProjectTest : public ::testing::Test {
protected:
    ProjectTest() { fs::create_directories(Dir()); }
    ~ProjectTest() override
    {
        mgr.reset();
        tree.reset();
        CProjectLock::Release();
        CAppSettings::Release();
    }

    fs::path Dir() const { return home.Root() / "work"; }
    std::u16string ProjectFile(const std::string& title) const { return U16(Dir() / (title + ".zand")); }
    static bool Exists(const std::u16string& path) { return fs::exists(Utf8(path)); }
    static bool Locked(const std::u16string& project) { return Exists(project + u".lck"); }

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
    std::unique_ptr<CFolderTreeMgr> tree = std::make_unique<CFolderTreeMgr>();
    std::unique_ptr<CProjectMgr> mgr = std::make_unique<CProjectMgr>(*tree);
};

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

TEST_F(ProjectTest, CreateThenCloseLeavesAProjectThatOpensAgain)
{
    std::u16string file = ProjectFile("Notes");
    CZandrelProject* project = mgr->CreateProject(file);
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(Utf8(project->GetUUID()).size(), 36u);
    EXPECT_EQ(StoredName(file), "Notes");
    EXPECT_TRUE(fs::is_directory(Dir() / "Notes/.zandrel"));
    EXPECT_EQ(Utf8(CAppSettings::Get()->GetUserFolder().GetCurrentContentPath()), (Dir() / "Notes/").string());
    EXPECT_TRUE(Locked(file));
    EXPECT_EQ(ui.projectState, 1);
    EXPECT_EQ(ui.titles.back(), "Notes");
    EXPECT_NE(ui.shownRoot, nullptr);

    bool savedPages = false;
    mgr->SetSaveRecentPagesHook([&] { savedPages = true; });
    ASSERT_TRUE(mgr->CloseProject());
    EXPECT_TRUE(savedPages);
    EXPECT_FALSE(Locked(file));
    EXPECT_EQ(mgr->GetCurrentProject(), nullptr);
    EXPECT_TRUE(mgr->GetCurrentProjectFile().empty());
    EXPECT_TRUE(CAppSettings::Get()->GetUserFolder().GetCurrentContentPath().empty());
    EXPECT_EQ(ui.projectState, 0);
    EXPECT_EQ(ui.titles.back(), "Zandrel");

    fs::remove_all(Dir() / "Notes/.zandrel");
    ASSERT_TRUE(mgr->OpenProject(file));
    EXPECT_TRUE(fs::is_directory(Dir() / "Notes/.zandrel"));
    EXPECT_EQ(mgr->GetCurrentProjectFile(), file);
    EXPECT_TRUE(Locked(file));
    EXPECT_TRUE(ui.messages.empty());

    // A refused close keeps it open and stops every change of project; the
    // lock of a project that got that far must not outlive the refusal.
    std::u16string other = ProjectFile("Other");
    WriteBytes(Utf8(other), "<?xml version=\"1.0\"?><zandrel><title>Other</title></zandrel>");
    SetLeavePageHook([] { return false; });
    EXPECT_FALSE(mgr->CloseProject());
    EXPECT_EQ(mgr->CreateProject(ProjectFile("C")), nullptr);
    EXPECT_FALSE(fs::exists(Dir() / "C"));
    EXPECT_FALSE(mgr->OpenProject(other));
    EXPECT_FALSE(Locked(other));
    EXPECT_EQ(mgr->GetCurrentProjectFile(), file);
    EXPECT_TRUE(Locked(file));
}

TEST_F(ProjectTest, FailuresLeaveTheOpenProjectAndNoLock)
{
    std::u16string open = MakeClosedProject("Open");
    ASSERT_TRUE(mgr->OpenProject(open));
    std::u16string missing = ProjectFile("Missing"), garbage = ProjectFile("Garbage"), other = ProjectFile("Other"),
                   newer = ProjectFile("Newer"), dir = ProjectFile("Dir"), noTitle = U16(Dir() / ".zand");
    WriteBytes(Utf8(garbage), "not xml <");
    WriteBytes(Utf8(other), "<?xml version=\"1.0\"?><other/>");
    WriteBytes(Utf8(newer), "<?xml version=\"1.0\"?><zandrel><version>2.0.0</version><title>Newer</title></zandrel>");
    WriteBytes(Utf8(noTitle), "<?xml version=\"1.0\"?><zandrel><title>X</title></zandrel>");
    fs::create_directory(Utf8(dir));
    for (const auto& file : {open, missing, garbage, other, newer, dir, noTitle})
        EXPECT_FALSE(mgr->OpenProject(file));
    for (const auto& file : {garbage, other, newer})
        EXPECT_FALSE(Locked(file));
    EXPECT_FALSE(fs::exists(Dir() / "Newer"));
    EXPECT_EQ(mgr->GetCurrentProjectFile(), open);
    EXPECT_TRUE(Locked(open));

    // Creating where no folder can be made.
    ASSERT_TRUE(mgr->CloseProject());
    WriteBytes(Dir() / "Taken", "a file where the content folder goes");
    EXPECT_EQ(mgr->CreateProject(ProjectFile("Taken")), nullptr);
    EXPECT_EQ(mgr->CreateProject(U16(home.Root() / "absent/Notes.zand")), nullptr);

    std::string p = Dir().string() + "/";
    EXPECT_EQ(ui.MessageTexts(), (Texts{
        "The project has already been opened",
        "The project file does not exist.\r\n\r\n" + p + "Missing.zand",
        "Cannot open project file:\r\n\r\n" + p + "Garbage.zand",
        "Cannot parse project file:\r\n\r\n" + p + "Other.zand",
        "This project was created by a later version of Zandrel.\r\nPlease upgrade your version of Zandrel to open it.",
        "This is not a project file:\r\n\r\n" + p + "Dir.zand",
        "The project file name has no project name:\r\n\r\n" + p + ".zand",
        "Cannot create a folder when that folder already exists.\n" + p + "Taken",
        "Cannot create folder 0X00000002:\r\n" + (home.Root() / "absent/Notes").string()}));
    EXPECT_EQ(mgr->GetCurrentProject(), nullptr);
    EXPECT_EQ(ui.projectState, 0);
    EXPECT_EQ(ui.titles.back(), "Zandrel");
}

TEST_F(ProjectTest, AFolderTreeOfANewerFormatLeavesTheProjectClosedAndUnlocked)
{
    std::u16string file = ProjectFile("Newer");
    ASSERT_NE(mgr->CreateProject(file), nullptr);
    fs::path treeFile = Utf8(CAppSettings::Get()->GetUserFolder().GetFolderTreeFile());
    ASSERT_TRUE(mgr->CloseProject());
    std::string bytes = ReadBytes(treeFile);
    size_t at = bytes.find("opml version=\"1\"");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 16, "opml version=\"2\"");
    WriteBytes(treeFile, bytes);
    ui.messages.clear();

    EXPECT_FALSE(mgr->OpenProject(file));
    EXPECT_EQ(mgr->GetCurrentProject(), nullptr);
    EXPECT_EQ(tree->GetRoot(), nullptr);
    EXPECT_FALSE(Locked(file));
    EXPECT_EQ(ui.projectState, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind("File format version=2\r\n", 0), 0u);
}

// The project file A.zand renamed to B.zand, with the content folders A
// and B there or not.
TEST_F(ProjectTest, RenamedProjectFileInEachFolderSituation)
{
    const std::string conflict =
        "There is conflict in project content folder name.\r\nProject name, content folder name and the name\r\n"
        "in project description shold be the same.\r\nPlease correct them then retry.";
    const struct {
        const char* situation;
        bool hasA, hasB, bIsFile;
        std::string message;  // empty when the project opens
    } cases[] = {
        {"A only", true, false, false, ""},
        {"B only", false, true, false, ""},
        {"neither", false, false, false, ""},
        {"both", true, true, false, conflict},
        {"rename fails", true, false, true,
         "Could not change project content folder name. Code=0X00000014\r\n\r\n" + (Dir() / "A").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        fs::remove_all(Dir());
        fs::create_directories(Dir());
        std::u16string a = MakeClosedProject("A"), b = ProjectFile("B");
        WriteBytes(Dir() / "A/page.htm", "page");
        fs::rename(Utf8(a), Utf8(b));
        if (c.hasB && !c.hasA)
            fs::rename(Dir() / "A", Dir() / "B");
        else if (c.hasB)
            fs::create_directory(Dir() / "B");
        else if (!c.hasA)
            fs::remove_all(Dir() / "A");
        if (c.bIsFile)
            WriteBytes(Dir() / "B", "a file in the way");

        bool opened = mgr->OpenProject(b);
        EXPECT_EQ(opened, c.message.empty());
        EXPECT_EQ(ui.MessageTexts(), opened ? Texts{} : Texts{c.message});
        EXPECT_EQ(StoredName(b), opened ? "B" : "A");
        EXPECT_EQ(Locked(b), opened);
        if (opened) {
            EXPECT_EQ(Utf8(mgr->GetCurrentProject()->GetName()), "B");
            EXPECT_EQ(Utf8(mgr->GetCurrentProject()->GetContentPath()), (Dir() / "B/").string());
            EXPECT_TRUE(fs::is_directory(Dir() / "B/.zandrel"));
            EXPECT_EQ(fs::exists(Dir() / "B/page.htm"), c.hasA || c.hasB);
            EXPECT_FALSE(fs::exists(Dir() / "A"));
            EXPECT_TRUE(mgr->CloseProject());
        } else {
            EXPECT_TRUE(fs::exists(Dir() / "A/page.htm"));
        }
        ui.messages.clear();
    }
}

TEST_F(ProjectTest, StoredNameNeverReachesOutsideTheProjectFolder)
{
    fs::create_directories(home.Root() / "victim");
    std::u16string file = ProjectFile("X");
    WriteBytes(Utf8(file), "<?xml version=\"1.0\"?><zandrel><title>../victim</title></zandrel>");
    ASSERT_TRUE(mgr->OpenProject(file));
    EXPECT_TRUE(fs::is_directory(home.Root() / "victim"));
    EXPECT_TRUE(fs::is_directory(Dir() / "X/.zandrel"));
    EXPECT_EQ(StoredName(file), "X");
}

TEST_F(ProjectTest, LeftLockAsksAndOkAdoptsIt)
{
    std::u16string file = MakeClosedProject("Notes");
    WriteBytes(Utf8(file) + ".lck", "");
    ui.answers = {IDCANCEL, IDOK};
    EXPECT_FALSE(mgr->OpenProject(file));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kLockQuestion);
    EXPECT_EQ(ui.messages[0].buttons, MB_OKCANCEL);
    EXPECT_EQ(ui.messages[0].defaultAnswer, IDCANCEL);
    EXPECT_TRUE(Locked(file));
    ASSERT_TRUE(mgr->OpenProject(file));

    // A lock that cannot be deleted is reported; the project closes anyway.
    fs::remove(Utf8(file) + ".lck");
    fs::create_directories(Utf8(file) + ".lck/inside");
    EXPECT_TRUE(mgr->CloseProject());
    EXPECT_EQ(ui.messages.back().text, "Cannot delete file. Code=0X00000015\r\n" + Utf8(file) + ".lck");
    EXPECT_EQ(mgr->GetCurrentProject(), nullptr);

    // A lock adopted for a project that then fails to open is not ours.
    std::u16string broken = ProjectFile("Broken");
    WriteBytes(Utf8(broken), "broken");
    WriteBytes(Utf8(broken) + ".lck", "");
    ui.answers = {IDOK};
    EXPECT_FALSE(mgr->OpenProject(broken));
    EXPECT_TRUE(Locked(broken));
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
            _exit(!asked ? 3 : opened ? (closed && !Locked(file) ? 1 : 4) : (Locked(file) ? 0 : 5));
        }
        int status = -1;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(runOther(IDCANCEL), 0);  // asked, not opened, lock left alone
    EXPECT_EQ(runOther(IDOK), 1);      // asked, opened, its close deleted the lock
    EXPECT_EQ(mgr->GetCurrentProjectFile(), file);
}

TEST_F(ProjectTest, RecentListKeepsTheNewestTwentyFive)
{
    auto names = [](const CRecentProjects& recent) {
        Texts entries;
        for (RNode* entry = recent.GetFirst(); entry; entry = entry->GetNext())
            entries.push_back(Utf8(CRecentProjects::GetItem(entry)->GetName()) + "=" +
                              Utf8(CRecentProjects::GetItem(entry)->GetUrl()));
        return entries;
    };
    std::u16string file = U16(home.DataFolder() / "zandrecentproject.xml");
    WriteBytes(Utf8(file), "<rss><channel><item>");  // unreadable: an empty list
    CRecentProjects recent;
    EXPECT_EQ(recent.GetFile(), file);
    recent.Load();
    EXPECT_EQ(recent.GetCount(), 0);
    for (int i = 0; i < 26; ++i)
        recent.Add(Utf16("P" + std::to_string(i)), Utf16("/p/P" + std::to_string(i) + ".zand"));
    EXPECT_EQ(recent.GetCount(), 25);
    EXPECT_EQ(names(recent).front(), "P25=/p/P25.zand");
    EXPECT_EQ(names(recent).back(), "P1=/p/P1.zand");

    // The same path in other letters is the same project.
    recent.Add(u"p5", u"/P/p5.ZAND");
    EXPECT_EQ(recent.GetCount(), 25);
    EXPECT_EQ(names(recent).front(), "p5=/P/p5.ZAND");
    EXPECT_EQ(names(recent).back(), "P1=/p/P1.zand");
    recent.Remove(recent.GetFirst()->GetNext());
    EXPECT_FALSE(recent.IsDirty());

    CRecentProjects again;
    again.Load();
    EXPECT_EQ(names(again), names(recent));
    CReadBkmarkXML reader;
    ASSERT_TRUE(reader.LoadFile(file.c_str()));
    CColctNode* colct = reader.DetachColctNode();
    ASSERT_NE(colct, nullptr);
    EXPECT_EQ(Utf8(colct->GetName()), "Recently opened projects");
    CColctNode::DeleteAll(colct);

    // Nothing changed: nothing written.
    fs::remove(Utf8(file));
    EXPECT_TRUE(again.Write());
    EXPECT_FALSE(fs::exists(Utf8(file)));
}

TEST_F(ProjectTest, NewProjectNameRulesInOrderAndTheNestingWarning)
{
    fs::create_directories(Dir() / "Folder");
    fs::create_directories(Dir() / "Outer/Inner/deep");
    for (const char* file : {"File.zand", "Upper.ZAND", "Outer.zand", "Outer/Inner.zand"})
        WriteBytes(Dir() / file, "");
    std::string d = Dir().string() + "/";
    CNewProjectRules rules;
    for (const char* name : {"", ".zand", "Notes.old.zand", "Notes.txt", "Folder.zand", "File.zand", "File", "Upper.ZAND"}) {
        std::u16string path = Utf16(d + name);
        EXPECT_FALSE(rules.OnOk(path)) << name;
    }
    const std::string exists = "Please choose a different name, project file already exists";
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Project name cannot start with dot.", "Project file cannot have extra dot.",
                                        "Project file extension should be ended with .zand",
                                        "Please choose a different name, folder name conflicts", exists, exists, exists}));
    std::u16string upper = Utf16(d + "Notes.ZAND"), bare = Utf16(d + "Notes");
    EXPECT_TRUE(rules.OnOk(upper));
    EXPECT_EQ(Utf8(upper), d + "Notes.ZAND");
    EXPECT_TRUE(rules.OnOk(bare));
    EXPECT_EQ(Utf8(bare), d + "Notes.zand");

    // Inside other projects: a warning naming each; Cancel chooses again.
    ui.messages.clear();
    ui.answers = {IDCANCEL, IDOK};
    std::u16string nested = U16(Dir() / "Outer/Inner/deep/New.zand");
    EXPECT_FALSE(rules.OnOk(nested));
    EXPECT_TRUE(rules.OnOk(nested));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "One of its parent folder is a Zandrel project.\r\nIf use this folder, it may create conflicts.\r\n\r\n"
              "The Zandrel project folder:\r\n" + d + "Outer\r\n" + d + "Outer/Inner"
              "\r\n\r\nYou can press Cancel button to choose another folder.");
    EXPECT_EQ(ui.messages[0].buttons, MB_OKCANCEL);
    EXPECT_EQ(ui.messages[0].defaultAnswer, IDCANCEL);
    EXPECT_EQ(CNewProjectRules::FindEnclosingProjects(U16(Dir() / "Outer/")).size(), 1u);
}

TEST_F(ProjectTest, NewProjectDialogRemembersItsFolder)
{
    ui.names = {{U16(Dir() / "Bad.txt"), U16(Dir() / "First")}, {}};
    CZandrelProject* first = mgr->NewProjectCommand();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Utf8(first->GetName()), "First");
    EXPECT_EQ(mgr->GetCurrentProjectFile(), ProjectFile("First"));
    EXPECT_EQ(mgr->NewProjectCommand(), nullptr);  // cancelled
    EXPECT_EQ(mgr->GetCurrentProject(), first);

    ui.openPaths = {ProjectFile("First")};
    EXPECT_FALSE(mgr->OpenProjectCommand());
    std::u16string dir = U16(Dir()) + u"/";
    EXPECT_EQ(ui.dialogStarts, (std::vector<std::u16string>{U16(home.MyKorvel()) + u"/", dir, dir}));
    EXPECT_EQ(ui.MessageTexts(),
              (Texts{"Project file extension should be ended with .zand", "The project has already been opened"}));
}

}  // namespace
