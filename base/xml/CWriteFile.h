#pragma once

#include <sys/uio.h>

#include <string>
#include <string_view>

#include "base/ZandrelExport.h"

// A file opened for writing (created or truncated).
class ZANDREL_API CWriteFile {
public:
    static constexpr long kMaxStreamWrite = 200000000;

    CWriteFile() = default;
    virtual ~CWriteFile();
    CWriteFile(const CWriteFile&) = delete;
    CWriteFile& operator=(const CWriteFile&) = delete;

    // Creates or truncates the file; false when it cannot be created.
    bool OpenFile(const char16_t* path);
    // Writes the UTF-8 form of `text`; false for an empty text or a failed write.
    bool WriteData(const char16_t* text);
    // Writes raw bytes; false for more than kMaxStreamWrite bytes (nothing
    // is written) or a failed write.
    bool WriteStreamData(const void* bytes, long length);
    void CloseFile();

private:
    int m_fd = -1;
};

// Writes a file so that a crash or a failure at any moment leaves either
// the old file or the new one whole: the content goes to a temporary file
// in the same folder, which replaces the target only on Commit. The
// temporary file is named "." + name + ".<pid>.<n>.tmp" and locked (flock)
// while it is written, so that a folder sweep can tell the files of a
// running save from those an interrupted one left.
class ZANDREL_API CAtomicWriteFile {
public:
    CAtomicWriteFile() = default;
    // Abandons an uncommitted file.
    virtual ~CAtomicWriteFile();
    CAtomicWriteFile(const CAtomicWriteFile&) = delete;
    CAtomicWriteFile& operator=(const CAtomicWriteFile&) = delete;

    // Starts the temporary file beside `path`; false when the folder does
    // not take new files.
    bool Open(const char16_t* path);
    bool Write(const void* bytes, size_t length);
    // Writes the pieces in order with as few calls as the system allows;
    // `parts` is used up on the way.
    bool Write(iovec* parts, size_t count);
    // Flushes the temporary file to disk, renames it over the target
    // (keeping the target's permissions) and flushes the folder, so the new
    // name survives a power cut. False (target untouched) when any write
    // failed or the rename was refused. `drop`, a second name of the old
    // file (its "~" copy), is removed after the rename and before the
    // flush, which then covers both.
    bool Commit(const char* drop = nullptr);
    // Removes the temporary file; the target stays as it was.
    void Abort();

    // Whether `entry` is a temporary name this writer gives files beside
    // `target` (a bare file name); an empty target matches any file's.
    static bool IsTempName(std::string_view entry, std::string_view target = {});
    // Removes the temporary file at `path` unless a running save holds it;
    // false when it stays.
    static bool RemoveIfStale(const char* path);

private:
    // Locks the new temporary file; false when a sweep took it first.
    bool HoldTemp();

    int m_fd = -1;
    bool m_bFailed = false;
    std::string m_target;
    std::string m_temp;
};

// Writes `length` bytes to `fd`, retrying short writes; false on error.
bool WriteAllBytes(int fd, const void* bytes, size_t length);
