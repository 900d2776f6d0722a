#pragma once

// Keeps one project from being opened by two running programs: a lock file
// beside the project file, created exclusively while the project is open.

#include <string>

class CProjectLock {
public:
    // The lock holder of this run, made on first call.
    static CProjectLock* Get();
    // At application exit. Lock files are left alone: a project still open
    // then was not closed properly, and its lock says so.
    static void Release();

    // Project file path + ".lck".
    static std::u16string GetLockFilePath(const std::u16string& projectFile);

    // Makes the pending lock for `projectFile`; false when its lock file
    // could not be created (it exists: the project may be in use).
    bool Take(const std::u16string& projectFile);
    // The pending lock becomes the current one.
    void Commit();
    // Forgets the pending lock without touching any file.
    void DropPending();
    // Deletes the pending lock file when this program made it, then
    // forgets it. A lock file found in place is never deleted here: it
    // belongs to whoever made it.
    void ReleasePending();
    // Deletes the current lock file (adopted or made here) and forgets it.
    void ReleaseCurrent();

    const std::u16string& GetCurrentLockFile() const { return m_current; }
    const std::u16string& GetPendingLockFile() const { return m_pending; }

private:
    CProjectLock() = default;
    ~CProjectLock() = default;

    static bool CreateExclusive(const std::u16string& path);
    static void DeleteLockFile(const std::u16string& path);

    std::u16string m_current;
    std::u16string m_pending;
    bool m_bPendingMade = false;   // the pending file was created by Take
};
