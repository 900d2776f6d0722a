#pragma once

// What the program adds to the page view's own editing: a paste that notes
// its source and keeps its pictures with the page, preformatted text and
// Enter inside it, images, tables and their editing (Tab between cells,
// rows and columns from the context menu), table borders, dropped links,
// and the guard that keeps another document from replacing the page. The
// texts come from CEditorText; this class reads the desktop and drives the
// view.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main/CPasteImages.h"

class CMainCore;

class CEditorOps {
public:
    // What the window tells the operations, and is told by them.
    struct CHost {
        // The view shows a page of the user's that may be changed.
        std::function<bool()> isUserPage;
        // An operation changed the page.
        std::function<void()> edited;
        // The view finished loading another document than the page's: it
        // must not be saved over the page.
        std::function<void()> pageLost;
    };

    CEditorOps(CMainCore& core, GtkWindow* parent, WebKitWebView* view, CHost host);
    ~CEditorOps();
    CEditorOps(const CEditorOps&) = delete;
    CEditorOps& operator=(const CEditorOps&) = delete;

    // Runs `id` when it is one of these commands; `focused` says whether
    // the view has the keyboard focus (a paste goes only there). False for
    // other commands.
    bool Run(int id, bool focused);

    // The text a page script posted to a message handler; none for
    // another kind of value.
    static std::optional<std::string> MessageText(WebKitJavascriptResult* result);

    // Before the window loads a document into the page view: whether it is
    // the user's page, whose loads the guard watches.
    void BeforeLoad(bool userPage);

    // Runs a script in the page and waits up to `seconds` for its result
    // as text; none when it failed or the page did not answer in time.
    std::optional<std::string> Evaluate(const std::string& script, int seconds = kScriptWaitSeconds);
    void EvaluateLater(const std::string& script);
    static constexpr int kScriptWaitSeconds = 3;
    void OnLoadChanged(WebKitLoadEvent event);
    // A navigation of the view while it shows a user page; true when the
    // decision was taken here.
    bool GuardNavigation(WebKitPolicyDecision* decision);
    // The engine's menu on a user page: its paste is ours.
    void AdjustContextMenu(WebKitContextMenu* menu);
    // Insert > Link to Page: the picker, then a link at the caret reading
    // the selected text (the page's title without one). A page not yet
    // saved is saved first.
    void InsertLinkToPage();

private:
    void Paste();
    // A picture on the clipboard (a screenshot) as a file of the assets
    // folder; false when the clipboard holds none.
    bool PasteClipboardImage();
    // The page's assets folder, made when missing; a page without a file
    // is saved first (`savedFirst`). "" when the page has no folder.
    std::u16string PrepareAssetsFolder(bool* savedFirst);
    // Points the page at the pictures downloaded since, once no load is
    // under way; copies for another page go.
    void ApplyPastedImages();
    // The page is left: its downloads stop and their files go.
    void DropPastedImages();
    void PastePreformatted();
    void InsertImage();
    void ShowAtPageFile();
    void InsertTable();
    void ShowTableBorders(bool show);
    void OnDrop(const std::string& message);
    void InsertHtml(const std::u16string& html);

    // The page's file, "" before its first save.
    std::u16string GetPageFile();
    // The clipboard's bytes in `target`; none when it has none.
    std::optional<std::string> ReadClipboard(const char* target);

    // Ctrl+click on a link: the page it names, shown with its folder.
    void OpenLinkedPage(const std::string& message);
    static void OnLinkMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void OnDropMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void OnPasteAction(GSimpleAction*, GVariant*, gpointer self);
    static void OnTableMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void OnTableAction(GSimpleAction*, GVariant* parameter, gpointer self);

    CMainCore& m_core;
    GtkWindow* m_pParent;
    WebKitWebView* m_pView;
    CHost m_host;
    WebKitUserContentManager* m_pContent = nullptr;
    WebKitUserStyleSheet* m_pBorderStyle = nullptr;
    GSimpleAction* m_pPasteAction = nullptr;
    // The context menu's table entries; their parameter names the operation.
    GSimpleAction* m_pTableAction = nullptr;
    // The page said the coming context menu was opened on a table cell.
    bool m_bMenuOnCell = false;
    bool m_bBorders = false;
    // The view's top document is loading: addresses other than the page's
    // are its frames.
    bool m_bLoading = false;
    bool m_bUserPage = false;
    // Tells the main loop's callbacks whether this object still lives.
    std::shared_ptr<CEditorOps*> m_pAlive = std::make_shared<CEditorOps*>(this);
    std::unique_ptr<CPasteImages> m_pPasteImages;
    std::vector<CPasteImages::CResult> m_pastedImages;
    bool m_bApplying = false;
};
