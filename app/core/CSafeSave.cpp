#include "app/core/CSafeSave.h"

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

bool CSafeSave::Load(const std::u16string& path, const std::function<bool(const std::u16string&)>& read)
{
    RemoveStaleTemps(path);
    std::u16string backup = GetBackupPath(path);
    bool hasBackup = CFileSys::IsFile(backup);
    if (CFileSys::IsFile(path) && read(path)) {
        // A save that died after writing the file but before deleting the
        // copy: the file is whole, the copy is older.
        if (hasBackup)
            CFileSys::RemoveFile(backup);
        return true;
    }
    if (!hasBackup || !read(backup))
        return false;
    // When the copy cannot be put back, what it held is still in memory and
    // the next save writes it.
    if (CFileSys::Rename(backup, path))
        ShowMessage(u"The file could not be read and was restored from its backup copy:\r\n" + path);
    return true;
}

void CSafeSave::RemoveStaleTemps(const std::u16string& path)
{
    std::u16string folder = CFileSys::FolderOf(path);
    std::u16string name = CFileSys::NameOf(path);
    std::vector<CFileSys::Entry> entries;
    if (name.empty() || !CFileSys::ListDir(folder.empty() ? u"." : folder, &entries))
        return;
    for (const CFileSys::Entry& entry : entries) {
        if (!entry.directory && IsTempOf(entry.name, name))
            CFileSys::RemoveFile(folder + entry.name);
    }
}
