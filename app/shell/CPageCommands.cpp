#include "app/shell/CPageCommands.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/core/CCommandTable.h"
#include "base/tools/CStringTool.h"

namespace {

using T = CCommandTable;

struct SEditing {
    int id;
    const char* command;
};
constexpr SEditing kEditing[] = {
    {T::ID_BOLD, "Bold"},
    {T::ID_ITALIC, "Italic"},
    {T::ID_UNDERLINE, "Underline"},
    {T::ID_STRIKE, "Strikethrough"},
    {T::ID_SUPERSCRIPT, "Superscript"},
    {T::ID_SUBSCRIPT, "Subscript"},
    {T::ID_ALIGN_LEFT, "JustifyLeft"},
    {T::ID_ALIGN_CENTER, "JustifyCenter"},
    {T::ID_ALIGN_RIGHT, "JustifyRight"},
    {T::ID_NUMBER_LIST, "InsertOrderedList"},
    {T::ID_BULLET_LIST, "InsertUnorderedList"},
    {T::ID_INDENT, "Indent"},
    {T::ID_OUTDENT, "Outdent"},
};

// What "Highlight Text" paints behind the selection.
constexpr char kHighlightColour[] = "#ffff00";

}  // namespace

CPageCommands::~CPageCommands()
{
    if (m_pFindDialog)
        gtk_widget_destroy(m_pFindDialog);
}

const char* CPageCommands::GetEditingCommand(int id)
{
    for (const SEditing& entry : kEditing)
        if (entry.id == id)
            return entry.command;
    return nullptr;
}

std::string CPageCommands::ToHexColour(const GdkRGBA& colour)
{
    auto byte = [](double part) {
        int value = static_cast<int>(part * 255.0 + 0.5);
        return value < 0 ? 0 : value > 255 ? 255 : value;
    };
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", byte(colour.red), byte(colour.green), byte(colour.blue));
    return text;
}

bool CPageCommands::IsAcceptableLink(const std::string& address)
{
    size_t start = address.find_first_not_of(" \t");
    if (start == std::string::npos)
        return false;
    for (unsigned char c : address)
        if (c < 0x20 || c == 0x7f)
            return false;
    // Letters only before the colon make a scheme; a script one would run
    // when the link is followed.
    std::string_view link = std::string_view(address).substr(start);
    return !CStringTool::StartsWithNoCase(link, "javascript:") && !CStringTool::StartsWithNoCase(link, "vbscript:") &&
           !CStringTool::StartsWithNoCase(link, "data:");
}

bool CPageCommands::Run(int id, bool editable)
{
    switch (id) {
    case T::ID_PRINT:
    case T::ID_PRINT_PREVIEW:
        // The toolkit's print dialog has its own preview: both open it.
        Print();
        return true;
    case T::ID_FIND:
        ShowFind();
        return true;
    default:
        break;
    }
    bool formatting = GetEditingCommand(id) || id == T::ID_FORE_COLOR || id == T::ID_BACK_COLOR ||
                      id == T::ID_HIGHLIGHT || id == T::ID_PAGE_COLOR || id == T::ID_INSERT_LINK;
    if (!formatting)
        return false;
    if (!editable)
        return true;  // the start and folder pages are not the user's to change
    std::string colour;
    if (const char* command = GetEditingCommand(id)) {
        webkit_web_view_execute_editing_command(m_pView, command);
    } else if (id == T::ID_FORE_COLOR || id == T::ID_BACK_COLOR) {
        if (!ChooseColour(id == T::ID_FORE_COLOR ? "Foreground Color" : "Background Color", &colour))
            return true;
        webkit_web_view_execute_editing_command_with_argument(m_pView, id == T::ID_FORE_COLOR ? "ForeColor" : "BackColor",
                                                              colour.c_str());
    } else if (id == T::ID_HIGHLIGHT) {
        webkit_web_view_execute_editing_command_with_argument(m_pView, "HiliteColor", kHighlightColour);
    } else if (id == T::ID_PAGE_COLOR) {
        if (!ChooseColour("Page Background Color", &colour))
            return true;
        // The colour is "#" and six hex digits, safe inside the script.
        std::string script = "document.body.style.backgroundColor = '" + colour + "';";
        webkit_web_view_evaluate_javascript(m_pView, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
    } else if (id == T::ID_INSERT_LINK) {
        InsertLink();
        return true;
    }
    m_edited();
    return true;
}

void CPageCommands::RunEditing(const char* command, const char* argument)
{
    if (argument)
        webkit_web_view_execute_editing_command_with_argument(m_pView, command, argument);
    else
        webkit_web_view_execute_editing_command(m_pView, command);
    m_edited();
}

bool CPageCommands::ChooseColour(const char* title, std::string* colour)
{
    GtkWidget* dialog = gtk_color_chooser_dialog_new(title, m_pParent);
    gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(dialog), FALSE);
    bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (ok) {
        GdkRGBA rgba;
        gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(dialog), &rgba);
        *colour = ToHexColour(rgba);
    }
    gtk_widget_destroy(dialog);
    return ok;
}

