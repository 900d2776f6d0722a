#include "app/shell/CImageDialog.h"

#include <sys/stat.h>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CUIPort.h"
#include "app/shell/CGtkText.h"

namespace {

// The preview fits in this square; smaller images keep their size.
constexpr int kPreviewSize = 220;

GtkWidget* AddRow(GtkGrid* grid, int row, const char* caption, GtkWidget* field)
{
    GtkWidget* label = gtk_label_new_with_mnemonic(caption);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), field);
    gtk_grid_attach(grid, label, 0, row, 1, 1);
    gtk_grid_attach(grid, field, 1, row, 1, 1);
    return field;
}

GtkWidget* Entry(const std::u16string& text)
{
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), U8(text).c_str());
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 10);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    return entry;
}

std::u16string Text(GtkWidget* entry)
{
    return U16(gtk_entry_get_text(GTK_ENTRY(entry)));
}

}  // namespace

bool CImageDialog::ChooseFile(GtkWindow* parent, std::u16string* path)
{
    GtkWidget* dialog = gtk_file_chooser_dialog_new("Open", parent, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                                    GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    for (const CEditorText::CFileFilter& entry : CEditorText::GetImageFilters()) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, U8(entry.name).c_str());
        for (const std::u16string& pattern : entry.patterns) {
            // "*.*" means every file there, with an extension or not.
            gtk_file_filter_add_pattern(filter, pattern == u"*.*" ? "*" : U8(pattern).c_str());
        }
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
    }
    CAppSettings* settings = CAppSettings::Get();
    std::u16string last = CFileSys::WithoutSlash(settings->GetLastImageFolder());
    if (!last.empty())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), CFileSys::Native(last).c_str());
    bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT;
    if (ok) {
        char* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        ok = file != nullptr;
        if (file) {
            *path = CFileSys::FromNative(file);
            g_free(file);
        }
    }
    gtk_widget_destroy(dialog);
    if (!ok)
        return false;
    std::u16string folder = CFileSys::WithoutSlash(CFileSys::FolderOf(*path));
    if (!folder.empty() && folder != last)
        settings->SetLastImageFolder(folder);
    return true;
}

bool CImageDialog::Run(GtkWindow* parent, const std::u16string& path, CEditorText::CImageInsert* image)
{
    std::string native = CFileSys::Native(path);
    int pixelWidth = 0, pixelHeight = 0;
    bool readable = gdk_pixbuf_get_file_info(native.c_str(), &pixelWidth, &pixelHeight) != nullptr;
    struct stat info {};
    uint64_t bytes = stat(native.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;

    GtkWidget* dialog = gtk_dialog_new_with_buttons("Image", parent,
                                                    static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL |
                                                                                GTK_DIALOG_DESTROY_WITH_PARENT),
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 8);
    GtkWidget* columns = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_box_pack_start(GTK_BOX(area), columns, TRUE, TRUE, 0);

    // Preview, scaled down to fit; nothing when the file is no image.
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_widget_set_size_request(frame, kPreviewSize, kPreviewSize);
    GdkPixbuf* preview = readable ? gdk_pixbuf_new_from_file_at_scale(native.c_str(),
                                                                      pixelWidth > kPreviewSize ? kPreviewSize : -1,
                                                                      pixelHeight > kPreviewSize ? kPreviewSize : -1,
                                                                      TRUE, nullptr)
                                  : nullptr;
    GtkWidget* picture = preview ? gtk_image_new_from_pixbuf(preview) : gtk_label_new("No preview");
    if (preview)
        g_object_unref(preview);
    gtk_container_add(GTK_CONTAINER(frame), picture);
    gtk_box_pack_start(GTK_BOX(columns), frame, FALSE, FALSE, 0);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    gtk_box_pack_start(GTK_BOX(columns), grid, TRUE, TRUE, 0);
    int row = 0;
    GtkWidget* name = gtk_label_new(U8(CFileSys::NameOf(path)).c_str());
    gtk_label_set_xalign(GTK_LABEL(name), 0.0f);
    gtk_label_set_ellipsize(GTK_LABEL(name), PANGO_ELLIPSIZE_MIDDLE);
    AddRow(GTK_GRID(grid), row++, "File:", name);
    std::string pixels = readable ? std::to_string(pixelWidth) + " x " + std::to_string(pixelHeight) + " pixels" : "";
    GtkWidget* pixelLabel = gtk_label_new(pixels.c_str());
    gtk_label_set_xalign(GTK_LABEL(pixelLabel), 0.0f);
    AddRow(GTK_GRID(grid), row++, "Image:", pixelLabel);
    GtkWidget* sizeLabel = gtk_label_new(U8(CEditorText::FormatFileSize(bytes)).c_str());
    gtk_label_set_xalign(GTK_LABEL(sizeLabel), 0.0f);
    AddRow(GTK_GRID(grid), row++, "Size:", sizeLabel);

    GtkWidget* align = gtk_combo_box_text_new();
    for (const char16_t* entry : CEditorText::kAlignmentNames)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(align), U8(entry).c_str());
    // "None" unless the caller chose one, so OK works at once.
    bool chosen = image->alignment >= 0 && image->alignment < CEditorText::kAlignmentCount;
    gtk_combo_box_set_active(GTK_COMBO_BOX(align), chosen ? image->alignment : 0);
    AddRow(GTK_GRID(grid), row++, "_Alignment:", align);
    // The image's own size unless the caller chose one.
    if (image->width.empty() && readable)
        image->width = U16(std::to_string(pixelWidth).c_str());
    if (image->height.empty() && readable)
        image->height = U16(std::to_string(pixelHeight).c_str());
    GtkWidget* width = AddRow(GTK_GRID(grid), row++, "_Width:", Entry(image->width));
    GtkWidget* height = AddRow(GTK_GRID(grid), row++, "_Height:", Entry(image->height));
    GtkWidget* border = AddRow(GTK_GRID(grid), row++, "_Border width:", Entry(image->borderWidth));
    GtkWidget* colour = AddRow(GTK_GRID(grid), row++, "Border _color:", Entry(image->borderColor));

    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(align);
    bool ok = false;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        CEditorText::CImageInsert values = *image;
        values.alignment = gtk_combo_box_get_active(GTK_COMBO_BOX(align));
        values.width = Text(width);
        values.height = Text(height);
        values.borderWidth = Text(border);
        values.borderColor = Text(colour);
        int check = CEditorText::CheckImageDialog(values);
        if (check == CEditorText::IMAGE_NO_ALIGNMENT) {
            ShowMessage(CEditorText::kNoAlignmentText);
            continue;
        }
        if (check == CEditorText::IMAGE_ZERO_SIZE &&
            UIPort().MessageBox(CEditorText::kZeroSizeText, u"Zandrel", MB_YESNO, IDYES) != IDYES)
            continue;
        *image = values;
        ok = true;
        break;
    }
    gtk_widget_destroy(dialog);
    return ok;
}
