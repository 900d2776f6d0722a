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
#include "base/tools/CSysString.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CWriteColctRSS.h"

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

// A collection of `items` pages with tags, for files of a realistic shape.
CColctNode* MakeColct(int items, const char16_t* prefix)
{
    CColctNode* colct = CColctNode::New();
    colct->SetLocRNodeRoot(RNode::New2(CFolderNode::New(), NT_FOLDER));
    for (int i = 0; i < items; ++i) {
        std::u16string name = prefix + Utf16(std::to_string(i));
        CUrlNode* item = CUrlNode::New();
        item->SetName(name.c_str());
        item->SetUrl((name + u".htm").c_str());
        item->SetItemType(ITEM_NOTE);
        item->SetDescription(u"A page with a description long enough to make the file grow & grow");
        item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(u"alpha beta gamma"));
        RNTool::InsertAsChild(colct->GetLocRNodeRoot(), RNode::New2(item, NT_URL));
    }
    return colct;
}

std::string Render(CColctNode* colct)
{
    CWriteColctRSS writer;
    writer.SetColctNode(colct);
    char16_t* text = writer.GetXMLBSTR();
    std::string bytes = Utf8(text);
    CSysString::Free(text);
    return bytes;
}

std::vector<std::string> Leftovers(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.back() == '~' || name.ends_with(".tmp"))
            names.push_back(name);
    }
    return names;
}

using SafeSaveTest = FolderTest;

TEST_F(SafeSaveTest, FailedWriteKeepsTheOldFileByteForByte)
{
    fs::path file = content / "file.xml";
    std::u16string path = U16(file);
    CBytesWriter first("<a>first</a>");
    EXPECT_EQ(CSafeSave::Save(first, path), CSafeSave::SAVE_OK);
    EXPECT_EQ(ReadBytes(file), "<a>first</a>");

    CBytesWriter broken("");
    EXPECT_EQ(CSafeSave::Save(broken, path), CSafeSave::SAVE_FAILED);
    EXPECT_EQ(ReadBytes(file), "<a>first</a>");
    EXPECT_TRUE(Leftovers(content).empty());

    fs::create_directories(file.string() + "~/x");
    CBytesWriter blocked("<a>second</a>");
    EXPECT_EQ(CSafeSave::Save(blocked, path), CSafeSave::SAVE_NO_BACKUP);
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
}

TEST_F(SafeSaveTest, LoadRestoresTheCopyOnlyWhenTheFileDoesNotRead)
{
    fs::path file = content / "file.xml";
    std::u16string path = U16(file);
    auto readsWhole = [](const std::u16string& p) { return ReadBytes(Utf8(p)) == "whole"; };

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

// A child saves a collection of several megabytes over and over, between
// two contents; it is killed at random moments. Whatever moment it died,
// the file is one of the two contents, whole, and the next open cleans up.
// The writers fill their documents once, so the child spends its time in
// the copy, the write, the flush and the renames.
TEST_F(SafeSaveTest, KilledAtAnyMomentTheFileIsOldOrNew)
{
    CColctNode* a = MakeColct(9000, u"first page ");
    CColctNode* b = MakeColct(9000, u"second page ");
    CWriteColctRSS writerA;
    writerA.SetColctNode(a);
    CWriteColctRSS writerB;
    writerB.SetColctNode(b);

    fs::path file = content / "big.xml";
    std::u16string path = U16(file);
    ASSERT_EQ(CSafeSave::Save(writerB, path), CSafeSave::SAVE_OK);
    std::string bytesB = ReadBytes(file);
    ASSERT_EQ(CSafeSave::Save(writerA, path), CSafeSave::SAVE_OK);
    std::string bytesA = ReadBytes(file);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(CSafeSave::Save(writerB, path), CSafeSave::SAVE_OK);
    ASSERT_EQ(CSafeSave::Save(writerA, path), CSafeSave::SAVE_OK);
    auto saveTime = (std::chrono::steady_clock::now() - start) / 2;
    ASSERT_GT(bytesA.size(), 3000000u);
    ASSERT_NE(bytesA, bytesB);
    long spanMicros = std::max<long>(1000, 2 * std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count());

    std::mt19937 random(20240611);
    int midSave = 0;
    int sawA = 0;
    int sawB = 0;
    for (int kill = 0; kill < 200; ++kill) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int round = 0;; ++round) {
                if (CSafeSave::Save(round % 2 ? writerA : writerB, path) != CSafeSave::SAVE_OK)
                    _exit(3);
            }
        }
        long wait = std::uniform_int_distribution<long>(0, spanMicros)(random);
        timespec pause{wait / 1000000, (wait % 1000000) * 1000};
        nanosleep(&pause, nullptr);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself: " << status;

        std::string now = ReadBytes(file);
        ASSERT_TRUE(now == bytesA || now == bytesB) << "kill " << kill << " left " << now.size() << " bytes";
        (now == bytesA ? sawA : sawB)++;
        if (!Leftovers(content).empty())
            ++midSave;
        ASSERT_EQ(CSafeSave::Load(path,
                                  [&](const std::u16string& p) {
                                      std::string bytes = ReadBytes(Utf8(p));
                                      return bytes == bytesA || bytes == bytesB;
                                  }),
                  CSafeSave::LOAD_OK);
        ASSERT_TRUE(Leftovers(content).empty()) << "kill " << kill;
    }
    // The kills did land inside saves, on both contents.
    EXPECT_GT(midSave, 20);
    EXPECT_GT(sawA, 0);
    EXPECT_GT(sawB, 0);

    CReadBkmarkXML reader;
    ASSERT_TRUE(reader.LoadFile(path.c_str()));
    CColctNode* read = reader.DetachColctNode();
    EXPECT_EQ(CListTool::Count(read->GetFirstRNode()), 9000);
    CColctNode::DeleteAll(read);
    CColctNode::DeleteAll(a);
    CColctNode::DeleteAll(b);
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

    CColctNode* small = MakeColct(100, u"old ");
    CColctNode* large = MakeColct(3000, u"new ");
    fs::path file = disk / "krv_files.xml";
    CFolderTreeMgr saver;
    ASSERT_TRUE(saver.SaveColct(small, U16(file), true));
    std::string before = ReadBytes(file);
    ASSERT_GT(Render(large).size(), 600000u);

    // Fill the disk, then free just enough for the "~" copy.
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
    }
    fs::resize_file(disk / "filler", fs::file_size(disk / "filler") - before.size() - 64 * 1024);

    EXPECT_FALSE(saver.SaveColct(large, U16(file), true));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Can not write file:\r\n" + file.string()});
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_TRUE(Leftovers(disk).empty());

    umount2(disk.c_str(), MNT_DETACH);
    CColctNode::DeleteAll(small);
    CColctNode::DeleteAll(large);
}

}  // namespace
