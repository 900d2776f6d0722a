#pragma once

// The main window: the menu bar built from the command table, the panes
// laid out by CPaneLayout, the views the core refreshes, and the order of
// start-up and shut-down around CMainCore.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/shell/CPaneLayout.h"

class CColctNode;
class CEditorOps;
class CFileWatch;
class CFlagColumn;
class CListSort;
class CFormatBar;
class CMainCore;
class CPageCommands;
class CShutdownWait;
class CLinkedFromBar;
class CTagBar;
class CTaskPane;
class CTreeDrag;
class CUrlNode;
class RNode;

class CMainWindow {
public:
    explicit CMainWindow(CMainCore& core);
    ~CMainWindow();
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // Makes, places and shows the window, then runs the start-up project
    // step for `project` ("" for none) and starts the start-page timer.
    void Open(const std::u16string& project);
    GtkWindow* GetWindow() const { return GTK_WINDOW(m_pWindow); }

    // A menu command or accelerator: the core first, then what only the
    // window can do.
    void OnCommand(int id);
    // The close request: the project, the settings, then the threads'
    // wait; the main loop ends when the wait is over.
    void RequestClose();

    // The views of the user-interface port.
    void SetProjectState(bool open);
    void SetWindowTitle(const std::u16string& title);
    // "Page — Folder — Project — Zandrel", marked while the page has
    // unsaved edits.
    void UpdateWindowTitle();
    void ShowTree(RNode* root, RNode* selected);
    void ShowCollection(CColctNode* colct);
    void ClearPageView();
    bool GetPageDocument(std::string* bytes, int* codePage);
    bool IsPageModified() const { return m_bModified; }
    void SetPageModified(bool modified);
    void ShowPage(const std::u16string& file);
    void ShowEmptyPage();
    std::u16string GetTitleText() const;
    void SetTitleText(const std::u16string& title);
    void RefreshItem(CUrlNode* item);
    void SelectItem(CUrlNode* item);
    // Selects the folder's row quietly, opening and scrolling to it.
    void SelectFolderRow(RNode* folder);
    // Drag and drop between the item list and the folder tree.
    CTreeDrag* GetTreeDrag() const { return m_pTreeDrag.get(); }
    // The item list's model, and its rows for the items of `colct` (null
    // for none), filled without a window.
    static GtkListStore* NewItemStore();
    static void FillItemList(GtkListStore* store, CColctNode* colct);

private:
    struct SCommand;

