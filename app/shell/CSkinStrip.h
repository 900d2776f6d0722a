#pragma once

// The skin's bitmaps: strips of equal square pictures on a magenta
// background, which becomes transparent when a strip is loaded.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <string>
#include <vector>

class CSkinStrip {
public:
    // The key colour every picture is drawn on.
    static constexpr guchar kKeyRed = 255;
    static constexpr guchar kKeyGreen = 0;
    static constexpr guchar kKeyBlue = 255;

    CSkinStrip() = default;
    ~CSkinStrip();
    CSkinStrip(const CSkinStrip&) = delete;
    CSkinStrip& operator=(const CSkinStrip&) = delete;

    // Reads `path` and cuts it into pictures `size` pixels square, left to
    // right; a last part narrower than `size` is no picture. False (and no
    // pictures) when the file cannot be read or is smaller than one
    // picture.
    bool Load(const std::u16string& path, int size);
    // Load of a bitmap of the skin folder by its file name ("Flags.bmp").
    bool LoadSkin(const char16_t* fileName, int size);

    // The picture at `place`, owned by the strip; null outside the strip.
    GdkPixbuf* Get(int place) const;
    int GetCount() const { return static_cast<int>(m_pictures.size()); }

private:
    void Clear();

    std::vector<GdkPixbuf*> m_pictures;
};
