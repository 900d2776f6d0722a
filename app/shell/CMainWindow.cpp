#include "app/shell/CMainWindow.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>

#include "app/background/CFrontPage.h"
#include "app/background/CShutdownWait.h"
#include "app/capture/CCaptureCommand.h"
#include "app/core/CCommandTable.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/main/CMainCore.h"
#include "app/core/COptions.h"
#include "app/core/CPageMgr.h"
#include "app/core/CPageTitle.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CProjectStats.h"
#include "app/core/CRecentProjects.h"
#include "app/core/CRecentPages.h"
#include "app/core/CUIPort.h"
#include "app/core/CWindowPlacement.h"
#include "app/core/CTiming.h"
#include "app/shell/CEditorOps.h"
#include "app/shell/CExportDialog.h"
#include "app/shell/CFileWatch.h"
#include "app/shell/CHistoryDialog.h"
#include "app/shell/CFlagColumn.h"
#include "app/shell/CFolderChooser.h"
#include "app/shell/CFormatBar.h"
#include "app/shell/CImportDialog.h"
#include "app/shell/CGtkText.h"
#include "app/shell/CListFill.h"
#include "app/shell/CListSort.h"
#include "app/shell/CMenuText.h"
#include "app/shell/CPageCommands.h"
#include "app/shell/CLinkDialogs.h"
#include "app/shell/CTagBar.h"
#include "app/shell/CTaskPane.h"
#include "app/shell/CToolDialogs.h"
#include "app/shell/CTreeDrag.h"
#include "app/tags/CTagsWindowMgr.h"
#include "base/model/CBaseNode.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CNodeStat.h"
#include "base/model/CUrlNode.h"
#include "base/model/CZandrelProject.h"
#include "base/model/RNode.h"
#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"

