#pragma once

// The windows of links between pages: the page picker of Insert > Link to
// Page, Tools > Check Links, and the "Linked from" strip under the page.

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

class CMainCore;
class CUrlNode;
class RNode;

class CLinkDialogs {
public:
    CLinkDialogs() = delete;

    // The page chosen in the picker (the titles narrowing as the user
    // types), and its folder; false when cancelled. The page on show is
    // not offered.
    static bool PickPage(GtkWindow* parent, CMainCore& core, RNode** folder, CUrlNode** page);
    // A window listing the links to pages that are gone; a row opens the
    // page that holds the link. It stays open beside the main window.
    static void CheckLinks(GtkWindow* parent, CMainCore& core);
};

// Beside the tag bar: the pages that link to the page on show, each a
// button that opens it. Filled from a scan off the interface thread.
class CLinkedFromBar {
public:
    explicit CLinkedFromBar(CMainCore& core);
    ~CLinkedFromBar();
    CLinkedFromBar(const CLinkedFromBar&) = delete;
    CLinkedFromBar& operator=(const CLinkedFromBar&) = delete;

    GtkWidget* GetWidget() const { return m_pBar; }
    // The page on show changed (or none is shown): the strip follows.
    void Update();

private:
    void Fill(const std::vector<std::u16string>& paths, const std::vector<std::u16string>& titles);

    CMainCore& m_core;
    GtkWidget* m_pBar = nullptr;
    GtkWidget* m_pList = nullptr;
    // Tells scans delivered late which request they answer, and whether
    // the strip still lives.
    std::shared_ptr<unsigned> m_pRequest = std::make_shared<unsigned>(0);
};
