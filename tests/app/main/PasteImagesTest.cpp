// A paste's pictures: which web images are taken, free names, no file left by a failure or cancel.

#include "app/main/CPasteImages.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>

#include "tests/app/core/ScriptedUI.h"
#include "tests/fixtures/HttpTestServer.h"

class PasteImagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteBytes(root / "site" / "x.png", "PNGDATA");
        fs::create_directories(assets);
        ASSERT_TRUE(server.Start((root / "site").string()));
    }
    static std::set<std::string> Entries(const fs::path& folder)
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string Url(const std::string& path) { return "http://" + server.Host() + path; }
    // Polls until the worker is done, however long the machine takes.
    template <class Check> static void WaitFor(Check check)
    {
        while (!check())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    ScopedHome home;
    fs::path root = home.Root();
    fs::path assets = root / "Page_files";
    HttpTestServer server;
};

TEST(PasteImagesPlan, TakesFetchableImagesOnceAndMakesRelativeOnesAbsolute)
{
    const std::string html =
        "<p><img src='http://a.test/1.png'><img src=\"/2.png\" srcset=\"3.png 2x, http://a.test/1.png 3x\">"
        "<img src=data:image/png;base64,AA><img src=file:///etc/passwd><img src=javascript:alert(1)>"
        "<a href=/page.htm>link</a><!-- <img src=/hidden.png> --></p>";
    CPasteImages::CPlan plan = CPasteImages::Plan(html, "https://b.test/dir/article");
    EXPECT_EQ(plan.urls, (std::vector<std::string>{"http://a.test/1.png", "https://b.test/2.png",
                                                   "https://b.test/dir/3.png"}));
    EXPECT_NE(plan.fragment.find("src=\"https://b.test/2.png\" srcset=\"https://b.test/dir/3.png 2x,"),
              std::string::npos) << plan.fragment;
    EXPECT_NE(plan.fragment.find("<a href=/page.htm>"), std::string::npos) << "only images are touched";
    // Without a source only absolute addresses count, and the HTML stays.
    plan = CPasteImages::Plan(html, "");
    EXPECT_EQ(plan.urls, (std::vector<std::string>{"http://a.test/1.png"}));
    EXPECT_EQ(plan.fragment, html);
}

TEST_F(PasteImagesTest, DownloadsUnderFreeNamesAndFailuresLeaveNoFile)
{
    WriteBytes(assets / "X.png", "user's own");
    CPasteImages paste([] {}, 100);
    paste.Fetch(U16(assets), {Url("/site/x.png"), Url("/status/404"), Url("/size/101"), Url("/site/x.png?again")});
    WaitFor([&] { return paste.IsIdle(); });
    std::map<std::string, std::u16string> names;
    for (const CPasteImages::CResult& result : paste.TakeResults())
        names[result.url] = result.name;
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[Url("/status/404")], u"");
    EXPECT_EQ(names[Url("/size/101")], u"") << "over the cap";
    // Names compare without case, and two downloads at once never share one.
    EXPECT_EQ(Entries(assets), (std::set<std::string>{"X.png", "x-2.png", "x-3.png"}));
    EXPECT_EQ(ReadBytes(assets / "x-2.png"), "PNGDATA");
    EXPECT_EQ(ReadBytes(assets / "X.png"), "user's own");
    EXPECT_EQ(Entries(root), (std::set<std::string>{"Page_files", "requests.log", "site"})) << "nothing beside";
    // A picture written as such never replaces a file either.
    EXPECT_EQ(CPasteImages::WriteNewFile(U16(assets), "x.png", "mine"), u"x-4.png");

    // A folder gone with its page (renamed) is never made again.
    fs::remove_all(assets);
    paste.Fetch(U16(assets), {Url("/site/x.png")});
    WaitFor([&] { return paste.IsIdle(); });
    EXPECT_EQ(paste.TakeResults().at(0).name, u"");
    EXPECT_FALSE(fs::exists(assets));
    EXPECT_EQ(CPasteImages::WriteNewFile(U16(root / "no" / "Page_files"), "image.png", "x"), std::nullopt);
}

TEST_F(PasteImagesTest, CancelStopsAStalledDownloadAndRemovesFilesNotTaken)
{
    CPasteImages paste([] {});
    paste.Fetch(U16(assets), {Url("/site/x.png"), Url("/stall/y.png")});
    const fs::path log = root / "requests.log";
    WaitFor([&] { return fs::exists(assets / "x.png") && ReadBytes(log).find("/stall/") != std::string::npos; });
    paste.Cancel();  // the finished x.png was never taken: it goes too
    EXPECT_TRUE(paste.IsIdle());
    EXPECT_TRUE(paste.TakeResults().empty());
    EXPECT_TRUE(Entries(assets).empty());
}
