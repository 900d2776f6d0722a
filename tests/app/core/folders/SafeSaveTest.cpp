// The "~" copy and the atomic write under failures, crashes and a full disk.

#include "tests/app/core/folders/FolderTestUtil.h"

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "app/core/CSafeSave.h"
#include "base/xml/CWriteFile.h"
#include "base/xml/CWriteXML.h"

namespace {

// A writer whose document is given; an empty one fails like a broken sink.
class CBytesWriter : public CWriteXML {
public:
    explicit CBytesWriter(std::string bytes) : m_bytes(std::move(bytes)) {}

protected:
    void FillData() override
    {
        if (!m_bytes.empty())
            FillString(m_bytes.data(), static_cast<int>(m_bytes.size()));
    }

private:
    std::string m_bytes;
};

Texts Leftovers(const fs::path& folder)
{
    Texts names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.back() == '~' || name.ends_with(".tmp"))
            names.push_back(name);
    }
    return names;
}

class SafeSaveTest : public FolderTest {
protected:
    // A collection of `items` tagged pages, for files of a realistic shape.
    static CColctNode* MakeColct(int items, const std::string& prefix)
    {
        CColctNode* colct = CColctNode::New();
        colct->SetLocRNodeRoot(RNode::New2(CFolderNode::New(), NT_FOLDER));
        for (int i = 0; i < items; ++i)
            AddPage(colct, Utf16(prefix + std::to_string(i)), u"alpha beta gamma")
                ->SetDescription(u"A page with a description long enough to make the file grow & grow");
        return colct;
    }
};

TEST_F(SafeSaveTest, FailedWriteKeepsTheOldFileAndLoadPutsTheCopyBack)
{
    fs::path file = content / "file.xml";
    std::u16string path = U16(file);
    auto saveBytes = [&](const std::string& bytes) {
        CBytesWriter writer(bytes);
        return CSafeSave::Save(writer, path);
    };
    EXPECT_EQ(saveBytes("<a>first</a>"), CSafeSave::SAVE_OK);
    EXPECT_EQ(saveBytes(""), CSafeSave::SAVE_FAILED);  // a broken writer
    EXPECT_EQ(ReadBytes(file), "<a>first</a>");
    EXPECT_TRUE(Leftovers(content).empty());
    fs::create_directories(file.string() + "~/x");
    EXPECT_EQ(saveBytes("<a>second</a>"), CSafeSave::SAVE_NO_BACKUP);
    EXPECT_EQ(ReadBytes(file), "<a>first</a>");
    fs::remove_all(file.string() + "~");

    // A save abandoned after its copy was made puts the copy back over
    // what replaced the file meanwhile.
    {
        CSafeSave save(path);
        ASSERT_TRUE(save.Backup());
        WriteBytes(content / "other", "damaged");
        fs::rename(content / "other", file);
    }
    EXPECT_EQ(ReadBytes(file), "<a>first</a>");
    EXPECT_TRUE(Leftovers(content).empty());

    // Loading restores the copy only when the file does not read.
    auto readsWhole = [](const std::u16string& p) { return ReadBytes(Utf8(p)) == "whole"; };
    fs::remove(file);
    WriteBytes(file.string() + "~", "whole");
    EXPECT_EQ(CSafeSave::Load(path, readsWhole), CSafeSave::LOAD_OK);  // the file itself is missing
    EXPECT_EQ(ReadBytes(file), "whole");
    EXPECT_EQ(ui.messages.size(), 1u);

    WriteBytes(file, "broken");
    WriteBytes(file.string() + "~", "also broken");
    EXPECT_EQ(CSafeSave::Load(path, readsWhole), CSafeSave::LOAD_FAILED);
    EXPECT_EQ(ReadBytes(file), "broken");
    EXPECT_EQ(ReadBytes(file.string() + "~"), "also broken");
    EXPECT_EQ(ui.messages.size(), 1u);
}

// A child saves a file of several megabytes over and over, between two
// contents; it is killed at random moments. Whatever moment it died, the
// file is one of the two contents, whole, and the next open cleans up.
TEST_F(SafeSaveTest, KilledAtAnyMomentTheFileIsOldOrNew)
{
    const std::string bytes[2] = {"<a>" + std::string(3500000, 'a') + "</a>", "<b>" + std::string(3000000, 'b') + "</b>"};
    CBytesWriter writers[2] = {CBytesWriter(bytes[0]), CBytesWriter(bytes[1])};
    fs::path file = content / "big.xml";
    std::u16string path = U16(file);
    auto start = std::chrono::steady_clock::now();
    for (int i : {0, 1}) {
        ASSERT_EQ(CSafeSave::Save(writers[i], path), CSafeSave::SAVE_OK);
        ASSERT_EQ(ReadBytes(file), bytes[i]);
    }
    long saveMicros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                          .count() / 2;
    auto whole = [&](const std::u16string& p) {
        std::string now = ReadBytes(Utf8(p));
        return now == bytes[0] || now == bytes[1];
    };

    std::mt19937 random(20240611);
    int midSave = 0, saw[2] = {0, 0};
    for (int kill = 0; kill < 200; ++kill) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int round = 0;; ++round) {
                if (CSafeSave::Save(writers[round % 2], path) != CSafeSave::SAVE_OK)
                    _exit(3);
            }
        }
        long wait = std::uniform_int_distribution<long>(0, std::max<long>(1000, 2 * saveMicros))(random);
        timespec pause{wait / 1000000, (wait % 1000000) * 1000};
        nanosleep(&pause, nullptr);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself: " << status;

        std::string now = ReadBytes(file);
        ASSERT_TRUE(now == bytes[0] || now == bytes[1]) << "kill " << kill << " left " << now.size() << " bytes";
        saw[now == bytes[0] ? 0 : 1]++;
        midSave += !Leftovers(content).empty();
        ASSERT_EQ(CSafeSave::Load(path, whole), CSafeSave::LOAD_OK);
        ASSERT_TRUE(Leftovers(content).empty()) << "kill " << kill;
    }
    // The kills did land inside saves, on both contents.
    EXPECT_GT(midSave, 20);
    EXPECT_GT(saw[0], 0);
    EXPECT_GT(saw[1], 0);
}

