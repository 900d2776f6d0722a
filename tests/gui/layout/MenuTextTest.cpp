#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/core/CCommandTable.h"
#include "app/shell/CMenuText.h"

namespace {

// A caption's label for the menu, its plain form, and its mnemonic letter.
TEST(MenuText, LabelsAndMnemonics)
{
    struct {
        const char16_t* caption;
        const char *mnemonicLabel, *plainLabel;
        char16_t mnemonic;
    } const cases[] = {
        {u"E&xit\tCtrl+Q", "E_xit", "Exit", u'x'},
        {u"&About Korvel Zandrel", "_About Korvel Zandrel", "About Korvel Zandrel", u'a'},
        {u"Add Tags && Description\tCtrl+T", "Add Tags & Description", "Add Tags & Description", 0},
        {u"Tags && &Notes", "Tags & _Notes", "Tags & Notes", u'n'},
        {u"Save Page\tCtrl+&S", "Save Page", "Save Page", 0},  // not in the label part
        {u"a_b && c", "a__b & c", "a_b & c", 0},
        {u"Trailing&", "Trailing", "Trailing", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mnemonicLabel);
        EXPECT_EQ(CMenuText::ToMnemonicLabel(c.caption), c.mnemonicLabel);
        EXPECT_EQ(CMenuText::ToPlainLabel(c.caption), c.plainLabel);
        EXPECT_EQ(CMenuText::GetMnemonic(c.caption), c.mnemonic);
    }
    EXPECT_EQ(CMenuText::GetShortcutLabel(u"New Page\tAlt+N  or Ctrl+N"), "Alt+N  or Ctrl+N");
    EXPECT_EQ(CMenuText::GetShortcutLabel(u"&About Korvel Zandrel"), "");
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
