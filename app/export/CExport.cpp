#include "app/export/CExport.h"

#include <archive.h>
#include <archive_entry.h>
#include <glib.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <set>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNode.h"
#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace fs = std::filesystem;

namespace {

std::string U8(std::u16string_view text)
{
    return CUnicodeTool::ToUtf8(text);
}

// A file name as an address relative to the page that links to it.
std::u16string Href(std::u16string_view name)
{
    gchar* escaped = g_uri_escape_string(U8(name).c_str(), nullptr, TRUE);
    std::u16string href = CUnicodeTool::FromUtf8(escaped);
    g_free(escaped);
    return href;
}

std::u16string TagsOf(CUrlNode* item)
{
    std::u16string tags;
    CUrlProp* prop = item->PeekUrlProp();
    for (RBstrItem* tag = prop ? prop->GetTagsHead() : nullptr; tag; tag = tag->GetNext()) {
        if (!tag->GetData() || !*tag->GetData())
            continue;
        if (!tags.empty())
            tags += u", ";
        tags += tag->GetData();
    }
    return tags;
}

struct Planner {
    CFolderTreeMgr& tree;
    std::vector<CExportItem>& items;

    // Adds `folder` under `prefix` and returns the name of its index page.
    std::u16string AddFolder(RNode* folder, const std::string& prefix, CUrlNode* onlyPage)
    {
        // Names in use in the folder's directory of the export, so the index
        // page never takes the place of a page.
        std::set<std::u16string> taken;
        std::vector<CExport::CIndexEntry> pages, folders;
        CColctNode* colct = tree.LoadColct(folder, false);
        for (RNode* r = colct ? colct->GetFirstRNode() : nullptr; r; r = r->GetNext()) {
            auto* item = r->GetType() == NT_URL ? static_cast<CUrlNode*>(r->GetData()) : nullptr;
            if (!item || item->GetItemType() != ITEM_NOTE || (onlyPage && item != onlyPage))
                continue;
            std::u16string file = tree.GetPageFilePath(folder, item);
            if (file.empty() || !CFileSys::IsFile(file) || !tree.IsPageInside(folder, item, false))
                continue;
            std::u16string name = CFileSys::NameOf(file);
            items.push_back({prefix + U8(name), file, false, {}});
            taken.insert(CStringTool::ToLower(name.c_str()));
            std::u16string assets = CFolderTreeMgr::GetAssetsFolder(file);
            if (CFileSys::IsDirectory(assets) && CFolderTreeMgr::IsInsideContent(assets, false)) {
                items.push_back({prefix + U8(CFileSys::NameOf(assets)), assets, true, {}});
                taken.insert(CStringTool::ToLower(CFileSys::NameOf(assets).c_str()));
            }
            pages.push_back({item->GetName() ? item->GetName() : u"", Href(name), TagsOf(item),
                             item->GetDescription() ? item->GetDescription() : u""});
        }
        if (onlyPage)
            return {};
        for (RNode* child = folder->GetChild(); child; child = child->GetNext()) {
            bool isFolder = child->GetType() == NT_FOLDER && child->GetData();
            const char16_t* name = isFolder ? child->GetData()->GetName() : nullptr;
            if (!name || !CFileSys::IsPlainName(name) || taken.count(CStringTool::ToLower(name)) ||
                !tree.IsFolderInside(child, false))
                continue;
            taken.insert(CStringTool::ToLower(name));
            std::u16string index = AddFolder(child, prefix + U8(name) + "/", nullptr);
            folders.push_back({name, Href(name) + u"/" + Href(index), {}, {}});
        }
        std::u16string index = CUnicodeTool::FromUtf8(CExport::kIndexName);
        for (int n = 2; taken.count(index); ++n)
            index = u"index-" + CUnicodeTool::FromUtf8(std::to_string(n)) + u".html";
        const char16_t* folderName = folder->GetData() ? folder->GetData()->GetName() : nullptr;
        std::string page = CExport::IndexPage(folderName ? folderName : u"", folders, pages);
        items.push_back({prefix + U8(index), {}, false, std::move(page)});
        return index;
    }
};

// Where a relative export path goes below `base`; empty when it would leave
// it (the plan only makes plain names, but the writer does not rely on it).
fs::path Below(const fs::path& base, const std::string& relative)
{
    fs::path path = base;
    for (const fs::path& part : fs::path(relative)) {
        if (part.empty() || part == "." || part == ".." || part.has_root_path())
            return {};
        path /= part;
    }
    return path;
}

bool Inside(const fs::path& path, const fs::path& folder)
{
    std::error_code error;
    fs::path a = fs::weakly_canonical(path, error), b = fs::weakly_canonical(folder, error);
    if (b.empty())
        return false;
    auto [end, at] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
    return end == b.end();
}

// The files below an assets folder, links left out: they may lead anywhere.
std::vector<std::pair<fs::path, std::string>> FilesBelow(const fs::path& folder, const std::string& target)
{
    std::vector<std::pair<fs::path, std::string>> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_symlink(error))
            continue;  // the iterator does not go into linked folders either
        if (it->is_regular_file(error))
            files.emplace_back(it->path(), target + "/" + fs::relative(it->path(), folder, error).generic_string());
    }
    return files;
}

