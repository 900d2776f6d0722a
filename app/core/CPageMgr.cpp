#include "app/core/CPageMgr.h"

#include <sys/xattr.h>

#include <cctype>
#include <cerrno>
#include <ctime>
#include <set>
#include <string>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CEditorText.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageHistory.h"
#include "app/core/CPageHtml.h"
#include "app/core/CPageTitle.h"
#include "app/core/CRecentPages.h"
#include "app/core/CSafeSave.h"
#include "app/core/CTraceLog.h"
#include "app/core/CUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

constexpr char16_t kNoFileNameText[] = u"Can not get Page file name\n";
constexpr char16_t kNoPathText[] = u"Can not resolve page file path.";
constexpr char16_t kNoUtf8Text[] = u"Can not convert page to UTF-8 format.";
constexpr char16_t kNoDocumentText[] = u"The editor did not hand over the page, so it was not saved.";
constexpr char16_t kSameNameQuestion[] =
    u"An Item with the same name is already exists.\nIf you continue, we will create a new name for the Page\n"
    u"Do you want to continue?";
constexpr char16_t kOverwriteQuestion[] =
    u"Another program changed this page's file since it was opened:\r\n%s\r\n\r\n"
    u"Replace it with your version? Yes replaces it and keeps the other version in the page history; "
    u"No does not save.";
constexpr char16_t kBothChangedText[] =
    u"Another program changed this page's file while you were editing it. Keep Mine keeps your version "
    u"(saved the next time) and puts the other in the page history; Take Theirs shows the other and puts "
    u"yours in the page history.";
constexpr char16_t kGoneText[] =
    u"Another program deleted or renamed this page's file:\r\n%s\r\n\r\n"
    u"The page stays open as it is; saving it writes the file again.";
// Where the desktop keeps a file's tags; the keywords of the page.
constexpr char kTagsAttribute[] = "user.xdg.tags";

CFolderNode* FolderData(RNode* rnode)
{
    return rnode && rnode->GetType() == NT_FOLDER ? static_cast<CFolderNode*>(rnode->GetData()) : nullptr;
}

std::u16string NameOf(const CBaseNode* node)
{
    const char16_t* name = node ? node->GetName() : nullptr;
    return name ? name : u"";
}

std::u16string Decimal(long number)
{
    return CFileSys::FromNative(std::to_string(number));
}

int Ask(const std::u16string& text, int defaultAnswer)
{
    return UIPort().MessageBox(text, u"Zandrel", MB_YESNO, defaultAnswer);
}

// Calls `visit` on every folder of the tree until it returns true.
template <typename Visit>
RNode* FindFolder(RNode* root, Visit visit)
{
    std::vector<RNode*> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        RNode* folder = pending.back();
        pending.pop_back();
        if (visit(folder))
            return folder;
        for (RNode* child = folder->GetChild(); child; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER)
                pending.push_back(child);
        }
    }
    return nullptr;
}

bool ReadWholeFile(const std::u16string& path, std::string* bytes)
{
    return ReadRegularFile(CFileSys::Native(path).c_str(), bytes);
}

std::u16string WithPath(const char16_t* text, const std::u16string& path)
{
    std::u16string out = text;
    out.replace(out.find(u"%s"), 2, path);
    return out;
}


}  // namespace

const std::array<CPageMgr::CFlagEntry, CPageMgr::kFlagCount>& CPageMgr::GetFlagTable()
{
    static const std::array<CFlagEntry, kFlagCount> table = [] {
        std::array<CFlagEntry, kFlagCount> rows{};
        for (int flag = 0; flag < kFlagCount; ++flag)
            rows[flag] = {flag, kFlagCommandBase + flag, flag == 0 ? -1 : flag + 3, CNodeStat::GetFlagName(flag)};
        return rows;
    }();
    return table;
}

CPageMgr::CPageMgr(CFolderTreeMgr& tree, CRecentPages& recent, TrashPageHook trashPage)
    : m_tree(tree), m_trashPage(std::move(trashPage)), m_recent(recent)
{
    SetLeavePageHook([this] { return LeavePage(); });
}

CPageMgr::~CPageMgr()
{
    SetLeavePageHook(nullptr);
    for (CUrlNode* item : m_deleted)
        CBaseNode::Delete(item);
}

// ---- the page being shown ----

CColctNode* CPageMgr::FindColct(CUrlNode* item, RNode** folder) const
{
    RNode* record = item ? item->GetRNode() : nullptr;
    RNode* root = record ? record->GetParent() : nullptr;
    if (!root)
        return nullptr;
    RNode* found = FindFolder(m_tree.GetRoot(), [root](RNode* f) {
        CColctNode* colct = FolderData(f)->GetColctNode();
        return colct && colct->GetLocRNodeRoot() == root;
    });
    if (folder)
        *folder = found;
    return found ? FolderData(found)->GetColctNode() : nullptr;
}

std::u16string CPageMgr::GetShownDirectory(RNode* folder) const
{
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    return (content.empty() ? content : CFileSys::WithSlash(content)) + m_tree.GetRelativePath(folder);
}

RNode* CPageMgr::FolderOfColct(CColctNode* colct)
{
    CFolderNode* host = colct ? colct->GetHostFolderNode() : nullptr;
    return host ? host->GetRNode() : nullptr;
}

CUrlNode* CPageMgr::GetCurrentPage()
{
    if (!m_pPage)
        return nullptr;
    // Closing the project or removing a folder frees collections without
    // telling anyone: only a collection still in the tree is looked into.
    bool live = FindFolder(m_tree.GetRoot(), [this](RNode* f) { return FolderData(f)->GetColctNode() == m_pColct; });
    if (live) {
        live = false;
        for (RNode* r = m_pColct->GetFirstRNode(); r && !live; r = r->GetNext())
            live = r->GetData() == m_pPage;
    }
    if (!live || m_pageUUID != m_pPage->GetUUID())
        ForgetCurrent();
    return m_pPage;
}

