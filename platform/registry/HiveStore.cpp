#include "platform/registry/HiveStore.h"

#include "platform/registry/RegFaultPoint.h"
#include "platform/registry/RegPath.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <sqlite3.h>
#include <system_error>

namespace plat {
namespace fs = std::filesystem;

namespace {

std::atomic<int> g_busyTimeoutMs{5000};
std::mutex g_faultMutex;
RegFaultHook g_faultHook;

constexpr std::size_t kMaxValueSize = 16u << 20;

RegResult mapError(int rc, RegResult fallback) {
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return RegResult::Ok;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return RegResult::Busy;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return RegResult::BadHive;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH: return RegResult::CantOpenHive;
    case SQLITE_READONLY: return RegResult::AccessDenied;
    case SQLITE_CONSTRAINT: return RegResult::KeyDeleted;  // a row of a deleted key
    default: return fallback;
    }
}

// A prepared statement that finalizes itself.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    bool ok() const { return rc_ == SQLITE_OK; }
    int prepareCode() const { return rc_; }
    Stmt& bind(int i, int64_t v) { sqlite3_bind_int64(st_, i, v); return *this; }
    Stmt& bind(int i, std::string_view s) {
        sqlite3_bind_text(st_, i, s.empty() ? "" : s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bindBlob(int i, const void* p, std::size_t n) {
        static const char empty = 0;
        sqlite3_bind_blob(st_, i, n ? p : &empty, static_cast<int>(n), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return sqlite3_step(st_); }
    int64_t int64(int col) const { return sqlite3_column_int64(st_, col); }
    bool isNull(int col) const { return sqlite3_column_type(st_, col) == SQLITE_NULL; }
    std::string text(int col) const {
        const void* p = sqlite3_column_blob(st_, col);
        int n = sqlite3_column_bytes(st_, col);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }

private:
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_OK;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db) : db_(db) {
        rc_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    // The begin's result; a fault injected at the begin counts as the begin's.
    RegResult begin(RegResult onError) {
        if (rc_ != SQLITE_OK) return mapError(rc_, onError);
        return injectedRegistryFault(RegStep::BeginWrite);
    }
    RegResult commitChecked() {
        RegResult injected = injectedRegistryFault(RegStep::Commit);
        if (injected != RegResult::Ok) return injected;  // rolled back by the destructor
        int rc = commit();
        return rc == SQLITE_OK ? RegResult::Ok : mapError(rc, RegResult::WriteFailed);
    }
    ~WriteTransaction() {
        if (rc_ == SQLITE_OK && !done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    int beginCode() const { return rc_; }
    int commit() {
        int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) done_ = true;
        return rc;
    }

private:
    sqlite3* db_;
    int rc_;
    bool done_ = false;
};

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER REFERENCES keys(id),"
    " name TEXT NOT NULL,"
    " lname TEXT NOT NULL,"
    " UNIQUE(parent, lname));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL REFERENCES keys(id),"
    " name TEXT NOT NULL,"
    " lname TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, lname)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO keys(id, parent, name, lname) VALUES(1, NULL, '', '');";

}  // namespace

void setRegistryFaultHook(RegFaultHook hook) {
    std::lock_guard lock(g_faultMutex);
    g_faultHook = std::move(hook);
}

RegResult injectedRegistryFault(RegStep step) {
    std::lock_guard lock(g_faultMutex);
    return g_faultHook ? g_faultHook(step) : RegResult::Ok;
}

void HiveStore::setBusyTimeout(int milliseconds) { g_busyTimeoutMs = milliseconds < 0 ? 0 : milliseconds; }
int HiveStore::busyTimeout() { return g_busyTimeoutMs; }

RegResult HiveStore::open(const fs::path& file, Mode mode, std::shared_ptr<HiveStore>* out) {
    out->reset();
    std::error_code ec;
    bool exists = fs::exists(file, ec);
    if (mode == Mode::ExistingOnly && !exists) return ec ? RegResult::CantOpenHive : RegResult::NotFound;
    if (mode == Mode::CreateIfMissing && !exists) {
        fs::create_directories(file.parent_path(), ec);
        if (ec) return RegResult::CantOpenHive;
    }
    if (exists && fs::is_directory(file, ec)) return RegResult::CantOpenHive;

    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (mode == Mode::CreateIfMissing) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    bool writable = true;
    if (rc != SQLITE_OK && mode == Mode::ExistingOnly) {
        sqlite3_close(db);
        db = nullptr;
        rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
        writable = false;
    }
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return mapError(rc, RegResult::CantOpenHive);
    }
    std::shared_ptr<HiveStore> store(new HiveStore(db));
    RegResult r = store->prepare(writable);
    if (r != RegResult::Ok) return r;
    *out = std::move(store);
    return RegResult::Ok;
}

HiveStore::~HiveStore() { sqlite3_close(db_); }

RegResult HiveStore::exec(const char* sql, RegResult onError) {
    return mapError(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), onError);
}

RegResult HiveStore::prepare(bool writable) {
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, g_busyTimeoutMs);
    // Every call opens the hive anew: keep the log file between connections and
    // leave checkpoints to the commits, so an open does not rebuild the log.
    int one = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &one);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    RegResult r = exec("PRAGMA foreign_keys=ON", RegResult::BadHive);
    if (r != RegResult::Ok) return r;
    if (writable) {
        if ((r = switchToWal()) != RegResult::Ok) return r;
        if ((r = exec("PRAGMA synchronous=FULL", RegResult::BadHive)) != RegResult::Ok) return r;
        // A new (empty) file gets the schema; a database of any other making is left alone.
        int64_t tables = 0;
        if ((r = countTables(&tables)) != RegResult::Ok) return r;
        if (tables == 0) {
            WriteTransaction tx(db_);
            if (tx.beginCode() != SQLITE_OK) return mapError(tx.beginCode(), RegResult::BadHive);
            if ((r = countTables(&tables)) != RegResult::Ok) return r;
            if (tables == 0) {  // nobody else made it meanwhile
                if ((r = exec(kSchema, RegResult::BadHive)) != RegResult::Ok) return r;
                int rc = tx.commit();
                if (rc != SQLITE_OK) return mapError(rc, RegResult::WriteFailed);
            }
        }
    }
    // Whatever the file is, it must now look like a hive.
    Stmt check(db_, "SELECT id FROM keys WHERE id=1");
    if (!check.ok()) return mapError(check.prepareCode(), RegResult::BadHive) == RegResult::Busy ? RegResult::Busy : RegResult::BadHive;
    int rc = check.step();
    if (rc == SQLITE_ROW) return RegResult::Ok;
    return rc == SQLITE_DONE ? RegResult::BadHive : mapError(rc, RegResult::BadHive);
}