    void BuildWidgets();
    GtkWidget* BuildMenuBar();
    GtkWidget* BuildMenu(int menu);
    GtkWidget* MakeMenuItem(const std::u16string& caption, int id, bool enabled);
    void FillRecentPages(GtkWidget* submenu);
    void BindAccelerators();
    // The folder tree's and the item list's commands that need their
    // selection; false for any other.
    bool RunSelectionCommand(int id);
    CUrlNode* GetSelectedItem() const;
    bool OpenRecentPage(int place);
    enum tagOPENRESULT { OPEN_SHOWN, OPEN_REFUSED, OPEN_GONE };
    tagOPENRESULT OpenPageAt(const std::u16string& relative);
    tagOPENRESULT OpenPage(RNode* folder, CColctNode* colct, CUrlNode* page);
    // Captures the page at `url` into `folder` and shows it; asks for the
    // address when `url` is empty.
    void CaptureInto(RNode* folder, const std::u16string& url);
    void MarkInPage();
    void RememberShownPage();
    void GoHistory(int step);
    RNode* GetSelectedFolder() const;
    static gboolean OnViewButton(GtkWidget* view, GdkEventButton* event, gpointer self);
    static void OnFolderEdited(GtkCellRendererText* cell, gchar* path, gchar* text, gpointer self);
    static void OnTitleEdited(GtkCellRendererText* cell, gchar* path, gchar* text, gpointer self);
    void PlaceWindow();
    void MovePane(CPaneLayout::Pane pane, const CPaneLayout::Rect& rect);
    GtkWidget* MakeSlider(CPaneLayout::Pane pane, bool horizontal);
    void LoadFile(const std::u16string& file, bool editable);
    void ShowBlankText();
    bool RunEditCommand(int id);
    static void FillItemRow(GtkListStore* store, GtkTreeIter* iter, CUrlNode* item);
    bool FindItemRow(CUrlNode* item, GtkTreeIter* iter);
    void FinishClose();
    // The title typed in the title box becomes the current page's.
    void ApplyTypedTitle();
    void ShowStatistics();
    void ShowItemDescription();
    // The page font of the settings, when they ask for it, as the view's
    // default font.
    void ApplyPageFont();
    // The start page's "Recent Projects" list, newest first.
    void FillRecentProjects();
    bool RunRecentProjectCommand(int id);
    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent* event, WebKitHitTestResult* hit,
                                  gpointer self);
    static void OnTitleActivate(GtkEntry*, gpointer self);

    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer self);
    static gboolean OnMenuKey(GtkWidget* menu, GdkEventKey* event, gpointer self);
    static void OnRecentOpen(GtkMenuItem*, gpointer self);
    static void OnMenuActivate(GtkMenuItem* item, gpointer data);
    static gboolean OnAccel(GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer data);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer self);
    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
    static void OnAreaAllocate(GtkWidget*, GdkRectangle* area, gpointer self);
    static gboolean OnPlaceIdle(gpointer self);
    static gboolean OnSliderPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnSliderMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
    static gboolean OnSliderRelease(GtkWidget*, GdkEventButton*, gpointer self);
    static void OnTreeSelection(GtkTreeSelection* selection, gpointer self);
    static void OnListSelection(GtkTreeSelection* selection, gpointer self);
    static void OnTitleChanged(GtkEditable* editable, gpointer self);
    static void OnPageEdited(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self);
    static gboolean OnStartPageTimer(gpointer self);
    static gboolean OnShutdownPass(gpointer self);

    CMainCore& m_core;
    GtkWidget* m_pWindow = nullptr;
    GtkWidget* m_pArea = nullptr;  // a GtkLayout: children placed by hand
    GtkAccelGroup* m_pAccels = nullptr;
    GtkWidget* m_pRecentMenu = nullptr;
    GtkWidget* m_pTreeMenu = nullptr;
    GtkWidget* m_pListMenu = nullptr;
    GtkWidget* m_pProjectMenu = nullptr;
    // The recent project whose menu is open.
    std::u16string m_menuProject;
    GtkCellRenderer* m_pTreeCell = nullptr;
    GtkCellRenderer* m_pTitleCell = nullptr;
    GtkWidget* m_pTreeView = nullptr;
    GtkTreeStore* m_pTreeStore = nullptr;
    GtkWidget* m_pListView = nullptr;
    GtkListStore* m_pListStore = nullptr;
    GtkWidget* m_pTitle = nullptr;
    gulong m_titleChangedId = 0;
    WebKitWebContext* m_pWebContext = nullptr;
    WebKitWebView* m_pPage = nullptr;     // the user's pages
    WebKitWebView* m_pOwnView = nullptr;  // the start, folder and blank pages
    GtkWidget* m_pViews = nullptr;        // shows one of the two
    std::unique_ptr<CPageCommands> m_pPageCommands;
    std::unique_ptr<CEditorOps> m_pEditorOps;
    GtkWidget* m_pTaskPane = nullptr;
    std::unique_ptr<CTaskPane> m_pTaskSearch;
    std::unique_ptr<CFlagColumn> m_pFlagColumn;
    std::unique_ptr<CListSort> m_pListSort;
    std::unique_ptr<CTagBar> m_pTagBar;
    std::unique_ptr<CLinkedFromBar> m_pLinkedFrom;
    std::unique_ptr<CFormatBar> m_pFormatBar;
    GtkWidget* m_panes[CPaneLayout::kPaneCount] = {};
    std::vector<std::unique_ptr<SCommand>> m_commands;
    CPaneLayout m_layout;

    // What the page view shows: its links are handled by what it is.
    enum tagVIEWKIND { VIEW_BLANK, VIEW_START, VIEW_FOLDER, VIEW_PAGE };
    tagVIEWKIND m_viewKind = VIEW_BLANK;
    void ShowOwnPage(const std::u16string& file, tagVIEWKIND kind);
    void ShowOwnView();
    void ShowFolderPage();
    // Watches the folder on show for files other programs change.
    void UpdateFileWatch();
    std::unique_ptr<CFileWatch> m_pFileWatch;
    // Loads the program's own page into its view once the main loop turns,
    // before anything is drawn: a launch that opens a project replaces the
    // start page and the empty folder page within one turn, and only the
    // last page is loaded. Without `html`, `uri` is loaded.
    void LoadOwnView(std::optional<std::string> html, std::string uri);
    static gboolean OnOwnViewIdle(gpointer self);
    std::optional<std::string> m_ownHtml;
    std::string m_ownUri;
    guint m_ownViewIdle = 0;
    bool m_bFolderWithPages = false;
    bool m_bProjectOpen = false;
    CColctNode* m_pShownColct = nullptr;
    // The root shown in the tree and, while it is, the folders the user
    // closed (compared by address only).
    RNode* m_pShownRoot = nullptr;
    std::set<const void*> m_closedFolders;
    bool m_bFilling = false;      // the views are being filled: no selection events
    bool m_bModified = false;
    bool m_bPageShown = false;
    bool m_bMaximized = false;
    CQVRect m_normalRect;
    int m_nAreaWidth = -1;
    int m_nAreaHeight = -1;
    guint m_placeIdle = 0;
    guint m_startTimer = 0;
    // Slider drag: the pane being dragged and the last pointer position.
    CPaneLayout::Pane m_dragSlider = CPaneLayout::kPaneCount;
    double m_dragLast = 0;
    bool m_bClosing = false;
    // The pages shown in this project and the one on show.
    struct SHistoryEntry {
        const CUrlNode* item;  // compared only, until found in a collection
        std::u16string uuid;
    };
    CUrlNode* FindHistoryPage(const SHistoryEntry& entry, RNode** folder, CColctNode** colct) const;
    std::vector<SHistoryEntry> m_history;
    size_t m_historyPos = 0;
    bool m_bHistoryMove = false;  // going back or forward: nothing to remember
    std::unique_ptr<CShutdownWait> m_pShutdown;
    std::unique_ptr<CTreeDrag> m_pTreeDrag;
    // A page search's words, marked in the page once it has loaded.
    std::u16string m_mark;
};
