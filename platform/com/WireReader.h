#pragma once
// Decodes what WireWriter encoded. Every read checks the remaining length; after
// the first failed read every further read fails too (ok() false).
#include "platform/com/Variant.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace plat {

class WireReader {
public:
    // Makes a proxy for an object id received on the connection (client side).
    using ObjectResolver = std::function<std::shared_ptr<RemoteObject>(uint32_t)>;

    WireReader() = default;
    explicit WireReader(std::string data) : data_(std::move(data)) {}

    bool u8(uint8_t* v);
    bool u16(uint16_t* v);
    bool u32(uint32_t* v);
    bool i32(int32_t* v);
    bool boolean(bool* v);
    bool bytes(std::string* v);
    bool nullableString(std::optional<std::string>* v);
    bool variant(Variant* v);

    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == data_.size(); }
    void setResolver(ObjectResolver r) { resolver_ = std::move(r); }

private:
    bool take(std::size_t n, const char** p);

    std::string data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
    ObjectResolver resolver_;
};

}  // namespace plat
