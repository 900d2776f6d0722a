#include "app/shell/CTaskPane.h"

#include <algorithm>

#include "app/core/CTitleSearch.h"
#include "app/core/CTiming.h"
#include "app/main/CMainCore.h"
#include "app/shell/CGtkText.h"
#include "app/shell/CListFill.h"
#include "app/shell/CPageSearchView.h"
#include "app/shell/CResultRows.h"

namespace {

constexpr char kSearchCaption[] = "Search Titles";
constexpr char kPagesCaption[] = "Search Pages";
constexpr char kHideCaption[] = "Hide the Task Pane";
// A search that reads collections gives the window back this often.
constexpr double kStepSeconds = 0.01;

void Shrinkable(GtkWidget* button)
{
    if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(button)); label && GTK_IS_LABEL(label))
        gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
}

}  // namespace

CTaskPane::CTaskPane(GtkWidget* box, CMainCore& core, std::function<void()> hide, std::function<void()> opened,
                     std::function<void(const std::u16string&)> marked)
    : m_search(core.GetTitleSearch()), m_hide(std::move(hide)), m_opened(std::move(opened))
{
    m_pPages = std::make_unique<CPageSearchView>(core, [this, marked = std::move(marked)](const std::u16string& mark) {
        if (m_opened)
            m_opened();
        if (marked)
            marked(mark);
    });
    gtk_container_set_border_width(GTK_CONTAINER(box), 4);

    // Every part may shrink with the pane: a narrow pane cuts labels short
    // rather than its own edge.
    GtkWidget* hideButton = gtk_button_new_with_label(kHideCaption);
    gtk_button_set_relief(GTK_BUTTON(hideButton), GTK_RELIEF_NONE);
    gtk_widget_set_halign(hideButton, GTK_ALIGN_END);
    Shrinkable(hideButton);
    g_signal_connect(hideButton, "clicked", G_CALLBACK(&CTaskPane::OnHideClicked), this);
    gtk_box_pack_start(GTK_BOX(box), hideButton, FALSE, FALSE, 0);

    m_pEntry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(m_pEntry), 4);
    g_signal_connect(m_pEntry, "activate", G_CALLBACK(&CTaskPane::OnActivate), this);
    g_signal_connect(m_pEntry, "key-press-event", G_CALLBACK(&CTaskPane::OnEntryKey), this);
    g_signal_connect(m_pEntry, "changed", G_CALLBACK(&CTaskPane::OnEntryChanged), this);
    gtk_box_pack_start(GTK_BOX(box), m_pEntry, FALSE, FALSE, 0);
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    GtkWidget* searchButton = gtk_button_new_with_label(kSearchCaption);
    Shrinkable(searchButton);
    g_signal_connect(searchButton, "clicked", G_CALLBACK(&CTaskPane::OnSearchClicked), this);
    gtk_box_pack_start(GTK_BOX(buttons), searchButton, FALSE, FALSE, 0);
    GtkWidget* pagesButton = gtk_button_new_with_label(kPagesCaption);
    Shrinkable(pagesButton);
    g_signal_connect(pagesButton, "clicked", G_CALLBACK(&CTaskPane::OnPagesClicked), this);
    gtk_box_pack_start(GTK_BOX(buttons), pagesButton, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), m_pPages->GetStatus(), FALSE, FALSE, 0);
    // Shown while a search reads the project's collections.
    m_pProgress = gtk_progress_bar_new();
    gtk_widget_set_no_show_all(m_pProgress, TRUE);
    gtk_box_pack_start(GTK_BOX(box), m_pProgress, FALSE, FALSE, 0);

    m_pStore = gtk_list_store_new(RESULT_COLUMNS, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_INT);
    m_pResults = gtk_tree_view_new_with_model(GTK_TREE_MODEL(m_pStore));
    int column = RESULT_TITLE;
    for (const CTitleSearch::CColumn& heading : CTitleSearch::kColumns) {
        GtkCellRenderer* cell = gtk_cell_renderer_text_new();
        GtkTreeViewColumn* col =
            gtk_tree_view_column_new_with_attributes(U8(heading.heading).c_str(), cell, "text", column++, nullptr);
        gtk_tree_view_column_set_sizing(col, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(col, heading.width);
        gtk_tree_view_column_set_resizable(col, TRUE);
        gtk_tree_view_append_column(GTK_TREE_VIEW(m_pResults), col);
    }
    // Every column has its width and every row is one line, so the view
    // measures one row instead of each of thousands after a search.
    gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(m_pResults), TRUE);
    g_signal_connect(m_pResults, "button-press-event", G_CALLBACK(&CTaskPane::OnResultButton), this);
    g_signal_connect(m_pResults, "key-press-event", G_CALLBACK(&CTaskPane::OnResultKey), this);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroll), m_pResults);
    m_pTitleList = scroll;
    m_pLists = gtk_stack_new();
    gtk_stack_add_named(GTK_STACK(m_pLists), scroll, "titles");
    gtk_stack_add_named(GTK_STACK(m_pLists), m_pPages->GetList(), "pages");
    gtk_box_pack_start(GTK_BOX(box), m_pLists, TRUE, TRUE, 0);
    g_signal_connect(scroll, "size-allocate", G_CALLBACK(&CTaskPane::OnResultsAllocate), this);
}

