// The program's own pages and skin bitmaps as installed: each page link runs
// one known command in its view, the start page's recent-project links open
// the path they carry, the pages stand alone, and every bitmap the window
// loads is a 24-bit BMP the toolkit can read, cut into whole pictures.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <map>
#include <regex>
#include <set>

#include "app/core/CAppSettings.h"
#include "app/core/CKrvCommands.h"
#include "app/core/CPageMgr.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

const std::string kResources = ZANDREL_TEST_DATA "/../../resources/";

// The installed folders as the core forms them.
struct Folders {
    Folders() { folders.Build(); }
    fs::path Path(const std::u16string& path) const { return fs::path(Utf8(path)); }

    ScopedHome home;
    ScopedEnv assets{"ZANDREL_ASSETS_DIR", kResources};
    CDataFolders folders;
};

// The first group of every match: quoted "krv:" texts (link targets and
// script literals) or link targets.
std::set<std::string> Found(const std::string& html, const char* pattern)
{
    std::set<std::string> found;
    const std::regex re(pattern, std::regex::icase);
    for (auto it = std::sregex_iterator(html.begin(), html.end(), re); it != std::sregex_iterator(); ++it)
        found.insert((*it)[1]);
    return found;
}
std::set<std::string> KrvTexts(const std::string& html) { return Found(html, "\"(krv:[^\"]*)\""); }
std::set<std::string> Hrefs(const std::string& html) { return Found(html, "href=\"([^\"]*)\""); }

// What a script's encodeURIComponent makes of a path.
std::string EncodeComponent(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text)
        out += std::isalnum(c) || std::string("-_.!~*'()").find(char(c)) != std::string::npos
                   ? std::string(1, char(c))
                   : std::string{'%', hex[c >> 4], hex[c & 15]};
    return out;
}

class ResourcePagesTest : public ::testing::Test {
protected:
    ResourcePagesTest()
    {
        CKrvActions& a = krv.GetActions();
        a.newProject = [this] { ran.push_back("new project"); };
        a.openProjectDialog = [this] { ran.push_back("open dialog"); };
        a.openProjectFile = [this](const std::u16string& path) { ran.push_back("open " + Utf8(path)); };
        a.newPage = [this] { ran.push_back("new page"); };
        a.newFolder = [this] { ran.push_back("new folder"); };
    }

    // What following `url` ran; a message counts as a failure to parse.
    std::string Follow(CKrvCommands::tagKRVVIEW view, const std::string& url)
    {
        ran.clear();
        ui.messages.clear();
        EXPECT_TRUE(krv.OnBeforeNavigate(view, Utf16(url))) << url;
        EXPECT_TRUE(ui.messages.empty()) << url << ": " << (ui.messages.empty() ? "" : ui.messages[0].text);
        EXPECT_EQ(ran.size(), 1u) << url;
        return ran.empty() ? "" : ran[0];
    }

    std::string Page(const std::u16string& path)
    {
        std::string html = ReadBytes(folders.Path(path));
        EXPECT_FALSE(html.empty()) << Utf8(path);
        return html;
    }

    Folders folders;
    ScriptedUI ui;
    CKrvCommands krv;
    Texts ran;
};

TEST_F(ResourcePagesTest, StartPageButtonsRunTheProjectCommands)
{
    std::string html = Page(folders.folders.GetStartPage());
    for (const char* text : {">Open Project...<", ">Create New Project...<", ">Recent Projects<", "id=\"recentProjects\"",
                             "function setRecentProjects(list)"})
        EXPECT_NE(html.find(text), std::string::npos) << text;

    std::multiset<std::string> actions;
    for (const std::string& href : Hrefs(html))
        actions.insert(Follow(CKrvCommands::VIEW_START, href));
    EXPECT_EQ(actions, (std::multiset<std::string>{"new project", "open dialog"}));
}

TEST_F(ResourcePagesTest, RecentProjectLinksOpenThePathTheyCarry)
{
    std::string html = Page(folders.folders.GetStartPage());
    // The script's only command is the prefix of an open link.
    std::set<std::string> hrefs = Hrefs(html), scripted;
    for (const std::string& text : KrvTexts(html))
        if (!hrefs.count(text))
            scripted.insert(text);
    ASSERT_EQ(scripted.size(), 1u);
    const std::string prefix = *scripted.begin();

    for (const std::string path : {"/home/zoë/My Notes (2)/Wörk+Log.zand", "/tmp/a%20b&c=d?e#f.zand",
                                   "/srv/\xe6\x97\xa5\xe8\xa8\x98/\xf0\x9f\x93\x93 notes.zand"})
        EXPECT_EQ(Follow(CKrvCommands::VIEW_START, prefix + EncodeComponent(path)), "open " + path);
}

TEST_F(ResourcePagesTest, FolderPageLinksRunTheFolderCommands)
{
    std::string html = Page(folders.folders.GetFolderBlankPage());
    EXPECT_NE(html.find(">New Page<"), std::string::npos);
    EXPECT_NE(html.find(">New Folder<"), std::string::npos);

    std::multiset<std::string> actions;
    for (const std::string& text : KrvTexts(html))
        actions.insert(Follow(CKrvCommands::VIEW_FOLDER, text));
    EXPECT_EQ(actions, (std::multiset<std::string>{"new page", "new folder"}));
    // The start page's commands would only show "Unknown Command" here.
    EXPECT_EQ(html.find("krv://"), std::string::npos);
}

