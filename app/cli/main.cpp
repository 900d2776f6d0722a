// zandrel-cli: the program's headless core for scripts. Messages go to the
// error output; the exit code says how it went.

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/CCapture.h"
#include "app/capture/CImport.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CProjectLock.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CQuietUIPort.h"
#include "app/export/CExport.h"
#include "app/main/CMainCore.h"
#include "app/search/CPageSearch.h"
#include "app/search/CSearchIndex.h"
#include "base/model/RNode.h"
#include "base/model/CBaseNode.h"
#include "base/model/CZandrelProject.h"
#include "base/tools/CUnicodeTool.h"

namespace {

enum Exit { OK = 0, FAILED = 1, USAGE = 2, IN_USE = 3, EXISTS = 4 };

constexpr char kHelp[] =
    "Usage: zandrel-cli COMMAND ARGUMENTS...\n"
    "\n"
    "Commands:\n"
    "  import PROJECT.zand FOLDER FILE...\n"
    "      Copies web pages a browser saved (NAME.htm or NAME.html with its\n"
    "      NAME_files folder) into FOLDER (\"\" or \"/\" for the top folder),\n"
    "      each under its title; a directory FILE becomes a folder with its\n"
    "      pages and directories. The files given are never changed.\n"
    "\n"
    "  capture PROJECT.zand FOLDER URL\n"
    "      Fetches the web page at URL (http or https) with its images,\n"
    "      stylesheets and icons into FOLDER as a new page under its title;\n"
    "      every reference fetched is rewritten to the local copy, and what\n"
    "      could not be fetched is listed and keeps its address. Interrupting\n"
    "      it leaves nothing behind.\n"
    "\n"
    "  export PROJECT.zand [FOLDER] OUT [--zip] [--force]\n"
    "      Writes the pages of FOLDER (a path of folder names below the\n"
    "      project's top folder, such as \"Work/2009\"; the whole project\n"
    "      when left out), with their assets and an index page per folder,\n"
    "      into the new folder OUT, or into the .zip file OUT with --zip.\n"
    "      An existing OUT is only written with --force.\n"
    "\n"
    "  search PROJECT.zand QUERY [--paths]\n"
    "      Brings the project's full-text index up to date, then prints the\n"
    "      pages QUERY finds, best first, one a line: the page's path, its\n"
    "      title and a piece of its text with the words found in [ ],\n"
    "      separated by tabs. With --paths, only the path of every page\n"
    "      found, in no particular order. QUERY: words (all must match),\n"
    "      \"a phrase\", prefix*, -word (leave out), tag:name, in:Folder/Sub,\n"
    "      -tag:name, -in:Folder.\n"
    "\n"
    "  --help  show this text and exit\n"
    "\n"
    "Exit codes: 0 done, 1 failed, 2 wrong arguments, 3 the project is open\n"
    "in Zandrel (or was not closed properly), 4 OUT exists.\n";

void Say(const std::string& text)
{
    std::fprintf(stderr, "zandrel-cli: %s\n", text.c_str());
}

int Fail(int code, const std::string& text)
{
    Say(text);
    return code;
}

std::string U8(const std::u16string& text)
{
    return CUnicodeTool::ToUtf8(text);
}

// The core's message boxes, as lines on the error output; questions are
// answered with their default, which never changes anything.
class CCliUIPort : public CQuietUIPort {
public:
    int MessageBox(const std::u16string& text, const std::u16string& caption, int type, int answer) override
    {
        std::string line = U8(text);
        for (size_t at = line.find('\r'); at != std::string::npos; at = line.find('\r', at))
            line.erase(at, 1);
        Say(line);
        return CQuietUIPort::MessageBox(text, caption, type, answer);
    }
};

// The folder at `path` ("A/B") below the root, or null.
RNode* FindFolder(RNode* root, const std::string& path)
{
    RNode* folder = root;
    size_t start = 0;
    while (folder && start < path.size()) {
        size_t end = path.find('/', start);
        std::u16string name = CUnicodeTool::FromUtf8(path.substr(start, end - start));
        start = end == std::string::npos ? path.size() : end + 1;
        if (name.empty())
            continue;
        RNode* found = nullptr;
        for (RNode* child = folder->GetChild(); child && !found; child = child->GetNext()) {
            bool isFolder = child->GetType() == NT_FOLDER && child->GetData();
            const char16_t* childName = isFolder ? child->GetData()->GetName() : nullptr;
            if (childName && name == childName)
                found = child;
        }
        folder = found;
    }
    return folder;
}

// Opens `project` unless Zandrel holds it; an exit code on failure.
int Open(CMainCore& core, const std::string& project)
{
    std::u16string path = CUnicodeTool::FromUtf8(project);
    std::u16string lock = CProjectLock::GetLockFilePath(path);
    // A running Zandrel holds it: working under it could meet half a save.
    if (CFileSys::Exists(lock))
        return Fail(IN_USE, "the project is open in Zandrel, or was not closed properly (" + U8(lock) + ")");
    if (!core.GetProjectMgr().OpenProject(path))
        return Fail(FAILED, "the project could not be opened: " + project);
    return OK;
}

int Import(CMainCore& core, const std::vector<std::string>& args)
{
    if (args.size() < 3)
        return Fail(USAGE, "import takes PROJECT.zand FOLDER FILE... (see --help)");
    if (int code = Open(core, args[0]))
        return code;
    RNode* folder = FindFolder(core.GetTreeMgr().GetRoot(), args[1]);
    int code = OK;
    if (!folder) {
        code = Fail(FAILED, "no such folder in the project: " + args[1]);
    } else {
        std::vector<std::u16string> files;
        for (size_t i = 2; i < args.size(); ++i)
            files.push_back(CUnicodeTool::FromUtf8(args[i]));
        CImport::CResult result = CImport::Import(core.GetTreeMgr(), folder, files);
        for (const std::u16string& skipped : result.skipped)
            Say("not imported: " + U8(skipped));
        Say(std::to_string(result.pages) + " pages and " + std::to_string(result.folders) + " folders imported");
        code = result.skipped.empty() ? OK : FAILED;
    }
    core.GetProjectMgr().CloseProject();
    return code;
}

// Runs the fetch on a thread of its own while this one waits for it or for
// an interrupt, which stops it: a capture cut short leaves no files.
CCapture::CResult FetchStoppably(const CCapture::CPlan& plan)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &signals, &old);  // the worker inherits the mask
    CCapture::CResult result;
    std::atomic<bool> done = false;
    std::jthread worker([&](std::stop_token stop) {
        result = CCapture::Fetch(plan, {}, nullptr, stop);
        done = true;
    });
    const timespec tick{0, 100 * 1000 * 1000};
    while (!done) {
        if (sigtimedwait(&signals, nullptr, &tick) > 0) {
            worker.request_stop();
            break;
        }
    }
    worker.join();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return result;
}

