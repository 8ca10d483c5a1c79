#pragma once
// A typed value of automation calls: empty, 32-bit integer, boolean, string
// (UTF-8; a null string is not the same as an empty one) or an object.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace plat {

class ComObject;
class RemoteObject;

struct Variant {
    enum class Type : uint16_t { Empty = 0, I4 = 3, Bstr = 8, Dispatch = 9, Bool = 11 };

    Type type = Type::Empty;
    int32_t i4 = 0;
    bool boolean = false;
    std::optional<std::string> bstr;
    std::shared_ptr<ComObject> object;     // an object of this process (server side)
    std::shared_ptr<RemoteObject> remote;  // an object of another process (client side)

    static Variant fromInt(int32_t v) { Variant x; x.type = Type::I4; x.i4 = v; return x; }
    static Variant fromBool(bool v) { Variant x; x.type = Type::Bool; x.boolean = v; return x; }
    static Variant fromString(std::optional<std::string> v) { Variant x; x.type = Type::Bstr; x.bstr = std::move(v); return x; }
    static Variant fromObject(std::shared_ptr<ComObject> o) { Variant x; x.type = Type::Dispatch; x.object = std::move(o); return x; }
};

}  // namespace plat
