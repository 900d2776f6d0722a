#pragma once

#include "base/ZandrelExport.h"

// Hexadecimal MD5 digests of text.
class ZANDREL_API CEncodingTool {
public:
    // MD5 of the UTF-8 form of `text` (null counts as empty) as 32 upper-case
    // hexadecimal characters and a NUL; `out` holds at least 33 characters.
    // False only for a null `out`.
    static bool GetWideCharMD5(const char16_t* text, char16_t* out);
    // The same in lower case.
    static bool GetWideCharLowerMD5(const char16_t* text, char16_t* out);
    // The 16 digest bytes as 32 hexadecimal characters and a NUL, most
    // significant nibble first (for digests made with CMD5Digest directly).
    static void FormatDigest(const unsigned char* digest, char16_t* out, bool lowerCase);
};
