#include "app/shell/CTreeDrag.h"

#include <cstring>

#include "app/background/CThreadMgr.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/main/CMainCore.h"
#include "app/core/CPageMgr.h"
#include "app/core/CTreeExpandEvent.h"
#include "app/shell/CGtkText.h"
#include "base/model/RNode.h"

namespace {

// Only this program's own views offer and take these.
char kFolderTarget[] = "application/x-zandrel-folder";
char kPageTarget[] = "application/x-zandrel-page";
GtkTargetEntry kFolderTargets[] = {{kFolderTarget, GTK_TARGET_SAME_APP, 1}};
GtkTargetEntry kPageTargets[] = {{kPageTarget, GTK_TARGET_SAME_APP, 2}};
// What file managers and browsers offer, the best first.
char kUriListTarget[] = "text/uri-list";
char kMozUrlTarget[] = "text/x-moz-url";
char kNetscapeTarget[] = "_NETSCAPE_URL";
char kTextTarget[] = "text/plain";
GtkTargetEntry kForeignTargets[] = {
    {kUriListTarget, 0, 3}, {kMozUrlTarget, 0, 4}, {kNetscapeTarget, 0, 5}, {kTextTarget, 0, 6}};
GtkTargetEntry kDropTargets[] = {{kFolderTarget, GTK_TARGET_SAME_APP, 1}, {kPageTarget, GTK_TARGET_SAME_APP, 2},
                                 {kUriListTarget, 0, 3}, {kMozUrlTarget, 0, 4}, {kNetscapeTarget, 0, 5},
                                 {kTextTarget, 0, 6}};

// The user's files are copied, never moved: a file manager offering a move
// is answered with a copy.
GdkDragAction ForeignAction(GdkDragContext* context)
{
    GdkDragAction offered = gdk_drag_context_get_actions(context);
    return (offered & GDK_ACTION_COPY) ? GDK_ACTION_COPY : GdkDragAction(offered & GDK_ACTION_LINK);
}

bool IsWebScheme(const char* scheme)
{
    return scheme && (std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0);
}

gpointer RowValue(GtkTreeModel* model, GtkTreeIter* iter, int column)
{
    gpointer value = nullptr;
    gtk_tree_model_get(model, iter, column, &value, -1);
    return value;
}

gpointer RefValue(GtkTreeRowReference* ref, int column)
{
    if (!ref || !gtk_tree_row_reference_valid(ref))
        return nullptr;
    GtkTreeModel* model = gtk_tree_row_reference_get_model(ref);
    GtkTreePath* path = gtk_tree_row_reference_get_path(ref);
    GtkTreeIter iter;
    gpointer value = gtk_tree_model_get_iter(model, &iter, path) ? RowValue(model, &iter, column) : nullptr;
    gtk_tree_path_free(path);
    return value;
}

void FreeRef(GtkTreeRowReference** ref)
{
    if (*ref)
        gtk_tree_row_reference_free(*ref);
    *ref = nullptr;
}

void FreePath(GtkTreePath** path)
{
    if (*path)
        gtk_tree_path_free(*path);
    *path = nullptr;
}

}  // namespace

CTreeDrag::CTreeDrag(CMainCore& core, GtkTreeView* tree, int nodeColumn, GtkTreeView* list, int itemColumn)
    : m_core(core), m_pTree(tree), m_pList(list), m_nodeColumn(nodeColumn), m_itemColumn(itemColumn)
{
    // The views start their drags themselves (threshold, row icon); the
    // tree's own drop handling is replaced below, as it would reorder its
    // store and open rows on a timer of its own.
    gtk_tree_view_enable_model_drag_source(m_pTree, GDK_BUTTON1_MASK, kFolderTargets, G_N_ELEMENTS(kFolderTargets),
                                           GDK_ACTION_MOVE);
    gtk_tree_view_enable_model_drag_source(m_pList, GDK_BUTTON1_MASK, kPageTargets, G_N_ELEMENTS(kPageTargets),
                                           GDK_ACTION_MOVE);
    gtk_drag_dest_set(GTK_WIDGET(m_pTree), GtkDestDefaults(0), kDropTargets, G_N_ELEMENTS(kDropTargets),
                      GDK_ACTION_MOVE);
    // The item list takes only other programs' drops, for the folder it shows.
    gtk_drag_dest_set(GTK_WIDGET(m_pList), GTK_DEST_DEFAULT_ALL, kForeignTargets, G_N_ELEMENTS(kForeignTargets),
                      GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_LINK));
    for (GtkTreeView* view : {m_pTree, m_pList}) {
        g_signal_connect(view, "button-press-event", G_CALLBACK(&CTreeDrag::OnPress), this);
        g_signal_connect(view, "drag-begin", G_CALLBACK(&CTreeDrag::OnDragBegin), this);
        g_signal_connect(view, "drag-end", G_CALLBACK(&CTreeDrag::OnDragEnd), this);
    }
    // Connected before the tree's class handlers run, and answered here.
    g_signal_connect(m_pTree, "drag-motion", G_CALLBACK(&CTreeDrag::OnDragMotion), this);
    g_signal_connect(m_pTree, "drag-leave", G_CALLBACK(&CTreeDrag::OnDragLeave), this);
    g_signal_connect(m_pTree, "drag-drop", G_CALLBACK(&CTreeDrag::OnDragDrop), this);
    for (GtkTreeView* view : {m_pTree, m_pList})
        g_signal_connect(view, "drag-data-received", G_CALLBACK(&CTreeDrag::OnDataReceived), this);
}

