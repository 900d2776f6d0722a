#include "app/search/CSearchIndex.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "app/core/CFileSys.h"
#include "app/core/CTraceLog.h"
#include "app/search/CSearchQuery.h"
#include "base/model/CColctNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNode.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CReadFile.h"

namespace {

// "ZNDX": how the file says it is ours. The version goes up whenever the
// schema changes; an index of another version is made again.
constexpr int kApplicationId = 0x5A4E4458;
constexpr int kSchemaVersion = 1;
// Page files larger than this are indexed by their title, tags and
// description only.
constexpr size_t kMaxPageBytes = 64u << 20;
// Pages written per transaction.
constexpr int kBatch = 2000;

// The page records, and the full-text table whose content is the view
// over them: the text itself is not kept (it would more than double the
// file), so snippets read the page file again through page_text(). A page
// indexed again leaves its old row in the full-text table behind, with a
// record whose path is NULL; only records with a path are found, and the
// index is made afresh once the dead rows outnumber the live ones. The
// text is the first column: FTS5 marks every entry of another column with
// its number, which would cost two bytes a word and page.
constexpr char kSchema[] = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;
CREATE TABLE folders(dir TEXT PRIMARY KEY, size INTEGER, mtime INTEGER) WITHOUT ROWID;
CREATE TABLE pages(id INTEGER PRIMARY KEY, path TEXT, title TEXT, tags TEXT, description TEXT, size INTEGER,
  mtime INTEGER, meta INTEGER);
CREATE VIEW content AS SELECT id, CASE WHEN path IS NULL THEN '' ELSE page_text(path) END AS text, title, tags,
  description, folder_of(path) AS folder FROM pages;
CREATE VIRTUAL TABLE fts USING fts5(text, title, tags, description, folder, content='content',
  content_rowid='id', tokenize='unicode61 remove_diacritics 2');
)";
// Title and tags weigh most, then the description and the folder's path,
// then the text.
constexpr char kRank[] = "bm25(fts, 1.0, 10.0, 8.0, 3.0, 2.0)";
std::string U8(const std::u16string& text)
{
    return CUnicodeTool::ToUtf8(std::u16string_view(text));
}

std::u16string U16(const unsigned char* text)
{
    return text ? CUnicodeTool::FromUtf8(reinterpret_cast<const char*>(text)) : std::u16string();
}

