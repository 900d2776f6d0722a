// The start-page set: when a download is due, the run against a local
// site (list checks, verification, fetches, hostile lists), the thread's
// bookkeeping, and which page files are shown.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/background/CFrontPage.h"
#include "app/background/CThreadMgr.h"
#include "app/background/CUpdateCheck.h"
#include "app/core/CAppSettings.h"
#include "app/core/CRegistry.h"
#include "base/tools/CEncodingTool.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/fixtures/HttpTestServer.h"

namespace {

constexpr long kNow = 1700000000;

// Upper-case hexadecimal MD5 of ASCII bytes.
std::string MD5(const std::string& text)
{
    char16_t hex[33];
    CEncodingTool::GetWideCharMD5(Utf16(text).c_str(), hex);
    return Utf8(hex);
}

// One listed file; "|" separates folders so that names may hold "/".
struct Item {
    std::string path, body;
    std::string md5 = "auto";
    long size = -1;
};

class FrontPageTest : public ::testing::Test {
protected:
    void SetUp() override { CAppSettings::Release(); }
    void TearDown() override { CAppSettings::Release(); }

    std::string Reg(const char16_t* name)
    {
        std::u16string value = u"<none>";
        CRegistry::ForSettings().GetValue(name, &value);
        return Utf8(value);
    }
    void SetReg(const char16_t* name, long value) { CRegistry::ForSettings().SetValue(name, Utf16(std::to_string(value))); }
    void Ini(const std::string& debug) { WriteBytes(home.DataFolder() / "zandrel.ini", "[DEBUG]\n" + debug); }
    bool Due() { return CFrontPagePath([this] { return now; }).ShouldDownload(); }
    fs::path FrontPage() const { return home.Root() / ".local/share/Zandrel/FrontPage"; }

    ScopedHome home;
    ScriptedUI ui;
    long now = kNow;
};

class FrontPageSiteTest : public FrontPageTest {
protected:
    void SetUp() override
    {
        FrontPageTest::SetUp();
        fs::create_directories(Site());
        ASSERT_TRUE(server.Start(Site().string()));
        url.emplace("ZANDREL_FRONTPAGE_URL", Utf8(server.Url("/site/frontpage/")));
    }
    fs::path Site() const { return home.Root() / "srv/site"; }
    // Requests for `path` below the service so far.
    long Fetches(const std::string& path) const
    {
        std::istringstream log(ReadBytes(home.Root() / "srv/requests.log"));
        long n = 0;
        for (std::string line; std::getline(log, line);)
            n += line == "/site/frontpage/" + path;
        return n;
    }

    // Serves the files and their list, each file in a folder chain of its
    // own (the reader keeps folders of the same name apart), so the
    // signature is the chained files in order, then the root's.
    void Publish(const std::vector<Item>& items, const std::string& header = "", const std::string& verify = "")
    {
        std::string chained, rootFiles, signature[2];
        for (const Item& item : items) {
            std::string path = item.path, open, close;
            for (size_t bar; (bar = path.find('|')) != std::string::npos; path.erase(0, bar + 1)) {
                open += "<Folder Name=\"" + path.substr(0, bar) + "\">";
                close += "</Folder>";
            }
            std::string size = std::to_string(item.size >= 0 ? item.size : static_cast<long>(item.body.size()));
            std::string& sig = signature[open.empty()];
            sig += (sig.empty() ? "" : " ") + path + " " + size;
            (open.empty() ? rootFiles : chained) += open + "<File Name=\"" + path + "\" Size=\"" + size + "\" MD5=\"" +
                (item.md5 == "auto" ? MD5(item.body) : item.md5) + "\" Modified=\"1\"/>" + close;
            std::string served = item.path;
            std::replace(served.begin(), served.end(), '|', '/');
            fs::path file = (Site() / "frontpage" / served).lexically_normal();
            if (file.string().rfind(Site().string(), 0) == 0 && !fs::is_directory(file))
                WriteBytes(file, item.body);
        }
        std::string all = signature[0] + (signature[0].empty() || signature[1].empty() ? "" : " ") + signature[1];
        WriteBytes(Site() / "frontpage/frontpagedl.xml", "<?xml version=\"1.0\"?>\n<ZAndrel-DL Title=\"t\" " + header +
                   " Verify=\"" + (verify.empty() ? MD5(all) : verify) + "\">" + chained + rootFiles + "</ZAndrel-DL>\n");
    }