int Capture(CMainCore& core, const std::vector<std::string>& args)
{
    if (args.size() != 3)
        return Fail(USAGE, "capture takes PROJECT.zand FOLDER URL (see --help)");
    if (int code = Open(core, args[0]))
        return code;
    CFolderTreeMgr& tree = core.GetTreeMgr();
    RNode* folder = FindFolder(tree.GetRoot(), args[1]);
    std::u16string error;
    std::optional<CCapture::CPlan> plan;
    int code = FAILED;
    if (!folder) {
        Say("no such folder in the project: " + args[1]);
    } else if (!(plan = CCapture::Prepare(tree, folder, CUnicodeTool::FromUtf8(args[2]), &error))) {
        Say(U8(error));
    } else {
        CCapture::CResult result = FetchStoppably(*plan);
        for (const CCapture::CFailure& failure : result.failed)
            Say("not fetched: " + failure.url + " (" + failure.reason + ")");
        std::u16string title;
        if (result.state == CCapture::CANCELLED) {
            CCapture::Discard(*plan);
            Say("the capture was interrupted; nothing was added");
        } else if (result.state != CCapture::DONE) {
            CCapture::Discard(*plan);
            Say(U8(result.error));
        } else if (!CCapture::Commit(tree, folder, *plan, result, &title, &error)) {
            Say(U8(error));
        } else {
            Say("captured \"" + U8(title) + "\" with " + std::to_string(result.fetched) + " resources, " +
                std::to_string(result.failed.size()) + " not fetched");
            code = OK;
        }
    }
    core.GetProjectMgr().CloseProject();
    return code;
}