namespace {

enum { TREE_NAME = 0, TREE_NODE, TREE_COLUMNS };
enum { LIST_TITLE = 0, LIST_FLAG, LIST_ADDED, LIST_MODIFIED, LIST_ITEM, LIST_COLUMNS };

constexpr int kStartPageDelaySeconds = 5;
// No script of a page the user keeps runs while it is shown or edited.
constexpr char kUserPagePolicy[] = "script-src 'none'; object-src 'none'";
constexpr int kDocumentWaitSeconds = 5;
// More than the recent pages list ever holds.
constexpr int kMaxRecentPages = 100;
// Pages Go Back can return to.
constexpr size_t kMaxHistory = 50;
// Between the parts of the window title, and before a page with unsaved
// edits, as desktop editors mark it.
constexpr char kTitleSeparator[] = " \u2014 ";
constexpr char kUnsavedMark[] = "*";
// The folder page's words for an empty folder, and ours for one whose
// pages are listed beside it.
constexpr char kNoPagesText[] = "This folder has no pages yet.";
constexpr char kChoosePageText[] = "Choose a page from the list, or make a new one.";

std::string FormatTime(long seconds)
{
    if (seconds <= 0)
        return "";
    time_t when = seconds;
    struct tm local {};
    localtime_r(&when, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string FileUri(const std::u16string& path)
{
    char* uri = g_filename_to_uri(U8(path).c_str(), nullptr, nullptr);
    std::string out = uri ? uri : "";
    g_free(uri);
    return out;
}

bool FileExists(const std::u16string& path)
{
    return !path.empty() && g_file_test(U8(path).c_str(), G_FILE_TEST_IS_REGULAR);
}

GtkWidget* Scrolled(GtkWidget* child)
{
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroll), child);
    return scroll;
}

GtkCellRenderer* AddTextColumn(GtkWidget* view, const char* title, int column, bool expand)
{
    GtkCellRenderer* cell = gtk_cell_renderer_text_new();
    GtkTreeViewColumn* col = gtk_tree_view_column_new_with_attributes(title, cell, "text", column, nullptr);
    gtk_tree_view_column_set_resizable(col, TRUE);
    gtk_tree_view_column_set_expand(col, expand);
    gtk_tree_view_append_column(GTK_TREE_VIEW(view), col);
    return cell;
}

// Fixed widths for the item list's columns, so that the view measures
// one row instead of each of thousands after every fill: the title takes
// the room left, the others fit their heading or widest text.
void FixColumnWidths(GtkTreeView* view)
{
    static const char* const kWidest[] = {"", "", "0000-00-00 00:00", "0000-00-00 00:00"};
    GList* list = gtk_tree_view_get_columns(view);
    int column = 0;
    for (GList* c = list; c; c = c->next, ++column) {
        auto* col = static_cast<GtkTreeViewColumn*>(c->data);
        int width = 0;
        for (const char* text : {gtk_tree_view_column_get_title(col), column < 4 ? kWidest[column] : ""}) {
            PangoLayout* layout = gtk_widget_create_pango_layout(GTK_WIDGET(view), text);
            int textWidth = 0;
            pango_layout_get_pixel_size(layout, &textWidth, nullptr);
            g_object_unref(layout);
            width = std::max(width, textWidth + 16);
        }
        gtk_tree_view_column_set_sizing(col, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(col, column == 0 ? 200 : width);
    }
    g_list_free(list);
    gtk_tree_view_set_fixed_height_mode(view, TRUE);
}

void AddTreeLevel(GtkTreeStore* store, GtkTreeIter* parent, RNode* node, RNode* selected, GtkTreeIter* found,
                  bool* hasFound)
{
    GtkTreeIter iter;
    const char16_t* name = node->GetData() ? node->GetData()->GetName() : nullptr;
    gtk_tree_store_append(store, &iter, parent);
    gtk_tree_store_set(store, &iter, TREE_NAME, name ? U8(name).c_str() : "", TREE_NODE, node, -1);
    if (node == selected) {
        *found = iter;
        *hasFound = true;
    }
    for (RNode* child = node->GetChild(); child; child = child->GetNext())
        if (child->GetType() == NT_FOLDER)
            AddTreeLevel(store, &iter, child, selected, found, hasFound);
}

}  // namespace

// What an accelerator or a menu item carries to its handler.
struct CMainWindow::SCommand {
    CMainWindow* window;
    int id;
};

CMainWindow::CMainWindow(CMainCore& core)
    : m_core(core), m_layout([this](CPaneLayout::Pane pane, const CPaneLayout::Rect& rect) { MovePane(pane, rect); })
{
    m_pFileWatch = std::make_unique<CFileWatch>([this] {
        if (!m_bProjectOpen || m_bClosing)
            return;
        m_core.GetPageMgr().CheckOutsideChanges();
        UpdateWindowTitle();
    });
}

CMainWindow::~CMainWindow()
{
    if (m_placeIdle)
        g_source_remove(m_placeIdle);
    if (m_ownViewIdle)
        g_source_remove(m_ownViewIdle);
    if (m_startTimer)
        g_source_remove(m_startTimer);
    m_pFileWatch.reset();
    m_pFormatBar.reset();
    m_pPageCommands.reset();
    m_pEditorOps.reset();
    if (m_pWindow)
        gtk_widget_destroy(m_pWindow);
    if (m_pWebContext)
        g_object_unref(m_pWebContext);
    if (m_pTreeStore)
        g_object_unref(m_pTreeStore);
    if (m_pListStore)
        g_object_unref(m_pListStore);
}

void CMainWindow::Open(const std::u16string& project)
{
    BuildWidgets();
    m_layout.LoadSizes(CAppSettings::Get()->GetLayout());
    PlaceWindow();
    gtk_widget_show_all(m_pWindow);
    CTiming("window after-launch", CTiming::SinceLaunch{});  // printed at once
    // The task pane and hidden sliders follow the layout, not show_all.
    m_layout.Refresh();
    SetProjectState(false);

    m_core.RunStartupProjectStep(project, static_cast<long>(std::time(nullptr)));
    if (CTiming::IsOn())
        CTiming::PrintWhenIdle(new CTiming("idle after-launch", CTiming::SinceLaunch{}));
    m_startTimer = g_timeout_add_seconds(kStartPageDelaySeconds, &CMainWindow::OnStartPageTimer, this);
}

void CMainWindow::BuildWidgets()
{
    m_pWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_pWindow), "Zandrel");
    g_signal_connect(m_pWindow, "delete-event", G_CALLBACK(&CMainWindow::OnDelete), this);
    g_signal_connect(m_pWindow, "key-press-event", G_CALLBACK(&CMainWindow::OnKeyPress), this);
    g_signal_connect(m_pWindow, "configure-event", G_CALLBACK(&CMainWindow::OnConfigure), this);
    g_signal_connect(m_pWindow, "window-state-event", G_CALLBACK(&CMainWindow::OnWindowState), this);

    m_pAccels = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(m_pWindow), m_pAccels);
    g_object_unref(m_pAccels);  // the window holds it

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(m_pWindow), box);
    gtk_box_pack_start(GTK_BOX(box), BuildMenuBar(), FALSE, FALSE, 0);
    BindAccelerators();

    m_pArea = gtk_layout_new(nullptr, nullptr);
    gtk_box_pack_start(GTK_BOX(box), m_pArea, TRUE, TRUE, 0);
    g_signal_connect(m_pArea, "size-allocate", G_CALLBACK(&CMainWindow::OnAreaAllocate), this);

    // Folder tree.
    m_pTreeStore = gtk_tree_store_new(TREE_COLUMNS, G_TYPE_STRING, G_TYPE_POINTER);
    m_pTreeView = gtk_tree_view_new_with_model(GTK_TREE_MODEL(m_pTreeStore));
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(m_pTreeView), FALSE);
    m_pTreeCell = AddTextColumn(m_pTreeView, "Folder", TREE_NAME, true);
    g_signal_connect(m_pTreeCell, "edited", G_CALLBACK(&CMainWindow::OnFolderEdited), this);
    g_signal_connect(m_pTreeView, "button-press-event", G_CALLBACK(&CMainWindow::OnViewButton), this);
    m_pTreeMenu = BuildMenu(MENU_FOLDER_TREE);
    gtk_menu_attach_to_widget(GTK_MENU(m_pTreeMenu), m_pTreeView, nullptr);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(m_pTreeView)), "changed",
                     G_CALLBACK(&CMainWindow::OnTreeSelection), this);
    m_panes[CPaneLayout::PANE_TREE] = Scrolled(m_pTreeView);

    // Item list of the current collection.
    m_pListStore = NewItemStore();
    m_pListView = gtk_tree_view_new_with_model(GTK_TREE_MODEL(m_pListStore));
    m_pTitleCell = AddTextColumn(m_pListView, "Title", LIST_TITLE, true);
    g_signal_connect(m_pTitleCell, "edited", G_CALLBACK(&CMainWindow::OnTitleEdited), this);
    g_signal_connect(m_pListView, "button-press-event", G_CALLBACK(&CMainWindow::OnViewButton), this);
    m_pListMenu = BuildMenu(MENU_ITEM_LIST);
    gtk_menu_attach_to_widget(GTK_MENU(m_pListMenu), m_pListView, nullptr);
    m_pFlagColumn = std::make_unique<CFlagColumn>(GTK_TREE_VIEW(m_pListView), LIST_FLAG, LIST_ITEM,
        [this](CUrlNode* item, int flag) { m_core.GetPageMgr().SetFlag(item, flag); });
    AddTextColumn(m_pListView, "Added", LIST_ADDED, false);
    AddTextColumn(m_pListView, "Modified", LIST_MODIFIED, false);
    FixColumnWidths(GTK_TREE_VIEW(m_pListView));
    m_pListSort = std::make_unique<CListSort>(m_pListStore);
    {
        const std::pair<int, CListSort::Kind> sorts[] = {{LIST_TITLE, CListSort::BY_LOCALE},
                                                         {LIST_FLAG, CListSort::BY_INT},
                                                         {LIST_ADDED, CListSort::BY_BYTES},
                                                         {LIST_MODIFIED, CListSort::BY_BYTES}};
        int index = 0;
        for (auto [column, kind] : sorts)
            m_pListSort->AddColumn(gtk_tree_view_get_column(GTK_TREE_VIEW(m_pListView), index++), column, kind);
    }
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(m_pListView)), "changed",
                     G_CALLBACK(&CMainWindow::OnListSelection), this);
    m_panes[CPaneLayout::PANE_LIST] = Scrolled(m_pListView);
    m_pTreeDrag = std::make_unique<CTreeDrag>(m_core, GTK_TREE_VIEW(m_pTreeView), TREE_NODE,
                                              GTK_TREE_VIEW(m_pListView), LIST_ITEM);
    m_pTreeDrag->SetForeignDropHandler([this](RNode* folder, const CTreeDrag::CForeignDrop& drop) {
        if (!drop.files.empty())
            CImportDialog::ImportPaths(m_core, folder, drop.files);
        for (const std::u16string& url : drop.addresses)
            CaptureInto(folder, url);
    });

    // Title box.
    m_pTitle = gtk_entry_new();
    m_titleChangedId = g_signal_connect(m_pTitle, "changed", G_CALLBACK(&CMainWindow::OnTitleChanged), this);
    g_signal_connect(m_pTitle, "activate", G_CALLBACK(&CMainWindow::OnTitleActivate), this);
    m_panes[CPaneLayout::PANE_TITLE] = m_pTitle;

    // Page view; edits in it are reported through a script message.
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(content, "zandrelEdit");
    g_signal_connect(content, "script-message-received::zandrelEdit", G_CALLBACK(&CMainWindow::OnPageEdited), this);
    WebKitUserScript* script = webkit_user_script_new(
        "document.addEventListener('input', function() {"
        " window.webkit.messageHandlers.zandrelEdit.postMessage(1); }, true);",
        WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, script);
    webkit_user_script_unref(script);
    // Ephemeral: the engine would otherwise keep its caches and storage in
    // the program's own data folder.
    m_pWebContext = webkit_web_context_new_ephemeral();
    // The user's pages: their own scripts never run, yet stay in the
    // document so that a save keeps them; the program's scripts (run
    // through the engine's interface) are not affected by the policy.
    m_pPage = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_pWebContext,
                                           "user-content-manager", content, "default-content-security-policy",
                                           kUserPagePolicy, nullptr));
    g_object_unref(content);
    // The program's own start and folder pages, whose scripts run.
    m_pOwnView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_pWebContext, nullptr));
    for (WebKitWebView* view : {m_pPage, m_pOwnView}) {
        g_signal_connect(view, "decide-policy", G_CALLBACK(&CMainWindow::OnDecidePolicy), this);
        g_signal_connect(view, "load-changed", G_CALLBACK(&CMainWindow::OnLoadChanged), this);
        g_signal_connect(view, "context-menu", G_CALLBACK(&CMainWindow::OnContextMenu), this);
    }
    m_pPageCommands = std::make_unique<CPageCommands>(GetWindow(), m_pPage, [this] { SetPageModified(true); });
    m_pEditorOps = std::make_unique<CEditorOps>(
        m_core, GetWindow(), m_pPage,
        CEditorOps::CHost{[this] { return m_viewKind == VIEW_PAGE && m_bPageShown; }, [this] { SetPageModified(true); },
                          [this] {
                              m_bPageShown = false;
                              webkit_web_view_set_editable(m_pPage, FALSE);
                          }});
    m_pProjectMenu = BuildMenu(MENU_RECENT_PROJECTS);
    gtk_menu_attach_to_widget(GTK_MENU(m_pProjectMenu), GTK_WIDGET(m_pOwnView), nullptr);
    ApplyPageFont();
    // The tag bar sits under the page view, in the same pane.
    m_pTagBar = std::make_unique<CTagBar>(
        [this](const std::u16string& tag) { m_core.GetTagsMgr().SearchTags(tag, false); });
    GtkWidget* pageBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    m_pViews = gtk_stack_new();
    gtk_stack_add_named(GTK_STACK(m_pViews), GTK_WIDGET(m_pOwnView), "own");
    gtk_stack_add_named(GTK_STACK(m_pViews), GTK_WIDGET(m_pPage), "page");
    gtk_box_pack_start(GTK_BOX(pageBox), m_pViews, TRUE, TRUE, 0);
    // "Linked from" shares the strip with the tags.
    m_pLinkedFrom = std::make_unique<CLinkedFromBar>(m_core);
    GtkWidget* strip = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(strip), m_pTagBar->GetWidget(), TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(strip), m_pLinkedFrom->GetWidget(), FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(pageBox), strip, FALSE, FALSE, 0);
    // The formatting toolbar sits above the page view.
    m_pFormatBar = std::make_unique<CFormatBar>(m_pPage, GTK_STACK(m_pViews), *m_pPageCommands,
                                                [this](int id) { OnCommand(id); });
    gtk_box_pack_start(GTK_BOX(pageBox), m_pFormatBar->GetWidget(), FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(pageBox), m_pFormatBar->GetWidget(), 0);
    m_panes[CPaneLayout::PANE_PAGE] = pageBox;

    m_pTaskPane = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    m_pTaskSearch = std::make_unique<CTaskPane>(
        m_pTaskPane, m_core,
        [this] {
            if (m_layout.IsTaskPaneShown())
                OnCommand(CCommandTable::ID_SEARCH_COLCTS);
        },
        [this] { SelectFolderRow(m_core.GetTreeMgr().GetCurrentFolder()); },
        [this](const std::u16string& mark) {
            m_mark = mark;
            MarkInPage();
        });
    m_panes[CPaneLayout::PANE_TASK] = m_pTaskPane;

    m_panes[CPaneLayout::SLIDER_TREE] = MakeSlider(CPaneLayout::SLIDER_TREE, true);
    m_panes[CPaneLayout::SLIDER_TASK] = MakeSlider(CPaneLayout::SLIDER_TASK, true);
    m_panes[CPaneLayout::SLIDER_LIST] = MakeSlider(CPaneLayout::SLIDER_LIST, false);

    for (GtkWidget* pane : m_panes) {
        gtk_widget_set_size_request(pane, 1, 1);
        gtk_layout_put(GTK_LAYOUT(m_pArea), pane, 0, 0);
    }
}

