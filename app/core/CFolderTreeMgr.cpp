#include "app/core/CFolderTreeMgr.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CCommandTable.h"
#include "app/core/CFileSys.h"
#include "app/core/CPageTitle.h"
#include "app/core/CSafeSave.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/tools/CStringTool.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CReadFolderTreeOPML.h"
#include "base/xml/CWriteColctRSS.h"
#include "base/xml/CWriteFolderTreeOPML.h"

namespace {

constexpr char16_t kCharsText[] = u"A folder name cannot contain any of the following characters:\n\t";
constexpr char16_t kEmptyNameText[] = u"Name can not be empty.";
constexpr char16_t kSameNameText[] = u"The same name already exits. Please choose another one.";
constexpr char16_t kDotNameText[] = u"A folder name cannot be \".\" or \"..\".";
constexpr char16_t kLongNameText[] = u"A folder name must be shorter than 200 characters.";
constexpr char16_t kTooDeepText[] = u"Folders can not be nested more than 200 levels deep.";
constexpr char16_t kBadNamesText[] =
    u"These folder names can not be used on this system; the folders are left untouched:\r\n";
constexpr char16_t kBadAddressText[] =
    u"This collection has page addresses that point outside its folder; those pages are not opened:\r\n";
constexpr char16_t kTreeUnreadableText[] = u"The folder tree file could not be read:\r\n";
constexpr char16_t kWriteFailedText[] = u"Can not write file:\r\n%s";
// With the system's error code, as a failed page save tells it.
constexpr char16_t kWriteFailedCodeText[] = u"Can not write file Code=%s:\r\n%s";
constexpr char16_t kLinkOutsideText[] = u"The link \"%s\" leads outside the project folder and was not followed.";

std::u16string Format(std::u16string text, const std::u16string& first, const std::u16string& second = {})
{
    size_t at = text.find(u"%s");
    if (at != std::u16string::npos) {
        text.replace(at, 2, first);
        at = text.find(u"%s", at + first.size());
        if (at != std::u16string::npos)
            text.replace(at, 2, second);
    }
    return text;
}

CFolderNode* FolderOf(RNode* rnode)
{
    return rnode && rnode->GetType() == NT_FOLDER ? static_cast<CFolderNode*>(rnode->GetData()) : nullptr;
}

std::u16string NameOf(const RNode* rnode)
{
    const char16_t* name = rnode->GetData() ? rnode->GetData()->GetName() : nullptr;
    return name ? name : u"";
}

bool HasForbiddenChar(const std::u16string& name)
{
    for (char16_t c : name) {
        if (c == u'\0' || CPageTitle::IsForbidden(c))
            return true;
    }
    return false;
}

bool IsDotName(const std::u16string& name)
{
    return name == u"." || name == u"..";
}


int DepthOf(RNode* rnode)
{
    int depth = 0;
    for (RNode* p = rnode->GetParent(); p; p = p->GetParent())
        ++depth;
    return depth;
}

// Levels of folders below `rnode` (0 without sub-folders).
int HeightOf(RNode* rnode)
{
    int height = 0;
    std::vector<std::pair<RNode*, int>> pending{{rnode, 0}};
    while (!pending.empty()) {
        auto [node, level] = pending.back();
        pending.pop_back();
        height = std::max(height, level);
        for (RNode* child = node->GetChild(); child; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER)
                pending.push_back({child, level + 1});
        }
    }
    return height;
}

bool IsInside(RNode* rnode, RNode* ancestor)
{
    for (RNode* p = rnode; p; p = p->GetParent()) {
        if (p == ancestor)
            return true;
    }
    return false;
}

// Every folder record of a tree in document order, `root` first.
std::vector<RNode*> FoldersOf(RNode* root)
{
    std::vector<RNode*> folders;
    std::vector<RNode*> pending;
    std::vector<RNode*> children;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        RNode* node = pending.back();
        pending.pop_back();
        folders.push_back(node);
        children.clear();
        for (RNode* child = node->GetChild(); child; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER)
                children.push_back(child);
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return folders;
}

// An empty collection whose item tree root is a folder named `name`.
CColctNode* NewColct(const char16_t* name)
{
    CColctNode* colct = CColctNode::New();
    CFolderNode* placeholder = CFolderNode::New();
    RNode* root = placeholder ? RNode::New2(placeholder, NT_FOLDER) : nullptr;
    if (!colct || !root) {
        CColctNode::DeleteAll(colct);
        CBaseNode::Delete(placeholder);
        return nullptr;
    }
    placeholder->SetName(name);
    colct->SetLocRNodeRoot(root);
    return colct;
}

// The length of a page file's extension, ".htm" or ".html" in any case,
// with at least one character before it; 0 for any other name. Browsers
// save pages as ".html" too.
size_t PageExtension(std::u16string_view name)
{
    for (std::u16string_view extension : {std::u16string_view(u".htm"), std::u16string_view(u".html")}) {
        if (name.size() > extension.size() && CStringTool::EndsWithNoCase(name, extension))
            return extension.size();
    }
    return 0;
}

// The page files of a directory, by name, other than the folder settings
// files a desktop may leave.
bool ListPageFiles(const std::u16string& directory, std::vector<CFileSys::Entry>* pages)
{
    std::vector<CFileSys::Entry> entries;
    if (!CFileSys::ListDir(directory, &entries))
        return false;
    pages->clear();
    for (CFileSys::Entry& entry : entries) {
        const char16_t* name = entry.name.c_str();
        if (entry.directory || CStringTool::EqualNoCase(name, u"Desktop.ini") ||
            CStringTool::EqualNoCase(name, u"Thumbs.db") || !PageExtension(entry.name) ||
            CFolderTreeMgr::IsConflictCopy(entry.name))
            continue;
        pages->push_back(std::move(entry));
    }
    // Directory order differs between file systems; names give one order.
    std::sort(pages->begin(), pages->end(), [](const auto& x, const auto& y) { return x.name < y.name; });
    return true;
}

// The folder messages used when a directory of a project is made.
bool MakeDirectory(const std::u16string& path, bool showMessages)
{
    if (CFileSys::IsDirectory(path))
        return true;
    int error = 0;
    if (CFileSys::MakeDir(path, &error))
        return true;
    if (showMessages) {
        std::u16string shown = CFileSys::WithoutSlash(path);
        if (error == EEXIST)
            ShowMessage(u"Cannot create a folder when that folder already exists.\n" + shown);
        else
            ShowMessage(u"Cannot create folder " + CFileSys::ErrorCode(error) + u":\r\n" + shown);
    }
    return false;
}

// The rules of the new-folder dialog: a forbidden character typed at the
// end is taken out again at once; the name is checked on OK.
class CNewFolderRules : public CNameRules {
public:
    explicit CNewFolderRules(std::function<bool(const std::u16string&)> isTaken) : m_isTaken(std::move(isTaken)) {}

    void OnTextChanged(std::u16string& text) override
    {
        if (!text.empty() && CPageTitle::IsForbidden(text.back())) {
            text.pop_back();
            ShowMessage(kCharsText + CPageTitle::GetCharacterList());
        }
    }

    bool OnOk(std::u16string& text) override
    {
        text = CStringTool::TrimBlanks(text);
        if (text.empty()) {
            ShowMessage(kEmptyNameText);
            return false;
        }
        // Pasted text skips the check while typing.
        if (HasForbiddenChar(text)) {
            ShowMessage(kCharsText + CPageTitle::GetCharacterList());
            return false;
        }
        if (IsDotName(text)) {
            ShowMessage(kDotNameText);
            return false;
        }
        if (text.size() >= CFolderTreeMgr::kMaxNameLength) {
            ShowMessage(kLongNameText);
            return false;
        }
        if (m_isTaken(text)) {
            ShowMessage(kSameNameText);
            return false;
        }
        return true;
    }

private:
    std::function<bool(const std::u16string&)> m_isTaken;
};

}  // namespace