// A pane narrower than the title and folder columns shares its width
// between them, in their proportions, so both are seen whole; the file
// column follows. Only a change of the pane's width resizes them, so a
// column the user widened stays as it is meanwhile.
void CTaskPane::OnResultsAllocate(GtkWidget*, GdkRectangle* area, gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    if (area->width == pane->m_nResultsWidth)
        return;
    pane->m_nResultsWidth = area->width;
    const int title = CTitleSearch::kColumns[RESULT_TITLE].width;
    const int folder = CTitleSearch::kColumns[RESULT_FOLDER].width;
    // Room for the frame of the scrolled list.
    int room = area->width - 4;
    int titleWidth = title, folderWidth = folder;
    if (room < title + folder && room > 0) {
        titleWidth = room * title / (title + folder);
        folderWidth = room - titleWidth;
    }
    GtkTreeView* view = GTK_TREE_VIEW(pane->m_pResults);
    gtk_tree_view_column_set_fixed_width(gtk_tree_view_get_column(view, RESULT_TITLE), titleWidth);
    gtk_tree_view_column_set_fixed_width(gtk_tree_view_get_column(view, RESULT_FOLDER), folderWidth);
}

// The widgets went with the window; the store is ours.
CTaskPane::~CTaskPane()
{
    if (m_openIdle)
        g_source_remove(m_openIdle);
    if (m_stepIdle)
        g_source_remove(m_stepIdle);
    g_object_unref(m_pStore);
}

void CTaskPane::Search()
{
    m_bPagesShown = false;
    gtk_stack_set_visible_child(GTK_STACK(m_pLists), m_pTitleList);
    StopSteps();
    if (CTiming::IsOn()) {
        m_pSearchTiming = std::make_unique<CTiming>("title-search");
        // Until the loop is idle again, for the view's own work on the rows.
        m_pUntilIdle = std::make_unique<CTiming>("title-search idle");
    }
    m_search.Begin(U16(gtk_entry_get_text(GTK_ENTRY(m_pEntry))), true);
    m_nSteps = 0;
    m_nLongestStep = 0;
    if (TimedStep()) {
        Finish();
        return;
    }
    // The rows of the previous search no longer stand for its results.
    Fill();
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_pProgress), m_search.GetProgress());
    gtk_widget_show(m_pProgress);
    // Below input and drawing, so typing and the window go first.
    m_stepIdle = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, &CTaskPane::OnStepIdle, this, nullptr);
}

gboolean CTaskPane::OnStepIdle(gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    if (!pane->TimedStep()) {
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(pane->m_pProgress), pane->m_search.GetProgress());
        return G_SOURCE_CONTINUE;
    }
    pane->m_stepIdle = 0;
    pane->Finish();
    return G_SOURCE_REMOVE;
}

bool CTaskPane::TimedStep()
{
    gint64 start = g_get_monotonic_time();
    bool done = m_search.Step(kStepSeconds);
    ++m_nSteps;
    m_nLongestStep = std::max(m_nLongestStep, g_get_monotonic_time() - start);
    return done;
}

void CTaskPane::Finish()
{
    if (m_pSearchTiming) {
        m_pSearchTiming->Note("hits", static_cast<long long>(m_search.GetResults().size()));
        m_pSearchTiming->Note("steps", m_nSteps);
        m_pSearchTiming->Note("longest-step-us", m_nLongestStep);
        m_pSearchTiming.reset();
    }
    Fill();
    if (m_pUntilIdle)
        CTiming::PrintWhenIdle(m_pUntilIdle.release());
    StopSteps();
}

void CTaskPane::StopSteps()
{
    if (m_stepIdle)
        g_source_remove(m_stepIdle);
    m_stepIdle = 0;
    gtk_widget_hide(m_pProgress);
    m_pSearchTiming.reset();
    m_pUntilIdle.reset();
}

