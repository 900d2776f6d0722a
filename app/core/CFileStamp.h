#pragma once

// What a file was when the program last read or wrote it: its size, the
// time of its last change, its inode and its MD5 digest. Sync tools, other editors
// and other computers replace files while the program runs; comparing
// the stamp with the file tells whether someone else wrote it since.

#include <array>
#include <cstdint>
#include <string>

class CFileStamp {
public:
    enum tagSTATE {
        SAME = 0,     // the same bytes (perhaps written again or touched)
        CHANGED = 1,  // other bytes
        GONE = 2,     // no file there now
    };

    // The file now, its bytes in `bytes` when given; an unknown stamp when
    // it cannot be read.
    static CFileStamp Take(const std::u16string& path, std::string* bytes = nullptr);
    // After the program wrote `bytes` to `path`: the file's size and time
    // with the digest of the bytes, so its own write reads as SAME.
    static CFileStamp OfWritten(const std::u16string& path, const std::string& bytes);

    bool IsKnown() const { return m_size >= 0; }
    // Size and time first; when they differ the digest decides, so a file
    // rewritten with the same bytes is the same. `bytes` gets the file's
    // bytes and `now` its stamp when they had to be read (otherwise `now`
    // is this stamp). An unknown stamp compares as SAME.
    tagSTATE Compare(const std::u16string& path, std::string* bytes = nullptr, CFileStamp* now = nullptr) const;

private:
    // Size and time only; false when there is no regular file.
    bool ReadStat(const std::u16string& path);
    void Digest(const std::string& bytes);

    int64_t m_size = -1;
    int64_t m_timeNs = 0;
    // Writers that replace a file by rename give it a new inode, seen even
    // within the file system's time granularity.
    uint64_t m_inode = 0;
    std::array<unsigned char, 16> m_digest{};
};