CFolderTreeMgr::CFolderTreeMgr() = default;

CFolderTreeMgr::~CFolderTreeMgr()
{
    // Closing writes files; a manager dropped without CloseTree only frees.
    ReleaseTree(m_pRoot);
    for (CUrlNode* item : m_dropped)
        CBaseNode::Delete(item);
    for (RNode* folder : m_droppedFolders)
        ReleaseTree(folder);
}

// ---- paths ----

std::u16string CFolderTreeMgr::GetContentPath()
{
    const std::u16string& path = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    return path.empty() ? path : CFileSys::WithSlash(path);
}

bool CFolderTreeMgr::GetRelativePath(RNode* folder, std::u16string* path) const
{
    path->clear();
    if (!FolderOf(folder))
        return false;
    std::vector<std::u16string> names;
    for (RNode* node = folder; node->GetParent(); node = node->GetParent()) {
        std::u16string name = NameOf(node);
        if (!CFileSys::IsPlainName(name))
            return false;
        names.push_back(std::move(name));
    }
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        *path += *name + u'/';
    return true;
}

std::u16string CFolderTreeMgr::GetRelativePath(RNode* folder) const
{
    std::u16string path;
    GetRelativePath(folder, &path);
    return path;
}

bool CFolderTreeMgr::IsUsableFolder(RNode* folder) const
{
    std::u16string path;
    return GetRelativePath(folder, &path);
}

std::u16string CFolderTreeMgr::GetDirectoryPath(RNode* folder) const
{
    std::u16string content = GetContentPath();
    std::u16string relative;
    if (content.empty() || !GetRelativePath(folder, &relative))
        return {};
    return content + relative;
}

std::u16string CFolderTreeMgr::MakeFolderDirectory(RNode* folder, bool showMessages)
{
    std::u16string path = GetContentPath();
    std::u16string relative;
    if (path.empty() || !GetRelativePath(folder, &relative))
        return {};
    if (!IsInsideContent(path + relative, showMessages))
        return {};
    if (!MakeDirectory(path, showMessages))
        return {};
    for (size_t start = 0; start < relative.size();) {
        size_t slash = relative.find(u'/', start);
        path += relative.substr(start, slash + 1 - start);
        if (!MakeDirectory(path, showMessages))
            return {};
        start = slash + 1;
    }
    return path;
}

std::u16string CFolderTreeMgr::GetFolderDirectory(RNode* folder)
{
    return MakeFolderDirectory(folder, false);
}

std::u16string CFolderTreeMgr::GetColctFilePath(RNode* folder)
{
    std::u16string directory = GetFolderDirectory(folder);
    if (directory.empty())
        return {};
    return directory + CUserFolder::GetProjectDataFolderName() + u'/' + CUserFolder::GetFolderListFileName();
}

std::u16string CFolderTreeMgr::GetColctFile(RNode* folder) const
{
    std::u16string directory = GetDirectoryPath(folder);
    if (directory.empty())
        return {};
    return directory + CUserFolder::GetProjectDataFolderName() + u'/' + CUserFolder::GetFolderListFileName();
}

std::u16string CFolderTreeMgr::GetFolderTreeFilePath() const
{
    if (GetContentPath().empty())
        return {};
    return CAppSettings::Get()->GetUserFolder().GetFolderTreeFile();
}

std::u16string CFolderTreeMgr::GetPageFilePath(RNode* folder, CUrlNode* item)
{
    const char16_t* url = item ? item->GetUrl() : nullptr;
    if (!url || !CFileSys::IsPlainName(url))
        return {};
    std::u16string directory = GetFolderDirectory(folder);
    return directory.empty() ? directory : directory + url;
}

bool CFolderTreeMgr::IsPageInside(RNode* folder, CUrlNode* item, bool tell) const
{
    const char16_t* url = item ? item->GetUrl() : nullptr;
    std::u16string directory = GetDirectoryPath(folder);
    bool named = url && CFileSys::IsPlainName(url);
    return directory.empty() || IsInsideContent(named ? directory + url : directory, tell);
}

std::u16string CFolderTreeMgr::GetPageRelativePath(RNode* folder, CUrlNode* item) const
{
    const char16_t* url = item ? item->GetUrl() : nullptr;
    std::u16string relative;
    if (!url || !CFileSys::IsPlainName(url) || !GetRelativePath(folder, &relative))
        return {};
    return relative + url;
}

CUrlNode* CFolderTreeMgr::FindPage(const std::u16string& relative, RNode** folder, CColctNode** colct)
{
    std::u16string path = CProjectTags::NormalizePath(relative.c_str());
    RNode* node = m_pRoot;
    size_t start = 0;
    for (size_t slash = path.find(u'/'); node && slash != std::u16string::npos; slash = path.find(u'/', start)) {
        std::u16string name = path.substr(start, slash - start);
        start = slash + 1;
        RNode* next = nullptr;
        for (RNode* child = node->GetChild(); child && !next; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER && CStringTool::EqualNoCase(NameOf(child).c_str(), name.c_str()))
                next = child;
        }
        node = next;
    }
    std::u16string address = path.substr(start);
    CFolderNode* data = FolderOf(node);
    CColctNode* found = data && data->HasPage() && !address.empty() ? LoadColct(node, false) : nullptr;
    RNode* items = found ? found->GetLocRNodeRoot() : nullptr;
    for (RNode* child = items ? items->GetChild() : nullptr; child; child = child->GetNext()) {
        auto* item = child->GetType() == NT_URL ? static_cast<CUrlNode*>(child->GetData()) : nullptr;
        if (item && item->GetUrl() && CStringTool::EqualNoCase(item->GetUrl(), address.c_str())) {
            if (folder)
                *folder = node;
            if (colct)
                *colct = found;
            return item;
        }
    }
    return nullptr;
}

std::vector<RNode*> CFolderTreeMgr::GetAllFolders() const
{
    return FoldersOf(m_pRoot);
}

std::u16string CFolderTreeMgr::GetAssetsFolder(const std::u16string& pageFile)
{
    if (pageFile.empty())
        return {};
    // Only a dot of the file name counts, not one in a folder name.
    size_t slash = pageFile.rfind(u'/');
    size_t dot = pageFile.rfind(u'.');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash))
        return pageFile + u"_files";
    return pageFile.substr(0, dot) + u"_files";
}

// ---- the tree ----

bool CFolderTreeMgr::CreateNewTree(const std::u16string& rootName)
{
    ReleaseTree(m_pRoot);
    m_pRoot = m_pCurrent = nullptr;
    m_recent.Release();
    m_tags.Reset();
    CFolderNode* folder = CFolderNode::New();
    RNode* root = folder ? RNode::New2(folder, NT_FOLDER) : nullptr;
    if (!root) {
        CBaseNode::Delete(folder);
        return false;
    }
    folder->SetName(rootName.c_str());
    CBaseNode::AssignUUID(folder);
    m_pRoot = m_pCurrent = root;
    std::u16string content = GetContentPath();
    if (content.empty() || !MakeDirectory(content, false) ||
        !MakeDirectory(CAppSettings::Get()->GetUserFolder().GetProjectDataFolder(), false)) {
        m_bDirty = true;
        return false;
    }
    return SaveFolderTree();
}

