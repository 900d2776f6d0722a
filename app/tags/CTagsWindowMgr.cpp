#include "app/tags/CTagsWindowMgr.h"

#include <algorithm>

#include "app/core/CFolderTreeMgr.h"
#include "app/core/CKrvCommands.h"
#include "app/core/CPageMgr.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CTiming.h"
#include "app/core/CUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/CZandrelProject.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

constexpr char16_t kSelectPageText[] = u"Please create or select a page.";
constexpr char16_t kStaleFormText[] = u"Can not process the instruction. The page may be moved.";
constexpr char16_t kNoPageText[] = u"Can not find the Page.\r\n";
constexpr char16_t kBadPathText[] = u"Can not convert page path.\r\n";
constexpr char16_t kNoProjectText[] = u"No Project";

bool IsTagSeparator(char16_t c)
{
    return c == u' ' || c == u',' || c == u';' || c == u'\t' || c == u'\r' || c == u'\n';
}

const std::optional<std::u16string>* FindPair(const CTagsWindowMgr::FormPairs& pairs, std::u16string_view name)
{
    for (const auto& [key, value] : pairs) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

std::vector<std::u16string> TagsOf(CUrlNode* item)
{
    std::vector<std::u16string> tags;
    CUrlProp* prop = item->PeekUrlProp();
    for (RBstrItem* t = prop ? prop->GetTagsHead() : nullptr; t; t = t->GetNext())
        tags.emplace_back(t->GetData());
    return tags;
}

bool HasTagNoCase(const std::vector<std::u16string>& tags, const std::u16string& tag)
{
    return std::any_of(tags.begin(), tags.end(),
                       [&](const std::u16string& t) { return CStringTool::EqualNoCase(t.c_str(), tag.c_str()); });
}

// Replaces the item's tags; tags never hold a separator, so joining them
// with spaces and splitting again keeps each one and drops repeats.
void SetTags(CUrlNode* item, const std::vector<std::u16string>& tags)
{
    std::u16string text;
    for (const std::u16string& tag : tags)
        text += tag + u' ';
    CUrlProp* prop = item->GetUrlProp();
    if (!prop)
        return;
    CUrlProp::DeleteTagsList(prop->DetachTagsHead());
    prop->SetTagsList(CUrlProp::GenerateRBstrItemList(text.c_str()));
}

RNode* FolderOfColct(CColctNode* colct)
{
    CFolderNode* host = colct ? colct->GetHostFolderNode() : nullptr;
    return host ? host->GetRNode() : nullptr;
}

// Asks for the tag to delete; the tag must be in the store.
class CDeleteTagRules : public CNameRules {
public:
    explicit CDeleteTagRules(CProjectTags& tags) : m_tags(tags) {}
    bool OnOk(std::u16string& text) override
    {
        std::u16string name = CStringTool::TrimBlanks(text);
        if (!m_tags.FindTag(name)) {
            ShowMessage(u"The Tag: \"" + name + u"\" \r\n does not exist.");
            return false;
        }
        text = name;
        return true;
    }

private:
    CProjectTags& m_tags;
};

class CRenameTagRules : public CTagRenameRules {
public:
    explicit CRenameTagRules(CProjectTags& tags) : m_tags(tags) {}
    bool OnRename(int chosen, const std::u16string& entry, const std::u16string& newName) override
    {
        if (chosen <= 0) {
            ShowMessage(u"Please choose an old tag.");
            return false;
        }
        size_t open = entry.rfind(u'(');
        if (open == std::u16string::npos) {
            ShowMessage(u"Wrong format.");
            return false;
        }
        std::u16string oldName = CStringTool::TrimBlanks(std::u16string_view(entry).substr(0, open));
        std::u16string name = CStringTool::TrimBlanks(newName);
        // An empty name is no tag at all.
        if (name.empty() || std::any_of(name.begin(), name.end(), IsTagSeparator)) {
            ShowMessage(u"Only one tag please (whitespace , or ; cannot be used in tag).");
            return false;
        }
        if (name == oldName) {
            ShowMessage(u"No change.");
            return false;
        }
        if (!CStringTool::EqualNoCase(name.c_str(), oldName.c_str()) && m_tags.FindTag(name) &&
            UIPort().MessageBox(u"The Tag: \"" + name + u"\" already exists." + u"\r\n Do you want to continue?",
                                u"Zandrel", MB_YESNO, IDNO) != IDYES)
            return false;
        oldTag = oldName;
        newTag = name;
        return true;
    }

    std::u16string oldTag;
    std::u16string newTag;

private:
    CProjectTags& m_tags;
};

}  // namespace

