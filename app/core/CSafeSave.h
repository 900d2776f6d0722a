#pragma once

// Replacing a file the program wrote before. The old file is copied to
// path + "~" first, the writer puts the new content beside the file and
// renames it over (CWriteXML::SaveToFile), and the "~" copy goes away once
// that succeeded. A crash or a failure at any moment leaves the old file or
// the new one whole; a failed save leaves the old one byte for byte.

#include <functional>
#include <string>

class CWriteXML;

class CSafeSave {
public:
    enum tagRESULT {
        SAVE_OK = 0,
        SAVE_NO_BACKUP = 1,  // the "~" copy could not be made; nothing written
        SAVE_FAILED = 2,     // the write, flush or rename failed; old file kept
    };

    explicit CSafeSave(const std::u16string& path);
    // An unfinished save (Backup without Write) puts the copy back.
    ~CSafeSave();
    CSafeSave(const CSafeSave&) = delete;
    CSafeSave& operator=(const CSafeSave&) = delete;

    // Copies an existing file to path + "~"; true when there is nothing to
    // copy. The error number of a failed copy goes to `error`.
    bool Backup(int* error = nullptr);
    // Writes the document and finishes: the copy is deleted on success and
    // moved back over the file on failure.
    bool Write(CWriteXML& writer);

    // Backup and Write in one.
    static tagRESULT Save(CWriteXML& writer, const std::u16string& path);

    static std::u16string GetBackupPath(const std::u16string& path) { return path + u"~"; }

    enum tagLOAD {
        LOAD_OK = 0,
        LOAD_MISSING = 1,  // neither the file nor a "~" copy is there
        LOAD_FAILED = 2,   // there is one, but nothing reads
    };
    // Reads a file that may have been left by an interrupted save. Stale
    // temporary files beside it are removed first. `read` tries one path and
    // keeps what it read; it runs on the file, and on the "~" copy when the
    // file does not read. A copy that reads is put back over the file, and
    // the user is told. A "~" copy beside a file that reads is stale and
    // goes.
    static tagLOAD Load(const std::u16string& path, const std::function<bool(const std::u16string&)>& read);

    // Removes the writer's hidden temporary files of `path`
    // ("." + name + ".<pid>.<n>.tmp") that an interrupted save left behind,
    // and tells whether the file and its "~" copy are there.
    static void RemoveStaleTemps(const std::u16string& path, bool* hasFile = nullptr, bool* hasBackup = nullptr);

private:
    void Finish(bool written);

    std::u16string m_path;
    bool m_bBackedUp = false;
    bool m_bPending = false;
};
