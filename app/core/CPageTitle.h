#pragma once

// Rules for the title of a page, which is also the name of its file: the
// characters a file name cannot hold are refused while typing and replaced
// when a whole title is taken.

#include <string>
#include <string_view>

class CPageTitle {
public:
    CPageTitle() = delete;

    // The shell calls this after every edit of the title box. A forbidden
    // character typed at the end is taken out again and the user is told;
    // false then. Text pasted in whole is left for Clean.
    static bool OnTitleTextChanged(std::u16string& text);
    // \ / < > become "-", : * ? " | a blank, then the blanks around go.
    static std::u16string Clean(std::u16string_view title);
    // The nine characters no folder name or page title may hold.
    static bool IsForbidden(char16_t c);
    // Them as the user is shown them: separated by blanks.
    static std::u16string GetCharacterList();
    // "A Page title cannot contain ..." with the list of characters.
    static std::u16string GetForbiddenMessage();

    // "Untitled-" + the digits of a number from 1 (10 to 18 characters in
    // all); 0 for any other title.
    static long GetUntitledNumber(std::u16string_view title);
    static std::u16string GetUntitledTitle(long number);
};
