// References of pages and stylesheets: listed where they lie, rewritten in
// place, resolved, and turned into safe asset names.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/capture/CAssetName.h"
#include "app/capture/CCaptureUrl.h"
#include "app/capture/CCssRefs.h"
#include "app/capture/CHtmlRefs.h"

namespace {

// "kind url [raw text]" per reference, the raw text being its range.
std::vector<std::string> Listed(const std::vector<CPageRef>& refs, const std::string& text)
{
    static const char* const kKinds[] = {"img", "srcset", "media", "css", "icon", "script",
                                         "bg", "frame", "link", "base", "url", "import"};
    std::vector<std::string> out;
    for (const CPageRef& r : refs)
        out.push_back(std::string(kKinds[int(r.kind)]) + " " + r.url + " [" + text.substr(r.begin, r.end - r.begin) + "]");
    return out;
}

const std::string kPage = "<!DOCTYPE html><html><head><base href=\"/site/\">\n"
                          "<link rel=\"stylesheet\" href=\"css/a.css\"><LINK REL='Shortcut Icon' HREF=//cdn.example/fav.ico>\n"
                          "<link rel=canonical href=\"https://ex.com/x\">\n"
                          "<style>@import \"im.css\"; /* url(no.png) */ .a{background:url( 'b&amp;c.png' )}</style>\n"
                          "<script src=\"js/x.js\"></script></head><body background=bg.gif>\n"
                          "<img src=\"a.png?x=1&amp;y=2\" srcset=\"s1.png 1x, s&#50;.png 2x,s3.png,, s(4).png 3x\">\n"
                          "<picture><source srcset='p.webp 100w, p2.webp (min-width: 1px, x) 200w'><img src=p.jpg alt=x></picture>\n"
                          "<p style=\"background: url(&quot;q.png&quot;)\">x</p><!-- <img src=\"comment.png\"> -->\n"
                          "<a href=\" javascript:alert(1)\">j</a><img src=\"data:image/png;base64,AA\"><img src=\"file:///etc/x\">\n"
                          "<a href=\"krv:open?x\">k</a><input type=IMAGE src=\"btn.png\"><video poster=\"v.jpg\"><source src=\"v.mp4\"></video>\n"
                          "<img src=\"\"><script>var s = '<img src=\"in-script.png\">';</script></body></html>";

TEST(HtmlRefs, ListsEveryReferenceWithItsRawText)
{
    const std::vector<std::string> expected = {
        "base /site/ [/site/]",
        "css css/a.css [css/a.css]",
        "icon //cdn.example/fav.ico [//cdn.example/fav.ico]",
        "link https://ex.com/x [https://ex.com/x]",
        "import im.css [\"im.css\"]",
        "url b&amp;c.png [url( 'b&amp;c.png' )]",  // <style> holds no entities
        "script js/x.js [js/x.js]",
        "bg bg.gif [bg.gif]",
        "img a.png?x=1&y=2 [a.png?x=1&amp;y=2]",
        "srcset s1.png [s1.png]",
        "srcset s2.png [s&#50;.png]",
        "srcset s3.png [s3.png]",
        "srcset s(4).png [s(4).png]",
        "srcset p.webp [p.webp]",
        "srcset p2.webp [p2.webp]",
        "img p.jpg [p.jpg]",
        "url q.png [url(&quot;q.png&quot;)]",
        "link javascript:alert(1) [ javascript:alert(1)]",
        "img data:image/png;base64,AA [data:image/png;base64,AA]",
        "img file:///etc/x [file:///etc/x]",
        "link krv:open?x [krv:open?x]",
        "img btn.png [btn.png]",
        "img v.jpg [v.jpg]",
        "media v.mp4 [v.mp4]",
    };
    EXPECT_EQ(Listed(CHtmlRefs::Find(kPage), kPage), expected);

    const std::string base = CCaptureUrl::DocumentBase("https://ex.com/dir/page.html", CHtmlRefs::Find(kPage));
    EXPECT_EQ(base, "https://ex.com/site/");
    std::vector<std::string> fetched;
    for (const CPageRef& r : CHtmlRefs::Find(kPage)) {
        if (CCaptureUrl::MayFetch(CCaptureUrl::Resolve(base, r.url)) && r.kind != CPageRef::Kind::Link &&
            r.kind != CPageRef::Kind::Base)
            fetched.push_back(r.url);
    }
    EXPECT_EQ(fetched.size(), 18u);  // not the data:, file:, the base and the links
    EXPECT_EQ(CHtmlRefs::Find("").size(), 0u);
}

std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& edits)
{
    for (const auto& [from, to] : edits)
        text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(HtmlRefs, RewriteChangesOnlyTheRangesEscapedForTheirPlace)
{
    // raw text of a reference, its new address, what the page then holds
    const struct { std::string raw, url, written; } cases[] = {
        {"//cdn.example/fav.ico", "P_files/fav.ico", "\"P_files/fav.ico\""},
        {"a.png?x=1&amp;y=2", "P_files/it's \"a\" & b.png", "P_files/it's &quot;a&quot; &amp; b.png"},
        {"s&#50;.png", "P_files/my s,2.png,", "P_files/my%20s,2.png%2C"},
        {"p2.webp", "P_files/it's.webp", "P_files/it&#39;s.webp"},
        {"url( 'b&amp;c.png' )", "P_files/b&c\".png", "url(\"P_files/b&c\\\".png\")"},
        {"url(&quot;q.png&quot;)", "P_files/q's\".png", "url('P_files/q\\'s&quot;.png')"},
        {"\"im.css\"", "P_files/im.css", "\"P_files/im.css\""},
        {"bg.gif", "P_files/b g.gif", "\"P_files/b g.gif\""},
    };
    std::vector<CRefReplacement> replacements;
    std::vector<std::pair<std::string, std::string>> edits;
    for (const CPageRef& r : CHtmlRefs::Find(kPage)) {
        for (const auto& c : cases) {
            if (kPage.compare(r.begin, r.end - r.begin, c.raw) == 0) {
                replacements.push_back({r, c.url});
                edits.push_back({c.raw, c.written});
            }
        }
    }
    ASSERT_EQ(replacements.size(), std::size(cases));
    std::string out;
    ASSERT_TRUE(CRefRewrite::Apply(kPage, replacements, &out));
    EXPECT_EQ(out, Replaced(kPage, edits));
    // The page reads back with the new addresses (srcset's percent-encoded).
    std::vector<std::string> urls;
    for (const CPageRef& r : CHtmlRefs::Find(out))
        urls.push_back(r.url);
    for (const auto& c : cases) {
        if (c.written.find('%') == std::string::npos) {
            EXPECT_NE(std::find(urls.begin(), urls.end(), c.url), urls.end()) << c.url;
        }
    }

    // Overlapping or out-of-range replacements change nothing.
    out = "kept";
    replacements.push_back(replacements.front());
    EXPECT_FALSE(CRefRewrite::Apply(kPage, replacements, &out));
    CPageRef past;
    past.begin = kPage.size();
    past.end = kPage.size() + 1;
    EXPECT_FALSE(CRefRewrite::Apply(kPage, {{past, "x"}}, &out));
    EXPECT_EQ(out, "kept");
}

TEST(HtmlRefs, ClonedElementsAndLeadingCharacterReferencesKeepOneRightRange)
{
    // The parser clones the <a> to mend the nesting; an unquoted value that
    // begins with a reference has its raw start misplaced by the parser.
    const std::string page = "<b><a href=x.htm><p>c</b></a><table><td background=&#x41;.png>";
    EXPECT_EQ(Listed(CHtmlRefs::Find(page), page),
              (std::vector<std::string>{"link x.htm [x.htm]", "bg A.png [&#x41;.png]"}));
}

TEST(CssRefs, ReadsCommentsStringsAndEscapesAsCssDoes)
{
    const struct { std::string css; std::vector<std::string> refs; } cases[] = {
        {"/* url(a.png) */ b{c:url(b.png)} /* open url(c.png)", {"url b.png [url(b.png)]"}},
        {"a{b:url(\"x\\\"y.png\")} c{d:url('it\\'s.png' )}",
         {"url x\"y.png [url(\"x\\\"y.png\")]", "url it's.png [url('it\\'s.png' )]"}},
        {"@import \"s.css\" screen;@import url(t.css);@IMPORT/* c */'u.css';@import x \"no.css\";",
         {"import s.css [\"s.css\"]", "import t.css [url(t.css)]", "import u.css ['u.css']"}},
        {"a{content:\"url(no.png)\"} myurl(no.png) #url(no.png) b{c:URL( yes.png )}", {"url yes.png [URL( yes.png )]"}},
        {"a{b:url(sp ace.png)} e{f:url(ok.png)} c{d:url(\"bad\nstring)}", {"url ok.png [url(ok.png)]"}},
        {"a{b:u\\72l(\\28 x\\29.png)} c{d:url()}", {"url (x).png [u\\72l(\\28 x\\29.png)]"}},
        {"a{b:url(\"a.png\" format(\"x\"))} c{d:url(\"open", {"url a.png [url(\"a.png\" format(\"x\"))]", "url open [url(\"open]"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Listed(CCssRefs::Find(c.css), c.css), c.refs) << c.css;

    // An import stays a string ("@importurl(" would be one name); a blank
    // after an escape would end the escape, so it is escaped too.
    const std::string css = "@import's.css';a{b:url(x.png)}";
    const auto refs = CCssRefs::Find(css);
    std::string out;
    ASSERT_TRUE(CRefRewrite::Apply(css, {{refs[0], "P/s.css"}, {refs[1], "P/<x\n \\.png"}}, &out));
    EXPECT_EQ(out, "@import\"P/s.css\";a{b:url(\"P/\\00003Cx\\00000A\\000020\\\\.png\")}");
    EXPECT_EQ(CCssRefs::Find(out)[1].url, "P/<x\n \\.png");
}

TEST(CaptureUrl, ResolvesLikeABrowserAndFetchesOnlyHttp)
{
    const std::string base = "https://ex.com/site/p.html?q#f";
    const struct { std::string ref, resolved; } cases[] = {
        {"a.png", "https://ex.com/site/a.png"},
        {"../up.png", "https://ex.com/up.png"},
        {"/root.png", "https://ex.com/root.png"},
        {"//cdn.ex/x.png", "https://cdn.ex/x.png"},
        {"http://other/x%20y.png", "http://other/x%20y.png"},
        {"?v=2", "https://ex.com/site/p.html?v=2"},
        {"a b.png", "https://ex.com/site/a%20b.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CCaptureUrl::Resolve(base, c.ref), c.resolved) << c.ref;
    EXPECT_EQ(CCaptureUrl::Resolve("not absolute", "a.png"), "");

    for (const char* url : {"http://h/x", "HTTPS://h/x"})
        EXPECT_TRUE(CCaptureUrl::MayFetch(url)) << url;
    for (const char* url : {"javascript:alert(1)", "data:image/png,x", "file:///etc/passwd", "krv:open", "ftp://h/x",
                            "http:/nohost", "x.png", ""})
        EXPECT_FALSE(CCaptureUrl::MayFetch(url)) << url;

    // A base that would make every address a script is no base.
    CPageRef script;
    script.kind = CPageRef::Kind::Base;
    script.url = "javascript:x";
    EXPECT_EQ(CCaptureUrl::DocumentBase("https://ex.com/p", {script}), "https://ex.com/p");
}

TEST(AssetName, HostileAddressesGiveOnePlainEntry)
{
    const std::string eAcute = "\xC3\xA9";
    std::string longUtf8, cutUtf8;
    for (int i = 0; i < 60; ++i)
        longUtf8 += eAcute;
    for (int i = 0; i < 38; ++i)
        cutUtf8 += eAcute;
    const struct { std::string url, name; } cases[] = {
        {"http://h/a/b/pic.png?v=1#top", "pic.png"},
        {"http://h/../../x.png", "x.png"},
        {"http://h/a/..%2F..%2Fx.png", "_.._x.png"},
        {"http://h/a%5Cb%3A.png", "a_b_.png"},
        {"http://h/a%0Ab%00c%7F.png", "a_b_c_.png"},
        {"http://h/a%E2%80%AEgnp.exe", "a_gnp.exe"},
        {"http://h/%FF.png", "\xEF\xBF\xBD.png"},
        {"http://h/.htaccess", "htaccess"},
        {"http://h/x.png.. ", "x.png"},
        {"http://h/%2e%2e", "file"},
        {"http://h/...", "file"},
        {"http://h/", "file"},
        {"", "file"},
        {"http://h/" + std::string(200, 'a') + ".png", std::string(76, 'a') + ".png"},
        {"http://h/" + longUtf8 + ".png", cutUtf8 + ".png"},
        {"http://h/" + std::string(100, 'a') + "." + std::string(30, 'b'), std::string(80, 'a')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAssetName::FromUrl(c.url), c.name) << c.url;

    EXPECT_EQ(CAssetName::WithExtension("pic", "Image/PNG; charset=x"), "pic.png");
    EXPECT_EQ(CAssetName::WithExtension("pic.gif", "image/png"), "pic.gif");
    EXPECT_EQ(CAssetName::WithExtension("pic", "application/x-unknown"), "pic");

    CAssetNameSet names;
    names.Add("a.png");
    EXPECT_EQ(names.Claim("A.PNG"), "A-2.PNG");
    EXPECT_EQ(names.Claim("a.png"), "a-3.png");
    EXPECT_EQ(names.Claim("b"), "b");
    EXPECT_EQ(names.Claim("B"), "B-2");
    const std::string full = std::string(76, 'x') + ".png";
    EXPECT_EQ(names.Claim(full), full);
    EXPECT_EQ(names.Claim(full), std::string(74, 'x') + "-2.png");
}

}  // namespace
