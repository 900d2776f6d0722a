#include "app/shell/CTagsWindow.h"

#include <gio/gio.h>

#include <cstring>

#include "app/main/CMainCore.h"
#include "app/core/CUIPort.h"
#include "app/shell/CGtkText.h"
#include "app/tags/CTagsWindowMgr.h"
#include "base/tools/CStringTool.h"

namespace {

// Our pages are written in with this base: it reads nothing local, and
// navigations to it are the view's own loads.
constexpr char kBaseUri[] = "about:blank";
constexpr char kLoadingPage[] = "<p>Loading...<p> Please wait.";
// Far more than any form of the tags window posts.
constexpr gsize kMaxBody = 1 << 20;

// The text after "krv:" when the address is one, in any letter case.
std::optional<std::u16string> GetCommandText(const char* uri)
{
    if (!uri || !CStringTool::StartsWithNoCase(uri, "krv:"))
        return std::nullopt;
    return U16(uri + 4);
}

// The addresses that open in the default browser.
bool IsWebAddress(const char* uri)
{
    return uri &&
           (CStringTool::StartsWithNoCase(uri, "http:") || CStringTool::StartsWithNoCase(uri, "https:"));
}

// Reads the posted body whole; none when it is missing or too large.
std::optional<std::string> ReadBody(GInputStream* stream)
{
    if (!stream)
        return std::nullopt;
    std::string body;
    char chunk[4096];
    for (;;) {
        gsize got = 0;
        if (!g_input_stream_read_all(stream, chunk, sizeof chunk, &got, nullptr, nullptr))
            return std::nullopt;
        body.append(chunk, got);
        if (got < sizeof chunk)
            return body;
        if (body.size() > kMaxBody)
            return std::nullopt;
    }
}

}  // namespace

CTagsWindow::CTagsWindow(CMainCore& core) : m_core(core) {}

CTagsWindow::~CTagsWindow()
{
    if (m_readyIdle)
        g_source_remove(m_readyIdle);
    if (m_commandIdle)
        g_source_remove(m_commandIdle);
    if (m_pWindow)
        gtk_widget_destroy(m_pWindow);
    if (m_pContext)
        g_object_unref(m_pContext);
}

void CTagsWindow::Build()
{
    m_pWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_pWindow), "Zandrel");
    g_signal_connect(m_pWindow, "delete-event", G_CALLBACK(&CTagsWindow::OnDelete), this);
    // Escape closes it as it would a dialog, before the page sees the key.
    g_signal_connect(m_pWindow, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, gpointer self) -> gboolean {
        if (event->keyval != GDK_KEY_Escape)
            return FALSE;
        static_cast<CTagsWindow*>(self)->Close();
        return TRUE;
    }), this);
    g_signal_connect(m_pWindow, "configure-event", G_CALLBACK(&CTagsWindow::OnConfigure), this);

    // A context of its own: ephemeral, as the main view's, and the only
    // one that knows the "krv" scheme, through which form posts arrive.
    m_pContext = webkit_web_context_new_ephemeral();
    webkit_web_context_register_uri_scheme(m_pContext, "krv", &CTagsWindow::OnSchemeRequest, this, nullptr);
    m_pView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_pContext, nullptr));
    WebKitSettings* settings = webkit_web_view_get_settings(m_pView);
    // The pages' own script fills the fields and sends the tag links.
    webkit_settings_set_enable_javascript(settings, TRUE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
    webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    g_signal_connect(m_pView, "decide-policy", G_CALLBACK(&CTagsWindow::OnDecidePolicy), this);
    g_signal_connect(m_pView, "context-menu", G_CALLBACK(&CTagsWindow::OnContextMenu), this);
    g_signal_connect(m_pView, "notify::title", G_CALLBACK(&CTagsWindow::OnTitle), this);
    gtk_container_add(GTK_CONTAINER(m_pWindow), GTK_WIDGET(m_pView));
    gtk_widget_show(GTK_WIDGET(m_pView));
    webkit_web_view_load_html(m_pView, kLoadingPage, kBaseUri);
    // The manager hears of the view from the loop, as it would from a
    // window that is made elsewhere; until then its page waits.
    m_readyIdle = g_idle_add(&CTagsWindow::OnReadyIdle, this);
}

gboolean CTagsWindow::OnReadyIdle(gpointer self)
{
    auto* window = static_cast<CTagsWindow*>(self);
    window->m_readyIdle = 0;
    window->m_core.GetTagsMgr().OnWindowReady();
    return G_SOURCE_REMOVE;
}

