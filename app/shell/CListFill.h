#pragma once

// Fills a list view's model in one step: while it lives the model is taken
// from the view and left unsorted, so neither is told of every row; at its
// end the sort order and the view come back.

#include <gtk/gtk.h>

class CListFill {
public:
    explicit CListFill(GtkTreeView* view) : m_pView(view), m_pModel(gtk_tree_view_get_model(view))
    {
        g_object_ref(m_pModel);
        gtk_tree_view_set_model(m_pView, nullptr);
        if (GTK_IS_TREE_SORTABLE(m_pModel)) {
            GtkTreeSortable* sortable = GTK_TREE_SORTABLE(m_pModel);
            m_bSorted = gtk_tree_sortable_get_sort_column_id(sortable, &m_nColumn, &m_order);
            if (m_bSorted)
                gtk_tree_sortable_set_sort_column_id(sortable, GTK_TREE_SORTABLE_UNSORTED_SORT_COLUMN_ID, m_order);
        }
    }
    ~CListFill()
    {
        if (m_bSorted)
            gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(m_pModel), m_nColumn, m_order);
        gtk_tree_view_set_model(m_pView, m_pModel);
        g_object_unref(m_pModel);
    }
    CListFill(const CListFill&) = delete;
    CListFill& operator=(const CListFill&) = delete;

private:
    GtkTreeView* m_pView;
    GtkTreeModel* m_pModel;
    bool m_bSorted = false;
    gint m_nColumn = 0;
    GtkSortType m_order = GTK_SORT_ASCENDING;
};