CTagsWindowMgr::CTagsWindowMgr(CFolderTreeMgr& tree, CPageMgr& pages, CProjectMgr& projects)
    : m_tree(tree), m_pages(pages), m_projects(projects)
{
}

CTagPageContext CTagsWindowMgr::MakeContext()
{
    if (!m_recent.IsLoaded())
        m_recent.Load();
    CZandrelProject* project = m_projects.GetCurrentProject();
    CTagPageContext context;
    context.tree = &m_tree;
    context.projectName = project ? project->GetName() : nullptr;
    context.plainSideList = CAppSettings::Get()->GetPageProfile().GetTagsShowValue() == 0;
    context.keepOpen = m_bKeepOpen;
    context.recentTagged = &m_recent;
    return context;
}

bool CTagsWindowMgr::TagIt()
{
    CUrlNode* page = m_pages.GetCurrentPage();
    CColctNode* colct = m_pages.GetCurrentColct();
    if (!page || !colct) {
        ShowMessage(kSelectPageText);
        return false;
    }
    std::u16string html;
    if (!m_builder.BuildTagItPage(MakeContext(), colct, page, &html))
        return false;
    m_nMode = MODE_TAGIT;
    ShowPage(html);
    return true;
}

bool CTagsWindowMgr::ShowTags()
{
    CTiming timing("tag-cloud");
    std::u16string html;
    if (!m_builder.BuildRecentPage(MakeContext(), &html))
        return false;
    m_nMode = MODE_SEARCH;
    timing.Note("bytes", static_cast<long long>(html.size()));
    ShowPage(html);
    return true;
}

bool CTagsWindowMgr::SearchTags(const std::u16string& text, bool several)
{
    std::u16string html;
    CTagPageContext context = MakeContext();
    bool built = several ? m_builder.BuildSearchPage(context, text, &html)
                         : m_builder.BuildOneTagPage(context, text, &html);
    if (!built)
        return false;
    m_nMode = MODE_SEARCH;
    ShowPage(html);
    return true;
}

void CTagsWindowMgr::ShowPage(const std::u16string& html)
{
    UIPort().ShowTagsWindow(m_nMode);
    m_bWindowMade = true;
    if (m_bReady)
        UIPort().LoadTagsPage(html);
    else
        m_pending = html;
}

void CTagsWindowMgr::OnWindowReady()
{
    m_bReady = true;
    if (m_pending) {
        CTiming timing("tags-page-load");
        std::u16string html = std::move(*m_pending);
        m_pending.reset();
        UIPort().LoadTagsPage(html);
    }
}

void CTagsWindowMgr::OnProjectClosed()
{
    m_recent.Close();
    m_pending.reset();
    // What the window shows belongs to the project that went.
    if (m_bWindowMade)
        UIPort().CloseTagsWindow();
}

void CTagsWindowMgr::OnCommand(const std::u16string& command, const std::string* body)
{
    static constexpr std::u16string_view kUrlNode = u"urlnode?";
    static constexpr std::u16string_view kSearchTag = u"searchtag?";
    static constexpr std::u16string_view kStickWin = u"stickwin?";
    static constexpr std::u16string_view kEditTag = u"edittag?";
    // Letter case folds here as it does for tag names.
    if (CStringTool::StartsWithFolded(command, u"tagit")) {
        FormPairs pairs = DecodeFormBody(body ? *body : std::string());
        UIPort().CloseTagsWindow();
        OnTagItForm(pairs);
    } else if (CStringTool::StartsWithFolded(command, u"filter")) {
        FormPairs pairs = DecodeFormBody(body ? *body : std::string());
        const std::optional<std::u16string>* tags = FindPair(pairs, u"tags");
        if (tags && *tags)
            SearchTags(**tags, true);
    } else if (CStringTool::StartsWithFolded(command, kUrlNode)) {
        std::u16string rest = command.substr(kUrlNode.size());
        std::u16string data;
        if (!CKrvCommands::DecodePercent(rest, &data)) {
            ShowMessage(kBadPathText + rest);
            return;
        }
        if (!m_bKeepOpen)
            UIPort().CloseTagsWindow();
        if (!data.empty())
            OnOpenPage(data);
    } else if (CStringTool::StartsWithFolded(command, kSearchTag)) {
        std::u16string rest = command.substr(kSearchTag.size());
        if (rest.compare(0, 2, u"q=") != 0)
            return;
        // The view hands over the tag percent-encoded.
        std::u16string text;
        if (!CKrvCommands::DecodePercent(rest.substr(2), &text))
            text = rest.substr(2);
        if (!text.empty())
            SearchTags(text, true);
    } else if (CStringTool::StartsWithFolded(command, kStickWin)) {
        m_bKeepOpen = CStringTool::EqualNoCase(command.c_str() + kStickWin.size(), u"on");
    } else if (CStringTool::StartsWithFolded(command, kEditTag)) {
        const char16_t* what = command.c_str() + kEditTag.size();
        if (CStringTool::EqualNoCase(what, u"rename"))
            AskRenameTag();
        else if (CStringTool::EqualNoCase(what, u"delete"))
            AskDeleteTag();
    } else {
        ShowMessage(CKrvCommands::kUnknownCommandText + command);
    }
}

