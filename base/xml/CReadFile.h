#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ZandrelExport.h"

enum tagFILE_BOM_ENCODE : int {
    BOM_NONE = 0,
    BOM_UTF8 = 1,
    BOM_UTF16_LE = 2,
    BOM_UTF16_BE = 3,
    BOM_UTF32_LE = 4,
    BOM_UTF32_BE = 5,
};

// A file opened for reading, with an optional byte-order-mark check.
class ZANDREL_API CReadFile {
public:
    CReadFile() = default;
    virtual ~CReadFile();
    CReadFile(const CReadFile&) = delete;
    CReadFile& operator=(const CReadFile&) = delete;

    // Opens an existing regular file (see OpenRegularFile); keeps a copy of
    // the path.
    bool OpenFile(const char16_t* path);
    const char16_t* GetPath() const { return m_path.c_str(); }

    // With the check on, the wide and whole-file reads first skip a
    // byte-order mark and remember it.
    void SetCheckBOM(bool check) { m_bCheckBOM = check; }
    tagFILE_BOM_ENCODE GetFileBOMEncode() const { return m_bom; }
    // Reads the mark at the start of the file and leaves the position right
    // after it (at 0 without one).
    tagFILE_BOM_ENCODE CheckBOMEncode();

    // Up to `size` bytes; the count read, 0 when no file is open.
    long ReadToBuffer(void* bytes, long size);
    // Up to `chars` UTF-16 units (twice as many bytes); the whole units read.
    long ReadToBuffer(char16_t* text, long chars);
    // The whole file into a new buffer with a NUL after it (free with
    // CUnicodeTool::DeleteBuffer); false for an empty or unreadable file.
    bool ReadToBuffer(char** bytes, long* length);
    // The rest of the file decoded as UTF-8 into a new CSysString whose
    // length counts the terminating NUL; returns the bytes read, 0 for an
    // empty file.
    long ReadAllToBuffer(char16_t** text);
    // -1 when no file is open or the size cannot be read.
    long GetFileSize() const;
    void CloseFile();

private:
    int m_fd = -1;
    std::u16string m_path;
    tagFILE_BOM_ENCODE m_bom = BOM_NONE;
    bool m_bCheckBOM = false;
};

// Every reader opens its files here. A named pipe in place of a file would
// block the open, and a pipe or a device would block or never end when
// read, so only regular files open: the open does not wait, and anything
// else is refused with EISDIR (a folder) or EINVAL. `flags` adds open flags
// such as O_NOFOLLOW. The descriptor, or -1 with errno set.
ZANDREL_API int OpenRegularFile(const char* path, int flags = 0);
// The rest of the open file `fd` into `bytes` (the descriptor stays open);
// false with errno set when it does not read, or when it has `limit` bytes
// or more (EFBIG).
ZANDREL_API bool ReadOpenFile(int fd, std::string* bytes, size_t limit = SIZE_MAX);
// The whole regular file into `bytes`, as ReadOpenFile reads it; false with
// errno set when it does not open or read.
ZANDREL_API bool ReadRegularFile(const char* path, std::string* bytes, size_t limit = SIZE_MAX);