bool CFolderTreeMgr::LoadFolderTree(const std::u16string& projectName)
{
    ReleaseTree(m_pRoot);
    m_pRoot = m_pCurrent = nullptr;
    m_bDirty = false;
    std::u16string path = GetFolderTreeFilePath();
    // Owns what was read until the tree is taken, also when the program
    // ends on a newer format.
    struct Holder {
        RNode* root = nullptr;
        ~Holder() { RNTool::DeleteTree(root); }
    } read;
    int version = 0;
    CFileStamp stamp = path.empty() ? CFileStamp() : CFileStamp::Take(path);
    CSafeSave::tagLOAD loaded = CSafeSave::LOAD_MISSING;
    if (!path.empty()) {
        loaded = CSafeSave::Load(path, [&](const std::u16string& file) {
            CReadFolderTreeOPML reader;
            RNode* root = reader.LoadFile(file.c_str()) ? reader.DetachTreeRoot() : nullptr;
            if (!root)
                return false;
            RNTool::DeleteTree(read.root);
            read.root = root;
            version = reader.GetOpmlVersion();
            return true;
        });
    }
    if (loaded != CSafeSave::LOAD_MISSING) {
        if (read.root && version > 1) {
            ShowMessage(u"File format version=" + CFileSys::FromNative(std::to_string(version)) +
                        u"\r\nThe software is an older version, it cannot read \r\nnew file format.\r\n"
                        u"Please update to new version from:\r\n" + CCommandTable::GetWebSite());
            return false;
        }
        if (!read.root)
            ShowMessage(kTreeUnreadableText + path);
    } else {
        CreateNewTree(projectName);
    }
    if (read.root) {
        // The file's outermost outline is the root folder; the record above
        // it only carries the head of the file.
        RNode* child = read.root->GetChild();
        if (child && !child->GetNext() && child->GetType() == NT_FOLDER) {
            RNTool::RemoveOneChild(read.root, child);
            RNTool::DeleteTree(read.root);
            read.root = child;
        }
        m_pRoot = m_pCurrent = read.root;
        read.root = nullptr;
        RememberTree(stamp);
        ReportUnusableFolders();
    }
    const CUserFolder& user = CAppSettings::Get()->GetUserFolder();
    m_recent.Load(user.GetRecentColctFile());
    m_tags.Load(user.GetTagsFile());
    if (CFolderNode* root = FolderOf(m_pRoot); root && root->HasPage()) {
        if (CColctNode* colct = LoadColct(m_pRoot, true)) {
            CSafeSave::RemoveStalePageTemps(GetDirectoryPath(m_pRoot));
            UIPort().ShowCollection(colct);
        }
    }
    return true;
}

void CFolderTreeMgr::ReportUnusableFolders()
{
    std::u16string names;
    for (RNode* folder : FoldersOf(m_pRoot)) {
        if (folder != m_pRoot && !CFileSys::IsPlainName(NameOf(folder)))
            names += u"\r\n" + NameOf(folder);
    }
    if (!names.empty())
        ShowMessage(kBadNamesText + names.substr(2));
}

bool CFolderTreeMgr::SaveFolderTree()
{
    if (!m_pRoot)
        return false;
    std::u16string path = GetFolderTreeFilePath();
    // Folders another program added or removed since are not written over.
    if (!path.empty() && MergeTreeFile())
        UIPort().ShowTree(m_pRoot, m_pCurrent);
    CWriteFolderTreeOPML writer;
    writer.SetTreeRoot(m_pRoot);
    int error = ENOENT;
    if (path.empty() || CSafeSave::Save(writer, path, &error) != CSafeSave::SAVE_OK) {
        m_bDirty = true;
        ReportFailure(Format(kWriteFailedCodeText, CFileSys::ErrorCode(error), path));
        return false;
    }
    m_bDirty = false;
    RememberTree(CFileStamp::Take(path));
    NotifyWritten();
    return true;
}

void CFolderTreeMgr::NotifyWritten() const
{
    for (const auto& hook : m_writtenHooks)
        hook();
}

bool CFolderTreeMgr::SaveTags()
{
    std::u16string path = CAppSettings::Get()->GetUserFolder().GetTagsFile();
    if (GetContentPath().empty() || !m_tags.Save(path)) {
        ReportFailure(Format(kWriteFailedText, path));
        return false;
    }
    return true;
}

void CFolderTreeMgr::ReportFailure(const std::u16string& text)
{
    if (IsQuiet())
        return;
    ShowMessage(text);
    if (m_nOperations > 0)
        m_bReported = true;
}

CFolderTreeMgr::COperation::COperation(CFolderTreeMgr& tree) : m_tree(tree)
{
    ++m_tree.m_nOperations;
}

CFolderTreeMgr::COperation::~COperation()
{
    if (--m_tree.m_nOperations == 0)
        m_tree.m_bReported = false;
}

bool CFolderTreeMgr::IsInsideContent(const std::u16string& path, bool tell)
{
    std::u16string content = GetContentPath();
    if (content.empty() || path.empty())
        return true;
    std::u16string link = CFileSys::FindLinkOutside(path, content);
    if (link.empty())
        return true;
    if (tell)
        ShowMessage(Format(kLinkOutsideText, link));
    return false;
}

bool CFolderTreeMgr::IsFolderInside(RNode* folder, bool tell) const
{
    return IsInsideContent(GetDirectoryPath(folder), tell);
}

bool CFolderTreeMgr::SavePending()
{
    if (!m_pRoot)
        return true;
    // Changes that were not written when they were made (times of pages
    // shown, failed writes); each failure is shown, the others still tried.
    bool written = true;
    for (RNode* folder : FoldersOf(m_pRoot)) {
        CColctNode* colct = FolderOf(folder)->GetColctNode();
        if (colct && colct->HasNewData())
            written = SaveColct(colct, GetColctFile(folder), false) && written;
    }
    if (m_bDirty)
        written = SaveFolderTree() && written;
    if (!GetContentPath().empty() && m_tags.IsDirty())
        written = SaveTags() && written;
    return written;
}

void CFolderTreeMgr::NotifyPathChange(const CPathChange& change) const
{
    for (const PathChangeHook& hook : m_pathHooks)
        hook(change);
}

bool CFolderTreeMgr::CloseTree()
{
    bool written = SavePending();
    if (m_pRoot && !GetContentPath().empty()) {
        m_recent.Save(CAppSettings::Get()->GetUserFolder().GetRecentColctFile(),
                      [this](CFolderNode* folder) { return GetRelativePath(folder->GetRNode()); });
    }
    ReleaseTree(m_pRoot);
    m_pRoot = m_pCurrent = nullptr;
    m_bDirty = false;
    m_colctSync.clear();
    m_treeStamp = CFileStamp();
    for (RNode* folder : m_droppedFolders)
        ReleaseTree(folder);
    m_droppedFolders.clear();
    m_recent.Release();
    m_tags.Release();
    return written;
}

void CFolderTreeMgr::RewindTreeFile(bool written, bool wasDirty)
{
    if (!written)
        m_bDirty = wasDirty;
    else if (!SaveFolderTree())
        m_bDirty = true;  // tried again at close
}

void CFolderTreeMgr::ReleaseTree(RNode* root)
{
    if (!root)
        return;
    // A folder frees its collection node, but only DeleteAll frees the items.
    for (RNode* folder : FoldersOf(root)) {
        if (CFolderNode* data = FolderOf(folder))
            CColctNode::DeleteAll(data->DetachColctNode());
    }
    RNTool::DeleteTree(root);
}

// ---- folders ----

bool CFolderTreeMgr::IsSiblingName(RNode* parent, const std::u16string& name, RNode* except) const
{
    for (RNode* child = parent->GetChild(); child; child = child->GetNext()) {
        if (child != except && child->GetType() == NT_FOLDER &&
            CStringTool::EqualNoCase(NameOf(child).c_str(), name.c_str()))
            return true;
    }
    return false;
}

