#pragma once

// The bytes of page files: character sets and the links from a page into
// its assets folder. Works on UTF-8 bytes, so text the page holds that is
// not touched stays byte for byte.

#include <string>

class CPageHtml {
public:
    CPageHtml() = delete;

    // Code pages of the page view's documents.
    static constexpr int kUtf8 = 65001;
    static constexpr int kUtf16 = 1200;

    // The document in UTF-8 from bytes in `codePage`, with a declared
    // character set in its head changed to "utf-8" when the bytes were
    // converted. False when the code page is unknown or the bytes do not
    // convert.
    static bool ToUtf8(const std::string& bytes, int codePage, std::string* utf8);
    // The same from bytes in the character set named `charset` as HTTP and
    // <meta> name it ("iso-8859-1", "Shift_JIS"; labels browsers read as
    // windows-1252 are read so).
    static bool ToUtf8(const std::string& bytes, const std::string& charset, std::string* utf8);
    // A page file as read from disk in UTF-8: a UTF-16 file (FF FE) is
    // converted, UTF-8 is taken as it is. False for anything else, whose
    // character set cannot be told from the bytes.
    static bool FileToUtf8(const std::string& bytes, std::string* utf8);

    // Points the character set declared by the first <meta> of the head
    // that declares one at "utf-8". False when there is none.
    static bool SetMetaCharsetUtf8(std::string& html);

    // Rewrites the src of every <img> that points into the assets folder
    // named `oldFolder` ("Old_files/...", "./Old_files/...", percent- or
    // entity-encoded as browsers write them) to point into `newFolder`.
    // Names are plain folder names in UTF-8. Returns how many changed.
    static int RewriteImageSources(std::string& html, const std::string& oldFolder, const std::string& newFolder);
};