// The views are gone by now: only what is held here is released.
CTreeDrag::~CTreeDrag()
{
    if (m_dropIdle)
        g_source_remove(m_dropIdle);
    if (m_foreignIdle)
        g_source_remove(m_foreignIdle);
    FreeRef(&m_pForeignRow);
    FreePath(&m_pPressPath);
    FreePath(&m_pHoverPath);
    FreeRef(&m_pSource);
    FreeRef(&m_pending.source);
    FreeRef(&m_pending.target);
}

RNode* CTreeDrag::NodeAt(GtkTreePath* path) const
{
    GtkTreeModel* model = gtk_tree_view_get_model(m_pTree);
    GtkTreeIter iter;
    if (!path || !gtk_tree_model_get_iter(model, &iter, path))
        return nullptr;
    return static_cast<RNode*>(RowValue(model, &iter, m_nodeColumn));
}

RNode* CTreeDrag::FolderOf(GtkTreeRowReference* ref) const
{
    return static_cast<RNode*>(RefValue(ref, m_nodeColumn));
}

CUrlNode* CTreeDrag::ItemOf(GtkTreeRowReference* ref) const
{
    return static_cast<CUrlNode*>(RefValue(ref, m_itemColumn));
}

bool CTreeDrag::DropRowAt(int x, int y, GtkTreePath** path, CTreeDrop::tagDROPPLACE* place) const
{
    GtkTreeViewDropPosition position = GTK_TREE_VIEW_DROP_INTO_OR_BEFORE;
    if (!gtk_tree_view_get_dest_row_at_pos(m_pTree, x, y, path, &position) || !*path)
        return false;
    switch (position) {
    case GTK_TREE_VIEW_DROP_BEFORE: *place = CTreeDrop::DROP_BEFORE; break;
    case GTK_TREE_VIEW_DROP_AFTER: *place = CTreeDrop::DROP_AFTER; break;
    default: *place = CTreeDrop::DROP_INTO; break;
    }
    // A page goes into the folder wherever on the row it lands.
    if (m_kind == DRAG_PAGE)
        *place = CTreeDrop::DROP_INTO;
    return true;
}

bool CTreeDrag::CanDrop(RNode* target, CTreeDrop::tagDROPPLACE place) const
{
    if (m_kind == DRAG_FOLDER)
        return CTreeDrop::CanDropFolder(FolderOf(m_pSource), target, place);
    if (m_kind == DRAG_PAGE)
        return ItemOf(m_pSource) && CTreeDrop::CanDropPage(m_core.GetTreeMgr().GetCurrentFolder(), target);
    return false;
}

void CTreeDrag::Hover(GtkTreePath* path)
{
    if (!path) {
        FreePath(&m_pHoverPath);
        m_hoverItem = 0;
        return;
    }
    if (!m_pHoverPath || gtk_tree_path_compare(path, m_pHoverPath) != 0) {
        FreePath(&m_pHoverPath);
        m_pHoverPath = gtk_tree_path_copy(path);
    }
    m_hoverItem = reinterpret_cast<uintptr_t>(NodeAt(path));
    GtkTreeModel* model = gtk_tree_view_get_model(m_pTree);
    GtkTreeIter iter;
    if (m_hoverItem && gtk_tree_model_get_iter(model, &iter, path) && gtk_tree_model_iter_has_child(model, &iter) &&
        !gtk_tree_view_row_expanded(m_pTree, path))
        CTreeExpandEvent::Schedule(*m_core.GetThreadMgr().GetScheduleThread(), m_pTree, m_hoverItem,
                                   [alive = std::weak_ptr<CTreeDrag*>(m_pAlive)](uintptr_t item) {
                                       if (std::shared_ptr<CTreeDrag*> self = alive.lock())
                                           (*self)->OnExpandMessage(item);
                                   });
}

