#pragma once

#include <string>
#include <string_view>

#include "base/ZandrelExport.h"

// Conversions between the system's UTF-16 text and UTF-8 or the system code
// page. Ill-formed input never fails a conversion: a lone surrogate, or each
// maximal ill-formed part of a UTF-8 sequence, becomes U+FFFD. No
// byte-order mark is written or expected.
//
// Byte buffers are allocated with one extra NUL byte and released with
// DeleteBuffer; `length` receives the byte count without that NUL.
class ZANDREL_API CUnicodeTool {
public:
    // NUL-terminated UTF-16 (null counts as empty) to UTF-8; false only
    // when memory runs out.
    static bool TCHARGetUTF8(const char16_t* text, char** bytes, int* length);
    // The same for a length-counted string (CSysString); embedded NULs are
    // converted too.
    static bool BSTRGetUTF8(const char16_t* sysString, char** bytes, int* length);
    // NUL-terminated UTF-16 to the code page of the current locale
    // (LC_CTYPE); characters it cannot represent become '?'.
    static bool TCHARGetASCII(const char16_t* text, char** bytes, int* length);
    // UTF-8 to a new length-counted string (free with CSysString::Free).
    // A `length` of 0 (or below) means up to the first NUL. Null or empty
    // input gives false and sets *text to null.
    static bool UTF8GetBSTR(char16_t** text, const char* bytes, int length);
    // Frees a buffer returned above; null is allowed.
    static void DeleteBuffer(char* bytes);

    // The same conversions for code that works with standard strings. Null
    // counts as empty; an empty result is also what running out of memory
    // gives.
    static std::string ToUtf8(const char16_t* text);
    static std::string ToUtf8(std::u16string_view text);
    static std::u16string FromUtf8(std::string_view bytes);
    // Appends the UTF-8 form of `text` to `out` (no allocation beyond
    // growing `out`, for writers on hot paths).
    static void AppendUtf8(std::u16string_view text, std::string& out);
    // Appends the UTF-16 form of the UTF-8 `bytes` to `out`.
    static void AppendUtf16(std::string_view bytes, std::u16string& out);

    // Whether `bytes` are well-formed UTF-8: no overlong forms, surrogates,
    // values past U+10FFFF or cut sequences.
    static bool IsValidUtf8(std::string_view bytes);
};
