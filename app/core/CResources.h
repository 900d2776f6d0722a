#pragma once

// Temporary: the program's resources are its assets folder.

#include <string>

#include "app/core/CAppSettings.h"

class CResources {
public:
    static std::u16string GetFolder() { return CAppSettings::Get()->GetDataFolders().GetAssetsFolder(); }
    static std::u16string GetPath(const std::u16string& name) { return GetFolder() + name; }
};
