#include "app/core/CProjectStats.h"

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CNodeStat.h"
#include "base/model/CTagStore.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNode.h"

CProjectStats CProjectStats::Collect(CFolderTreeMgr& tree)
{
    CProjectStats stats;
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    for (RNode* folder : tree.GetAllFolders()) {
        ++stats.folders;
        std::u16string relative;
        if (!content.empty() && tree.GetRelativePath(folder, &relative)) {
            std::u16string data = relative + CUserFolder::GetProjectDataFolderName() + u"/";
            for (const std::u16string& place : {relative, data}) {
                std::vector<CFileSys::Entry> entries;
                if (!CFileSys::ListDir(CFileSys::WithSlash(content) + place, &entries))
                    continue;
                for (const CFileSys::Entry& entry : entries) {
                    if (!entry.directory && CFolderTreeMgr::IsConflictCopy(entry.name))
                        stats.conflictCopies.push_back(place + entry.name);
                }
            }
        }
        auto* data = static_cast<CFolderNode*>(folder->GetData());
        if (!data || !data->HasPage())
            continue;
        CColctNode* colct = tree.LoadColct(folder, false);
        if (!colct) {
            ++stats.unreadColcts;
            continue;
        }
        for (RNode* node = colct->GetFirstRNode(); node; node = node->GetNext()) {
            if (node->GetType() != NT_URL || !node->GetData())
                continue;
            auto* item = static_cast<CUrlNode*>(node->GetData());
            if (item->GetItemType() != ITEM_NOTE)
                continue;
            ++stats.pages;
            if (item->GetNodeStat() && item->GetNodeStat()->GetFlag() != 0)
                ++stats.flaggedPages;
            // Peeked: counting must not give every item properties.
            CUrlProp* prop = item->PeekUrlProp();
            if (prop && prop->GetTagsHead())
                ++stats.taggedPages;
            if (item->GetDescription() && *item->GetDescription())
                ++stats.describedPages;
        }
    }
    if (CTagStore* store = tree.GetTagStore())
        for (RTagItem* rec = store->GetTagItemHead(); rec; rec = rec->GetNext())
            ++stats.tags;
    return stats;
}

std::vector<std::pair<const char16_t*, int>> CProjectStats::GetRows() const
{
    std::vector<std::pair<const char16_t*, int>> rows = {
        {u"Folders", folders},
        {u"Pages", pages},
        {u"Tags", tags},
        {u"Pages with tags", taggedPages},
        {u"Pages with a description", describedPages},
        {u"Pages with a flag", flaggedPages},
    };
    if (unreadColcts)
        rows.emplace_back(u"Collections that could not be read", unreadColcts);
    if (!conflictCopies.empty())
        rows.emplace_back(u"Conflict copies made by sync tools", static_cast<int>(conflictCopies.size()));
    return rows;
}
