#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/core/CCommandTable.h"
#include "app/shell/CMenuText.h"

namespace {

TEST(MenuText, MnemonicsAmpersandsAndUnderscores)
{
    EXPECT_EQ(CMenuText::ToMnemonicLabel(u"E&xit"), "E_xit");
    EXPECT_EQ(CMenuText::ToMnemonicLabel(u"&Undo\tCtrl+Z"), "_Undo");
    EXPECT_EQ(CMenuText::ToMnemonicLabel(u"Add Tags && Description\tCtrl+T"), "Add Tags & Description");
    EXPECT_EQ(CMenuText::ToMnemonicLabel(u"snake_case"), "snake__case");
    EXPECT_EQ(CMenuText::ToMnemonicLabel(u"Trailing&"), "Trailing");
    EXPECT_EQ(CMenuText::ToMnemonicLabel(u""), "");
    EXPECT_EQ(CMenuText::ToPlainLabel(u"&About Korvel Zandrel"), "About Korvel Zandrel");
    EXPECT_EQ(CMenuText::ToPlainLabel(u"a_b && c"), "a_b & c");
}

TEST(MenuText, MnemonicLetterIsFoundPastDoubledAmpersands)
{
    EXPECT_EQ(CMenuText::GetMnemonic(u"E&xit"), u'x');
    EXPECT_EQ(CMenuText::GetMnemonic(u"&About Korvel Zandrel"), u'a');
    EXPECT_EQ(CMenuText::GetMnemonic(u"Tags && &Notes"), u'n');
    EXPECT_EQ(CMenuText::GetMnemonic(u"Add Tags && Description\tCtrl+T"), 0);
    EXPECT_EQ(CMenuText::GetMnemonic(u"Save Page\tCtrl+&S"), 0);  // not in the label part
    EXPECT_EQ(CMenuText::GetMnemonic(u"Trailing&"), 0);
}

TEST(MenuText, ShortcutTextIsWhatFollowsTheTab)
{
    EXPECT_EQ(CMenuText::GetShortcutLabel(u"New Page\tAlt+N  or Ctrl+N"), "Alt+N  or Ctrl+N");
    EXPECT_EQ(CMenuText::GetShortcutLabel(u"E&xit"), "");
}

// Every caption of the table must make a label; a stray "&" or a shortcut
// leaking into the label would show in the menu bar.
TEST(MenuText, EveryTableCaptionGivesACleanLabel)
{
    for (const CMenuEntry& entry : CCommandTable::GetEntries()) {
        if (entry.kind == ENTRY_SEPARATOR)
            continue;
        std::string label = CMenuText::ToPlainLabel(entry.caption);
        EXPECT_FALSE(label.empty()) << entry.id;
        EXPECT_EQ(label.find('\t'), std::string::npos) << label;
        std::string mnemonic = CMenuText::ToMnemonicLabel(entry.caption);
        EXPECT_LE(std::count(mnemonic.begin(), mnemonic.end(), '_'), 1) << mnemonic;
    }
}

// The shell binds every accelerator once; two entries sharing one would
// make GTK pick either.
TEST(MenuText, NoAcceleratorIsBoundTwice)
{
    std::set<std::string> seen;
    for (const CMenuEntry& entry : CCommandTable::GetEntries())
        for (const std::string& accel : entry.accels)
            EXPECT_TRUE(seen.insert(accel).second) << accel;
}

}  // namespace
