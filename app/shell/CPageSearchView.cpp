#include "app/shell/CPageSearchView.h"

#include "app/main/CMainCore.h"
#include "app/shell/CGtkText.h"
#include "app/shell/CResultRows.h"

namespace {

constexpr const char* kHeadings[] = {"Title", "Folder", "Text"};
constexpr int kWidths[] = {170, 140, 400};

std::string Escaped(const std::string& text)
{
    gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
    std::string out(escaped);
    g_free(escaped);
    return out;
}

}  // namespace

CPageSearchView::CPageSearchView(CMainCore& core, std::function<void(const std::u16string& mark)> opened)
    : m_core(core), m_opened(std::move(opened))
{
    m_pStore = gtk_list_store_new(COLUMN_COUNT, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
    m_pView = gtk_tree_view_new_with_model(GTK_TREE_MODEL(m_pStore));
    for (int column = COLUMN_TITLE; column <= COLUMN_SNIPPET; ++column) {
        GtkCellRenderer* cell = gtk_cell_renderer_text_new();
        g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        GtkTreeViewColumn* col = gtk_tree_view_column_new_with_attributes(
            kHeadings[column], cell, column == COLUMN_SNIPPET ? "markup" : "text", column, nullptr);
        gtk_tree_view_column_set_sizing(col, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(col, kWidths[column]);
        gtk_tree_view_column_set_resizable(col, TRUE);
        gtk_tree_view_append_column(GTK_TREE_VIEW(m_pView), col);
    }
    gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(m_pView), TRUE);
    g_signal_connect(m_pView, "button-press-event", G_CALLBACK(&CPageSearchView::OnButton), this);
    g_signal_connect(m_pView, "key-press-event", G_CALLBACK(&CPageSearchView::OnKey), this);
    m_pScroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(m_pScroll), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(m_pScroll), m_pView);

    m_pStatus = gtk_progress_bar_new();
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(m_pStatus), TRUE);
    gtk_widget_set_no_show_all(m_pStatus, TRUE);

    m_core.SetPageSearchHooks(
        [this](const CPageSearch::CState& state) { ShowState(state.syncing, state.done, state.total); },
        [this](const std::u16string& query, const std::vector<CSearchHit>& hits) { Fill(query, hits); });
}

CPageSearchView::~CPageSearchView()
{
    m_core.SetPageSearchHooks(nullptr, nullptr);
    if (m_pause)
        g_source_remove(m_pause);
    if (m_openIdle)
        g_source_remove(m_openIdle);
    g_object_unref(m_pStore);
}

void CPageSearchView::OnTextChanged(const std::u16string& text)
{
    m_pending = text;
    if (m_pause)
        g_source_remove(m_pause);
    m_pause = g_timeout_add(kPauseMs, &CPageSearchView::OnPause, this);
}

gboolean CPageSearchView::OnPause(gpointer self)
{
    auto* view = static_cast<CPageSearchView*>(self);
    view->m_pause = 0;
    view->Search(view->m_pending);
    return G_SOURCE_REMOVE;
}

void CPageSearchView::Search(const std::u16string& text)
{
    if (m_pause) {
        g_source_remove(m_pause);
        m_pause = 0;
    }
    m_query = text;
    m_core.GetPageSearch().Submit(text);
}

void CPageSearchView::Clear()
{
    m_query.clear();
    gtk_list_store_clear(m_pStore);
}

int CPageSearchView::GetRowCount() const
{
    return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(m_pStore), nullptr);
}

// Results of an older query that arrive late are not shown.
void CPageSearchView::Fill(const std::u16string& query, const std::vector<CSearchHit>& hits)
{
    if (query != m_query)
        return;
    gtk_list_store_clear(m_pStore);
    for (const CSearchHit& hit : hits) {
        GtkTreeIter iter;
        gtk_list_store_append(m_pStore, &iter);
        gtk_list_store_set(m_pStore, &iter, COLUMN_TITLE, U8(hit.title).c_str(), COLUMN_FOLDER,
                           U8(hit.folder).c_str(), COLUMN_SNIPPET, SnippetMarkup(hit.snippet).c_str(), COLUMN_PATH,
                           U8(hit.pagePath).c_str(), -1);
    }
}

