#include "app/core/CRecentColcts.h"

#include <ctime>

#include "app/core/CSafeSave.h"
#include "base/model/CColctExData.h"
#include "base/model/CColctNode.h"
#include "base/model/RNode.h"
#include "base/tools/CSysString.h"
#include "base/xml/CColctExDataXML.h"

namespace {

CUrlNode* FirstItem(CColctNode* colct, bool notesOnly)
{
    RNode* root = colct ? colct->GetLocRNodeRoot() : nullptr;
    for (RNode* r = root ? root->GetChild() : nullptr; r; r = r->GetNext()) {
        if (r->GetType() != NT_URL)
            continue;
        auto* item = static_cast<CUrlNode*>(r->GetData());
        if (!notesOnly || item->GetItemType() == ITEM_NOTE)
            return item;
    }
    return nullptr;
}

CUrlNode* ItemNamed(CColctNode* colct, const char16_t* name)
{
    RNode* root = colct ? colct->GetLocRNodeRoot() : nullptr;
    for (RNode* r = root && name ? root->GetChild() : nullptr; r; r = r->GetNext()) {
        if (r->GetType() == NT_URL && CStringTool::Equal(r->GetData()->GetName(), name))
            return static_cast<CUrlNode*>(r->GetData());
    }
    return nullptr;
}

}  // namespace

CRecentColcts::~CRecentColcts()
{
    Release();
}

void CRecentColcts::Load(const std::u16string& path)
{
    Release();
    CSafeSave::Load(path, [this](const std::u16string& file) {
        CReadColctExData reader;
        if (!reader.LoadFile(file.c_str()))
            return false;
        CReadColctExData::DeleteList(m_pHead);
        m_pHead = reader.DetachRColctExDataHead();
        char16_t* url = reader.DetachDefaultColctUrl();
        m_defaultUrl = OptTextFrom(url);
        CSysString::Free(url);
        return true;
    });
}

bool CRecentColcts::Save(const std::u16string& path, const std::function<std::u16string(CFolderNode*)>& pathOf)
{
    for (RColctExData* r = m_pHead; r && pathOf; r = r->GetNext()) {
        CColctExData* data = r->GetData();
        if (data->GetStoredFolderNode())
            data->SetFolderUrl(pathOf(data->GetStoredFolderNode()).c_str());
    }
    CWriteColctExData writer;
    writer.SetRColctExDataHead(m_pHead);
    writer.SetDefaultColctUrl(OptTextPtr(m_defaultUrl));
    return CSafeSave::Save(writer, path) == CSafeSave::SAVE_OK;
}

void CRecentColcts::Release()
{
    CReadColctExData::DeleteList(m_pHead);
    m_pHead = nullptr;
    m_defaultUrl.reset();
}

CUrlNode* CRecentColcts::ChooseItem(CFolderNode* folder, const std::u16string& path, CColctNode* colct)
{
    CColctExData* record = FindByFolder(folder);
    if (!record)
        record = MatchByPath(folder, path);
    if (record) {
        CUrlNode* item = ItemNamed(colct, record->GetItemID());
        return item ? item : FirstItem(colct, false);
    }
    CUrlNode* first = FirstItem(colct, true);
    if (first)
        Append(folder, path, first->GetName());
    return first;
}

void CRecentColcts::RememberItem(CFolderNode* folder, const std::u16string& path, CUrlNode* item)
{
    if (!folder || !item)
        return;
    CColctExData* record = FindByFolder(folder);
    if (!record) {
        Append(folder, path, item->GetName());
        return;
    }
    record->SetItemID(item->GetName());
    record->SetLastVisitTime(static_cast<long>(std::time(nullptr)));
}

void CRecentColcts::ForgetFolder(CFolderNode* folder)
{
    for (RColctExData* r = m_pHead; r; r = r->GetNext()) {
        if (r->GetData()->GetStoredFolderNode() == folder)
            r->GetData()->StoreFolderNodePointer(nullptr);
    }
}

CColctExData* CRecentColcts::FindByFolder(CFolderNode* folder) const
{
    for (RColctExData* r = m_pHead; r && folder; r = r->GetNext()) {
        if (r->GetData()->GetStoredFolderNode() == folder)
            return r->GetData();
    }
    return nullptr;
}

CColctExData* CRecentColcts::MatchByPath(CFolderNode* folder, const std::u16string& path) const
{
    for (RColctExData* r = m_pHead; r; r = r->GetNext()) {
        CColctExData* data = r->GetData();
        // A record that already belongs to another folder stays with it,
        // even when that folder has since been renamed away from the path.
        if (data->GetStoredFolderNode())
            continue;
        const char16_t* url = data->GetFolderUrl();
        bool same = path.empty() ? (!url || !*url) : (url && path == url);
        if (same) {
            data->StoreFolderNodePointer(folder);
            return data;
        }
    }
    return nullptr;
}

CColctExData* CRecentColcts::Append(CFolderNode* folder, const std::u16string& path, const char16_t* item)
{
    CColctExData* data = CColctExData::New();
    RColctExData* record = data ? RColctExData::New(data) : nullptr;
    if (!record) {
        CColctExData::Delete(data);
        return nullptr;
    }
    data->SetFolderUrl(path.c_str());
    data->SetItemID(item);
    data->StoreFolderNodePointer(folder);
    m_pHead = CListTool::Append(m_pHead, record);
    return data;
}
