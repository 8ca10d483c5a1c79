#include "outside/quillbase/CatalogFile.h"

#include <sqlite3.h>

#include <filesystem>

namespace quillbase {

namespace {
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS assets(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, added INTEGER NOT NULL)";
}

std::unique_ptr<CatalogFile> CatalogFile::openWith(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<CatalogFile>(new CatalogFile(db, path));
}

std::unique_ptr<CatalogFile> CatalogFile::create(const std::string& path) {
    if (std::filesystem::exists(path)) return nullptr;
    return openWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

std::unique_ptr<CatalogFile> CatalogFile::open(const std::string& path) {
    if (!std::filesystem::is_regular_file(path)) return nullptr;
    return openWith(path, SQLITE_OPEN_READWRITE);
}

CatalogFile::~CatalogFile() { sqlite3_close(db_); }

bool CatalogFile::addAsset(const std::string& picturePath) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO assets(path, added) VALUES(?, strftime('%s','now'))", -1, &st,
                           nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, picturePath.c_str(), -1, SQLITE_TRANSIENT);
    const bool ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    return ok;
}

std::vector<std::string> CatalogFile::assets() const {
    std::vector<std::string> out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT path FROM assets ORDER BY id", -1, &st, nullptr) != SQLITE_OK) return out;
    while (sqlite3_step(st) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

}  // namespace quillbase