int Export(CMainCore& core, const std::vector<std::string>& args)
{
    bool zip = false, force = false;
    std::vector<std::string> plain;
    for (const std::string& arg : args) {
        if (arg == "--zip")
            zip = true;
        else if (arg == "--force")
            force = true;
        else if (arg.starts_with("--"))
            return Fail(USAGE, "unknown option " + arg);
        else
            plain.push_back(arg);
    }
    if (plain.size() != 2 && plain.size() != 3)
        return Fail(USAGE, "export takes PROJECT.zand [FOLDER] OUT (see --help)");
    if (int code = Open(core, plain.front()))
        return code;
    CFolderTreeMgr& tree = core.GetTreeMgr();
    RNode* folder = plain.size() == 3 ? FindFolder(tree.GetRoot(), plain[1]) : tree.GetRoot();
    int code = OK;
    if (!folder) {
        Say("no such folder in the project: " + plain[1]);
        code = FAILED;
    } else {
        std::u16string error;
        switch (CExport::Write(CExport::Plan(tree, folder), CUnicodeTool::FromUtf8(plain.back()), zip, force, nullptr,
                               nullptr, &error)) {
        case CExport::DONE:
            break;
        case CExport::EXISTS:
            Say(U8(error) + " exists; add --force to write over it");
            code = EXISTS;
            break;
        case CExport::INSIDE_PROJECT:
            Say("will not write inside the project: " + U8(error));
            code = FAILED;
            break;
        default:
            Say("the export failed: " + U8(error));
            code = FAILED;
        }
    }
    core.GetProjectMgr().CloseProject();
    return code;
}

// One line of a result: tabs and line breaks inside become blanks, the
// marks around found words brackets.
std::string Field(const std::u16string& text)
{
    std::u16string out;
    for (char16_t c : text) {
        if (c == CSearchIndex::kMarkOpen)
            out += u'[';
        else if (c == CSearchIndex::kMarkClose)
            out += u']';
        else
            out += c == u'\t' || c == u'\n' || c == u'\r' ? u' ' : c;
    }
    return U8(out);
}

int Search(CMainCore& core, const std::vector<std::string>& args)
{
    constexpr int kMaxResults = 1000;
    const bool paths = args.size() == 3 && args[2] == "--paths";
    if (args.size() != 2 && !paths)
        return Fail(USAGE, "search takes PROJECT.zand QUERY [--paths] (see --help)");
    if (int code = Open(core, args[0]))
        return code;
    CZandrelProject* project = core.GetProjectMgr().GetCurrentProject();
    std::u16string path = CSearchIndex::PathFor(project && project->GetUUID() ? project->GetUUID() : u"");
    CSearchIndex index;
    int code = OK;
    if (!index.Open(path)) {
        code = Fail(FAILED, "the full-text index cannot be made: " + U8(path));
    } else {
        // A new index is built whole; an existing one takes what changed.
        bool full = index.PageCount() == 0;
        index.Sync(CPageSearch::ListFolders(core.GetTreeMgr()), full, nullptr, {});
        const std::u16string query = CUnicodeTool::FromUtf8(args[1]);
        if (paths) {
            // Every page, as grep -l lists files: no ranking, no snippets.
            for (const CSearchHit& hit : index.Query(query, std::numeric_limits<int>::max(), false, false))
                std::printf("%s\n", Field(hit.pagePath).c_str());
        } else {
            for (const CSearchHit& hit : index.Query(query, kMaxResults))
                std::printf("%s\t%s\t%s\n", Field(hit.pagePath).c_str(), Field(hit.title).c_str(),
                            Field(hit.snippet).c_str());
        }
        index.Close();
    }
    core.GetProjectMgr().CloseProject();
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kHelp, args.empty() ? stderr : stdout);
        return args.empty() ? USAGE : OK;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command != "export" && command != "import" && command != "capture" && command != "search")
        return Fail(USAGE, "unknown command " + command + " (see --help)");
    CCliUIPort ui;
    SetUIPort(&ui);
    int code = FAILED;
    {
        CMainCore core;
        code = command == "export"    ? Export(core, args)
               : command == "import"  ? Import(core, args)
               : command == "search"  ? Search(core, args)
                                      : Capture(core, args);
    }
    CMainCore::ReleaseProgramObjects();
    SetUIPort(nullptr);
    return code;
}
