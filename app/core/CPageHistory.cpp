#include "app/core/CPageHistory.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CSafeSave.h"
#include "base/tools/CMD5Digest.h"
#include "base/xml/CReadFile.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kHistoryName[] = u"history/";
constexpr char16_t kExtension[] = u".htm";
// "YYYYMMDDTHHMMSSZ"
constexpr size_t kStampLength = 16;

// A version found on disk; lists of them run oldest first.
struct SFound {
    std::u16string file;
    int64_t time = 0;
    int serial = 1;
    int64_t size = 0;
};

fs::path Native(const std::u16string& path)
{
    return fs::path(CFileSys::Native(path));
}

std::u16string DataFolder(const std::u16string& folderDirectory)
{
    return CFileSys::WithSlash(folderDirectory) + CUserFolder::GetProjectDataFolderName() + u"/";
}

// A directory of its own, not a link to one.
bool IsRealDirectory(const std::u16string& path)
{
    std::error_code error;
    return fs::is_directory(fs::symlink_status(Native(path), error));
}

bool MakeDirectory(const std::u16string& path)
{
    int error = 0;
    return CFileSys::MakeDir(path, &error) || (error == EEXIST && IsRealDirectory(path));
}

std::u16string FormatName(int64_t time, int serial)
{
    std::time_t t = static_cast<std::time_t>(time);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);
    std::string name = stamp;
    if (serial > 1)
        name += "-" + std::to_string(serial);
    return CFileSys::FromNative(name) + kExtension;
}

// The versions in a page's history folder, oldest first; links and other
// names are passed over.
std::vector<SFound> Scan(const std::u16string& folder)
{
    std::vector<SFound> found;
    std::error_code error;
    for (fs::directory_iterator it(Native(folder), error), end; !error && it != end; it.increment(error)) {
        std::u16string name = CFileSys::FromNative(it->path().filename().string());
        SFound version;
        std::error_code statError;
        if (!CPageHistory::ParseName(name, &version.time, &version.serial) ||
            !fs::is_regular_file(it->symlink_status(statError)))
            continue;
        version.size = static_cast<int64_t>(it->file_size(statError));
        if (statError)
            continue;
        version.file = folder + name;
        found.push_back(std::move(version));
    }
    std::sort(found.begin(), found.end(), [](const SFound& a, const SFound& b) {
        return a.time != b.time ? a.time < b.time : a.serial < b.serial;
    });
    return found;
}

bool RemoveVersion(const SFound& version)
{
    return CFileSys::RemoveFile(version.file);
}

// The page's rule: the newest kKeepCount stay, and every one younger than
// kKeepSeconds. Removes the others; the bytes they held.
int64_t PrunePage(std::vector<SFound>* versions, int64_t now)
{
    int64_t removed = 0;
    size_t count = versions->size();
    std::vector<SFound> kept;
    for (size_t i = 0; i < count; ++i) {
        const SFound& v = (*versions)[i];
        bool recent = count - i <= CPageHistory::kKeepCount || v.time >= now - CPageHistory::kKeepSeconds;
        if (!recent && RemoveVersion(v))
            removed += v.size;
        else
            kept.push_back(v);
    }
    versions->swap(kept);
    return removed;
}

