#include "app/capture/CImport.h"

#include <glib.h>
#include <gumbo.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/capture/CHtmlRefs.h"
#include "app/capture/CPageRef.h"
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
// out, they may lead anywhere.
bool CopyTree(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::create_directories(to, error);
    for (fs::recursive_directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        fs::path target = to / fs::relative(it->path(), from, error);
        if (it->is_symlink(error))
            continue;
        if (it->is_directory(error))
            fs::create_directories(target, error);
        else if (it->is_regular_file(error))
            fs::copy_file(it->path(), target, error);
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

struct Importer {
    CFolderTreeMgr& tree;
    CImport::CResult result;

    void Skip(const fs::path& path, const char16_t* why)
    {
        result.skipped.push_back(CFileSys::FromNative(path.string()) + u": " + why);
    }

    // A title no page of `colct` has and no file or assets folder of the
    // directory uses; "" when none of "T", "T (2)"... "T (99)" is free.
    std::u16string FreeTitle(CColctNode* colct, const std::u16string& directory, const std::u16string& title)
    {
        for (int n = 1; n < 100; ++n) {
            std::u16string candidate = n == 1 ? title : title + u" (" + U16(std::to_string(n)) + u")";
            bool taken = CFileSys::Exists(directory + candidate + u".htm") ||
                         CFileSys::Exists(directory + candidate + u"_files");
            for (RNode* r = colct->GetFirstRNode(); r && !taken; r = r->GetNext())
                taken = r->GetData() && CStringTool::EqualNoCase(r->GetData()->GetName(), candidate.c_str());
            if (!taken)
                return candidate;
        }
        return {};
    }

    void ImportPage(RNode* folder, CColctNode* colct, const fs::path& file)
    {
        std::string html;
        if (!ReadPage(file, &html))
            return Skip(file, u"cannot be read, or is too large");
        std::u16string directory = tree.GetFolderDirectory(folder);
        std::u16string title = CPageTitle::Clean(U16(CImport::TitleOf(html)));
        if (title.empty())
            title = CPageTitle::Clean(CFileSys::FromNative(file.stem().string()));
        if (title.size() >= CFolderTreeMgr::kMaxNameLength)
            title.resize(CFolderTreeMgr::kMaxNameLength / 2);
        title = title.empty() || directory.empty() ? u"" : FreeTitle(colct, directory, title);
        if (title.empty())
            return Skip(file, u"no free title for it in the folder");

        fs::path assets = AssetsOf(file);
        std::string newAssets = U8(title) + "_files";
        fs::path newAssetsPath = CFileSys::Native(directory + title + u"_files");
        bool hasAssets = fs::is_directory(assets) && !fs::is_symlink(assets);
        if (hasAssets && !CopyTree(assets, newAssetsPath))
            return Skip(file, u"its assets folder could not be copied");
        std::string url = CImport::SavedFromUrl(html);
        std::optional<std::u16string> note = CEditorText::GetSourceNoteForUrl(U16(url));
        html = CImport::Rewrite(html, hasAssets ? assets.filename().string() : "", newAssets, note ? U8(*note) : "");
        std::u16string pageFile = directory + title + u".htm";
        if (!CFileSys::WriteWholeFile(pageFile, html)) {
            std::error_code ignored;
            fs::remove_all(newAssetsPath, ignored);
            return Skip(file, u"the page could not be written");
        }
        CUrlNode* item = CUrlNode::New();
        item->SetName(title.c_str());
        item->SetUrl((title + u".htm").c_str());
        item->SetItemType(ITEM_NOTE);
        CBaseNode::AssignUUID(item);
        long now = static_cast<long>(std::time(nullptr));
        item->GetNodeStat()->SetStatTime(now, now, now,
                                         CNodeStat::STAT_ADDED | CNodeStat::STAT_MODIFIED | CNodeStat::STAT_VISITED);
        colct->AddNewUrlNode(item);
        ++result.pages;
    }

    void ImportInto(RNode* folder, const std::vector<fs::path>& paths)
    {
        CColctNode* colct = nullptr;
        std::vector<fs::path> directories;
        for (const fs::path& path : paths) {
            std::error_code error;
            if (fs::is_directory(path, error)) {
                directories.push_back(path);
            } else if (!IsPageFile(path) || !fs::is_regular_file(path, error)) {
                Skip(path, u"not a saved web page");
            } else if (colct || (colct = tree.EnsureColct(folder))) {
                ImportPage(folder, colct, path);
            } else {
                Skip(path, u"the folder has no collection");
            }
        }
        if (colct && !tree.SaveColct(colct))
            return;
        for (const fs::path& directory : directories)
            ImportDirectory(folder, directory);
    }

    void ImportDirectory(RNode* parent, const fs::path& directory)
    {
        std::u16string name = CPageTitle::Clean(CFileSys::FromNative(directory.filename().string()));
        if (name.empty() || name.size() >= CFolderTreeMgr::kMaxNameLength || !CFileSys::IsPlainName(name))
            return Skip(directory, u"no usable folder name");
        RNode* folder = nullptr;
        for (RNode* child = parent->GetChild(); child && !folder; child = child->GetNext()) {
            if (child->GetType() == NT_FOLDER && child->GetData() &&
                CStringTool::EqualNoCase(child->GetData()->GetName(), name.c_str()))
                folder = child;
        }
        if (!folder && (folder = tree.AddFolder(parent, name)))
            ++result.folders;
        if (!folder)
            return Skip(directory, u"the folder could not be made");
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
        ImportInto(folder, entries);
    }
};

}  // namespace

CImport::CResult CImport::Import(CFolderTreeMgr& tree, RNode* folder, const std::vector<std::u16string>& paths)
{
    Importer importer{tree, {}};
    if (!folder || folder->GetType() != NT_FOLDER || !tree.IsFolderInside(folder, false)) {
        importer.result.skipped.push_back(u"the folder cannot take pages");
        return importer.result;
    }
    std::vector<fs::path> natives;
    for (const std::u16string& path : paths)
        natives.emplace_back(CFileSys::Native(path));
    importer.ImportInto(folder, natives);
    return importer.result;
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
