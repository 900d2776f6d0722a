#include "app/shell/CHistoryDialog.h"

#include <ctime>
#include <string>

#include "app/core/CFileSys.h"
#include "app/core/CPageMgr.h"
#include "app/main/CMainCore.h"
#include "app/shell/CGtkText.h"

namespace {

constexpr char kTitle[] = "Page History";
constexpr char kNoVersions[] = "<html><body><p>No earlier versions of this page are kept yet.</p></body></html>";
// The versions are the user's pages: their scripts never run here.
constexpr char kPolicy[] = "script-src 'none'; object-src 'none'";

enum { COL_TIME, COL_SIZE, COL_FILE, COL_COUNT };
enum { RESPONSE_RESTORE = 1, RESPONSE_EMPTY, RESPONSE_EMPTY_DELETED };

struct SDialog {
    CMainCore& core;
    std::u16string pageFile;
    GtkListStore* store = nullptr;
    GtkWidget* list = nullptr;
    WebKitWebView* view = nullptr;
    GtkWidget* restore = nullptr;
};

std::string LocalTime(int64_t time)
{
    std::time_t t = static_cast<std::time_t>(time);
    std::tm parts{};
    localtime_r(&t, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string FileUri(const std::u16string& path)
{
    char* uri = g_filename_to_uri(CFileSys::Native(path).c_str(), nullptr, nullptr);
    std::string out = uri ? uri : "";
    g_free(uri);
    return out;
}

std::u16string Chosen(SDialog& d)
{
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(d.list)), &model, &iter))
        return {};
    gchar* file = nullptr;
    gtk_tree_model_get(model, &iter, COL_FILE, &file, -1);
    std::u16string out = U16(file);
    g_free(file);
    return out;
}

// Shows the chosen version as the page would look: its pictures are read
// from beside the page, not from the history folder.
void OnSelection(GtkTreeSelection*, gpointer data)
{
    auto& d = *static_cast<SDialog*>(data);
    std::u16string file = Chosen(d);
    gtk_widget_set_sensitive(d.restore, !file.empty());
    gchar* contents = nullptr;
    gsize length = 0;
    if (file.empty() || !g_file_get_contents(CFileSys::Native(file).c_str(), &contents, &length, nullptr)) {
        webkit_web_view_load_html(d.view, kNoVersions, nullptr);
        return;
    }
    GBytes* bytes = g_bytes_new_take(contents, length);
    webkit_web_view_load_bytes(d.view, bytes, "text/html", nullptr, FileUri(d.pageFile).c_str());
    g_bytes_unref(bytes);
}

// The view shows the version it was given and nothing else.
gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer)
{
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    if (webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_OTHER)
        return FALSE;
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

void Fill(SDialog& d)
{
    gtk_list_store_clear(d.store);
    for (const CPageHistory::CVersion& v : d.core.GetPageMgr().ListVersions(&d.pageFile)) {
        char* size = g_format_size(static_cast<guint64>(v.size));
        gtk_list_store_insert_with_values(d.store, nullptr, -1, COL_TIME, LocalTime(v.time).c_str(), COL_SIZE, size,
                                          COL_FILE, U8(v.file).c_str(), -1);
        g_free(size);
    }
    GtkTreeIter first;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(d.list));
    if (gtk_tree_model_get_iter_first(GTK_TREE_MODEL(d.store), &first))
        gtk_tree_selection_select_iter(selection, &first);
    else
        OnSelection(selection, &d);
}

GtkWidget* MakeList(SDialog& d)
{
    d.store = gtk_list_store_new(COL_COUNT, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
    d.list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(d.store));
    g_object_unref(d.store);
    const char* titles[] = {"Kept", "Size"};
    for (int column = COL_TIME; column <= COL_SIZE; ++column) {
        GtkCellRenderer* cell = gtk_cell_renderer_text_new();
        gtk_tree_view_append_column(GTK_TREE_VIEW(d.list), gtk_tree_view_column_new_with_attributes(
                                                               titles[column], cell, "text", column, nullptr));
    }
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_widget_set_size_request(scrolled, 260, -1);
    gtk_container_add(GTK_CONTAINER(scrolled), d.list);
    return scrolled;
}

WebKitWebView* MakeView(WebKitWebView* pageView)
{
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_enable_javascript(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", webkit_web_view_get_context(pageView),
                                              "settings", settings, "default-content-security-policy", kPolicy,
                                              nullptr));
    g_object_unref(settings);
    webkit_web_view_set_editable(view, FALSE);
    g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), nullptr);
    return view;
}

}  // namespace

bool CHistoryDialog::CanRun(CMainCore& core)
{
    std::u16string file;
    core.GetPageMgr().ListVersions(&file);
    return !file.empty();
}

void CHistoryDialog::FollowPage(GtkWidget* menu, GtkWidget* item, CMainCore& core)
{
    g_object_set_data(G_OBJECT(item), "zandrel-core", &core);
    g_signal_connect_object(menu, "show", G_CALLBACK(+[](GtkWidget*, gpointer entry) {
                                auto* owner = static_cast<CMainCore*>(g_object_get_data(G_OBJECT(entry), "zandrel-core"));
                                gtk_widget_set_sensitive(GTK_WIDGET(entry), CanRun(*owner));
                            }),
                            item, GConnectFlags(0));
}

void CHistoryDialog::Run(GtkWindow* parent, CMainCore& core, WebKitWebView* pageView)
{
    if (!CanRun(core))
        return;
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        kTitle, parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        "Empty Deleted Pages' History", RESPONSE_EMPTY_DELETED, "Empty History", RESPONSE_EMPTY, "Close",
        GTK_RESPONSE_CLOSE, "Restore", RESPONSE_RESTORE, nullptr);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 900, 560);
    SDialog d{core, {}};
    d.restore = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), RESPONSE_RESTORE);
    d.view = MakeView(pageView);
    GtkWidget* paned = gtk_paned_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_paned_pack1(GTK_PANED(paned), MakeList(d), FALSE, FALSE);
    gtk_paned_pack2(GTK_PANED(paned), GTK_WIDGET(d.view), TRUE, TRUE);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), paned, TRUE, TRUE, 0);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(d.list));
    g_signal_connect(selection, "changed", G_CALLBACK(OnSelection), &d);
    Fill(d);
    gtk_widget_show_all(dialog);

    CPageMgr& pages = core.GetPageMgr();
    for (bool open = true; open;) {
        switch (gtk_dialog_run(GTK_DIALOG(dialog))) {
        case RESPONSE_RESTORE: {
            std::u16string version = Chosen(d);
            // The page is shown again from its file; the dialog has done its job.
            open = version.empty() || !pages.RestoreVersion(version);
            if (open)
                Fill(d);
            break;
        }
        case RESPONSE_EMPTY:
            if (pages.EmptyHistory())
                Fill(d);
            break;
        case RESPONSE_EMPTY_DELETED:
            pages.EmptyDeletedHistory();
            break;
        default:
            open = false;
            break;
        }
        // A restore that saved the edits first, or failed, may have left
        // another page on show.
        if (open && !CanRun(core))
            open = false;
    }
    g_signal_handlers_disconnect_by_data(selection, &d);
    gtk_widget_destroy(dialog);
}
