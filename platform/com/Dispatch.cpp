#include "platform/com/DispatchCall.h"
#include "platform/com/DispatchObject.h"

namespace plat {

namespace {
constexpr uint32_t kMaxArgs = 64;
}

HResult DispatchObject::call(uint32_t method, WireReader& in, WireWriter& out) {
    if (method != kDispatchInvokeMethod) return hr::NotImplemented;
    int32_t dispId = 0;
    uint16_t kind = 0;
    uint32_t count = 0;
    if (!in.i32(&dispId) || !in.u16(&kind) || !in.u32(&count) || count > kMaxArgs) return hr::InvalidArg;
    if (kind != 1 && kind != 2 && kind != 4) return hr::InvalidArg;
    std::vector<Variant> args(count);
    for (Variant& v : args) {
        if (!in.variant(&v)) return hr::TypeMismatch;
    }
    if (!in.atEnd()) return hr::InvalidArg;
    Variant result;
    HResult r = invoke(dispId, static_cast<DispatchKind>(kind), args, &result);
    if (succeeded(r) && !out.variant(result)) return hr::TypeMismatch;
    return r;
}

HResult invokeDispatch(RemoteObject& object, int32_t dispId, DispatchKind kind, const std::vector<Variant>& args,
                       Variant* result) {
    if (args.size() > kMaxArgs) return hr::BadParamCount;
    WireWriter w;
    w.i32(dispId).u16(static_cast<uint16_t>(kind)).u32(static_cast<uint32_t>(args.size()));
    for (const Variant& v : args) {
        if (!w.variant(v)) return hr::TypeMismatch;  // objects of this process do not travel
    }
    WireReader in;
    HResult r = object.call(kDispatchInvokeMethod, w, &in);
    if (failed(r)) return r;
    Variant v;
    if (!in.variant(&v)) return hr::ServerUnavailable;
    if (result) *result = std::move(v);
    return r;
}

}  // namespace plat
