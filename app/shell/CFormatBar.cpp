#include "app/shell/CFormatBar.h"

#include <iterator>

#include "app/core/CCommandTable.h"
#include "app/shell/CEditorOps.h"
#include "app/shell/CMenuText.h"
#include "app/shell/CPageCommands.h"

namespace {

using T = CCommandTable;

// The page's report: a flag for each of these commands at the caret, then
// the tag of the block the caret is in. Sent only when it changed, unless
// asked for.
constexpr char kStateScript[] = R"JS((function() {
var commands = ['bold', 'italic', 'underline', 'strikeThrough', 'insertUnorderedList', 'insertOrderedList'];
var last = null;
function report(always) {
  var s = window.getSelection();
  var state = '';
  if (s.rangeCount && document.body) {
    state = commands.map(function(c) { return document.queryCommandState(c) ? '1' : '0'; }).join('');
    var e = s.getRangeAt(0).startContainer;
    if (e.nodeType !== 1) e = e.parentElement;
    for (; e && e !== document.body; e = e.parentElement)
      if (/^(H[1-6]|P|PRE|LI|DIV|TD|TH|BLOCKQUOTE|ADDRESS)$/.test(e.tagName)) { state += e.tagName; break; }
  }
  if (state === last && !always) return;
  last = state;
  window.webkit.messageHandlers.zandrelFormat.postMessage(state);
}
window.zandrelFormatState = function() { report(true); };
document.addEventListener('selectionchange', function() { report(false); });
document.addEventListener('input', function() { report(false); });
// A shortcut changes the format at the caret without another event.
document.addEventListener('keyup', function() { report(false); });
report(true);
})();)JS";

// The toggles' places in the report.
enum : size_t { STATE_BOLD, STATE_ITALIC, STATE_UNDERLINE, STATE_STRIKE, STATE_BULLETS, STATE_NUMBERS, kStateFlags };

constexpr size_t kNoState = kStateFlags;

struct SButtonDef {
    int id;  // 0: a separator
    const char* icon;
    size_t state;  // kNoState for a plain button
};
constexpr SButtonDef kButtons[] = {
    {T::ID_BOLD, "format-text-bold-symbolic", STATE_BOLD},
    {T::ID_ITALIC, "format-text-italic-symbolic", STATE_ITALIC},
    {T::ID_UNDERLINE, "format-text-underline-symbolic", STATE_UNDERLINE},
    {T::ID_STRIKE, "format-text-strikethrough-symbolic", STATE_STRIKE},
    {0, nullptr, kNoState},
    {T::ID_BULLET_LIST, "view-list-bullet-symbolic", STATE_BULLETS},
    {T::ID_NUMBER_LIST, "view-list-ordered-symbolic", STATE_NUMBERS},
    {T::ID_OUTDENT, "format-indent-less-symbolic", kNoState},
    {T::ID_INDENT, "format-indent-more-symbolic", kNoState},
    {0, nullptr, kNoState},
    {T::ID_INSERT_LINK, "insert-link-symbolic", kNoState},
    {T::ID_INSERT_IMAGE, "insert-image-symbolic", kNoState},
    {T::ID_INSERT_TABLE, "x-office-spreadsheet-symbolic", kNoState},
    {0, nullptr, kNoState},
    {T::ID_HIGHLIGHT, "preferences-color-symbolic", kNoState},
};

// The heading list: its entries and the block each makes.
struct SHeading {
    const char* label;
    const char* tag;
};
constexpr SHeading kHeadings[] = {
    {"Normal text", "p"},
    {"Heading 1", "h1"},
    {"Heading 2", "h2"},
    {"Heading 3", "h3"},
};

constexpr char kClearLabel[] = "Clear Formatting";

GtkWidget* Separator()
{
    GtkWidget* line = gtk_separator_new(GTK_ORIENTATION_VERTICAL);
    gtk_widget_set_margin_start(line, 4);
    gtk_widget_set_margin_end(line, 4);
    return line;
}

}  // namespace

