// Links of the start and folder pages: which view runs what, the prefix and
// case rules, the decoding of a project path, web addresses.

#include <gtest/gtest.h>

#include "app/core/CKrvCommands.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

using View = CKrvCommands::tagKRVVIEW;
constexpr View kStart = CKrvCommands::VIEW_START;
constexpr View kFolder = CKrvCommands::VIEW_FOLDER;

// Commands whose actions only record that they ran.
class KrvTest : public ::testing::Test {
protected:
    KrvTest()
    {
        CKrvActions& a = krv.GetActions();
        a.newProject = [this] { ran.push_back("new project"); };
        a.openProjectDialog = [this] { ran.push_back("open dialog"); };
        a.openProjectFile = [this](const std::u16string& path) { ran.push_back("open " + Utf8(path)); };
        a.newPage = [this] { ran.push_back("new page"); };
        a.newFolder = [this] { ran.push_back("new folder"); };
    }

    // Navigates and returns what ran, the messages and what left for the
    // browser, all cleared for the next call.
    Texts Go(View view, const std::u16string& url, bool expectCancel = true)
    {
        EXPECT_EQ(krv.OnBeforeNavigate(view, url), expectCancel) << Utf8(url);
        Texts all = ran;
        for (const std::string& text : ui.MessageTexts())
            all.push_back("message " + text);
        for (const std::string& uri : ui.opened)
            all.push_back("browser " + uri);
        ran.clear();
        ui.messages.clear();
        ui.opened.clear();
        return all;
    }

    ScriptedUI ui;
    CKrvCommands krv;
    Texts ran;
};

TEST_F(KrvTest, FolderPageCommandsAreCaseBlindPrefixes)
{
    EXPECT_EQ(Go(kFolder, u"krv:CreatePage"), Texts{"new page"});
    EXPECT_EQ(Go(kFolder, u"krv:createpages"), Texts{"new page"});
    EXPECT_EQ(Go(kFolder, u"KRV:createFOLDER?x"), Texts{"new folder"});
    EXPECT_EQ(Go(kFolder, u"krv:"), Texts{});
    EXPECT_EQ(Go(kFolder, u"krv:create"), Texts{"message Unknown Command\r\ncreate"});
    // The start page's commands mean nothing here.
    EXPECT_EQ(Go(kFolder, u"krv://zandrel/openproject"), Texts{"message Unknown Command\r\n//zandrel/openproject"});
}

TEST_F(KrvTest, StartPageCommandsLiveUnderTheirPrefix)
{
    EXPECT_EQ(Go(kStart, u"krv://zandrel/createobject"), Texts{"new project"});
    EXPECT_EQ(Go(kStart, u"KRV://Zandrel/OpenProject"), Texts{"open dialog"});
    EXPECT_EQ(Go(kStart, u"krv://zandrel/"), Texts{});
    EXPECT_EQ(Go(kStart, u"krv:whatever"), Texts{"message Unknown Command\r\nwhatever"});
    EXPECT_EQ(Go(kStart, u"krv://zandrel/createpage"), Texts{"message Unknown Command\r\n//zandrel/createpage"});
    // The prefix must open the address: a command is cut at its length.
    EXPECT_EQ(Go(kStart, u"krv:xxxxxxxxxxcreateobject/krv://zandrel/"),
              Texts{"message Unknown Command\r\nxxxxxxxxxxcreateobject/krv://zandrel/"});
    krv.OnBeforeNavigate(kStart, u"krv:x");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Zandrel");
    EXPECT_EQ(ui.messages[0].buttons, MB_OK);
}

TEST_F(KrvTest, OpenFileDecodesItsPath)
{
    EXPECT_EQ(Go(kStart, u"krv://zandrel/open?file=%2Ftmp%2FNotes%2FWork.zand"), Texts{"open /tmp/Notes/Work.zand"});
    // "+" stays; a "%" without two hexadecimal digits stays; either case.
    EXPECT_EQ(Go(kStart, u"krv://zandrel/OPEN?FILE=/a+b%2b%2B%zz%4"), Texts{"open /a+b++%zz%4"});
    EXPECT_EQ(Go(kStart, u"krv://zandrel/open?file=/W%C3%B6rk%20Notes.zand"), Texts{"open /Wörk Notes.zand"});
    EXPECT_EQ(Go(kStart, u"krv://zandrel/open?file=/Wörk.zand"), Texts{"open /Wörk.zand"});
    // Bytes that are not UTF-8 (a stray byte, an overlong "/", a surrogate,
    // a cut sequence): the text as it stands.
    for (const char16_t* bad : {u"/caf%E9.zand", u"/%C0%AF.zand", u"/%ED%A0%80.zand", u"/%E6%97"})
        EXPECT_EQ(Go(kStart, std::u16string(u"krv://zandrel/open?file=") + bad), Texts{"open " + Utf8(bad)});
    EXPECT_EQ(Go(kStart, u"krv://zandrel/open?file="), Texts{"open "});
}

TEST_F(KrvTest, OpenFileRefusesANulInThePath)
{
    // Cut at the NUL, the path would name another file.
    EXPECT_EQ(Go(kStart, u"krv://zandrel/open?file=/tmp/Work.zand%00.txt"),
              Texts{"message Unknown Command\r\n//zandrel/open?file=/tmp/Work.zand%00.txt"});
    std::u16string raw = u"krv://zandrel/open?file=/tmp/a.zand";
    raw += u'\0';
    raw += u"b";
    EXPECT_EQ(Go(kStart, raw).size(), 1u);
    EXPECT_TRUE(ran.empty());
}

TEST_F(KrvTest, WebAddressesLeaveOtherAddressesStay)
{
    for (View view : {kStart, kFolder}) {
        EXPECT_EQ(Go(view, u"https://example.com/a?b"), Texts{"browser https://example.com/a?b"});
        EXPECT_EQ(Go(view, u"HTTP://example.com/"), Texts{"browser HTTP://example.com/"});
        EXPECT_EQ(Go(view, u"file:///tmp/page.htm", false), Texts{});
        EXPECT_EQ(Go(view, u"about:blank", false), Texts{});
        EXPECT_EQ(Go(view, u"", false), Texts{});
    }
}

TEST(KrvCommands, ActionsLeftEmptyDoNothing)
{
    ScriptedUI ui;
    CKrvCommands krv;
    EXPECT_TRUE(krv.OnBeforeNavigate(CKrvCommands::VIEW_FOLDER, u"krv:createpage"));
    EXPECT_TRUE(krv.OnBeforeNavigate(CKrvCommands::VIEW_START, u"krv://zandrel/open?file=/x.zand"));
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
