#pragma once

// GIO file monitors on a few directories. A writer makes a burst of events
// per save (a temporary file, a rename, our own saves included), so the
// receiver hears once the burst is over, and only while no modal dialog
// is up; it tells its own writes from others' by the files' stamps.

#include <gio/gio.h>

#include <functional>
#include <string>
#include <vector>

class CFileWatch {
public:
    explicit CFileWatch(std::function<void()> changed);
    ~CFileWatch();
    CFileWatch(const CFileWatch&) = delete;
    CFileWatch& operator=(const CFileWatch&) = delete;

    // Watches exactly these directories (none for an empty list); the same
    // list again changes nothing.
    void Watch(const std::vector<std::u16string>& folders);

private:
    void Stop();
    static void OnEvent(GFileMonitor*, GFile* file, GFile* other, GFileMonitorEvent event, gpointer self);
    static gboolean OnQuiet(gpointer self);

    std::function<void()> m_changed;
    std::vector<std::u16string> m_folders;
    std::vector<GFileMonitor*> m_monitors;
    guint m_timer = 0;
};