CColctNode* CPageMgr::GetCurrentColct()
{
    return GetCurrentPage() ? m_pColct : nullptr;
}

bool CPageMgr::IsCurrent(CUrlNode* item)
{
    return item && GetCurrentPage() == item;
}

void CPageMgr::SetCurrent(CColctNode* colct, CUrlNode* item)
{
    m_pPage = item;
    m_pColct = colct;
    m_pageUUID = item->GetUUID();
    m_bLeft = false;
    m_stamp = CFileStamp();
    m_stampFile.clear();
    m_bGoneTold = false;
    m_tree.SetPageOnShow(item);
}

void CPageMgr::ForgetCurrent()
{
    m_pPage = nullptr;
    m_pColct = nullptr;
    m_pageUUID.clear();
    m_bLeft = false;
    m_stamp = CFileStamp();
    m_stampFile.clear();
    m_tree.SetPageOnShow(nullptr);
}

void CPageMgr::RestoreTitle(CUrlNode* item)
{
    if (IsCurrent(item) && UIPort().GetTitleText() != NameOf(item))
        UIPort().SetTitleText(NameOf(item));
}

bool CPageMgr::Show(CColctNode* colct, CUrlNode* item)
{
    RNode* folder = FolderOfColct(colct);
    if (!folder || !item || item->GetItemType() != ITEM_NOTE)
        return false;
    std::u16string file;
    if (item->HasUrl()) {
        if (!m_tree.IsPageInside(folder, item))
            return false;
        file = m_tree.GetPageFilePath(folder, item);
        if (file.empty()) {
            ShowMessage(kNoFileNameText);
            return false;
        }
    }
    m_tree.RememberShownItem(colct, item);
    SetCurrent(colct, item);
    if (!file.empty())
        StampPage(file);
    // Not worth a write of its own: it goes with the collection's next
    // write, at the latest when the project closes.
    item->GetNodeStat()->SetStatTime(0, 0, static_cast<long>(std::time(nullptr)), CNodeStat::STAT_VISITED);
    colct->SetHasNewData(true);
    if (file.empty())
        UIPort().ShowEmptyPage();
    else
        UIPort().ShowPage(file);
    UIPort().SetTitleText(NameOf(item));
    UIPort().SelectItem(item);
    if (!file.empty())
        m_recent.Add(m_tree, folder, item);
    return true;
}

bool CPageMgr::ShowItem(CColctNode* colct, CUrlNode* item)
{
    if (!colct || FindColct(item) != colct || item->GetItemType() != ITEM_NOTE)
        return false;
    if (IsCurrent(item)) {
        UIPort().SelectItem(item);  // a search result may point at the page on show
        return true;
    }
    if (!LeavePage())
        return false;
    return Show(colct, item);
}

bool CPageMgr::ShowFolder(RNode* folder)
{
    CFolderNode* data = FolderData(folder);
    if (!data || !LeavePage())
        return false;
    ForgetCurrent();
    m_tree.SetCurrentFolder(folder);
    UIPort().SelectFolder(folder);
    UIPort().SetWindowTitle(NameOf(data));
    CColctNode* colct = m_tree.LoadColct(folder, true);
    // Shown again: what another program wrote to the list comes in.
    if (colct)
        m_tree.SyncColct(folder);
    // Page saves cut short left their temporary files beside the pages; a
    // folder is swept when it is opened, not on every load of its list.
    if (colct)
        CSafeSave::RemoveStalePageTemps(m_tree.GetFolderDirectory(folder));
    UIPort().ShowCollection(colct);
    CUrlNode* item = colct ? m_tree.ChooseItemToShow(folder) : nullptr;
    if (!item || !Show(colct, item)) {
        UIPort().ClearPageView();
        UIPort().SetTitleText(u"");
    }
    return true;
}

// ---- new, save, leave ----

CUrlNode* CPageMgr::NewPage()
{
    if (!LeavePage())
        return nullptr;
    RNode* folder = m_tree.GetCurrentFolder();
    CFolderNode* data = FolderData(folder);
    if (!data || !m_tree.IsFolderInside(folder))
        return nullptr;
    CColctNode* colct = m_tree.EnsureColct(folder);
    if (!colct)
        return nullptr;
    // A collection left empty by deletes has lost its flag.
    if (!data->HasPage()) {
        data->SetHasPage(true);
        if (!m_tree.SaveFolderTree()) {
            data->SetHasPage(false);
            return nullptr;
        }
    }
    std::set<long> used;
    for (RNode* r = colct->GetFirstRNode(); r; r = r->GetNext()) {
        auto* page = r->GetType() == NT_URL ? static_cast<CUrlNode*>(r->GetData()) : nullptr;
        if (page && page->GetItemType() == ITEM_NOTE)
            used.insert(CPageTitle::GetUntitledNumber(NameOf(page)));
    }
    std::u16string directory = m_tree.GetFolderDirectory(folder);
    long number = 1;
    while (used.count(number) || (!directory.empty() && CFileSys::Exists(directory + CPageTitle::GetUntitledTitle(number))))
        ++number;

    CUrlNode* item = CUrlNode::New();
    if (!item)
        return nullptr;
    item->SetName(CPageTitle::GetUntitledTitle(number).c_str());
    CBaseNode::AssignUUID(item);
    item->SetItemType(ITEM_NOTE);
    long now = static_cast<long>(std::time(nullptr));
    item->GetNodeStat()->SetStatTime(now, now, now,
                                     CNodeStat::STAT_ADDED | CNodeStat::STAT_MODIFIED | CNodeStat::STAT_VISITED);
    if (!colct->AddNewUrlNode(item)) {
        CBaseNode::Delete(item);
        return nullptr;
    }
    UIPort().ShowCollection(colct);
    Show(colct, item);
    return item;
}

