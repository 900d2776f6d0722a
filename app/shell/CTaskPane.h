#pragma once

// The task pane's title search: the search field, "Search Titles", the
// control that hides the pane, and the result list. A click on a result
// opens its page through the core's search.

#include <gtk/gtk.h>

#include <functional>

class CTitleSearch;

class CTaskPane {
public:
    enum { RESULT_TITLE = 0, RESULT_FOLDER, RESULT_FILE, RESULT_ROW, RESULT_COLUMNS };

    // Fills `box`, the pane's own widget. `hide` takes the pane out of the
    // window; `opened` runs after a result's page was shown.
    CTaskPane(GtkWidget* box, CTitleSearch& search, std::function<void()> hide, std::function<void()> opened);
    ~CTaskPane();
    CTaskPane(const CTaskPane&) = delete;
    CTaskPane& operator=(const CTaskPane&) = delete;

    // Searches the field's text; an empty text empties the list.
    void Search();
    // Forgets the results: they point into the project.
    void Clear();

    GtkWidget* GetEntry() const { return m_pEntry; }
    int GetRowCount() const;

private:
    void Fill();
    void OpenRow(int row);

    static void OnActivate(GtkEntry*, gpointer self);
    static void OnSearchClicked(GtkButton*, gpointer self);
    static void OnHideClicked(GtkButton*, gpointer self);
    static gboolean OnResultButton(GtkWidget* view, GdkEventButton* event, gpointer self);
    static gboolean OnResultKey(GtkWidget* view, GdkEventKey* event, gpointer self);
    int TakeRow(GtkTreePath* path) const;
    static gboolean OnOpenIdle(gpointer self);
    static void OnResultsAllocate(GtkWidget*, GdkRectangle* area, gpointer self);

    CTitleSearch& m_search;
    std::function<void()> m_hide;
    std::function<void()> m_opened;
    GtkWidget* m_pEntry = nullptr;
    GtkWidget* m_pResults = nullptr;
    GtkListStore* m_pStore = nullptr;
    // A click opens its row once the view has selected it.
    guint m_openIdle = 0;
    int m_nOpenRow = -1;
    int m_nResultsWidth = -1;
};
