#pragma once

// Fills a list view's model in one step: while it lives the model is taken
// from the view, so the view is not told of every row.

#include <gtk/gtk.h>

class CListFill {
public:
    explicit CListFill(GtkTreeView* view) : m_pView(view), m_pModel(gtk_tree_view_get_model(view))
    {
        g_object_ref(m_pModel);
        gtk_tree_view_set_model(m_pView, nullptr);
    }
    ~CListFill()
    {
        gtk_tree_view_set_model(m_pView, m_pModel);
        g_object_unref(m_pModel);
    }
    CListFill(const CListFill&) = delete;
    CListFill& operator=(const CListFill&) = delete;

private:
    GtkTreeView* m_pView;
    GtkTreeModel* m_pModel;
};
