#pragma once
// Automation: an object whose members are called by dispatch id with variant
// arguments (methods, property reads and property writes).
#include "platform/com/ComObject.h"
#include "platform/com/Variant.h"

#include <cstdint>
#include <vector>

namespace plat {

inline constexpr uint32_t kDispatchInvokeMethod = 0x7F000001u;

enum class DispatchKind : uint16_t { Method = 1, PropertyGet = 2, PropertyPut = 4 };

class DispatchObject : public ComObject {
public:
    HResult call(uint32_t method, WireReader& in, WireWriter& out) final;
    // Unknown ids give hr::MemberNotFound, wrong argument counts hr::BadParamCount,
    // wrong argument types hr::TypeMismatch.
    virtual HResult invoke(int32_t dispId, DispatchKind kind, std::vector<Variant>& args, Variant* result) = 0;
};

}  // namespace plat