bool CPageMgr::WritePageFile(const std::u16string& path, const std::string& bytes)
{
    std::u16string backup = path + u"~";
    bool backedUp = false;
    int error = 0;
    if (CFileSys::Exists(path)) {
        backedUp = CFileSys::MakeSafetyCopy(path, backup, &error);
        if (!backedUp)
            ShowMessage(u"Can not backup file when save file Code=" + CFileSys::ErrorCode(error) + u".\r\n" + path);
    }
    bool written = false;
    // A read-only page stays as it is, as it would where the attribute
    // forbids writing; replacing it by rename would ignore it.
    if (CFileSys::IsFile(path) && CFileSys::IsReadOnly(path)) {
        error = EACCES;
    } else {
        written = CFileSys::WriteWholeFile(path, bytes, &error, backedUp ? backup : std::u16string());
    }
    if (!written) {
        ShowMessage(u"Can not save file Code=" + CFileSys::ErrorCode(error) + u":\r\n" + path);
        if (backedUp)
            CFileSys::RestoreSafetyCopy(backup, path);
        return false;
    }
    return true;
}

void CPageMgr::WriteKeywords(const std::u16string& path, CUrlNode* item)
{
    if (!CFolderTreeMgr::IsInsideContent(path, false))
        return;  // an attribute set through the link would land outside
    CUrlProp* prop = item->PeekUrlProp();
    RBstrItem* tags = prop ? prop->GetTagsHead() : nullptr;
    bool asked = prop && prop->DoNeedSaveKeyWords();
    // A saved page is a new file: its tags are written again even when
    // they did not change.
    if (!asked && !tags)
        return;
    std::string value;
    for (RBstrItem* t = tags; t; t = t->GetNext()) {
        if (!value.empty())
            value += ',';
        value += CUnicodeTool::ToUtf8(t->GetData());
    }
    std::string native = CFileSys::Native(path);
    int result = value.empty() ? ::removexattr(native.c_str(), kTagsAttribute)
                               : ::setxattr(native.c_str(), kTagsAttribute, value.data(), value.size(), 0);
    bool done = result == 0 || errno == ENOTSUP || (value.empty() && errno == ENODATA);
    if (done && asked)
        prop->SetNeedSaveKeyWords(false);
}

bool CPageMgr::AddTagPaths(CUrlNode* item, RNode* folder)
{
    CUrlProp* prop = item->PeekUrlProp();
    RBstrItem* tags = prop ? prop->GetTagsHead() : nullptr;
    std::u16string path = m_tree.GetPageRelativePath(folder, item);
    if (!tags || path.empty())
        return true;
    CProjectTags& store = m_tree.GetProjectTags();
    for (RBstrItem* t = tags; t; t = t->GetNext())
        store.AddTag(t->GetData(), path);
    // The store and the flag only index the collections: what is not
    // written now stays marked and is written at the close.
    bool saved = !store.IsDirty() || m_tree.SaveTags();
    CFolderNode* data = FolderData(folder);
    if (!data->HasTag()) {
        data->SetHasTag(true);
        saved = m_tree.SaveFolderTree() && saved;
    }
    return saved;
}

bool CPageMgr::MoveTagPaths(CUrlNode* item, const std::u16string& oldPath, const std::u16string& newPath)
{
    CUrlProp* prop = item->PeekUrlProp();
    RBstrItem* tags = prop ? prop->GetTagsHead() : nullptr;
    if (!tags || oldPath.empty() || newPath.empty() || oldPath == newPath)
        return false;
    CProjectTags& store = m_tree.GetProjectTags();
    bool changed = store.RemovePath(oldPath) > 0;
    for (RBstrItem* t = tags; t; t = t->GetNext())
        changed = store.AddTag(t->GetData(), newPath) || changed;
    return changed;
}

int CPageMgr::SavePage(CUrlNode* item)
{
    RNode* folder = nullptr;
    CColctNode* colct = FindColct(item, &folder);
    // The view's document belongs to the page being shown and no other.
    if (!colct || !IsCurrent(item))
        return SAVE_NOTHING;
    std::string bytes;
    int codePage = kCodePageUtf8;
    if (!UIPort().GetPageDocument(&bytes, &codePage)) {
        // Edits the editor did not hand over are not saved: leaving the
        // page must ask, not drop them quietly.
        if (!UIPort().IsPageModified())
            return SAVE_NOTHING;
        ShowMessage(kNoDocumentText);
        return SAVE_FAILED;
    }

    bool first = !item->HasUrl();
    std::u16string file;
    std::u16string title = NameOf(item);
    if (!first) {
        if (!m_tree.IsPageInside(folder, item))
            return SAVE_FAILED;
        file = m_tree.GetPageFilePath(folder, item);
        if (file.empty()) {
            ShowMessage(kNoFileNameText);
            return SAVE_FAILED;
        }
    } else {
        std::u16string directory = m_tree.GetFolderDirectory(folder);
        if (directory.empty()) {
            ShowMessage(u"The Folder does not exist:\r\n" + GetShownDirectory(folder));
            return SAVE_FAILED;
        }
        // A title read from a collection file may hold anything.
        bool usable = !title.empty() && CFileSys::IsPlainName(title + u".htm");
        for (char16_t c : title)
            usable = usable && !CPageTitle::IsForbidden(c);
        if (!usable) {
            ShowMessage(kNoFileNameText);
            return SAVE_FAILED;
        }
        file = directory + title + u".htm";
        if (!CFolderTreeMgr::IsInsideContent(file))
            return SAVE_FAILED;
        if (CFileSys::Exists(file) &&
            Ask(u"A file with the same name is already exist\r\n" + file + u"\nDo you want to replace it?" +
                    u"\n\nIf press No, please change the Page title",
                IDNO) != IDYES)
            return SAVE_FAILED;
    }

    if (codePage == kCodePageUtf16) {
        // Without its mark a UTF-16 file reads as something else.
        if (bytes.compare(0, 2, "\xFF\xFE") != 0)
            bytes.insert(0, "\xFF\xFE");
    } else if (codePage != kCodePageUtf8) {
        std::string utf8;
        if (!CPageHtml::ToUtf8(bytes, codePage, &utf8)) {
            ShowMessage(kNoUtf8Text);
            return SAVE_FAILED;
        }
        bytes.swap(utf8);
    }
    if (!first && !ConfirmOverwrite(item, file))
        return SAVE_FAILED;
    bool existed = CFileSys::Exists(file);
    // Saving the same bytes again changes nothing worth a time.
    std::string before;
    bool readBefore = !first && existed && ReadWholeFile(file, &before);
    bool changed = first || !existed || !readBefore || before != bytes;
    if (changed && readBefore)
        KeepVersion(item, file, before);  // a failure does not stop the save
    if (!WritePageFile(file, bytes))
        return SAVE_FAILED;
    m_stamp = CFileStamp::OfWritten(file, bytes);
    m_stampFile = file;
    m_bGoneTold = false;
    WriteKeywords(file, item);
    CNodeStat* stat = item->GetNodeStat();
    long oldModified = 0;
    stat->GetStatTime(nullptr, &oldModified, nullptr);
    if (changed)
        stat->SetStatTime(0, static_cast<long>(std::time(nullptr)), 0, CNodeStat::STAT_MODIFIED);
    if (first) {
        CFolderTreeMgr::COperation operation(m_tree);
        CFolderNode* data = FolderData(folder);
        bool hadPage = data->HasPage();
        item->SetUrl((title + u".htm").c_str());
        data->SetHasPage(true);
        bool colctSaved = m_tree.SaveColct(colct);
        if (!colctSaved || (!hadPage && !m_tree.SaveFolderTree())) {
            // The page stays unsaved, as its collection file knows it.
            item->SetUrl(nullptr);
            stat->SetStatTime(0, oldModified, 0, CNodeStat::STAT_MODIFIED);
            data->SetHasPage(hadPage);
            if (!existed)
                CFileSys::RemoveFile(file);
            if (colctSaved)
                static_cast<void>(m_tree.SaveColct(colct));
            return SAVE_FAILED;
        }
        AddTagPaths(item, folder);
    } else if (changed && !m_tree.SaveColct(colct)) {
        // The page itself is saved; its time waits for the next write of
        // the collection (the user heard why this one failed).
        colct->SetHasNewData(true);
    }
    if (changed)
        UIPort().RefreshItem(item);
    return SAVE_DONE;
}

