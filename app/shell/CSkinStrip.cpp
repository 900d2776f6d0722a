#include "app/shell/CSkinStrip.h"

#include "app/core/CAppSettings.h"
#include "app/shell/CGtkText.h"

CSkinStrip::~CSkinStrip()
{
    Clear();
}

void CSkinStrip::Clear()
{
    for (GdkPixbuf* picture : m_pictures)
        g_object_unref(picture);
    m_pictures.clear();
}

bool CSkinStrip::Load(const std::u16string& path, int size)
{
    Clear();
    if (size <= 0 || path.empty())
        return false;
    GError* error = nullptr;
    GdkPixbuf* file = gdk_pixbuf_new_from_file(U8(path).c_str(), &error);
    if (!file) {
        // A missing skin leaves the views without pictures, nothing worse.
        g_printerr("Zandrel: cannot read %s: %s\n", U8(path).c_str(), error ? error->message : "");
        g_clear_error(&error);
        return false;
    }
    GdkPixbuf* keyed = gdk_pixbuf_add_alpha(file, TRUE, kKeyRed, kKeyGreen, kKeyBlue);
    g_object_unref(file);
    if (!keyed)
        return false;
    int width = gdk_pixbuf_get_width(keyed);
    int height = gdk_pixbuf_get_height(keyed);
    if (height >= size) {
        for (int x = 0; x + size <= width; x += size)
            m_pictures.push_back(gdk_pixbuf_new_subpixbuf(keyed, x, 0, size, size));
    }
    // The pictures hold the strip's pixels.
    g_object_unref(keyed);
    return !m_pictures.empty();
}

bool CSkinStrip::LoadSkin(const char16_t* fileName, int size)
{
    return Load(CAppSettings::Get()->GetDataFolders().GetSkinFolder() + fileName, size);
}

GdkPixbuf* CSkinStrip::Get(int place) const
{
    if (place < 0 || place >= GetCount())
        return nullptr;
    return m_pictures[static_cast<size_t>(place)];
}
