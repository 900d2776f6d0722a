#include "app/background/CUpdateCheck.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/background/CHttpDownload.h"
#include "app/core/CAppSettings.h"
#include "app/core/CCommandTable.h"
#include "app/core/CRegistry.h"
#include "app/core/CTraceLog.h"
#include "base/tools/CEncodingTool.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

constexpr char kReplyPrefix[] = "ZANDRVERSION=";
constexpr size_t kReplyPrefixLength = sizeof(kReplyPrefix) - 1;
constexpr char16_t kServicePath[] = u"/updatecheck/zandrupdatev2.php?";
constexpr int kEthernet = 1;  // ARPHRD_ETHER in "type"

template <typename Char>
bool IsSpace(Char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The records hold 32-bit numbers; larger ones stop at the limits.
template <typename Char>
long ToNumber(std::basic_string_view<Char> piece)
{
    return CStringTool::ReadLong(piece);
}

// The numbers between runs of the given separator letters; with skipZeros,
// pieces that read as 0 are left out.
template <typename Char>
std::vector<long> SplitNumbers(std::basic_string_view<Char> text, const char* separators, bool skipZeros)
{
    auto isSeparator = [separators](Char c) {
        return c != 0 && static_cast<uint32_t>(c) < 128 &&
               std::strchr(separators, static_cast<char>(c)) != nullptr;
    };
    std::vector<long> numbers;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isSeparator(text[at]))
            ++at;
        size_t end = at;
        while (end < text.size() && !isSeparator(text[end]))
            ++end;
        if (end > at) {
            long number = ToNumber(text.substr(at, end - at));
            if (number != 0 || !skipZeros)
                numbers.push_back(number);
        }
        at = end;
    }
    return numbers;
}

// Newer: a higher version, or the same version with a higher build.
bool IsNewer(long version, long build, long thanVersion, long thanBuild)
{
    return version > thanVersion || (version == thanVersion && build > thanBuild);
}

std::string ReadFirstLine(const std::filesystem::path& file)
{
    std::string bytes;
    ReadRegularFile(file.c_str(), &bytes);
    std::istringstream in(bytes);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && IsSpace(line.back()))
        line.pop_back();
    return line;
}

// "xx:xx:xx:xx:xx:xx" in lower case; "" for any other length and for the
// all-zero address that loopback and some virtual adapters show.
std::string SixByteAddress(const std::string& text)
{
    if (text.size() != 17)
        return "";
    std::string address;
    bool allZero = true;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (i % 3 == 2) {
            if (c != ':')
                return "";
        } else {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return "";
            allZero = allZero && c == '0';
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        address += c;
    }
    return allZero ? "" : address;
}

bool IsAsciiLetterOrDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

}  // namespace

CUpdateCheck::CUpdateCheck(Clock now)
    : m_now(std::move(now))
{
}

long CUpdateCheck::Now() const
{
    return m_now ? m_now() : static_cast<long>(std::time(nullptr));
}

CUpdateCheck::CVersionRecord CUpdateCheck::GetVersionRecord() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_version;
}

std::u16string CUpdateCheck::FormatCheckRecord(const CCheckRecord& record)
{
    return CUnicodeTool::FromUtf8(
        CStringTool::Format("F%ldL%ldT%ldV%ld", record.first, record.last, record.count, record.build));
}

std::optional<CUpdateCheck::CCheckRecord> CUpdateCheck::ParseCheckRecord(const std::u16string& text)
{
    std::vector<long> n = SplitNumbers(std::u16string_view(text), "FLTV", false);
    if (n.size() < 4 || n[0] == 0 || n[1] == 0)
        return std::nullopt;
    return CCheckRecord{n[0], n[1], n[2], n[3]};
}

std::u16string CUpdateCheck::FormatVersionRecord(const CVersionRecord& r)
{
    return CUnicodeTool::FromUtf8(CStringTool::Format("V%ldB%ldT%ld#V%ldB%ldT%ld#V%ldB%ldT%ld", r[0], r[1], r[2],
                                         r[3], r[4], r[5], r[6], r[7], r[8]));
}

std::optional<CUpdateCheck::CVersionRecord> CUpdateCheck::ParseVersionRecord(const std::u16string& text)
{
    std::vector<long> n = SplitNumbers(std::u16string_view(text), "VBT#", true);
    if (n.size() < 9)
        return std::nullopt;
    CVersionRecord record;
    std::copy_n(n.begin(), record.size(), record.begin());
    return record;
}