TEST_F(ResourcePagesTest, PagesAreSelfContainedUtf8)
{
    for (const std::u16string& path : {folders.folders.GetStartPage(), folders.folders.GetFolderBlankPage()}) {
        std::string html = Page(path);
        SCOPED_TRACE(Utf8(path));
        EXPECT_EQ(CUnicodeTool::ToUtf8(std::u16string_view(CUnicodeTool::FromUtf8(html))), html);
        EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
        // Nothing fetched from elsewhere: the pages show with no network
        // and from any folder.
        for (const char* outside : {"http", "src=", "<link", "url(", "@import", "<iframe"})
            EXPECT_EQ(html.find(outside), std::string::npos) << outside;
        for (const std::string& href : Hrefs(html))
            EXPECT_EQ(href.rfind("krv:", 0), 0u) << href;
    }
    EXPECT_EQ(Page(folders.folders.GetFolderBlankPage()).find("<script"), std::string::npos);
}

// ---- skin bitmaps ----

// A little-endian number of `size` bytes.
uint32_t Le(const std::string& bytes, size_t at, int size = 4)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct Bitmap {
    int32_t width = 0, height = 0;
    std::string bytes;
    size_t Stride() const { return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3); }
    // Top-down row and column, as drawn.
    uint32_t Pixel(int x, int y) const
    {
        return Le(bytes, Le(bytes, 10) + Stride() * size_t(height - 1 - y) + size_t(x) * 3, 3);
    }
};

// Checks the headers a 24-bit uncompressed BMP needs; the size on disk
// must hold every row with its padding.
Bitmap ReadBitmap(const fs::path& path)
{
    Bitmap bmp;
    bmp.bytes = ReadBytes(path);
    const std::string& b = bmp.bytes;
    EXPECT_GE(b.size(), 54u) << path;
    if (b.size() < 54)
        return bmp;
    EXPECT_EQ(b.substr(0, 2), "BM") << path;
    // File size, header size, planes, bits per pixel, compression.
    EXPECT_EQ((std::vector<uint32_t>{Le(b, 2), Le(b, 14), Le(b, 26, 2), Le(b, 28, 2), Le(b, 30)}),
              (std::vector<uint32_t>{uint32_t(b.size()), 40, 1, 24, 0})) << path;
    EXPECT_GE(Le(b, 10), 54u) << path;
    bmp.width = static_cast<int32_t>(Le(b, 18));
    bmp.height = static_cast<int32_t>(Le(b, 22));
    EXPECT_TRUE(bmp.width > 0 && bmp.height > 0) << path;
    size_t need = Le(b, 10) + bmp.Stride() * static_cast<size_t>(bmp.height);
    EXPECT_GE(b.size(), need) << path;
    if (b.size() < need || bmp.width <= 0 || bmp.height <= 0)
        bmp.width = bmp.height = 0;
    return bmp;
}

TEST(SkinBitmaps, EveryStripIsWholePicturesOnTheKeyColour)
{
    Folders folders;
    const fs::path skin = folders.Path(folders.folders.GetSkinFolder());
    EXPECT_EQ(folders.Path(folders.folders.GetColctFolderBitmap()), skin / "colctfolder.bmp");

    // Picture size of each strip; 0 for a bar background, stretched.
    const std::map<std::string, int> skins = {
        {"colctfolder", 16}, {"StyleIcon", 16}, {"colctdoc", 16},  {"Flags", 16},     {"NoteBarBg", 0},
        {"NoteBar2Bg", 0},   {"BarNav", 20},    {"BarNavDis", 20}, {"BarGeneral", 20}, {"BarGeneralDis", 20},
        {"Icons20", 20},     {"ExtraIcons", 16},
    };
    std::map<std::string, Bitmap> loaded;
    for (const auto& [name, size] : skins) {
        SCOPED_TRACE(name);
        Bitmap bmp = ReadBitmap(skin / (name + ".bmp"));
        if (size == 0) {
            EXPECT_LE(bmp.width, 8);
            EXPECT_GT(bmp.height, 0);
        } else {
            ASSERT_EQ(bmp.height, size);
            ASSERT_EQ(bmp.width % size, 0);
            // The top left pixel of each picture is the transparent key.
            for (int x = 0; x < bmp.width; x += size)
                EXPECT_EQ(bmp.Pixel(x, 0), 0xFF00FFu) << "picture " << x / size;
        }
        loaded[name] = std::move(bmp);
    }

    // Flag n is picture n + 3, so the strip runs to the last flag's.
    int lastPicture = 0;
    for (const CPageMgr::CFlagEntry& entry : CPageMgr::GetFlagTable())
        lastPicture = std::max(lastPicture, entry.picture);
    EXPECT_EQ(loaded["Flags"].width, (lastPicture + 1) * 16);
    EXPECT_EQ(lastPicture, CPageMgr::kFlagCount - 1 + 3);

    // A disabled bar swaps in picture for picture.
    EXPECT_EQ(loaded["BarNavDis"].width, loaded["BarNav"].width);
    EXPECT_EQ(loaded["BarGeneralDis"].width, loaded["BarGeneral"].width);
}

}  // namespace
