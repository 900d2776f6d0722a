// What the window hands to the page view: formatting commands, colours and
// link addresses.

#include <gtest/gtest.h>

#include "app/core/CCommandTable.h"
#include "app/shell/CPageCommands.h"

namespace {

// Every plain Format entry but the colours has an engine command.
TEST(PageCommands, FormattingEntriesHaveEngineCommands)
{
    for (const CMenuEntry& entry : CCommandTable::GetEntries()) {
        if (entry.menu != MENU_FORMAT || entry.kind != ENTRY_COMMAND)
            continue;
        bool colour = entry.id == CCommandTable::ID_FORE_COLOR || entry.id == CCommandTable::ID_BACK_COLOR ||
                      entry.id == CCommandTable::ID_HIGHLIGHT || entry.id == CCommandTable::ID_PAGE_COLOR;
        EXPECT_EQ(CPageCommands::GetEditingCommand(entry.id) != nullptr, !colour) << entry.id;
    }
    EXPECT_EQ(CPageCommands::GetEditingCommand(CCommandTable::ID_SAVE_PAGE), nullptr);
}

TEST(PageCommands, ColoursAndLinks)
{
    EXPECT_EQ(CPageCommands::ToHexColour({1.0, 0.5, 0.0, 1.0}), "#ff8000");
    EXPECT_EQ(CPageCommands::ToHexColour({-0.2, 1.4, 0.2, 1.0}), "#00ff33");

    EXPECT_TRUE(CPageCommands::IsAcceptableLink("https://example.com/a?b=c#d"));
    EXPECT_TRUE(CPageCommands::IsAcceptableLink("mailto:me@example.com"));
    for (const char* bad : {"", "   ", "javascript:alert(1)", " JavaScript:x", "vbscript:x",
                            "data:text/html,<script>", "https://a\nb"})
        EXPECT_FALSE(CPageCommands::IsAcceptableLink(bad)) << bad;
}

}  // namespace