bool CPageMgr::SaveIfModified(CUrlNode* item)
{
    if (!IsCurrent(item) || !UIPort().IsPageModified())
        return true;
    if (SavePage(item) == SAVE_FAILED) {
        const char16_t* url = item->GetUrl();
        std::u16string text = u"Can not save current Page\r\n" + std::u16string(url ? url : u"") +
                              u"\r\nDo you want to discard the modification?";
        if (Ask(text, IDNO) != IDYES)
            return false;
    }
    UIPort().SetPageModified(false);
    return true;
}

bool CPageMgr::LeavePage()
{
    CUrlNode* page = GetCurrentPage();
    if (!page)
        return true;
    // Left already, and the view (shown or cleared since) has no changes.
    if (m_bLeft && !UIPort().IsPageModified())
        return true;
    std::u16string typed = UIPort().GetTitleText();
    if (typed != NameOf(page))
        RenamePage(page, typed);
    if (!SaveIfModified(page))
        return false;
    UIPort().RefreshItem(page);
    RNode* folder = nullptr;
    if (page->HasUrl() && FindColct(page, &folder))
        m_recent.Add(m_tree, folder, page);
    m_bLeft = true;
    return true;
}

// ---- titles ----

bool CPageMgr::IsTitleTaken(CColctNode* colct, const std::u16string& title, CUrlNode* except)
{
    for (RNode* r = colct ? colct->GetFirstRNode() : nullptr; r; r = r->GetNext()) {
        if (r->GetData() != except && CStringTool::EqualNoCase(r->GetData()->GetName(), title.c_str()))
            return true;
    }
    return false;
}

bool CPageMgr::RenamePage(CUrlNode* item, const std::u16string& typed)
{
    RNode* folder = nullptr;
    CColctNode* colct = FindColct(item, &folder);
    if (!colct)
        return false;
    std::u16string title = CPageTitle::Clean(typed);
    if (title.empty()) {
        ShowMessage(u"Title can not be empty.");
        RestoreTitle(item);
        return false;
    }
    if (title == NameOf(item)) {
        RestoreTitle(item);
        return true;
    }
    if (IsTitleTaken(colct, title, item)) {
        ShowMessage(u"An item with the title you specified already exists.\nPlease specify a different title.");
        RestoreTitle(item);
        return false;
    }
    if (!m_tree.IsPageInside(folder, item)) {
        RestoreTitle(item);
        return false;
    }
    std::u16string directory = m_tree.GetFolderDirectory(folder);
    std::u16string oldFile = item->HasUrl() ? m_tree.GetPageFilePath(folder, item) : std::u16string();
    if (directory.empty() || (item->HasUrl() && oldFile.empty())) {
        ShowMessage(kNoPathText);
        RestoreTitle(item);
        return false;
    }
    std::u16string newFile = directory + title + u".htm";
    std::u16string newAssets = CFolderTreeMgr::GetAssetsFolder(newFile);
    std::u16string oldAssets = CFolderTreeMgr::GetAssetsFolder(oldFile);
    if (newFile != oldFile && CFileSys::Exists(newFile)) {
        ShowMessage(u"A file with the same name is already exist\r\n" + newFile);
        RestoreTitle(item);
        return false;
    }
    if (newAssets != oldAssets && CFileSys::Exists(newAssets)) {
        ShowMessage(u"Assets file folder name conflicts, please choose another name\r\n" + newAssets);
        RestoreTitle(item);
        return false;
    }

    std::u16string oldTitle = NameOf(item);
    if (oldFile.empty()) {
        item->SetName(title.c_str());
        if (!m_tree.SaveColct(colct)) {
            item->SetName(oldTitle.c_str());
            RestoreTitle(item);
            return false;
        }
    } else {
        int error = 0;
        if (!CFileSys::Rename(oldFile, newFile, &error)) {
            ShowMessage(u"Could not change Page File name. Code=" + CFileSys::ErrorCode(error));
            RestoreTitle(item);
            return false;
        }
        bool movedAssets = false;
        if (CFileSys::IsDirectory(oldAssets)) {
            movedAssets = CFileSys::Rename(oldAssets, newAssets);
            if (!movedAssets)
                ShowMessage(u"Can not rename folder. Please rename it manually.\r\n\r\n" + oldAssets);
        }
        CFolderTreeMgr::COperation operation(m_tree);
        CProjectTags& store = m_tree.GetProjectTags();
        CProjectTags::CSnapshot tags = store.TakeSnapshot();
        std::u16string oldUrl = item->GetUrl();
        std::u16string oldPath = m_tree.GetPageRelativePath(folder, item);
        item->SetUrl((title + u".htm").c_str());
        item->SetName(title.c_str());
        bool tagsMoved = MoveTagPaths(item, oldPath, m_tree.GetPageRelativePath(folder, item));
        bool colctSaved = m_tree.SaveColct(colct);
        if (!colctSaved || (tagsMoved && !m_tree.SaveTags())) {
            // The file, its pictures, the item and both files keep the old name.
            item->SetUrl(oldUrl.c_str());
            item->SetName(oldTitle.c_str());
            store.Restore(tags);
            if (movedAssets)
                CFileSys::Rename(newAssets, oldAssets);
            CFileSys::Rename(newFile, oldFile);
            if (colctSaved)
                static_cast<void>(m_tree.SaveColct(colct));
            RestoreTitle(item);
            return false;
        }
        if (movedAssets)
            RewriteAssetLinks(item, newFile, oldAssets, newAssets);
        m_tree.NotifyPathChange({oldPath, m_tree.GetPageRelativePath(folder, item), item});
        if (m_stampFile == oldFile)
            m_stampFile = newFile;
    }
    UIPort().RefreshItem(item);
    if (IsCurrent(item)) {
        UIPort().SetTitleText(title);
        m_tree.RememberShownItem(colct, item);
    }
    return true;
}