// The sink an export writes into: a folder, or a zip archive.
class Sink {
public:
    virtual ~Sink() = default;
    virtual bool AddFile(const fs::path& source, const std::string& target) = 0;
    virtual bool AddText(const std::string& text, const std::string& target) = 0;
    virtual bool Finish() { return true; }
    std::string error;
};

class FolderSink : public Sink {
public:
    explicit FolderSink(fs::path base) : m_base(std::move(base)) {}
    bool AddFile(const fs::path& source, const std::string& target) override
    {
        fs::path to = Prepare(target);
        std::error_code failure;
        if (!to.empty())
            fs::copy_file(source, to, fs::copy_options::overwrite_existing, failure);
        return Done(to, failure);
    }
    bool AddText(const std::string& text, const std::string& target) override
    {
        fs::path to = Prepare(target);
        std::error_code failure;
        if (!to.empty() && !CFileSys::WriteWholeFile(CFileSys::FromNative(to.string()), text))
            failure = std::error_code(errno ? errno : EIO, std::generic_category());
        return Done(to, failure);
    }

private:
    fs::path Prepare(const std::string& target)
    {
        fs::path to = Below(m_base, target);
        std::error_code failure;
        if (!to.empty())
            fs::create_directories(to.parent_path(), failure);
        return to;
    }
    bool Done(const fs::path& to, const std::error_code& failure)
    {
        if (to.empty() || failure)
            error = to.empty() ? std::string("a path leading out of the export") : to.string() + ": " + failure.message();
        return error.empty();
    }
    fs::path m_base;
};

class ZipSink : public Sink {
public:
    explicit ZipSink(const fs::path& file) : m_zip(archive_write_new())
    {
        if (archive_write_set_format_zip(m_zip) != ARCHIVE_OK ||
            archive_write_open_filename(m_zip, file.c_str()) != ARCHIVE_OK)
            Fail();
    }
    ~ZipSink() override { archive_write_free(m_zip); }
    // Read and written a block at a time: assets may be large.
    bool AddFile(const fs::path& source, const std::string& target) override
    {
        std::error_code failure;
        auto size = fs::file_size(source, failure);
        int fd = failure ? -1 : ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = source.string() + ": cannot be read";
            return false;
        }
        bool ok = Header(target, size);
        char block[65536];
        la_int64_t left = static_cast<la_int64_t>(size);
        while (ok && left > 0) {
            ssize_t got = ::read(fd, block, sizeof block);
            if (got <= 0) {
                // The file shrank meanwhile: the entry's size was promised.
                error = source.string() + ": cannot be read";
                ok = false;
                break;
            }
            got = std::min<ssize_t>(got, static_cast<ssize_t>(left));
            ok = archive_write_data(m_zip, block, static_cast<size_t>(got)) == got || Fail();
            left -= got;
        }
        ::close(fd);
        return ok;
    }
    bool AddText(const std::string& text, const std::string& target) override
    {
        return Header(target, text.size()) &&
               (archive_write_data(m_zip, text.data(), text.size()) == static_cast<la_ssize_t>(text.size()) || Fail());
    }
    bool Finish() override { return error.empty() && (archive_write_close(m_zip) == ARCHIVE_OK || Fail()); }

private:
    bool Header(const std::string& target, uintmax_t size)
    {
        if (!error.empty())
            return false;
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, target.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(size));
        archive_entry_set_mtime(entry, std::time(nullptr), 0);
        bool ok = archive_write_header(m_zip, entry) == ARCHIVE_OK;
        archive_entry_free(entry);
        return ok || Fail();
    }
    bool Fail()
    {
        const char* why = archive_error_string(m_zip);
        error = why ? why : "the archive cannot be written";
        return false;
    }
    archive* m_zip;
};

// A fresh name beside `target` for writing before the rename.
fs::path TempBeside(const fs::path& target, bool directory)
{
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".part-XXXXXX")).string();
    if (directory)
        return mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        return {};
    close(fd);
    return pattern;
}

}  // namespace

