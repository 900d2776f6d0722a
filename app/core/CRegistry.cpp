#include "app/core/CRegistry.h"

#include <mutex>

#include "app/core/CAppSettings.h"
#include "app/core/CIniFile.h"

namespace {

// The start-page thread keeps its values here too; one lock keeps a
// read-modify-write of the file from losing another thread's value.
std::mutex g_lock;

}  // namespace

CRegistry::CRegistry(const std::u16string& userDataRoot)
    : m_file(userDataRoot + kFileName)
{
}

CRegistry CRegistry::ForSettings()
{
    return CRegistry(CAppSettings::Get()->GetDataFolders().GetUserDataRoot());
}

bool CRegistry::KeyExists() const
{
    std::lock_guard<std::mutex> hold(g_lock);
    CIniFile file;
    return file.Load(m_file) && file.HasSection(kProgramKey);
}

bool CRegistry::GetValue(const std::u16string& name, std::u16string* value) const
{
    std::lock_guard<std::mutex> hold(g_lock);
    CIniFile file;
    std::u16string text;
    if (!file.Load(m_file) || !file.GetValue(kProgramKey, name, &text))
        return false;
    if ((text.size() + 1) * sizeof(char16_t) > kMaxValueBytes)
        return false;
    *value = text;
    return true;
}

bool CRegistry::SetValue(const std::u16string& name, const std::u16string& value)
{
    std::lock_guard<std::mutex> hold(g_lock);
    return CIniFile::WriteProfileString(m_file, kProgramKey, name, value);
}
