#include "app/capture/CImport.h"

#include <fcntl.h>
#include <glib.h>
#include <gumbo.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/capture/CHtmlRefs.h"
#include "app/capture/CPageRef.h"
#include "app/capture/CStaging.h"
#include "app/core/CEditorText.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageTitle.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CNodeStat.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace fs = std::filesystem;

namespace {

std::string U8(std::u16string_view text)
{
    return CUnicodeTool::ToUtf8(text);
}

std::u16string U16(std::string_view text)
{
    return CUnicodeTool::FromUtf8(text);
}

bool IsPageFile(const fs::path& path)
{
    std::string extension = path.extension().string();
    return path.stem().string().size() > 0 &&
           (CStringTool::EndsWithNoCase(extension, ".htm") || CStringTool::EndsWithNoCase(extension, ".html")) &&
           (extension.size() == 4 || extension.size() == 5);
}

// A browser's assets folder of a page file: its name up to the last dot.
fs::path AssetsOf(const fs::path& page)
{
    return page.parent_path() / (page.stem().string() + "_files");
}

bool ReadPage(const fs::path& path, std::string* bytes)
{
    std::error_code error;
    auto size = fs::file_size(path, error);
    if (error || size > CImport::kMaxPageBytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Copies the files below `from` into the new folder `to`; links are left
// out, they may lead anywhere, and so is `skip` (the staging folder, should
// it lie below `from`).
bool CopyTree(const fs::path& from, const fs::path& to, const fs::path& skip, const CImport::Cancelled& cancelled)
{
    std::error_code error;
    fs::create_directories(to, error);
    for (fs::recursive_directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        if (cancelled && cancelled())
            return false;
        fs::path target = to / fs::relative(it->path(), from, error);
        if (it->is_symlink(error))
            continue;
        if (it->is_directory(error)) {
            std::error_code other;
            if (fs::equivalent(it->path(), skip, other))
                it.disable_recursion_pending();
            else
                fs::create_directories(target, error);
        } else if (it->is_regular_file(error)) {
            fs::copy_file(it->path(), target, error);
        }
    }
    return !error;
}

// A page parsed for as long as it lives.
struct Parsed {
    explicit Parsed(const std::string& html)
        : output(gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()))
    {
    }
    ~Parsed() { gumbo_destroy_output(&kGumboDefaultOptions, output); }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;
    GumboOutput* output;
};

template <typename Visit>
void Walk(const GumboNode* node, Visit visit)
{
    if (!visit(node) || node->type != GUMBO_NODE_ELEMENT)
        return;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i)
        Walk(static_cast<const GumboNode*>(children.data[i]), visit);
}

// The page's notes: those of the document (before <html>) and below it.
template <typename Visit>
void WalkDocument(const GumboOutput* output, Visit visit)
{
    const GumboVector& top = output->document->v.document.children;
    for (unsigned i = 0; i < top.length; ++i)
        Walk(static_cast<const GumboNode*>(top.data[i]), visit);
}

// The percent-decoded first segment of a relative address, and the rest
// from its "/"; false for an address with a scheme, a root or a fragment.
bool SplitRelative(std::string_view url, std::string* first, std::string_view* rest)
{
    if (url.starts_with("./"))
        url.remove_prefix(2);
    size_t slash = url.find('/');
    std::string_view head = url.substr(0, slash);
    if (slash == std::string_view::npos || head.empty() || head.find(':') != std::string_view::npos ||
        url.starts_with("#"))
        return false;
    gchar* plain = g_uri_unescape_segment(head.data(), head.data() + head.size(), nullptr);
    *first = plain ? plain : "";
    g_free(plain);
    *rest = url.substr(slash);
    return !first->empty();
}

// Renames without ever replacing what is there.
bool MoveNew(const std::u16string& from, const std::u16string& to)
{
    std::string a = CFileSys::Native(from), b = CFileSys::Native(to);
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    // File systems without the flag: the caller looked just before.
    return errno == EINVAL && !CFileSys::Exists(to) && ::rename(a.c_str(), b.c_str()) == 0;
}

std::u16string Lower(const std::u16string& text)
{
    return CStringTool::ToLower(text.c_str());
}

std::u16string Number(size_t n)
{
    return U16(std::to_string(n));
}

// "T", "T (2)"... "T (99)": the first one `taken` does not refuse.
template <typename Taken>
std::u16string PickTitle(const std::u16string& title, Taken taken)
{
    for (int n = 1; n < 100; ++n) {
        std::u16string candidate = n == 1 ? title : title + u" (" + Number(n) + u")";
        if (!taken(candidate))
            return candidate;
    }
    return {};
}

bool UsedInDirectory(const std::u16string& directory, const std::u16string& title)
{
    return CFileSys::Exists(directory + title + u".htm") || CFileSys::Exists(directory + title + u"_files");
}

void Skip(std::vector<std::u16string>& skipped, const std::u16string& path, const char16_t* why)
{
    skipped.push_back(path + u": " + why);
}

struct Planner {
    CFolderTreeMgr& tree;
    CImport::CPlan& plan;