RNode* CFolderTreeMgr::CreateFolder(RNode* parent)
{
    if (!LeaveCurrentPage())
        return nullptr;
    if (!parent)
        parent = m_pCurrent;
    if (!FolderOf(parent))
        return nullptr;
    if (!IsUsableFolder(parent)) {
        ShowMessage(kBadNamesText + NameOf(parent));
        return nullptr;
    }
    if (DepthOf(parent) + 1 > kMaxDepth) {
        ShowMessage(kTooDeepText);
        return nullptr;
    }
    if (!IsFolderInside(parent))
        return nullptr;
    CNewFolderRules rules([&](const std::u16string& name) { return IsSiblingName(parent, name, nullptr); });
    std::u16string name;
    if (!UIPort().AskFolderName(NameOf(parent), rules, &name))
        return nullptr;
    RNode* rnode = AddFolder(parent, name);
    if (!rnode)
        return nullptr;
    m_pCurrent = rnode;
    UIPort().ShowTree(m_pRoot, rnode);
    auto* folder = static_cast<CFolderNode*>(rnode->GetData());
    UIPort().ShowCollection(folder->HasPage() ? LoadColct(rnode, true) : nullptr);
    UIPort().ClearPageView();
    return rnode;
}

RNode* CFolderTreeMgr::AddFolder(RNode* parent, const std::u16string& name)
{
    if (DepthOf(parent) + 1 > kMaxDepth) {
        ShowMessage(kTooDeepText);
        return nullptr;
    }
    std::u16string parentDirectory = GetFolderDirectory(parent);
    std::u16string directory = parentDirectory + name;
    if (!parentDirectory.empty() && !IsInsideContent(directory))
        return nullptr;
    // An existing directory of that name is taken over as it is.
    bool made = false;
    if (parentDirectory.empty() || (!CFileSys::IsDirectory(directory) && !(made = CFileSys::MakeDir(directory)))) {
        if (parentDirectory.empty())
            directory = GetDirectoryPath(parent) + name;
        ShowMessage(u"Can not create the following folder:\n" + directory);
        return nullptr;
    }
    CFolderNode* folder = CFolderNode::New();
    RNode* rnode = folder ? RNode::New2(folder, NT_FOLDER) : nullptr;
    if (!rnode) {
        CBaseNode::Delete(folder);
        return nullptr;
    }
    folder->SetName(name.c_str());
    CBaseNode::AssignUUID(folder);
    RNTool::InsertAsChild(parent, rnode);
    // A directory taken over may already hold a collection: its pages are
    // listed at once, not only after a refresh.
    if (!made && CFileSys::IsFile(GetColctFile(rnode)))
        folder->SetHasPage(true);
    bool wasDirty = m_bDirty;
    if (!SaveFolderTree()) {
        // A folder the tree file does not know would be lost at the next
        // open; what was made goes again.
        RNTool::RemoveOneChild(parent, rnode);
        ReleaseTree(rnode);
        if (made)
            ::rmdir(CFileSys::Native(directory).c_str());
        m_bDirty = wasDirty;
        return nullptr;
    }
    return rnode;
}

bool CFolderTreeMgr::RenameFolder(RNode* folder, const std::u16string& newName)
{
    CFolderNode* data = FolderOf(folder);
    RNode* parent = folder ? folder->GetParent() : nullptr;
    std::u16string oldName = folder ? NameOf(folder) : std::u16string();
    if (!data || !parent || newName.empty() || newName.size() >= kMaxNameLength || newName == oldName)
        return false;
    if (HasForbiddenChar(newName)) {
        ShowMessage(kCharsText + CPageTitle::GetCharacterList());
        return false;
    }
    if (IsDotName(newName)) {
        ShowMessage(kDotNameText);
        return false;
    }
    if (IsSiblingName(parent, newName, folder))
        return false;
    std::u16string oldRelative;
    std::u16string parentDirectory = GetDirectoryPath(parent);
    if (parentDirectory.empty() || !GetRelativePath(folder, &oldRelative)) {
        ShowMessage(kBadNamesText + oldName);
        return false;
    }
    std::u16string newPath = parentDirectory + newName;
    if (CFileSys::Exists(newPath)) {
        ShowMessage(u"The folder already exists. Please create a new one.");
        return false;
    }
    std::u16string oldPath = parentDirectory + oldName;
    if (!CFileSys::IsDirectory(oldPath)) {
        ShowMessage(u"The folder path is incorrect. Please check the file system.");
        return false;
    }
    if (!IsInsideContent(oldPath))
        return false;
    int error = 0;
    if (!CFileSys::Rename(oldPath, newPath, &error)) {
        ShowMessage(u"Could not change folder name. Code=" + CFileSys::ErrorCode(error));
        return false;
    }
    COperation operation(*this);
    bool wasDirty = m_bDirty;
    data->SetName(newName.c_str());
    std::u16string newRelative = GetRelativePath(folder);
    bool tagsMoved = m_tags.RewritePaths(oldRelative, newRelative) > 0;
    bool treeSaved = SaveFolderTree();
    if (!treeSaved || (tagsMoved && !SaveTags())) {
        // The directory, the tree and the tags file keep the old name.
        if (tagsMoved)
            m_tags.RewritePaths(newRelative, oldRelative);
        data->SetName(oldName.c_str());
        CFileSys::Rename(newPath, oldPath);
        RewindTreeFile(treeSaved, wasDirty);
        return false;
    }
    if (folder == m_pCurrent)
        UIPort().SetWindowTitle(newName);
    NotifyPathChange({oldRelative, newRelative, nullptr});
    return true;
}

bool CFolderTreeMgr::MoveFolder(RNode* folder, RNode* target, bool asChild)
{
    RNode* oldParent = folder ? folder->GetParent() : nullptr;
    RNode* newParent = asChild ? target : (target ? target->GetParent() : nullptr);
    if (!FolderOf(folder) || !oldParent || !FolderOf(target) || !FolderOf(newParent) || folder == target)
        return false;
    // A folder cannot go into itself or below itself.
    if (IsInside(newParent, folder))
        return false;
    if (DepthOf(newParent) + 1 + HeightOf(folder) > kMaxDepth) {
        ShowMessage(kTooDeepText);
        return false;
    }
    std::u16string oldRelative;
    if (!GetRelativePath(folder, &oldRelative) || !IsUsableFolder(newParent)) {
        ShowMessage(kBadNamesText + NameOf(folder));
        return false;
    }
    if (newParent != oldParent && (!IsFolderInside(folder) || !IsFolderInside(newParent)))
        return false;
    std::u16string name = NameOf(folder);
    std::u16string oldPath = GetDirectoryPath(folder);
    std::u16string newPath;
    if (newParent != oldParent) {
        std::u16string parentDirectory = GetFolderDirectory(newParent);
        newPath = (parentDirectory.empty() ? GetDirectoryPath(newParent) : parentDirectory) + name;
        // A folder of that name in the tree would share the directory.
        if (CFileSys::Exists(newPath) || IsSiblingName(newParent, name, folder)) {
            ShowMessage(u"The following folder already exists:\n" + newPath);
            return false;
        }
        int error = 0;
        if (parentDirectory.empty() || !CFileSys::Rename(oldPath, newPath, &error)) {
            ShowMessage(u"Could not change folder name. Code=" + CFileSys::ErrorCode(error));
            return false;
        }
    }
    COperation operation(*this);
    bool wasDirty = m_bDirty;
    RNode* oldNext = folder->GetNext();
    RNTool::MoveRNodeInDataTree(newParent, folder, asChild ? nullptr : target->GetNext());
    std::u16string newRelative = GetRelativePath(folder);
    bool tagsMoved = newParent != oldParent && m_tags.RewritePaths(oldRelative, newRelative) > 0;
    bool treeSaved = SaveFolderTree();
    if (!treeSaved || (tagsMoved && !SaveTags())) {
        // Back where it was: in the tree, on disk and in the tags.
        if (tagsMoved)
            m_tags.RewritePaths(newRelative, oldRelative);
        RNTool::MoveRNodeInDataTree(oldParent, folder, oldNext);
        if (newParent != oldParent)
            CFileSys::Rename(newPath, oldPath);
        RewindTreeFile(treeSaved, wasDirty);
        return false;
    }
    if (newParent != oldParent)
        NotifyPathChange({oldRelative, newRelative, nullptr});
    return true;
}