void CTagsWindow::Show(int mode)
{
    if (!m_pWindow)
        Build();
    GtkWindow* window = GTK_WINDOW(m_pWindow);
    if (gtk_widget_get_visible(m_pWindow)) {
        // Up already, perhaps minimised: it stays where the user put it.
        m_nMode = mode;
        gtk_window_deiconify(window);
        gtk_window_present(window);
        return;
    }
    m_nMode = mode;
    Place(mode);
    gtk_window_present(window);
}

void CTagsWindow::Place(int mode)
{
    m_screen = GdkRectangle{0, 0, 1024, 768};
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor)
        gdk_monitor_get_workarea(monitor, &m_screen);
    const CLayoutProfile& layout = CAppSettings::Get()->GetLayout();
    const CQVRect& remembered =
        mode == CTagsWindowMgr::MODE_TAGIT ? layout.GetTagsWindowA() : layout.GetTagsWindowB();
    CQVRect rect = CTagsWindowMgr::GetWindowRect(m_screen.width, m_screen.height, remembered);
    gtk_window_set_default_size(GTK_WINDOW(m_pWindow), rect.width, rect.height);
    gtk_window_resize(GTK_WINDOW(m_pWindow), rect.width, rect.height);
    gtk_window_move(GTK_WINDOW(m_pWindow), m_screen.x + rect.x, m_screen.y + rect.y);
}

void CTagsWindow::KeepRect()
{
    if (!m_pWindow || !gtk_widget_get_visible(m_pWindow))
        return;
    GtkWindow* window = GTK_WINDOW(m_pWindow);
    // A minimised or maximised window's rectangle is not one to reopen in.
    GdkWindow* gdkWindow = gtk_widget_get_window(m_pWindow);
    if (gdkWindow &&
        (gdk_window_get_state(gdkWindow) & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED |
                                            GDK_WINDOW_STATE_FULLSCREEN)))
        return;
    CQVRect rect;
    gtk_window_get_position(window, &rect.x, &rect.y);
    gtk_window_get_size(window, &rect.width, &rect.height);
    rect.x -= m_screen.x;
    rect.y -= m_screen.y;
    CLayoutProfile& layout = CAppSettings::Get()->GetLayout();
    if (m_nMode == CTagsWindowMgr::MODE_TAGIT)
        layout.SetTagsWindowA(rect);
    else
        layout.SetTagsWindowB(rect);
}

void CTagsWindow::Close()
{
    if (!m_pWindow || !gtk_widget_get_visible(m_pWindow))
        return;
    KeepRect();
    gtk_widget_hide(m_pWindow);
}

void CTagsWindow::LoadPage(const std::u16string& html)
{
    if (m_pView)
        webkit_web_view_load_html(m_pView, U8(html).c_str(), kBaseUri);
}

GtkWindow* CTagsWindow::GetShownWindow() const
{
    return m_pWindow && gtk_widget_get_visible(m_pWindow) ? GTK_WINDOW(m_pWindow) : nullptr;
}

GtkWindow* CTagsWindow::GetActiveWindow() const
{
    GtkWindow* shown = GetShownWindow();
    return shown && gtk_window_is_active(shown) ? shown : nullptr;
}

gboolean CTagsWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self)
{
    static_cast<CTagsWindow*>(self)->Close();
    return TRUE;  // kept for the next page
}

gboolean CTagsWindow::OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer self)
{
    // Kept as it moves, so the settings written at exit have it too.
    static_cast<CTagsWindow*>(self)->KeepRect();
    return FALSE;
}

void CTagsWindow::OnTitle(GObject*, GParamSpec*, gpointer self)
{
    auto* window = static_cast<CTagsWindow*>(self);
    const char* title = webkit_web_view_get_title(window->m_pView);
    gtk_window_set_title(GTK_WINDOW(window->m_pWindow), title && *title ? title : "Zandrel");
}

// Only what edits or copies text: going back or reloading would show a
// page whose data has gone, and nothing may open another window.
gboolean CTagsWindow::OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                                    gpointer)
{
    GList* items = g_list_copy(webkit_context_menu_get_items(menu));
    for (GList* it = items; it; it = it->next) {
        auto* item = static_cast<WebKitContextMenuItem*>(it->data);
        switch (webkit_context_menu_item_get_stock_action(item)) {
        case WEBKIT_CONTEXT_MENU_ACTION_COPY:
        case WEBKIT_CONTEXT_MENU_ACTION_CUT:
        case WEBKIT_CONTEXT_MENU_ACTION_PASTE:
        case WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT:
        case WEBKIT_CONTEXT_MENU_ACTION_DELETE:
        case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL:
        case WEBKIT_CONTEXT_MENU_ACTION_INPUT_METHODS:
        case WEBKIT_CONTEXT_MENU_ACTION_UNICODE:
        case WEBKIT_CONTEXT_MENU_ACTION_INSERT_EMOJI:
        case WEBKIT_CONTEXT_MENU_ACTION_SPELLING_GUESS:
        case WEBKIT_CONTEXT_MENU_ACTION_NO_GUESSES_FOUND:
        case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_SPELLING:
        case WEBKIT_CONTEXT_MENU_ACTION_LEARN_SPELLING:
            break;
        default:
            webkit_context_menu_remove(menu, item);
            break;
        }
    }
    g_list_free(items);
    // Separators go as well; an empty menu is not shown.
    return webkit_context_menu_get_n_items(menu) == 0;
}

