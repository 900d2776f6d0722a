#include "app/core/CSafeSave.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "app/core/CFileSys.h"
#include "app/core/CUIPort.h"
#include "base/xml/CWriteXML.h"

namespace {

bool IsDigits(std::u16string_view text)
{
    if (text.empty())
        return false;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// "." + name + ".<pid>.<n>.tmp", as the atomic writer names its files.
bool IsTempOf(const std::u16string& entry, const std::u16string& name)
{
    std::u16string head = u"." + name + u".";
    std::u16string_view tail = u".tmp";
    if (entry.size() <= head.size() + tail.size() || entry.compare(0, head.size(), head) != 0 ||
        entry.compare(entry.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    std::u16string_view middle(entry.data() + head.size(), entry.size() - head.size() - tail.size());
    size_t dot = middle.find(u'.');
    return dot != std::u16string_view::npos && IsDigits(middle.substr(0, dot)) && IsDigits(middle.substr(dot + 1));
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
    if (!CFileSys::CopyFile(m_path, GetBackupPath(m_path), error)) {
        m_bPending = false;
        return false;
    }
    m_bBackedUp = true;
    return true;
}

bool CSafeSave::Write(CWriteXML& writer)
{
    bool written = writer.SaveToFile(m_path.c_str());
    Finish(written);
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
        CFileSys::Rename(backup, m_path);  // the old bytes, whatever the writer left
}

CSafeSave::tagRESULT CSafeSave::Save(CWriteXML& writer, const std::u16string& path)
{
    CSafeSave save(path);
    if (!save.Backup())
        return SAVE_NO_BACKUP;
    return save.Write(writer) ? SAVE_OK : SAVE_FAILED;
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
    // Read with a buffer on the stack: this runs before every collection
    // is read, and opendir's own buffer costs more than the listing.
    int fd = ::open(CFileSys::Native(folder.empty() ? u"." : folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    std::string file = CFileSys::Native(name);
    std::string copy = file + "~";
    std::vector<std::u16string> stale;
    alignas(dirent64) char buffer[8192];
    for (;;) {
        ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            auto* entry = reinterpret_cast<dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (entry->d_type == DT_DIR)
                continue;
            if (file == entry->d_name) {
                if (hasFile)
                    *hasFile = true;
            } else if (copy == entry->d_name) {
                if (hasBackup)
                    *hasBackup = true;
            } else if (entry->d_name[0] == '.') {
                std::u16string entryName = CFileSys::FromNative(entry->d_name);
                if (IsTempOf(entryName, name))
                    stale.push_back(folder + entryName);
            }
        }
    }
    ::close(fd);
    for (const std::u16string& temp : stale)
        CFileSys::RemoveFile(temp);
}