void CTreeDrag::OnExpandMessage(uintptr_t item)
{
    if (item == 0 || m_kind == DRAG_NONE || !m_pHoverPath || item != m_hoverItem)
        return;
    // The row may have been filled again since: it must still hold the item.
    if (reinterpret_cast<uintptr_t>(NodeAt(m_pHoverPath)) != item || gtk_tree_view_row_expanded(m_pTree, m_pHoverPath))
        return;
    gtk_tree_view_expand_row(m_pTree, m_pHoverPath, FALSE);
}

void CTreeDrag::EndDrag()
{
    m_kind = DRAG_NONE;
    FreeRef(&m_pSource);
    Hover(nullptr);
    gtk_tree_view_set_drag_dest_row(m_pTree, nullptr, GTK_TREE_VIEW_DROP_BEFORE);
}

gboolean CTreeDrag::OnPress(GtkWidget* view, GdkEventButton* event, gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY)
        return FALSE;
    FreePath(&drag->m_pPressPath);
    drag->m_pPressView = GTK_TREE_VIEW(view);
    gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(view), static_cast<int>(event->x), static_cast<int>(event->y),
                                  &drag->m_pPressPath, nullptr, nullptr, nullptr);
    if (view == GTK_WIDGET(drag->m_pTree)) {
        // The root stays where it is: it offers no drag at all.
        if (CTreeDrop::CanDragFolder(drag->NodeAt(drag->m_pPressPath)))
            gtk_tree_view_enable_model_drag_source(drag->m_pTree, GDK_BUTTON1_MASK, kFolderTargets,
                                                   G_N_ELEMENTS(kFolderTargets), GDK_ACTION_MOVE);
        else
            gtk_tree_view_unset_rows_drag_source(drag->m_pTree);
    }
    return FALSE;
}

void CTreeDrag::OnDragBegin(GtkWidget* view, GdkDragContext*, gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    drag->EndDrag();
    if (!drag->m_pPressPath || drag->m_pPressView != GTK_TREE_VIEW(view))
        return;
    drag->m_pSource = gtk_tree_row_reference_new(gtk_tree_view_get_model(GTK_TREE_VIEW(view)), drag->m_pPressPath);
    drag->m_kind = view == GTK_WIDGET(drag->m_pTree) ? DRAG_FOLDER : DRAG_PAGE;
}

void CTreeDrag::OnDragEnd(GtkWidget*, GdkDragContext*, gpointer self)
{
    static_cast<CTreeDrag*>(self)->EndDrag();
}

gboolean CTreeDrag::OnDragMotion(GtkWidget*, GdkDragContext* context, int x, int y, guint time, gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    drag->ScrollNearEdge(y);
    if (drag->m_kind == DRAG_NONE)
        return drag->OnForeignMotion(context, x, y, time);
    GtkTreePath* path = nullptr;
    CTreeDrop::tagDROPPLACE place = CTreeDrop::DROP_INTO;
    if (drag->m_kind == DRAG_NONE || !drag->DropRowAt(x, y, &path, &place)) {
        drag->Hover(nullptr);
        gtk_tree_view_set_drag_dest_row(drag->m_pTree, nullptr, GTK_TREE_VIEW_DROP_BEFORE);
        gdk_drag_status(context, GdkDragAction(0), time);
        return TRUE;
    }
    drag->Hover(path);
    if (drag->CanDrop(drag->NodeAt(path), place)) {
        GtkTreeViewDropPosition shown = place == CTreeDrop::DROP_BEFORE  ? GTK_TREE_VIEW_DROP_BEFORE
                                        : place == CTreeDrop::DROP_AFTER ? GTK_TREE_VIEW_DROP_AFTER
                                                                         : GTK_TREE_VIEW_DROP_INTO_OR_BEFORE;
        gtk_tree_view_set_drag_dest_row(drag->m_pTree, path, shown);
        gdk_drag_status(context, GDK_ACTION_MOVE, time);
    } else {
        gtk_tree_view_set_drag_dest_row(drag->m_pTree, nullptr, GTK_TREE_VIEW_DROP_BEFORE);
        gdk_drag_status(context, GdkDragAction(0), time);
    }
    gtk_tree_path_free(path);
    return TRUE;
}