void CPageCommands::InsertLink()
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Link", m_pParent,
                                                    static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL |
                                                                                GTK_DIALOG_DESTROY_WITH_PARENT),
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);
    GtkWidget* label = gtk_label_new("Address:");
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 4);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), "https://");
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 50);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 4);
    gtk_widget_show_all(dialog);
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        std::string address = gtk_entry_get_text(GTK_ENTRY(entry));
        if (IsAcceptableLink(address)) {
            webkit_web_view_execute_editing_command_with_argument(m_pView, "CreateLink", address.c_str());
            m_edited();
            break;
        }
        gtk_widget_error_bell(entry);
    }
    gtk_widget_destroy(dialog);
}

// Non-modal, so the user can go on finding while reading the page.
void CPageCommands::ShowFind()
{
    if (m_pFindDialog) {
        gtk_window_present(GTK_WINDOW(m_pFindDialog));
        return;
    }
    m_pFindDialog = gtk_dialog_new_with_buttons("Find in this Page", m_pParent, GTK_DIALOG_DESTROY_WITH_PARENT,
                                                "_Close", GTK_RESPONSE_CLOSE, "_Find Next", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(m_pFindDialog), GTK_RESPONSE_OK);
    GtkWidget* entry = gtk_search_entry_new();
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 30);
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(m_pFindDialog));
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 4);
    g_object_set_data(G_OBJECT(m_pFindDialog), "zandrel-entry", entry);
    g_signal_connect(m_pFindDialog, "response", G_CALLBACK(+[](GtkDialog* dialog, int response, gpointer self) {
        auto* commands = static_cast<CPageCommands*>(self);
        WebKitFindController* find = webkit_web_view_get_find_controller(commands->m_pView);
        if (response != GTK_RESPONSE_OK) {
            webkit_find_controller_search_finish(find);
            gtk_widget_destroy(GTK_WIDGET(dialog));
            return;
        }
        auto* field = GTK_ENTRY(g_object_get_data(G_OBJECT(dialog), "zandrel-entry"));
        const char* text = gtk_entry_get_text(field);
        if (!*text)
            return;
        const char* searched = webkit_find_controller_get_search_text(find);
        if (searched && std::strcmp(searched, text) == 0)
            webkit_find_controller_search_next(find);
        else
            webkit_find_controller_search(find, text,
                                          WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND,
                                          G_MAXUINT);
    }), this);
    g_signal_connect(m_pFindDialog, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
        static_cast<CPageCommands*>(self)->m_pFindDialog = nullptr;
    }), this);
    gtk_widget_show_all(m_pFindDialog);
}

void CPageCommands::Print()
{
    WebKitPrintOperation* operation = webkit_print_operation_new(m_pView);
    webkit_print_operation_run_dialog(operation, m_pParent);
    g_object_unref(operation);
}
