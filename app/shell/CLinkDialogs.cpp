#include "app/shell/CLinkDialogs.h"

#include <memory>
#include <unordered_set>
#include <vector>

#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageMgr.h"
#include "app/main/CMainCore.h"
#include "app/main/CPageLinkMgr.h"
#include "app/search/CPageSearch.h"
#include "app/shell/CGtkText.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"

namespace {

enum { COL_TITLE, COL_FOLDER, COL_FOLDER_NODE, COL_PAGE, COL_KEY, COL_PATH, COL_COUNT };

// Pages whose text holds the words typed, as far as the full-text index
// has answered.
constexpr int kTextHits = 200;

struct SPicker {
    GtkWidget* entry;
    GtkWidget* view;
    GtkTreeModel* filter;
    std::unordered_set<std::string> textHits;  // page paths
};

void Name(GtkWidget* widget, const char* name)
{
    atk_object_set_name(gtk_widget_get_accessible(widget), name);
}

GtkWidget* AddColumn(GtkWidget* view, const char* title, int column)
{
    GtkCellRenderer* cell = gtk_cell_renderer_text_new();
    g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    GtkTreeViewColumn* col = gtk_tree_view_column_new_with_attributes(title, cell, "text", column, nullptr);
    gtk_tree_view_column_set_resizable(col, TRUE);
    gtk_tree_view_column_set_expand(col, TRUE);
    gtk_tree_view_append_column(GTK_TREE_VIEW(view), col);
    return view;
}

GtkWidget* Scrolled(GtkWidget* child)
{
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_widget_set_vexpand(scroll, TRUE);
    gtk_container_add(GTK_CONTAINER(scroll), child);
    return scroll;
}

std::string Folded(const char* text)
{
    gchar* folded = g_utf8_casefold(text ? text : "", -1);
    std::string out = folded;
    g_free(folded);
    return out;
}

// The words typed, each found in the title or the folder, in any case;
// or a page whose text the index found them in.
gboolean MatchesFilter(GtkTreeModel* model, GtkTreeIter* iter, gpointer data)
{
    auto* picker = static_cast<SPicker*>(data);
    const std::string typed = Folded(gtk_entry_get_text(GTK_ENTRY(picker->entry)));
    gchar* key = nullptr;
    gchar* path = nullptr;
    gtk_tree_model_get(model, iter, COL_KEY, &key, COL_PATH, &path, -1);
    const std::string text = key ? key : "";
    const bool inText = path && picker->textHits.count(path);
    g_free(key);
    g_free(path);
    if (inText)
        return TRUE;
    gchar** words = g_strsplit_set(typed.c_str(), " \t", -1);
    bool all = true;
    for (gchar** word = words; all && *word; ++word)
        all = !**word || text.find(*word) != std::string::npos;
    g_strfreev(words);
    return all;
}

}  // namespace

