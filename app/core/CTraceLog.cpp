#include "app/core/CTraceLog.h"

#include <locale.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "app/core/CFileSys.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

std::mutex g_lock;
std::atomic<bool> g_on{false};
std::FILE* g_file = nullptr;
bool g_timeStamps = false;
int g_entries = 0;

// Day and month names stay English whatever locale the window shell sets.
size_t FormatTime(char* out, size_t size, const char* format, std::time_t when)
{
    std::tm local{};
    if (!localtime_r(&when, &local))
        return 0;
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    if (!cLocale)
        return std::strftime(out, size, format, &local);
    return strftime_l(out, size, format, &local, cLocale);
}

}  // namespace

bool CTraceLog::Open(const std::u16string& path, bool timeStamps)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_file)
        return true;
    std::string native = CUnicodeTool::ToUtf8(std::u16string_view(path));
    g_file = path.empty() ? nullptr : std::fopen(native.c_str(), "abe");
    if (!g_file) {
        std::printf("********* Can not open Logfile   %s\n", native.c_str());
        std::fflush(stdout);
        return false;
    }
    g_timeStamps = timeStamps;
    g_entries = 0;
    g_on.store(true, std::memory_order_release);
    return true;
}

void CTraceLog::Close()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_on.store(false, std::memory_order_release);
    if (g_file) {
        std::fclose(g_file);
        g_file = nullptr;
    }
}

bool CTraceLog::IsOpen()
{
    return g_on.load(std::memory_order_acquire);
}

void CTraceLog::Write(const char* format, ...)
{
    if (!g_on.load(std::memory_order_acquire) || !format)
        return;
    // The message is formatted outside the lock; only numbering and the
    // write itself are serialised.
    std::string message;
    va_list args;
    va_start(args, format);
    CStringTool::AppendFormatV(message, format, args);
    va_end(args);

    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_file)
        return;
    int number = ++g_entries;
    if (g_timeStamps) {
        char stamp[128];
        if (!FormatTime(stamp, sizeof stamp, "%a %d %b %H:%M:%S %Y ", std::time(nullptr)))
            stamp[0] = '\0';
        std::fprintf(g_file, "%d %s", number, stamp);
    } else {
        std::fprintf(g_file, "%d", number);
    }
    std::fwrite(message.data(), 1, message.size(), g_file);
    std::fputs("\r\n", g_file);
    std::fflush(g_file);
}

std::u16string CTraceLog::GetLogPath(const std::u16string& folder, const std::u16string& name,
                                     std::time_t now)
{
    std::u16string file = CStringTool::TrimBlanks(name);
    size_t slash = file.find_last_of(u"/\\");
    if (slash != std::u16string::npos)
        file = file.substr(slash + 1);
    if (!CFileSys::IsPlainName(file))
        return std::u16string();
    char stamp[32];
    if (!FormatTime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", now))
        return std::u16string();
    return CFileSys::WithSlash(folder) + CUnicodeTool::FromUtf8(stamp) + u'-' + file;
}