CTagsWindowMgr::FormPairs CTagsWindowMgr::DecodeFormBody(const std::string& body)
{
    // Split before decoding, so an encoded "&" or "=" stays in its value.
    FormPairs pairs;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        std::string_view piece(body.data() + start, end - start);
        size_t equals = piece.find('=');
        if (equals != std::string_view::npos) {
            std::u16string value = CKrvCommands::DecodeFormText(piece.substr(equals + 1));
            pairs.emplace_back(CKrvCommands::DecodeFormText(piece.substr(0, equals)),
                               value.empty() ? std::nullopt : std::optional<std::u16string>(std::move(value)));
        }
        start = end + 1;
    }
    return pairs;
}

void CTagsWindowMgr::OnTagItForm(const FormPairs& pairs)
{
    if (FindPair(pairs, u"cancelbtn"))
        return;
    CUrlNode* page = m_pages.GetCurrentPage();
    CColctNode* colct = m_pages.GetCurrentColct();
    auto valueOf = [&](std::u16string_view name) {
        const std::optional<std::u16string>* value = FindPair(pairs, name);
        return value && *value ? **value : std::u16string();
    };
    RNode* folder = FolderOfColct(colct);
    if (!FindPair(pairs, u"savebtn") || !page || !folder || valueOf(u"pageid") != page->GetUUID() ||
        valueOf(u"colctid") != colct->GetUUID()) {
        ShowMessage(kStaleFormText);
        return;
    }
    bool changed = false;
    const std::optional<std::u16string>* description = FindPair(pairs, u"description");
    std::u16string posted = description && *description ? **description : std::u16string();
    if (posted != page->GetDescription()) {
        page->SetDescription(posted.c_str());
        changed = true;
    }
    const std::optional<std::u16string>* tags = FindPair(pairs, u"tags");
    bool tagAdded = false;
    if (SetPageTags(folder, page, tags && *tags ? (*tags)->c_str() : nullptr, &tagAdded))
        changed = true;
    // One message at most; what is not written stays marked in memory
    // and is written at the close.
    CFolderTreeMgr::COperation operation(m_tree);
    bool saved = true;
    if (tagAdded) {
        CFolderNode* data = static_cast<CFolderNode*>(folder->GetData());
        if (!data->HasTag()) {
            data->SetHasTag(true);
            saved = m_tree.SaveFolderTree();
        }
    }
    if (m_tree.GetProjectTags().IsDirty())
        saved = m_tree.SaveTags() && saved;
    if (!changed)
        return;
    m_recent.Add(m_tree, folder, page);
    if (CUrlProp* prop = page->GetUrlProp())
        prop->SetNeedSaveKeyWords(true);
    if (!saved || !SaveTouchedPages({{folder, page}}))
        colct->SetHasNewData(true);
    UIPort().RefreshItem(page);
}

bool CTagsWindowMgr::SetPageTags(RNode* folder, CUrlNode* item, const char16_t* text, bool* tagAdded)
{
    std::vector<std::u16string> before = TagsOf(item);
    RBstrItem* list = CUrlProp::GenerateRBstrItemList(text);
    std::vector<std::u16string> after;
    for (RBstrItem* t = list; t; t = t->GetNext())
        after.emplace_back(t->GetData());
    CUrlProp::DeleteTagsList(list);
    *tagAdded = false;
    if (after == before)
        return false;
    CProjectTags& store = m_tree.GetProjectTags();
    std::u16string path = m_tree.GetPageRelativePath(folder, item);
    for (const std::u16string& tag : before) {
        if (!HasTagNoCase(after, tag))
            store.RemoveTag(tag, path);
    }
    for (const std::u16string& tag : after) {
        store.AddTag(tag, path);
        *tagAdded = *tagAdded || !HasTagNoCase(before, tag);
    }
    SetTags(item, after);
    return true;
}

