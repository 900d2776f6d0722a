#pragma once

// The task pane's search of the pages' text: results while the user types,
// after a short pause, each with its title, folder and a piece of its text
// with the matched words in bold; the index's progress while it is built.
// Opening a result shows its page and marks the words in it.

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "app/search/CSearchIndex.h"

class CMainCore;

class CPageSearchView {
public:
    enum { COLUMN_TITLE = 0, COLUMN_FOLDER, COLUMN_SNIPPET, COLUMN_PATH, COLUMN_COUNT };
    // Typing waits this long before the query goes out.
    static constexpr unsigned kPauseMs = 250;

    // `opened` gets the text to mark in the page after a result's page was
    // shown.
    CPageSearchView(CMainCore& core, std::function<void(const std::u16string& mark)> opened);
    ~CPageSearchView();
    CPageSearchView(const CPageSearchView&) = delete;
    CPageSearchView& operator=(const CPageSearchView&) = delete;

    // The result list (in its scrolled window) and the index's progress.
    GtkWidget* GetList() const { return m_pScroll; }
    GtkWidget* GetStatus() const { return m_pStatus; }

    // The field changed: the query goes out after the pause.
    void OnTextChanged(const std::u16string& text);
    // At once (Enter, the button).
    void Search(const std::u16string& text);
    void Clear();
    int GetRowCount() const;

    // What of a query the page view can find: its first phrase or word
    // that must match, without "*"; "" when there is none.
    static std::u16string MarkOf(const std::u16string& query);
    // A snippet with its marked words in bold, as Pango markup.
    static std::string SnippetMarkup(const std::u16string& snippet);

private:
    void Fill(const std::u16string& query, const std::vector<CSearchHit>& hits);
    void ShowState(bool syncing, int done, int total);
    void OpenPath(const std::string& path);
    static gboolean OnPause(gpointer self);
    static gboolean OnButton(GtkWidget* view, GdkEventButton* event, gpointer self);
    static gboolean OnKey(GtkWidget* view, GdkEventKey* event, gpointer self);
    static gboolean OnOpenIdle(gpointer self);
    std::string PathAt(GtkTreePath* path) const;

    CMainCore& m_core;
    std::function<void(const std::u16string&)> m_opened;
    GtkListStore* m_pStore = nullptr;
    GtkWidget* m_pView = nullptr;
    GtkWidget* m_pScroll = nullptr;
    GtkWidget* m_pStatus = nullptr;
    std::u16string m_pending;  // the text waiting for the pause to end
    std::u16string m_query;    // the query whose results are wanted
    guint m_pause = 0;
    guint m_openIdle = 0;
    std::string m_openPath;
};
