// Capture of a page from the local server: what is fetched and rewritten,
// what stays remote, hostile names, a page that is not UTF-8, cancel, and
// the command-line tool.

#include <glib.h>
#include <sys/wait.h>

#include <chrono>
#include <set>
#include <thread>

#include "app/capture/CCapture.h"
#include "app/capture/CCssRefs.h"
#include "app/capture/CHtmlRefs.h"
#include "app/capture/CStaging.h"
#include "base/model/CColctNode.h"
#include "tests/app/core/CoreTest.h"
#include "tests/fixtures/HttpTestServer.h"

namespace {

class CaptureTest : public CoreTest {
protected:
    static void SetUpTestSuite()
    {
        std::string pattern = (fs::temp_directory_path() / "zandrel-site-XXXXXX").string();
        s_root = mkdtemp(pattern.data()) ? pattern : "";
        s_server = new HttpTestServer;
        if (s_root.empty() || !s_server->Start((s_root / "site").string()))
            delete std::exchange(s_server, nullptr);
    }
    static void TearDownTestSuite()
    {
        delete std::exchange(s_server, nullptr);
        fs::remove_all(s_root);
    }

    void SetUp() override
    {
        ASSERT_NE(s_server, nullptr);
        fs::create_directories(home.Root() / "Notes");
        ASSERT_NE(projects.CreateProject(U16(project)), nullptr);
    }

    static std::string Url(const std::string& path) { return "http://" + s_server->Host() + path; }

    // Every path below the content folder but the collection files.
    std::set<std::string> Files() const
    {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(content)) {
            const fs::path relative = fs::relative(entry.path(), content);
            if (std::find(relative.begin(), relative.end(), ".zandrel") == relative.end())
                files.insert(relative.string());
        }
        return files;
    }

    CCapture::CResult Capture(const std::string& url, const CCapture::CLimits& limits, std::u16string* title,
                              std::stop_token stop = {})
    {
        std::u16string error;
        auto plan = CCapture::Prepare(tree, tree.GetRoot(), Utf16(url), &error);
        EXPECT_TRUE(plan) << Utf8(error);
        CCapture::CResult result = CCapture::Fetch(*plan, limits, nullptr, stop);
        if (result.state != CCapture::DONE)
            CCapture::Discard(*plan);
        else
            EXPECT_TRUE(CCapture::Commit(tree, tree.GetRoot(), *plan, result, title, &error)) << Utf8(error);
        return result;
    }

    inline static fs::path s_root;
    inline static HttpTestServer* s_server = nullptr;
    fs::path project = home.Root() / "Notes" / "Work.zand";
    fs::path content = home.Root() / "Notes" / "Work";
};