bool CTagsWindowMgr::SaveTouchedPages(const std::vector<std::pair<RNode*, CUrlNode*>>& pages,
                                      std::vector<CColctNode*>* written)
{
    std::vector<CColctNode*> done;
    for (const auto& [folder, item] : pages) {
        CColctNode* colct = static_cast<CFolderNode*>(folder->GetData())->GetColctNode();
        if (!colct || std::find(done.begin(), done.end(), colct) != done.end())
            continue;
        if (!m_tree.SaveColct(colct)) {
            if (written)
                *written = std::move(done);
            return false;
        }
        done.push_back(colct);
    }
    // The keywords follow once the collections hold the new tags.
    for (const auto& [folder, item] : pages)
        CPageMgr::WriteKeywords(m_tree.GetPageFilePath(folder, item), item);
    if (written)
        *written = std::move(done);
    return true;
}

void CTagsWindowMgr::OnOpenPage(const std::u16string& data)
{
    CZandrelProject* project = m_projects.GetCurrentProject();
    if (!project || data.compare(0, 5, u"href=") != 0)
        return;
    // The link is the project's name, then the folders and the address.
    std::u16string link = data.substr(5);
    std::u16string prefix = std::u16string(project->GetName() ? project->GetName() : u"") + u"\\";
    RNode* folder = nullptr;
    CColctNode* colct = nullptr;
    CUrlNode* item = link.compare(0, prefix.size(), prefix) == 0
                         ? m_tree.FindPage(link.substr(prefix.size()), &folder, &colct)
                         : nullptr;
    if (!item) {
        ShowMessage(kNoPageText + data);
        if (link.compare(0, prefix.size(), prefix) == 0)
            m_recent.Forget(link.substr(prefix.size()));
        return;
    }
    if (m_showItem)
        m_showItem(folder, colct, item);
}

void CTagsWindowMgr::AskDeleteTag()
{
    CDeleteTagRules rules(m_tree.GetProjectTags());
    std::u16string name;
    CTextQuestion question{u"Use this dialog to delete a tag", u"Which tag do you want to delete?", u"Delete"};
    if (UIPort().AskText(question, rules, &name))
        DeleteTag(name);
}

void CTagsWindowMgr::AskRenameTag()
{
    std::vector<std::u16string> entries{u"-- Choose a tag to rename"};
    CTagStore* store = m_tree.GetTagStore();
    for (RTagItem* r = store ? store->GetTagItemHead() : nullptr; r; r = r->GetNext()) {
        CTagItem* tag = r->GetData();
        entries.push_back(std::u16string(tag->GetName() ? tag->GetName() : u"") + u" (" +
                          CUnicodeTool::FromUtf8(std::to_string(tag->GetCount())) + u")");
    }
    CRenameTagRules rules(m_tree.GetProjectTags());
    if (UIPort().AskTagRename(u"Use this dialog to rename a tag", entries, rules))
        RenameTag(rules.oldTag, rules.newTag);
}

// The pages of a tag, found before the tag changes.
static std::vector<std::u16string> PathsOf(CTagItem* tag)
{
    std::vector<std::u16string> paths;
    for (RBstrItem* u = tag ? tag->GetUrlList() : nullptr; u; u = u->GetNext())
        paths.emplace_back(u->GetData());
    return paths;
}

bool CTagsWindowMgr::DeleteTag(const std::u16string& name)
{
    CProjectTags& store = m_tree.GetProjectTags();
    std::vector<std::u16string> paths = PathsOf(store.FindTag(name));
    CFolderTreeMgr::COperation operation(m_tree);
    CProjectTags::CSnapshot before = store.TakeSnapshot();
    if (!store.DeleteTag(name))
        return false;
    return ChangeTagEverywhere(before, paths, name, nullptr);
}

bool CTagsWindowMgr::RenameTag(const std::u16string& oldName, const std::u16string& newName)
{
    CProjectTags& store = m_tree.GetProjectTags();
    CTagItem* tag = store.FindTag(oldName);
    CTagItem* other = store.FindTag(newName);
    std::vector<std::u16string> paths = PathsOf(tag);
    CFolderTreeMgr::COperation operation(m_tree);
    CProjectTags::CSnapshot before = store.TakeSnapshot();
    bool renamed = other && other != tag ? store.MergeTag(oldName, newName) : store.RenameTag(oldName, newName);
    if (!renamed)
        return false;
    return ChangeTagEverywhere(before, paths, oldName, &newName);
}

