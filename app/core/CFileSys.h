#pragma once

// File-system helpers on the UTF-16 paths the core works with. Folder paths
// end in "/". Failures report errno through the optional error argument.

#include <string>
#include <string_view>
#include <vector>

class CFileSys {
public:
    CFileSys() = delete;

    static std::string Native(const std::u16string& path);
    static std::u16string FromNative(const std::string& path);

    static bool Exists(const std::u16string& path);
    static bool IsDirectory(const std::u16string& path);
    static bool IsFile(const std::u16string& path);
    // The owner has no write permission: the counterpart of the read-only
    // attribute, which also holds for root.
    static bool IsReadOnly(const std::u16string& path);

    // Creates one directory; false with EEXIST when something is there.
    static bool MakeDir(const std::u16string& path, int* error = nullptr);
    static bool Rename(const std::u16string& from, const std::u16string& to, int* error = nullptr);
    static bool RemoveFile(const std::u16string& path, int* error = nullptr);
    // Copies bytes and permissions, replacing the target, flushed to disk.
    static bool CopyFile(const std::u16string& from, const std::u16string& to, int* error = nullptr);
    // Makes the "~" copy `to` of a file that is about to be replaced: a
    // second name of the same file (the writers replace files by rename, so
    // this name keeps the old content), or a copy where the file system has
    // no hard links.
    static bool MakeSafetyCopy(const std::u16string& from, const std::u16string& to, int* error = nullptr);
    // Puts the "~" copy back over `path` after a failed save. While both
    // names still lead to the same file, dropping the copy's name does it.
    static bool RestoreSafetyCopy(const std::u16string& copy, const std::u16string& path);
    // Replaces the file with `bytes` through a flushed temporary file in
    // the same folder, so a failure leaves the old file as it was.
    static bool WriteWholeFile(const std::u16string& path, const std::string& bytes);
    // The same, with the error number of a failure in `error`. `drop`, the
    // old file's "~" copy, goes once the new file has replaced it.
    static bool WriteWholeFile(const std::u16string& path, const std::string& bytes, int* error,
                               const std::u16string& drop = {});

    struct Entry {
        std::u16string name;
        bool directory = false;
        long created = 0;   // birth time where the file system keeps one, else change time
        long modified = 0;
        long accessed = 0;
    };
    // Entries of a directory without "." and ".."; false when it cannot be read.
    static bool ListDir(const std::u16string& path, std::vector<Entry>* entries);

    // "0X%08X", the way system error codes are shown to the user.
    static std::u16string ErrorCode(int error);

    static std::u16string WithSlash(const std::u16string& folder);
    static std::u16string WithoutSlash(const std::u16string& folder);
    // Folder part up to and including the last "/", and what follows it.
    static std::u16string FolderOf(const std::u16string& path);
    static std::u16string NameOf(const std::u16string& path);

    // The first symbolic link on the way from folder `root` down to `path`
    // (which lies below it) that leads outside `root` or nowhere; "" when
    // every link followed stays inside. `root` itself may be a link.
    static std::u16string FindLinkOutside(const std::u16string& path, const std::u16string& root);

    // A single file or folder name that stays where it is put: not empty,
    // not "." or "..", without "/", "\" or NUL.
    static bool IsPlainName(std::u16string_view name);
};
