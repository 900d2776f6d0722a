#pragma once

// The program's trace log: off unless the settings name a log file. Any
// thread may write; entries are numbered from 1 under one lock, end in
// CR LF and are flushed at once. While the log is off an entry costs one
// atomic load.

#include <ctime>
#include <string>

class CTraceLog {
public:
    CTraceLog() = delete;

    // Opens `path` for appending; does nothing while a log is open. When
    // the file cannot be opened, says so on standard output and stays off.
    static bool Open(const std::u16string& path, bool timeStamps);
    static void Close();
    static bool IsOpen();

    // One entry; the format and its arguments are printf's, in UTF-8.
    static void Write(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // `folder` + the local time of `now` as "%Y%m%d-%H%M%S" + "-" + `name`.
    // The name is trimmed of blanks and only its last path component is
    // kept, so it cannot lead out of the folder; "" when nothing usable is
    // left.
    static std::u16string GetLogPath(const std::u16string& folder, const std::u16string& name,
                                     std::time_t now);
};
