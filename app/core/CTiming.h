#pragma once

// Timing points for measuring big projects. With ZANDREL_TIMINGS set (to
// anything) a CTiming prints one line to the error output when it ends:
//   timing: show-collection rows=5000 wall=12.3ms cpu=11.8ms
// where cpu is the time of the thread that made it (the interface
// thread's, in the shell). Without the variable nothing is timed or
// printed.

#include <glib.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

class CTiming {
public:
    struct SinceLaunch {};

    static bool IsOn()
    {
        static const bool on = std::getenv("ZANDREL_TIMINGS") != nullptr;
        return on;
    }

    explicit CTiming(const char* step) : m_step(step), m_bOn(IsOn())
    {
        if (m_bOn) {
            m_wall = Now(CLOCK_MONOTONIC);
            m_cpu = Now(CLOCK_THREAD_CPUTIME_ID);
        }
    }
    // Counted from the start of the process; the thread's time from its
    // start, so make it on the main thread.
    CTiming(const char* step, SinceLaunch) : m_step(step), m_bOn(IsOn()), m_bLaunch(true)
    {
        if (m_bOn)
            m_wall = LaunchTime();
    }
    ~CTiming()
    {
        if (!m_bOn)
            return;
        double wall = Now(m_bLaunch ? CLOCK_BOOTTIME : CLOCK_MONOTONIC) - m_wall;
        double cpu = Now(CLOCK_THREAD_CPUTIME_ID) - m_cpu;
        std::fprintf(stderr, "timing: %s%s wall=%.1fms cpu=%.1fms\n", m_step, m_detail.c_str(), wall * 1e3,
                     cpu * 1e3);
    }
    CTiming(const CTiming&) = delete;
    CTiming& operator=(const CTiming&) = delete;

    // Prints the line of `timing` (made with new) once the main loop has
    // only low-priority work left: the views' own idle work is done then.
    static void PrintWhenIdle(CTiming* timing)
    {
        g_idle_add_full(G_PRIORITY_LOW, +[](gpointer data) -> gboolean {
            delete static_cast<CTiming*>(data);
            return G_SOURCE_REMOVE;
        }, timing, nullptr);
    }

    // Adds " name=value" to the line.
    void Note(const char* name, long long value)
    {
        if (m_bOn)
            m_detail += std::string(" ") + name + "=" + std::to_string(value);
    }

private:
    static double Now(clockid_t clock)
    {
        timespec ts{};
        clock_gettime(clock, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
    // When the process started, on the boot-time clock: field 22 of
    // /proc/self/stat, in clock ticks. 0 when it cannot be read.
    static double LaunchTime()
    {
        char text[1024] = {};
        FILE* file = std::fopen("/proc/self/stat", "r");
        if (!file)
            return 0;
        size_t length = std::fread(text, 1, sizeof text - 1, file);
        std::fclose(file);
        text[length] = '\0';
        // The name in brackets may hold spaces; the fields after it do not.
        const char* field = std::strrchr(text, ')');
        for (int n = 2; field && n < 22; ++n)
            field = std::strchr(field + 1, ' ');
        return field ? std::strtod(field + 1, nullptr) / static_cast<double>(sysconf(_SC_CLK_TCK)) : 0;
    }

    const char* m_step;
    bool m_bOn;
    bool m_bLaunch = false;
    std::string m_detail;
    double m_wall = 0;
    double m_cpu = 0;
};