// A named pipe where a file should be would make a read wait for a writer
// that never comes; it is refused at once, with the load's own messages.
TEST_F(SafeSaveTest, APipeInPlaceOfAFileIsRefusedAtOnce)
{
    alarm(60);  // a hang ends this program rather than the whole run
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    RNode* root = tree.GetRoot();
    static_cast<CFolderNode*>(root->GetData())->SetHasPage(true);
    const std::string colct = ColctFile(content).string();
    struct Case {
        fs::path file;
        std::function<bool()> load;
        Texts messages;
    } cases[] = {
        {colct, [&] { return tree.LoadColct(root, true) != nullptr; },
         {"Can not parse XML file:\r\n" + colct, "Can not load collection for this folder.\r\n" + colct}},
        {TreeFile(), [&] { return tree.LoadFolderTree(u"Notes") && tree.GetRoot() != nullptr; },
         {"The folder tree file could not be read:\r\n" + TreeFile().string()}},
    };
    for (const Case& c : cases) {
        fs::remove(c.file);
        ASSERT_EQ(mkfifo(c.file.c_str(), 0644), 0);
        ui.messages.clear();
        EXPECT_FALSE(c.load());
        EXPECT_EQ(ui.MessageTexts(), c.messages);
        EXPECT_TRUE(fs::is_fifo(c.file));
    }
    alarm(0);
}

// Saves cut short by a kill leave their temporary files, about as large as
// the file; the next load of the folder removes them, but not the one of a
// save still running.
TEST_F(SafeSaveTest, LoadingAFolderRemovesTheTempsOfKilledSavesOnly)
{
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    ASSERT_NE(tree.EnsureColct(tree.GetRoot()), nullptr);
    tree.CloseTree();
    const fs::path colct = ColctFile(content);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CAtomicWriteFile page, list;
        bool open = page.Open(U16(content / "A.htm").c_str()) && page.Write("half a page", 11) &&
                    list.Open(U16(colct).c_str()) && list.Write("<rss", 4);
        ssize_t told = write(ready[1], open ? "y" : "n", 1);
        (void)told;
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(answer, 'y');
    CAtomicWriteFile running;
    ASSERT_TRUE(running.Open(U16(content / "B.htm").c_str()));
    ASSERT_TRUE(running.Write("whole", 5));
    auto temps = [&] {
        Texts names;
        for (const fs::path& folder : {content, colct.parent_path()}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (entry.path().extension() == ".tmp")
                    names.push_back(entry.path().filename().string().substr(0, 6));
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    ASSERT_EQ(temps(), (Texts{".A.htm", ".B.htm", ".krv_f"}));

    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    EXPECT_EQ(temps(), Texts{".B.htm"});
    EXPECT_TRUE(running.Commit());
    EXPECT_EQ(ReadBytes(content / "B.htm"), "whole");
    EXPECT_TRUE(temps().empty());
    EXPECT_TRUE(ui.messages.empty());
}

// A small file system of its own, in a mount namespace of this process, so
// nothing of it shows outside. Needs root (or the capability to mount).
TEST_F(SafeSaveTest, FullDiskKeepsTheOldFile)
{
    if (unshare(CLONE_NEWNS) != 0)
        GTEST_SKIP() << "no mount namespace here (unshare: " << strerror(errno) << "); needs root";
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "mounts cannot be made private here: " << strerror(errno);
    // The folder of the tree file, so that both kinds of save meet the full disk.
    fs::path disk = content / ".zandrel";
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here: " << strerror(errno);

    CColctNode* small = MakeColct(100, "old ");
    CColctNode* large = MakeColct(3000, "new ");
    fs::path file = disk / "krv_files.xml";
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    ASSERT_TRUE(tree.SaveColct(small, U16(file), true));
    std::string before = ReadBytes(file);
    std::string treeBefore = ReadBytes(TreeFile());

    // Fill the disk, leaving room for a "~" copy where there are no links.
    for (std::ofstream filler(disk / "filler", std::ios::binary); filler.write(std::string(4096, 'x').data(), 4096);)
        filler.flush();
    fs::resize_file(disk / "filler", fs::file_size(disk / "filler") - before.size() - 64 * 1024);
    EXPECT_FALSE(tree.SaveColct(large, U16(file), true));
    for (std::ofstream rest(disk / "rest", std::ios::binary); rest.write(std::string(4096, 'x').data(), 4096);)
        rest.flush();
    EXPECT_FALSE(tree.SaveFolderTree());

    const std::string full = "Can not write file Code=0X0000001C:\r\n";
    EXPECT_EQ(ui.MessageTexts(), (Texts{full + file.string(), full + TreeFile().string()}));
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(ReadBytes(TreeFile()), treeBefore);
    EXPECT_TRUE(Leftovers(disk).empty());

    umount2(disk.c_str(), MNT_DETACH);
    CColctNode::DeleteAll(small);
    CColctNode::DeleteAll(large);
}

}  // namespace