    void Skip(const fs::path& path, const char16_t* why)
    {
        ::Skip(plan.skipped, CFileSys::FromNative(path.string()), why);
    }

    // A folder of the tree with the titles its pages have now.
    size_t AddExisting(RNode* node)
    {
        CImport::CFolder folder;
        folder.node = node;
        folder.directory = tree.GetFolderDirectory(node);
        CColctNode* colct = tree.LoadColct(node, false);
        for (RNode* r = colct ? colct->GetFirstRNode() : nullptr; r; r = r->GetNext()) {
            if (r->GetData() && r->GetData()->GetName())
                folder.titles.insert(Lower(r->GetData()->GetName()));
        }
        plan.folders.push_back(std::move(folder));
        return plan.folders.size() - 1;
    }

    void Into(size_t folder, const std::vector<fs::path>& paths, int depth)
    {
        std::vector<fs::path> directories;
        for (const fs::path& path : paths) {
            std::error_code error;
            if (fs::is_directory(path, error)) {
                directories.push_back(path);
            } else if (CFolderTreeMgr::IsConflictCopy(CFileSys::FromNative(path.filename().string()))) {
                Skip(path, u"a conflict copy made by a sync tool");
            } else if (!IsPageFile(path) || !fs::is_regular_file(path, error)) {
                Skip(path, u"not a saved web page");
            } else {
                CImport::CPage page;
                page.folder = folder;
                page.source = CFileSys::FromNative(path.string());
                plan.pages.push_back(std::move(page));
            }
        }
        for (const fs::path& directory : directories)
            Directory(folder, directory, depth);
    }

    void Directory(size_t parent, const fs::path& directory, int depth)
    {
        std::u16string name = CPageTitle::Clean(CFileSys::FromNative(directory.filename().string()));
        if (name.empty() || name.size() >= CFolderTreeMgr::kMaxNameLength || !CFileSys::IsPlainName(name))
            return Skip(directory, u"no usable folder name");
        if (depth >= CFolderTreeMgr::kMaxDepth)
            return Skip(directory, u"folders nested too deeply");
        // Into a folder of that name: one of the tree, or one this import
        // makes already (two directories of the same name).
        size_t index = plan.folders.size();
        if (RNode* node = plan.folders[parent].node) {
            for (RNode* child = node->GetChild(); child && index == plan.folders.size(); child = child->GetNext()) {
                if (child->GetType() == NT_FOLDER && child->GetData() &&
                    CStringTool::EqualNoCase(child->GetData()->GetName(), name.c_str())) {
                    if (!tree.IsFolderInside(child, false))
                        return Skip(directory, u"the folder of that name leads outside the project");
                    index = AddExisting(child);
                }
            }
        }
        for (size_t i = 1; i < plan.folders.size() && index == plan.folders.size(); ++i) {
            const CImport::CFolder& planned = plan.folders[i];
            if (!planned.node && planned.parent == parent &&
                CStringTool::EqualNoCase(planned.name.c_str(), name.c_str()))
                index = i;
        }
        if (index == plan.folders.size()) {
            CImport::CFolder folder;
            folder.parent = parent;
            folder.name = name;
            folder.source = CFileSys::FromNative(directory.string());
            folder.directory = plan.folders[parent].directory + name + u"/";
            plan.folders.push_back(std::move(folder));
        }
        // A page's assets folder goes with its page, not as a folder.
        std::vector<fs::path> entries;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
            const fs::path& path = entry.path();
            std::string entryName = path.filename().string();
            std::string stem =
                entryName.ends_with("_files") ? entryName.substr(0, entryName.size() - 6) : std::string();
            bool assets = !stem.empty() && entry.is_directory(error) &&
                          (fs::exists(directory / (stem + ".htm")) || fs::exists(directory / (stem + ".html")));
            if (!assets && !entry.is_symlink(error) && (entry.is_directory(error) || IsPageFile(path)))
                entries.push_back(path);
        }
        std::sort(entries.begin(), entries.end());
        Into(index, entries, depth + 1);
    }
};

