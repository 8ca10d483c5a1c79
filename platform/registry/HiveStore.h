#pragma once
// One hive file: a SQLite database of keys and values. Every call runs its own
// statement or transaction and commits before it returns; nothing is cached, so
// writes of other processes are seen by the next call.
#include "platform/registry/RegTypes.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace plat {

class HiveStore {
public:
    static constexpr int64_t kRootKey = 1;

    enum class Mode { ExistingOnly, CreateIfMissing };

    // ExistingOnly on a missing file gives NotFound.
    static RegResult open(const std::filesystem::path& file, Mode mode, std::shared_ptr<HiveStore>* out);

    // How long a call waits for another process's lock before it answers Busy.
    static void setBusyTimeout(int milliseconds);
    static int busyTimeout();

    ~HiveStore();
    HiveStore(const HiveStore&) = delete;
    HiveStore& operator=(const HiveStore&) = delete;

    RegResult keyExists(int64_t key);
    RegResult findKey(int64_t from, const std::vector<std::string>& names, int64_t* id);
    RegResult createKey(int64_t from, const std::vector<std::string>& names, int64_t* id);
    RegResult deleteKey(int64_t key);  // with every subkey and value

    RegResult readValue(int64_t key, std::string_view name, RegType* type, std::string* data);
    RegResult writeValue(int64_t key, std::string_view name, RegType type, const void* data, std::size_t size);
    RegResult deleteValue(int64_t key, std::string_view name);

    RegResult subKeyAt(int64_t key, uint32_t index, std::string* name);
    RegResult valueAt(int64_t key, uint32_t index, std::string* name, RegType* type, std::string* data);

private:
    explicit HiveStore(sqlite3* db) : db_(db) {}
    RegResult prepare(bool writable);
    RegResult exec(const char* sql, RegResult onError);
    RegResult countTables(int64_t* count);
    RegResult switchToWal();
    RegResult lookupChild(int64_t parent, const std::string& name, int64_t* id, RegResult onError);

    sqlite3* db_;
    std::mutex mutex_;  // one statement sequence at a time on this connection
};

}  // namespace plat