TEST_F(CaptureTest, FetchesWhatThePageNeedsAndRewritesItInPlace)
{
    const fs::path site = s_root / "site";
    const std::string hostile = "..%2F..%2Fx.png", control = "c%01%0A%1Bd.png";
    const std::string longName = std::string(200, 'n') + ".png";
    for (std::string name : {"d/a.png", "d/x1.png", "d/x2.png", "d/w.webp", "abs.png", "proto.png",
                                    "favicon.ico", "img/bg.png", "css/f.woff", "css/deep/x.gif"})
        WriteBytes(site / name, "bytes of " + name);
    for (const std::string& name : {hostile, control, longName})
        WriteBytes(site / "d" / name, "hostile");
    WriteBytes(site / "css/main.css", "@import \"more.css\";\nbody{background:url(../img/bg.png)}\n"
                                      "@font-face{src:url('f.woff#x')}");
    WriteBytes(site / "css/more.css", ".x{background:url(\"deep/x.gif\")}");
    // Latin-1 text declared only in the head, references resolving against <base>.
    WriteBytes(site / "page.htm",
               "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"
               "<title>Caf\xE9 menu</title><base href=\"" + Url("/site/d/") + "\">"
               "<link rel=stylesheet href=\"../css/main.css\"><link rel=icon href=\"/site/favicon.ico\"></head>"
               "<body><img src=\"a.png\" srcset=\"x1.png 1x, x2.png 2x\"><picture><source srcset=\"w.webp\">"
               "<img src=\"a.png#frag\"></picture><img src=\"" + Url("/site/abs.png") + "\">"
               "<img src=\"//" + s_server->Host() + "/site/proto.png\"><img src=\"" + hostile + "\">"
               "<img src=\"" + control + "\"><img src=\"" + longName + "\"><img src=\"missing.png\">"
               "<img src=\"/loop\"><img src=\"/size/300000\"><div style=\"background:url(a.png)\"></div>"
               "<a href=\"javascript:alert(1)\">js</a><img src=\"file:///etc/passwd\"><a href=\"next.htm\">n</a>"
               "</body></html>");
    const std::set<std::string> before = Files();
    CCapture::CLimits limits;
    limits.maxResourceBytes = 100000;
    std::u16string title;
    CCapture::CResult result = Capture(Url("/site/page.htm"), limits, &title);
    ASSERT_EQ(result.state, CCapture::DONE) << Utf8(result.error);
    EXPECT_EQ(Utf8(title), "Café menu");

    // Only the page and its assets folder are new; no staging folder is left.
    std::set<std::string> added;
    for (const std::string& file : Files())
        if (!before.count(file))
            added.insert(file);
    for (const std::string& file : added)
        EXPECT_TRUE(file == "Café menu.htm" || file.starts_with("Café menu_files")) << file;
    EXPECT_EQ(added.size(), 1u + 1u + 15u);

    std::set<std::string> failed;
    for (const auto& failure : result.failed)
        failed.insert(failure.url);
    EXPECT_EQ(failed, (std::set<std::string>{Url("/site/d/missing.png"), Url("/loop"), Url("/size/300000")}));
    EXPECT_EQ(result.fetched, 15);

    // Every reference that could be fetched is local, and its file is there;
    // the rest point at their absolute address or stay as they were.
    const std::string page = ReadBytes(content / "Café menu.htm");
    const fs::path assets = content / "Café menu_files";
    for (const CPageRef& ref : CHtmlRefs::Find(page)) {
        std::string local = ref.url.substr(0, ref.url.find('#'));
        if (local.starts_with("Café%20menu_files/")) {
            char* plain = g_uri_unescape_string(local.c_str() + std::string("Café%20menu_files/").size(), nullptr);
            EXPECT_TRUE(fs::is_regular_file(assets / plain)) << plain;
            g_free(plain);
        } else {
            EXPECT_TRUE(failed.count(ref.url) || ref.url.starts_with("javascript:") || ref.url.starts_with("file:") ||
                        ref.url == "./" || ref.url == Url("/site/d/next.htm") ||
                        ref.url == Url("/site/page.htm"))  // the source note
                << ref.url;
        }
    }
    for (const char* part : {"charset=utf-8", "<title>Café menu</title>", "a.png#frag\"",
                             "Pasted from &lt;<a href=\"http://"})
        EXPECT_NE(page.find(part), std::string::npos) << part << "\n" << page;
    EXPECT_EQ(ReadBytes(assets / "main.css"), "@import \"more.css\";\nbody{background:url(\"bg.png\")}\n"
                                              "@font-face{src:url(\"f.woff#x\")}");
    EXPECT_EQ(ReadBytes(assets / "more.css"), ".x{background:url(\"x.gif\")}");
    EXPECT_EQ(ReadBytes(assets / "x.gif"), "bytes of css/deep/x.gif");
    CColctNode* colct = tree.LoadColct(tree.GetRoot(), false);
    ASSERT_TRUE(colct && colct->GetFirstRNode());
    EXPECT_EQ(Utf8(colct->GetFirstRNode()->GetData()->GetName()), "Café menu");
}

