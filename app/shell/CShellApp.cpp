#include "app/shell/CShellApp.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <ctime>
#include <memory>

#include "app/core/CAppSettings.h"
#include "app/main/CMainCore.h"
#include "app/shell/CGtkUIPort.h"
#include "app/shell/CMainWindow.h"
#include "app/shell/CTagsWindow.h"

int CShellApp::Run(int argc, char** argv, const std::u16string& project)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "Zandrel: cannot open the display.\n");
        return 1;
    }

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