fs::path StagedPage(const CImport::CPlan& plan, const CImport::CPage& page)
{
    return CFileSys::Native(plan.staging + Number(page.staged) + u".htm");
}

fs::path StagedAssets(const CImport::CPlan& plan, const CImport::CPage& page)
{
    return CFileSys::Native(plan.staging + Number(page.staged) + u"_files");
}

// Copies one page and its assets folder into the staging folder under the
// title it will most likely keep.
void StagePage(CImport::CPlan& plan, CImport::CPage& page, const CImport::Cancelled& cancelled)
{
    fs::path file = CFileSys::Native(page.source);
    std::string html;
    if (!ReadPage(file, &html))
        return Skip(plan.skipped, page.source, u"cannot be read, or is too large");
    CImport::CFolder& folder = plan.folders[page.folder];
    std::u16string title = CImport::PageTitle(CImport::TitleOf(html), CFileSys::FromNative(file.stem().string()));
    // Pages staged before this one are not in the directory yet.
    if (!title.empty() && !folder.directory.empty())
        title = PickTitle(title, [&](const std::u16string& candidate) {
            return folder.titles.count(Lower(candidate)) || UsedInDirectory(folder.directory, candidate);
        });
    if (title.empty() || folder.directory.empty())
        return Skip(plan.skipped, page.source, u"no free title for it in the folder");

    fs::path assets = AssetsOf(file);
    page.hasAssets = fs::is_directory(assets) && !fs::is_symlink(assets);
    fs::path stagedAssets = StagedAssets(plan, page);
    if (page.hasAssets && !CopyTree(assets, stagedAssets, CFileSys::Native(plan.staging), cancelled)) {
        std::error_code ignored;
        fs::remove_all(stagedAssets, ignored);
        return Skip(plan.skipped, page.source, u"its assets folder could not be copied");
    }
    std::string url = CImport::SavedFromUrl(html);
    std::optional<std::u16string> note = CEditorText::GetSourceNoteForUrl(U16(url));
    html = CImport::Rewrite(html, page.hasAssets ? assets.filename().string() : "", U8(title) + "_files",
                            note ? U8(*note) : "");
    if (!CFileSys::WriteWholeFile(CFileSys::FromNative(StagedPage(plan, page).string()), html)) {
        std::error_code ignored;
        fs::remove_all(stagedAssets, ignored);
        return Skip(plan.skipped, page.source, u"the page could not be written");
    }
    folder.titles.insert(Lower(title));
    page.title = title;
}

// The folder of the tree each planned folder is now, made when new; null
// for one gone meanwhile or that could not be made.
std::vector<RNode*> CommitFolders(CFolderTreeMgr& tree, const CImport::CPlan& plan, CImport::CResult& result)
{
    std::vector<RNode*> all = tree.GetAllFolders();
    std::vector<RNode*> nodes(plan.folders.size(), nullptr);
    for (size_t i = 0; i < plan.folders.size(); ++i) {
        const CImport::CFolder& folder = plan.folders[i];
        if (folder.node) {
            // Only compared, never followed, until found in the tree.
            if (std::find(all.begin(), all.end(), folder.node) != all.end() && tree.IsFolderInside(folder.node, false))
                nodes[i] = folder.node;
            continue;
        }
        RNode* parent = nodes[folder.parent];
        for (RNode* child = parent ? parent->GetChild() : nullptr; child && !nodes[i]; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER && child->GetData() &&
                CStringTool::EqualNoCase(child->GetData()->GetName(), folder.name.c_str()) &&
                tree.IsFolderInside(child, false))
                nodes[i] = child;
        }
        if (parent && !nodes[i] && (nodes[i] = tree.AddFolder(parent, folder.name)))
            ++result.folders;
        if (parent && !nodes[i])
            Skip(result.skipped, folder.source, u"the folder could not be made");
    }
    return nodes;
}

}  // namespace

CImport::CPlan CImport::Plan(CFolderTreeMgr& tree, RNode* folder, const std::vector<std::u16string>& paths)
{
    CPlan plan;
    if (!folder || folder->GetType() != NT_FOLDER || !tree.IsFolderInside(folder, false) ||
        tree.GetFolderDirectory(folder).empty()) {
        plan.skipped.push_back(u"the folder cannot take pages");
        return plan;
    }
    Planner planner{tree, plan};
    planner.AddExisting(folder);
    std::vector<fs::path> natives;
    for (const std::u16string& path : paths)
        natives.emplace_back(CFileSys::Native(path));
    planner.Into(0, natives, 0);
    return plan;
}