void CPageMgr::RewriteAssetLinks(CUrlNode* item, const std::u16string& file, const std::u16string& oldAssets,
                                 const std::u16string& newAssets)
{
    RewritePage(item, file, [&](std::string& html) {
        return CPageHtml::RewriteImageSources(html, CUnicodeTool::ToUtf8(CFileSys::NameOf(oldAssets)),
                                              CUnicodeTool::ToUtf8(CFileSys::NameOf(newAssets))) != 0;
    });
}

bool CPageMgr::RewritePage(CUrlNode* item, const std::u16string& file, const std::function<bool(std::string& html)>& edit)
{
    // The page being shown is taken from the view, with the changes not yet
    // saved, and shown again from its file once that is written.
    std::string html;
    std::string bytes;
    int codePage = kCodePageUtf8;
    bool fromView = IsCurrent(item) && UIPort().GetPageDocument(&bytes, &codePage);
    if (fromView) {
        if (!CPageHtml::ToUtf8(bytes, codePage, &html)) {
            ShowMessage(kNoUtf8Text);
            return false;
        }
    } else {
        if (!ReadWholeFile(file, &bytes)) {
            ShowMessage(kNoPathText);
            return false;
        }
        if (!CPageHtml::FileToUtf8(bytes, &html)) {
            ShowMessage(kNoUtf8Text);
            return false;
        }
    }
    if (!edit(html))
        return false;
    if (!WritePageFile(file, html))
        return false;
    if (IsCurrent(item)) {
        m_stamp = CFileStamp::OfWritten(file, html);
        m_stampFile = file;
    }
    WriteKeywords(file, item);
    if (fromView) {
        UIPort().ShowPage(file);
        UIPort().SetPageModified(false);
    }
    return true;
}

// ---- move, delete, flag ----

