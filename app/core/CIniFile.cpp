#include "app/core/CIniFile.h"

#include <cerrno>

#include "app/core/CFileSys.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

char16_t FoldAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

bool SameName(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

// The section named by a header line, false for any other line.
bool ParseHeader(const std::u16string& line, std::u16string* name)
{
    std::u16string text = CStringTool::TrimBlanks(line);
    if (text.empty() || text[0] != u'[')
        return false;
    size_t close = text.rfind(u']');
    if (close == std::u16string::npos || close == 0)
        return false;
    *name = CStringTool::TrimBlanks(text.substr(1, close - 1));
    return true;
}

bool ParseKey(const std::u16string& line, std::u16string* key, std::u16string* value)
{
    size_t equals = line.find(u'=');
    if (equals == std::u16string::npos)
        return false;
    *key = CStringTool::TrimBlanks(line.substr(0, equals));
    if (key->empty() || (*key)[0] == u'[')
        return false;
    if (value)
        *value = CStringTool::TrimBlanks(line.substr(equals + 1));
    return true;
}

// True when `text` holds a line end, a NUL or `extra` (0 for none): any of
// them would change the lines the file reads back.
bool BreaksLine(const std::u16string& text, char16_t extra)
{
    for (char16_t c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0' || (extra && c == extra))
            return true;
    }
    return false;
}

bool ReadAll(const std::u16string& path, std::string* bytes)
{
    return ReadRegularFile(CFileSys::Native(path).c_str(), bytes) || errno == ENOENT;
}

}  // namespace

bool CIniFile::Load(const std::u16string& path)
{
    m_lines.clear();
    std::string bytes;
    if (!ReadAll(path, &bytes))
        return false;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos)
            end = bytes.size();
        if (end > start && bytes[end - 1] == '\r')
            --end;
        m_lines.push_back(CUnicodeTool::FromUtf8(std::string_view(bytes).substr(start, end - start)));
        start = next;
    }
    return true;
}

bool CIniFile::Save(const std::u16string& path) const
{
    std::string bytes;
    for (const auto& line : m_lines) {
        CUnicodeTool::AppendUtf8(line, bytes);
        bytes += '\n';
    }
    return CFileSys::WriteWholeFile(path, bytes);
}

long CIniFile::FindSection(const std::u16string& section) const
{
    std::u16string name;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (ParseHeader(m_lines[i], &name) && SameName(name, section))
            return long(i);
    }
    return -1;
}

long CIniFile::FindKey(long header, const std::u16string& key) const
{
    std::u16string name;
    for (size_t i = size_t(header) + 1; i < m_lines.size(); ++i) {
        if (ParseHeader(m_lines[i], &name))
            break;
        if (ParseKey(m_lines[i], &name, nullptr) && SameName(name, key))
            return long(i);
    }
    return -1;
}

bool CIniFile::HasSection(const std::u16string& section) const
{
    return FindSection(section) >= 0;
}

bool CIniFile::GetValue(const std::u16string& section, const std::u16string& key,
                        std::u16string* value) const
{
    long header = FindSection(section);
    long line = header < 0 ? -1 : FindKey(header, key);
    if (line < 0)
        return false;
    std::u16string name;
    return ParseKey(m_lines[size_t(line)], &name, value);
}

std::u16string CIniFile::GetString(const std::u16string& section, const std::u16string& key,
                                   const std::u16string& fallback, size_t buffer) const
{
    std::u16string value;
    if (!GetValue(section, key, &value))
        value = fallback;
    else if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.substr(1, value.size() - 2);
    if (value.size() > buffer - 1)
        value.resize(buffer - 1);
    return value;
}

bool CIniFile::SetString(const std::u16string& section, const std::u16string& key,
                         const std::u16string& value)
{
    std::u16string sectionName = CStringTool::TrimBlanks(section);
    std::u16string keyName = CStringTool::TrimBlanks(key);
    if (sectionName.empty() || BreaksLine(sectionName, u']'))
        return false;
    if (keyName.empty() || keyName[0] == u'[' || BreaksLine(keyName, u'='))
        return false;
    if (BreaksLine(value, 0))
        return false;

    std::u16string line = keyName + u'=' + value;
    long header = FindSection(sectionName);
    if (header < 0) {
        if (!m_lines.empty() && !CStringTool::TrimBlanks(m_lines.back()).empty())
            m_lines.emplace_back();
        m_lines.push_back(u'[' + sectionName + u']');
        m_lines.push_back(line);
        return true;
    }
    long existing = FindKey(header, keyName);
    if (existing >= 0) {
        m_lines[size_t(existing)] = line;
        return true;
    }
    // After the section's last non-blank line, so a blank line that parts
    // it from the next section stays where it is.
    size_t last = size_t(header);
    std::u16string name;
    for (size_t i = last + 1; i < m_lines.size() && !ParseHeader(m_lines[i], &name); ++i) {
        if (!CStringTool::TrimBlanks(m_lines[i]).empty())
            last = i;
    }
    m_lines.insert(m_lines.begin() + long(last) + 1, line);
    return true;
}

std::u16string CIniFile::GetProfileString(const std::u16string& path, const std::u16string& section,
                                          const std::u16string& key, const std::u16string& fallback,
                                          size_t buffer)
{
    CIniFile file;
    if (!file.Load(path))
        return fallback.substr(0, kReadBuffer - 1);
    return file.GetString(section, key, fallback, buffer);
}

bool CIniFile::WriteProfileString(const std::u16string& path, const std::u16string& section,
                                  const std::u16string& key, const std::u16string& value)
{
    CIniFile file;
    // An unreadable file is left alone rather than replaced by one key.
    return file.Load(path) && file.SetString(section, key, value) && file.Save(path);
}