GtkWidget* CMainWindow::MakeSlider(CPaneLayout::Pane pane, bool horizontal)
{
    GtkWidget* bar = gtk_event_box_new();
    gtk_widget_add_events(bar, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    g_object_set_data(G_OBJECT(bar), "zandrel-pane", GINT_TO_POINTER(pane));
    g_object_set_data(G_OBJECT(bar), "zandrel-horizontal", GINT_TO_POINTER(horizontal ? 1 : 0));
    g_signal_connect(bar, "button-press-event", G_CALLBACK(&CMainWindow::OnSliderPress), this);
    g_signal_connect(bar, "motion-notify-event", G_CALLBACK(&CMainWindow::OnSliderMotion), this);
    g_signal_connect(bar, "button-release-event", G_CALLBACK(&CMainWindow::OnSliderRelease), this);
    // The resize pointer tells the user the bar can be dragged.
    g_signal_connect(bar, "realize", G_CALLBACK(+[](GtkWidget* widget, gpointer) {
        bool across = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zandrel-horizontal")) != 0;
        GdkWindow* gdkWindow = gtk_widget_get_window(widget);
        GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(gdkWindow), across ? "col-resize" : "row-resize");
        if (cursor) {
            gdk_window_set_cursor(gdkWindow, cursor);
            g_object_unref(cursor);
        }
    }), nullptr);
    return bar;
}

// --- menus and accelerators

GtkWidget* CMainWindow::BuildMenuBar()
{
    GtkWidget* bar = gtk_menu_bar_new();
    for (int menu = MENU_FILE; menu <= MENU_HELP; ++menu) {
        GtkWidget* top = gtk_menu_item_new_with_label(U8(CCommandTable::GetMenuTitle(static_cast<tagCOMMANDMENU>(menu))).c_str());
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), BuildMenu(menu));
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    }
    return bar;
}

GtkWidget* CMainWindow::MakeMenuItem(const std::u16string& caption, int id, bool enabled)
{
    GtkWidget* item = gtk_menu_item_new();
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 24);
    GtkWidget* label = gtk_label_new_with_mnemonic(CMenuText::ToMnemonicLabel(caption).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), item);
    gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
    std::string shortcut = CMenuText::GetShortcutLabel(caption);
    if (!shortcut.empty()) {
        // The shortcut as the table writes it, not as GTK would spell it.
        GtkWidget* keys = gtk_label_new(shortcut.c_str());
        gtk_style_context_add_class(gtk_widget_get_style_context(keys), "dim-label");
        gtk_box_pack_end(GTK_BOX(row), keys, FALSE, FALSE, 0);
    }
    gtk_container_add(GTK_CONTAINER(item), row);
    gtk_widget_set_sensitive(item, enabled);
    // The label sits in a box, where GTK does not find its mnemonic; the
    // menu's key handler does.
    if (char16_t mnemonic = CMenuText::GetMnemonic(caption))
        g_object_set_data(G_OBJECT(item), "zandrel-mnemonic", GUINT_TO_POINTER(gdk_unicode_to_keyval(mnemonic)));
    if (id != 0) {
        m_commands.push_back(std::make_unique<SCommand>(SCommand{this, id}));
        g_signal_connect(item, "activate", G_CALLBACK(&CMainWindow::OnMenuActivate), m_commands.back().get());
    }
    return item;
}

gboolean CMainWindow::OnMenuKey(GtkWidget* menu, GdkEventKey* event, gpointer)
{
    if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK))
        return FALSE;
    guint key = gdk_keyval_to_lower(event->keyval);
    GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
    GtkWidget* match = nullptr;
    for (GList* it = items; it && !match; it = it->next) {
        guint mnemonic = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(it->data), "zandrel-mnemonic"));
        if (mnemonic && mnemonic == key && gtk_widget_is_sensitive(GTK_WIDGET(it->data)))
            match = GTK_WIDGET(it->data);
    }
    g_list_free(items);
    if (!match)
        return FALSE;
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), match, TRUE);
    return TRUE;
}

GtkWidget* CMainWindow::BuildMenu(int menu)
{
    GtkWidget* shell = gtk_menu_new();
    g_signal_connect(shell, "key-press-event", G_CALLBACK(&CMainWindow::OnMenuKey), this);
    for (const CMenuEntry* entry : CCommandTable::GetMenu(static_cast<tagCOMMANDMENU>(menu))) {
        if (entry->kind == ENTRY_SEPARATOR) {
            gtk_menu_shell_append(GTK_MENU_SHELL(shell), gtk_separator_menu_item_new());
            continue;
        }
        if (entry->kind == ENTRY_SUBMENU) {
            GtkWidget* item = MakeMenuItem(entry->caption, 0, entry->enabled);
            GtkWidget* sub = entry->submenu == MENU_RECENT_PAGES ? gtk_menu_new() : BuildMenu(entry->submenu);
            if (entry->submenu == MENU_RECENT_PAGES) {
                // Filled each time it opens: the list changes as pages open.
                m_pRecentMenu = sub;
                g_signal_connect(item, "activate", G_CALLBACK(&CMainWindow::OnRecentOpen), this);
                FillRecentPages(sub);
            }
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), sub);
            gtk_menu_shell_append(GTK_MENU_SHELL(shell), item);
            continue;
        }
        GtkWidget* item = MakeMenuItem(entry->caption, entry->id, entry->enabled);
        if (entry->id == CCommandTable::ID_PAGE_HISTORY)
            CHistoryDialog::FollowPage(shell, item, m_core);
        gtk_menu_shell_append(GTK_MENU_SHELL(shell), item);
    }
    return shell;
}

void CMainWindow::FillRecentPages(GtkWidget* submenu)
{
    GList* old = gtk_container_get_children(GTK_CONTAINER(submenu));
    for (GList* it = old; it; it = it->next)
        gtk_widget_destroy(GTK_WIDGET(it->data));
    g_list_free(old);
    for (const CMenuEntry& entry : CCommandTable::GetRecentPagesMenu(m_core.GetRecentPages()))
        gtk_menu_shell_append(GTK_MENU_SHELL(submenu), MakeMenuItem(entry.caption, entry.enabled ? entry.id : 0, entry.enabled));
    gtk_widget_show_all(submenu);
}

void CMainWindow::OnRecentOpen(GtkMenuItem*, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    window->FillRecentPages(window->m_pRecentMenu);
}

void CMainWindow::BindAccelerators()
{
    for (const CMenuEntry& entry : CCommandTable::GetEntries()) {
        for (const std::string& accel : entry.accels) {
            guint key = 0;
            GdkModifierType mods{};
            gtk_accelerator_parse(accel.c_str(), &key, &mods);
            if (key == 0)
                continue;
            m_commands.push_back(std::make_unique<SCommand>(SCommand{this, entry.id}));
            GClosure* closure = g_cclosure_new(G_CALLBACK(&CMainWindow::OnAccel), m_commands.back().get(), nullptr);
            gtk_accel_group_connect(m_pAccels, key, mods, GTK_ACCEL_VISIBLE, closure);
        }
    }
}

void CMainWindow::OnMenuActivate(GtkMenuItem*, gpointer data)
{
    auto* cmd = static_cast<SCommand*>(data);
    cmd->window->OnCommand(cmd->id);
}

gboolean CMainWindow::OnAccel(GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer data)
{
    auto* cmd = static_cast<SCommand*>(data);
    cmd->window->OnCommand(cmd->id);
    return TRUE;
}

// Text fields get their keys before the window's accelerators, so Ctrl+A,
// Ctrl+C or Del edit the field instead of running the menu command.
gboolean CMainWindow::OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer)
{
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
    if (focus && GTK_IS_ENTRY(focus) && !(event->state & GDK_MOD1_MASK))
        return gtk_window_propagate_key_event(GTK_WINDOW(widget), event);
    return FALSE;
}