void CPageSearchView::ShowState(bool syncing, int done, int total)
{
    // Small syncs after a change come and go too fast to be shown.
    if (!syncing || total <= 0) {
        gtk_widget_hide(m_pStatus);
        return;
    }
    std::string text = "Indexing pages " + std::to_string(done) + " of " + std::to_string(total);
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(m_pStatus), text.c_str());
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_pStatus), total > 0 ? double(done) / total : 0.0);
    gtk_widget_show(m_pStatus);
}

void CPageSearchView::OpenPath(const std::string& path)
{
    if (!path.empty() && m_core.ShowPageAt(U16(path.c_str())) && m_opened)
        m_opened(MarkOf(m_query));
}

std::string CPageSearchView::PathAt(GtkTreePath* path) const
{
    GtkTreeIter iter;
    std::string text;
    if (gtk_tree_model_get_iter(GTK_TREE_MODEL(m_pStore), &iter, path)) {
        gchar* value = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(m_pStore), &iter, COLUMN_PATH, &value, -1);
        text = value ? value : "";
        g_free(value);
    }
    gtk_tree_path_free(path);
    return text;
}

// A click opens its row once the view has selected it: showing the page
// refills the window's other views.
gboolean CPageSearchView::OnButton(GtkWidget* view, GdkEventButton* event, gpointer self)
{
    auto* search = static_cast<CPageSearchView*>(self);
    GtkTreePath* path = ClickedResultRow(view, event);
    if (!path)
        return FALSE;
    search->m_openPath = search->PathAt(path);
    if (!search->m_openIdle)
        search->m_openIdle = g_idle_add(&CPageSearchView::OnOpenIdle, search);
    return FALSE;
}

gboolean CPageSearchView::OnOpenIdle(gpointer self)
{
    auto* search = static_cast<CPageSearchView*>(self);
    search->m_openIdle = 0;
    search->OpenPath(search->m_openPath);
    return G_SOURCE_REMOVE;
}

gboolean CPageSearchView::OnKey(GtkWidget* view, GdkEventKey* event, gpointer self)
{
    GtkTreePath* path = KeyedResultRow(view, event);
    if (!path)
        return FALSE;
    auto* search = static_cast<CPageSearchView*>(self);
    search->OpenPath(search->PathAt(path));
    return TRUE;
}

std::u16string CPageSearchView::MarkOf(const std::u16string& query)
{
    for (size_t at = 0; at < query.size();) {
        while (at < query.size() && query[at] == u' ')
            ++at;
        if (at >= query.size())
            break;
        size_t end;
        std::u16string term;
        if (query[at] == u'"') {
            end = query.find(u'"', at + 1);
            term = query.substr(at + 1, end == std::u16string::npos ? end : end - at - 1);
            end = end == std::u16string::npos ? query.size() : end + 1;
        } else {
            end = std::min(query.find(u' ', at), query.size());
            term = query.substr(at, end - at);
            if (term[0] == u'-' || term.find(u':') != std::u16string::npos)
                term.clear();
            while (!term.empty() && term.back() == u'*')
                term.pop_back();
        }
        if (!term.empty())
            return term;
        at = end;
    }
    return {};
}

std::string CPageSearchView::SnippetMarkup(const std::u16string& snippet)
{
    std::string markup;
    std::u16string piece;
    bool bold = false;
    for (char16_t c : snippet) {
        if (c != CSearchIndex::kMarkOpen && c != CSearchIndex::kMarkClose) {
            piece += c == u'\n' || c == u'\r' || c == u'\t' ? u' ' : c;
            continue;
        }
        markup += Escaped(U8(piece));
        piece.clear();
        // Marks that do not pair up must not break the markup.
        if (bold != (c == CSearchIndex::kMarkOpen)) {
            markup += bold ? "</b>" : "<b>";
            bold = !bold;
        }
    }
    return markup + Escaped(U8(piece)) + (bold ? "</b>" : "");
}