bool CFolderTreeMgr::RemoveFolder(RNode* folder)
{
    RNode* parent = folder ? folder->GetParent() : nullptr;
    if (!FolderOf(folder))
        return false;
    if (!parent) {
        ShowMessage(u"Can not remove Root Folder.");
        return false;
    }
    if (!UIPort().Confirm(GetRemoveConfirmation(folder)))
        return false;
    // The page being edited may belong to the folder that goes.
    if (!LeaveCurrentPage())
        return false;
    // The collection files stay with the directory, which may be taken
    // over again: what they still lack (times of pages shown) goes in.
    for (RNode* gone : FoldersOf(folder)) {
        CColctNode* colct = FolderOf(gone)->GetColctNode();
        if (colct && colct->HasNewData())
            static_cast<void>(SaveColct(colct, GetColctFile(gone), false));
    }
    COperation operation(*this);
    bool wasDirty = m_bDirty;
    CProjectTags::CSnapshot tags = m_tags.TakeSnapshot();
    std::u16string relative;
    bool hasPath = GetRelativePath(folder, &relative);
    bool tagsGone = hasPath && m_tags.RemovePathsUnder(relative) > 0;
    RNode* oldNext = folder->GetNext();
    RNTool::RemoveOneChild(parent, folder);
    bool treeSaved = SaveFolderTree();
    if (!treeSaved || (tagsGone && !SaveTags())) {
        // The folder stays, with its tags, in memory and in both files.
        if (oldNext)
            RNTool::InsertBefore(oldNext, folder);
        else
            RNTool::InsertAsChild(parent, folder);
        m_tags.Restore(tags);
        RewindTreeFile(treeSaved, wasDirty);
        return false;
    }
    bool currentGone = m_pCurrent && IsInside(m_pCurrent, folder);
    if (currentGone)
        m_pCurrent = parent;
    for (RNode* gone : FoldersOf(folder))
        m_recent.ForgetFolder(FolderOf(gone));
    ReleaseTree(folder);
    if (hasPath)
        NotifyPathChange({relative, std::u16string(), nullptr});
    UIPort().ShowTree(m_pRoot, m_pCurrent);
    if (currentGone) {
        UIPort().ClearPageView();
        UIPort().ShowCollection(FolderOf(m_pCurrent)->GetColctNode());
    }
    return true;
}

void CFolderTreeMgr::OpenInFileManager(RNode* folder)
{
    if (!IsFolderInside(folder))
        return;
    std::u16string directory = GetFolderDirectory(folder);
    if (!directory.empty())
        UIPort().ShowInFileManager(directory);
}

bool CFolderTreeMgr::OnTreeCommand(int command, RNode* folder)
{
    if (!folder)
        folder = m_pCurrent;
    switch (command) {
    case CCommandTable::ID_FOLDER_NEW:
        CreateFolder(folder);
        return true;
    case CCommandTable::ID_FOLDER_SHOW:
        OpenInFileManager(folder);
        return true;
    case CCommandTable::ID_FOLDER_REMOVE:
        RemoveFolder(folder);
        return true;
    case CCommandTable::ID_FOLDER_REFRESH:
        if (LeaveCurrentPage())
            RefreshColct(folder);
        return true;
    default:
        return false;
    }
}

CConfirmation CFolderTreeMgr::GetRemoveConfirmation(RNode* node)
{
    CConfirmation question;
    if (!node)
        return question;
    question.name = NameOf(node);
    switch (node->GetType()) {
    case NT_URL:
        question.title = u"Confirm Item Deletion";
        question.text = u"Are you sure you want to delete this item?";
        break;
    case NT_COLCT:
        question.title = u"Confirm Collection Removal";
        question.text = u"Are you sure you want to remove this Collection?";
        break;
    default:
        question.title = u"Confirm Folder Removal";
        if (node->GetParent()) {
            question.text = u"Are you sure you want to remove this folder?";
        } else {
            question.text = u"  You can not remove the root Folder!";
            question.okEnabled = false;
            question.cancelCaption = u"Close";
        }
        break;
    }
    return question;
}

// ---- collections ----

CColctNode* CFolderTreeMgr::ReadColctFile(const std::u16string& path, bool showError)
{
    CColctNode* colct = nullptr;
    std::u16string failure;
    // Taken first: a write in between then shows as a change.
    CFileStamp stamp = CFileStamp::Take(path);
    CSafeSave::tagLOAD loaded = CSafeSave::Load(path, [&](const std::u16string& file) {
        CReadBkmarkXML reader;
        CColctNode* found = reader.LoadFile(file.c_str()) ? reader.DetachColctNode() : nullptr;
        if (!found) {
            failure = u"Can not parse XML file:\r\n%s";
            return false;
        }
        RNode* root = found->GetLocRNodeRoot();
        for (RNode* child = root ? root->GetChild() : nullptr; child; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER) {
                failure = u"Normal Collection can not have sub folder:\r\n%s";
                CColctNode::DeleteAll(found);
                return false;
            }
        }
        if (!root) {
            failure = u"This XML file is not for Zandrel:\r\n%s";
            CColctNode::DeleteAll(found);
            return false;
        }
        colct = found;
        return true;
    });
    if (loaded == CSafeSave::LOAD_MISSING)
        return nullptr;
    if (loaded != CSafeSave::LOAD_OK) {
        if (!failure.empty())
            ShowMessage(Format(failure, path));
        if (showError)
            ShowMessage(u"Can not load collection for this folder.\r\n" + path);
        return nullptr;
    }
    // Addresses come from a file and are only ever used as names inside
    // the folder; anything else never reaches the disk.
    for (RNode* r = colct->GetFirstRNode(); r; r = r->GetNext()) {
        auto* item = static_cast<CUrlNode*>(r->GetData());
        if (item->GetItemType() == ITEM_NOTE && item->HasUrl() && !CFileSys::IsPlainName(item->GetUrl())) {
            ShowMessage(kBadAddressText + path);
            break;
        }
    }
    RememberColct(path, colct, stamp);
    return colct;
}

CColctNode* CFolderTreeMgr::LoadColct(RNode* folder, bool showError)
{
    CFolderNode* data = FolderOf(folder);
    if (!data)
        return nullptr;
    if (data->GetColctNode())
        return data->GetColctNode();
    std::u16string path = GetColctFile(folder);
    if (!data->HasPage() || path.empty() || !IsInsideContent(path, showError))
        return nullptr;
    CColctNode* colct = ReadColctFile(path, showError);
    if (colct)
        data->SetColctNode(colct);
    return colct;
}

