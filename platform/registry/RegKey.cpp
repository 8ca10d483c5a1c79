#include "platform/registry/RegKey.h"

#include "platform/registry/HiveStore.h"
#include "platform/registry/RegPath.h"

#include <cstring>

namespace plat {

void RegKey::close() {
    store_.reset();
    id_ = 0;
}

RegResult RegKey::openSubKey(std::string_view path, RegKey* out) const {
    *out = RegKey();
    if (!store_) return RegResult::InvalidHandle;
    std::vector<std::string> names;
    RegResult r = splitKeyPath(path, &names);
    if (r != RegResult::Ok) return r;
    int64_t id = 0;
    if ((r = store_->findKey(id_, names, &id)) != RegResult::Ok) return r;
    *out = RegKey(hive_, store_, id);
    return RegResult::Ok;
}

RegResult RegKey::createSubKey(std::string_view path, RegKey* out) const {
    *out = RegKey();
    if (!store_) return RegResult::InvalidHandle;
    std::vector<std::string> names;
    RegResult r = splitKeyPath(path, &names);
    if (r != RegResult::Ok) return r;
    int64_t id = 0;
    if ((r = store_->createKey(id_, names, &id)) != RegResult::Ok) return r;
    *out = RegKey(hive_, store_, id);
    return RegResult::Ok;
}

RegResult RegKey::deleteSubKeyTree(std::string_view path) const {
    if (!store_) return RegResult::InvalidHandle;
    std::vector<std::string> names;
    RegResult r = splitKeyPath(path, &names);
    if (r != RegResult::Ok) return r;
    if (names.empty()) return RegResult::InvalidParameter;  // a key does not delete itself through a subkey path
    int64_t id = 0;
    if ((r = store_->findKey(id_, names, &id)) != RegResult::Ok) return r;
    return store_->deleteKey(id);
}

RegResult RegKey::query(std::string_view name, RegType* type, void* data, uint32_t* size) const {
    if (!store_) return RegResult::InvalidHandle;
    if (data && !size) return RegResult::InvalidParameter;
    std::string bytes;
    RegType t = RegType::None;
    RegResult r = store_->readValue(id_, name, &t, &bytes);
    if (r != RegResult::Ok) return r;
    if (type) *type = t;
    if (!size) return RegResult::Ok;
    const auto n = static_cast<uint32_t>(bytes.size());
    if (data && *size < n) {
        *size = n;
        return RegResult::MoreData;
    }
    if (data && n) std::memcpy(data, bytes.data(), n);
    *size = n;
    return RegResult::Ok;
}

RegResult RegKey::queryString(std::string_view name, char* buf, uint32_t bufSize, RegType* type) const {
    if (!store_) return RegResult::InvalidHandle;
    if (!buf || bufSize == 0) return RegResult::InvalidParameter;
    buf[0] = '\0';
    std::string bytes;
    RegResult r = store_->readValue(id_, name, type, &bytes);
    if (r != RegResult::Ok) return r;
    const bool terminated = !bytes.empty() && bytes.back() == '\0';
    const std::size_t need = bytes.size() + (terminated ? 0 : 1);
    if (need > bufSize) return RegResult::MoreData;
    std::memcpy(buf, bytes.data(), bytes.size());
    if (!terminated) buf[bytes.size()] = '\0';
    return RegResult::Ok;
}

RegResult RegKey::queryString(std::string_view name, std::string* text, RegType* type) const {
    if (!store_) return RegResult::InvalidHandle;
    std::string bytes;
    RegResult r = store_->readValue(id_, name, type, &bytes);
    if (r != RegResult::Ok) return r;
    std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
    *text = std::move(bytes);
    return RegResult::Ok;
}

RegResult RegKey::queryDword(std::string_view name, uint32_t* value) const {
    if (!store_) return RegResult::InvalidHandle;
    std::string bytes;
    RegType t = RegType::None;
    RegResult r = store_->readValue(id_, name, &t, &bytes);
    if (r != RegResult::Ok) return r;
    if (t != RegType::Dword || bytes.size() != 4) return RegResult::InvalidParameter;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    *value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return RegResult::Ok;
}

RegResult RegKey::queryBytes(std::string_view name, std::string* data, RegType* type) const {
    if (!store_) return RegResult::InvalidHandle;
    return store_->readValue(id_, name, type, data);
}

RegResult RegKey::set(std::string_view name, RegType type, const void* data, uint32_t size) const {
    if (!store_) return RegResult::InvalidHandle;
    return store_->writeValue(id_, name, type, data, size);
}

RegResult RegKey::setString(std::string_view name, std::string_view text, RegType type) const {
    std::string bytes(text);
    bytes.push_back('\0');
    return set(name, type, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

RegResult RegKey::setDword(std::string_view name, uint32_t value) const {
    const unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return set(name, RegType::Dword, b, 4);
}

RegResult RegKey::deleteValue(std::string_view name) const {
    if (!store_) return RegResult::InvalidHandle;
    return store_->deleteValue(id_, name);
}

RegResult RegKey::enumSubKey(uint32_t index, std::string* name) const {
    if (!store_) return RegResult::InvalidHandle;
    return store_->subKeyAt(id_, index, name);
}

RegResult RegKey::enumValue(uint32_t index, std::string* name, RegType* type, std::string* data) const {
    if (!store_) return RegResult::InvalidHandle;
    return store_->valueAt(id_, index, name, type, data);
}

RegResult RegKey::subKeyNames(std::vector<std::string>* names) const {
    names->clear();
    for (uint32_t i = 0;; ++i) {
        std::string n;
        RegResult r = enumSubKey(i, &n);
        if (r == RegResult::NoMoreItems) return RegResult::Ok;
        if (r != RegResult::Ok) return r;
        names->push_back(std::move(n));
    }
}

RegResult RegKey::valueNames(std::vector<std::string>* names) const {
    names->clear();
    for (uint32_t i = 0;; ++i) {
        std::string n;
        RegResult r = enumValue(i, &n);
        if (r == RegResult::NoMoreItems) return RegResult::Ok;
        if (r != RegResult::Ok) return r;
        names->push_back(std::move(n));
    }
}

}  // namespace plat
