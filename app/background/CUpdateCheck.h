#pragma once

// Asks the vendor's update-check service whether a newer version exists and
// tells the user once per announced version. Two records in the registry
// stand-in keep the state: "zandrcheck" (first and last check, number of
// checks, the list build sent last) and "zandrversion" (the first version
// run here, the newest run here, the newest announced, each with its build
// and time).

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "app/core/CUIPort.h"

class CUpdateCheck {
public:
    // Registry values.
    static constexpr char16_t kCheckValue[] = u"zandrcheck";
    static constexpr char16_t kVersionValue[] = u"zandrversion";
    // The service's reply is read once into this many bytes.
    static constexpr int kReplyBytes = 511;
    // What a check needs of the program's settings, copied on the
    // interface thread before the check's thread starts.
    struct CSettingsCopy {
        int version = 0;
        int build = 0;
        std::u16string serviceUrl;    // the update-check service's site
        std::u16string userDataRoot;  // where the registry file is
    };
    static CSettingsCopy CopySettings();

    // "F%ldL%ldT%ldV%ld"
    struct CCheckRecord {
        long first = 0;
        long last = 0;
        long count = 0;
        long build = 0;
    };
    // "V%ldB%ldT%ld#V%ldB%ldT%ld#V%ldB%ldT%ld": the first version run here,
    // the newest run here, the newest announced; each version, build, time.
    using CVersionRecord = std::array<long, 9>;

    using Clock = std::function<long()>;

    // `now` gives seconds since 1970; tests move it.
    explicit CUpdateCheck(Clock now = nullptr);

    // At start-up, on the interface thread: makes or refreshes the version
    // record for the running version and keeps it in memory.
    void OnStartup();

    // On the start-page thread after every download run: `listBuild` is
    // the list's build number, or -1 when it had none. True when the
    // service answered. A stop request ends the query at once (false).
    // A newer version is told to the user through a task posted to the
    // interface thread.
    bool Run(int listBuild, const CSettingsCopy& settings, std::stop_token stop = {});
    // The same with the settings of now; on the interface thread.
    bool Run(int listBuild) { return Run(listBuild, CopySettings()); }

    // On the interface thread: the new-version dialog; OK opens the
    // vendor's site.
    static void ShowNewVersionDialog(int version, int build);

    // Record texts, as stored.
    static std::u16string FormatCheckRecord(const CCheckRecord& record);
    static std::optional<CCheckRecord> ParseCheckRecord(const std::u16string& text);
    static std::u16string FormatVersionRecord(const CVersionRecord& record);
    static std::optional<CVersionRecord> ParseVersionRecord(const std::u16string& text);
    // The reply's announced version, build and third number; none when it
    // does not begin "ZANDRVERSION=" or holds fewer than three.
    static std::optional<std::array<long, 3>> ParseReply(const std::string& reply);
    // The letter sent for the shown start-page folder ("a", "-", "aE", "-E").
    static std::u16string GetStartPageLetter(const std::u16string& frontPagePath);
    // This machine's identifier: the MD5 (32 upper-case hexadecimal digits)
    // of one adapter's 6-byte address and kind, as "xx:xx:xx:xx:xx:xx-1".
    // An Ethernet adapter is preferred, one on real hardware first; then any
    // adapter; ties go to the first name. An all-zero address does not
    // count. "0" without one. `netFolder` is where the adapters are listed
    // ("/sys/class/net").
    static std::u16string GetMachineId(const std::string& netFolder = "/sys/class/net");

    // The version record in memory (for tests and the start-up check).
    CVersionRecord GetVersionRecord() const;

private:
    long Now() const;
    // The reply's bytes; none when the service could not be asked.
    static std::optional<std::string> Query(const std::u16string& url, std::stop_token stop);

    Clock m_now;
    mutable std::mutex m_lock;
    CVersionRecord m_version{};
};
