#pragma once

// Sorts a list store's rows when a column heading is clicked, by keys read
// from the rows once per sort, and reorders them in one step. The store
// itself stays unsorted: its own sort asks the model for both rows at each
// of the many comparisons, which took over a second for 20,000 rows.

#include <gtk/gtk.h>

#include <vector>

class CListSort {
public:
    enum Kind { BY_LOCALE, BY_BYTES, BY_INT };

    explicit CListSort(GtkListStore* store) : m_pStore(store) {}
    CListSort(const CListSort&) = delete;
    CListSort& operator=(const CListSort&) = delete;

    // Makes the heading of `col` sort by the store's `column`.
    void AddColumn(GtkTreeViewColumn* col, int column, Kind kind);
    // Puts the rows in the chosen order again, after a fill or a changed
    // row; nothing until a heading was clicked.
    void Resort() const;

    // The rows of `store` in the order of `column`.
    static void Sort(GtkListStore* store, int column, Kind kind, GtkSortType order);

private:
    struct Column {
        CListSort* owner;
        GtkTreeViewColumn* col;
        int column;
        Kind kind;
    };
    static void OnClicked(GtkTreeViewColumn*, gpointer data);

    GtkListStore* m_pStore;
    std::vector<Column*> m_columns;  // owned by their headings' handlers
    const Column* m_pSorted = nullptr;
    GtkSortType m_order = GTK_SORT_ASCENDING;
};