void CMainWindow::OnCommand(int id)
{
    if (m_bClosing)
        return;
    if (id == CCommandTable::ID_SAVE_PAGE)
        ApplyTypedTitle();
    if (m_core.OnCommand(id))
        return;
    switch (id) {
    case CCommandTable::ID_EXIT:
        RequestClose();
        return;
    case CCommandTable::ID_FULL_SCREEN:
        if (m_bMaximized)
            gtk_window_unmaximize(GetWindow());
        else
            gtk_window_maximize(GetWindow());
        return;
    case CCommandTable::ID_MOVE_PAGE:
        CFolderChooser::MoveCurrentPage(GetWindow(), m_core);
        return;
    case CCommandTable::ID_SEARCH_COLCTS:
        m_layout.ShowTaskPane(!m_layout.IsTaskPaneShown());
        m_layout.Refresh();
        if (m_layout.IsTaskPaneShown())
            gtk_widget_grab_focus(m_pTaskSearch->GetEntry());
        return;
    case CCommandTable::ID_STATUS_BAR:
        m_pTagBar->SetShown(!m_pTagBar->IsShown());
        return;
    case CCommandTable::ID_GO_BACK:
    case CCommandTable::ID_GO_FORWARD:
        GoHistory(id == CCommandTable::ID_GO_BACK ? -1 : 1);
        return;
    case CCommandTable::ID_PREFERENCES:
        if (RunOptionsDialog(GetWindow(), m_core.GetProjectMgr().GetCurrentProjectFile()))
            ApplyPageFont();
        return;
    case CCommandTable::ID_STATISTICS:
        ShowStatistics();
        return;
    case CCommandTable::ID_LINK_TO_PAGE:
        m_pEditorOps->InsertLinkToPage();
        return;
    case CCommandTable::ID_CHECK_LINKS:
        CLinkDialogs::CheckLinks(GetWindow(), m_core);
        return;
    case CCommandTable::ID_ABOUT:
        RunAboutDialog(GetWindow());
        return;
    case CCommandTable::ID_EXPORT:
        CExportDialog::Run(GetWindow(), m_core, m_pPage, m_viewKind == VIEW_PAGE && m_bPageShown);
        return;
    case CCommandTable::ID_PAGE_HISTORY:
        CHistoryDialog::Run(GetWindow(), m_core, m_pPage);
        return;
    case CCommandTable::ID_IMPORT_PAGES:
    case CCommandTable::ID_IMPORT_FOLDER: {
        RNode* folder = GetSelectedFolder();
        CImportDialog::Run(GetWindow(), m_core, folder ? folder : m_core.GetTreeMgr().GetCurrentFolder(),
                           id == CCommandTable::ID_IMPORT_FOLDER);
        return;
    }
    case CCommandTable::ID_NEW_PAGE_FROM_WEB: {
        RNode* folder = GetSelectedFolder();
        CaptureInto(folder ? folder : m_core.GetTreeMgr().GetCurrentFolder(), u"");
        return;
    }
    default:
        if (!RunSelectionCommand(id) && !RunRecentProjectCommand(id))
            RunEditCommand(id);
        return;
    }
}

RNode* CMainWindow::GetSelectedFolder() const
{
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    gpointer node = nullptr;
    if (gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(m_pTreeView)), &model, &iter))
        gtk_tree_model_get(model, &iter, TREE_NODE, &node, -1);
    return static_cast<RNode*>(node);
}

CUrlNode* CMainWindow::GetSelectedItem() const
{
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    gpointer item = nullptr;
    if (gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(m_pListView)), &model, &iter))
        gtk_tree_model_get(model, &iter, LIST_ITEM, &item, -1);
    return static_cast<CUrlNode*>(item);
}

// Starts editing the selected row's name in place.
static void EditSelectedRow(GtkWidget* view, GtkCellRenderer* cell)
{
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), &model, &iter))
        return;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    g_object_set(cell, "editable", TRUE, nullptr);
    gtk_widget_grab_focus(view);
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), path, gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0), TRUE);
    gtk_tree_path_free(path);
}

void CMainWindow::SelectFolderRow(RNode* folder)
{
    struct SFind {
        RNode* folder;
        GtkTreePath* path;
    } find{folder, nullptr};
    gtk_tree_model_foreach(GTK_TREE_MODEL(m_pTreeStore), +[](GtkTreeModel* model, GtkTreePath* path,
                                                            GtkTreeIter* iter, gpointer data) -> gboolean {
        auto* f = static_cast<SFind*>(data);
        gpointer node = nullptr;
        gtk_tree_model_get(model, iter, TREE_NODE, &node, -1);
        if (node != f->folder)
            return FALSE;
        f->path = gtk_tree_path_copy(path);
        return TRUE;
    }, &find);
    if (!find.path)
        return;
    m_bFilling = true;
    gtk_tree_view_expand_to_path(GTK_TREE_VIEW(m_pTreeView), find.path);
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(m_pTreeView), find.path, nullptr, FALSE);
    if (gtk_widget_get_realized(m_pTreeView))
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(m_pTreeView), find.path, nullptr, FALSE, 0, 0);
    m_bFilling = false;
    gtk_tree_path_free(find.path);
}

// An entry of the Recent Pages submenu: its folder, then the page.
bool CMainWindow::OpenRecentPage(int place)
{
    RNode* entry = m_core.GetRecentPages().GetFirst();
    for (int i = 0; entry && i < place; ++i)
        entry = entry->GetNext();
    CUrlNode* recent = entry ? CRecentPages::GetItem(entry) : nullptr;
    if (!recent || !recent->GetUrl())
        return false;
    std::u16string path = recent->GetUrl();
    tagOPENRESULT result = OpenPageAt(path);
    if (result == OPEN_GONE)
        m_core.GetRecentPages().OnPageGone(path);
    return result == OPEN_SHOWN;
}

// A page by its path in the project: its folder, then the page.
CMainWindow::tagOPENRESULT CMainWindow::OpenPageAt(const std::u16string& relative)
{
    RNode* folder = nullptr;
    CColctNode* colct = nullptr;
    CUrlNode* page = m_core.GetTreeMgr().FindPage(relative, &folder, &colct);
    return page && folder && colct ? OpenPage(folder, colct, page) : OPEN_GONE;
}

void CMainWindow::CaptureInto(RNode* folder, const std::u16string& url)
{
    CColctNode* colct = nullptr;
    if (CUrlNode* page = CCaptureCommand::Run(m_core.GetTreeMgr(), folder, url, &colct))
        OpenPage(folder, colct, page);
}

CMainWindow::tagOPENRESULT CMainWindow::OpenPage(RNode* folder, CColctNode* colct, CUrlNode* page)
{
    if (!m_core.GetPageMgr().ShowFolder(folder))
        return OPEN_REFUSED;
    return m_core.GetPageMgr().ShowItem(colct, page) ? OPEN_SHOWN : OPEN_REFUSED;
}

// Each page shown is remembered once, after the one on show; going back
// and then to another page forgets the pages ahead. Pages are known by
// their item and its identifier, so renames and moves do not lose them.
void CMainWindow::RememberShownPage()
{
    CUrlNode* page = m_core.GetPageMgr().GetCurrentPage();
    if (m_bHistoryMove || !page || !page->GetUUID())
        return;
    if (!m_history.empty() && m_history[m_historyPos].item == page)
        return;
    if (!m_history.empty())
        m_history.resize(m_historyPos + 1);
    m_history.push_back({page, page->GetUUID()});
    if (m_history.size() > kMaxHistory)
        m_history.erase(m_history.begin());
    m_historyPos = m_history.size() - 1;
}

// The entry's page when it is still an item of a loaded collection: the
// address is only compared until found there.
CUrlNode* CMainWindow::FindHistoryPage(const SHistoryEntry& entry, RNode** folder, CColctNode** colct) const
{
    for (RNode* candidate : m_core.GetTreeMgr().GetAllFolders()) {
        auto* data = static_cast<CFolderNode*>(candidate->GetData());
        CColctNode* loaded = data ? data->GetColctNode() : nullptr;
        for (RNode* node = loaded ? loaded->GetFirstRNode() : nullptr; node; node = node->GetNext()) {
            if (node->GetData() != entry.item)
                continue;
            auto* item = static_cast<CUrlNode*>(node->GetData());
            if (!item->GetUUID() || entry.uuid != item->GetUUID())
                return nullptr;
            *folder = candidate;
            *colct = loaded;
            return item;
        }
    }
    return nullptr;
}

// Go Back and Go Forward: the next remembered page that is still in the
// project; pages that have gone are forgotten on the way.
void CMainWindow::GoHistory(int step)
{
    while (!m_history.empty()) {
        long target = static_cast<long>(m_historyPos) + step;
        if (target < 0 || target >= static_cast<long>(m_history.size()))
            return;
        RNode* folder = nullptr;
        CColctNode* colct = nullptr;
        CUrlNode* page = FindHistoryPage(m_history[target], &folder, &colct);
        if (page) {
            m_bHistoryMove = true;
            tagOPENRESULT result = OpenPage(folder, colct, page);
            m_bHistoryMove = false;
            if (result == OPEN_SHOWN)
                m_historyPos = static_cast<size_t>(target);
            return;
        }
        m_history.erase(m_history.begin() + target);
        if (target < static_cast<long>(m_historyPos))
            --m_historyPos;
    }
}

