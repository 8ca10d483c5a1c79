#pragma once
// A Quillbase catalog: an SQLite file (".ccf") listing the picture files added to it.
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace quillbase {

class CatalogFile {
public:
    // Makes a new catalog file; fails when the file exists.
    static std::unique_ptr<CatalogFile> create(const std::string& path);
    // Opens an existing catalog file.
    static std::unique_ptr<CatalogFile> open(const std::string& path);
    ~CatalogFile();
    CatalogFile(const CatalogFile&) = delete;
    CatalogFile& operator=(const CatalogFile&) = delete;

    const std::string& path() const { return path_; }
    // Adds a picture once (a second add of the same path is a no-op); false on failure.
    bool addAsset(const std::string& picturePath);
    std::vector<std::string> assets() const;

private:
    CatalogFile(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    static std::unique_ptr<CatalogFile> openWith(const std::string& path, int flags);
    sqlite3* db_;
    std::string path_;
};

}  // namespace quillbase