CFormatBar::CFormatBar(WebKitWebView* page, GtkStack* views, CPageCommands& commands, CommandHook run)
    : m_pPage(page), m_pViews(views), m_commands(commands), m_run(std::move(run))
{
    m_pBar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 1);
    gtk_container_set_border_width(GTK_CONTAINER(m_pBar), 2);
    for (const SButtonDef& def : kButtons) {
        if (!def.id) {
            gtk_box_pack_start(GTK_BOX(m_pBar), Separator(), FALSE, FALSE, 0);
            continue;
        }
        const CMenuEntry* entry = CCommandTable::Find(def.id);
        std::string label = entry ? CMenuText::ToPlainLabel(entry->caption) : "";
        if (entry && entry->menu == MENU_INSERT)
            label = "Insert " + label;
        std::string keys = entry ? CMenuText::GetShortcutLabel(entry->caption) : "";
        AddButton(def.id, def.icon, label, keys.empty() ? label : label + " (" + keys + ")", def.state != kNoState);
        if (def.state != kNoState)
            m_toggles.push_back({m_buttons.back(), def.state});
        // The heading list follows the character formats.
        if (def.id == T::ID_STRIKE) {
            gtk_box_pack_start(GTK_BOX(m_pBar), Separator(), FALSE, FALSE, 0);
            AddHeadingList();
        }
    }
    AddButton(0, "edit-clear-all-symbolic", kClearLabel, kClearLabel, false);

    m_pContent = webkit_web_view_get_user_content_manager(m_pPage);
    g_object_ref(m_pContent);
    webkit_user_content_manager_register_script_message_handler(m_pContent, "zandrelFormat");
    g_signal_connect(m_pContent, "script-message-received::zandrelFormat", G_CALLBACK(&CFormatBar::OnStateMessage),
                     this);
    m_pScript = webkit_user_script_new(kStateScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, nullptr, nullptr);
    webkit_user_content_manager_add_script(m_pContent, m_pScript);
    g_signal_connect(m_pViews, "notify::visible-child", G_CALLBACK(&CFormatBar::OnViewChanged), this);
    g_signal_connect(m_pPage, "notify::editable", G_CALLBACK(&CFormatBar::OnViewChanged), this);
    UpdateSensitive();
}

CFormatBar::~CFormatBar()
{
    g_signal_handlers_disconnect_by_data(m_pViews, this);
    g_signal_handlers_disconnect_by_data(m_pPage, this);
    g_signal_handlers_disconnect_by_data(m_pContent, this);
    g_signal_handlers_disconnect_by_data(m_pHeading, this);
    for (GtkWidget* button : m_buttons)
        g_signal_handlers_disconnect_by_data(button, this);
    webkit_user_content_manager_remove_script(m_pContent, m_pScript);
    webkit_user_script_unref(m_pScript);
    webkit_user_content_manager_unregister_script_message_handler(m_pContent, "zandrelFormat");
    g_object_unref(m_pContent);
}

GtkWidget* CFormatBar::AddButton(int id, const char* icon, const std::string& label, const std::string& tooltip,
                                 bool toggle)
{
    GtkWidget* button = toggle ? gtk_toggle_button_new() : gtk_button_new();
    gtk_button_set_image(GTK_BUTTON(button), gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_SMALL_TOOLBAR));
    gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
    // The page keeps the keyboard and its selection.
    gtk_widget_set_focus_on_click(button, FALSE);
    gtk_widget_set_tooltip_text(button, tooltip.c_str());
    atk_object_set_name(gtk_widget_get_accessible(button), label.c_str());
    g_object_set_data(G_OBJECT(button), "zandrel-command", GINT_TO_POINTER(id));
    g_signal_connect(button, "clicked", G_CALLBACK(&CFormatBar::OnClicked), this);
    gtk_box_pack_start(GTK_BOX(m_pBar), button, FALSE, FALSE, 0);
    m_buttons.push_back(button);
    return button;
}