TEST_F(CaptureTest, CancelAndBadAddressesLeaveNothing)
{
    WriteBytes(s_root / "site" / "stall.htm", "<title>S</title><img src=\"/stall/img\"><img src=\"/ok\">");
    fs::remove(s_root / "requests.log");
    const std::set<std::string> before = Files();
    std::stop_source stop;
    std::jthread canceller([&] {
        // Stops once the stalled image is being fetched.
        for (int i = 0; i < 3000 && (!fs::exists(s_root / "requests.log") ||
                                     ReadBytes(s_root / "requests.log").find("/stall/") == std::string::npos);
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        stop.request_stop();
    });
    std::u16string title;
    EXPECT_EQ(Capture(Url("/site/stall.htm"), {}, &title, stop.get_token()).state, CCapture::CANCELLED);
    EXPECT_EQ(Files(), before);

    std::u16string error;
    for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "krv:x", "data:text/html,x", "ftp://h/x"})
        EXPECT_FALSE(CCapture::Prepare(tree, tree.GetRoot(), Utf16(url), &error)) << url;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Capture(Url("/status/404"), {}, &title).state, CCapture::FAILED);
    EXPECT_EQ(Capture(Url("/site/abs.png"), {}, &title).state, CCapture::FAILED);  // not a page
    EXPECT_EQ(Files(), before);

    // A folder renamed while the page was fetched still takes it.
    WriteBytes(s_root / "site" / "late.htm", "<title>Late</title><img src=\"late.png\">");
    WriteBytes(s_root / "site" / "late.png", "late");
    RNode* sub = tree.AddFolder(tree.GetRoot(), u"Sub");
    auto plan = CCapture::Prepare(tree, sub, Utf16(Url("/site/late.htm")), &error);
    ASSERT_TRUE(plan);
    CCapture::CResult late = CCapture::Fetch(*plan, {}, nullptr, {});
    EXPECT_EQ(late.state, CCapture::DONE);
    ASSERT_TRUE(tree.RenameFolder(sub, u"Moved"));
    EXPECT_TRUE(CCapture::Commit(tree, sub, *plan, late, &title, &error)) << Utf8(error);
    EXPECT_EQ(Files().size(), before.size() + 4);  // Moved, its page, assets folder and image
    EXPECT_EQ(ReadBytes(content / "Moved" / "Late_files" / "late.png"), "late");
}

// What a killed capture or import leaves is removed at the next opening;
// names that only look alike, and links, stay.
TEST_F(CaptureTest, StagingLeftByAKillGoesAndNothingElse)
{
    WriteBytes(content / ".zandrel-capture-Ab12Cd" / "page.htm", "half");
    WriteBytes(content / ".import-000000" / "sub" / "p.htm", "half");
    WriteBytes(content / "elsewhere" / "keep.htm", "keep");
    for (const char* name : {".import-short", ".import-Ab12Cd9", ".import-Ab-2Cd"})
        fs::create_directories(content / name);
    fs::create_directory_symlink(content / "elsewhere", content / ".import-LINKED");
    EXPECT_EQ(CStaging::Sweep(Utf16((content / "").string())), 2);
    EXPECT_FALSE(fs::exists(content / ".zandrel-capture-Ab12Cd"));
    EXPECT_FALSE(fs::exists(content / ".import-000000"));
    for (const char* name : {".import-short", ".import-Ab12Cd9", ".import-Ab-2Cd", ".import-LINKED/keep.htm"})
        EXPECT_TRUE(fs::exists(content / name)) << name;
}

TEST_F(CaptureTest, CommandLineCapturesAndSaysWhy)
{
    WriteBytes(s_root / "site" / "cli.htm", "<title>From the tool</title><img src=\"gone.png\">");
    ASSERT_TRUE(projects.CloseProject());
    auto run = [&](const std::string& arguments) {
        std::string command = std::string("'") + ZANDREL_CLI + "' capture '" + project.string() + "' " + arguments;
        int status = std::system((command + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("'' '" + Url("/site/cli.htm") + "'"), 0);
    EXPECT_TRUE(fs::exists(content / "From the tool.htm"));
    EXPECT_EQ(run("'' file:///etc/passwd"), 1);
    EXPECT_EQ(run("Nowhere '" + Url("/site/cli.htm") + "'"), 1);
    EXPECT_EQ(run("''"), 2);
    WriteBytes(project.string() + ".lck", "");
    EXPECT_EQ(run("'' '" + Url("/site/cli.htm") + "'"), 3);
}

}  // namespace
