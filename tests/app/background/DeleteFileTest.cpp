#include <gtest/gtest.h>

#include "app/background/CDeleteFileThread.h"
#include "app/background/CShutdownWait.h"
#include "app/background/CThreadMgr.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

fs::path s_root;

// GLib reads the home and data folders once per process: the whole program
// gets one home, set before any GLib call. The files to delete live beside
// it, on the same file system, so they land in its trash.
class TrashHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/zandrel-trash-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_root = pattern;
        fs::create_directories(s_root / "home");
        setenv("HOME", (s_root / "home").c_str(), 1);
        setenv("XDG_DATA_HOME", (s_root / "data").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(s_root); }
};

[[maybe_unused]] ::testing::Environment* const s_env =
    ::testing::AddGlobalTestEnvironment(new TrashHome);

fs::path Make(const fs::path& path)
{
    WriteBytes(path, "x");
    return path;
}

bool Trashed(const std::string& name)
{
    return fs::exists(s_root / "data" / "Trash" / "files" / name);
}

// A time event that counts its firing and its deletion.
int s_fired = 0, s_deleted = 0;

class CRecordedEvent : public CTimeEvent {
public:
    ~CRecordedEvent() override { ++s_deleted; }
    void OnTimeEvent() override { ++s_fired; delete this; }
};

}  // namespace

TEST(DeleteFileThreadTest, PagesTakeTheirAssetsAlongAndNothingElseLeaves)
{
    fs::path dir = s_root / "pages";
    // A page without extension has no assets folder, least of all
    // "v1_files"; gone.htm is already gone, its assets stay.
    for (const char* name : {"Café.htm", "Café_files/pic.png", "v1.2/page", "v1_files/other.png", "gone_files/pic.png",
                             "odd.htm", "Recipes/soup.htm"})
        Make(dir / name);
    CDeleteFileThread thread;
    ASSERT_NE(thread.CreateThread(), 0u);
    for (const char* note : {"Café.htm", "v1.2/page", "gone.htm"})
        thread.PostDelete(U16(dir / note), CDeleteFileThread::DELETE_NOTE);
    thread.PostDelete(U16(dir / "odd.htm"), 3);
    thread.PostDelete(U16(dir / "odd.htm"), 0);
    thread.PostDelete(U16(dir / "Recipes") + u"/", CDeleteFileThread::DELETE_FOLDER);
    thread.PostQuit();
    ASSERT_TRUE(thread.WaitForExit(10000));
    EXPECT_FALSE(fs::exists(dir / "Café.htm"));
    EXPECT_FALSE(fs::exists(dir / "Café_files"));
    for (const char* name : {"Café.htm", "Café_files/pic.png", "page", "Recipes/soup.htm"})
        EXPECT_TRUE(Trashed(name)) << name;
    for (const char* kept : {"v1_files/other.png", "gone_files/pic.png", "odd.htm"})
        EXPECT_TRUE(fs::exists(dir / kept)) << kept;
}

TEST(ThreadMgrTest, StopAllDropsPendingEventsAndTheThreadsEndSoon)
{
    s_fired = s_deleted = 0;
    fs::path page = Make(s_root / "mgr" / "note.htm");
    CThreadMgr mgr;
    EXPECT_FALSE(mgr.PostDeleteRequest(U16(s_root / "mgr" / "missing.htm"), 1));
    EXPECT_TRUE(mgr.TakeThreads().empty());

    CScheduleThread* schedule = mgr.GetScheduleThread();
    EXPECT_EQ(mgr.GetScheduleThread(), schedule);
    for (int i = 0; i < 2; ++i) {
        auto e = new CRecordedEvent;
        e->SetDelayTime(3600, 0);
        schedule->InsertTimeEvent(e);
    }
    EXPECT_TRUE(mgr.PostDeleteRequest(U16(page), CDeleteFileThread::DELETE_NOTE));
    mgr.SetFrontPageThread(new CDeleteFileThread);  // stands in for the start-page thread
    mgr.GetFrontPageThread()->CreateThread();

    mgr.StopAll();
    EXPECT_EQ(s_deleted, 2);
    EXPECT_EQ(s_fired, 0);
    EXPECT_EQ(mgr.GetFrontPageThread(), nullptr);
    std::vector<CBaseThread*> threads = mgr.TakeThreads();
    ASSERT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads[0], schedule);

    CShutdownWait wait(threads);
    while (!wait.Pass()) {
    }
    EXPECT_LT(wait.GetPassCount(), CShutdownWait::s_iStopPass);
    EXPECT_FALSE(fs::exists(page));
    EXPECT_TRUE(Trashed("note.htm"));
}

TEST(ThreadMgrTest, DestroyingTheHolderStillDoesThePostedDeletes)
{
    fs::path page = Make(s_root / "late" / "late.htm");
    {
        CThreadMgr mgr;
        mgr.PostDeleteRequest(U16(page), CDeleteFileThread::DELETE_NOTE);
    }
    EXPECT_TRUE(Trashed("late.htm"));
}
