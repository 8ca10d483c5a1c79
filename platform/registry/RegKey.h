#pragma once
// An open registry key. Closing happens when the handle goes out of scope.
// Every read goes to the hive file and every write is committed before the call
// returns, so other processes see it at once.
#include "platform/registry/RegTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

class HiveStore;

class RegKey {
public:
    RegKey() = default;
    RegKey(RegKey&&) noexcept = default;
    RegKey& operator=(RegKey&&) noexcept = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool isOpen() const { return store_ != nullptr; }
    void close();
    Hive hive() const { return hive_; }

    // Subkeys relative to this key (same rules as Registry::open/create).
    RegResult openSubKey(std::string_view path, RegKey* out) const;
    RegResult createSubKey(std::string_view path, RegKey* out) const;
    // Deletes the subkey at `path` with everything below it.
    RegResult deleteSubKeyTree(std::string_view path) const;

    // The raw query: with data == nullptr it reports type and size only; when
    // *size is smaller than the stored data it fails with MoreData and sets *size
    // to what is needed. type and size may be null when not wanted.
    RegResult query(std::string_view name, RegType* type, void* data, uint32_t* size) const;

    // A string read into a caller buffer of bufSize bytes. The text always comes
    // back terminated: stored bytes that lack a final zero need one more byte, and
    // data that does not fit fails with MoreData (buf then holds "").
    RegResult queryString(std::string_view name, char* buf, uint32_t bufSize, RegType* type = nullptr) const;
    // The stored text up to its first zero byte (the first string of a multi-string).
    RegResult queryString(std::string_view name, std::string* text, RegType* type = nullptr) const;
    // A DWORD value; a value of another type or size gives InvalidParameter.
    RegResult queryDword(std::string_view name, uint32_t* value) const;
    // The raw bytes and type, whatever their size.
    RegResult queryBytes(std::string_view name, std::string* data, RegType* type = nullptr) const;

    RegResult set(std::string_view name, RegType type, const void* data, uint32_t size) const;
    // Writes the text plus one terminating zero byte, with the given type.
    RegResult setString(std::string_view name, std::string_view text, RegType type = RegType::String) const;
    RegResult setDword(std::string_view name, uint32_t value) const;
    RegResult deleteValue(std::string_view name) const;

    // Enumeration by index (ordered by folded name); NoMoreItems past the end.
    RegResult enumSubKey(uint32_t index, std::string* name) const;
    RegResult enumValue(uint32_t index, std::string* name, RegType* type = nullptr, std::string* data = nullptr) const;
    RegResult subKeyNames(std::vector<std::string>* names) const;
    RegResult valueNames(std::vector<std::string>* names) const;

private:
    friend class Registry;
    RegKey(Hive hive, std::shared_ptr<HiveStore> store, int64_t id)
        : hive_(hive), store_(std::move(store)), id_(id) {}

    Hive hive_ = Hive::LocalMachine;
    std::shared_ptr<HiveStore> store_;
    int64_t id_ = 0;
};

}  // namespace plat