bool CMainWindow::RunSelectionCommand(int id)
{
    if (id >= CCommandTable::kRecentPageFirst && id < CCommandTable::kRecentPageFirst + kMaxRecentPages) {
        OpenRecentPage(id - CCommandTable::kRecentPageFirst);
        return true;
    }
    switch (id) {
    case CCommandTable::ID_FOLDER_RENAME:
        EditSelectedRow(m_pTreeView, m_pTreeCell);
        return true;
    case CCommandTable::ID_ITEM_RENAME:
        EditSelectedRow(m_pListView, m_pTitleCell);
        return true;
    case CCommandTable::ID_ITEM_DESCRIPTION:
        ShowItemDescription();
        return true;
    case CCommandTable::ID_ITEM_DELETE:
        if (CUrlNode* item = GetSelectedItem())
            m_core.GetPageMgr().DeletePage(item);
        return true;
    case CCommandTable::ID_ITEM_FIND_FILE:
    case CCommandTable::ID_ITEM_OPEN_BROWSER: {
        CUrlNode* item = GetSelectedItem();
        RNode* folder = m_core.GetTreeMgr().GetCurrentFolder();
        if (!item || !folder || !item->HasUrl())
            return true;
        std::u16string file = m_core.GetTreeMgr().GetPageFilePath(folder, item);
        if (file.empty())
            return true;
        if (id == CCommandTable::ID_ITEM_FIND_FILE)
            UIPort().ShowInFileManager(file);
        else
            CAppSettings::Get()->OpenExternalUrl(U16(FileUri(file).c_str()));
        return true;
    }
    default:
        return false;
    }
}

gboolean CMainWindow::OnViewButton(GtkWidget* view, GdkEventButton* event, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_SECONDARY)
        return FALSE;
    GtkTreePath* path = nullptr;
    if (gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(view), static_cast<int>(event->x), static_cast<int>(event->y),
                                      &path, nullptr, nullptr, nullptr)) {
        // The row under the pointer becomes the one the menu works on.
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), path, nullptr, FALSE);
        gtk_tree_path_free(path);
    } else if (view == window->m_pListView) {
        return TRUE;  // the item list's menu needs an item
    }
    GtkWidget* menu = view == window->m_pTreeView ? window->m_pTreeMenu : window->m_pListMenu;
    gtk_widget_show_all(menu);
    gtk_menu_popup_at_pointer(GTK_MENU(menu), reinterpret_cast<GdkEvent*>(event));
    return TRUE;
}

void CMainWindow::OnFolderEdited(GtkCellRendererText* cell, gchar* path, gchar* text, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    g_object_set(cell, "editable", FALSE, nullptr);
    GtkTreeIter iter;
    if (!gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(window->m_pTreeStore), &iter, path))
        return;
    gpointer node = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(window->m_pTreeStore), &iter, TREE_NODE, &node, -1);
    auto* folder = static_cast<RNode*>(node);
    if (!folder)
        return;
    window->m_core.GetTreeMgr().RenameFolder(folder, U16(text));
    window->UpdateFileWatch();
    // The row shows the name the folder has now, renamed or not.
    const char16_t* name = folder->GetData() ? folder->GetData()->GetName() : nullptr;
    gtk_tree_store_set(window->m_pTreeStore, &iter, TREE_NAME, name ? U8(name).c_str() : "", -1);
}

void CMainWindow::OnTitleEdited(GtkCellRendererText* cell, gchar* path, gchar* text, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    g_object_set(cell, "editable", FALSE, nullptr);
    GtkTreeIter iter;
    if (!gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(window->m_pListStore), &iter, path))
        return;
    gpointer item = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(window->m_pListStore), &iter, LIST_ITEM, &item, -1);
    if (!item)
        return;
    window->m_core.GetPageMgr().RenamePage(static_cast<CUrlNode*>(item), U16(text));
    FillItemRow(window->m_pListStore, &iter, static_cast<CUrlNode*>(item));
    window->m_pListSort->Resort();
}

// The edit commands reach the focused text field or the page view.
bool CMainWindow::RunEditCommand(int id)
{
    GtkWidget* focus = gtk_window_get_focus(GetWindow());
    if (focus && GTK_IS_ENTRY(focus)) {
        switch (id) {
        case CCommandTable::ID_CUT: g_signal_emit_by_name(focus, "cut-clipboard"); return true;
        case CCommandTable::ID_COPY: g_signal_emit_by_name(focus, "copy-clipboard"); return true;
        case CCommandTable::ID_PASTE: g_signal_emit_by_name(focus, "paste-clipboard"); return true;
        case CCommandTable::ID_SELECT_ALL: gtk_editable_select_region(GTK_EDITABLE(focus), 0, -1); return true;
        case CCommandTable::ID_DELETE_SELECTION: gtk_editable_delete_selection(GTK_EDITABLE(focus)); return true;
        default: break;
        }
    }
    if (m_pEditorOps->Run(id, gtk_widget_has_focus(GTK_WIDGET(m_pPage))))
        return true;
    // Formatting, find and print work on the page wherever the focus is.
    if (m_pPageCommands->Run(id, m_viewKind == VIEW_PAGE && m_bPageShown))
        return true;
    // Only into the page when it has the focus: Del in the item list must
    // not delete text in the page.
    if (!gtk_widget_has_focus(GTK_WIDGET(m_pPage)))
        return false;
    const char* command = nullptr;
    switch (id) {
    case CCommandTable::ID_UNDO: command = WEBKIT_EDITING_COMMAND_UNDO; break;
    case CCommandTable::ID_REDO: command = WEBKIT_EDITING_COMMAND_REDO; break;
    case CCommandTable::ID_CUT: command = WEBKIT_EDITING_COMMAND_CUT; break;
    case CCommandTable::ID_COPY: command = WEBKIT_EDITING_COMMAND_COPY; break;
    case CCommandTable::ID_PASTE: command = WEBKIT_EDITING_COMMAND_PASTE; break;
    case CCommandTable::ID_SELECT_ALL: command = WEBKIT_EDITING_COMMAND_SELECT_ALL; break;
    case CCommandTable::ID_DELETE_SELECTION: command = "ForwardDelete"; break;
    default: return false;
    }
    webkit_web_view_execute_editing_command(m_pPage, command);
    return true;
}

// --- placement and panes

void CMainWindow::PlaceWindow()
{
    GdkRectangle screen{0, 0, 1024, 768};
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor)
        gdk_monitor_get_workarea(monitor, &screen);
    CQVRect rect = CWindowPlacement::GetMainWindowRect(screen.width, screen.height,
                                                       CAppSettings::Get()->GetLayout().GetMainWindow());
    m_normalRect = rect;
    gtk_window_set_default_size(GetWindow(), rect.width, rect.height);
    gtk_window_move(GetWindow(), screen.x + rect.x, screen.y + rect.y);
}

gboolean CMainWindow::OnConfigure(GtkWidget* widget, GdkEventConfigure*, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (!window->m_bMaximized) {
        int x = 0, y = 0, w = 0, h = 0;
        gtk_window_get_position(GTK_WINDOW(widget), &x, &y);
        gtk_window_get_size(GTK_WINDOW(widget), &w, &h);
        window->m_normalRect = CQVRect{x, y, w, h};
    }
    return FALSE;
}

gboolean CMainWindow::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self)
{
    static_cast<CMainWindow*>(self)->m_bMaximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    return FALSE;
}

void CMainWindow::OnAreaAllocate(GtkWidget*, GdkRectangle* area, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (area->width == window->m_nAreaWidth && area->height == window->m_nAreaHeight)
        return;
    window->m_nAreaWidth = area->width;
    window->m_nAreaHeight = area->height;
    // Children are resized after this allocation is over, not inside it.
    if (!window->m_placeIdle)
        window->m_placeIdle = g_idle_add(&CMainWindow::OnPlaceIdle, window);
}

gboolean CMainWindow::OnPlaceIdle(gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    window->m_placeIdle = 0;
    window->m_layout.Place(window->m_nAreaWidth, window->m_nAreaHeight);
    return G_SOURCE_REMOVE;
}

void CMainWindow::MovePane(CPaneLayout::Pane pane, const CPaneLayout::Rect& rect)
{
    GtkWidget* widget = m_panes[pane];
    if (!widget || !m_pArea)
        return;
    if (!rect.shown || rect.width <= 0 || rect.height <= 0) {
        gtk_widget_hide(widget);
        return;
    }
    gtk_layout_move(GTK_LAYOUT(m_pArea), widget, rect.x, rect.y);
    gtk_widget_set_size_request(widget, rect.width, rect.height);
    if (gtk_widget_get_visible(m_pWindow))
        gtk_widget_show_all(widget);
}