bool CImport::Copy(CPlan& plan, const Progress& progress, const Cancelled& cancelled)
{
    if (plan.pages.empty())
        return !(cancelled && cancelled());
    // Hidden, in the target folder's directory: the copies are moved into
    // place with a rename, and a refresh never takes them for pages.
    std::string pattern = CFileSys::Native(plan.folders[0].directory +
                                              CUnicodeTool::FromUtf8(std::string(CStaging::kImportPrefix) + "XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        for (CPage& page : plan.pages)
            ::Skip(plan.skipped, page.source, u"the folder's directory cannot be written");
        return !(cancelled && cancelled());
    }
    plan.staging = CFileSys::FromNative(pattern) + u"/";
    for (size_t i = 0; i < plan.pages.size(); ++i) {
        if (cancelled && cancelled())
            break;
        plan.pages[i].staged = i;
        StagePage(plan, plan.pages[i], cancelled);
        if (progress)
            progress(i + 1, plan.pages.size());
    }
    if (cancelled && cancelled()) {
        Discard(plan);
        return false;
    }
    return true;
}

CImport::CResult CImport::Commit(CFolderTreeMgr& tree, CPlan& plan)
{
    CResult result;
    result.skipped = std::move(plan.skipped);
    std::vector<RNode*> nodes = CommitFolders(tree, plan, result);
    std::vector<CColctNode*> colcts(plan.folders.size(), nullptr);
    std::vector<bool> tried(plan.folders.size(), false), added(plan.folders.size(), false);
    for (CPage& page : plan.pages) {
        if (page.title.empty())
            continue;  // skipped while copying
        RNode* folder = nodes[page.folder];
        if (!folder) {
            ::Skip(result.skipped, page.source, u"its folder is gone or could not be made");
            continue;
        }
        CColctNode*& colct = colcts[page.folder];
        if (!colct && !tried[page.folder]) {
            tried[page.folder] = true;
            colct = tree.EnsureColct(folder);  // a failure is shown once
        }
        if (!colct) {
            ::Skip(result.skipped, page.source, u"the folder has no collection");
            continue;
        }
        std::u16string directory = tree.GetFolderDirectory(folder);
        std::u16string title = directory.empty() ? u"" : FreeTitle(colct, directory, page.title);
        if (title.empty()) {
            ::Skip(result.skipped, page.source, u"no free title for it in the folder");
            continue;
        }
        std::u16string stagedPage = CFileSys::FromNative(StagedPage(plan, page).string());
        std::u16string stagedAssets = CFileSys::FromNative(StagedAssets(plan, page).string());
        // The folder changed meanwhile: the references follow the new title.
        if (title != page.title && page.hasAssets) {
            std::string html;
            if (!ReadPage(StagedPage(plan, page), &html) ||
                !CFileSys::WriteWholeFile(stagedPage, CImport::Rewrite(html, U8(page.title) + "_files",
                                                                       U8(title) + "_files", ""))) {
                ::Skip(result.skipped, page.source, u"the page could not be written");
                continue;
            }
        }
        std::u16string assets = directory + title + u"_files";
        bool movedAssets = page.hasAssets && MoveNew(stagedAssets, assets);
        if (movedAssets != page.hasAssets || !MoveNew(stagedPage, directory + title + u".htm")) {
            if (movedAssets)
                MoveNew(assets, stagedAssets);
            ::Skip(result.skipped, page.source, u"could not be moved into the folder");
            continue;
        }
        AddPageItem(colct, title);
        added[page.folder] = true;
        ++result.pages;
    }
    for (size_t i = 0; i < colcts.size(); ++i) {
        if (added[i])
            static_cast<void>(tree.SaveColct(colcts[i]));  // a failure is shown
    }
    Discard(plan);
    return result;
}

void CImport::Discard(CPlan& plan)
{
    if (plan.staging.empty())
        return;
    std::error_code ignored;
    fs::remove_all(CFileSys::Native(plan.staging), ignored);
    plan.staging.clear();
}

CImport::CResult CImport::Import(CFolderTreeMgr& tree, RNode* folder, const std::vector<std::u16string>& paths)
{
    CPlan plan = Plan(tree, folder, paths);
    Copy(plan, nullptr, nullptr);
    return Commit(tree, plan);
}

std::u16string CImport::FreeTitle(CColctNode* colct, const std::u16string& directory, const std::u16string& title)
{
    return PickTitle(title, [&](const std::u16string& candidate) {
        if (UsedInDirectory(directory, candidate))
            return true;
        for (RNode* r = colct ? colct->GetFirstRNode() : nullptr; r; r = r->GetNext()) {
            if (r->GetData() && CStringTool::EqualNoCase(r->GetData()->GetName(), candidate.c_str()))
                return true;
        }
        return false;
    });
}

std::u16string CImport::PageTitle(const std::string& documentTitle, const std::u16string& fallback)
{
    std::u16string title = CPageTitle::Clean(U16(documentTitle));
    if (title.empty())
        title = CPageTitle::Clean(fallback);
    if (title.size() >= CFolderTreeMgr::kMaxNameLength)
        title.resize(CFolderTreeMgr::kMaxNameLength / 2);
    return title;
}

CUrlNode* CImport::AddPageItem(CColctNode* colct, const std::u16string& title)
{
    CUrlNode* item = CUrlNode::New();
    item->SetName(title.c_str());
    item->SetUrl((title + u".htm").c_str());
    item->SetItemType(ITEM_NOTE);
    CBaseNode::AssignUUID(item);
    long now = static_cast<long>(std::time(nullptr));
    item->GetNodeStat()->SetStatTime(now, now, now,
                                     CNodeStat::STAT_ADDED | CNodeStat::STAT_MODIFIED | CNodeStat::STAT_VISITED);
    if (colct->AddNewUrlNode(item))
        return item;
    CBaseNode::Delete(item);
    return nullptr;
}

std::string CImport::TitleOf(const std::string& html)
{
    std::string title;
    WalkDocument(Parsed(html).output, [&](const GumboNode* node) {
        if (!title.empty())
            return false;
        if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_TITLE) {
            const GumboVector& children = node->v.element.children;
            for (unsigned i = 0; i < children.length; ++i) {
                auto* child = static_cast<const GumboNode*>(children.data[i]);
                if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
                    title += child->v.text.text;
            }
            return false;
        }
        return true;
    });
    // Runs of white space read as one blank, as a browser shows the title.
    std::string plain;
    for (char c : title) {
        bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
        if (!blank)
            plain += c;
        else if (!plain.empty() && plain.back() != ' ')
            plain += ' ';
    }
    while (!plain.empty() && plain.back() == ' ')
        plain.pop_back();
    return plain;
}

