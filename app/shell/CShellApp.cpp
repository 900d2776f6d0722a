#include "app/shell/CShellApp.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <ctime>
#include <memory>

#include "app/core/CAppSettings.h"
#include "app/core/CFileAssoc.h"
#include "app/main/CMainCore.h"
#include "app/shell/CGtkText.h"
#include "app/shell/CGtkUIPort.h"
#include "app/shell/CMainWindow.h"
#include "app/shell/CTagsWindow.h"

namespace {

// Every window shows the program's icon. An installed program finds it in
// the icon theme; one in an unusual prefix or still in its build folder
// takes it from ../share/icons beside it or from the source tree.
void ShowProgramIcon()
{
    std::string id = U8(CFileAssoc::kAppId);
    GtkIconTheme* theme = gtk_icon_theme_get_default();
    if (!gtk_icon_theme_has_icon(theme, id.c_str())) {
        gchar* bin = g_path_get_dirname(U8(CFileAssoc::GetProgramPath()).c_str());
        gchar* icons = g_build_filename(bin, "..", "share", "icons", nullptr);
        gtk_icon_theme_append_search_path(theme, icons);
        gtk_icon_theme_append_search_path(theme, ZANDREL_ICON_DIR);
        g_free(icons);
        g_free(bin);
    }
    gtk_window_set_default_icon_name(id.c_str());
}

}  // namespace

int CShellApp::Run(int argc, char** argv, const std::u16string& project)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "Zandrel: cannot open the display.\n");
        return 1;
    }
    ShowProgramIcon();

    // The port comes first: building the settings may already tell the
    // user something. It outlives the loop, as posted messages may still
    // be on their way.
    static CGtkUIPort port;
    SetUIPort(&port);
    CAppSettings* settings = CAppSettings::Get();
    settings->OpenTraceLog(static_cast<long>(std::time(nullptr)));
    {
        auto core = std::make_unique<CMainCore>();
        auto window = std::make_unique<CMainWindow>(*core);
        auto tags = std::make_unique<CTagsWindow>(*core);
        port.SetMainWindow(window.get());
        port.SetTagsWindow(tags.get());
        window->Open(project);
        gtk_main();
        port.SetTagsWindow(nullptr);
        tags.reset();
        port.SetMainWindow(nullptr);
        window.reset();
        core.reset();
    }
    CMainCore::ReleaseProgramObjects();
    return 0;
}
