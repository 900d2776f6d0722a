#pragma once

// The task pane: the search field, "Search Titles" and "Search Pages",
// the control that hides the pane, and the result list of the search
// last chosen. A click on a result opens its page. Titles are searched
// when asked; the pages' text as the user types.

#include <gtk/gtk.h>

#include <functional>
#include <memory>

#include "app/core/CTiming.h"

class CMainCore;
class CPageSearchView;
class CTitleSearch;

class CTaskPane {
public:
    enum { RESULT_TITLE = 0, RESULT_FOLDER, RESULT_FILE, RESULT_ROW, RESULT_COLUMNS };

    // Fills `box`, the pane's own widget. `hide` takes the pane out of the
    // window; `opened` runs after a result's page was shown, `marked` then
    // gets what of a page search to mark in the page.
    CTaskPane(GtkWidget* box, CMainCore& core, std::function<void()> hide, std::function<void()> opened,
              std::function<void(const std::u16string&)> marked);
    ~CTaskPane();
    CTaskPane(const CTaskPane&) = delete;
    CTaskPane& operator=(const CTaskPane&) = delete;

    // Searches the field's text; an empty text empties the list. A search
    // that reads collections goes on in steps while the window stays
    // responsive; a newer one replaces it, Escape in the field stops it.
    void Search();
    // Forgets the results, they point into the project, and stops a search.
    void Clear();

    GtkWidget* GetEntry() const { return m_pEntry; }
    int GetRowCount() const;
    // The search of the pages' text, shown instead of the titles' results.
    void SearchPages();

private:
    void Fill();
    void OpenRow(int row);
    // The search's results into the list, once it is done.
    void Finish();
    void StopSteps();
    static gboolean OnStepIdle(gpointer self);
    static gboolean OnEntryKey(GtkWidget*, GdkEventKey* event, gpointer self);

    static void OnActivate(GtkEntry*, gpointer self);
    static void OnSearchClicked(GtkButton*, gpointer self);
    static void OnPagesClicked(GtkButton*, gpointer self);
    static void OnEntryChanged(GtkEditable*, gpointer self);
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
    GtkWidget* m_pProgress = nullptr;
    std::unique_ptr<CPageSearchView> m_pPages;
    GtkWidget* m_pLists = nullptr;  // a stack of the two result lists
    GtkWidget* m_pTitleList = nullptr;
    bool m_bPagesShown = false;
    // Goes on with a search that reads collections, a step at a time.
    guint m_stepIdle = 0;
    // The steps of the last search, and the longest, in µs, for timings.
    bool TimedStep();
    int m_nSteps = 0;
    gint64 m_nLongestStep = 0;
    std::unique_ptr<CTiming> m_pSearchTiming;
    std::unique_ptr<CTiming> m_pUntilIdle;
    // A click opens its row once the view has selected it.
    guint m_openIdle = 0;
    int m_nOpenRow = -1;
    int m_nResultsWidth = -1;
};
