#pragma once

// The item last shown in each folder ("krv_recent.xml"): read when the
// project opens, written before it closes, then released. A record is
// matched to its folder by the folder's path the first time the folder is
// shown, and keeps the folder from then on.

#include <functional>
#include <string>

#include "base/tools/CStringTool.h"

class CColctExData;
class CColctNode;
class CFolderNode;
class CUrlNode;
class RColctExData;

class CRecentColcts {
public:
    CRecentColcts() = default;
    ~CRecentColcts();
    CRecentColcts(const CRecentColcts&) = delete;
    CRecentColcts& operator=(const CRecentColcts&) = delete;

    // Replaces the list with the file's; a missing or unreadable file
    // gives an empty list.
    void Load(const std::u16string& path);
    // Writes the list through the "~" copy. `pathOf` gives the current path
    // of a matched folder, so a renamed or moved folder is found again at
    // the next open.
    bool Save(const std::u16string& path, const std::function<std::u16string(CFolderNode*)>& pathOf);
    void Release();

    // The item to show when `folder` (path `path`, collection `colct`) is
    // selected: its remembered item, else the collection's first page, which
    // is remembered from then on. Null when there is nothing to show.
    CUrlNode* ChooseItem(CFolderNode* folder, const std::u16string& path, CColctNode* colct);
    // The user showed `item` in `folder`.
    void RememberItem(CFolderNode* folder, const std::u16string& path, CUrlNode* item);
    // A folder that goes away leaves its records unmatched.
    void ForgetFolder(CFolderNode* folder);

    RColctExData* GetHead() const { return m_pHead; }

private:
    CColctExData* FindByFolder(CFolderNode* folder) const;
    CColctExData* MatchByPath(CFolderNode* folder, const std::u16string& path) const;
    CColctExData* Append(CFolderNode* folder, const std::u16string& path, const char16_t* item);

    RColctExData* m_pHead = nullptr;
    OptText m_defaultUrl;
};
