#pragma once

// Drag and drop in the main window: a folder of the folder tree dragged
// into, before or after another folder, and a page row of the item list
// dragged onto a folder. While the pointer rests on a closed folder with
// subfolders, the folder opens after a second.
//
// Drags stay inside the program: what is dragged is kept here as a row of
// the view it came from, and read back from that row when dropped, never
// from the drag data.
//
// Other programs' drops are taken too: files and web addresses dropped on
// a folder row, or on the item list for the folder it shows, go to the
// handler set below once the drag is over. They are always copies.

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/CTreeDrop.h"

class CMainCore;
class CUrlNode;
class RNode;

class CTreeDrag {
public:
    // The views and the columns of their rows that hold the folder's link
    // record and the page item.
    CTreeDrag(CMainCore& core, GtkTreeView* tree, int nodeColumn, GtkTreeView* list, int itemColumn);
    ~CTreeDrag();
    CTreeDrag(const CTreeDrag&) = delete;
    CTreeDrag& operator=(const CTreeDrag&) = delete;

    // The schedule thread's request, run on the interface thread, to open
    // `item` (a folder's link record, as an identity only). Opens it when a
    // drag is still on and still rests on that closed row.
    void OnExpandMessage(uintptr_t item);

    // What another program dropped: local files and directories, and
    // http or https addresses; anything else is left out.
    struct CForeignDrop {
        std::vector<std::u16string> files;
        std::vector<std::u16string> addresses;
    };
    using ForeignDropHandler = std::function<void(RNode* folder, const CForeignDrop& drop)>;
    void SetForeignDropHandler(ForeignDropHandler handler) { m_onForeignDrop = std::move(handler); }

private:
    enum tagDRAGKIND { DRAG_NONE, DRAG_FOLDER, DRAG_PAGE };

    // The drop that runs once the drag is over.
    struct SPendingDrop {
        tagDRAGKIND kind = DRAG_NONE;
        GtkTreeRowReference* source = nullptr;
        GtkTreeRowReference* target = nullptr;
        CTreeDrop::tagDROPPLACE place = CTreeDrop::DROP_INTO;
    };

    // The folder of the tree row at `path`; null when there is none.
    RNode* NodeAt(GtkTreePath* path) const;
    // The row still held by `ref`, read back from its view's model.
    RNode* FolderOf(GtkTreeRowReference* ref) const;
    CUrlNode* ItemOf(GtkTreeRowReference* ref) const;
    // The folder row under the pointer and where on it; false off the rows.
    bool DropRowAt(int x, int y, GtkTreePath** path, CTreeDrop::tagDROPPLACE* place) const;
    bool CanDrop(RNode* target, CTreeDrop::tagDROPPLACE place) const;
    void Hover(GtkTreePath* path);
    void EndDrag();
    void RunDrop(SPendingDrop& drop);

    static gboolean OnPress(GtkWidget* view, GdkEventButton* event, gpointer self);
    static void OnDragBegin(GtkWidget* view, GdkDragContext* context, gpointer self);
    static void OnDragEnd(GtkWidget* view, GdkDragContext* context, gpointer self);
    void ScrollNearEdge(int y);
    static constexpr int kScrollEdge = 24;  // pixels
    static constexpr double kScrollStep = 12;
    static gboolean OnDragMotion(GtkWidget* view, GdkDragContext* context, int x, int y, guint time, gpointer self);
    static void OnDragLeave(GtkWidget* view, GdkDragContext* context, guint time, gpointer self);
    static gboolean OnDragDrop(GtkWidget* view, GdkDragContext* context, int x, int y, guint time, gpointer self);
    static gboolean OnDropIdle(gpointer self);
    // The drop read from the data of a text/uri-list, text/x-moz-url,
    // _NETSCAPE_URL or text/plain offer.
    static CForeignDrop ReadDrop(GtkSelectionData* data);
    gboolean OnForeignMotion(GdkDragContext* context, int x, int y, guint time);
    gboolean OnForeignDrop(GdkDragContext* context, int x, int y, guint time);
    static void OnDataReceived(GtkWidget* view, GdkDragContext* context, int x, int y, GtkSelectionData* data,
                               guint info, guint time, gpointer self);
    static gboolean OnForeignIdle(gpointer self);

    CMainCore& m_core;
    // Expand requests posted from the schedule thread hold it weakly, so
    // one that runs after the window went does nothing.
    std::shared_ptr<CTreeDrag*> m_pAlive = std::make_shared<CTreeDrag*>(this);
    GtkTreeView* m_pTree;
    GtkTreeView* m_pList;
    int m_nodeColumn;
    int m_itemColumn;

    // The row the button went down on, in the view it went down in.
    GtkTreePath* m_pPressPath = nullptr;
    GtkTreeView* m_pPressView = nullptr;
    // The drag on its way.
    tagDRAGKIND m_kind = DRAG_NONE;
    GtkTreeRowReference* m_pSource = nullptr;
    // The tree row the pointer rests on, and its folder as an identity.
    GtkTreePath* m_pHoverPath = nullptr;
    uintptr_t m_hoverItem = 0;
    SPendingDrop m_pending;
    guint m_dropIdle = 0;

    // Another program's drop: the tree row it landed on (none for the item
    // list), and what it brought once read.
    ForeignDropHandler m_onForeignDrop;
    GtkTreeRowReference* m_pForeignRow = nullptr;
    bool m_bForeignOnList = false;
    CForeignDrop m_foreign;
    guint m_foreignIdle = 0;
};
