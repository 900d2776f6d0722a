#include "app/core/CProjectTags.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

#include "app/core/CFileSys.h"
#include "app/core/CSafeSave.h"
#include "base/tools/CSysString.h"
#include "base/xml/CTagsXML.h"

CProjectTags::~CProjectTags()
{
    Release();
}

bool CProjectTags::Load(const std::u16string& path)
{
    Release();
    m_pendingFile = path;
    // Only the parse runs there; what the safe load does beside it (stale
    // files, the backup copy, its message) waits for the interface thread.
    try {
        m_reading = std::async(std::launch::async, [path] {
            CReadTagsXML reader;
            return reader.LoadFile(path.c_str()) ? reader.DetachTagStore() : nullptr;
        });
    } catch (const std::system_error&) {
        // No thread to spare: the file is read when first needed.
    }
    return true;
}

CTagStore* CProjectTags::Loaded() const
{
    if (m_pendingFile) {
        std::u16string path = std::move(*m_pendingFile);
        m_pendingFile.reset();
        ReadFile(path, m_reading.valid() ? m_reading.get() : nullptr);
    }
    return m_pStore;
}

void CProjectTags::ReadFile(const std::u16string& path, CTagStore* early) const
{
    CSafeSave::Load(path, [this, &path, &early](const std::u16string& file) {
        CTagStore* store = nullptr;
        if (early && file == path) {
            store = std::exchange(early, nullptr);
        } else {
            CReadTagsXML reader;
            store = reader.LoadFile(file.c_str()) ? reader.DetachTagStore() : nullptr;
        }
        if (!store)
            return false;
        CTagStore::DeleteTagStore(m_pStore);
        m_pStore = store;
        return true;
    });
    CTagStore::DeleteTagStore(early);  // the file went meanwhile
    if (!m_pStore)
        m_pStore = CTagStore::CreateTagStore();
    RebuildIndex();
}

bool CProjectTags::Reset()
{
    Release();
    m_pStore = CTagStore::CreateTagStore();
    return m_pStore != nullptr;
}

bool CProjectTags::Save(const std::u16string& path)
{
    if (!Loaded())
        return false;
    CWriteTagsXML writer;
    writer.SetTagStore(m_pStore);
    if (CSafeSave::Save(writer, path) != CSafeSave::SAVE_OK)
        return false;
    m_bDirty = false;
    return true;
}

CProjectTags::CSnapshot CProjectTags::TakeSnapshot() const
{
    CSnapshot snapshot;
    if (!Loaded())
        return snapshot;
    snapshot.valid = true;
    snapshot.dirty = m_bDirty;
    if (m_pStore->GetName())
        snapshot.name = m_pStore->GetName();
    for (RTagItem* r = m_pStore->GetTagItemHead(); r; r = r->GetNext()) {
        CTagItem* tag = r->GetData();
        auto& [name, paths] = snapshot.tags.emplace_back();
        if (tag->GetName())
            name = tag->GetName();
        for (RBstrItem* u = tag->GetUrlList(); u; u = u->GetNext())
            paths.emplace_back(u->GetData() ? u->GetData() : u"");
    }
    return snapshot;
}

bool CProjectTags::Restore(const CSnapshot& snapshot)
{
    if (!snapshot.valid) {
        Release();
        return true;
    }
    CTagStore* store = CTagStore::CreateTagStore();
    if (!store)
        return false;
    store->SetName(snapshot.name ? snapshot.name->c_str() : nullptr);
    for (const auto& [name, paths] : snapshot.tags) {
        CTagItem* tag = CTagStore::CreateTagItem();
        if (!tag) {
            CTagStore::DeleteTagStore(store);
            return false;
        }
        tag->SetName(name ? name->c_str() : nullptr);
        for (const std::u16string& path : paths)
            tag->AddUrlItem(path.c_str(), false);
        if (!store->AddTagItem(tag)) {
            CTagItem::Delete(tag);
            CTagStore::DeleteTagStore(store);
            return false;
        }
    }
    Release();
    m_pStore = store;
    m_bDirty = snapshot.dirty;
    RebuildIndex();
    return true;
}

void CProjectTags::Release()
{
    if (m_reading.valid())
        CTagStore::DeleteTagStore(m_reading.get());
    m_pendingFile.reset();
    m_index.clear();
    CTagStore::DeleteTagStore(m_pStore);
    m_pStore = nullptr;
    m_bDirty = false;
}

void CProjectTags::RebuildIndex() const
{
    m_index.clear();
    if (!m_pStore)
        return;
    // Two spellings of one tag in a hand-made file: the first one is the tag.
    for (RTagItem* r = m_pStore->GetTagItemHead(); r; r = r->GetNext())
        m_index.emplace(CStringTool::ToLower(r->GetData()->GetName()), r);
}

CTagItem* CProjectTags::FindTag(const std::u16string& name) const
{
    Loaded();
    auto found = m_index.find(CStringTool::ToLower(name.c_str()));
    return found == m_index.end() ? nullptr : found->second->GetData();
}

bool CProjectTags::AddTag(const std::u16string& name, const std::u16string& path)
{
    if (!Loaded() || name.empty() || path.empty() || path == u"about:blank")
        return false;
    std::u16string page = NormalizePath(path.c_str());
    if (CTagItem* tag = FindTag(name)) {
        if (!tag->AddUrlItem(page.c_str(), true))
            return false;
        m_bDirty = true;
        return true;
    }
    CTagItem* tag = CTagStore::CreateTagItem();
    if (!tag)
        return false;
    tag->SetName(name.c_str());
    RTagItem* record = nullptr;
    if (!tag->AddUrlItem(page.c_str(), true) || !(record = m_pStore->AddTagItem(tag))) {
        CTagItem::Delete(tag);
        return false;
    }
    m_index[CStringTool::ToLower(name.c_str())] = record;
    m_bDirty = true;
    return true;
}