bool CExport::IsInside(const std::u16string& target, const std::u16string& content)
{
    return !content.empty() && Inside(CFileSys::Native(target), CFileSys::Native(content));
}

CExportPlan CExport::Plan(CFolderTreeMgr& tree, RNode* folder, CUrlNode* page)
{
    CExportPlan plan;
    plan.content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    if (folder && folder->GetType() == NT_FOLDER && tree.IsFolderInside(folder, false))
        Planner{tree, plan.items}.AddFolder(folder, "", page);
    return plan;
}

CExport::Result CExport::Write(const CExportPlan& plan, const std::u16string& target, bool zip, bool overwrite,
                               const Progress& progress, const Cancelled& cancelled, std::u16string* error)
{
    auto fail = [&](Result result, const std::string& why) {
        if (error)
            *error = CUnicodeTool::FromUtf8(why);
        return result;
    };
    fs::path to = CFileSys::Native(target);
    if (to.empty() || !to.has_filename())
        return fail(FAILED, "no file name to export to");
    if (IsInside(target, plan.content))
        return fail(INSIDE_PROJECT, to.string());
    std::error_code failure;
    bool exists = fs::exists(fs::symlink_status(to, failure));
    if (exists && !zip && fs::is_directory(to, failure) && fs::is_empty(to, failure))
        exists = false;  // an empty folder chosen to export into
    if (exists && !overwrite)
        return fail(EXISTS, to.string());
    if (exists && fs::is_directory(to, failure) == zip)
        return fail(FAILED, to.string() + (zip ? ": a folder" : ": not a folder"));

    // A folder that exists is written in place; anything else beside it
    // first, then renamed (over an empty folder too), so that it appears
    // whole or not at all.
    bool inPlace = exists && !zip;
    fs::path work = inPlace ? to : TempBeside(to, !zip);
    if (work.empty())
        return fail(FAILED, to.parent_path().string() + ": " + std::generic_category().message(errno));
    std::unique_ptr<Sink> sink;
    if (zip)
        sink = std::make_unique<ZipSink>(work);
    else
        sink = std::make_unique<FolderSink>(work);

    auto discard = [&] {
        sink.reset();
        if (!inPlace)
            fs::remove_all(work, failure);
    };
    size_t done = 0;
    bool stopped = false;
    auto stop = [&] { return stopped = stopped || (cancelled && cancelled()); };
    for (const CExportItem& item : plan.items) {
        bool ok = !stop();
        if (ok && !item.directory && item.source.empty()) {
            ok = sink->AddText(item.text, item.target);
        } else if (ok && !item.directory) {
            ok = sink->AddFile(CFileSys::Native(item.source), item.target);
        } else if (ok) {
            // An assets folder may hold many files: asked between them too.
            for (const auto& [file, place] : FilesBelow(CFileSys::Native(item.source), item.target)) {
                if (!(ok = !stop() && sink->AddFile(file, place)))
                    break;
            }
        }
        if (stopped) {
            discard();
            return fail(CANCELLED, {});
        }
        if (!ok) {
            std::string why = sink->error;
            discard();
            return fail(FAILED, why);
        }
        if (progress)
            progress(++done, plan.items.size());
    }
    if (!sink->Finish()) {
        std::string why = sink->error;
        discard();
        return fail(FAILED, why);
    }
    sink.reset();
    if (!inPlace) {
        fs::rename(work, to, failure);
        if (failure) {
            fs::remove_all(work, failure);
            return fail(FAILED, to.string() + ": " + failure.message());
        }
    }
    return DONE;
}

std::string CExport::IndexPage(const std::u16string& folderName, const std::vector<CIndexEntry>& folders,
                               const std::vector<CIndexEntry>& pages)
{
    auto text = [](std::u16string_view value) { return U8(CHtmlEscape::Escape(value, CHtmlEscape::Text)); };
    std::string title = text(folderName);
    std::string html = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
                       "</title>\n</head>\n<body>\n<h1>" + title + "</h1>\n";
    if (!folders.empty()) {
        html += "<ul>\n";
        for (const CIndexEntry& folder : folders)
            html += "<li><a href=\"" + text(folder.href) + "\">" + text(folder.title) + "</a></li>\n";
        html += "</ul>\n";
    }
    if (!pages.empty()) {
        html += "<table>\n<tr><th>Title</th><th>Tags</th><th>Description</th></tr>\n";
        for (const CIndexEntry& page : pages)
            html += "<tr><td><a href=\"" + text(page.href) + "\">" + text(page.title) + "</a></td><td>" +
                    text(page.tags) + "</td><td>" + text(page.description) + "</td></tr>\n";
        html += "</table>\n";
    }
    return html + "</body>\n</html>\n";
}
