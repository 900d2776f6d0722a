#pragma once

// Insert Image's two dialogs: the file chooser that starts in the folder
// last used for an image, and the dialog with the image's preview, sizes,
// alignment and border.

#include <gtk/gtk.h>

#include <string>

#include "app/core/CEditorText.h"

class CImageDialog {
public:
    CImageDialog() = delete;

    // The chosen file's path; false when the user cancels. The chosen
    // file's folder becomes the last image folder when it changed.
    static bool ChooseFile(GtkWindow* parent, std::u16string* path);
    // The values for the image at `path`; false on Cancel. OK is taken only
    // when the core's checks pass or the user agrees to a zero size.
    static bool Run(GtkWindow* parent, const std::u16string& path, CEditorText::CImageInsert* image);
};