// Near the top or bottom edge the tree scrolls, so folders out of sight
// can be reached while dragging.
void CTreeDrag::ScrollNearEdge(int y)
{
    GtkAdjustment* adjustment = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(m_pTree));
    int height = gtk_widget_get_allocated_height(GTK_WIDGET(m_pTree));
    if (!adjustment || height <= 2 * kScrollEdge)
        return;
    double step = 0;
    if (y < kScrollEdge)
        step = -kScrollStep;
    else if (y > height - kScrollEdge)
        step = kScrollStep;
    if (step != 0)
        gtk_adjustment_set_value(adjustment, gtk_adjustment_get_value(adjustment) + step);
}

void CTreeDrag::OnDragLeave(GtkWidget*, GdkDragContext*, guint, gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    drag->Hover(nullptr);
    gtk_tree_view_set_drag_dest_row(drag->m_pTree, nullptr, GTK_TREE_VIEW_DROP_BEFORE);
}

gboolean CTreeDrag::OnDragDrop(GtkWidget*, GdkDragContext* context, int x, int y, guint time, gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    if (drag->m_kind == DRAG_NONE)
        return drag->OnForeignDrop(context, x, y, time);
    GtkTreePath* path = nullptr;
    CTreeDrop::tagDROPPLACE place = CTreeDrop::DROP_INTO;
    bool ok = drag->m_kind != DRAG_NONE && !drag->m_dropIdle && drag->DropRowAt(x, y, &path, &place) &&
              drag->CanDrop(drag->NodeAt(path), place);
    if (ok) {
        drag->m_pending.kind = drag->m_kind;
        drag->m_pending.source = gtk_tree_row_reference_copy(drag->m_pSource);
        drag->m_pending.target = gtk_tree_row_reference_new(gtk_tree_view_get_model(drag->m_pTree), path);
        drag->m_pending.place = place;
        // The move may ask questions: it waits until the drag is over.
        drag->m_dropIdle = g_idle_add(&CTreeDrag::OnDropIdle, drag);
    }
    if (path)
        gtk_tree_path_free(path);
    // Never a delete on the source side: the views' stores would drop the
    // row themselves.
    gtk_drag_finish(context, ok, FALSE, time);
    return TRUE;
}

gboolean CTreeDrag::OnDropIdle(gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    drag->m_dropIdle = 0;
    SPendingDrop drop = drag->m_pending;
    drag->m_pending = SPendingDrop{};
    drag->RunDrop(drop);
    FreeRef(&drop.source);
    FreeRef(&drop.target);
    return G_SOURCE_REMOVE;
}

// The rows are read again: anything that filled the views since the drop
// leaves their references empty, and the drop is dropped.
void CTreeDrag::RunDrop(SPendingDrop& drop)
{
    RNode* target = FolderOf(drop.target);
    if (!target)
        return;
    if (drop.kind == DRAG_FOLDER) {
        if (RNode* folder = FolderOf(drop.source))
            CTreeDrop::DropFolder(m_core.GetTreeMgr(), folder, target, drop.place);
    } else if (drop.kind == DRAG_PAGE) {
        if (CUrlNode* item = ItemOf(drop.source))
            m_core.GetPageMgr().MovePage(item, target);
    }
}

// --- other programs' drops

// Onto a folder row, whatever the place on it.
gboolean CTreeDrag::OnForeignMotion(GdkDragContext* context, int x, int y, guint time)
{
    GtkTreePath* path = nullptr;
    CTreeDrop::tagDROPPLACE place = CTreeDrop::DROP_INTO;
    GdkDragAction action = ForeignAction(context);
    bool ok = action && gtk_drag_dest_find_target(GTK_WIDGET(m_pTree), context, nullptr) != GDK_NONE &&
              DropRowAt(x, y, &path, &place) && NodeAt(path);
    Hover(ok ? path : nullptr);
    gtk_tree_view_set_drag_dest_row(m_pTree, ok ? path : nullptr, GTK_TREE_VIEW_DROP_INTO_OR_BEFORE);
    gdk_drag_status(context, ok ? action : GdkDragAction(0), time);
    if (path)
        gtk_tree_path_free(path);
    return TRUE;
}