CColctNode* CFolderTreeMgr::CreateColct(RNode* folder)
{
    CFolderNode* data = FolderOf(folder);
    std::u16string directory = data ? MakeFolderDirectory(folder, true) : std::u16string();
    if (directory.empty())
        return nullptr;
    std::u16string dataFolder = directory + CUserFolder::GetProjectDataFolderName() + u'/';
    std::u16string path = dataFolder + CUserFolder::GetFolderListFileName();
    if (!IsInsideContent(path) || !MakeDirectory(dataFolder, true))
        return nullptr;
    if (CFileSys::IsFile(path) || CFileSys::IsFile(CSafeSave::GetBackupPath(path)))
        return ReadColctFile(path, true);
    CColctNode* colct = NewColct(data->GetName());
    if (!colct)
        return nullptr;
    CWriteColctRSS writer;
    writer.SetColctNode(colct);
    if (CSafeSave::Save(writer, path) != CSafeSave::SAVE_OK) {
        ReportFailure(u"Can not create collection for folder:\r\n" + path);
        CColctNode::DeleteAll(colct);
        return nullptr;
    }
    RememberColct(path, colct, CFileStamp::Take(path));
    return colct;
}

CColctNode* CFolderTreeMgr::EnsureColct(RNode* folder)
{
    CFolderNode* data = FolderOf(folder);
    if (!data)
        return nullptr;
    if (data->GetColctNode())
        return data->GetColctNode();
    CColctNode* colct = CreateColct(folder);
    if (!colct) {
        ShowMessage(u"Cannot create Collection Node.");
        return nullptr;
    }
    bool hadPage = data->HasPage();
    bool wasDirty = m_bDirty;
    data->SetColctNode(colct);
    data->SetHasPage(true);
    if (!SaveFolderTree()) {
        // The empty collection file may stay; the tree goes on without it.
        CColctNode::DeleteAll(data->DetachColctNode());
        data->SetHasPage(hadPage);
        m_bDirty = wasDirty;
        return nullptr;
    }
    return colct;
}

bool CFolderTreeMgr::RefreshColct(RNode* folder)
{
    CFolderNode* data = FolderOf(folder);
    std::u16string directory = data ? GetDirectoryPath(folder) : std::u16string();
    if (directory.empty() || !IsInsideContent(directory))
        return false;
    CColctNode* colct = LoadColct(folder, false);
    std::vector<CFileSys::Entry> pages;
    // A directory that cannot be listed says nothing about its pages.
    if (!ListPageFiles(directory, &pages))
        return false;
    // A page file that is a link leading outside is no page of the project.
    std::erase_if(pages, [&](const CFileSys::Entry& page) { return !IsInsideContent(directory + page.name, false); });
    std::u16string path = GetColctFile(folder);
    bool changed = false;
    // Links and other items that are not pages have no file to find; a
    // collection that holds them stays.
    if (pages.empty() && !HoldsOtherItems(colct)) {
        if (colct) {
            CColctNode::DeleteAll(data->DetachColctNode());
            colct = nullptr;
            changed = true;
        }
        // The copy goes too, or the next load would bring the file back.
        CFileSys::RemoveFile(CSafeSave::GetBackupPath(path));
        if (CFileSys::IsFile(path)) {
            CFileSys::RemoveFile(path);
            changed = true;
        }
        if (data->HasPage()) {
            // A tree not written stays marked for the close.
            data->SetHasPage(false);
            static_cast<void>(SaveFolderTree());
            changed = true;
        }
    } else {
        if (!MakeDirectory(directory + CUserFolder::GetProjectDataFolderName() + u'/', true))
            return false;
        if (!data->HasPage()) {
            data->SetHasPage(true);
            static_cast<void>(SaveFolderTree());
        }
        if (!colct) {
            if (!(colct = NewColct(data->GetName())))
                return false;
            data->SetColctNode(colct);
            changed = true;
        }
        if (MergePages(colct, pages, GetRelativePath(folder)))
            changed = true;
        // A collection or tags file not written is kept in memory, marked,
        // and written at the close.
        if (changed) {
            colct->SetHasNewData(true);
            static_cast<void>(SaveColct(colct, path, true));
        }
        if (m_tags.IsDirty())
            static_cast<void>(SaveTags());
    }
    if (folder == m_pCurrent) {
        UIPort().ShowCollection(colct);
        if (!colct)
            ShowMessage(u"No Collection in this folder.");
    }
    return changed;
}

bool CFolderTreeMgr::HoldsOtherItems(CColctNode* colct)
{
    if (!colct)
        return false;
    for (RNode* r = colct->GetFirstRNode(); r; r = r->GetNext()) {
        if (r->GetType() != NT_URL || static_cast<CUrlNode*>(r->GetData())->GetItemType() != ITEM_NOTE)
            return true;
    }
    return false;
}

bool CFolderTreeMgr::MergePages(CColctNode* colct, const std::vector<CFileSys::Entry>& pages,
                                const std::u16string& relative)
{
    bool changed = false;
    std::vector<bool> taken(pages.size(), false);
    RNode* root = colct->GetLocRNodeRoot();
    // Known items stay when their name and file still agree with a page
    // file; the others go.
    for (RNode* r = root->GetChild(); r;) {
        RNode* next = r->GetNext();
        auto* item = r->GetType() == NT_URL ? static_cast<CUrlNode*>(r->GetData()) : nullptr;
        if (item && item->GetItemType() == ITEM_NOTE) {
            bool kept = false;
            for (size_t i = 0; i < pages.size() && !kept; ++i) {
                const std::u16string& file = pages[i].name;
                if (!taken[i] && CStringTool::Equal(item->GetUrl(), file.c_str()) &&
                    CStringTool::Equal(item->GetName(), file.substr(0, file.size() - PageExtension(file)).c_str()))
                    taken[i] = kept = true;
            }
            if (!kept) {
                // A page that is gone takes its tags with it.
                if (item->HasUrl() && CFileSys::IsPlainName(item->GetUrl()))
                    m_tags.RemovePath(relative + item->GetUrl());
                RNTool::RemoveOneChild(root, r);
                CBaseNode::Delete(item);
                RNode::Delete(r);
                changed = true;
            }
        }
        r = next;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        if (taken[i])
            continue;
        CUrlNode* item = CUrlNode::New();
        RNode* record = item ? RNode::New2(item, NT_URL) : nullptr;
        if (!record) {
            CBaseNode::Delete(item);
            continue;
        }
        const CFileSys::Entry& page = pages[i];
        item->SetName(page.name.substr(0, page.name.size() - PageExtension(page.name)).c_str());
        item->SetUrl(page.name.c_str());
        item->SetItemType(ITEM_NOTE);
        CBaseNode::AssignUUID(item);
        item->GetNodeStat()->SetStatTime(page.created, page.modified, page.accessed,
                                         CNodeStat::STAT_ADDED | CNodeStat::STAT_MODIFIED | CNodeStat::STAT_VISITED);
        RNTool::InsertAsChild(root, record);
        changed = true;
    }
    return changed;
}

bool CFolderTreeMgr::SaveColct(CColctNode* colct, const std::u16string& path, bool warn)
{
    if (!colct || path.empty())
        return false;
    if (!IsInsideContent(path, !IsQuiet())) {
        if (m_nOperations > 0)
            m_bReported = true;
        return false;
    }
    if (CFileSys::IsFile(path) && CFileSys::IsReadOnly(path)) {
        if (warn && m_bWarnReadOnly && !IsQuiet()) {
            int answer = UIPort().MessageBox(
                Format(u"This file does not have write permission:\r\n%s\r\n\r\n%s", path, u"Need continue warnig?"),
                u"Zandrel", MB_YESNO, IDYES);
            if (answer == IDNO)
                m_bWarnReadOnly = false;
            if (m_nOperations > 0)
                m_bReported = true;
        }
        return false;
    }
    // What another program wrote since we read the file is not written over.
    bool local = false;  // ours is written below either way
    if (MergeColctFile(colct, path, &local)) {
        CFolderNode* host = colct->GetHostFolderNode();
        if (host && host->GetRNode() == m_pCurrent)
            UIPort().ShowCollection(colct);
    }
    CSafeSave save(path);
    if (!save.Backup()) {
        ReportFailure(Format(u"Can not rename file name\r\n%s", path));
        return false;
    }
    if (!CStringTool::EndsWithNoCase(path, u".rss") && !CStringTool::EndsWithNoCase(path, u".xml"))
        ShowMessage(u"Wrong file extension.");
    CWriteColctRSS writer;
    writer.SetColctNode(colct);
    int error = 0;
    if (!save.Write(writer, &error)) {
        ReportFailure(Format(kWriteFailedCodeText, CFileSys::ErrorCode(error), path));
        return false;
    }
    if (colct->GetHostFolderNode())
        colct->SetHasNewData(false);
    RememberColct(path, colct, CFileStamp::Take(path));
    NotifyWritten();
    return true;
}