    HttpTestServer server;
    std::optional<ScopedEnv> url;
};

TEST_F(FrontPageTest, FirstCheckThenThirtyDaysThenTheClampedInterval)
{
    EXPECT_FALSE(Due());
    EXPECT_EQ(Reg(u"FirstTime") + Reg(u"FrontPagePath"), std::to_string(kNow));
    now = kNow + 2592000;
    EXPECT_FALSE(Due());
    now++;
    EXPECT_TRUE(Due());
    // Missing first: there is no removing a value again.
    for (auto [stored, interval] : {std::pair{-1L, 518400L}, {3600L, 43200L}, {10000000L, 7776000L}}) {
        SCOPED_TRACE(stored);
        SetReg(u"DLLastTime", kNow);
        if (stored > 0)
            SetReg(u"DLTimeInterval", stored);
        now = kNow + interval;
        EXPECT_FALSE(Due());
        now++;
        EXPECT_TRUE(Due());
    }
}

TEST_F(FrontPageTest, FutureTimesStaleRunsAndTheSwitch)
{
    SetReg(u"DLLastTime", kNow + 5000);
    EXPECT_FALSE(Due());
    EXPECT_EQ(Reg(u"DLLastTime"), std::to_string(kNow));
    SetReg(u"DLStart", kNow - 21600);  // a run may still be going
    EXPECT_FALSE(Due());
    SetReg(u"DLStart", kNow - 21601);
    EXPECT_TRUE(Due());

    Ini("DOWNLOAD=-1\n");
    CAppSettings::Release();
    EXPECT_FALSE(Due());
    Ini("DOWNLOAD=1\n");
    CAppSettings::Release();
    SetReg(u"DLStart", 0);
    EXPECT_TRUE(Due());
}

TEST_F(FrontPageTest, ShownFolderAndPageChoice)
{
    CRegistry::ForSettings().SetValue(u"FrontPagePath", u"A");
    EXPECT_EQ(CFrontPagePath().GetDownloadFolder(), u"b");
    CRegistry::ForSettings().SetValue(u"FrontPagePath", u"b");
    CFrontPagePath holder;
    EXPECT_EQ(holder.GetDownloadFolder(), u"a");
    CDataFolders& folders = CAppSettings::Get()->GetDataFolders();
    const std::u16string builtinStart = folders.GetStartPage(), builtinFolder = folders.GetFolderBlankPage();
    EXPECT_EQ(holder.GetStartPage(), builtinStart);
    EXPECT_EQ(holder.GetFolderPage(), builtinFolder);

    for (const char* name : {"zandrelstart.htm", "index.htm", "folderblankpage.htm"})
        WriteBytes(FrontPage() / "b" / name, "x");
    EXPECT_EQ(holder.GetStartPage(), U16(FrontPage() / "b/zandrelstart.htm"));
    EXPECT_EQ(holder.GetFolderPage(), U16(FrontPage() / "b/folderblankpage.htm"));
    fs::remove(FrontPage() / "b/zandrelstart.htm");
    EXPECT_EQ(holder.GetStartPage(), U16(FrontPage() / "b/index.htm"));

    CAppSettings::Release();
    Ini("NOTUSEFP=1\nNOTUSEFOLDP=1\n");
    EXPECT_EQ(holder.GetStartPage(), builtinStart);
    EXPECT_EQ(holder.GetFolderPage(), builtinFolder);
}

TEST_F(FrontPageSiteTest, VerifiedNestedSetBecomesTheShownOneAfterTheThreadRun)
{
    Publish({{"zandrelstart.htm", "<p>start</p>"},
             {"img|logo.gif", "GIF89a"},
             {"img|deep|x y#1.css", "b{}"},
             {"folderblankpage.htm", ""}},
            "TTime=\"86400\" Build=\"1300\"");
    // The test server maps the raw request path to a file name.
    WriteBytes(Site() / "frontpage/img/deep/x%20y%231.css", "b{}");
    CRegistry::ForSettings().SetValue(u"FrontPagePath", u"a");
    SetReg(u"DLLastTime", kNow - 600000);
    {
        CThreadMgr threads;
        CFrontPagePath holder([this] { return now; });
        ASSERT_TRUE(holder.OnStartTimer(threads, nullptr));
        EXPECT_EQ(Reg(u"DLStart"), std::to_string(kNow));
        ASSERT_NE(threads.GetFrontPageThread(), nullptr);
        EXPECT_TRUE(threads.GetFrontPageThread()->WaitForExit(30000));
    }
    for (auto [file, body] : {std::pair{"zandrelstart.htm", "<p>start</p>"}, {"img/logo.gif", "GIF89a"},
                              {"img/deep/x y#1.css", "b{}"}})
        EXPECT_EQ(ReadBytes(FrontPage() / "b" / file), body);
    EXPECT_TRUE(fs::is_regular_file(FrontPage() / "b/folderblankpage.htm"));
    EXPECT_EQ(Reg(u"FrontPagePath"), "b");
    EXPECT_EQ(Reg(u"DLStart"), "");
    EXPECT_EQ(Reg(u"DLLastTime"), std::to_string(kNow));
    EXPECT_EQ(Reg(u"DLTimeInterval"), "86400");
}

TEST_F(FrontPageSiteTest, FailedRunKeepsTheShownSetAndStillChecksForUpdates)
{
    Publish({{"zandrelstart.htm", "short", "auto", 99}});
    CRegistry::ForSettings().SetValue(u"FrontPagePath", u"a");
    ScopedEnv service("ZANDREL_UPDATE_URL", Utf8(server.Url("/site")));
    CFrontPageDLThread thread(u"b", std::make_shared<CUpdateCheck>([this] { return now; }), [this] { return now; });
    ASSERT_NE(thread.CreateThread(), 0u);
    EXPECT_TRUE(thread.WaitForExit(30000));
    EXPECT_EQ(Reg(u"FrontPagePath"), "a");
    EXPECT_EQ(Reg(u"DLLastTime"), std::to_string(kNow));
    // The update check still ran, told that the list had no build number.
    std::string requests = ReadBytes(home.Root() / "srv/requests.log");
    EXPECT_NE(requests.find("/site/updatecheck/zandrupdatev2.php?"), std::string::npos) << requests;
    EXPECT_NE(requests.find("-V-1Pa\n"), std::string::npos) << requests;
}

// A lower-case Verify passes and the list's build number is kept (-1 when
// it has none). A file whose listed MD5 is the local copy's is not fetched
// again; a lower-case MD5 never matches the local digest.
TEST_F(FrontPageSiteTest, LowerCaseDigestsAndTheBuildNumber)
{
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), ::tolower);
        return text;
    };
    Publish({{"same.htm", "kept"}, {"lower.htm", "lc", lower(MD5("lc"))}}, "Build=\"1301\"",
            lower(MD5("same.htm 4 lower.htm 2")));
    for (int run = 0; run < 2; run++) {
        CFrontPageDL dl(u"a", CAppSettings::Get()->GetFrontPageBaseUrl());
        EXPECT_TRUE(dl.Run()) << Utf8(dl.GetErrorText());
        EXPECT_EQ(dl.GetBuildNumber(), 1301);
    }
    EXPECT_EQ(Reg(u"DLTimeInterval"), "<none>");
    EXPECT_EQ(Fetches("frontpagedl.xml"), 2);
    EXPECT_EQ(Fetches("same.htm"), 1);
    EXPECT_EQ(Fetches("lower.htm"), 2);

    Publish({{"index.htm", "i"}});
    CFrontPageDL none(u"b", CAppSettings::Get()->GetFrontPageBaseUrl());
    EXPECT_TRUE(none.Run());
    EXPECT_EQ(none.GetBuildNumber(), -1);
}

