#pragma once

// The tags window: a second top-level window whose HTML view shows the
// pages CTagsWindowMgr builds. Made on first use, hidden when closed and
// destroyed only with the program. Its "krv:" links and form posts go back
// to the manager, always from the main loop and never from inside the
// view's own handlers, since a command may load a new page into the view
// or run a modal dialog.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <deque>
#include <optional>
#include <string>

#include "app/core/CAppSettings.h"

class CMainCore;

class CTagsWindow {
public:
    explicit CTagsWindow(CMainCore& core);
    ~CTagsWindow();
    CTagsWindow(const CTagsWindow&) = delete;
    CTagsWindow& operator=(const CTagsWindow&) = delete;

    // Makes the window on first use; shows it placed for `mode` (1 the
    // tag-it form, 0 a search page), or brings it back when it is up.
    void Show(int mode);
    // Writes a page of the manager into the view; nothing before Show.
    void LoadPage(const std::u16string& html);
    // Hides the window and keeps where it was.
    void Close();
    // The window while it is on screen, else null: dialogs of the tags
    // window belong over it.
    GtkWindow* GetShownWindow() const;
    // The window while the user works in it, else null.
    GtkWindow* GetActiveWindow() const;

private:
    struct SCommand {
        std::u16string text;              // after "krv:", or the web address
        std::optional<std::string> body;  // a form's posted bytes
        bool web = false;
    };

    void Build();
    void Place(int mode);
    // The window's rectangle goes to the settings of the shown mode.
    void KeepRect();
    void Queue(SCommand command);

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer self);
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer self);
    static void OnSchemeRequest(WebKitURISchemeRequest* request, gpointer self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                                  gpointer);
    static void OnTitle(GObject*, GParamSpec*, gpointer self);
    static gboolean OnReadyIdle(gpointer self);
    static gboolean OnCommandIdle(gpointer self);

    CMainCore& m_core;
    GtkWidget* m_pWindow = nullptr;
    WebKitWebContext* m_pContext = nullptr;
    WebKitWebView* m_pView = nullptr;
    int m_nMode = 0;
    // The screen area the window was placed in; rectangles are kept
    // relative to it.
    GdkRectangle m_screen{0, 0, 0, 0};
    // The form post the view was allowed to send to the scheme handler.
    std::string m_expectedPost;
    std::deque<SCommand> m_commands;
    guint m_readyIdle = 0;
    guint m_commandIdle = 0;
};
