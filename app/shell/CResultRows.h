#pragma once

// What a result list takes as "open this row": a click with the first
// button on a row (also the row already selected), or Enter or the space
// bar on the row under the cursor. Each gives the row's path for the
// caller to free, or null.

#include <gtk/gtk.h>

inline GtkTreePath* ClickedResultRow(GtkWidget* view, GdkEventButton* event)
{
    GtkTreePath* path = nullptr;
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY ||
        event->window != gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)) ||
        !gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(view), static_cast<int>(event->x), static_cast<int>(event->y),
                                       &path, nullptr, nullptr, nullptr))
        return nullptr;
    return path;
}

inline GtkTreePath* KeyedResultRow(GtkWidget* view, GdkEventKey* event)
{
    if (event->keyval != GDK_KEY_Return && event->keyval != GDK_KEY_KP_Enter && event->keyval != GDK_KEY_space)
        return nullptr;
    GtkTreePath* path = nullptr;
    gtk_tree_view_get_cursor(GTK_TREE_VIEW(view), &path, nullptr);
    return path;
}
