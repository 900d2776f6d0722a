#pragma once

#include <cstdint>

#include "base/ZandrelExport.h"

// Length-counted UTF-16 strings handed across the library boundary. The
// length is kept in front of the characters, so embedded NULs survive, and
// every string is NUL-terminated as well. Release with Free, never delete.
class ZANDREL_API CSysString {
public:
    // A copy of the NUL-terminated text; null for null text or no memory.
    static char16_t* Alloc(const char16_t* text);
    // A string of `length` characters copied from `text` (zero-filled when
    // `text` is null); null when memory runs out.
    static char16_t* AllocLen(const char16_t* text, uint32_t length);
    // Releases a string made here; null is allowed.
    static void Free(char16_t* text);
    // The stored length in characters; 0 for null.
    static uint32_t Len(const char16_t* text);
};