// Calls `visit` with the history folder of every page below the content
// folder: each folder directory's data folder, assets folders and hidden
// folders left out, links never followed.
template <typename Visit>
void ForEachHistory(const std::u16string& contentFolder, Visit visit)
{
    std::vector<std::pair<std::u16string, int>> pending{{CFileSys::WithSlash(contentFolder), 0}};
    while (!pending.empty()) {
        auto [directory, depth] = pending.back();
        pending.pop_back();
        std::u16string history = DataFolder(directory) + kHistoryName;
        std::error_code error;
        if (IsRealDirectory(history)) {
            for (fs::directory_iterator it(Native(history), error), end; !error && it != end; it.increment(error)) {
                std::u16string name = CFileSys::FromNative(it->path().filename().string());
                std::error_code statError;
                if (CPageHistory::IsUuid(name) && fs::is_directory(it->symlink_status(statError)))
                    visit(history + name + u"/");
            }
        }
        if (depth >= CFolderTreeMgr::kMaxDepth)
            continue;
        for (fs::directory_iterator it(Native(directory), error), end; !error && it != end; it.increment(error)) {
            std::u16string name = CFileSys::FromNative(it->path().filename().string());
            std::error_code statError;
            if (name.empty() || name[0] == u'.' || !fs::is_directory(it->symlink_status(statError)))
                continue;
            constexpr std::u16string_view assets = u"_files";
            if (name.size() > assets.size() && name.ends_with(assets)) {
                std::u16string page = directory + name.substr(0, name.size() - assets.size());
                if (CFileSys::Exists(page + u".htm") || CFileSys::Exists(page + u".html"))
                    continue;
            }
            pending.emplace_back(directory + name + u"/", depth + 1);
        }
    }
}

// What the project's histories hold, known since the last look at them;
// each save adds to it rather than walking the project again.
struct STally {
    std::mutex lock;
    std::u16string root;
    int64_t bytes = -1;  // not known
};

STally& Tally()
{
    static STally tally;
    return tally;
}

void ForgetTally()
{
    std::lock_guard<std::mutex> guard(Tally().lock);
    Tally().bytes = -1;
}

// The content folder of the open project when the page lies in it; else
// the page's own folder stands for its project.
std::u16string ProjectOf(const std::u16string& pageFile)
{
    std::u16string content = CAppSettings::Get()->GetUserFolder().GetCurrentContentPath();
    if (!content.empty()) {
        content = CFileSys::WithSlash(content);
        if (pageFile.starts_with(content))
            return content;
    }
    return CFileSys::FolderOf(pageFile);
}

char16_t Lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

void Digest(const std::string& bytes, unsigned char digest[17])
{
    CMD5Digest::MD5String(digest, bytes.data(), static_cast<long>(bytes.size()));
}

}  // namespace

bool CPageHistory::IsUuid(std::u16string_view text)
{
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphen ? c != u'-' : !hex)
            return false;
    }
    return true;
}

std::u16string CPageHistory::GetFolder(const std::u16string& pageFile, const std::u16string& pageUuid)
{
    std::u16string folder = CFileSys::FolderOf(pageFile);
    if (!IsUuid(pageUuid) || folder.empty())
        return {};
    return DataFolder(folder) + kHistoryName + pageUuid + u"/";
}

bool CPageHistory::ParseName(std::u16string_view name, int64_t* time, int* serial)
{
    constexpr std::u16string_view extension = kExtension;
    if (name.size() < kStampLength + extension.size() || !name.ends_with(extension))
        return false;
    std::u16string_view stamp = name.substr(0, kStampLength);
    std::u16string_view rest = name.substr(kStampLength, name.size() - kStampLength - extension.size());
    int values[6] = {};
    constexpr size_t starts[6] = {0, 4, 6, 9, 11, 13};
    constexpr size_t lengths[6] = {4, 2, 2, 2, 2, 2};
    if (stamp[8] != u'T' || stamp[15] != u'Z')
        return false;
    for (int f = 0; f < 6; ++f) {
        for (size_t i = starts[f]; i < starts[f] + lengths[f]; ++i) {
            if (stamp[i] < u'0' || stamp[i] > u'9')
                return false;
            values[f] = values[f] * 10 + (stamp[i] - u'0');
        }
    }
    int number = 1;
    if (!rest.empty()) {
        // "-2" upwards, without leading zeros.
        if (rest.size() < 2 || rest.size() > 6 || rest[0] != u'-' || rest[1] < u'1' || rest[1] > u'9')
            return false;
        number = 0;
        for (char16_t c : rest.substr(1)) {
            if (c < u'0' || c > u'9')
                return false;
            number = number * 10 + (c - u'0');
        }
        if (number < 2)
            return false;
    }
    std::tm parts{};
    parts.tm_year = values[0] - 1900;
    parts.tm_mon = values[1] - 1;
    parts.tm_mday = values[2];
    parts.tm_hour = values[3];
    parts.tm_min = values[4];
    parts.tm_sec = values[5];
    std::time_t t = timegm(&parts);
    // Out-of-range fields (a 31st of February) come back changed.
    if (FormatName(t, number) != name)
        return false;
    *time = t;
    if (serial)
        *serial = number;
    return true;
}

