#pragma once

// The preferences dialog without its widgets: the pages' texts and
// choices, the values it shows, and how the user's answers reach the
// settings (which are written at shut-down).

#include <array>
#include <string>

class CAppSettings;
class CPageProfile;

struct COptions {
    static constexpr std::array<const char16_t*, 3> kPages = {u"General", u"Page Font", u"Browser"};
    static constexpr char16_t kTitle[] = u"Zandrel Preferences";

    // General.
    static constexpr char16_t kReloadText[] = u"Open this project when Zandrel starts:";
    static constexpr char16_t kUseCurrentText[] = u"Use the Current Project";

    // Page Font.
    static constexpr std::array<const char16_t*, 3> kFaces = {u"Arial", u"Verdana", u"Times New Roman"};
    static constexpr std::array<const char16_t*, 4> kSizes = {u"10pt", u"12pt", u"14pt", u"18pt"};
    static constexpr char16_t kFaceText[] = u"Font:";
    static constexpr char16_t kSizeText[] = u"Size:";
    static constexpr char16_t kFontFlag1Text[] = u"Show pages in this font";
    static constexpr char16_t kFontFlag2Text[] = u"Give new pages this font";

    // Browser.
    static constexpr char16_t kBrowserQuestion[] =
        u"When you double click or Alt+click to open a link on a Zandrel page, which browser would you like to use?";
    static constexpr std::array<const char16_t*, 4> kBrowsers = {u"My Default Browser", u"Google Chrome",
                                                                 u"Internet Explorer", u"Firefox"};

    bool reload = false;
    std::u16string lastProject;
    bool fontFlag1 = false;
    bool fontFlag2 = false;
    std::u16string face;
    std::u16string size;
    int browser = 0;                       // as shown: 0 for a choice that cannot be used
    std::array<bool, 4> browserAvailable{};  // which choices can be picked

    // The style a new page's body gets when the settings ask for it, else
    // "". A face or size that is not plain (it comes from the settings
    // file) gives "" too.
    static std::u16string GetNewPageStyle(const CPageProfile& profile);

    // What the dialog shows for the settings now.
    static COptions Read(const CAppSettings& settings);
    // Stores the answers. Turning the reload on without a project file
    // takes `currentProject`; a browser that cannot be used stays unchosen.
    void Apply(CAppSettings& settings, const std::u16string& currentProject) const;
};
