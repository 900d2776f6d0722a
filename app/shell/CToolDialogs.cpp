#include "app/shell/CToolDialogs.h"

#include "app/core/CAppSettings.h"
#include "app/core/CCommandTable.h"
#include "app/core/CFileAssoc.h"
#include "app/core/COptions.h"
#include "app/core/CProjectStats.h"
#include "app/shell/CGtkText.h"

namespace {

GtkWidget* Page(GtkWidget* notebook, const char16_t* title)
{
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), box, gtk_label_new(U8(title).c_str()));
    return box;
}

GtkWidget* Label(const char16_t* text)
{
    GtkWidget* label = gtk_label_new(U8(text).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 50);
    return label;
}

// A list of fixed choices with `value` selected; a value that is not among
// them is offered first so that OK keeps it.
GtkWidget* Choices(const auto& texts, const std::u16string& value)
{
    GtkWidget* combo = gtk_combo_box_text_new();
    bool known = false;
    for (const char16_t* text : texts)
        known = known || value == text;
    if (!known && !value.empty())
        gtk_combo_box_text_append(GTK_COMBO_BOX_TEXT(combo), U8(value).c_str(), U8(value).c_str());
    for (const char16_t* text : texts)
        gtk_combo_box_text_append(GTK_COMBO_BOX_TEXT(combo), U8(text).c_str(), U8(text).c_str());
    gtk_combo_box_set_active_id(GTK_COMBO_BOX(combo), U8(value).c_str());
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) < 0)
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
    return combo;
}

std::u16string ChosenText(GtkWidget* combo)
{
    const char* id = gtk_combo_box_get_active_id(GTK_COMBO_BOX(combo));
    return U16(id);
}

}  // namespace

bool RunOptionsDialog(GtkWindow* parent, const std::u16string& currentProject)
{
    COptions options = COptions::Read(*CAppSettings::Get());

    GtkWidget* dialog = gtk_dialog_new_with_buttons(U8(COptions::kTitle).c_str(), parent,
                                                    static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL |
                                                                                GTK_DIALOG_DESTROY_WITH_PARENT),
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* notebook = gtk_notebook_new();
    gtk_container_set_border_width(GTK_CONTAINER(notebook), 6);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), notebook, TRUE, TRUE, 0);

    // General: which project opens at start-up.
    GtkWidget* general = Page(notebook, COptions::kPages[0]);
    GtkWidget* reload = gtk_check_button_new_with_label(U8(COptions::kReloadText).c_str());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(reload), options.reload);
    gtk_box_pack_start(GTK_BOX(general), reload, FALSE, FALSE, 0);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    GtkWidget* project = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(project), U8(options.lastProject).c_str());
    gtk_editable_set_editable(GTK_EDITABLE(project), FALSE);
    gtk_entry_set_width_chars(GTK_ENTRY(project), 40);
    gtk_box_pack_start(GTK_BOX(row), project, TRUE, TRUE, 0);
    GtkWidget* useCurrent = gtk_button_new_with_label(U8(COptions::kUseCurrentText).c_str());
    gtk_widget_set_sensitive(useCurrent, !currentProject.empty());
    g_object_set_data_full(G_OBJECT(useCurrent), "zandrel-project", g_strdup(U8(currentProject).c_str()), g_free);
    g_signal_connect(useCurrent, "clicked", G_CALLBACK(+[](GtkButton* button, gpointer entry) {
        gtk_entry_set_text(GTK_ENTRY(entry),
                           static_cast<const char*>(g_object_get_data(G_OBJECT(button), "zandrel-project")));
    }), project);
    gtk_box_pack_start(GTK_BOX(row), useCurrent, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(general), row, FALSE, FALSE, 0);

    // Page Font.
    GtkWidget* font = Page(notebook, COptions::kPages[1]);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    GtkWidget* face = Choices(COptions::kFaces, options.face);
    GtkWidget* size = Choices(COptions::kSizes, options.size);
    gtk_grid_attach(GTK_GRID(grid), Label(COptions::kFaceText), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), face, 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), Label(COptions::kSizeText), 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), size, 1, 1, 1, 1);
    gtk_box_pack_start(GTK_BOX(font), grid, FALSE, FALSE, 0);
    GtkWidget* flag1 = gtk_check_button_new_with_label(U8(COptions::kFontFlag1Text).c_str());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(flag1), options.fontFlag1);
    gtk_box_pack_start(GTK_BOX(font), flag1, FALSE, FALSE, 0);
    GtkWidget* flag2 = gtk_check_button_new_with_label(U8(COptions::kFontFlag2Text).c_str());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(flag2), options.fontFlag2);
    gtk_box_pack_start(GTK_BOX(font), flag2, FALSE, FALSE, 0);

    // Browser.
    GtkWidget* browser = Page(notebook, COptions::kPages[2]);
    gtk_box_pack_start(GTK_BOX(browser), Label(COptions::kBrowserQuestion), FALSE, FALSE, 0);
    GtkWidget* radios[4] = {};
    GSList* group = nullptr;
    for (int choice = 0; choice < 4; ++choice) {
        radios[choice] = gtk_radio_button_new_with_label(group, U8(COptions::kBrowsers[choice]).c_str());
        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(radios[choice]));
        gtk_widget_set_sensitive(radios[choice], options.browserAvailable[choice]);
        gtk_box_pack_start(GTK_BOX(browser), radios[choice], FALSE, FALSE, 0);
    }
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(radios[options.browser]), TRUE);

    gtk_widget_show_all(dialog);
    bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (ok) {
        options.reload = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(reload));
        options.lastProject = U16(gtk_entry_get_text(GTK_ENTRY(project)));
        options.face = ChosenText(face);
        options.size = ChosenText(size);
        options.fontFlag1 = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(flag1));
        options.fontFlag2 = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(flag2));
        for (int choice = 0; choice < 4; ++choice)
            if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radios[choice])))
                options.browser = choice;
        options.Apply(*CAppSettings::Get(), currentProject);
    }
    gtk_widget_destroy(dialog);
    return ok;
}