std::string CImport::SavedFromUrl(const std::string& html)
{
    std::string url;
    WalkDocument(Parsed(html).output, [&](const GumboNode* node) {
        if (!url.empty())
            return false;
        if (node->type != GUMBO_NODE_COMMENT)
            return true;
        std::string_view text = node->v.text.text;
        size_t at = text.find("saved from url=(");
        size_t close = at == std::string_view::npos ? at : text.find(')', at);
        if (close != std::string_view::npos) {
            std::string_view rest = text.substr(close + 1);
            size_t end = rest.find_first_of(" \t\r\n");
            url = std::string(rest.substr(0, end));
        }
        return false;
    });
    return url;
}

std::string CImport::Rewrite(const std::string& html, const std::string& oldAssets, const std::string& newAssets,
                             const std::string& note)
{
    std::vector<CRefReplacement> replacements;
    if (!oldAssets.empty() && oldAssets != newAssets) {
        gchar* escaped = g_uri_escape_string(newAssets.c_str(), nullptr, TRUE);
        std::string target = escaped;
        g_free(escaped);
        for (const CPageRef& ref : CHtmlRefs::Find(html)) {
            std::string first;
            std::string_view rest;
            if (SplitRelative(ref.url, &first, &rest) && first == oldAssets)
                replacements.push_back({ref, target + std::string(rest)});
        }
    }
    std::string out;
    if (!CRefRewrite::Apply(html, replacements, &out))
        out = html;
    if (note.empty())
        return out;
    // Before the end of the body, where a note after pasted text goes.
    size_t at = out.size();
    WalkDocument(Parsed(out).output, [&](const GumboNode* node) {
        if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_BODY &&
            node->v.element.original_end_tag.length > 0)
            at = node->v.element.end_pos.offset;
        return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_HTML;
    });
    return out.insert(at, note);
}
