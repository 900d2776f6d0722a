#pragma once

// The open project's tag store ("krv_tags.xml") with an index from the
// lower-cased tag name to its record, so a tag is found whatever its case.
// Page paths in the store are relative to the content folder: the folder's
// relative path and the file name, "/" separated ("\" is read as "/").

#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/model/CTagStore.h"

class CProjectTags {
public:
    CProjectTags() = default;
    ~CProjectTags();
    CProjectTags(const CProjectTags&) = delete;
    CProjectTags& operator=(const CProjectTags&) = delete;

    // Takes the tags file and starts reading it on a thread of its own;
    // the store is taken over when first needed, so opening a project does
    // not wait for the tags. A missing or unreadable file then gives an
    // empty store. False only when no store could be made.
    bool Load(const std::u16string& path);
    // An empty store, for a project that has no tags file yet.
    bool Reset();
    // Writes the store through the "~" copy; false when it was not written.
    [[nodiscard]] bool Save(const std::u16string& path);

    // What the store holds, to put back when an operation is undone.
    struct CSnapshot {
        bool valid = false;
        bool dirty = false;
        std::optional<std::u16string> name;
        std::vector<std::pair<std::optional<std::u16string>, std::vector<std::u16string>>> tags;
    };
    CSnapshot TakeSnapshot() const;
    // The store as it was, in the same order; false when memory ran out.
    bool Restore(const CSnapshot& snapshot);
    void Release();

    CTagStore* GetStore() const { return Loaded(); }
    // Set by every change, cleared by Save.
    bool IsDirty() const { return m_bDirty; }

    // The tag named `name` ignoring case, or null.
    CTagItem* FindTag(const std::u16string& name) const;
    // Gives page `path` the tag; the tag is made, spelled as given, when it
    // is new. "about:blank" and empty texts are refused.
    bool AddTag(const std::u16string& name, const std::u16string& path);
    // Takes the tag from page `path`; a tag left without pages goes.
    bool RemoveTag(const std::u16string& name, const std::u16string& path);
    // False when there is no such tag, or another tag already has the name.
    bool RenameTag(const std::u16string& oldName, const std::u16string& newName);
    // The pages of tag `oldName` join the other tag `newName`, and the old
    // tag goes. False when either is missing or they are one tag.
    bool MergeTag(const std::u16string& oldName, const std::u16string& newName);
    // Removes the tag with all its pages; false when there is no such tag.
    bool DeleteTag(const std::u16string& name);
    // Orders the tags by name, as a rebuilt store is kept.
    void SortAscending();

    // Page paths that begin with the folder path `oldPrefix` (ending in "/")
    // begin with `newPrefix` afterwards. Returns how many changed.
    int RewritePaths(const std::u16string& oldPrefix, const std::u16string& newPrefix);
    // Removes every page path under the folder path `prefix` and the tags
    // left without pages. Returns how many paths went.
    int RemovePathsUnder(const std::u16string& prefix);
    // Removes one page path from every tag. Returns how many tags had it.
    int RemovePath(const std::u16string& path);

    // "\" becomes "/", as paths are compared.
    static std::u16string NormalizePath(const char16_t* path);
    // Page paths compare without letter case, as the store compares its
    // addresses; both are taken as normalized.
    static bool SamePath(std::u16string_view a, std::u16string_view b);
    // True when `path` lies under the folder path `prefix` (ending in "/").
    static bool IsUnder(std::u16string_view path, std::u16string_view prefix);

private:
    // The store, the file read first if it is still waiting.
    CTagStore* Loaded() const;
    void ReadFile(const std::u16string& path, CTagStore* early) const;
    void RebuildIndex() const;
    // Deletes the tag's record when it has no page left.
    void DropIfEmpty(CTagItem* tag);

    // Filled on first use, hence mutable.
    mutable CTagStore* m_pStore = nullptr;
    mutable std::unordered_map<std::u16string, RTagItem*> m_index;
    mutable std::optional<std::u16string> m_pendingFile;
    // The early read of the pending file: its store, or null when it did
    // not read.
    mutable std::future<CTagStore*> m_reading;
    bool m_bDirty = false;
};
