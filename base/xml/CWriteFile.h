#pragma once

#include <string>

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
// in the same folder, which replaces the target only on Commit.
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
    // Flushes the temporary file to disk and renames it over the target,
    // keeping the target's permissions. False (target untouched) when any
    // write failed or the rename was refused.
    bool Commit();
    // Removes the temporary file; the target stays as it was.
    void Abort();

private:
    int m_fd = -1;
    bool m_bFailed = false;
    std::string m_target;
    std::string m_temp;
};

// Writes `length` bytes to `fd`, retrying short writes; false on error.
bool WriteAllBytes(int fd, const void* bytes, size_t length);
