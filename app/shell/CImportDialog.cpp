#include "app/shell/CImportDialog.h"

#include <memory>

#include "app/capture/CImport.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageMgr.h"
#include "app/core/CProgressTask.h"
#include "app/core/CUIPort.h"
#include "app/main/CMainCore.h"
#include "app/shell/CGtkText.h"
#include "base/model/CFolderNode.h"
#include "base/model/RNode.h"

namespace {

constexpr char16_t kSkippedText[] = u"These were not imported:\r\n";
constexpr char16_t kBusyText[] = u"Please wait until the import on its way has finished.";
// Lines of the skipped list shown; the rest is counted.
constexpr size_t kMaxSkippedLines = 20;

bool s_running = false;

std::vector<std::u16string> Ask(GtkWindow* parent, bool directory)
{
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        directory ? "Import Folder" : "Import Pages", parent,
        directory ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN, "Cancel",
        GTK_RESPONSE_CANCEL, "Import", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), g_get_home_dir());
    if (!directory) {
        gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), TRUE);
        GtkFileFilter* pages = gtk_file_filter_new();
        gtk_file_filter_set_name(pages, "Saved web pages");
        gtk_file_filter_add_pattern(pages, "*.[hH][tT][mM]");
        gtk_file_filter_add_pattern(pages, "*.[hH][tT][mM][lL]");
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), pages);
        GtkFileFilter* all = gtk_file_filter_new();
        gtk_file_filter_set_name(all, "All files");
        gtk_file_filter_add_pattern(all, "*");
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), all);
    }
    std::vector<std::u16string> paths;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(chooser));
        for (GSList* file = files; file; file = file->next)
            paths.push_back(CFileSys::FromNative(static_cast<const char*>(file->data)));
        g_slist_free_full(files, g_free);
    }
    gtk_widget_destroy(chooser);
    return paths;
}

struct Job {
    CImport::CPlan plan;
    bool copied = false;
};

// The tree and the item list again, with what came in.
void ShowImported(CMainCore& core)
{
    CFolderTreeMgr& tree = core.GetTreeMgr();
    RNode* current = tree.GetCurrentFolder();
    UIPort().ShowTree(tree.GetRoot(), current);
    auto* data = current ? static_cast<CFolderNode*>(current->GetData()) : nullptr;
    if (CColctNode* colct = data ? data->GetColctNode() : nullptr) {
        UIPort().ShowCollection(colct);
        UIPort().SelectItem(core.GetPageMgr().GetCurrentPage());
    }
}

void TellSkipped(const std::vector<std::u16string>& skipped)
{
    if (skipped.empty())
        return;
    std::u16string text = kSkippedText;
    for (size_t i = 0; i < skipped.size() && i < kMaxSkippedLines; ++i)
        text += skipped[i] + u"\r\n";
    if (skipped.size() > kMaxSkippedLines)
        text += u"and " + CUnicodeTool::FromUtf8(std::to_string(skipped.size() - kMaxSkippedLines)) + u" more.";
    ShowMessage(text);
}

}  // namespace

void CImportDialog::Run(GtkWindow* parent, CMainCore& core, RNode* folder, bool directory)
{
    if (!core.GetTreeMgr().GetRoot())
        return;
    std::vector<std::u16string> paths = Ask(parent, directory);
    if (!paths.empty())
        ImportPaths(core, folder, paths);
}

void CImportDialog::ImportPaths(CMainCore& core, RNode* folder, const std::vector<std::u16string>& paths)
{
    CFolderTreeMgr& tree = core.GetTreeMgr();
    if (!tree.GetRoot() || paths.empty())
        return;
    // Drops still arrive while the progress dialog runs.
    if (s_running) {
        ShowMessage(kBusyText);
        return;
    }
    s_running = true;
    auto job = std::make_shared<Job>();
    job->plan = CImport::Plan(tree, folder ? folder : tree.GetRoot(), paths);
    CProgressTask task(u"Importing", true);
    task.SetJob(
        [](CProgressRun& run) {
            Job& work = *run.GetArg<Job>();
            work.copied = CImport::Copy(
                work.plan,
                [&run](size_t done, size_t total) { run.SetPos(static_cast<int>(done * 100 / (total ? total : 1))); },
                [&run] { return run.IsCancelled(); });
            return work.copied;
        },
        job);
    int result = UIPort().RunProgressDialog(task);
    s_running = false;
    // Cancelled, or the project closed meanwhile: nothing comes in.
    if (result != CProgressTask::RESULT_OK || !job->copied || !tree.GetRoot()) {
        CImport::Discard(job->plan);
        return;
    }
    CImport::CResult imported = CImport::Commit(tree, job->plan);
    if (imported.pages > 0 || imported.folders > 0)
        ShowImported(core);
    TellSkipped(imported.skipped);
}