TEST_F(FrontPageSiteTest, HostileListsWriteNothingOutsideTheSetFolder)
{
    std::string deep = "f";
    for (int i = 0; i <= CFrontPageDL::kMaxDepth; i++)
        deep = "d|" + deep;
    const std::vector<std::vector<Item>> lists = {
        {{"../x", "evil"}},
        {{"a/b", "evil"}},
        {{"..|x", "evil"}},
        {{"sub|..|..|x", "evil"}},
        {{"ok.htm", "fine"}, {"", "evil"}},
        {{"big.bin", "x", "auto", 2000000000}},
        {{deep, "evil"}},
    };
    for (const auto& list : lists) {
        SCOPED_TRACE(list.back().path);
        Publish(list);
        fs::remove(home.Root() / "srv/requests.log");
        CFrontPageDL dl(u"b", CAppSettings::Get()->GetFrontPageBaseUrl());
        EXPECT_FALSE(dl.Run());
        EXPECT_TRUE(dl.IsVerified());  // the refusal is not the checksum's doing
        EXPECT_EQ(ReadBytes(home.Root() / "srv/requests.log"), "/site/frontpage/frontpagedl.xml\n");
        std::vector<std::string> found;
        for (auto& e : fs::recursive_directory_iterator(FrontPage()))
            found.push_back(fs::relative(e.path(), FrontPage()).string());
        EXPECT_EQ(found, Texts({"b", "b/frontpagedl.xml"}));
    }

    Publish({{"index.htm", "i"}}, "", MD5("index.htm 2"));
    CFrontPageDL wrong(u"b", CAppSettings::Get()->GetFrontPageBaseUrl());
    EXPECT_FALSE(wrong.Run());
    EXPECT_EQ(wrong.GetErrorText(), u"Verify failed");
}

}  // namespace
