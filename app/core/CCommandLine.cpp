#include "app/core/CCommandLine.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "app/core/CFileSys.h"
#include "base/tools/CUnicodeTool.h"

void CCommandLine::ParseParam(const std::u16string& param, bool isSwitch, bool isLast)
{
    if (!isSwitch && isLast && param.find(u'.') != std::u16string::npos)
        m_projectFile = param;
}

void CCommandLine::Parse(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i] ? argv[i] : "";
        bool isSwitch = IsSwitch(arg);
        ParseParam(CUnicodeTool::FromUtf8(isSwitch ? arg.substr(1) : arg), isSwitch, i == argc - 1);
    }
}

std::u16string CCommandLine::GetProjectPath(const std::u16string& workingFolder) const
{
    if (m_projectFile.empty() || m_projectFile[0] == u'/' || workingFolder.empty())
        return m_projectFile;
    return CFileSys::WithSlash(workingFolder) + m_projectFile;
}

std::u16string CCommandLine::GetProjectPath() const
{
    std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
    return GetProjectPath(cwd ? CFileSys::FromNative(cwd.get()) : std::u16string());
}