bool CLinkDialogs::PickPage(GtkWindow* parent, CMainCore& core, RNode** folder, CUrlNode** page)
{
    CFolderTreeMgr& tree = core.GetTreeMgr();
    CUrlNode* current = core.GetPageMgr().GetCurrentPage();
    GtkListStore* store = gtk_list_store_new(COL_COUNT, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_POINTER, G_TYPE_POINTER,
                                             G_TYPE_STRING, G_TYPE_STRING);
    for (RNode* node : tree.GetAllFolders()) {
        auto* data = node->GetType() == NT_FOLDER ? static_cast<CFolderNode*>(node->GetData()) : nullptr;
        CColctNode* colct = data && data->HasPage() ? tree.LoadColct(node, false) : nullptr;
        RNode* items = colct ? colct->GetLocRNodeRoot() : nullptr;
        std::u16string where;
        tree.GetRelativePath(node, &where);
        where = where.empty() ? std::u16string(node->GetData()->GetName() ? node->GetData()->GetName() : u"")
                              : CFileSys::WithoutSlash(where);
        for (RNode* child = items ? items->GetChild() : nullptr; child; child = child->GetNext()) {
            auto* item = child->GetType() == NT_URL ? static_cast<CUrlNode*>(child->GetData()) : nullptr;
            if (!item || item == current || item->GetItemType() != ITEM_NOTE || !item->HasUrl())
                continue;
            const std::string title = U8(item->GetName() ? item->GetName() : u"");
            GtkTreeIter iter;
            gtk_list_store_insert_with_values(store, &iter, -1, COL_TITLE, title.c_str(), COL_FOLDER, U8(where).c_str(),
                                              COL_FOLDER_NODE, node, COL_PAGE, item, COL_KEY,
                                              Folded((title + " " + U8(where)).c_str()).c_str(), COL_PATH,
                                              U8(tree.GetPageRelativePath(node, item)).c_str(), -1);
        }
    }
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Link to Page", parent,
                                                    GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_Insert Link", GTK_RESPONSE_OK,
                                                    nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 480, 400);
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);
    gtk_box_set_spacing(GTK_BOX(box), 6);
    GtkWidget* entry = gtk_search_entry_new();
    Name(entry, "Find page");
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    GtkTreeModel* filter = gtk_tree_model_filter_new(GTK_TREE_MODEL(store), nullptr);
    GtkWidget* view = gtk_tree_view_new_with_model(filter);
    SPicker picker{entry, view, filter, {}};
    gtk_tree_model_filter_set_visible_func(GTK_TREE_MODEL_FILTER(filter), MatchesFilter, &picker, nullptr);
    Name(view, "Pages");
    AddColumn(view, "Title", COL_TITLE);
    AddColumn(view, "Folder", COL_FOLDER);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), Scrolled(view), TRUE, TRUE, 0);

    // The list narrows with each key; the first row left is the one Enter
    // takes. Pages found by their text join when the index answers.
    struct SChange {
        SPicker* picker;
        CPageSearch* search;
        std::shared_ptr<bool> alive;
    } change{&picker, &core.GetPageSearch(), std::make_shared<bool>(true)};
    static const auto refilter = [](SPicker* p) {
        gtk_tree_model_filter_refilter(GTK_TREE_MODEL_FILTER(p->filter));
        GtkTreeIter first;
        GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(p->view));
        if (gtk_tree_model_get_iter_first(p->filter, &first))
            gtk_tree_selection_select_iter(selection, &first);
    };
    g_signal_connect(entry, "search-changed", G_CALLBACK(+[](GtkSearchEntry* searched, gpointer data) {
        auto* c = static_cast<SChange*>(data);
        c->picker->textHits.clear();
        refilter(c->picker);
        std::weak_ptr<bool> alive = c->alive;
        SPicker* p = c->picker;
        c->search->Lookup(U16(gtk_entry_get_text(GTK_ENTRY(searched))), kTextHits,
                          [alive, p](const std::vector<CSearchHit>& hits) {
                              if (alive.expired())
                                  return;
                              for (const CSearchHit& hit : hits)
                                  p->textHits.insert(U8(hit.pagePath));
                              refilter(p);
                          });
    }), &change);
    g_signal_connect(view, "row-activated", G_CALLBACK(+[](GtkTreeView* tv, GtkTreePath*, GtkTreeViewColumn*, gpointer) {
        gtk_dialog_response(GTK_DIALOG(gtk_widget_get_toplevel(GTK_WIDGET(tv))), GTK_RESPONSE_OK);
    }), nullptr);
    GtkTreeIter first;
    if (gtk_tree_model_get_iter_first(filter, &first))
        gtk_tree_selection_select_iter(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), &first);
    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(entry);

    bool chosen = false;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        GtkTreeModel* model = nullptr;
        GtkTreeIter iter;
        if (gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), &model, &iter)) {
            gpointer node = nullptr;
            gpointer item = nullptr;
            gtk_tree_model_get(model, &iter, COL_FOLDER_NODE, &node, COL_PAGE, &item, -1);
            *folder = static_cast<RNode*>(node);
            *page = static_cast<CUrlNode*>(item);
            chosen = node && item;
        }
    }
    change.alive.reset();
    gtk_widget_destroy(dialog);
    g_object_unref(filter);
    g_object_unref(store);
    return chosen;
}