bool CPageMgr::MovePage(CUrlNode* item, RNode* target)
{
    RNode* source = nullptr;
    CColctNode* colct = FindColct(item, &source);
    CFolderNode* targetData = FolderData(target);
    if (!colct || !targetData)
        return false;
    if (target == source) {
        ShowMessage(u"Please choose a different collection.");
        return false;
    }
    if (!m_tree.IsPageInside(source, item) || !m_tree.IsFolderInside(target))
        return false;
    // The page leaves the view, saved, before its file moves.
    bool wasCurrent = IsCurrent(item);
    if (wasCurrent && !LeavePage())
        return false;
    bool hasFile = item->HasUrl();
    std::u16string oldFile = hasFile ? m_tree.GetPageFilePath(source, item) : std::u16string();
    if (hasFile && oldFile.empty()) {
        ShowMessage(kNoFileNameText);
        return false;
    }
    std::u16string targetDirectory = m_tree.GetFolderDirectory(target);
    if (targetDirectory.empty()) {
        ShowMessage(u"Can not create or load collection for this folder.\r\n" + GetShownDirectory(target));
        return false;
    }
    std::u16string fileName = hasFile ? item->GetUrl() : u"";
    bool fileClash = hasFile && CFileSys::Exists(targetDirectory + fileName);
    if (fileClash && Ask(kSameNameQuestion, IDYES) != IDYES)
        return false;

    CColctNode* targetColct = m_tree.LoadColct(target, false);
    if (!targetColct) {
        if (targetData->HasPage()) {
            ShowMessage(u"TargetFolder has page flag but no collection");
            return false;
        }
        targetColct = m_tree.CreateColct(target);
        if (!targetColct) {
            ShowMessage(u"Can not create or load collection for this folder.\r\n" + m_tree.GetColctFilePath(target));
            return false;
        }
        targetData->SetColctNode(targetColct);
        targetData->SetHasPage(true);
        if (!m_tree.SaveFolderTree()) {
            CColctNode::DeleteAll(targetData->DetachColctNode());
            targetData->SetHasPage(false);
            return false;
        }
    }
    if (!targetColct->GetLocRNodeRoot() || !colct->GetLocRNodeRoot())
        return false;

    // One question is enough when both the file and the title are taken; a
    // taken file alone needs a new name as much as a taken title.
    std::u16string title = NameOf(item);
    bool titleClash = IsTitleTaken(targetColct, title, nullptr);
    if (titleClash && !fileClash && Ask(kSameNameQuestion, IDYES) != IDYES)
        return false;
    std::u16string newTitle = title;
    if (fileClash || titleClash) {
        newTitle.clear();
        for (long n = 2; n <= 99 && newTitle.empty(); ++n) {
            std::u16string candidate = title + u" (" + Decimal(n) + u")";
            if (!CFileSys::Exists(targetDirectory + candidate + u".htm") &&
                !CFileSys::Exists(targetDirectory + candidate + u"_files") &&
                !IsTitleTaken(targetColct, candidate, nullptr))
                newTitle = candidate;
        }
        if (newTitle.empty()) {
            ShowMessage(u"Can not find suitable name.\n");
            return false;
        }
        fileName = newTitle + u".htm";
    }

    std::u16string newFile = targetDirectory + fileName;
    std::u16string oldAssets = CFolderTreeMgr::GetAssetsFolder(oldFile);
    std::u16string newAssets = CFolderTreeMgr::GetAssetsFolder(newFile);
    bool movedAssets = false;
    if (hasFile) {
        bool moved = CFileSys::IsPlainName(fileName) && CFileSys::Rename(oldFile, newFile);
        if (moved && CFileSys::IsDirectory(oldAssets)) {
            movedAssets = CFileSys::Rename(oldAssets, newAssets);
            if (!movedAssets) {
                CFileSys::Rename(newFile, oldFile);
                moved = false;
            }
        }
        if (!moved) {
            ShowMessage(u"We can not move the page file to new location.");
            return false;
        }
    }

    // Every file written from here on is written again as it was when a
    // later one fails, so page files and collection files always agree.
    CFolderTreeMgr::COperation operation(m_tree);
    CProjectTags& store = m_tree.GetProjectTags();
    CProjectTags::CSnapshot tags = store.TakeSnapshot();
    CFolderNode* sourceData = FolderData(source);
    const bool sourceHadPage = sourceData->HasPage();
    const bool targetHadPage = targetData->HasPage();
    const bool targetHadTag = targetData->HasTag();
    std::u16string oldUrl = hasFile ? item->GetUrl() : u"";
    std::u16string oldPath = m_tree.GetPageRelativePath(source, item);
    RNode* record = item->GetRNode();
    RNode* oldNext = record->GetNext();
    RNTool::RemoveOneChild(colct->GetLocRNodeRoot(), record);
    RNTool::InsertAsHeadChild(targetColct->GetLocRNodeRoot(), record);
    if (newTitle != title) {
        item->SetName(newTitle.c_str());
        if (hasFile)
            item->SetUrl(fileName.c_str());
    }
    bool tagsMoved = MoveTagPaths(item, oldPath, m_tree.GetPageRelativePath(target, item));
    if (tagsMoved)
        targetData->SetHasTag(true);
    targetData->SetHasPage(true);
    if (!colct->GetFirstRNode())
        sourceData->SetHasPage(false);

    bool sourceSaved = m_tree.SaveColct(colct);
    bool targetSaved = sourceSaved && m_tree.SaveColct(targetColct);
    bool tagsSaved = targetSaved && (!tagsMoved || m_tree.SaveTags());
    if (!tagsSaved || !m_tree.SaveFolderTree()) {
        RNTool::RemoveOneChild(targetColct->GetLocRNodeRoot(), record);
        if (oldNext)
            RNTool::InsertBefore(oldNext, record);
        else
            RNTool::InsertAsChild(colct->GetLocRNodeRoot(), record);
        item->SetName(title.c_str());
        if (hasFile)
            item->SetUrl(oldUrl.c_str());
        store.Restore(tags);
        sourceData->SetHasPage(sourceHadPage);
        targetData->SetHasPage(targetHadPage);
        targetData->SetHasTag(targetHadTag);
        if (movedAssets)
            CFileSys::Rename(newAssets, oldAssets);
        if (hasFile)
            CFileSys::Rename(newFile, oldFile);
        // The user heard of the first failure; these stay quiet.
        if (sourceSaved)
            static_cast<void>(m_tree.SaveColct(colct));
        if (targetSaved)
            static_cast<void>(m_tree.SaveColct(targetColct));
        if (tagsMoved && tagsSaved)
            static_cast<void>(m_tree.SaveTags());
        return false;
    }
    // The pictures follow the assets folder when its name changed.
    if (movedAssets && CFileSys::NameOf(oldAssets) != CFileSys::NameOf(newAssets))
        RewriteAssetLinks(item, newFile, oldAssets, newAssets);
    if (hasFile)
        m_tree.NotifyPathChange({oldPath, m_tree.GetPageRelativePath(target, item), item});
    if (hasFile && !CPageHistory::Move(oldFile, newFile, item->GetUUID()))
        CTraceLog::Write("The history of %s stayed in its old folder", CUnicodeTool::ToUtf8(newFile).c_str());
    UIPort().ShowTree(m_tree.GetRoot(), m_tree.GetCurrentFolder());
    if (wasCurrent) {
        ForgetCurrent();
        UIPort().ClearPageView();
        UIPort().SetTitleText(u"");
    }
    if (source == m_tree.GetCurrentFolder())
        UIPort().ShowCollection(colct);
    else if (target == m_tree.GetCurrentFolder())
        UIPort().ShowCollection(targetColct);
    return true;
}