std::optional<std::array<long, 3>> CUpdateCheck::ParseReply(const std::string& reply)
{
    if (reply.compare(0, kReplyPrefixLength, kReplyPrefix) != 0)
        return std::nullopt;
    std::vector<long> n = SplitNumbers(std::string_view(reply).substr(kReplyPrefixLength), "VBT#", true);
    if (n.size() < 3)
        return std::nullopt;
    return std::array<long, 3>{n[0], n[1], n[2]};
}

std::u16string CUpdateCheck::GetStartPageLetter(const std::u16string& frontPagePath)
{
    if (frontPagePath.empty())
        return u"-";
    // Only ASCII goes into the query unescaped.
    if (!IsAsciiLetterOrDigit(frontPagePath[0]))
        return u"-E";
    std::u16string letter(1, frontPagePath[0]);
    if (frontPagePath.size() > 1)
        letter += u'E';
    return letter;
}

std::u16string CUpdateCheck::GetMachineId(const std::string& netFolder)
{
    namespace fs = std::filesystem;
    // Best first: a wired-type adapter on real hardware, then any wired-type
    // one (bridges and veth pairs come and go), then any adapter. Names
    // break ties, so the choice does not depend on listing order.
    struct Candidate {
        int rank;
        std::string name, address;
        int type;
    };
    std::optional<Candidate> best;
    std::error_code error;
    for (fs::directory_iterator it(netFolder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& adapter = it->path();
        std::string address = SixByteAddress(ReadFirstLine(adapter / "address"));
        if (address.empty())
            continue;
        std::string typeText = ReadFirstLine(adapter / "type");
        int type = static_cast<int>(ToNumber(std::string_view(typeText)));
        std::error_code ignored;
        bool hardware = fs::exists(adapter / "device", ignored);
        Candidate c{(type == kEthernet ? 0 : 2) + (hardware ? 0 : 1), adapter.filename().string(), address,
                    type};
        if (!best || c.rank < best->rank || (c.rank == best->rank && c.name < best->name))
            best = c;
    }
    if (!best)
        return u"0";
    // A digest rather than the address itself: as stable, only letters and
    // digits, and the hardware address does not leave the machine.
    std::u16string source = CUnicodeTool::FromUtf8(CStringTool::Format("%s-%d", best->address.c_str(), best->type));
    char16_t digest[33] = {};
    CEncodingTool::GetWideCharMD5(source.c_str(), digest);
    return digest;
}

void CUpdateCheck::OnStartup()
{
    CAppSettings* settings = CAppSettings::Get();
    const long version = settings->GetVersion(), build = settings->GetBuild();
    CRegistry registry = CRegistry::ForSettings();
    std::u16string text;
    std::optional<CVersionRecord> stored;
    if (registry.GetValue(kVersionValue, &text))
        stored = ParseVersionRecord(text);

    std::lock_guard<std::mutex> hold(m_lock);
    if (stored && !IsNewer(version, build, (*stored)[3], (*stored)[4])) {
        m_version = *stored;
        return;
    }
    const long now = Now();
    CVersionRecord record{version, build, now, version, build, now, version, build, now};
    if (stored) {
        record = *stored;
        record[3] = version;
        record[4] = build;
        record[5] = now;
    }
    registry.SetValue(kVersionValue, FormatVersionRecord(record));
    m_version = record;
}

CUpdateCheck::CSettingsCopy CUpdateCheck::CopySettings()
{
    CAppSettings* settings = CAppSettings::Get();
    return {settings->GetVersion(), settings->GetBuild(), settings->GetUpdateCheckBaseUrl(),
            settings->GetDataFolders().GetUserDataRoot()};
}

std::optional<std::string> CUpdateCheck::Query(const std::u16string& url, std::stop_token stop)
{
    CHttpDownload http(std::move(stop));
    if (!http.Open(url.c_str()))
        return std::nullopt;
    char buffer[kReplyBytes];
    int32_t length = http.ReadHead(buffer, kReplyBytes);
    if (length < 0)
        return std::nullopt;
    std::string reply(buffer, static_cast<size_t>(length));
    // Through UTF-16 and back, so stray bytes cannot spoil the log.
    std::string shown = CUnicodeTool::ToUtf8(CUnicodeTool::FromUtf8(reply));
    CTraceLog::Write("REC: UpdateCheck=%s", shown.c_str());
    return reply;
}

bool CUpdateCheck::Run(int listBuild, const CSettingsCopy& settings, std::stop_token stop)
{
    const int version = settings.version, build = settings.build;
    CTraceLog::Write("INFO: Thread check version update. Current V=%d B=%d", version, build);

    CRegistry registry(settings.userDataRoot);
    std::u16string text;
    std::optional<CCheckRecord> check;
    if (registry.GetValue(kCheckValue, &text))
        check = ParseCheckRecord(text);
    if (!check) {
        CTraceLog::Write("INFO: Cannot read RegCheckData. FirstTimeStoreCheckData");
        const long now = Now();
        check = CCheckRecord{now, now, 0, 0};
        registry.SetValue(kCheckValue, FormatCheckRecord(*check));
    }

    // A list build already reported goes out as 0.
    int sentBuild = listBuild;
    if (listBuild >= 1 && listBuild == check->build)
        sentBuild = 0;
    long interval = 0;
    if (registry.GetValue(u"DLTimeInterval", &text))
        interval = ToNumber(std::u16string_view(text));
    std::u16string frontPagePath;
    if (!registry.GetValue(u"FrontPagePath", &frontPagePath))
        frontPagePath.clear();

    std::string parameters =
        CStringTool::Format("V=%d&B=%d&T=%d&I=%s&C=%d-%d-%d-%d-V%dP%s", version, build, static_cast<int>(interval),
               CUnicodeTool::ToUtf8(GetMachineId()).c_str(), static_cast<int>(check->first),
               static_cast<int>(check->last), static_cast<int>(check->count), static_cast<int>(check->build),
               sentBuild, CUnicodeTool::ToUtf8(GetStartPageLetter(frontPagePath)).c_str());
    CTraceLog::Write("INFO: UpdateCheck Paramerter=%s", parameters.c_str());
    std::u16string base = settings.serviceUrl;
    while (!base.empty() && base.back() == u'/')
        base.pop_back();
    std::u16string url = base + kServicePath + CUnicodeTool::FromUtf8(parameters);
    CTraceLog::Write("SEND: UpdateCheck URL=%s", CUnicodeTool::ToUtf8(url).c_str());

    if (stop.stop_requested())
        return false;
    std::optional<std::string> reply = Query(url, stop);
    std::optional<std::array<long, 3>> announced = reply ? ParseReply(*reply) : std::nullopt;
    if (!announced) {
        CTraceLog::Write("WARN: Thread check ReadHttpData error.");
        return false;
    }

    const long now = Now();
    check->last = now;
    check->count += 1;
    check->build = listBuild;
    registry.SetValue(kCheckValue, FormatCheckRecord(*check));

    const auto [newVersion, newBuild, third] = *announced;
    std::lock_guard<std::mutex> hold(m_lock);
    CTraceLog::Write("INFO: GetVersion from Web V=%d B=%d T=%ld StoredOld V=%d B=%d T=%ld ",
                     static_cast<int>(newVersion), static_cast<int>(newBuild), third,
                     static_cast<int>(m_version[6]), static_cast<int>(m_version[7]), m_version[8]);
    // Announcing the version that already runs here (installed before it was
    // announced) is no news either.
    bool needed = m_version[6] != 0 && newVersion > m_version[6] && newVersion > version;
    CTraceLog::Write("Checking NeedUpdate=%s", needed ? "true" : "false");
    if (needed) {
        m_version[6] = newVersion;
        m_version[7] = newBuild;
        m_version[8] = now;
        registry.SetValue(kVersionValue, FormatVersionRecord(m_version));
        UIPort().Post([shown = static_cast<int>(newVersion), shownBuild = static_cast<int>(newBuild)] {
            ShowNewVersionDialog(shown, shownBuild);
        });
    }
    return true;
}

void CUpdateCheck::ShowNewVersionDialog(int version, int build)
{
    std::u16string text = u"New Version of Zandrel is ready for update.\r\n" +
                          CCommandTable::FormatVersion(version, build) +
                          u"\r\nDo you want to visit Korvel Zandrel  web site for  more information?";
    if (UIPort().MessageBox(text, u"New Version for Update", MB_OKCANCEL, IDOK) == IDOK)
        UIPort().OpenUri(CCommandTable::GetWebSite());
}
