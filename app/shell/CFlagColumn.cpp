#include "app/shell/CFlagColumn.h"

#include "app/core/CCommandTable.h"
#include "app/core/CPageMgr.h"
#include "app/shell/CGtkText.h"
#include "app/shell/CMenuText.h"

CFlagColumn::CFlagColumn(GtkTreeView* view, int flagColumn, int itemColumn, ChooseHook choose)
    : m_pView(view), m_nFlagColumn(flagColumn), m_nItemColumn(itemColumn), m_choose(std::move(choose))
{
    m_flags.LoadSkin(u"Flags.bmp", kPictureSize);

    m_pCell = gtk_cell_renderer_pixbuf_new();
    m_pColumn = gtk_tree_view_column_new();
    gtk_tree_view_column_set_title(m_pColumn, "Flag");
    gtk_tree_view_column_pack_start(m_pColumn, m_pCell, FALSE);
    gtk_tree_view_column_set_cell_data_func(m_pColumn, m_pCell, &CFlagColumn::RenderCell, this, nullptr);
    gtk_tree_view_append_column(view, m_pColumn);

    m_pMenu = BuildMenu();
    gtk_menu_attach_to_widget(GTK_MENU(m_pMenu), GTK_WIDGET(view), nullptr);
    g_signal_connect(view, "button-press-event", G_CALLBACK(&CFlagColumn::OnButton), this);
    gtk_widget_set_has_tooltip(GTK_WIDGET(view), TRUE);
    g_signal_connect(view, "query-tooltip", G_CALLBACK(&CFlagColumn::OnQueryTooltip), this);
}

// The view and its menu go with the window, before this object.
CFlagColumn::~CFlagColumn() = default;

int CFlagColumn::GetPicture(int flag)
{
    const auto& table = CPageMgr::GetFlagTable();
    if (flag < 0 || flag >= static_cast<int>(table.size()))
        return -1;
    return table[static_cast<size_t>(flag)].picture;
}

std::u16string CFlagColumn::GetTooltip(int flag)
{
    if (GetPicture(flag) < 0)
        return u"";
    const char16_t* text = CPageMgr::GetFlagTable()[static_cast<size_t>(flag)].text;
    return text ? text : u"";
}

GtkWidget* CFlagColumn::BuildMenu()
{
    GtkWidget* menu = gtk_menu_new();
    for (const CMenuEntry* entry : CCommandTable::GetMenu(MENU_FLAG)) {
        if (entry->kind == ENTRY_SEPARATOR) {
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
            continue;
        }
        int flag = entry->id - CPageMgr::kFlagCommandBase;
        GtkWidget* item = gtk_menu_item_new();
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
        // An empty picture keeps "Clear Flag" in line with the others.
        GdkPixbuf* picture = m_flags.Get(GetPicture(flag));
        GtkWidget* image = picture ? gtk_image_new_from_pixbuf(picture) : gtk_image_new();
        gtk_widget_set_size_request(image, kPictureSize, kPictureSize);
        gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
        GtkWidget* label = gtk_label_new(CMenuText::ToPlainLabel(entry->caption).c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
        gtk_container_add(GTK_CONTAINER(item), row);
        g_object_set_data(G_OBJECT(item), "zandrel-flag", GINT_TO_POINTER(flag));
        g_signal_connect(item, "activate", G_CALLBACK(&CFlagColumn::OnChosen), this);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    gtk_widget_show_all(menu);
    return menu;
}

void CFlagColumn::RenderCell(GtkTreeViewColumn*, GtkCellRenderer* cell, GtkTreeModel* model, GtkTreeIter* iter,
                             gpointer self)
{
    auto* column = static_cast<CFlagColumn*>(self);
    int flag = 0;
    gtk_tree_model_get(model, iter, column->m_nFlagColumn, &flag, -1);
    g_object_set(cell, "pixbuf", column->GetFlagImage(flag), nullptr);
}

GtkTreePath* CFlagColumn::FlagCellAt(int x, int y) const
{
    GtkTreePath* path = nullptr;
    GtkTreeViewColumn* column = nullptr;
    if (!gtk_tree_view_get_path_at_pos(m_pView, x, y, &path, &column, nullptr, nullptr))
        return nullptr;
    if (column != m_pColumn) {
        gtk_tree_path_free(path);
        return nullptr;
    }
    return path;
}

bool CFlagColumn::IsListed(CUrlNode* item) const
{
    GtkTreeModel* model = gtk_tree_view_get_model(m_pView);
    GtkTreeIter iter;
    for (bool ok = gtk_tree_model_get_iter_first(model, &iter); ok; ok = gtk_tree_model_iter_next(model, &iter)) {
        gpointer row = nullptr;
        gtk_tree_model_get(model, &iter, m_nItemColumn, &row, -1);
        if (row == item)
            return true;
    }
    return false;
}

// A left click on the flag cell opens the menu for that row and does not
// select it: flagging a page does not leave the page on show.
gboolean CFlagColumn::OnButton(GtkWidget* view, GdkEventButton* event, gpointer self)
{
    auto* column = static_cast<CFlagColumn*>(self);
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY ||
        event->window != gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)))
        return FALSE;
    GtkTreePath* path = column->FlagCellAt(static_cast<int>(event->x), static_cast<int>(event->y));
    if (!path)
        return FALSE;
    GtkTreeIter iter;
    gpointer item = nullptr;
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
    if (gtk_tree_model_get_iter(model, &iter, path))
        gtk_tree_model_get(model, &iter, column->m_nItemColumn, &item, -1);
    gtk_tree_path_free(path);
    if (!item)
        return FALSE;
    column->m_pMenuItem = static_cast<CUrlNode*>(item);
    gtk_menu_popup_at_pointer(GTK_MENU(column->m_pMenu), reinterpret_cast<GdkEvent*>(event));
    return TRUE;
}

void CFlagColumn::OnChosen(GtkMenuItem* menuItem, gpointer self)
{
    auto* column = static_cast<CFlagColumn*>(self);
    CUrlNode* item = column->m_pMenuItem;
    column->m_pMenuItem = nullptr;
    // The list may have been refilled while the menu was open.
    if (!item || !column->IsListed(item) || !column->m_choose)
        return;
    column->m_choose(item, GPOINTER_TO_INT(g_object_get_data(G_OBJECT(menuItem), "zandrel-flag")));
}

gboolean CFlagColumn::OnQueryTooltip(GtkWidget* view, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                                     gpointer self)
{
    auto* column = static_cast<CFlagColumn*>(self);
    if (keyboard)
        return FALSE;
    GtkTreeModel* model = nullptr;
    GtkTreePath* path = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_view_get_tooltip_context(GTK_TREE_VIEW(view), &x, &y, keyboard, &model, &path, &iter))
        return FALSE;
    GtkTreePath* cell = column->FlagCellAt(x, y);
    int flag = 0;
    gtk_tree_model_get(model, &iter, column->m_nFlagColumn, &flag, -1);
    std::u16string text = GetTooltip(flag);
    bool shown = cell && !text.empty();
    if (shown) {
        // Plain text: set as markup it would need escaping.
        gtk_tooltip_set_text(tooltip, U8(text).c_str());
        gtk_tree_view_set_tooltip_cell(GTK_TREE_VIEW(view), tooltip, path, column->m_pColumn, column->m_pCell);
    }
    if (cell)
        gtk_tree_path_free(cell);
    gtk_tree_path_free(path);
    return shown;
}