bool CFolderTreeMgr::SaveColct(CColctNode* colct)
{
    CFolderNode* host = colct ? colct->GetHostFolderNode() : nullptr;
    if (!host || !host->GetRNode())
        return false;
    return SaveColct(colct, GetColctFilePath(host->GetRNode()), true);
}

// ---- the item shown per folder ----

CUrlNode* CFolderTreeMgr::ChooseItemToShow(RNode* folder)
{
    std::u16string path;
    if (!GetRelativePath(folder, &path))
        return nullptr;
    CColctNode* colct = LoadColct(folder, false);
    if (!colct)
        return nullptr;
    return m_recent.ChooseItem(FolderOf(folder), path, colct);
}

void CFolderTreeMgr::RememberShownItem(CColctNode* colct, CUrlNode* item)
{
    CFolderNode* host = colct ? colct->GetHostFolderNode() : nullptr;
    if (!host || !host->GetRNode())
        return;
    m_recent.RememberItem(host, GetRelativePath(host->GetRNode()), item);
}

// ---- files changed by other programs ----

namespace {

CUrlNode* ItemOf(RNode* r)
{
    return r && r->GetType() == NT_URL ? static_cast<CUrlNode*>(r->GetData()) : nullptr;
}

std::u16string Text(const char16_t* text)
{
    return text ? text : u"";
}

// Items are known by their UUID; items of old files without one by their
// address and title.
std::u16string ItemKey(const CUrlNode* item)
{
    std::u16string uuid = Text(item->GetUUID());
    return uuid.empty() ? u"\x1F" + Text(item->GetUrl()) + u"\x1F" + Text(item->GetName()) : uuid;
}

long ModifiedOf(const CUrlNode* item)
{
    long modified = 0;
    item->GetNodeStat()->GetStatTime(nullptr, &modified, nullptr);
    return modified;
}

// The fields an edit changes. The visited time is left out: showing a page
// is no edit.
std::u16string ItemPrint(const CUrlNode* item)
{
    std::u16string print = Text(item->GetName()) + u'\x1F' + Text(item->GetUrl()) + u'\x1F' +
                           Text(item->GetDescription()) + u'\x1F' +
                           CFileSys::FromNative(std::to_string(ModifiedOf(item)) + ' ' +
                                                std::to_string(item->GetNodeStat()->GetFlag()) + ' ' +
                                                std::to_string(int(item->GetItemType())));
    CUrlProp* prop = item->PeekUrlProp();
    for (RBstrItem* t = prop ? prop->GetTagsHead() : nullptr; t; t = t->GetNext())
        print += u'\x1F' + Text(t->GetData());
    return print;
}

void TakeItem(CUrlNode* mine, CUrlNode* theirs)
{
    mine->SetName(theirs->GetName());
    mine->SetUrl(theirs->GetUrl());
    mine->SetDescription(theirs->GetDescription());
    mine->SetItemType(theirs->GetItemType());
    long added = 0;
    long modified = 0;
    long visited = 0;
    theirs->GetNodeStat()->GetStatTime(&added, &modified, &visited);
    mine->GetNodeStat()->SetStatTime(added, modified, visited,
                                     CNodeStat::STAT_ADDED | CNodeStat::STAT_MODIFIED | CNodeStat::STAT_VISITED);
    mine->GetNodeStat()->SetFlag(theirs->GetNodeStat()->GetFlag());
    CUrlProp* from = theirs->PeekUrlProp();
    CUrlProp* to = from || mine->PeekUrlProp() ? mine->GetUrlProp() : nullptr;
    if (to) {
        CUrlProp::DeleteTagsList(to->DetachTagsHead());
        to->SetTagsList(from ? from->DetachTagsHead() : nullptr);
    }
}

}  // namespace

bool CFolderTreeMgr::IsConflictCopy(std::u16string_view name)
{
    std::u16string lower(name);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    // Syncthing, and Dropbox and Nextcloud.
    return lower.find(u".sync-conflict-") != std::u16string::npos ||
           lower.find(u" (conflicted copy ") != std::u16string::npos;
}

void CFolderTreeMgr::RememberColct(const std::u16string& path, CColctNode* colct, const CFileStamp& stamp)
{
    if (!colct || !stamp.IsKnown()) {
        m_colctSync.erase(path);
        return;
    }
    CColctSync& sync = m_colctSync[path];
    sync.stamp = stamp;
    sync.items.clear();
    for (RNode* r = colct->GetFirstRNode(); r; r = r->GetNext()) {
        if (CUrlNode* item = ItemOf(r))
            sync.items[ItemKey(item)] = ItemPrint(item);
    }
}

void CFolderTreeMgr::IndexTags(RNode* folder, CUrlNode* item, bool add)
{
    if (!folder || item->GetItemType() != ITEM_NOTE || !item->HasUrl() || !CFileSys::IsPlainName(item->GetUrl()))
        return;
    std::u16string path = GetPageRelativePath(folder, item);
    CUrlProp* prop = item->PeekUrlProp();
    if (!add) {
        m_tags.RemovePath(path);
        return;
    }
    for (RBstrItem* t = prop ? prop->GetTagsHead() : nullptr; t; t = t->GetNext())
        m_tags.AddTag(t->GetData(), path);
}

bool CFolderTreeMgr::MergeItems(CColctNode* colct, CColctNode* disk, const CColctSync& base, bool* local)
{
    RNode* root = colct->GetLocRNodeRoot();
    RNode* theirRoot = disk->GetLocRNodeRoot();
    if (!root || !theirRoot)
        return false;
    CFolderNode* host = colct->GetHostFolderNode();
    RNode* folder = host ? host->GetRNode() : nullptr;
    std::map<std::u16string, RNode*> mine;
    for (RNode* r = root->GetChild(); r; r = r->GetNext()) {
        if (CUrlNode* item = ItemOf(r))
            mine.emplace(ItemKey(item), r);
    }
    bool changed = false;
    std::set<std::u16string> theirKeys;
    for (RNode* t = theirRoot->GetChild(); t;) {
        RNode* next = t->GetNext();
        CUrlNode* theirs = ItemOf(t);
        if (!theirs) {
            t = next;
            continue;
        }
        std::u16string key = ItemKey(theirs);
        theirKeys.insert(key);
        auto known = base.items.find(key);
        auto ours = mine.find(key);
        if (ours == mine.end()) {
            if (known != base.items.end()) {
                *local = true;  // deleted here: it stays deleted
            } else {
                RNTool::RemoveOneChild(theirRoot, t);
                RNTool::InsertAsChild(root, t);
                IndexTags(folder, theirs, true);
                changed = true;
            }
        } else {
            CUrlNode* item = ItemOf(ours->second);
            std::u16string minePrint = ItemPrint(item);
            std::u16string theirPrint = ItemPrint(theirs);
            if (minePrint != theirPrint) {
                bool mineEdited = known == base.items.end() || known->second != minePrint;
                bool theirsEdited = known == base.items.end() || known->second != theirPrint;
                if (theirsEdited && (!mineEdited || ModifiedOf(theirs) > ModifiedOf(item))) {
                    IndexTags(folder, item, false);
                    TakeItem(item, theirs);
                    IndexTags(folder, item, true);
                    changed = true;
                } else {
                    *local = true;
                }
            }
        }
        t = next;
    }
    for (const auto& [key, record] : mine) {
        if (theirKeys.count(key))
            continue;
        CUrlNode* item = ItemOf(record);
        auto known = base.items.find(key);
        // Deleted there and not edited here since: the deletion stays.
        if (known != base.items.end() && known->second == ItemPrint(item) && item != m_pPageOnShow) {
            IndexTags(folder, item, false);
            RNTool::RemoveOneChild(root, record);
            RNode::Delete(record);
            item->SetRNode(nullptr);
            m_dropped.push_back(item);
            changed = true;
        } else {
            *local = true;
        }
    }
    return changed;
}