void RunStatisticsDialog(GtkWindow* parent, const std::u16string& name, const CProjectStats& stats)
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Statistics", parent,
                                                    static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL |
                                                                                GTK_DIALOG_DESTROY_WITH_PARENT),
                                                    "_OK", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* grid = gtk_grid_new();
    gtk_container_set_border_width(GTK_CONTAINER(grid), 16);
    gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 24);
    GtkWidget* heading = gtk_label_new(nullptr);
    gchar* markup = g_markup_printf_escaped("<b>%s</b>", U8(name).c_str());
    gtk_label_set_markup(GTK_LABEL(heading), markup);
    g_free(markup);
    gtk_label_set_xalign(GTK_LABEL(heading), 0);
    gtk_grid_attach(GTK_GRID(grid), heading, 0, 0, 2, 1);
    int row = 1;
    for (const auto& [label, value] : stats.GetRows()) {
        gtk_grid_attach(GTK_GRID(grid), Label(label), 0, row, 1, 1);
        GtkWidget* number = gtk_label_new(std::to_string(value).c_str());
        gtk_label_set_xalign(GTK_LABEL(number), 1);
        gtk_grid_attach(GTK_GRID(grid), number, 1, row, 1, 1);
        ++row;
    }
    // Where the conflict copies are, so the user can compare and remove them.
    std::u16string where;
    for (const std::u16string& copy : stats.conflictCopies)
        where += (where.empty() ? u"" : u"\n") + copy;
    if (!where.empty()) {
        GtkWidget* list = Label(where.c_str());
        gtk_label_set_selectable(GTK_LABEL(list), TRUE);
        gtk_grid_attach(GTK_GRID(grid), list, 0, row, 2, 1);
    }
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid, TRUE, TRUE, 0);
    gtk_widget_show_all(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

void RunAboutDialog(GtkWindow* parent)
{
    GtkWidget* dialog = gtk_about_dialog_new();
    GtkAboutDialog* about = GTK_ABOUT_DIALOG(dialog);
    gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
    gtk_about_dialog_set_program_name(about, "Zandrel");
    gtk_about_dialog_set_logo_icon_name(about, U8(CFileAssoc::kAppId).c_str());
    gtk_about_dialog_set_version(about, U8(CCommandTable::GetVersionText()).c_str());
    gtk_about_dialog_set_comments(about, "A desktop organiser for saved web pages and notes.");
    std::string site = U8(CCommandTable::GetWebSite());
    gtk_about_dialog_set_website(about, site.c_str());
    gtk_about_dialog_set_website_label(about, site.c_str());
    gtk_about_dialog_set_license_type(about, GTK_LICENSE_GPL_3_0);
    // Close and Escape both answer with a response, which ends the run.
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}