bool CPageHistory::Keep(const std::u16string& pageFile, const std::u16string& pageUuid, const std::string& bytes)
{
    return Keep(pageFile, pageUuid, bytes, static_cast<int64_t>(std::time(nullptr)));
}

bool CPageHistory::Keep(const std::u16string& pageFile, const std::u16string& pageUuid, const std::string& bytes,
                        int64_t now)
{
    std::u16string folder = GetFolder(pageFile, pageUuid);
    if (folder.empty() || !CFolderTreeMgr::IsInsideContent(folder, false))
        return false;
    std::u16string data = DataFolder(CFileSys::FolderOf(pageFile));
    if (!MakeDirectory(data) || !MakeDirectory(data + kHistoryName) || !MakeDirectory(folder))
        return false;
    CSafeSave::RemoveStalePageTemps(folder);
    std::vector<SFound> versions = Scan(folder);
    unsigned char digest[17];
    Digest(bytes, digest);
    for (const SFound& v : versions) {
        std::string kept;
        unsigned char other[17];
        if (v.size != static_cast<int64_t>(bytes.size()) || !ReadRegularFile(CFileSys::Native(v.file).c_str(), &kept))
            continue;
        Digest(kept, other);
        if (std::memcmp(digest, other, 16) == 0)
            return true;
    }
    int serial = 1;
    while (CFileSys::Exists(folder + FormatName(now, serial)))
        ++serial;
    SFound added{folder + FormatName(now, serial), now, serial, static_cast<int64_t>(bytes.size())};
    if (!CFileSys::WriteWholeFile(added.file, bytes))
        return false;
    // A clock set back must not make the new version the first to go.
    versions.push_back(added);
    std::stable_sort(versions.begin(), versions.end(),
                     [](const SFound& a, const SFound& b) { return a.time < b.time; });
    int64_t removed = PrunePage(&versions, now);

    std::u16string project = ProjectOf(pageFile);
    bool over = false;
    {
        STally& tally = Tally();
        std::lock_guard<std::mutex> guard(tally.lock);
        if (tally.bytes < 0 || tally.root != project) {
            tally.root = project;
            tally.bytes = 0;
            ForEachHistory(project, [&](const std::u16string& history) {
                for (const SFound& v : Scan(history))
                    tally.bytes += v.size;
            });
        } else {
            tally.bytes += added.size - removed;
        }
        over = tally.bytes > kProjectCapBytes;
    }
    if (over)
        PruneProject(project, kProjectCapBytes, now);
    return true;
}

std::vector<CPageHistory::CVersion> CPageHistory::List(const std::u16string& pageFile,
                                                       const std::u16string& pageUuid)
{
    std::vector<CVersion> list;
    std::u16string folder = GetFolder(pageFile, pageUuid);
    if (folder.empty() || !IsRealDirectory(folder))
        return list;
    std::vector<SFound> found = Scan(folder);
    for (auto it = found.rbegin(); it != found.rend(); ++it)
        list.push_back({it->file, it->time, it->size});
    return list;
}

bool CPageHistory::Read(const std::u16string& pageFile, const std::u16string& pageUuid, const std::u16string& version,
                        std::string* bytes)
{
    for (const CVersion& v : List(pageFile, pageUuid)) {
        if (v.file == version)
            return ReadRegularFile(CFileSys::Native(v.file).c_str(), bytes);
    }
    return false;
}

