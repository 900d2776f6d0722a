#include "app/shell/CFolderChooser.h"

#include "app/core/CFolderTreeMgr.h"
#include "app/main/CMainCore.h"
#include "app/core/CPageMgr.h"
#include "app/shell/CGtkText.h"
#include "base/model/CBaseNode.h"
#include "base/model/RNode.h"

namespace {

enum { COL_NAME = 0, COL_NODE, COL_COUNT };

void AddFolders(GtkTreeStore* store, GtkTreeIter* parent, RNode* folder)
{
    GtkTreeIter iter;
    const char16_t* name = folder->GetData() ? folder->GetData()->GetName() : nullptr;
    gtk_tree_store_append(store, &iter, parent);
    gtk_tree_store_set(store, &iter, COL_NAME, name ? U8(name).c_str() : "", COL_NODE, folder, -1);
    for (RNode* child = folder->GetChild(); child; child = child->GetNext()) {
        if (child->GetType() == NT_FOLDER)
            AddFolders(store, &iter, child);
    }
}

void OnChosen(GtkTreeSelection* selection, gpointer ok)
{
    gtk_widget_set_sensitive(GTK_WIDGET(ok), gtk_tree_selection_count_selected_rows(selection) > 0);
}

// A double click or Enter on a folder is OK.
void OnRowActivated(GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer dialog)
{
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

}  // namespace

RNode* CFolderChooser::Choose(GtkWindow* parent, const char* title, RNode* root)
{
    if (!root)
        return nullptr;
    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), title);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 320, 360);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(content), 12);

    GtkTreeStore* store = gtk_tree_store_new(COL_COUNT, G_TYPE_STRING, G_TYPE_POINTER);
    AddFolders(store, nullptr, root);
    GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);  // the view holds it
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view), FALSE);
    gtk_tree_view_append_column(GTK_TREE_VIEW(view), gtk_tree_view_column_new_with_attributes(
                                                         "Folder", gtk_cell_renderer_text_new(), "text", COL_NAME, nullptr));
    gtk_tree_view_expand_all(GTK_TREE_VIEW(view));
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    gtk_box_pack_start(GTK_BOX(content), scroll, TRUE, TRUE, 0);

    GtkWidget* ok = gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
    gtk_dialog_add_button(GTK_DIALOG(dialog), "Cancel", GTK_RESPONSE_CANCEL);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
    g_signal_connect(selection, "changed", G_CALLBACK(OnChosen), ok);
    g_signal_connect(view, "row-activated", G_CALLBACK(OnRowActivated), dialog);
    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(view);
    // Focus puts the cursor, and with it the selection, on the first row;
    // the choice is the user's.
    gtk_tree_selection_unselect_all(selection);
    gtk_widget_set_sensitive(ok, FALSE);

    RNode* chosen = nullptr;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        GtkTreeModel* model = nullptr;
        GtkTreeIter iter;
        gpointer node = nullptr;
        if (gtk_tree_selection_get_selected(selection, &model, &iter))
            gtk_tree_model_get(model, &iter, COL_NODE, &node, -1);
        chosen = static_cast<RNode*>(node);
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

void CFolderChooser::MoveCurrentPage(GtkWindow* parent, CMainCore& core)
{
    CUrlNode* page = core.GetPageMgr().GetCurrentPage();
    if (!page)
        return;
    // The dialog is modal: the tree it shows stays as it is until it closes.
    RNode* target = Choose(parent, "Move Page", core.GetTreeMgr().GetRoot());
    // Still the page shown: the dialog let nothing else run over the views.
    if (target && core.GetPageMgr().GetCurrentPage() == page)
        core.GetPageMgr().MovePage(page, target);
}