bool CTagsWindowMgr::ChangeTagEverywhere(const CProjectTags::CSnapshot& before, const std::vector<std::u16string>& paths,
                                         const std::u16string& oldName, const std::u16string* newName)
{
    // The tags file and the collections tell the same story: when one of
    // them is not written, the store goes back and so does every file.
    CProjectTags& store = m_tree.GetProjectTags();
    if (!m_tree.SaveTags()) {
        store.Restore(before);
        return false;
    }
    if (!ReplaceTagOnPages(paths, oldName, newName)) {
        store.Restore(before);
        static_cast<void>(m_tree.SaveTags());
        return false;
    }
    return true;
}

bool CTagsWindowMgr::ReplaceTagOnPages(const std::vector<std::u16string>& paths, const std::u16string& oldName,
                                       const std::u16string* newName)
{
    std::vector<std::pair<RNode*, CUrlNode*>> touched;
    std::vector<std::vector<std::u16string>> oldTags;
    for (const std::u16string& path : paths) {
        RNode* folder = nullptr;
        CUrlNode* item = m_tree.FindPage(path, &folder);
        if (!item)
            continue;
        std::vector<std::u16string> tags = TagsOf(item);
        oldTags.push_back(tags);
        auto isOld = [&](const std::u16string& t) { return CStringTool::EqualNoCase(t.c_str(), oldName.c_str()); };
        if (newName)
            std::replace_if(tags.begin(), tags.end(), isOld, *newName);
        else
            std::erase_if(tags, isOld);
        SetTags(item, tags);
        item->GetUrlProp()->SetNeedSaveKeyWords(true);
        touched.emplace_back(folder, item);
    }
    std::vector<CColctNode*> written;
    if (!SaveTouchedPages(touched, &written)) {
        for (size_t i = 0; i < touched.size(); ++i)
            SetTags(touched[i].second, oldTags[i]);
        for (CColctNode* colct : written)
            static_cast<void>(m_tree.SaveColct(colct));
        return false;
    }
    for (const auto& [folder, item] : touched)
        UIPort().RefreshItem(item);
    ShowTags();
    return true;
}

bool CTagsWindowMgr::RebuildTagList()
{
    if (!m_projects.GetCurrentProject()) {
        ShowMessage(kNoProjectText);
        return false;
    }
    CProjectTags& store = m_tree.GetProjectTags();
    if (!store.Reset())
        return false;
    for (RNode* folder : m_tree.GetAllFolders()) {
        auto* data = static_cast<CFolderNode*>(folder->GetData());
        CColctNode* colct = data->HasPage() && m_tree.IsUsableFolder(folder) ? m_tree.LoadColct(folder, false) : nullptr;
        RNode* items = colct ? colct->GetLocRNodeRoot() : nullptr;
        for (RNode* child = items ? items->GetChild() : nullptr; child; child = child->GetNext()) {
            auto* item = child->GetType() == NT_URL ? static_cast<CUrlNode*>(child->GetData()) : nullptr;
            std::u16string path = item ? m_tree.GetPageRelativePath(folder, item) : std::u16string();
            if (path.empty())
                continue;
            for (const std::u16string& tag : TagsOf(item))
                store.AddTag(tag, path);
        }
    }
    store.SortAscending();
    bool saved = m_tree.SaveTags();
    // A search page on show lists what the old store held.
    if (m_bWindowMade && m_nMode == MODE_SEARCH) {
        std::u16string html;
        if (m_builder.BuildRecentPage(MakeContext(), &html)) {
            if (m_bReady)
                UIPort().LoadTagsPage(html);
            else
                m_pending = html;
        }
    }
    return saved;
}

CQVRect CTagsWindowMgr::GetWindowRect(int screenWidth, int screenHeight, const CQVRect& remembered)
{
    const CQVRect& r = remembered;
    if (r.width >= 120 && r.width <= screenWidth && r.height >= 100 && r.height <= screenHeight && r.x >= 0 &&
        r.x <= screenWidth - 100 && r.y >= 0 && r.y <= screenHeight - 100)
        return r;
    CQVRect placed;
    placed.width = screenWidth * 3 / 5;
    placed.height = screenHeight * 3 / 5;
    placed.x = (screenWidth - placed.width) / 2;
    placed.y = std::max(0, (screenHeight - placed.height) / 2 - 20);
    return placed;
}