bool CPageMgr::DeletePage(CUrlNode* item)
{
    RNode* folder = nullptr;
    CColctNode* colct = FindColct(item, &folder);
    if (!colct)
        return false;
    if (!m_tree.IsPageInside(folder, item))
        return false;
    std::u16string file = item->HasUrl() ? m_tree.GetPageFilePath(folder, item) : std::u16string();
    if (item->HasUrl() && file.empty()) {
        ShowMessage(kNoFileNameText);
        return false;
    }
    if (!UIPort().Confirm(CFolderTreeMgr::GetRemoveConfirmation(item->GetRNode())))
        return false;
    // The files are written first; the page file goes to the trash only
    // when they all were, as nothing brings it back from there.
    CFolderTreeMgr::COperation operation(m_tree);
    const bool wasCurrent = IsCurrent(item);
    CProjectTags& store = m_tree.GetProjectTags();
    CProjectTags::CSnapshot tags = store.TakeSnapshot();
    CFolderNode* data = FolderData(folder);
    const bool hadPage = data->HasPage();
    const std::u16string path = file.empty() ? std::u16string() : m_tree.GetPageRelativePath(folder, item);
    RNode* record = item->GetRNode();
    RNode* oldNext = record->GetNext();
    RNTool::RemoveOneChild(colct->GetLocRNodeRoot(), record);
    if (!colct->GetFirstRNode())
        data->SetHasPage(false);
    bool tagsGone = !path.empty() && store.RemovePath(path) > 0;
    bool colctSaved = m_tree.SaveColct(colct);
    bool tagsSaved = colctSaved && (!tagsGone || m_tree.SaveTags());
    if (!tagsSaved || (hadPage != data->HasPage() && !m_tree.SaveFolderTree())) {
        if (oldNext)
            RNTool::InsertBefore(oldNext, record);
        else
            RNTool::InsertAsChild(colct->GetLocRNodeRoot(), record);
        data->SetHasPage(hadPage);
        store.Restore(tags);
        if (colctSaved)
            static_cast<void>(m_tree.SaveColct(colct));
        if (tagsGone && tagsSaved)
            static_cast<void>(m_tree.SaveTags());
        return false;
    }
    if (wasCurrent) {
        ForgetCurrent();
        UIPort().ClearPageView();
        UIPort().SetTitleText(u"");
    }
    if (!file.empty() && CFileSys::Exists(file) && m_trashPage)
        m_trashPage(file);
    if (!path.empty())
        m_tree.NotifyPathChange({path, std::u16string(), item});
    RNode::Delete(record);
    item->SetRNode(nullptr);
    m_deleted.push_back(item);
    if (folder == m_tree.GetCurrentFolder())
        UIPort().ShowCollection(colct);
    return true;
}

bool CPageMgr::SetFlag(CUrlNode* item, int flag)
{
    CColctNode* colct = FindColct(item);
    if (!colct || flag < 0 || flag > CNodeStat::kMaxFlag)
        return false;
    int oldFlag = item->GetNodeStat()->GetFlag();
    if (oldFlag == flag)
        return true;
    item->GetNodeStat()->SetFlag(flag);
    bool saved = m_tree.SaveColct(colct);
    if (!saved)
        item->GetNodeStat()->SetFlag(oldFlag);
    UIPort().RefreshItem(item);
    return saved;
}

// ---- history ----

bool CPageMgr::KeepVersion(CUrlNode* item, const std::u16string& file, const std::string& bytes)
{
    // Pages of older collections may have no identifier yet; their
    // collection is written with the one given now.
    if (!CPageHistory::IsUuid(item->GetUUID())) {
        bool current = m_pPage == item;
        CBaseNode::AssignUUID(item);
        if (current)
            m_pageUUID = item->GetUUID();
        if (CColctNode* colct = FindColct(item))
            colct->SetHasNewData(true);
    }
    if (CPageHistory::Keep(file, item->GetUUID(), bytes))
        return true;
    CTraceLog::Write("Could not keep a version of %s", CUnicodeTool::ToUtf8(file).c_str());
    return false;
}

std::vector<CPageHistory::CVersion> CPageMgr::ListVersions(std::u16string* pageFile)
{
    RNode* folder = nullptr;
    CUrlNode* page = GetCurrentPage();
    std::u16string file;
    if (page && page->HasUrl() && FindColct(page, &folder) && m_tree.IsPageInside(folder, page, false))
        file = m_tree.GetPageFilePath(folder, page);
    if (pageFile)
        *pageFile = file;
    return file.empty() ? std::vector<CPageHistory::CVersion>() : CPageHistory::List(file, page->GetUUID());
}

bool CPageMgr::RestoreVersion(const std::u16string& version)
{
    std::u16string file;
    ListVersions(&file);
    CUrlNode* page = GetCurrentPage();
    RNode* folder = nullptr;
    CColctNode* colct = file.empty() ? nullptr : FindColct(page, &folder);
    // Edits not yet saved become a version of their own.
    if (!colct || !SaveIfModified(page))
        return false;
    std::string bytes;
    if (!CPageHistory::Read(file, page->GetUUID(), version, &bytes)) {
        ShowMessage(u"This version of the page can not be read:\r\n" + version);
        return false;
    }
    std::string current;
    bool hasCurrent = ReadWholeFile(file, &current);
    if (hasCurrent && current == bytes)
        return true;
    if (hasCurrent && !CPageHistory::Keep(file, page->GetUUID(), current)) {
        ShowMessage(u"The page as it is now could not be kept in its history, so the version was not restored.");
        return false;
    }
    if (!WritePageFile(file, bytes))
        return false;
    m_stamp = CFileStamp::OfWritten(file, bytes);
    m_stampFile = file;
    WriteKeywords(file, page);
    page->GetNodeStat()->SetStatTime(0, static_cast<long>(std::time(nullptr)), 0, CNodeStat::STAT_MODIFIED);
    if (!m_tree.SaveColct(colct))
        colct->SetHasNewData(true);
    UIPort().RefreshItem(page);
    UIPort().ShowPage(file);
    UIPort().SetPageModified(false);
    return true;
}

bool CPageMgr::EmptyHistory()
{
    std::u16string file;
    ListVersions(&file);
    if (file.empty() || Ask(u"Delete every earlier version of this page?", IDNO) != IDYES)
        return false;
    return CPageHistory::Empty(file, GetCurrentPage()->GetUUID());
}