// What the view may load: our own pages. A "krv:" link becomes a command
// at once; a form post goes on to the scheme handler, the only place its
// body can be read, and its answer is then refused so the page stays.
gboolean CTagsWindow::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                     gpointer self)
{
    auto* window = static_cast<CTagsWindow*>(self);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        WebKitURIRequest* request =
            webkit_response_policy_decision_get_request(WEBKIT_RESPONSE_POLICY_DECISION(decision));
        if (!GetCommandText(webkit_uri_request_get_uri(request)))
            return FALSE;
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = webkit_uri_request_get_uri(request);
    WebKitNavigationType how = webkit_navigation_action_get_navigation_type(action);
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && uri &&
        CStringTool::StartsWithNoCase(uri, kBaseUri) && how == WEBKIT_NAVIGATION_TYPE_OTHER) {
        window->m_expectedPost.clear();
        return FALSE;  // a page we wrote in
    }
    std::optional<std::u16string> command = GetCommandText(uri);
    // The request here does not tell its method: a form may post.
    if (command && type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
        how == WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED) {
        window->m_expectedPost = uri;
        webkit_policy_decision_use(decision);
        return TRUE;
    }
    webkit_policy_decision_ignore(decision);
    if (how == WEBKIT_NAVIGATION_TYPE_BACK_FORWARD || how == WEBKIT_NAVIGATION_TYPE_RELOAD ||
        how == WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED)
        return TRUE;
    if (command)
        window->Queue(SCommand{std::move(*command), std::nullopt, false});
    else if (IsWebAddress(uri))
        window->Queue(SCommand{U16(uri), std::nullopt, true});
    return TRUE;
}

void CTagsWindow::OnSchemeRequest(WebKitURISchemeRequest* request, gpointer self)
{
    auto* window = static_cast<CTagsWindow*>(self);
    const char* uri = webkit_uri_scheme_request_get_uri(request);
    const char* method = webkit_uri_scheme_request_get_http_method(request);
    // Only the form the view was let through: anything else that asks for
    // a "krv:" address (an image, a frame) runs nothing.
    bool expected = uri && !window->m_expectedPost.empty() && window->m_expectedPost == uri;
    if (!expected) {
        GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "Nothing to load here.");
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    window->m_expectedPost.clear();
    std::optional<std::string> bytes;
    if (method && std::strcmp(method, "POST") == 0) {
        GInputStream* body = webkit_uri_scheme_request_get_http_body(request);
        bytes = ReadBody(body);
        if (body)
            g_object_unref(body);
        // A post without a readable body still counts as one, empty.
        if (!bytes)
            bytes = std::string();
    }
    if (std::optional<std::u16string> command = GetCommandText(uri))
        window->Queue(SCommand{std::move(*command), std::move(bytes), false});
    // An empty answer, which the response decision then refuses.
    GInputStream* empty = g_memory_input_stream_new();
    webkit_uri_scheme_request_finish(request, empty, 0, "text/html");
    g_object_unref(empty);
}

void CTagsWindow::Queue(SCommand command)
{
    m_commands.push_back(std::move(command));
    if (!m_commandIdle)
        m_commandIdle = g_idle_add(&CTagsWindow::OnCommandIdle, this);
}

gboolean CTagsWindow::OnCommandIdle(gpointer self)
{
    auto* window = static_cast<CTagsWindow*>(self);
    window->m_commandIdle = 0;
    // A command may run a dialog whose loop queues the next one; each is
    // taken off before it runs.
    while (!window->m_commands.empty()) {
        SCommand command = std::move(window->m_commands.front());
        window->m_commands.pop_front();
        if (command.web)
            UIPort().OpenUri(command.text);
        else
            window->m_core.GetTagsMgr().OnCommand(command.text, command.body ? &*command.body : nullptr);
    }
    return G_SOURCE_REMOVE;
}
