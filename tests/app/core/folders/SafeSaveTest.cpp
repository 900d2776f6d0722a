// The "~" copy and the atomic write under failures, crashes and a full disk.

#include "tests/app/core/folders/FolderTestUtil.h"

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "app/core/CSafeSave.h"
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

    // A save abandoned after its copy was made puts the copy back.
    {
        CSafeSave save(path);
        ASSERT_TRUE(save.Backup());
        WriteBytes(file, "damaged");
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

// A small file system of its own, in a mount namespace of this process, so
// nothing of it shows outside. Needs root (or the capability to mount).
TEST_F(SafeSaveTest, FullDiskKeepsTheOldFile)
{
    if (unshare(CLONE_NEWNS) != 0)
        GTEST_SKIP() << "no mount namespace here (unshare: " << strerror(errno) << "); needs root";
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "mounts cannot be made private here: " << strerror(errno);
    fs::path disk = home.Root() / "small-disk";
    fs::create_directories(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here: " << strerror(errno);

    CColctNode* small = MakeColct(100, "old ");
    CColctNode* large = MakeColct(3000, "new ");
    fs::path file = disk / "krv_files.xml";
    CFolderTreeMgr saver;
    ASSERT_TRUE(saver.SaveColct(small, U16(file), true));
    std::string before = ReadBytes(file);

    // Fill the disk, then free just enough for the "~" copy.
    for (std::ofstream filler(disk / "filler", std::ios::binary); filler.write(std::string(4096, 'x').data(), 4096);)
        filler.flush();
    fs::resize_file(disk / "filler", fs::file_size(disk / "filler") - before.size() - 64 * 1024);

    EXPECT_FALSE(saver.SaveColct(large, U16(file), true));
    EXPECT_EQ(ui.MessageTexts(), Texts{"Can not write file:\r\n" + file.string()});
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_TRUE(Leftovers(disk).empty());

    umount2(disk.c_str(), MNT_DETACH);
    CColctNode::DeleteAll(small);
    CColctNode::DeleteAll(large);
}

}  // namespace