gboolean CTreeDrag::OnForeignDrop(GdkDragContext* context, int x, int y, guint time)
{
    GtkTreePath* path = nullptr;
    CTreeDrop::tagDROPPLACE place = CTreeDrop::DROP_INTO;
    GdkAtom target = gtk_drag_dest_find_target(GTK_WIDGET(m_pTree), context, nullptr);
    bool ok = target != GDK_NONE && !m_foreignIdle && DropRowAt(x, y, &path, &place) && NodeAt(path);
    Hover(nullptr);
    gtk_tree_view_set_drag_dest_row(m_pTree, nullptr, GTK_TREE_VIEW_DROP_BEFORE);
    if (ok) {
        FreeRef(&m_pForeignRow);
        m_pForeignRow = gtk_tree_row_reference_new(gtk_tree_view_get_model(m_pTree), path);
        // Finished when the data has come.
        gtk_drag_get_data(GTK_WIDGET(m_pTree), context, target, time);
    } else {
        gtk_drag_finish(context, FALSE, FALSE, time);
    }
    if (path)
        gtk_tree_path_free(path);
    return TRUE;
}

void CTreeDrag::OnDataReceived(GtkWidget* view, GdkDragContext* context, int, int, GtkSelectionData* data, guint,
                               guint time, gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    bool onTree = view == GTK_WIDGET(drag->m_pTree);
    CForeignDrop drop = ReadDrop(data);
    bool ok = (!drop.files.empty() || !drop.addresses.empty()) && !drag->m_foreignIdle &&
              (!onTree || drag->m_pForeignRow);
    if (ok) {
        drag->m_foreign = std::move(drop);
        drag->m_bForeignOnList = !onTree;
        // The import runs its progress dialog: it waits until the drag is over.
        drag->m_foreignIdle = g_idle_add(&CTreeDrag::OnForeignIdle, drag);
    }
    // The list's drop is finished by the toolkit, the tree's here.
    if (onTree)
        gtk_drag_finish(context, ok, FALSE, time);
    // The views' own handlers would take the data for a row of their store.
    g_signal_stop_emission_by_name(view, "drag-data-received");
}

gboolean CTreeDrag::OnForeignIdle(gpointer self)
{
    auto* drag = static_cast<CTreeDrag*>(self);
    drag->m_foreignIdle = 0;
    CForeignDrop drop = std::move(drag->m_foreign);
    drag->m_foreign = {};
    RNode* folder =
        drag->m_bForeignOnList ? drag->m_core.GetTreeMgr().GetCurrentFolder() : drag->FolderOf(drag->m_pForeignRow);
    FreeRef(&drag->m_pForeignRow);
    if (folder && drag->m_onForeignDrop)
        drag->m_onForeignDrop(folder, drop);
    return G_SOURCE_REMOVE;
}

CTreeDrag::CForeignDrop CTreeDrag::ReadDrop(GtkSelectionData* data)
{
    CForeignDrop drop;
    if (gchar** uris = gtk_selection_data_get_uris(data)) {
        for (gchar** uri = uris; *uri; ++uri) {
            const char* scheme = g_uri_peek_scheme(*uri);
            if (scheme && std::strcmp(scheme, "file") == 0) {
                // Local files only: a file URI naming another host gives none.
                if (gchar* path = g_filename_from_uri(*uri, nullptr, nullptr)) {
                    drop.files.push_back(CFileSys::FromNative(path));
                    g_free(path);
                }
            } else if (IsWebScheme(scheme)) {
                drop.addresses.push_back(U16(*uri));
            }
        }
        g_strfreev(uris);
        return drop;
    }
    // The others hold an address, then maybe its title on the next line.
    const guchar* bytes = gtk_selection_data_get_data(data);
    int length = gtk_selection_data_get_length(data);
    gchar* type = gdk_atom_name(gtk_selection_data_get_target(data));
    std::u16string text;
    if (bytes && length > 0 && std::strcmp(type, kMozUrlTarget) == 0) {
        text.resize(static_cast<size_t>(length) / 2);
        std::memcpy(text.data(), bytes, text.size() * 2);
    } else if (guchar* plain = gtk_selection_data_get_text(data)) {
        text = U16(reinterpret_cast<const char*>(plain));
        g_free(plain);
    } else if (bytes && length > 0) {
        text = CUnicodeTool::FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes), length));
    }
    g_free(type);
    std::u16string address = text.substr(0, text.find_first_of(u"\r\n"));
    std::string utf8 = U8(address);
    while (!utf8.empty() && (utf8.back() == ' ' || utf8.back() == '\t'))
        utf8.pop_back();
    size_t start = utf8.find_first_not_of(" \t");
    utf8 = start == std::string::npos ? "" : utf8.substr(start);
    if (IsWebScheme(g_uri_peek_scheme(utf8.c_str())) && utf8.find_first_of(" \t") == std::string::npos)
        drop.addresses.push_back(U16(utf8.c_str()));
    return drop;
}