bool IsDamage(int rc)
{
    rc &= 0xFF;
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

// A prepared statement, finalised with its scope.
class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql)
    {
        if (db)
            m_rc = sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr);
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    bool Ok() const { return m_stmt != nullptr; }
    int PrepareCode() const { return m_rc; }
    Stmt& Bind(int at, const std::string& text)
    {
        sqlite3_bind_text(m_stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& Bind(int at, const std::u16string& text) { return Bind(at, U8(text)); }
    Stmt& Bind(int at, int64_t value)
    {
        sqlite3_bind_int64(m_stmt, at, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return m_stmt ? sqlite3_step(m_stmt) : m_rc; }
    // Runs it once and makes it ready again; the result code.
    int Run()
    {
        int rc = Step();
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        return rc;
    }
    void Reset() { sqlite3_reset(m_stmt); }
    int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    double Real(int column) const { return sqlite3_column_double(m_stmt, column); }
    std::u16string Text(int column) const { return U16(sqlite3_column_text(m_stmt, column)); }
    std::string Utf8(int column) const
    {
        const unsigned char* text = sqlite3_column_text(m_stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_ERROR;
};

int Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// FNV-1a over the texts a page is found by besides its file.
int64_t MetaHash(const std::string& texts)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : texts) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return static_cast<int64_t>(hash);
}

struct FileStamp {
    int64_t size = -1;  // -1: no such file
    int64_t mtime = 0;  // nanoseconds
};

FileStamp StampOf(const std::string& path)
{
    struct stat st;
    FileStamp stamp;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        stamp.size = st.st_size;
        stamp.mtime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return stamp;
}

std::u16string Join(const std::vector<std::u16string>& parts, char16_t separator)
{
    std::u16string out;
    for (const std::u16string& part : parts) {
        if (!out.empty())
            out += separator;
        out += part;
    }
    return out;
}

// Tags as the page records keep them, joined by blanks (a tag never holds one).
std::vector<std::u16string> SplitTags(const std::u16string& tags)
{
    std::vector<std::u16string> out;
    for (size_t at = 0; at < tags.size();) {
        size_t end = std::min(tags.find(u' ', at), tags.size());
        if (end > at)
            out.push_back(tags.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

// A page as its folder's collection describes it.
struct PageInfo {
    std::u16string path;  // relative to the content folder
    std::u16string title, description, folder;
    std::vector<std::u16string> tags;
    int64_t meta = 0;
};

// The pages of a collection file, read into a tree of their own; false
// when the file does not read.
bool ReadColct(const CSearchFolder& folder, std::vector<PageInfo>* pages)
{
    CReadBkmarkXML reader;
    CColctNode* colct = reader.LoadFile(folder.colctFile.c_str()) ? reader.DetachColctNode() : nullptr;
    if (!colct)
        return false;
    RNode* root = colct->GetLocRNodeRoot();
    for (RNode* r = root ? root->GetChild() : nullptr; r; r = r->GetNext()) {
        auto* item = r->GetType() == NT_URL ? static_cast<CUrlNode*>(r->GetData()) : nullptr;
        if (!item || item->GetItemType() != ITEM_NOTE || !item->GetUrl() || !CFileSys::IsPlainName(item->GetUrl()))
            continue;
        PageInfo page;
        page.path = folder.relative + item->GetUrl();
        page.title = item->GetName() ? item->GetName() : u"";
        page.description = item->GetDescription();
        page.folder = folder.path;
        CUrlProp* prop = item->PeekUrlProp();
        for (RBstrItem* tag = prop ? prop->GetTagsHead() : nullptr; tag; tag = tag->GetNext()) {
            if (tag->GetData() && *tag->GetData())
                page.tags.push_back(tag->GetData());
        }
        page.meta = MetaHash(U8(page.title + u'\0' + page.description + u'\0' + Join(page.tags, u' ') + u'\0' +
                                page.folder));
        pages->push_back(std::move(page));
    }
    CColctNode::DeleteAll(colct);
    return true;
}

// The text of the page file at `root` + `path`, "" when it does not read
// or is reached through a link leading out of the content folder.
std::string ReadPageText(const std::string& root, const std::string& path)
{
    if (root.empty())
        return {};
    std::u16string file = CUnicodeTool::FromUtf8(root + path);
    if (!CFileSys::FindLinkOutside(file, CUnicodeTool::FromUtf8(root)).empty())
        return {};
    std::string html;
    if (!ReadRegularFile((root + path).c_str(), &html, kMaxPageBytes))
        return {};
    return CPageText::Extract(html);
}

}  // namespace

struct CSearchIndex::CImpl {
    std::string path;
    sqlite3* writer = nullptr;  // Open and Sync
    sqlite3* reader = nullptr;  // Query
    // Held by Query while it uses the reader; Open and Close wait for it.
    std::mutex queryLock;
    // Guards the reader's pointer for Interrupt, which must not wait.
    std::mutex interruptLock;
    std::atomic<bool> interrupted = false;
    std::atomic<bool> damaged = false;
    // Rows of pages indexed again or gone, still in the full-text table.
    std::atomic<int64_t> deadRows = 0;

    void CountDeadRows()
    {
        Stmt count(writer, "SELECT count(*) FROM pages WHERE path IS NULL");
        deadRows = count.Step() == SQLITE_ROW ? count.Int(0) : 0;
    }

    // The path and title of every live page by its row, kept in memory:
    // looking each match up in the pages table costs ten times what
    // finding the matches does. Sync keeps it in step as it writes; rows
    // it has not committed yet are never found, so they do no harm.
    struct Record {
        std::string path, title;
    };
    std::mutex recordsLock;
    std::unordered_map<int64_t, Record> records;

    void LoadRecords()
    {
        std::unordered_map<int64_t, Record> all;
        Stmt pages(writer, "SELECT id, path, title FROM pages WHERE path IS NOT NULL");
        while (pages.Step() == SQLITE_ROW)
            all.emplace(pages.Int(0), Record{pages.Utf8(1), pages.Utf8(2)});
        std::lock_guard<std::mutex> hold(recordsLock);
        records.swap(all);
    }
    // The content folder, ending in "/", for page_text.
    std::mutex rootLock;
    std::string root;

    std::string Root()
    {
        std::lock_guard<std::mutex> hold(rootLock);
        return root;
    }

    // The folder of a page path, as CSearchFolder::path has it.
    static std::string FolderOfPath(const char* path)
    {
        const char* slash = std::strrchr(path, '/');
        return slash ? std::string(path, size_t(slash - path)) : std::string();
    }
    static void FolderOfFunction(sqlite3_context* context, int, sqlite3_value** values)
    {
        const char* path = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
        std::string folder = path ? FolderOfPath(path) : std::string();
        sqlite3_result_text(context, folder.data(), int(folder.size()), SQLITE_TRANSIENT);
    }
    // What the filters of CSearchQuery compare with: the folder key of a
    // page path, the tag key of a page's tags (joined by blanks).
    static void FolderKeyFunction(sqlite3_context* context, int, sqlite3_value** values)
    {
        const char* path = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
        std::string key = U8(CSearchQuery::FolderKey(CUnicodeTool::FromUtf8(path ? FolderOfPath(path) : "")));
        sqlite3_result_text(context, key.data(), int(key.size()), SQLITE_TRANSIENT);
    }
    static void TagKeyFunction(sqlite3_context* context, int, sqlite3_value** values)
    {
        std::string key = U8(CSearchQuery::TagKey(SplitTags(U16(sqlite3_value_text(values[0])))));
        sqlite3_result_text(context, key.data(), int(key.size()), SQLITE_TRANSIENT);
    }

    static void PageTextFunction(sqlite3_context* context, int, sqlite3_value** values)
    {
        auto* self = static_cast<CImpl*>(sqlite3_user_data(context));
        const unsigned char* path = sqlite3_value_text(values[0]);
        std::string text = path ? ReadPageText(self->Root(), reinterpret_cast<const char*>(path)) : std::string();
        sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }

    sqlite3* Connect()
    {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_close(db);
            return nullptr;
        }
        sqlite3_busy_timeout(db, 10000);
        sqlite3_create_function_v2(db, "page_text", 1, SQLITE_UTF8, this, PageTextFunction, nullptr, nullptr,
                                   nullptr);
        const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
        sqlite3_create_function_v2(db, "folder_of", 1, pure, nullptr, FolderOfFunction, nullptr, nullptr, nullptr);
        sqlite3_create_function_v2(db, "folder_key", 1, pure, nullptr, FolderKeyFunction, nullptr, nullptr, nullptr);
        sqlite3_create_function_v2(db, "tag_key", 1, pure, nullptr, TagKeyFunction, nullptr, nullptr, nullptr);
        return db;
    }

    // Makes the schema in a new file, or checks an existing one is ours,
    // of this version and whole. An error text when it is not.
    std::string Prepare()
    {
        int appId = -1, version = -1, tables = -1;
        {
            Stmt id(writer, "PRAGMA application_id");
            Stmt ver(writer, "PRAGMA user_version");
            Stmt count(writer, "SELECT count(*) FROM sqlite_schema");
            if (!id.Ok() || !ver.Ok() || !count.Ok())
                return sqlite3_errmsg(writer);
            if (id.Step() == SQLITE_ROW)
                appId = int(id.Int(0));
            if (ver.Step() == SQLITE_ROW)
                version = int(ver.Int(0));
            int rc = count.Step();
            if (rc != SQLITE_ROW)
                return sqlite3_errstr(rc);
            tables = int(count.Int(0));
        }
        if (tables == 0 && appId == 0 && version == 0) {
            // Pages merged segments leave free go back to the file system.
            std::string sql = "PRAGMA auto_vacuum=INCREMENTAL; PRAGMA journal_mode=WAL; BEGIN;" + std::string(kSchema) +
                              "PRAGMA application_id=" + std::to_string(kApplicationId) +
                              "; PRAGMA user_version=" + std::to_string(kSchemaVersion) + "; COMMIT;";
            char* error = nullptr;
            if (sqlite3_exec(writer, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
                std::string text = error ? error : "cannot make the schema";
                sqlite3_free(error);
                return text;
            }
            return {};
        }
        if (appId != kApplicationId)
            return "not a Zandrel index";
        if (version != kSchemaVersion)
            return "index of another version (" + std::to_string(version) + ")";
        Stmt check(writer, "PRAGMA quick_check");
        int rc = check.Step();
        if (rc != SQLITE_ROW || U8(check.Text(0)) != "ok")
            return rc == SQLITE_ROW ? U8(check.Text(0)) : sqlite3_errstr(rc);
        check.Reset();
        Stmt probe(writer, "SELECT count(*) FROM pages, fts_config");
        rc = probe.Step();
        if (rc != SQLITE_ROW)
            return sqlite3_errstr(rc);
        if (Exec(writer, "PRAGMA journal_mode=WAL") != SQLITE_OK)
            return sqlite3_errmsg(writer);
        Stmt meta(writer, "SELECT value FROM meta WHERE key='root'");
        if (meta.Step() == SQLITE_ROW) {
            std::lock_guard<std::mutex> hold(rootLock);
            root = U8(meta.Text(0));
        }
        return {};
    }

    void RemoveFiles()
    {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            ::unlink((path + suffix).c_str());
    }

    void Disconnect()
    {
        std::lock_guard<std::mutex> query(queryLock);
        std::lock_guard<std::mutex> hold(interruptLock);
        sqlite3_close(reader);
        sqlite3_close(writer);
        reader = writer = nullptr;
        std::lock_guard<std::mutex> forget(recordsLock);
        records.clear();
    }

    // Opens the file, once more afresh when it is damaged or not ours.
    bool Connect2()
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            sqlite3* w = Connect();
            sqlite3* r = w ? Connect() : nullptr;
            {
                std::lock_guard<std::mutex> query(queryLock);
                std::lock_guard<std::mutex> hold(interruptLock);
                writer = w;
                reader = r;
            }
            std::string error = !w || !r ? "cannot open it" : Prepare();
            if (error.empty()) {
                Exec(reader, "PRAGMA query_only=1");
                CountDeadRows();
                LoadRecords();
                damaged = false;
                return true;
            }
            CTraceLog::Write("Full-text index %s: %s; made again", path.c_str(), error.c_str());
            Disconnect();
            RemoveFiles();
        }
        return false;
    }
};

std::u16string CSearchIndex::PathFor(const std::u16string& projectUuid)
{
    if (projectUuid.empty() || !CFileSys::IsPlainName(projectUuid))
        return {};
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string base;
    if (cache && cache[0] == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return {};
        base = std::string(home) + "/.cache";
    }
    return CUnicodeTool::FromUtf8(base + "/Zandrel/index/") + projectUuid + u".sqlite";
}

CSearchIndex::CSearchIndex() : m_pImpl(std::make_unique<CImpl>()) {}

CSearchIndex::~CSearchIndex()
{
    Close();
}

bool CSearchIndex::Open(const std::u16string& path)
{
    Close();
    if (path.empty())
        return false;
    m_pImpl->path = U8(path);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(m_pImpl->path).parent_path(), error);
    return m_pImpl->Connect2();
}

void CSearchIndex::Close()
{
    m_pImpl->Disconnect();
}

bool CSearchIndex::IsOpen() const
{
    return m_pImpl->writer != nullptr;
}

int CSearchIndex::PageCount()
{
    Stmt count(m_pImpl->writer, "SELECT count(*) FROM pages WHERE path IS NOT NULL");
    return count.Step() == SQLITE_ROW ? int(count.Int(0)) : 0;
}

CSearchIndex::CSyncStats CSearchIndex::Sync(const std::vector<CSearchFolder>& folders, bool full,
                                            const Progress& progress, std::stop_token stop)
{
    CSyncStats stats;
    CImpl& d = *m_pImpl;
    if (d.damaged) {
        CTraceLog::Write("Full-text index %s is damaged; made again", d.path.c_str());
        d.Disconnect();
        d.RemoveFiles();
        if (!d.Connect2())
            return stats;
        full = true;
    }
    sqlite3* db = d.writer;
    if (!db)
        return stats;

    // The content folder: a folder's directory without its relative part.
    for (const CSearchFolder& folder : folders) {
        if (folder.directory.size() >= folder.relative.size() && folder.directory.ends_with(folder.relative)) {
            std::string root = U8(folder.directory.substr(0, folder.directory.size() - folder.relative.size()));
            std::lock_guard<std::mutex> hold(d.rootLock);
            if (root != d.root) {
                d.root = root;
                Stmt set(db, "INSERT OR REPLACE INTO meta VALUES('root', ?)");
                set.Bind(1, root).Run();
            }
            break;
        }
    }
    const std::string root = d.Root();

    // Many dead rows: start again from nothing.
    {
        Stmt counts(db, "SELECT count(path), count(*) - count(path) FROM pages");
        if (counts.Step() == SQLITE_ROW && counts.Int(1) > std::max<int64_t>(counts.Int(0), 50)) {
            counts.Reset();
            Exec(db, "BEGIN; DELETE FROM pages; DELETE FROM folders; INSERT INTO fts(fts) VALUES('delete-all'); COMMIT;");
            d.LoadRecords();
            full = true;
        }
    }

    struct Known {
        int64_t id, size, mtime, meta;
        bool seen = false;
    };
    std::unordered_map<std::u16string, Known> known;
    std::unordered_map<std::u16string, FileStamp> colctStamps;
    {
        Stmt pages(db, "SELECT id, path, size, mtime, meta FROM pages WHERE path IS NOT NULL");
        while (pages.Step() == SQLITE_ROW)
            known.emplace(pages.Text(1), Known{pages.Int(0), pages.Int(2), pages.Int(3), pages.Int(4)});
        Stmt stamps(db, "SELECT dir, size, mtime FROM folders");
        while (stamps.Step() == SQLITE_ROW)
            colctStamps[stamps.Text(0)] = {stamps.Int(1), stamps.Int(2)};
    }
    const bool building = known.empty();

    // What changed: pages to index, and the folders whose stamps to keep.
    struct Work {
        PageInfo page;
        FileStamp stamp;
        int64_t oldId = 0;
    };
    std::vector<Work> work;
    struct FolderDone {
        std::u16string dir;
        FileStamp stamp;
        size_t after;  // recorded once this many pages of `work` are written
    };
    std::vector<FolderDone> folderStamps;
    std::unordered_set<std::u16string> keptFolders;  // unread, their pages kept
    std::unordered_set<std::u16string> listed;
    std::unordered_set<std::u16string> scheduled;  // a collection may list a file twice
    for (const CSearchFolder& folder : folders) {
        if (stop.stop_requested())
            break;
        listed.insert(folder.relative);
        // A collection reached through a link leading out of the project
        // counts as none, as the window's reader refuses it.
        bool usable = !folder.colctFile.empty() &&
                      CFileSys::FindLinkOutside(folder.colctFile, CUnicodeTool::FromUtf8(root)).empty();
        FileStamp colct = usable ? StampOf(U8(folder.colctFile)) : FileStamp{};
        auto old = colctStamps.find(folder.relative);
        bool same = old != colctStamps.end() && old->second.size == colct.size && old->second.mtime == colct.mtime;
        if (colct.size < 0) {
            if (old != colctStamps.end())
                folderStamps.push_back({folder.relative, colct, work.size()});
            continue;  // its pages, if any, go below as unseen
        }
        std::vector<PageInfo> pages;
        if (same && !full) {
            keptFolders.insert(folder.relative);
            continue;
        }
        if (!ReadColct(folder, &pages)) {
            // Unreadable now (perhaps half copied): keep what the index has.
            keptFolders.insert(folder.relative);
            continue;
        }
        for (PageInfo& page : pages) {
            if (!scheduled.insert(page.path).second)
                continue;
            FileStamp stamp = StampOf(root + U8(page.path));
            auto found = known.find(page.path);
            if (found != known.end()) {
                found->second.seen = true;
                if (found->second.size == stamp.size && found->second.mtime == stamp.mtime &&
                    found->second.meta == page.meta)
                    continue;
            }
            int64_t oldId = found != known.end() ? found->second.id : 0;
            work.push_back({std::move(page), stamp, oldId});
        }
        folderStamps.push_back({folder.relative, colct, work.size()});
    }
    // Pages of folders left unread stay as they are, unless their file
    // changed.
    for (auto& [path, page] : known) {
        if (page.seen || stop.stop_requested())
            continue;
        std::u16string dir = CFileSys::FolderOf(path);
        if (!keptFolders.count(dir))
            continue;
        page.seen = true;
        FileStamp stamp = StampOf(root + U8(path));
        if (stamp.size == page.size && stamp.mtime == page.mtime)
            continue;
        // Its record has what the collection said when it was read.
        Stmt record(db, "SELECT title, description, tags FROM pages WHERE id=?");
        if (record.Bind(1, page.id).Step() != SQLITE_ROW)
            continue;
        PageInfo info;
        info.path = path;
        info.title = record.Text(0);
        info.description = record.Text(1);
        info.tags = SplitTags(record.Text(2));
        info.folder = CFileSys::WithoutSlash(dir);
        info.meta = page.meta;
        work.push_back({std::move(info), stamp, page.id});
    }
    if (stop.stop_requested()) {
        stats.stopped = true;
        stats.pagesTotal = int(known.size());
        return stats;
    }

    Stmt insertPage(db, "INSERT INTO pages(path, title, tags, description, size, mtime, meta) VALUES(?,?,?,?,?,?,?)");
    Stmt insertText(db, "INSERT INTO fts(rowid, text, title, tags, description, folder) VALUES(?,?,?,?,?,?)");
    Stmt killPage(db, "UPDATE pages SET path=NULL, title=NULL, tags=NULL, description=NULL WHERE id=?");
    Stmt setFolder(db, "INSERT OR REPLACE INTO folders VALUES(?,?,?)");
    Stmt dropFolder(db, "DELETE FROM folders WHERE dir=?");
    if (!insertPage.Ok() || !insertText.Ok() || !killPage.Ok() || !setFolder.Ok() || !dropFolder.Ok()) {
        d.damaged = d.damaged || IsDamage(insertPage.PrepareCode()) || IsDamage(sqlite3_errcode(db));
        return stats;
    }
    // The first build need not survive a crash: a broken file is made
    // again. Its segments are merged once, at the end, not on the way.
    // (Set at every sync, so a build cut short by a crash leaves no trace.)
    Exec(db, building ? "PRAGMA synchronous=OFF; INSERT INTO fts(fts, rank) VALUES('automerge', 0);"
                        "INSERT INTO fts(fts, rank) VALUES('crisismerge', 2000);"
                      : "INSERT INTO fts(fts, rank) VALUES('automerge', 4);"
                        "INSERT INTO fts(fts, rank) VALUES('crisismerge', 16);");

    int failed = SQLITE_OK;
    auto check = [&](int rc) {
        if (rc != SQLITE_DONE && rc != SQLITE_OK && failed == SQLITE_OK)
            failed = rc;
    };
    const int total = int(work.size());
    size_t nextFolder = 0;
    auto recordFolders = [&](size_t written) {
        for (; nextFolder < folderStamps.size() && folderStamps[nextFolder].after <= written; ++nextFolder) {
            const FolderDone& f = folderStamps[nextFolder];
            if (f.stamp.size < 0)
                check(dropFolder.Bind(1, f.dir).Run());
            else
                check(setFolder.Bind(1, f.dir).Bind(2, f.stamp.size).Bind(3, f.stamp.mtime).Run());
        }
    };
    // Rows replaced or removed leave the records once that is committed,
    // so a page is found by its old row until its new one can be.
    std::vector<int64_t> gone;
    auto commit = [&] {
        int rc = Exec(db, "COMMIT");
        std::lock_guard<std::mutex> hold(d.recordsLock);
        for (int64_t id : gone)
            d.records.erase(id);
        gone.clear();
        return rc;
    };
    Exec(db, "BEGIN");
    size_t done = 0;
    recordFolders(0);
    for (; done < work.size() && failed == SQLITE_OK; ++done) {
        if (stop.stop_requested()) {
            stats.stopped = true;
            break;
        }
        Work& w = work[done];
        if (w.oldId) {
            ++d.deadRows;  // before it is written, so queries over-fetch rather than miss
            check(killPage.Bind(1, w.oldId).Run());
            gone.push_back(w.oldId);
        }
        std::string text = w.stamp.size >= 0 ? ReadPageText(root, U8(w.page.path)) : std::string();
        std::u16string tags = Join(w.page.tags, u' ');
        check(insertPage.Bind(1, w.page.path)
                  .Bind(2, w.page.title)
                  .Bind(3, tags)
                  .Bind(4, w.page.description)
                  .Bind(5, w.stamp.size)
                  .Bind(6, w.stamp.mtime)
                  .Bind(7, w.page.meta)
                  .Run());
        int64_t id = sqlite3_last_insert_rowid(db);
        {
            std::lock_guard<std::mutex> hold(d.recordsLock);
            d.records[id] = {U8(w.page.path), U8(w.page.title)};
        }
        check(insertText.Bind(1, id)
                  .Bind(2, text)
                  .Bind(3, w.page.title)
                  .Bind(4, tags)
                  .Bind(5, w.page.description)
                  .Bind(6, w.page.folder)
                  .Run());
        ++stats.pagesIndexed;
        recordFolders(done + 1);
        if ((done + 1) % kBatch == 0) {
            commit();
            Exec(db, "BEGIN");
        }
        if (progress)
            progress(int(done + 1), total);
    }
    // Pages no collection lists any more, or in folders gone.
    if (!stats.stopped && failed == SQLITE_OK) {
        for (auto& [path, page] : known) {
            if (!page.seen) {
                ++d.deadRows;
                check(killPage.Bind(1, page.id).Run());
                ++stats.pagesRemoved;
                gone.push_back(page.id);
            }
        }
        for (const auto& [dir, stamp] : colctStamps) {
            if (!listed.count(dir))
                check(dropFolder.Bind(1, dir).Run());
        }
    }
    if (failed == SQLITE_OK)
        check(commit());
    else
        Exec(db, "ROLLBACK");
    if (failed != SQLITE_OK) {
        CTraceLog::Write("Full-text index %s: sync failed: %s", d.path.c_str(), sqlite3_errstr(failed));
        if (IsDamage(failed))
            d.damaged = true;
        stats.pagesIndexed = 0;
        stats.pagesRemoved = 0;
        d.LoadRecords();  // what was rolled back
    } else if (building && stats.pagesIndexed > 0 && !stats.stopped) {
        // One segment instead of many: smaller, and quicker to query.
        Exec(db, "INSERT INTO fts(fts) VALUES('optimize')");
    }
    if (building)
        Exec(db, "INSERT INTO fts(fts, rank) VALUES('automerge', 4); INSERT INTO fts(fts, rank) VALUES('crisismerge', 16);"
                 "PRAGMA synchronous=NORMAL");
    {
        Stmt pages(db, "SELECT (SELECT freelist_count FROM pragma_freelist_count) * 8 > "
                       "(SELECT page_count FROM pragma_page_count)");
        bool wasteful = pages.Step() == SQLITE_ROW && pages.Int(0);
        pages.Reset();
        if (wasteful)
            Exec(db, "PRAGMA incremental_vacuum");
    }
    stats.pagesTotal = PageCount();
    d.CountDeadRows();
    return stats;
}

std::vector<CSearchHit> CSearchIndex::Query(const std::u16string& text, int limit, bool withSnippets, bool ranked)
{
    std::vector<CSearchHit> hits;
    CImpl& d = *m_pImpl;
    d.interrupted = false;
    CSearchQuery query = CSearchQuery::Parse(text);
    if (!query.usable || limit <= 0)
        return hits;
    std::lock_guard<std::mutex> hold(d.queryLock);
    sqlite3* db = d.reader;
    if (!db)
        return hits;
    sqlite3_progress_handler(
        db, 1000, [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0; }, &d.interrupted);

    // Parameters: ?1 the match, ?2 the limit, then 20 for each filter list.
    std::string filters;
    auto tagFilter = [&](size_t count, int first, const char* test) {
        for (size_t i = 0; i < count; ++i)
            filters += " AND instr(tag_key(p.tags), ?" + std::to_string(first + int(i)) + ")" + test;
    };
    auto folderFilter = [&](size_t count, int first, const char* test) {
        for (size_t i = 0; i < count; ++i) {
            std::string at = "?" + std::to_string(first + int(i));
            filters += " AND substr(folder_key(p.path), 1, length(" + at + "))" + test + at;
        }
    };
    tagFilter(query.tags.size(), 10, " > 0");
    tagFilter(query.notTags.size(), 30, " = 0");
    folderFilter(query.folders.size(), 50, " = ");
    folderFilter(query.notFolders.size(), 70, " <> ");
    // Without filters the full-text table alone is asked, and the rows it
    // gives are looked up in the records (as many more as there are dead
    // rows, which are skipped).
    const bool plain = !query.match.empty() && filters.empty();
    std::string sql;
    if (plain) {
        sql = ranked ? std::string("SELECT rowid, ") + kRank + " AS score FROM fts WHERE fts MATCH ?1 ORDER BY score "
                                                               "LIMIT ?2"
                     : "SELECT rowid, 0 FROM fts WHERE fts MATCH ?1 LIMIT ?2";
    } else if (!query.match.empty()) {
        // Sorting by bm25() here is twice as quick as FTS5's own ORDER BY
        // rank, which looks every row up again after its sort.
        sql = std::string("SELECT p.id, p.path, p.title, ") + (ranked ? kRank : "0") +
              " AS score FROM fts JOIN pages p ON p.id = fts.rowid WHERE fts MATCH ?1 AND p.path IS NOT NULL" +
              filters + (ranked ? " ORDER BY score" : "") + " LIMIT ?2";
    } else {
        sql = "SELECT p.id, p.path, p.title, 0, p.description FROM pages p WHERE p.path IS NOT NULL" +
              filters + (query.exclude.empty() ? "" : " AND p.id NOT IN (SELECT rowid FROM fts WHERE fts MATCH ?1)") +
              " ORDER BY p.path LIMIT ?2";
    }
    int rc = SQLITE_OK;
    std::vector<int64_t> ids;
    {
        Stmt find(db, sql);
        if (!find.Ok()) {
            rc = find.PrepareCode();
        } else {
            if (!query.match.empty())
                find.Bind(1, query.match);
            else if (!query.exclude.empty())
                find.Bind(1, query.exclude);
            find.Bind(2, int64_t(limit) + (plain ? d.deadRows.load() : 0));
            auto bind = [&](const std::vector<std::u16string>& keys, int first) {
                for (size_t i = 0; i < keys.size(); ++i)
                    find.Bind(first + int(i), keys[i]);
            };
            bind(query.tags, 10);
            bind(query.notTags, 30);
            bind(query.folders, 50);
            bind(query.notFolders, 70);
            std::vector<std::pair<int64_t, double>> rows;  // plain: looked up below
            while ((plain || int(hits.size()) < limit) && (rc = find.Step()) == SQLITE_ROW) {
                if (plain) {
                    rows.emplace_back(find.Int(0), find.Real(1));
                    continue;
                }
                CSearchHit hit;
                hit.pagePath = find.Text(1);
                hit.title = find.Text(2);
                ids.push_back(find.Int(0));
                hit.folder = CFileSys::WithoutSlash(CFileSys::FolderOf(hit.pagePath));
                hit.rank = find.Real(3);
                if (query.match.empty() && withSnippets)
                    hit.snippet = find.Text(4);
                hits.push_back(std::move(hit));
            }
            if (rc == SQLITE_ROW)
                rc = SQLITE_DONE;  // enough
            std::lock_guard<std::mutex> lookUp(d.recordsLock);
            for (const auto& [id, rank] : rows) {
                auto found = d.records.find(id);
                if (found == d.records.end())
                    continue;  // a dead row
                CSearchHit hit;
                hit.pagePath = CUnicodeTool::FromUtf8(found->second.path);
                hit.title = CUnicodeTool::FromUtf8(found->second.title);
                hit.folder = CFileSys::WithoutSlash(CFileSys::FolderOf(hit.pagePath));
                hit.rank = rank;
                ids.push_back(id);
                hits.push_back(std::move(hit));
                if (int(hits.size()) == limit)
                    break;
            }
        }
    }
    if (rc == SQLITE_DONE && !query.match.empty() && withSnippets) {
        Stmt snippet(db, "SELECT snippet(fts, 0, char(2), char(3), '\xE2\x80\xA6', 20) FROM fts "
                         "WHERE fts MATCH ?1 AND rowid = ?2");
        for (size_t i = 0; i < hits.size() && rc == SQLITE_DONE; ++i) {
            int step = snippet.Bind(1, query.match).Bind(2, ids[i]).Step();
            if (step == SQLITE_ROW)
                hits[i].snippet = snippet.Text(0);
            else if (step != SQLITE_DONE)
                rc = step;
            snippet.Reset();
        }
    }
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    if (rc != SQLITE_DONE || d.interrupted) {
        if (IsDamage(rc)) {
            d.damaged = true;
            CTraceLog::Write("Full-text index %s: query failed: %s", d.path.c_str(), sqlite3_errstr(rc));
        }
        hits.clear();
    }
    return hits;
}

void CSearchIndex::Interrupt()
{
    CImpl& d = *m_pImpl;
    d.interrupted = true;
    std::lock_guard<std::mutex> hold(d.interruptLock);
    if (d.reader)
        sqlite3_interrupt(d.reader);
}
