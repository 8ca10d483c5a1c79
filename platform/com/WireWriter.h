#pragma once
// Encodes call arguments and results: little-endian integers, length-prefixed
// byte strings (file names travel as raw bytes), nullable strings and variants.
#include "platform/com/Variant.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

class WireWriter {
public:
    // Gives an object of this process an id on the connection (server side).
    using ObjectRegistrar = std::function<uint32_t(std::shared_ptr<ComObject>)>;

    WireWriter& u8(uint8_t v);
    WireWriter& u16(uint16_t v);
    WireWriter& u32(uint32_t v);
    WireWriter& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    WireWriter& boolean(bool v) { return u8(v ? 1 : 0); }
    WireWriter& bytes(std::string_view v);
    WireWriter& nullableString(const std::optional<std::string>& v);
    // Bytes already encoded by another writer.
    WireWriter& raw(std::string_view encoded) { data_.append(encoded.data(), encoded.size()); return *this; }
    // Variants holding an object need a registrar; without one they fail (false).
    bool variant(const Variant& v);

    void setRegistrar(ObjectRegistrar r) { registrar_ = std::move(r); }
    const std::string& data() const { return data_; }

private:
    std::string data_;
    ObjectRegistrar registrar_;
};

}  // namespace plat
