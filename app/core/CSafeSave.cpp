#include "app/core/CSafeSave.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "app/core/CFileSys.h"
#include "app/core/CUIPort.h"
#include "base/tools/CStringTool.h"
#include "base/xml/CWriteFile.h"
#include "base/xml/CWriteXML.h"

namespace {

// Calls `visit` with the name and type of every entry of `folder` but "."
// and "..". The listing is read with a buffer on the stack: this runs
// before every collection is read, and opendir's own buffer costs more than
// the listing.
template <class Visit>
void ForEachEntry(const std::u16string& folder, Visit visit)
{
    int fd = ::open(CFileSys::Native(folder.empty() ? u"." : folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    alignas(dirent64) char buffer[8192];
    for (;;) {
        ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            auto* entry = reinterpret_cast<dirent64*>(buffer + at);
            at += entry->d_reclen;
            std::string_view name(entry->d_name);
            if (name != "." && name != "..")
                visit(name, entry->d_type);
        }
    }
    ::close(fd);
}

void RemoveUnheld(const std::u16string& folder, const std::vector<std::string>& temps)
{
    std::string prefix = folder.empty() ? std::string() : CFileSys::Native(folder) + "/";
    for (const std::string& temp : temps)
        CAtomicWriteFile::RemoveIfStale((prefix + temp).c_str());
}

}  // namespace

CSafeSave::CSafeSave(const std::u16string& path) : m_path(path) {}

CSafeSave::~CSafeSave()
{
    if (m_bPending)
        Finish(false);
}

bool CSafeSave::Backup(int* error)
{
    m_bPending = true;
    m_bBackedUp = false;
    if (!CFileSys::IsFile(m_path))
        return true;
    if (!CFileSys::MakeSafetyCopy(m_path, GetBackupPath(m_path), error)) {
        m_bPending = false;
        return false;
    }
    m_bBackedUp = true;
    return true;
}

bool CSafeSave::Write(CWriteXML& writer, int* error)
{
    errno = 0;
    // The "~" name goes with the rename, so one folder flush covers both.
    std::u16string backup = GetBackupPath(m_path);
    bool written = writer.SaveReplacing(m_path.c_str(), m_bBackedUp ? backup.c_str() : nullptr);
    int failure = written ? 0 : errno ? errno : EIO;
    if (written)
        m_bBackedUp = false;
    Finish(written);
    if (error)
        *error = failure;
    return written;
}

void CSafeSave::Finish(bool written)
{
    m_bPending = false;
    if (!m_bBackedUp)
        return;
    m_bBackedUp = false;
    std::u16string backup = GetBackupPath(m_path);
    if (written)
        CFileSys::RemoveFile(backup);
    else
        CFileSys::RestoreSafetyCopy(backup, m_path);  // the old bytes, whatever the writer left
}

CSafeSave::tagRESULT CSafeSave::Save(CWriteXML& writer, const std::u16string& path, int* error)
{
    CSafeSave save(path);
    if (!save.Backup(error))
        return SAVE_NO_BACKUP;
    return save.Write(writer, error) ? SAVE_OK : SAVE_FAILED;
}

CSafeSave::tagLOAD CSafeSave::Load(const std::u16string& path,
                                   const std::function<bool(const std::u16string&)>& read)
{
    // One look at the folder tells what is there; the common case costs no
    // more than that.
    bool hasFile = false;
    bool hasBackup = false;
    RemoveStaleTemps(path, &hasFile, &hasBackup);
    if (!hasFile && !hasBackup)
        return LOAD_MISSING;
    std::u16string backup = GetBackupPath(path);
    if (hasFile && read(path)) {
        // A save that died after writing the file but before deleting the
        // copy: the file is whole, the copy is older.
        if (hasBackup)
            CFileSys::RemoveFile(backup);
        return LOAD_OK;
    }
    if (!hasBackup || !read(backup))
        return LOAD_FAILED;
    // When the copy cannot be put back, what it held is still in memory and
    // the next save writes it.
    if (CFileSys::Rename(backup, path))
        ShowMessage(u"The file could not be read and was restored from its backup copy:\r\n" + path);
    return LOAD_OK;
}

void CSafeSave::RemoveStaleTemps(const std::u16string& path, bool* hasFile, bool* hasBackup)
{
    if (hasFile)
        *hasFile = false;
    if (hasBackup)
        *hasBackup = false;
    std::u16string folder = CFileSys::FolderOf(path);
    std::u16string name = CFileSys::NameOf(path);
    if (name.empty())
        return;
    std::string file = CFileSys::Native(name);
    std::string copy = file + "~";
    std::vector<std::string> temps;
    ForEachEntry(folder, [&](std::string_view entry, unsigned char type) {
        if (type == DT_DIR)
            return;
        if (entry == file) {
            if (hasFile)
                *hasFile = true;
        } else if (entry == copy) {
            if (hasBackup)
                *hasBackup = true;
        } else if (CAtomicWriteFile::IsTempName(entry, file)) {
            temps.emplace_back(entry);
        }
    });
    RemoveUnheld(folder, temps);
}

void CSafeSave::RemoveStalePageTemps(const std::u16string& folder)
{
    std::vector<std::string> temps;
    ForEachEntry(folder, [&](std::string_view entry, unsigned char type) {
        // "." + page + ".<pid>.<n>.tmp", the page's name ending in ".htm"
        if (type != DT_DIR && CAtomicWriteFile::IsTempName(entry)) {
            std::string_view name = entry.substr(0, entry.rfind('.'));
            name = name.substr(0, name.rfind('.'));
            name = name.substr(0, name.rfind('.'));
            if (CStringTool::EndsWithNoCase(name, ".htm"))
                temps.emplace_back(entry);
        }
    });
    RemoveUnheld(folder, temps);
}
