#include "app/shell/CListSort.h"

#include <algorithm>
#include <numeric>
#include <string>

void CListSort::AddColumn(GtkTreeViewColumn* col, int column, Kind kind)
{
    auto* entry = new Column{this, col, column, kind};
    m_columns.push_back(entry);
    gtk_tree_view_column_set_clickable(col, TRUE);
    g_signal_connect_data(col, "clicked", G_CALLBACK(&CListSort::OnClicked), entry,
                          [](gpointer data, GClosure*) { delete static_cast<Column*>(data); }, GConnectFlags(0));
}

// The same heading again turns the order round, as in any list.
void CListSort::OnClicked(GtkTreeViewColumn*, gpointer data)
{
    auto* entry = static_cast<Column*>(data);
    CListSort* self = entry->owner;
    self->m_order = self->m_pSorted == entry && self->m_order == GTK_SORT_ASCENDING ? GTK_SORT_DESCENDING
                                                                                     : GTK_SORT_ASCENDING;
    self->m_pSorted = entry;
    for (const Column* other : self->m_columns)
        gtk_tree_view_column_set_sort_indicator(other->col, other == entry);
    gtk_tree_view_column_set_sort_order(entry->col, self->m_order);
    self->Resort();
}

void CListSort::Resort() const
{
    if (m_pSorted)
        Sort(m_pStore, m_pSorted->column, m_pSorted->kind, m_order);
}

void CListSort::Sort(GtkListStore* store, int column, Kind kind, GtkSortType order)
{
    GtkTreeModel* model = GTK_TREE_MODEL(store);
    int rows = gtk_tree_model_iter_n_children(model, nullptr);
    if (rows < 2)
        return;
    std::vector<std::string> texts;
    std::vector<int> numbers;
    texts.reserve(kind == BY_INT ? 0 : static_cast<size_t>(rows));
    numbers.reserve(kind == BY_INT ? static_cast<size_t>(rows) : 0);
    GtkTreeIter iter;
    for (bool ok = gtk_tree_model_get_iter_first(model, &iter); ok; ok = gtk_tree_model_iter_next(model, &iter)) {
        if (kind == BY_INT) {
            int number = 0;
            gtk_tree_model_get(model, &iter, column, &number, -1);
            numbers.push_back(number);
            continue;
        }
        gchar* text = nullptr;
        gtk_tree_model_get(model, &iter, column, &text, -1);
        if (kind == BY_LOCALE) {
            gchar* key = g_utf8_collate_key(text ? text : "", -1);
            texts.emplace_back(key);
            g_free(key);
        } else {
            texts.emplace_back(text ? text : "");
        }
        g_free(text);
    }
    // newOrder[new place] = old place; equal keys keep their order.
    std::vector<int> newOrder(static_cast<size_t>(rows));
    std::iota(newOrder.begin(), newOrder.end(), 0);
    bool down = order == GTK_SORT_DESCENDING;
    auto byKey = [&](int a, int b) {
        auto x = static_cast<size_t>(a), y = static_cast<size_t>(b);
        int c = kind == BY_INT ? (numbers[x] > numbers[y]) - (numbers[x] < numbers[y]) : texts[x].compare(texts[y]);
        return down ? c > 0 : c < 0;
    };
    std::stable_sort(newOrder.begin(), newOrder.end(), byKey);
    gtk_list_store_reorder(store, newOrder.data());
}