RegResult HiveStore::countTables(int64_t* count) {
    Stmt st(db_, "SELECT count(*) FROM sqlite_master");
    int rc = st.ok() ? st.step() : st.prepareCode();
    if (rc != SQLITE_ROW) return mapError(rc, RegResult::BadHive);
    *count = st.int64(0);
    return RegResult::Ok;
}

// Switching a new file to WAL needs the file to itself; the busy handler does
// not cover that, so wait here as long as any other lock would be waited for.
RegResult HiveStore::switchToWal() {
    {
        Stmt mode(db_, "PRAGMA journal_mode");
        if (mode.ok() && mode.step() == SQLITE_ROW && mode.text(0) == "wal") return RegResult::Ok;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(g_busyTimeoutMs.load());
    while (true) {
        RegResult r = exec("PRAGMA journal_mode=WAL", RegResult::BadHive);
        if (r != RegResult::Busy || std::chrono::steady_clock::now() >= deadline) return r;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

RegResult HiveStore::keyExists(int64_t key) {
    std::lock_guard lock(mutex_);
    Stmt st(db_, "SELECT 1 FROM keys WHERE id=?");
    if (!st.ok()) return mapError(st.prepareCode(), RegResult::ReadFailed);
    int rc = st.bind(1, key).step();
    if (rc == SQLITE_ROW) return RegResult::Ok;
    return rc == SQLITE_DONE ? RegResult::KeyDeleted : mapError(rc, RegResult::ReadFailed);
}

RegResult HiveStore::lookupChild(int64_t parent, const std::string& name, int64_t* id, RegResult onError) {
    Stmt st(db_, "SELECT id FROM keys WHERE parent=? AND lname=?");
    if (!st.ok()) return mapError(st.prepareCode(), onError);
    int rc = st.bind(1, parent).bind(2, foldName(name)).step();
    if (rc == SQLITE_ROW) {
        *id = st.int64(0);
        return RegResult::Ok;
    }
    return rc == SQLITE_DONE ? RegResult::NotFound : mapError(rc, onError);
}

RegResult HiveStore::findKey(int64_t from, const std::vector<std::string>& names, int64_t* id) {
    int64_t cur = from;
    if (names.empty()) {
        RegResult r = keyExists(from);
        if (r == RegResult::KeyDeleted) return RegResult::NotFound;
        if (r != RegResult::Ok) return r;
    }
    std::lock_guard lock(mutex_);
    for (const std::string& n : names) {
        RegResult r = lookupChild(cur, n, &cur, RegResult::ReadFailed);
        if (r != RegResult::Ok) return r;
    }
    *id = cur;
    return RegResult::Ok;
}

RegResult HiveStore::createKey(int64_t from, const std::vector<std::string>& names, int64_t* id) {
    std::lock_guard lock(mutex_);
    WriteTransaction tx(db_);
    if (RegResult b = tx.begin(RegResult::WriteFailed); b != RegResult::Ok) return b;
    {
        Stmt st(db_, "SELECT 1 FROM keys WHERE id=?");
        int rc = st.bind(1, from).step();
        if (rc == SQLITE_DONE) return RegResult::KeyDeleted;
        if (rc != SQLITE_ROW) return mapError(rc, RegResult::WriteFailed);
    }
    int64_t cur = from;
    for (const std::string& n : names) {
        int64_t child = 0;
        RegResult r = lookupChild(cur, n, &child, RegResult::WriteFailed);
        if (r == RegResult::NotFound) {
            Stmt ins(db_, "INSERT INTO keys(parent, name, lname) VALUES(?, ?, ?)");
            int rc = ins.bind(1, cur).bind(2, n).bind(3, foldName(n)).step();
            if (rc != SQLITE_DONE) return mapError(rc, RegResult::WriteFailed);
            child = sqlite3_last_insert_rowid(db_);
        } else if (r != RegResult::Ok) {
            return r;
        }
        cur = child;
    }
    if (RegResult c = tx.commitChecked(); c != RegResult::Ok) return c;
    *id = cur;
    return RegResult::Ok;
}

RegResult HiveStore::deleteKey(int64_t key) {
    if (key == kRootKey) return RegResult::AccessDenied;
    std::lock_guard lock(mutex_);
    WriteTransaction tx(db_);
    if (RegResult b = tx.begin(RegResult::WriteFailed); b != RegResult::Ok) return b;
    const char* tree = "WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) ";
    {
        Stmt st(db_, (std::string(tree) + "DELETE FROM vals WHERE key IN sub").c_str());
        int rc = st.bind(1, key).step();
        if (rc != SQLITE_DONE) return mapError(rc, RegResult::WriteFailed);
    }
    {
        Stmt st(db_, (std::string(tree) + "DELETE FROM keys WHERE id IN sub").c_str());
        int rc = st.bind(1, key).step();
        if (rc != SQLITE_DONE) return mapError(rc, RegResult::WriteFailed);
        if (sqlite3_changes(db_) == 0) return RegResult::NotFound;
    }
    return tx.commitChecked();
}

RegResult HiveStore::readValue(int64_t key, std::string_view name, RegType* type, std::string* data) {
    std::lock_guard lock(mutex_);
    Stmt st(db_,
            "SELECT v.type, v.data, k.id FROM keys k LEFT JOIN vals v ON v.key = k.id AND v.lname = ? "
            "WHERE k.id = ?");
    if (!st.ok()) return mapError(st.prepareCode(), RegResult::ReadFailed);
    int rc = st.bind(1, foldName(name)).bind(2, key).step();
    if (rc == SQLITE_DONE) return RegResult::KeyDeleted;
    if (rc != SQLITE_ROW) return mapError(rc, RegResult::ReadFailed);
    if (st.isNull(0)) return RegResult::NotFound;
    if (type) *type = static_cast<RegType>(st.int64(0));
    if (data) *data = st.text(1);
    return RegResult::Ok;
}

RegResult HiveStore::writeValue(int64_t key, std::string_view name, RegType type, const void* data, std::size_t size) {
    if (name.size() > kMaxValueNameLength || size > kMaxValueSize || (size && !data)) return RegResult::InvalidParameter;
    std::lock_guard lock(mutex_);
    WriteTransaction tx(db_);
    if (RegResult b = tx.begin(RegResult::WriteFailed); b != RegResult::Ok) return b;
    // The first spelling of a name stays; a later write in another case keeps it.
    Stmt st(db_,
            "INSERT INTO vals(key, name, lname, type, data) VALUES(?, ?, ?, ?, ?) "
            "ON CONFLICT(key, lname) DO UPDATE SET type = excluded.type, data = excluded.data");
    if (!st.ok()) return mapError(st.prepareCode(), RegResult::WriteFailed);
    st.bind(1, key).bind(2, name).bind(3, foldName(name)).bind(4, static_cast<int64_t>(type)).bindBlob(5, data, size);
    int rc = st.step();
    if (rc != SQLITE_DONE) return mapError(rc, RegResult::WriteFailed);
    return tx.commitChecked();
}

RegResult HiveStore::deleteValue(int64_t key, std::string_view name) {
    std::lock_guard lock(mutex_);
    WriteTransaction tx(db_);
    if (RegResult b = tx.begin(RegResult::WriteFailed); b != RegResult::Ok) return b;
    Stmt st(db_, "DELETE FROM vals WHERE key = ? AND lname = ?");
    if (!st.ok()) return mapError(st.prepareCode(), RegResult::WriteFailed);
    int rc = st.bind(1, key).bind(2, foldName(name)).step();
    if (rc != SQLITE_DONE) return mapError(rc, RegResult::WriteFailed);
    if (sqlite3_changes(db_) > 0) return tx.commitChecked();
    Stmt chk(db_, "SELECT 1 FROM keys WHERE id=?");
    return chk.bind(1, key).step() == SQLITE_ROW ? RegResult::NotFound : RegResult::KeyDeleted;
}

RegResult HiveStore::subKeyAt(int64_t key, uint32_t index, std::string* name) {
    std::lock_guard lock(mutex_);
    Stmt st(db_,
            "SELECT (SELECT 1 FROM keys WHERE id = ?1), "
            "(SELECT name FROM keys WHERE parent = ?1 ORDER BY lname LIMIT 1 OFFSET ?2)");
    if (!st.ok()) return mapError(st.prepareCode(), RegResult::ReadFailed);
    int rc = st.bind(1, key).bind(2, static_cast<int64_t>(index)).step();
    if (rc != SQLITE_ROW) return mapError(rc, RegResult::ReadFailed);
    if (st.isNull(0)) return RegResult::KeyDeleted;
    if (st.isNull(1)) return RegResult::NoMoreItems;
    *name = st.text(1);
    return RegResult::Ok;
}

RegResult HiveStore::valueAt(int64_t key, uint32_t index, std::string* name, RegType* type, std::string* data) {
    std::lock_guard lock(mutex_);
    Stmt st(db_,
            "SELECT k.id, v.name, v.type, v.data FROM keys k LEFT JOIN "
            "(SELECT * FROM vals WHERE key = ?1 ORDER BY lname LIMIT 1 OFFSET ?2) v ON 1 "
            "WHERE k.id = ?1");
    if (!st.ok()) return mapError(st.prepareCode(), RegResult::ReadFailed);
    int rc = st.bind(1, key).bind(2, static_cast<int64_t>(index)).step();
    if (rc == SQLITE_DONE) return RegResult::KeyDeleted;
    if (rc != SQLITE_ROW) return mapError(rc, RegResult::ReadFailed);
    if (st.isNull(1)) return RegResult::NoMoreItems;
    if (name) *name = st.text(1);
    if (type) *type = static_cast<RegType>(st.int64(2));
    if (data) *data = st.text(3);
    return RegResult::Ok;
}

}  // namespace plat
