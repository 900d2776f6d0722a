#pragma once

// Replacing a file the program wrote before. The old file gets a second
// name, path + "~" (a copy where there are no hard links), the writer puts
// the new content beside the file and renames it over
// (CWriteXML::SaveToFile), and the "~" name goes away once that succeeded.
// A crash or a failure at any moment leaves the old file or the new one
// whole; a failed save leaves the old one byte for byte.

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

    // Makes the "~" copy of an existing file; true when there is nothing to
    // copy. The error number of a failed copy goes to `error`.
    [[nodiscard]] bool Backup(int* error = nullptr);
    // Writes the document and finishes: the copy is deleted on success and
    // moved back over the file on failure. The error number of a failure
    // (EFBIG for a document too large to save) goes to `error`.
    [[nodiscard]] bool Write(CWriteXML& writer, int* error = nullptr);

    // Backup and Write in one; the error number of a failure in `error`.
    [[nodiscard]] static tagRESULT Save(CWriteXML& writer, const std::u16string& path, int* error = nullptr);

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
    // ("." + name + ".<pid>.<n>.tmp") that an interrupted save left behind
    // (those of a save still running stay), and tells whether the file and
    // its "~" copy are there.
    static void RemoveStaleTemps(const std::u16string& path, bool* hasFile = nullptr, bool* hasBackup = nullptr);
    // The same for the temporary files of every page (".htm") in `folder`.
    static void RemoveStalePageTemps(const std::u16string& folder);

private:
    void Finish(bool written);

    std::u16string m_path;
    bool m_bBackedUp = false;
    bool m_bPending = false;
};
