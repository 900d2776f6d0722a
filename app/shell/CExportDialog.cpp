#include "app/shell/CExportDialog.h"

#include <memory>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageMgr.h"
#include "app/core/CProgressTask.h"
#include "app/core/CUIPort.h"
#include "app/export/CExport.h"
#include "app/main/CMainCore.h"
#include "app/shell/CGtkText.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"

namespace {

enum What { WHAT_PAGE, WHAT_FOLDER, WHAT_PROJECT };
enum As { AS_FOLDER, AS_ZIP, AS_PDF };

constexpr char kTitle[] = "Export";
constexpr char16_t kInsideText[] = u"Export never writes inside the project. Please choose a place outside it:\r\n";
constexpr char16_t kFailedText[] = u"The export failed:\r\n";

// A column of choices; the first one sensitive is chosen.
std::vector<GtkWidget*> AddChoices(GtkWidget* box, const char* heading, std::initializer_list<const char*> labels)
{
    GtkWidget* title = gtk_label_new(heading);
    gtk_widget_set_halign(title, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(box), title, FALSE, FALSE, 0);
    std::vector<GtkWidget*> buttons;
    for (const char* label : labels) {
        GtkWidget* button = gtk_radio_button_new_with_label_from_widget(
            buttons.empty() ? nullptr : GTK_RADIO_BUTTON(buttons.front()), label);
        gtk_widget_set_margin_start(button, 12);
        gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
        buttons.push_back(button);
    }
    return buttons;
}

int Chosen(const std::vector<GtkWidget*>& buttons)
{
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(buttons[i])))
            return static_cast<int>(i);
    }
    return 0;
}

// Asks what and as what; false when cancelled.
bool AskWhat(GtkWindow* parent, bool pageShown, What* what, As* as)
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons(kTitle, parent, GTK_DIALOG_MODAL, "Cancel", GTK_RESPONSE_CANCEL,
                                                    "Export...", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    gtk_box_set_spacing(GTK_BOX(box), 4);
    auto whats = AddChoices(box, "What to export:",
                            {"The page on show", "This folder and the folders below it", "The whole project"});
    auto ases =
        AddChoices(box, "As:", {"Web pages in a folder", "Web pages in a .zip file", "A PDF of the page on show"});
    gtk_widget_set_sensitive(whats[WHAT_PAGE], pageShown);
    gtk_widget_set_sensitive(ases[AS_PDF], pageShown);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(whats[pageShown ? WHAT_PAGE : WHAT_FOLDER]), TRUE);
    // A PDF is of the page on show only.
    auto follow = +[](GtkToggleButton* pdf, gpointer whatPage) {
        if (gtk_toggle_button_get_active(pdf))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(whatPage), TRUE);
    };
    g_signal_connect(ases[AS_PDF], "toggled", G_CALLBACK(follow), whats[WHAT_PAGE]);
    gtk_widget_show_all(dialog);
    bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    *what = static_cast<What>(Chosen(whats));
    *as = static_cast<As>(Chosen(ases));
    gtk_widget_destroy(dialog);
    return ok;
}

// The place to export to; "" when cancelled. An existing one was agreed to.
std::u16string AskWhere(GtkWindow* parent, const std::u16string& name)
{
    GtkWidget* chooser = gtk_file_chooser_dialog_new("Export To", parent, GTK_FILE_CHOOSER_ACTION_SAVE, "Cancel",
                                                     GTK_RESPONSE_CANCEL, "Export", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), g_get_home_dir());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), U8(name).c_str());
    std::u16string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        path = file ? U16(file) : u"";
        g_free(file);
    }
    gtk_widget_destroy(chooser);
    return path;
}

struct Job {
    CExportPlan plan;
    std::u16string target;
    bool zip = false;
    CExport::Result result = CExport::FAILED;
    std::u16string error;
};

void WriteInBackground(std::shared_ptr<Job> job)
{
    CProgressTask task(u"Exporting", true);
    task.SetJob(
        [](CProgressRun& run) {
            Job& work = *run.GetArg<Job>();
            work.result = CExport::Write(
                work.plan, work.target, work.zip, true,
                [&run](size_t done, size_t total) { run.SetPos(static_cast<int>(done * 100 / (total ? total : 1))); },
                [&run] { return run.IsCancelled(); }, &work.error);
            return work.result == CExport::DONE;
        },
        job);
    int result = UIPort().RunProgressDialog(task);
    if (result == CProgressTask::RESULT_CANCELLED || job->result == CExport::CANCELLED)
        return;
    if (job->result == CExport::INSIDE_PROJECT)
        ShowMessage(kInsideText + job->target);
    else if (job->result != CExport::DONE)
        ShowMessage(kFailedText + job->error);
}

void PrintPdf(WebKitWebView* view, const std::u16string& target)
{
    GtkPrintSettings* settings = gtk_print_settings_new();
    gchar* uri = g_filename_to_uri(U8(target).c_str(), nullptr, nullptr);
    gtk_print_settings_set_printer(settings, "Print to File");
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
    g_free(uri);
    WebKitPrintOperation* print = webkit_print_operation_new(view);
    webkit_print_operation_set_print_settings(print, settings);
    g_object_unref(settings);
    g_signal_connect(print, "failed", G_CALLBACK(+[](WebKitPrintOperation*, GError* error, gpointer) {
                         ShowMessage(kFailedText + U16(error ? error->message : ""));
                     }),
                     nullptr);
    // The operation keeps itself until it has finished.
    g_signal_connect(print, "finished", G_CALLBACK(g_object_unref), nullptr);
    webkit_print_operation_print(print);
}

}  // namespace

void CExportDialog::Run(GtkWindow* parent, CMainCore& core, WebKitWebView* pageView, bool pageShown)
{
    CFolderTreeMgr& tree = core.GetTreeMgr();
    CUrlNode* page = pageShown ? core.GetPageMgr().GetCurrentPage() : nullptr;
    RNode* folder = tree.GetCurrentFolder();
    What what = WHAT_FOLDER;
    As as = AS_FOLDER;
    if (!tree.GetRoot() || !AskWhat(parent, page != nullptr, &what, &as))
        return;
    if (what == WHAT_PROJECT || !folder)
        folder = tree.GetRoot();
    const char16_t* name = nullptr;
    if (what == WHAT_PAGE && page)
        name = page->GetName();
    else if (what != WHAT_PAGE && folder->GetData())
        name = folder->GetData()->GetName();
    std::u16string suggested = name && *name ? name : u"Export";
    suggested += as == AS_ZIP ? u".zip" : as == AS_PDF ? u".pdf" : u"";
    std::u16string target = AskWhere(parent, suggested);
    if (target.empty())
        return;
    if (as == AS_PDF) {
        if (CExport::IsInside(target, CAppSettings::Get()->GetUserFolder().GetCurrentContentPath()))
            ShowMessage(kInsideText + target);
        else
            PrintPdf(pageView, target);
        return;
    }
    auto job = std::make_shared<Job>();
    job->plan = CExport::Plan(tree, folder, what == WHAT_PAGE ? page : nullptr);
    job->target = target;
    job->zip = as == AS_ZIP;
    WriteInBackground(job);
}
