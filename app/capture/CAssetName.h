#pragma once

// File names for a page's assets, made from the addresses they came from.
// Whatever a page or server sends, a name made here is one plain entry of
// the assets folder: it can name no other folder, no hidden file, and no
// two assets get the same name even where case does not count.

#include <string>
#include <string_view>
#include <unordered_set>

class CAssetName {
public:
    CAssetName() = delete;

    // Longest name in UTF-8 bytes: far under any file system's limit, so
    // the assets folder's path stays usable and a number still fits.
    static constexpr size_t kMaxBytes = 80;
    // The name when the address gives none ("http://host/", "..").
    static constexpr std::string_view kFallback = "file";
    // Longest extension kept when a name is cut.
    static constexpr size_t kMaxExtensionBytes = 16;

    // The last path segment of `url`, percent-decoded, made safe: "/" and
    // "\", control characters and characters some file systems refuse
    // become "_", leading dots and trailing dots and blanks go, and it is
    // cut to kMaxBytes on a character boundary keeping its extension.
    // Never empty.
    static std::string FromUrl(std::string_view url);

    // `name` with the usual extension of `contentType` ("image/png;
    // q=1" gives ".png") when it has none and the type is known.
    static std::string WithExtension(std::string_view name, std::string_view contentType);

    // Cuts `name` to `maxBytes`, keeping its extension.
    static std::string Cut(std::string_view name, size_t maxBytes);
};

// The names already used in one assets folder, compared without regard
// to case, handing out free ones.
class CAssetNameSet {
public:
    // Records a name as used (a file already in the folder).
    void Add(std::string_view name);
    bool Contains(std::string_view name) const;
    // `name` if it is free, else "name-2.ext", "name-3.ext"... (cut to
    // stay within the cap), recorded as used.
    std::string Claim(std::string_view name);

private:
    static std::string Key(std::string_view name);
    std::unordered_set<std::string> m_used;
};