gboolean CMainWindow::OnSliderPress(GtkWidget* widget, GdkEventButton* event, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (event->button != 1)
        return FALSE;
    bool horizontal = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zandrel-horizontal")) != 0;
    window->m_dragSlider = static_cast<CPaneLayout::Pane>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zandrel-pane")));
    window->m_dragLast = horizontal ? event->x_root : event->y_root;
    return TRUE;
}

gboolean CMainWindow::OnSliderMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (window->m_dragSlider == CPaneLayout::kPaneCount)
        return FALSE;
    bool horizontal = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zandrel-horizontal")) != 0;
    double at = horizontal ? event->x_root : event->y_root;
    int moved = window->m_layout.DragSlider(window->m_dragSlider, static_cast<int>(at - window->m_dragLast));
    window->m_dragLast += moved;
    return TRUE;
}

gboolean CMainWindow::OnSliderRelease(GtkWidget*, GdkEventButton*, gpointer self)
{
    static_cast<CMainWindow*>(self)->m_dragSlider = CPaneLayout::kPaneCount;
    return TRUE;
}

// --- views

void CMainWindow::SetProjectState(bool open)
{
    m_bProjectOpen = open;
    UpdateFileWatch();
    m_history.clear();
    m_historyPos = 0;
    // The results and the tags point into the project.
    m_pTaskSearch->Clear();
    m_pTagBar->ShowTags(nullptr);
    m_pLinkedFrom->Update();
    if (open) {
        // The start page belongs to the state without a project.
        if (m_viewKind == VIEW_START)
            ClearPageView();
        return;
    }
    // The blank start state: no tree, no list, the start page.
    m_bFilling = true;
    gtk_tree_store_clear(m_pTreeStore);
    gtk_list_store_clear(m_pListStore);
    m_bFilling = false;
    m_pShownColct = nullptr;
    SetTitleText(u"");
    std::u16string start = m_core.GetFrontPage().GetStartPage();
    if (!FileExists(start))
        start = CAppSettings::Get()->GetDataFolders().GetStartPage();
    ShowOwnPage(start, VIEW_START);
}

void CMainWindow::ShowOwnPage(const std::u16string& file, tagVIEWKIND kind)
{
    if (FileExists(file)) {
        LoadFile(file, false);
        m_viewKind = kind;
    } else {
        ShowBlankText();
    }
}

// The core names the folder or project it shows; the window composes the
// whole title itself, from the page out to the program, so that it also
// follows renames and unsaved edits.
void CMainWindow::SetWindowTitle(const std::u16string&)
{
    UpdateWindowTitle();
}

void CMainWindow::SetPageModified(bool modified)
{
    if (modified == m_bModified)
        return;
    m_bModified = modified;
    UpdateWindowTitle();
}

void CMainWindow::UpdateWindowTitle()
{
    std::string title;
    auto add = [&title](const char16_t* part) {
        if (part && *part)
            title += U8(part) + kTitleSeparator;
    };
    if (m_bProjectOpen) {
        CUrlNode* page = m_bPageShown ? m_core.GetPageMgr().GetCurrentPage() : nullptr;
        if (page && m_bModified)
            title += kUnsavedMark;
        if (page)
            add(page->GetName());
        CFolderTreeMgr& tree = m_core.GetTreeMgr();
        RNode* folder = tree.GetCurrentFolder();
        // The top folder bears the project's name: said once.
        if (folder && folder != tree.GetRoot() && folder->GetData())
            add(static_cast<CFolderNode*>(folder->GetData())->GetName());
        CZandrelProject* project = m_core.GetProjectMgr().GetCurrentProject();
        add(project ? project->GetName() : nullptr);
    }
    title += "Zandrel";
    gtk_window_set_title(GetWindow(), title.c_str());
}

// Folders the user closed stay closed when the tree is shown again; a new
// project's tree opens whole.
void CMainWindow::ShowTree(RNode* root, RNode* selected)
{
    UpdateFileWatch();  // a folder renamed or moved has a new directory
    struct SWalk {
        GtkTreeView* view;
        std::set<const void*>* closed;
        bool collect;
    } walk{GTK_TREE_VIEW(m_pTreeView), &m_closedFolders, true};
    auto visit = +[](GtkTreeModel* model, GtkTreePath* path, GtkTreeIter* iter, gpointer data) -> gboolean {
        auto* w = static_cast<SWalk*>(data);
        if (!gtk_tree_model_iter_has_child(model, iter))
            return FALSE;
        gpointer node = nullptr;
        gtk_tree_model_get(model, iter, TREE_NODE, &node, -1);
        if (w->collect && !gtk_tree_view_row_expanded(w->view, path))
            w->closed->insert(node);
        else if (!w->collect && w->closed->count(node))
            gtk_tree_view_collapse_row(w->view, path);
        return FALSE;
    };
    m_closedFolders.clear();
    if (root && root == m_pShownRoot)
        gtk_tree_model_foreach(GTK_TREE_MODEL(m_pTreeStore), visit, &walk);
    m_pShownRoot = root;

    m_bFilling = true;
    gtk_tree_store_clear(m_pTreeStore);
    GtkTreeIter found;
    bool hasFound = false;
    if (root)
        AddTreeLevel(m_pTreeStore, nullptr, root, selected, &found, &hasFound);
    gtk_tree_view_expand_all(GTK_TREE_VIEW(m_pTreeView));
    walk.collect = false;
    gtk_tree_model_foreach(GTK_TREE_MODEL(m_pTreeStore), visit, &walk);
    if (hasFound) {
        GtkTreePath* path = gtk_tree_model_get_path(GTK_TREE_MODEL(m_pTreeStore), &found);
        gtk_tree_view_expand_to_path(GTK_TREE_VIEW(m_pTreeView), path);
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(m_pTreeView), path, nullptr, FALSE);
        gtk_tree_path_free(path);
    }
    m_bFilling = false;
}

GtkListStore* CMainWindow::NewItemStore()
{
    return gtk_list_store_new(LIST_COLUMNS, G_TYPE_STRING, G_TYPE_INT, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_POINTER);
}

void CMainWindow::FillItemList(GtkListStore* store, CColctNode* colct)
{
    gtk_list_store_clear(store);
    for (RNode* node = colct ? colct->GetFirstRNode() : nullptr; node; node = node->GetNext()) {
        if (node->GetType() != NT_URL || !node->GetData())
            continue;
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        FillItemRow(store, &iter, static_cast<CUrlNode*>(node->GetData()));
    }
}

void CMainWindow::FillItemRow(GtkListStore* store, GtkTreeIter* iter, CUrlNode* item)
{
    const char16_t* name = item->GetName();
    long added = 0, modified = 0;
    item->GetNodeStat()->GetStatTime(&added, &modified, nullptr);
    gtk_list_store_set(store, iter, LIST_TITLE, name ? U8(name).c_str() : "", LIST_FLAG,
                       item->GetNodeStat()->GetFlag(), LIST_ADDED, FormatTime(added).c_str(), LIST_MODIFIED,
                       FormatTime(modified).c_str(), LIST_ITEM, item, -1);
}

void CMainWindow::ShowCollection(CColctNode* colct)
{
    CTiming timing("show-collection");
    // Until the loop is idle again, for the view's own work on the rows.
    CTiming* untilIdle = CTiming::IsOn() ? new CTiming("show-collection idle") : nullptr;
    m_bFilling = true;
    m_pShownColct = colct;
    {
        CListFill fill(GTK_TREE_VIEW(m_pListView));
        FillItemList(m_pListStore, colct);
        m_pListSort->Resort();
    }
    m_bFilling = false;
    // The folder page on show speaks of the list as it is now.
    int rows = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(m_pListStore), nullptr);
    timing.Note("rows", rows);
    if (untilIdle)
        CTiming::PrintWhenIdle(untilIdle);
    bool withPages = rows > 0;
    if (m_viewKind == VIEW_FOLDER && m_bProjectOpen && withPages != m_bFolderWithPages)
        ShowFolderPage();
    UpdateFileWatch();
}

void CMainWindow::UpdateFileWatch()
{
    m_pFileWatch->Watch(m_bProjectOpen ? m_core.GetPageMgr().GetWatchedFolders() : std::vector<std::u16string>());
}

bool CMainWindow::FindItemRow(CUrlNode* item, GtkTreeIter* iter)
{
    GtkTreeModel* model = GTK_TREE_MODEL(m_pListStore);
    for (bool ok = gtk_tree_model_get_iter_first(model, iter); ok; ok = gtk_tree_model_iter_next(model, iter)) {
        gpointer row = nullptr;
        gtk_tree_model_get(model, iter, LIST_ITEM, &row, -1);
        if (row == item)
            return true;
    }
    return false;
}