bool CPageHistory::Empty(const std::u16string& pageFile, const std::u16string& pageUuid)
{
    std::u16string folder = GetFolder(pageFile, pageUuid);
    if (folder.empty())
        return false;
    ForgetTally();
    std::error_code error;
    // A link in the place of the folder goes, not what it leads to.
    fs::remove_all(Native(CFileSys::WithoutSlash(folder)), error);
    return !error;
}

int CPageHistory::EmptyDeleted(const std::u16string& folderDirectory, const std::vector<std::u16string>& pageUuids)
{
    std::u16string history = DataFolder(folderDirectory) + kHistoryName;
    if (!IsRealDirectory(history))
        return 0;
    std::vector<std::u16string> gone;
    std::error_code error;
    for (fs::directory_iterator it(Native(history), error), end; !error && it != end; it.increment(error)) {
        std::u16string name = CFileSys::FromNative(it->path().filename().string());
        bool live = std::any_of(pageUuids.begin(), pageUuids.end(), [&](const std::u16string& uuid) {
            return std::equal(uuid.begin(), uuid.end(), name.begin(), name.end(),
                              [](char16_t a, char16_t b) { return Lower(a) == Lower(b); });
        });
        if (IsUuid(name) && !live)
            gone.push_back(history + name);
    }
    ForgetTally();
    int count = 0;
    for (const std::u16string& folder : gone) {
        std::error_code removeError;
        fs::remove_all(Native(folder), removeError);
        count += removeError ? 0 : 1;
    }
    return count;
}

bool CPageHistory::Move(const std::u16string& oldPageFile, const std::u16string& newPageFile,
                        const std::u16string& pageUuid)
{
    if (!IsUuid(pageUuid))
        return true;  // a page without an identifier has no history
    std::u16string from = GetFolder(oldPageFile, pageUuid);
    std::u16string to = GetFolder(newPageFile, pageUuid);
    if (from.empty() || to.empty())
        return false;
    if (from == to || !IsRealDirectory(from))
        return true;
    if (!CFolderTreeMgr::IsInsideContent(to, false))
        return false;
    std::u16string data = DataFolder(CFileSys::FolderOf(newPageFile));
    if (!MakeDirectory(data) || !MakeDirectory(data + kHistoryName))
        return false;
    if (!CFileSys::Exists(to) && CFileSys::Rename(CFileSys::WithoutSlash(from), CFileSys::WithoutSlash(to)))
        return true;
    // The page was here before: its versions join those left then.
    if (!MakeDirectory(to))
        return false;
    bool all = true;
    for (const SFound& v : Scan(from)) {
        int serial = v.serial;
        while (CFileSys::Exists(to + FormatName(v.time, serial)))
            ++serial;
        all = CFileSys::Rename(v.file, to + FormatName(v.time, serial)) && all;
    }
    std::error_code error;
    fs::remove(Native(CFileSys::WithoutSlash(from)), error);
    return all;
}

void CPageHistory::PruneProject(const std::u16string& contentFolder, int64_t capBytes, int64_t now)
{
    struct SEntry {
        SFound version;
        bool newest = false;
    };
    std::vector<SEntry> all;
    int64_t total = 0;
    ForEachHistory(contentFolder, [&](const std::u16string& history) {
        std::vector<SFound> versions = Scan(history);
        PrunePage(&versions, now);
        for (size_t i = 0; i < versions.size(); ++i) {
            total += versions[i].size;
            all.push_back({std::move(versions[i]), i + 1 == versions.size()});
        }
    });
    std::stable_sort(all.begin(), all.end(), [](const SEntry& a, const SEntry& b) {
        return a.version.time != b.version.time ? a.version.time < b.version.time
                                                : a.version.serial < b.version.serial;
    });
    for (const SEntry& entry : all) {
        if (total <= capBytes)
            break;
        if (!entry.newest && RemoveVersion(entry.version))
            total -= entry.version.size;
    }
    STally& tally = Tally();
    std::lock_guard<std::mutex> guard(tally.lock);
    tally.root = CFileSys::WithSlash(contentFolder);
    tally.bytes = total;
}