bool CFolderTreeMgr::MergeColctFile(CColctNode* colct, const std::u16string& path, bool* local)
{
    auto sync = m_colctSync.find(path);
    if (sync == m_colctSync.end())
        return false;
    CFileStamp now;
    CFileStamp::tagSTATE state = sync->second.stamp.Compare(path, nullptr, &now);
    // A file deleted there is written again by the next save.
    if (state != CFileStamp::CHANGED) {
        if (state == CFileStamp::SAME)
            sync->second.stamp = now;
        return false;
    }
    CReadBkmarkXML reader;
    CColctNode* disk = reader.LoadFile(path.c_str()) ? reader.DetachColctNode() : nullptr;
    if (!disk || !disk->GetLocRNodeRoot()) {
        // Perhaps half synced; told once, and ours is what gets written.
        CColctNode::DeleteAll(disk);
        ShowMessage(Format(u"Can not parse XML file:\r\n%s", path));
        sync->second.stamp = now;
        return false;
    }
    // The file as read is what both sides agree on from now; taken before
    // the merge moves its new items over.
    CColctSync base = std::move(sync->second);
    RememberColct(path, disk, now);
    bool changed = MergeItems(colct, disk, base, local);
    CColctNode::DeleteAll(disk);
    if (changed)
        colct->SetHasNewData(true);
    return changed;
}

bool CFolderTreeMgr::SyncColct(RNode* folder)
{
    CFolderNode* data = FolderOf(folder);
    CColctNode* colct = data ? data->GetColctNode() : nullptr;
    std::u16string path = colct ? GetColctFile(folder) : std::u16string();
    if (path.empty())
        return false;
    bool local = false;
    bool changed = MergeColctFile(colct, path, &local);
    if (local)
        static_cast<void>(SaveColct(colct, path, false));
    if (m_tags.IsDirty())
        static_cast<void>(SaveTags());
    return changed;
}

namespace {

// Every folder of the tree by its path below the root ("" for the root,
// "A/B/" below), parents before their children.
std::map<std::u16string, RNode*> FolderPaths(RNode* root)
{
    std::map<std::u16string, RNode*> paths;
    std::vector<std::pair<RNode*, std::u16string>> pending;
    if (root)
        pending.push_back({root, u""});
    while (!pending.empty()) {
        auto [node, path] = pending.back();
        pending.pop_back();
        paths.emplace(path, node);
        for (RNode* child = node->GetChild(); child; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER)
                pending.push_back({child, path + NameOf(child) + u"/"});
        }
    }
    return paths;
}

}  // namespace

void CFolderTreeMgr::RememberTree(const CFileStamp& stamp)
{
    m_treeStamp = stamp;
    m_treeBase.clear();
    for (const auto& [path, node] : FolderPaths(m_pRoot))
        m_treeBase.push_back(path);
}

bool CFolderTreeMgr::MergeTreeFile()
{
    std::u16string path = GetFolderTreeFilePath();
    CFileStamp now;
    CFileStamp::tagSTATE state = m_treeStamp.Compare(path, nullptr, &now);
    if (state != CFileStamp::CHANGED) {
        if (state == CFileStamp::SAME)
            m_treeStamp = now;
        return false;
    }
    CReadFolderTreeOPML reader;
    RNode* read = reader.LoadFile(path.c_str()) ? reader.DetachTreeRoot() : nullptr;
    RNode* top = read ? read->GetChild() : nullptr;
    if (!top || top->GetNext() || top->GetType() != NT_FOLDER || reader.GetOpmlVersion() > 1) {
        RNTool::DeleteTree(read);
        ShowMessage(kTreeUnreadableText + path);
        m_treeStamp = now;
        return false;
    }
    std::map<std::u16string, RNode*> theirs = FolderPaths(top);
    std::map<std::u16string, RNode*> ours = FolderPaths(m_pRoot);
    std::set<std::u16string> base(m_treeBase.begin(), m_treeBase.end());
    // Folders made here since: a folder removed there that holds one stays.
    std::set<RNode*> madeHere;
    for (const auto& [folderPath, node] : ours) {
        if (!base.count(folderPath))
            madeHere.insert(node);
    }
    bool changed = false;
    for (const auto& [folderPath, node] : theirs) {
        CFolderNode* their = FolderOf(node);
        auto mine = ours.find(folderPath);
        if (mine != ours.end()) {
            // Its collection or tags were made there.
            CFolderNode* data = FolderOf(mine->second);
            if (their->HasPage() && !data->HasPage()) {
                data->SetHasPage(true);
                changed = true;
            }
            if (their->HasTag() && !data->HasTag()) {
                data->SetHasTag(true);
                changed = true;
            }
            continue;
        }
        size_t cut = folderPath.rfind(u'/', folderPath.size() - 2);
        auto parent = ours.find(cut == std::u16string::npos ? u"" : folderPath.substr(0, cut + 1));
        if (base.count(folderPath) || parent == ours.end())
            continue;  // removed here, or under a folder removed here
        CFolderNode* data = CFolderNode::New();
        RNode* record = data ? RNode::New2(data, NT_FOLDER) : nullptr;
        if (!record) {
            CBaseNode::Delete(data);
            continue;
        }
        data->SetName(their->GetName());
        if (their->GetUUID() && *their->GetUUID())
            data->SetUUID(their->GetUUID());
        data->SetHasPage(their->HasPage());
        data->SetHasTag(their->HasTag());
        RNTool::InsertAsChild(parent->second, record);
        ours.emplace(folderPath, record);
        changed = true;
    }
    std::vector<RNode*> removed;
    for (const auto& [folderPath, node] : ours) {
        if (folderPath.empty() || theirs.count(folderPath) || !base.count(folderPath) || IsInside(m_pCurrent, node))
            continue;
        bool inRemoved = std::any_of(removed.begin(), removed.end(), [&](RNode* r) { return IsInside(node, r); });
        std::vector<RNode*> below = FoldersOf(node);
        bool keep = std::any_of(below.begin(), below.end(), [&](RNode* f) {
            CColctNode* colct = FolderOf(f)->GetColctNode();
            return madeHere.count(f) || (colct && colct->HasNewData());
        });
        if (!inRemoved && !keep)
            removed.push_back(node);
    }
    for (RNode* node : removed) {
        RNTool::RemoveOneChild(node->GetParent(), node);
        m_droppedFolders.push_back(node);
        changed = true;
    }
    RNTool::DeleteTree(read);
    m_treeStamp = now;
    m_treeBase.clear();
    for (const auto& [folderPath, node] : theirs)
        m_treeBase.push_back(folderPath);
    return changed;
}

bool CFolderTreeMgr::SyncFolderTree()
{
    if (!m_pRoot || !MergeTreeFile())
        return false;
    UIPort().ShowTree(m_pRoot, m_pCurrent);
    return true;
}