void CMainWindow::RefreshItem(CUrlNode* item)
{
    if (item && item == m_core.GetPageMgr().GetCurrentPage()) {
        m_pTagBar->ShowTags(item);
        UpdateWindowTitle();
    }
    GtkTreeIter iter;
    if (item && FindItemRow(item, &iter)) {
        FillItemRow(m_pListStore, &iter, item);
        m_pListSort->Resort();
        return;
    }
    // A new item of the shown collection: show the list again.
    if (item && m_pShownColct)
        ShowCollection(m_pShownColct);
}

void CMainWindow::SelectItem(CUrlNode* item)
{
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(m_pListView));
    m_bFilling = true;
    GtkTreeIter iter;
    if (item && FindItemRow(item, &iter)) {
        GtkTreePath* path = gtk_tree_model_get_path(GTK_TREE_MODEL(m_pListStore), &iter);
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(m_pListView), path, nullptr, FALSE);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(selection);
    }
    m_bFilling = false;
}

void CMainWindow::LoadFile(const std::u16string& file, bool editable)
{
    if (!editable) {
        ShowOwnView();
        LoadOwnView(std::nullopt, FileUri(file));
        return;
    }
    gtk_stack_set_visible_child(GTK_STACK(m_pViews), GTK_WIDGET(m_pPage));
    m_pEditorOps->BeforeLoad(true);
    webkit_web_view_set_editable(m_pPage, TRUE);
    webkit_web_view_load_uri(m_pPage, FileUri(file).c_str());
    m_bPageShown = true;
    SetPageModified(false);
}

// The user's page goes from the page view, so nothing stale can be
// printed, searched or saved from it.
void CMainWindow::ShowOwnView()
{
    bool pageOnShow = gtk_stack_get_visible_child(GTK_STACK(m_pViews)) == GTK_WIDGET(m_pPage);
    m_viewKind = VIEW_BLANK;  // until the own page says what it is
    m_bPageShown = false;
    SetPageModified(false);
    gtk_stack_set_visible_child(GTK_STACK(m_pViews), GTK_WIDGET(m_pOwnView));
    if (pageOnShow) {
        m_pEditorOps->BeforeLoad(false);
        webkit_web_view_set_editable(m_pPage, FALSE);
        webkit_web_view_load_html(m_pPage, "<html></html>", "about:blank");
    }
}

void CMainWindow::ShowBlankText()
{
    ShowOwnView();
    // The core's words for an empty view, its line break made HTML.
    std::string text = U8Text(CKrvCommands::kBlankViewText);
    gchar* escaped = g_markup_escape_text(text.c_str(), -1);
    std::string body = escaped;
    g_free(escaped);
    for (size_t at = body.find('\n'); at != std::string::npos; at = body.find('\n', at))
        body.replace(at, 1, "<br>");
    LoadOwnView("<html><body><p>" + body + "</p></body></html>", {});
    m_viewKind = VIEW_BLANK;
    m_bPageShown = false;
    SetPageModified(false);
}

// Nothing to edit: the folder page while a project is open, else the
// blank view.
void CMainWindow::ClearPageView()
{
    m_pTagBar->ShowTags(nullptr);
    m_pLinkedFrom->Update();
    if (m_bProjectOpen)
        ShowFolderPage();
    else
        ShowBlankText();
    UpdateWindowTitle();
}

// The folder page offers to make the first page; while the list holds
// pages it asks the user to choose one instead.
void CMainWindow::ShowFolderPage()
{
    std::u16string file = m_core.GetFrontPage().GetFolderPage();
    m_bFolderWithPages = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(m_pListStore), nullptr) > 0;
    gchar* bytes = nullptr;
    if (!m_bFolderWithPages || !g_file_get_contents(U8(file).c_str(), &bytes, nullptr, nullptr)) {
        ShowOwnPage(file, VIEW_FOLDER);
        return;
    }
    std::string html = bytes;
    g_free(bytes);
    size_t at = html.find(kNoPagesText);
    if (at != std::string::npos)
        html.replace(at, std::strlen(kNoPagesText), kChoosePageText);
    ShowOwnView();
    LoadOwnView(std::move(html), FileUri(file));
    m_viewKind = VIEW_FOLDER;
}

void CMainWindow::LoadOwnView(std::optional<std::string> html, std::string uri)
{
    m_ownHtml = std::move(html);
    m_ownUri = std::move(uri);
    if (!m_ownViewIdle)
        m_ownViewIdle = g_idle_add_full(G_PRIORITY_HIGH_IDLE, &CMainWindow::OnOwnViewIdle, this, nullptr);
}

gboolean CMainWindow::OnOwnViewIdle(gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    window->m_ownViewIdle = 0;
    if (!window->m_ownHtml)
        webkit_web_view_load_uri(window->m_pOwnView, window->m_ownUri.c_str());
    else
        webkit_web_view_load_html(window->m_pOwnView, window->m_ownHtml->c_str(),
                                  window->m_ownUri.empty() ? nullptr : window->m_ownUri.c_str());
    window->m_ownHtml.reset();
    window->m_ownUri.clear();
    return G_SOURCE_REMOVE;
}

void CMainWindow::ShowPage(const std::u16string& file)
{
    LoadFile(file, true);
    m_viewKind = VIEW_PAGE;
    m_pTagBar->ShowTags(m_core.GetPageMgr().GetCurrentPage());
    m_pLinkedFrom->Update();
    RememberShownPage();
    UpdateWindowTitle();
    UpdateFileWatch();
}

// A new page before its first save: an empty document to type into.
void CMainWindow::ShowEmptyPage()
{
    gtk_stack_set_visible_child(GTK_STACK(m_pViews), GTK_WIDGET(m_pPage));
    webkit_web_view_set_editable(m_pPage, TRUE);
    m_pEditorOps->BeforeLoad(true);
    std::string style = U8(COptions::GetNewPageStyle(CAppSettings::Get()->GetPageProfile()));
    std::string body = style.empty() ? "<body>" : "<body style=\"" + style + "\">";
    webkit_web_view_load_html(m_pPage, ("<html><head><meta charset=\"utf-8\"></head>" + body + "</body></html>").c_str(),
                              "about:blank");
    m_viewKind = VIEW_PAGE;
    m_bPageShown = true;
    SetPageModified(false);
    m_pTagBar->ShowTags(m_core.GetPageMgr().GetCurrentPage());
    m_pLinkedFrom->Update();
    RememberShownPage();
    UpdateWindowTitle();
}

bool CMainWindow::GetPageDocument(std::string* bytes, int* codePage)
{
    if (!m_bPageShown)
        return false;
    // The core needs the document now; the page's process answers soon,
    // and a page process that has gone must not hang the window.
    std::optional<std::string> html =
        m_pEditorOps->Evaluate("'<!DOCTYPE html>\\n' + document.documentElement.outerHTML", kDocumentWaitSeconds);
    if (!html) {
        g_printerr("Zandrel: the page did not hand over its document\n");
        return false;
    }
    *bytes = std::move(*html);
    *codePage = kCodePageUtf8;
    return true;
}

std::u16string CMainWindow::GetTitleText() const
{
    return U16(gtk_entry_get_text(GTK_ENTRY(m_pTitle)));
}

void CMainWindow::SetTitleText(const std::u16string& title)
{
    g_signal_handler_block(m_pTitle, m_titleChangedId);
    gtk_entry_set_text(GTK_ENTRY(m_pTitle), U8(title).c_str());
    g_signal_handler_unblock(m_pTitle, m_titleChangedId);
}

void CMainWindow::OnTitleChanged(GtkEditable* editable, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    std::u16string text = U16(gtk_entry_get_text(GTK_ENTRY(editable)));
    std::u16string before = text;
    CPageTitle::OnTitleTextChanged(text);
    if (text != before) {
        window->SetTitleText(text);
        gtk_editable_set_position(editable, -1);
    }
}

void CMainWindow::OnPageEdited(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self)
{
    static_cast<CMainWindow*>(self)->SetPageModified(true);
}

namespace {

struct SLinkRun {
    CMainCore* core;
    CKrvCommands::tagKRVVIEW view;
    std::u16string url;
};

}  // namespace

// Links the user follows: "krv:" commands of the start and folder pages
// and web addresses. They run after the view has been told to stay, since
// a command may load another page into it.
gboolean CMainWindow::OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                     WebKitPolicyDecisionType type, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitNavigationType how = webkit_navigation_action_get_navigation_type(action);
    bool ownView = view == window->m_pOwnView;
    if (!ownView && window->m_viewKind == VIEW_PAGE && type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
        window->m_pEditorOps->GuardNavigation(decision))
        return TRUE;
    if (how != WEBKIT_NAVIGATION_TYPE_LINK_CLICKED && how != WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED &&
        type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    std::string url = uri ? uri : "";
    bool krv = CStringTool::StartsWithNoCase(url, "krv:");
    bool web = CStringTool::StartsWithNoCase(url, "http");
    bool ownPage = ownView && (window->m_viewKind == VIEW_START || window->m_viewKind == VIEW_FOLDER);
    if (!(web || (krv && ownPage)))
        return FALSE;
    webkit_policy_decision_ignore(decision);
    auto* run = new SLinkRun{&window->m_core,
                             window->m_viewKind == VIEW_START ? CKrvCommands::VIEW_START : CKrvCommands::VIEW_FOLDER,
                             U16(url.c_str())};
    g_idle_add(+[](gpointer data) -> gboolean {
        auto* link = static_cast<SLinkRun*>(data);
        link->core->GetKrvCommands().OnBeforeNavigate(link->view, link->url);
        delete link;
        return G_SOURCE_REMOVE;
    }, run);
    return TRUE;
}

