#include "app/core/COptions.h"

#include "app/core/CAppSettings.h"

#include <cctype>

COptions COptions::Read(const CAppSettings& settings)
{
    const CPageProfile& page = settings.GetPageProfile();
    COptions options;
    options.reload = page.GetReloadLastProject();
    options.lastProject = page.GetLastProjectFile();
    options.fontFlag1 = page.GetFontFlag1();
    options.fontFlag2 = page.GetFontFlag2();
    options.face = page.GetFontFace();
    options.size = page.GetFontSize();
    for (int choice = 0; choice < 4; ++choice)
        options.browserAvailable[choice] = CAppSettings::IsBrowserAvailable(choice);
    options.browser = CAppSettings::GetShownBrowserChoice(page.GetBrowserChoice());
    return options;
}

void COptions::Apply(CAppSettings& settings, const std::u16string& currentProject) const
{
    CPageProfile& page = settings.GetPageProfile();
    std::u16string project = lastProject.empty() && reload ? currentProject : lastProject;
    // Reload without a project would open nothing: keep it off.
    page.SetReloadLastProject(reload && !project.empty());
    page.SetLastProjectFile(project);
    page.SetFontFlag1(fontFlag1);
    page.SetFontFlag2(fontFlag2);
    if (!face.empty())
        page.SetFontFace(face);
    if (!size.empty())
        page.SetFontSize(size);
    if (browser >= 0 && browser < 4 && browserAvailable[browser])
        page.SetBrowserChoice(browser);
}

std::u16string COptions::GetNewPageStyle(const CPageProfile& profile)
{
    const std::u16string& face = profile.GetFontFace();
    const std::u16string& size = profile.GetFontSize();
    if (!profile.GetFontFlag2() || face.empty() || size.size() < 3)
        return std::u16string();
    for (char16_t c : face)
        if (!(std::isalnum(c < 0x80 ? static_cast<int>(c) : 0) || c == u' ' || c == u'-'))
            return std::u16string();
    // Digits, then "pt".
    if (size.compare(size.size() - 2, 2, u"pt") != 0)
        return std::u16string();
    for (size_t i = 0; i + 2 < size.size(); ++i)
        if (size[i] < u'0' || size[i] > u'9')
            return std::u16string();
    return u"font-family: '" + face + u"'; font-size: " + size + u";";
}