void CTaskPane::Clear()
{
    StopSteps();
    m_search.Clear();
    m_pPages->Clear();
    Fill();
}

int CTaskPane::GetRowCount() const
{
    return m_bPagesShown ? m_pPages->GetRowCount() : gtk_tree_model_iter_n_children(GTK_TREE_MODEL(m_pStore), nullptr);
}

void CTaskPane::SearchPages()
{
    m_bPagesShown = true;
    gtk_stack_set_visible_child(GTK_STACK(m_pLists), m_pPages->GetList());
    m_pPages->Search(U16(gtk_entry_get_text(GTK_ENTRY(m_pEntry))));
}

// The rows' texts are taken now, while the records are fresh.
void CTaskPane::Fill()
{
    if (m_openIdle) {
        g_source_remove(m_openIdle);
        m_openIdle = 0;
    }
    size_t count = m_search.GetResults().size();
    CTiming timing("search-fill");
    timing.Note("rows", static_cast<long long>(count));
    CListFill fill(GTK_TREE_VIEW(m_pResults));
    gtk_list_store_clear(m_pStore);
    for (size_t row = 0; row < count; ++row) {
        CTitleRow texts = m_search.GetRow(row);
        GtkTreeIter iter;
        gtk_list_store_append(m_pStore, &iter);
        gtk_list_store_set(m_pStore, &iter, RESULT_TITLE, U8(texts.title).c_str(), RESULT_FOLDER,
                           U8(texts.folder).c_str(), RESULT_FILE, U8(texts.file).c_str(), RESULT_ROW,
                           static_cast<int>(row), -1);
    }
}

void CTaskPane::OpenRow(int row)
{
    if (row < 0)
        return;
    if (m_search.OpenResult(static_cast<size_t>(row)) && m_opened)
        m_opened();
}

// Escape stops a search under way.
gboolean CTaskPane::OnEntryKey(GtkWidget*, GdkEventKey* event, gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    if (event->keyval != GDK_KEY_Escape || !pane->m_search.IsRunning())
        return FALSE;
    pane->Clear();
    return TRUE;
}

void CTaskPane::OnActivate(GtkEntry*, gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    if (pane->m_bPagesShown)
        pane->SearchPages();
    else
        pane->Search();
}

void CTaskPane::OnSearchClicked(GtkButton*, gpointer self)
{
    static_cast<CTaskPane*>(self)->Search();
}

void CTaskPane::OnPagesClicked(GtkButton*, gpointer self)
{
    static_cast<CTaskPane*>(self)->SearchPages();
}

// The pages' text is searched as the user types; titles when asked.
void CTaskPane::OnEntryChanged(GtkEditable*, gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    if (pane->m_bPagesShown)
        pane->m_pPages->OnTextChanged(U16(gtk_entry_get_text(GTK_ENTRY(pane->m_pEntry))));
}

void CTaskPane::OnHideClicked(GtkButton*, gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    if (pane->m_hide)
        pane->m_hide();
}

// Every click on a result opens it, also on the row already selected.
gboolean CTaskPane::OnResultButton(GtkWidget* view, GdkEventButton* event, gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    GtkTreePath* path = ClickedResultRow(view, event);
    if (!path)
        return FALSE;
    int row = pane->TakeRow(path);
    // After the view has selected and focused the row: opening the page
    // may refill the window's other views.
    pane->m_nOpenRow = row;
    if (!pane->m_openIdle)
        pane->m_openIdle = g_idle_add(&CTaskPane::OnOpenIdle, pane);
    return FALSE;
}

// The result row of a list row; -1 for none. Frees `path`.
int CTaskPane::TakeRow(GtkTreePath* path) const
{
    GtkTreeIter iter;
    int row = -1;
    if (gtk_tree_model_get_iter(GTK_TREE_MODEL(m_pStore), &iter, path))
        gtk_tree_model_get(GTK_TREE_MODEL(m_pStore), &iter, RESULT_ROW, &row, -1);
    gtk_tree_path_free(path);
    return row;
}

gboolean CTaskPane::OnOpenIdle(gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    pane->m_openIdle = 0;
    pane->OpenRow(pane->m_nOpenRow);
    return G_SOURCE_REMOVE;
}

// Enter or the space bar opens the row under the cursor.
gboolean CTaskPane::OnResultKey(GtkWidget* view, GdkEventKey* event, gpointer self)
{
    auto* pane = static_cast<CTaskPane*>(self);
    GtkTreePath* path = KeyedResultRow(view, event);
    if (!path)
        return FALSE;
    int row = pane->TakeRow(path);
    pane->OpenRow(row);
    return TRUE;
}