void CLinkDialogs::CheckLinks(GtkWindow* parent, CMainCore& core)
{
    enum { B_PAGE, B_TEXT, B_TARGET, B_PATH, B_COUNT };
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Check Links", parent, GTK_DIALOG_DESTROY_WITH_PARENT, "_Close",
                                                    GTK_RESPONSE_CLOSE, nullptr);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 600, 360);
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);
    gtk_box_set_spacing(GTK_BOX(box), 6);
    GtkWidget* status = gtk_label_new("Checking links...");
    Name(status, "Link status");
    gtk_widget_set_halign(status, GTK_ALIGN_START);
    GtkListStore* store = gtk_list_store_new(B_COUNT, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
    GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    Name(view, "Broken links");
    AddColumn(view, "Page", B_PAGE);
    AddColumn(view, "Link", B_TEXT);
    AddColumn(view, "Missing page", B_TARGET);
    gtk_box_pack_start(GTK_BOX(box), status, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), Scrolled(view), TRUE, TRUE, 0);
    g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    g_signal_connect(view, "row-activated",
                     G_CALLBACK(+[](GtkTreeView* tv, GtkTreePath* path, GtkTreeViewColumn*, gpointer data) {
                         GtkTreeModel* model = gtk_tree_view_get_model(tv);
                         GtkTreeIter iter;
                         gchar* page = nullptr;
                         if (gtk_tree_model_get_iter(model, &iter, path))
                             gtk_tree_model_get(model, &iter, B_PATH, &page, -1);
                         if (page)
                             static_cast<CMainCore*>(data)->ShowPageAt(U16(page));
                         g_free(page);
                     }),
                     &core);
    gtk_widget_show_all(dialog);

    // The answer may come after the window was closed.
    auto token = std::make_shared<bool>(true);
    g_object_set_data_full(G_OBJECT(dialog), "zandrel-alive", new std::shared_ptr<bool>(token),
                           +[](gpointer p) { delete static_cast<std::shared_ptr<bool>*>(p); });
    std::weak_ptr<bool> alive = token;
    core.GetLinks().ScanLater([alive, status, store](std::shared_ptr<const CPageLinkMgr::CScan> scan) {
        if (alive.expired())
            return;
        std::vector<CPageLinkMgr::CBroken> broken = scan->Broken();
        for (const CPageLinkMgr::CBroken& link : broken) {
            gtk_list_store_insert_with_values(store, nullptr, -1, B_PAGE, U8(link.from.title).c_str(), B_TEXT,
                                              U8(link.text).c_str(), B_TARGET, U8(link.target).c_str(), B_PATH,
                                              U8(link.from.path).c_str(), -1);
        }
        gtk_label_set_text(GTK_LABEL(status),
                           broken.empty() ? "No broken links."
                                          : (std::to_string(broken.size()) + (broken.size() == 1 ? " broken link." : " broken links.")).c_str());
    });
}

// ---- "Linked from"

CLinkedFromBar::CLinkedFromBar(CMainCore& core) : m_core(core)
{
    m_pBar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    Name(m_pBar, "Linked from");
    GtkWidget* label = gtk_label_new("Linked from:");
    m_pList = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
    gtk_box_pack_start(GTK_BOX(m_pBar), label, FALSE, FALSE, 4);
    gtk_box_pack_start(GTK_BOX(m_pBar), m_pList, FALSE, FALSE, 0);
    gtk_widget_show_all(m_pBar);
    gtk_widget_set_no_show_all(m_pBar, TRUE);
    gtk_widget_hide(m_pBar);
}

CLinkedFromBar::~CLinkedFromBar()
{
    ++*m_pRequest;
}

void CLinkedFromBar::Update()
{
    const unsigned request = ++*m_pRequest;
    Fill({}, {});
    CUrlNode* page = m_core.GetPageMgr().GetCurrentPage();
    const std::u16string path = m_core.GetLinks().GetCurrentPath();
    if (!page || path.empty())
        return;
    const std::u16string uuid = page->GetUUID() ? page->GetUUID() : u"";
    std::weak_ptr<unsigned> weak = m_pRequest;
    m_core.GetLinks().ScanLater([this, weak, request, path, uuid](std::shared_ptr<const CPageLinkMgr::CScan> scan) {
        std::shared_ptr<unsigned> now = weak.lock();
        if (!now || *now != request)
            return;
        std::vector<std::u16string> paths, titles;
        for (const CPageLinkMgr::CPage& from : scan->LinkedFrom(path, uuid)) {
            paths.push_back(from.path);
            titles.push_back(from.title);
        }
        Fill(paths, titles);
    });
}

void CLinkedFromBar::Fill(const std::vector<std::u16string>& paths, const std::vector<std::u16string>& titles)
{
    GList* old = gtk_container_get_children(GTK_CONTAINER(m_pList));
    for (GList* at = old; at; at = at->next)
        gtk_widget_destroy(GTK_WIDGET(at->data));
    g_list_free(old);
    for (size_t i = 0; i < paths.size(); ++i) {
        GtkWidget* button = gtk_button_new_with_label(U8(titles[i]).c_str());
        gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
        gtk_widget_set_tooltip_text(button, U8(paths[i]).c_str());
        g_object_set_data_full(G_OBJECT(button), "zandrel-path", g_strdup(U8(paths[i]).c_str()), g_free);
        g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* b, gpointer core) {
            const char* path = static_cast<const char*>(g_object_get_data(G_OBJECT(b), "zandrel-path"));
            // Opening the page rebuilds this strip; the path is copied first.
            std::u16string target = U16(path);
            static_cast<CMainCore*>(core)->ShowPageAt(target);
        }), &m_core);
        gtk_box_pack_start(GTK_BOX(m_pList), button, FALSE, FALSE, 0);
        gtk_widget_show(button);
    }
    gtk_widget_set_visible(m_pBar, !paths.empty());
}
