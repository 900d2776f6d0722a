#include "app/capture/CStaging.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <string_view>
#include <vector>

#include "app/core/CFileSys.h"

namespace {

bool IsStagingName(std::string_view name)
{
    for (std::string_view prefix : {std::string_view(CStaging::kCapturePrefix), std::string_view(CStaging::kImportPrefix)}) {
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix))
            continue;
        bool mkdtempName = true;
        for (char c : name.substr(prefix.size()))
            mkdtempName = mkdtempName && std::isalnum(static_cast<unsigned char>(c));
        if (mkdtempName)
            return true;
    }
    return false;
}

}  // namespace

int CStaging::Sweep(const std::u16string& directory)
{
    const std::string native = CFileSys::Native(directory);
    std::vector<std::string> found;
    if (DIR* dir = ::opendir(native.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            struct stat st;
            std::string path = native + "/" + entry->d_name;
            if (IsStagingName(entry->d_name) && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                found.push_back(std::move(path));
        }
        ::closedir(dir);
    }
    int removed = 0;
    for (const std::string& path : found) {
        // remove_all deletes links inside, never what they point at.
        std::error_code error;
        std::filesystem::remove_all(path, error);
        removed += error ? 0 : 1;
    }
    return removed;
}