bool CProjectTags::RemoveTag(const std::u16string& name, const std::u16string& path)
{
    CTagItem* tag = FindTag(name);
    if (!tag)
        return false;
    // Stored paths may still use "\"; try the path as given first.
    if (!tag->DeleteUrl(path.c_str()) && !tag->DeleteUrl(NormalizePath(path.c_str()).c_str()))
        return false;
    m_bDirty = true;
    DropIfEmpty(tag);
    return true;
}

bool CProjectTags::RenameTag(const std::u16string& oldName, const std::u16string& newName)
{
    std::u16string oldKey = CStringTool::ToLower(oldName.c_str());
    std::u16string newKey = CStringTool::ToLower(newName.c_str());
    Loaded();
    auto found = m_index.find(oldKey);
    if (found == m_index.end() || newName.empty())
        return false;
    if (newKey != oldKey && m_index.count(newKey))
        return false;
    RTagItem* record = found->second;
    record->GetData()->SetName(newName.c_str());
    m_index.erase(found);
    m_index[newKey] = record;
    m_bDirty = true;
    return true;
}

bool CProjectTags::MergeTag(const std::u16string& oldName, const std::u16string& newName)
{
    CTagItem* from = FindTag(oldName);
    CTagItem* into = FindTag(newName);
    if (!from || !into || from == into)
        return false;
    for (RBstrItem* u = from->GetUrlList(); u; u = u->GetNext())
        into->AddUrlItem(u->GetData(), true);
    return DeleteTag(oldName);
}

bool CProjectTags::DeleteTag(const std::u16string& name)
{
    Loaded();
    auto found = m_index.find(CStringTool::ToLower(name.c_str()));
    if (found == m_index.end())
        return false;
    CTagItem* tag = found->second->GetData();
    m_index.erase(found);
    m_pStore->DeleteTagItem(tag);
    m_bDirty = true;
    return true;
}

void CProjectTags::SortAscending()
{
    // Sorting relinks the records; the index keeps pointing at them.
    if (Loaded())
        m_pStore->SortTagItem(true);
}

int CProjectTags::RewritePaths(const std::u16string& oldPrefix, const std::u16string& newPrefix)
{
    if (!Loaded() || oldPrefix.empty() || oldPrefix == newPrefix)
        return 0;
    int changed = 0;
    for (RTagItem* r = m_pStore->GetTagItemHead(); r; r = r->GetNext()) {
        for (RBstrItem* u = r->GetData()->GetUrlList(); u; u = u->GetNext()) {
            std::u16string page = NormalizePath(u->GetData());
            if (!IsUnder(page, oldPrefix))
                continue;
            char16_t* moved = CSysString::Alloc((newPrefix + page.substr(oldPrefix.size())).c_str());
            if (!moved)
                continue;
            CSysString::Free(u->GetData());
            u->SetData(moved);
            ++changed;
        }
    }
    if (changed)
        m_bDirty = true;
    return changed;
}

int CProjectTags::RemovePathsUnder(const std::u16string& prefix)
{
    // An empty prefix would be the whole project.
    if (!Loaded() || prefix.empty())
        return 0;
    int removed = 0;
    std::vector<CTagItem*> touched;
    for (RTagItem* r = m_pStore->GetTagItemHead(); r; r = r->GetNext()) {
        CTagItem* tag = r->GetData();
        for (RBstrItem* u = tag->GetUrlList(); u;) {
            RBstrItem* next = u->GetNext();
            if (IsUnder(NormalizePath(u->GetData()), prefix)) {
                tag->DeleteUrlItem(u);
                ++removed;
            }
            u = next;
        }
        touched.push_back(tag);
    }
    for (CTagItem* tag : touched)
        DropIfEmpty(tag);
    if (removed)
        m_bDirty = true;
    return removed;
}

int CProjectTags::RemovePath(const std::u16string& path)
{
    if (!Loaded() || path.empty())
        return 0;
    std::u16string page = NormalizePath(path.c_str());
    std::vector<CTagItem*> touched;
    for (RTagItem* r = m_pStore->GetTagItemHead(); r; r = r->GetNext()) {
        CTagItem* tag = r->GetData();
        for (RBstrItem* u = tag->GetUrlList(); u; u = u->GetNext()) {
            if (SamePath(NormalizePath(u->GetData()), page)) {
                tag->DeleteUrlItem(u);
                touched.push_back(tag);
                break;
            }
        }
    }
    for (CTagItem* tag : touched)
        DropIfEmpty(tag);
    if (!touched.empty())
        m_bDirty = true;
    return static_cast<int>(touched.size());
}

void CProjectTags::DropIfEmpty(CTagItem* tag)
{
    if (tag->GetCount() > 0)
        return;
    auto indexed = m_index.find(CStringTool::ToLower(tag->GetName()));
    if (indexed != m_index.end() && indexed->second->GetData() == tag)
        m_index.erase(indexed);
    m_pStore->DeleteTagItem(tag);
}

std::u16string CProjectTags::NormalizePath(const char16_t* path)
{
    std::u16string text = path ? path : u"";
    std::replace(text.begin(), text.end(), u'\\', u'/');
    return text;
}

bool CProjectTags::SamePath(std::u16string_view a, std::u16string_view b)
{
    // Sibling folders never differ in case only.
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (CStringTool::FoldCase(a[i]) != CStringTool::FoldCase(b[i]))
            return false;
    }
    return true;
}

bool CProjectTags::IsUnder(std::u16string_view path, std::u16string_view prefix)
{
    return path.size() > prefix.size() && SamePath(path.substr(0, prefix.size()), prefix);
}
