#include "app/shell/CFileWatch.h"

#include <gtk/gtk.h>

#include "app/core/CFileSys.h"

namespace {

// Long enough to see a sync tool's write through, short enough to feel
// immediate.
constexpr guint kQuietMs = 300;

// Our own saves' temporary files and "~" copies: the rename that ends a
// save is reported under the file's own name.
bool IsScratch(GFile* file)
{
    if (!file)
        return false;
    gchar* name = g_file_get_basename(file);
    std::string text = name ? name : "";
    g_free(name);
    return text.ends_with("~") || (text.starts_with(".") && text.ends_with(".tmp"));
}

}  // namespace

CFileWatch::CFileWatch(std::function<void()> changed) : m_changed(std::move(changed)) {}

CFileWatch::~CFileWatch()
{
    Stop();
}

void CFileWatch::Stop()
{
    for (GFileMonitor* monitor : m_monitors) {
        g_signal_handlers_disconnect_by_data(monitor, this);
        g_file_monitor_cancel(monitor);
        g_object_unref(monitor);
    }
    m_monitors.clear();
    m_folders.clear();
    if (m_timer)
        g_source_remove(m_timer);
    m_timer = 0;
}

void CFileWatch::Watch(const std::vector<std::u16string>& folders)
{
    if (folders == m_folders)
        return;
    Stop();
    m_folders = folders;
    for (const std::u16string& folder : folders) {
        GFile* file = g_file_new_for_path(CFileSys::Native(folder).c_str());
        // A folder that cannot be watched is only not watched.
        GFileMonitor* monitor = g_file_monitor_directory(file, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
        g_object_unref(file);
        if (!monitor)
            continue;
        g_signal_connect(monitor, "changed", G_CALLBACK(&CFileWatch::OnEvent), this);
        m_monitors.push_back(monitor);
    }
}

void CFileWatch::OnEvent(GFileMonitor*, GFile* file, GFile* other, GFileMonitorEvent event, gpointer self)
{
    auto* watch = static_cast<CFileWatch*>(self);
    if (event == G_FILE_MONITOR_EVENT_ATTRIBUTE_CHANGED || event == G_FILE_MONITOR_EVENT_PRE_UNMOUNT ||
        (IsScratch(file) && (!other || IsScratch(other))))
        return;
    if (watch->m_timer)
        g_source_remove(watch->m_timer);
    watch->m_timer = g_timeout_add(kQuietMs, &CFileWatch::OnQuiet, watch);
}

gboolean CFileWatch::OnQuiet(gpointer self)
{
    auto* watch = static_cast<CFileWatch*>(self);
    // A question is up (perhaps about this very page): ask later.
    if (gtk_grab_get_current())
        return G_SOURCE_CONTINUE;
    watch->m_timer = 0;
    watch->m_changed();
    return G_SOURCE_REMOVE;
}
