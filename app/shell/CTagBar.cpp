#include "app/shell/CTagBar.h"

#include "app/shell/CGtkText.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"

namespace {

constexpr int kIconSize = 16;
// The tag picture of "ExtraIcons.bmp".
constexpr int kTagIcon = 3;

}  // namespace

CTagBar::CTagBar(SearchHook search) : m_search(std::move(search))
{
    m_pBar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
    gtk_container_set_border_width(GTK_CONTAINER(m_pBar), 2);
    // The window's show-all of the page pane must not undo a hidden bar.
    gtk_widget_set_no_show_all(m_pBar, TRUE);
    m_icons.LoadSkin(u"ExtraIcons.bmp", kIconSize);
    if (GdkPixbuf* icon = m_icons.Get(kTagIcon)) {
        GtkWidget* image = gtk_image_new_from_pixbuf(icon);
        gtk_widget_set_margin_start(image, 4);
        gtk_widget_set_margin_end(image, 4);
        gtk_box_pack_start(GTK_BOX(m_pBar), image, FALSE, FALSE, 0);
    }
    // Many tags scroll sideways instead of widening the window.
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_AUTOMATIC, GTK_POLICY_NEVER);
    m_pTagBox = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
    gtk_container_add(GTK_CONTAINER(scroll), m_pTagBox);
    gtk_box_pack_start(GTK_BOX(m_pBar), scroll, TRUE, TRUE, 0);
    // Keeps its height when the page has no tags.
    gtk_widget_set_size_request(m_pBar, -1, 30);
    SetShown(true);
}

CTagBar::~CTagBar() = default;

std::vector<std::u16string> CTagBar::GetTags(CUrlNode* page)
{
    std::vector<std::u16string> tags;
    CUrlProp* prop = page ? page->PeekUrlProp() : nullptr;
    for (RBstrItem* tag = prop ? prop->GetTagsHead() : nullptr; tag; tag = tag->GetNext()) {
        if (tag->GetData() && *tag->GetData())
            tags.emplace_back(tag->GetData());
    }
    return tags;
}

void CTagBar::ShowTags(CUrlNode* page)
{
    std::vector<std::u16string> tags = GetTags(page);
    if (tags == m_tags)
        return;
    m_tags = std::move(tags);
    GList* old = gtk_container_get_children(GTK_CONTAINER(m_pTagBox));
    for (GList* it = old; it; it = it->next)
        gtk_widget_destroy(GTK_WIDGET(it->data));
    g_list_free(old);
    for (size_t i = 0; i < m_tags.size(); ++i) {
        // A plain label: a tag is the user's text, never markup or a mnemonic.
        GtkWidget* button = gtk_button_new_with_label(U8(m_tags[i]).c_str());
        gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
        gtk_style_context_add_class(gtk_widget_get_style_context(button), "link");
        g_object_set_data(G_OBJECT(button), "zandrel-tag", GSIZE_TO_POINTER(i));
        g_signal_connect(button, "clicked", G_CALLBACK(&CTagBar::OnTagClicked), this);
        gtk_box_pack_start(GTK_BOX(m_pTagBox), button, FALSE, FALSE, 0);
    }
    gtk_widget_show_all(m_pTagBox);
}

void CTagBar::SetShown(bool shown)
{
    m_bShown = shown;
    if (shown) {
        // Its children are out of the window's show-all too.
        GList* children = gtk_container_get_children(GTK_CONTAINER(m_pBar));
        for (GList* it = children; it; it = it->next)
            gtk_widget_show_all(GTK_WIDGET(it->data));
        g_list_free(children);
    }
    gtk_widget_set_visible(m_pBar, shown);
}

void CTagBar::OnTagClicked(GtkButton* button, gpointer self)
{
    auto* bar = static_cast<CTagBar*>(self);
    size_t at = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(button), "zandrel-tag"));
    if (at >= bar->m_tags.size() || !bar->m_search)
        return;
    // A copy: the search may show another page and refill the bar.
    std::u16string tag = bar->m_tags[at];
    bar->m_search(tag);
}