bool CPageMgr::EmptyDeletedHistory()
{
    RNode* folder = m_tree.GetCurrentFolder();
    // Without its collection every history there would look orphaned.
    CColctNode* colct = folder ? m_tree.LoadColct(folder, true) : nullptr;
    std::u16string directory = colct ? m_tree.GetFolderDirectory(folder) : std::u16string();
    if (directory.empty() ||
        Ask(u"Delete the earlier versions of the pages deleted from this folder?", IDNO) != IDYES)
        return false;
    std::vector<std::u16string> uuids;
    for (RNode* r = colct->GetFirstRNode(); r; r = r->GetNext())
        uuids.push_back(r->GetData()->GetUUID());
    CPageHistory::EmptyDeleted(directory, uuids);
    return true;
}

// ---- address mismatch ----

bool CPageMgr::CheckLoadedAddress(const std::u16string& loaded)
{
    CUrlNode* page = GetCurrentPage();
    if (!page || !page->HasUrl())
        return true;
    std::u16string file = m_tree.GetPageFilePath(FolderOfColct(m_pColct), page);
    if (file.empty() || CEditorText::NormalizeAddress(file) == CEditorText::NormalizeAddress(loaded))
        return true;
    // A save now would put the other document into the page file.
    std::u16string backup = CEditorText::GetBackupName(file, static_cast<long>(std::time(nullptr)),
                                                       [](const std::u16string& path) { return CFileSys::Exists(path); });
    bool backedUp = CFileSys::IsFile(file) && CFileSys::CopyFile(file, backup);
    if (Ask(CEditorText::BuildMismatchText(file, backedUp, loaded), IDNO) == IDYES)
        CAppSettings::Get()->OpenExternalUrl(loaded);
    return false;
}

// ---- files changed by other programs ----

void CPageMgr::StampPage(const std::u16string& file)
{
    m_stamp = CFileStamp::Take(file);
    m_stampFile = file;
    m_bGoneTold = false;
}

std::string CPageMgr::GetDocumentBytes()
{
    std::string bytes;
    std::string utf8;
    int codePage = kCodePageUtf8;
    if (!UIPort().GetPageDocument(&bytes, &codePage))
        return {};
    if (codePage == kCodePageUtf8 || codePage == kCodePageUtf16)
        return bytes;
    return CPageHtml::ToUtf8(bytes, codePage, &utf8) ? utf8 : bytes;
}

bool CPageMgr::ConfirmOverwrite(CUrlNode* item, const std::u16string& file)
{
    if (file != m_stampFile)
        return true;
    std::string theirs;
    CFileStamp now;
    if (m_stamp.Compare(file, &theirs, &now) != CFileStamp::CHANGED)
        return true;
    if (Ask(WithPath(kOverwriteQuestion, file), IDNO) != IDYES)
        return false;
    // Kept before it is written over; without the copy it is not.
    if (KeepVersion(item, file, theirs))
        return true;
    ShowMessage(u"The other version could not be kept in the page history, so the page was not saved.");
    return false;
}

void CPageMgr::CheckShownPage()
{
    CUrlNode* page = GetCurrentPage();
    if (!page || !page->HasUrl() || m_stampFile.empty())
        return;
    std::u16string file = m_tree.GetPageFilePath(FolderOfColct(m_pColct), page);
    if (file != m_stampFile)
        return;
    std::string theirs;
    CFileStamp now;
    CFileStamp::tagSTATE state = m_stamp.Compare(file, &theirs, &now);
    if (state == CFileStamp::SAME) {
        m_stamp = now;
        m_bGoneTold = false;
        return;
    }
    if (state == CFileStamp::GONE) {
        if (!m_bGoneTold) {
            m_bGoneTold = true;
            // Marked changed, so leaving the page saves the view's content.
            UIPort().SetPageModified(true);
            ShowMessage(WithPath(kGoneText, file));
        }
        return;
    }
    m_bGoneTold = false;
    if (UIPort().IsPageModified()) {
        CConfirmation question{u"Page Changed by Another Program", kBothChangedText, file, true, u"Take Theirs",
                               u"Keep Mine"};
        if (UIPort().Confirm(question)) {
            // Once theirs is kept, the next save writes ours over it
            // without asking again; until then a save still asks.
            if (KeepVersion(page, file, theirs))
                m_stamp = now;
            return;
        }
        std::string mine = GetDocumentBytes();
        if (!mine.empty() && !KeepVersion(page, file, mine)) {
            ShowMessage(u"Your version could not be kept in the page history, so it stays in the editor.");
            m_stamp = now;
            return;
        }
    }
    UIPort().ShowPage(file);
    UIPort().SetPageModified(false);
    m_stamp = now;
}

void CPageMgr::CheckOutsideChanges()
{
    // A question below runs the main loop, which may bring the next burst.
    if (m_bChecking || !m_tree.GetRoot())
        return;
    m_bChecking = true;
    m_tree.SyncFolderTree();
    CheckShownPage();
    RNode* folder = m_tree.GetCurrentFolder();
    if (folder && m_tree.SyncColct(folder)) {
        CFolderNode* data = FolderData(folder);
        UIPort().ShowCollection(data ? data->GetColctNode() : nullptr);
        if (CUrlNode* page = GetCurrentPage())
            UIPort().SelectItem(page);
    }
    m_bChecking = false;
}

std::vector<std::u16string> CPageMgr::GetWatchedFolders()
{
    RNode* folder = m_tree.GetCurrentFolder();
    std::u16string relative;
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    if (!folder || !m_tree.GetRoot() || content.empty() || !m_tree.GetRelativePath(folder, &relative))
        return {};
    std::u16string directory = CFileSys::WithSlash(content) + relative;
    std::u16string data = u"/" + std::u16string(CUserFolder::GetProjectDataFolderName()) + u"/";
    std::vector<std::u16string> folders = {directory, CFileSys::WithoutSlash(directory) + data};
    // The tree file is in the top folder's data folder.
    if (!relative.empty())
        folders.push_back(CFileSys::WithoutSlash(content) + data);
    return folders;
}
