#include "app/core/CResources.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "app/core/CFileSys.h"
#include "base/tools/CUnicodeTool.h"

namespace {

// The installed layout: <prefix>/bin/Zandrel and <prefix>/share/zandrel/.
std::string InstalledFolder()
{
    char exe[PATH_MAX];
    ssize_t size = ::readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (size <= 0)
        return {};
    std::string path(exe, static_cast<size_t>(size));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash) + "/../share/zandrel/";
}

}  // namespace

std::u16string CResources::GetFolder()
{
    if (const char* env = std::getenv("ZANDREL_RESOURCES"); env && *env)
        return CFileSys::WithSlash(CUnicodeTool::FromUtf8(env));
    std::u16string installed = CUnicodeTool::FromUtf8(InstalledFolder());
    if (!installed.empty() && CFileSys::IsDirectory(installed))
        return installed;
    return CFileSys::WithSlash(CUnicodeTool::FromUtf8(ZANDREL_RESOURCE_DIR));
}

std::u16string CResources::GetPath(const std::u16string& name)
{
    return GetFolder() + name;
}