void CFormatBar::AddHeadingList()
{
    m_pHeading = gtk_combo_box_text_new();
    for (const SHeading& heading : kHeadings)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(m_pHeading), heading.label);
    gtk_combo_box_set_active(GTK_COMBO_BOX(m_pHeading), 0);
    gtk_widget_set_focus_on_click(m_pHeading, FALSE);
    gtk_widget_set_tooltip_text(m_pHeading, "Heading");
    atk_object_set_name(gtk_widget_get_accessible(m_pHeading), "Heading");
    gtk_widget_set_valign(m_pHeading, GTK_ALIGN_CENTER);
    g_signal_connect(m_pHeading, "changed", G_CALLBACK(&CFormatBar::OnHeadingChanged), this);
    gtk_box_pack_start(GTK_BOX(m_pBar), m_pHeading, FALSE, FALSE, 0);
}

void CFormatBar::OnClicked(GtkButton* button, gpointer self)
{
    auto* bar = static_cast<CFormatBar*>(self);
    int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "zandrel-command"));
    if (id)
        bar->m_run(id);
    else
        bar->m_commands.RunEditing("RemoveFormat", nullptr);
    bar->RequestState();
}

void CFormatBar::OnHeadingChanged(GtkComboBox* combo, gpointer self)
{
    auto* bar = static_cast<CFormatBar*>(self);
    int index = gtk_combo_box_get_active(combo);
    if (index < 0 || index >= static_cast<int>(std::size(kHeadings)))
        return;
    bar->m_commands.RunEditing("FormatBlock", kHeadings[index].tag);
    bar->RequestState();
}

void CFormatBar::RequestState()
{
    webkit_web_view_evaluate_javascript(m_pPage, "window.zandrelFormatState && window.zandrelFormatState();", -1,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
}

void CFormatBar::OnStateMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self)
{
    if (std::optional<std::string> state = CEditorOps::MessageText(result))
        static_cast<CFormatBar*>(self)->ShowState(*state);
}

// The controls follow the page without carrying out their commands.
void CFormatBar::ShowState(const std::string& state)
{
    for (const SToggle& toggle : m_toggles) {
        bool on = toggle.stateIndex < state.size() && state[toggle.stateIndex] == '1';
        g_signal_handlers_block_by_func(toggle.button, reinterpret_cast<gpointer>(&CFormatBar::OnClicked), this);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle.button), on);
        g_signal_handlers_unblock_by_func(toggle.button, reinterpret_cast<gpointer>(&CFormatBar::OnClicked), this);
    }
    std::string block = state.size() > kStateFlags ? state.substr(kStateFlags) : "";
    int heading = 0;
    for (size_t i = 1; i < std::size(kHeadings); ++i) {
        if (block.size() == 2 && (block[0] == 'H' || block[0] == 'h') && block[1] == kHeadings[i].tag[1])
            heading = static_cast<int>(i);
    }
    g_signal_handlers_block_by_func(m_pHeading, reinterpret_cast<gpointer>(&CFormatBar::OnHeadingChanged), this);
    gtk_combo_box_set_active(GTK_COMBO_BOX(m_pHeading), heading);
    g_signal_handlers_unblock_by_func(m_pHeading, reinterpret_cast<gpointer>(&CFormatBar::OnHeadingChanged), this);
}

void CFormatBar::OnViewChanged(GObject*, GParamSpec*, gpointer self)
{
    static_cast<CFormatBar*>(self)->UpdateSensitive();
}

// The start and folder pages, and a page that was lost, are not the user's
// to change.
void CFormatBar::UpdateSensitive()
{
    bool editable = gtk_stack_get_visible_child(m_pViews) == GTK_WIDGET(m_pPage) &&
                    webkit_web_view_is_editable(m_pPage);
    gtk_widget_set_sensitive(m_pBar, editable);
    if (!editable)
        ShowState("");
}