void CMainWindow::OnTreeSelection(GtkTreeSelection* selection, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (window->m_bFilling)
        return;
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(selection, &model, &iter))
        return;
    gpointer node = nullptr;
    gtk_tree_model_get(model, &iter, TREE_NODE, &node, -1);
    if (node)
        window->m_core.GetPageMgr().ShowFolder(static_cast<RNode*>(node));
}

void CMainWindow::OnListSelection(GtkTreeSelection* selection, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (window->m_bFilling || !window->m_pShownColct)
        return;
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(selection, &model, &iter))
        return;
    gpointer item = nullptr;
    gtk_tree_model_get(model, &iter, LIST_ITEM, &item, -1);
    if (item)
        window->m_core.GetPageMgr().ShowItem(window->m_pShownColct, static_cast<CUrlNode*>(item));
}

// --- timers and shut-down

gboolean CMainWindow::OnStartPageTimer(gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    window->m_startTimer = 0;
    window->m_core.OnStartPageTimer();
    return G_SOURCE_REMOVE;
}

gboolean CMainWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self)
{
    static_cast<CMainWindow*>(self)->RequestClose();
    return TRUE;  // the window goes when the shut-down is done
}

void CMainWindow::RequestClose()
{
    if (m_bClosing)
        return;
    if (!m_core.CloseProjectForExit())
        return;
    m_bClosing = true;
    if (m_startTimer) {
        g_source_remove(m_startTimer);
        m_startTimer = 0;
    }
    m_layout.SaveSizes(CAppSettings::Get()->GetLayout());
    m_core.SaveSettingsForExit(m_normalRect);
    m_pShutdown = m_core.StopThreads();
    gtk_widget_hide(m_pWindow);
    g_idle_add(&CMainWindow::OnShutdownPass, this);
}

gboolean CMainWindow::OnShutdownPass(gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    // One pass per trip through the loop; each waits its few milliseconds.
    if (window->m_pShutdown && !window->m_pShutdown->Pass())
        return G_SOURCE_CONTINUE;
    window->FinishClose();
    return G_SOURCE_REMOVE;
}

void CMainWindow::FinishClose()
{
    m_pShutdown.reset();
    gtk_main_quit();
}

// --- page title, statistics, preferences

void CMainWindow::ApplyTypedTitle()
{
    CUrlNode* page = m_core.GetPageMgr().GetCurrentPage();
    if (!page)
        return;
    std::u16string typed = GetTitleText();
    const char16_t* name = page->GetName();
    if (typed == (name ? name : u""))
        return;
    // A refused title is put back by the page manager.
    m_core.GetPageMgr().RenamePage(page, typed);
    RefreshItem(page);
}

void CMainWindow::OnTitleActivate(GtkEntry*, gpointer self)
{
    static_cast<CMainWindow*>(self)->ApplyTypedTitle();
}

void CMainWindow::ShowStatistics()
{
    CZandrelProject* project = m_core.GetProjectMgr().GetCurrentProject();
    if (!project) {
        ShowMessage(u"No Project");
        return;
    }
    const char16_t* name = project->GetName();
    RunStatisticsDialog(GetWindow(), name ? name : u"", CProjectStats::Collect(m_core.GetTreeMgr()));
}

// The description is edited in the tag-it form, for the row's page.
void CMainWindow::ShowItemDescription()
{
    CUrlNode* item = GetSelectedItem();
    if (!item || !m_pShownColct)
        return;
    if (item != m_core.GetPageMgr().GetCurrentPage() && !m_core.GetPageMgr().ShowItem(m_pShownColct, item))
        return;
    m_core.GetTagsMgr().TagIt();
}

void CMainWindow::ApplyPageFont()
{
    const CPageProfile& profile = CAppSettings::Get()->GetPageProfile();
    WebKitSettings* settings = webkit_web_view_get_settings(m_pPage);
    if (!profile.GetFontFlag1()) {
        // The engine's own defaults.
        webkit_settings_set_default_font_family(settings, "sans-serif");
        webkit_settings_set_default_font_size(settings, 16);
        return;
    }
    webkit_settings_set_default_font_family(settings, U8(profile.GetFontFace()).c_str());
    // Points to the engine's pixels at 96 per inch.
    long points = CStringTool::ReadLong(std::u16string_view(profile.GetFontSize()), 6, 72);
    webkit_settings_set_default_font_size(settings, static_cast<guint32>(points * 96 / 72));
}

// --- the start page's recent projects

void CMainWindow::FillRecentProjects()
{
    std::string list;
    CRecentProjects& recent = m_core.GetProjectMgr().GetRecentProjects();
    for (RNode* entry = recent.GetFirst(); entry; entry = entry->GetNext()) {
        CUrlNode* item = CRecentProjects::GetItem(entry);
        if (!item || !item->GetUrl())
            continue;
        if (!list.empty())
            list += ',';
        list += CHtmlEscape::ScriptString(item->GetUrl());
    }
    std::string script = "if (typeof setRecentProjects === 'function') setRecentProjects([" + list + "]);";
    webkit_web_view_evaluate_javascript(m_pOwnView, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

// The words of a page search, marked in the page it opened: now, and again
// once the page has loaded when it was loading.
void CMainWindow::MarkInPage()
{
    WebKitFindController* find = webkit_web_view_get_find_controller(m_pPage);
    if (m_mark.empty())
        return;
    if (CTiming::IsOn() && !g_object_get_data(G_OBJECT(find), "zandrel-timed")) {
        // How many the view marked, for measurements and tests.
        g_object_set_data(G_OBJECT(find), "zandrel-timed", find);
        g_signal_connect(find, "found-text", G_CALLBACK(+[](WebKitFindController*, guint count, gpointer) {
                             CTiming("page-mark").Note("matches", count);
                         }),
                         nullptr);
    }
    webkit_find_controller_search(find, U8(m_mark).c_str(),
                                  WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND, G_MAXUINT);
}

void CMainWindow::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (view == window->m_pPage && event == WEBKIT_LOAD_FINISHED && !window->m_mark.empty()) {
        window->MarkInPage();
        window->m_mark.clear();
    }
    if (view == window->m_pPage)
        window->m_pEditorOps->OnLoadChanged(event);
    else if (event == WEBKIT_LOAD_FINISHED && window->m_viewKind == VIEW_START)
        window->FillRecentProjects();
}

// A recent project's link gets the recent projects menu; the own pages
// get no menu of the engine's.
gboolean CMainWindow::OnContextMenu(WebKitWebView* view, WebKitContextMenu* engineMenu, GdkEvent* event,
                                    WebKitHitTestResult* hit, gpointer self)
{
    auto* window = static_cast<CMainWindow*>(self);
    if (view == window->m_pPage) {
        window->m_pEditorOps->AdjustContextMenu(engineMenu);
        return FALSE;
    }
    static const char kOpen[] = "krv://zandrel/open?file=";
    const char* link = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : nullptr;
    if (window->m_viewKind != VIEW_START || !link || !CStringTool::StartsWithNoCase(link, kOpen))
        return TRUE;
    std::u16string path;
    if (!CKrvCommands::DecodePercent(U16(link + sizeof kOpen - 1), &path))
        return TRUE;
    window->m_menuProject = path;
    gtk_widget_show_all(window->m_pProjectMenu);
    gtk_menu_popup_at_pointer(GTK_MENU(window->m_pProjectMenu), event);
    return TRUE;
}

bool CMainWindow::RunRecentProjectCommand(int id)
{
    if (id != CCommandTable::ID_PROJECT_FIND_FOLDER && id != CCommandTable::ID_PROJECT_REMOVE)
        return false;
    if (m_menuProject.empty())
        return true;
    if (id == CCommandTable::ID_PROJECT_FIND_FOLDER) {
        UIPort().ShowInFileManager(m_menuProject);
        return true;
    }
    CRecentProjects& recent = m_core.GetProjectMgr().GetRecentProjects();
    if (RNode* entry = recent.Find(m_menuProject))
        recent.Remove(entry);
    m_menuProject.clear();
    if (m_viewKind == VIEW_START)
        FillRecentProjects();
    return true;
}
