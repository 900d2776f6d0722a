#pragma once

#include "base/ZandrelExport.h"

// Identifiers, keyboard state and freeing of library allocations.
class ZANDREL_API CBaseTool {
public:
    // Bits a modifier hook reports for the keys held down.
    enum ModifierKey : unsigned { Shift = 1, Ctrl = 2, Alt = 4 };
    // Returns the ModifierKey bits of the keys held now.
    using ModifierHook = unsigned (*)();

    // A new random UUID as 36 lower-case characters and a NUL. False, with
    // the buffer untouched, when `size` (in characters) is below 37.
    static bool GetUUID(char16_t* buffer, int size);
    // A new UUID as a length-counted string (CSysString::Free); null when
    // memory runs out.
    static char16_t* NewUUIDString();

    // The window shell installs the function that reads the keyboard; null
    // removes it.
    static void SetModifyKeyStateHook(ModifierHook hook);
    // 0 none, 1 Shift, 2 Ctrl, 3 Alt, 4 Shift and Ctrl together; 0 when no
    // hook is installed.
    static int GetModifyKeyState();

    // The RFC 822 date of `t` in local time, as CQVTime::FormatPubDate
    // writes it. False, with an empty string when `size` allows one, for a
    // buffer of fewer than 40 characters.
    static bool GetPubDate(long t, char16_t* buffer, int size);

    // Frees a byte buffer returned by the library; null is allowed.
    static void Delete(void* pointer);
};
