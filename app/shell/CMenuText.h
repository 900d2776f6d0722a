#pragma once

// Menu captions as the command table writes them, turned into what GTK
// shows: "&" marks the mnemonic, "&&" is an ampersand, and the shortcut
// text follows a "\t".

#include <string>
#include <string_view>

class CMenuText {
public:
    CMenuText() = delete;

    // The label part of a caption for a mnemonic GTK label: "&x" becomes
    // "_x", "&&" a plain "&", "_" is doubled so it stays an underscore.
    // A trailing lone "&" is dropped.
    static std::string ToMnemonicLabel(std::u16string_view caption);
    // The caption without its mnemonic marks and shortcut, for titles and
    // dialogs that show no mnemonic.
    static std::string ToPlainLabel(std::u16string_view caption);
    // The marked letter in lower case, or 0 when there is none.
    static char16_t GetMnemonic(std::u16string_view caption);
    // The shortcut text shown at the right of the entry; "" without one.
    static std::string GetShortcutLabel(std::u16string_view caption);
};
