#pragma once

// Earlier versions of a page, kept in its folder's data folder:
// <folder directory>/.zandrel/history/<page UUID>/<time>.htm
// A version is named after the UTC second it was kept
// ("20261207T210501Z.htm", "-2", "-3"... for more in the same second) and
// written whole through a temporary file. Each page keeps its last
// kKeepCount versions and every version younger than kKeepSeconds,
// whichever keeps more; the project's histories together stay under
// kProjectCapBytes. A UUID or a file name that is not of our making is
// never used to form a path.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CPageHistory {
public:
    struct CVersion {
        std::u16string file;  // absolute path of the version file
        int64_t time = 0;     // when it was kept: seconds since 1970, UTC
        int64_t size = 0;     // bytes
    };

    static constexpr size_t kKeepCount = 50;
    static constexpr int64_t kKeepSeconds = 30 * 24 * 60 * 60;
    static constexpr int64_t kProjectCapBytes = int64_t(500) * 1024 * 1024;

    // Keeps `bytes` as a version of the page whose file is `pageFile` (its
    // folder's data folder is found from it) unless a kept version has the
    // same MD5; then prunes. False when it could not be written (nothing
    // half-written is left).
    static bool Keep(const std::u16string& pageFile, const std::u16string& pageUuid, const std::string& bytes);
    // The same at the time `now` (seconds since 1970, UTC).
    static bool Keep(const std::u16string& pageFile, const std::u16string& pageUuid, const std::string& bytes,
                     int64_t now);
    // Newest first.
    static std::vector<CVersion> List(const std::u16string& pageFile, const std::u16string& pageUuid);
    // The bytes of `version`, which must be one of List's files; false for
    // any other path or when it does not read.
    static bool Read(const std::u16string& pageFile, const std::u16string& pageUuid, const std::u16string& version,
                     std::string* bytes);

    // Deletes every version of the page; false when some stayed.
    static bool Empty(const std::u16string& pageFile, const std::u16string& pageUuid);
    // Deletes the histories in the data folder of `folderDirectory` whose
    // page is not among `pageUuids` (pages deleted from the folder); how
    // many pages' histories went.
    static int EmptyDeleted(const std::u16string& folderDirectory, const std::vector<std::u16string>& pageUuids);
    // The page moved from `oldPageFile` to `newPageFile`: its history goes
    // to the new folder's data folder. False when some of it stayed behind.
    static bool Move(const std::u16string& oldPageFile, const std::u16string& newPageFile,
                     const std::u16string& pageUuid);

    // Applies the per-page rule to every history below `contentFolder`,
    // then, while they hold more than `capBytes`, deletes the oldest
    // versions, those outside the rule first; the newest version of a page
    // always stays.
    static void PruneProject(const std::u16string& contentFolder, int64_t capBytes, int64_t now);

    // "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in hexadecimal digits.
    static bool IsUuid(std::u16string_view text);
    // <folder of pageFile>.zandrel/history/<uuid>/; "" for a UUID of another form.
    static std::u16string GetFolder(const std::u16string& pageFile, const std::u16string& pageUuid);
    // The time a version file's name gives; false for any other name.
    static bool ParseName(std::u16string_view name, int64_t* time, int* serial = nullptr);
};
