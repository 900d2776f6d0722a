// Export of a project's pages: what a browser finds in the exported folder,
// the same files in a zip, and the targets it refuses or leaves untouched.

#include <archive.h>
#include <archive_entry.h>
#include <glib.h>
#include <libxml/HTMLparser.h>

#include <set>

#include "app/export/CExport.h"
#include "tests/app/core/folders/FolderTestUtil.h"

namespace {

using Files = std::set<std::string>;

class ExportTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        CColctNode* root = tree.EnsureColct(tree.GetRoot());
        report = AddPage(root, u"Report B", u"work,2009");
        report->SetDescription(u"a <b> & c");
        WriteBytes(content / "Report B.htm", "<p><img src=\"Report%20B_files/pic.png\"><a href=\"https://x.org/\">x</a>");
        WriteBytes(content / "Report B_files" / "pic.png", "png");
        fs::create_symlink("/etc/passwd", content / "Report B_files" / "leak");
        AddPageItem(root->GetLocRNodeRoot(), u"never saved", u"about:blank");
        AddPageItem(root->GetLocRNodeRoot(), u"stray", u"../../escape.htm");
        RNode* sub = AddFolder(tree.GetRoot(), u"Sub");
        // A page that takes the index page's own name.
        AddPageItem(tree.EnsureColct(sub)->GetLocRNodeRoot(), u"index", u"index.html");
        WriteBytes(content / "Sub" / "index.html", "<a href=\"../index.html\">up</a>");
    }

    static Files FilesIn(const fs::path& folder)
    {
        Files files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files.insert(fs::relative(entry.path(), folder).generic_string());
        return files;
    }

    // Every relative href and src of the exported pages that leads nowhere.
    static Files BrokenLinks(const fs::path& folder)
    {
        Files broken;
        for (const std::string& file : FilesIn(folder)) {
            if (!file.ends_with(".htm") && !file.ends_with(".html"))
                continue;
            htmlDocPtr doc = htmlReadFile((folder / file).c_str(), "utf-8", HTML_PARSE_NOERROR | HTML_PARSE_NONET);
            std::vector<xmlNode*> stack{xmlDocGetRootElement(doc)};
            while (!stack.empty()) {
                xmlNode* node = stack.back();
                stack.pop_back();
                for (; node; node = node->next) {
                    for (const char* name : {"href", "src"}) {
                        xmlChar* value = xmlGetProp(node, BAD_CAST name);
                        std::string link = value ? reinterpret_cast<char*>(value) : "";
                        xmlFree(value);
                        char* plain = g_uri_unescape_string(link.c_str(), nullptr);
                        if (!link.empty() && link.find(':') == std::string::npos &&
                            !fs::exists((folder / file).parent_path() / plain))
                            broken.insert(file + " -> " + link);
                        g_free(plain);
                    }
                    if (node->children)
                        stack.push_back(node->children);
                }
            }
            xmlFreeDoc(doc);
        }
        return broken;
    }

    CExport::Result Export(const fs::path& target, bool zip, bool overwrite = false, bool cancel = false)
    {
        return CExport::Write(CExport::Plan(tree, tree.GetRoot()), U16(target), zip, overwrite, nullptr,
                              [cancel] { return cancel; }, &error);
    }

    CUrlNode* report = nullptr;
    fs::path out = home.Root() / "out";
    std::u16string error;
};

TEST_F(ExportTest, AFolderTreeOpensInABrowserWithEveryLinkFound)
{
    ASSERT_EQ(Export(out, false), CExport::DONE) << Utf8(error);
    const Files expected{"index.html", "Report B.htm", "Report B_files/pic.png", "Sub/index.html",
                         "Sub/index-2.html"};
    EXPECT_EQ(FilesIn(out), expected);
    EXPECT_EQ(BrokenLinks(out), Files{});
    std::string index = ReadBytes(out / "index.html");
    for (const char* part : {"<title>Notes</title>", "<a href=\"Sub/index-2.html\">Sub</a>",
                             "<td><a href=\"Report%20B.htm\">Report B</a></td><td>work, 2009</td>"
                             "<td>a &lt;b&gt; &amp; c</td>"})
        EXPECT_NE(index.find(part), std::string::npos) << part;
    EXPECT_EQ(ReadBytes(out / "Report B.htm"), ReadBytes(content / "Report B.htm"));

    // The same files in one zip.
    fs::path zip = home.Root() / "out.zip";
    ASSERT_EQ(Export(zip, true), CExport::DONE) << Utf8(error);
    Files listed;
    archive* reader = archive_read_new();
    archive_read_support_format_zip(reader);
    ASSERT_EQ(archive_read_open_filename(reader, zip.c_str(), 10240), ARCHIVE_OK);
    for (archive_entry* entry; archive_read_next_header(reader, &entry) == ARCHIVE_OK;)
        listed.insert(archive_entry_pathname(entry));
    archive_read_free(reader);
    EXPECT_EQ(listed, expected);

    // One page: the page and its assets only.
    fs::path one = home.Root() / "one";
    ASSERT_EQ(CExport::Write(CExport::Plan(tree, tree.GetRoot(), report), U16(one), false, false, nullptr, nullptr,
                             &error),
              CExport::DONE);
    EXPECT_EQ(FilesIn(one), (Files{"Report B.htm", "Report B_files/pic.png"}));
}

TEST_F(ExportTest, NeverWritesIntoTheProjectOverAnythingUnaskedOrWhenCancelled)
{
    EXPECT_EQ(Export(content / "Sub" / "out", false), CExport::INSIDE_PROJECT);
    EXPECT_FALSE(fs::exists(content / "Sub" / "out"));

    // An existing folder only when asked, and what else it holds stays.
    WriteBytes(out / "mine.txt", "mine");
    EXPECT_EQ(Export(out, false), CExport::EXISTS);
    EXPECT_EQ(FilesIn(out), Files{"mine.txt"});
    ASSERT_EQ(Export(out, false, true), CExport::DONE);
    EXPECT_EQ(FilesIn(out).count("mine.txt"), 1u);
    EXPECT_EQ(FilesIn(out).size(), 6u);
    EXPECT_EQ(Export(out, true, true), CExport::FAILED);  // a folder is no zip

    fs::path zip = home.Root() / "old.zip";
    WriteBytes(zip, "old");
    EXPECT_EQ(Export(zip, true), CExport::EXISTS);
    EXPECT_EQ(ReadBytes(zip), "old");

    // A cancelled export leaves nothing, not even its temporary files.
    const Files before = FilesIn(home.Root());
    EXPECT_EQ(Export(home.Root() / "new", false, false, true), CExport::CANCELLED);
    EXPECT_EQ(Export(home.Root() / "new.zip", true, false, true), CExport::CANCELLED);
    EXPECT_EQ(FilesIn(home.Root()), before);
    EXPECT_FALSE(fs::exists(home.Root() / "new"));
}

}  // namespace
