// A request's arguments as a server decodes them: variants and automation
// arguments from a client, whatever bytes it sends.
#include "platform/com/DispatchObject.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

class Echo : public plat::DispatchObject {
public:
    plat::HResult invoke(int32_t, plat::DispatchKind, std::vector<plat::Variant>& args, plat::Variant* result) override {
        if (!args.empty()) *result = args.back();
        return plat::hr::Ok;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        plat::WireReader in(bytes);
        plat::WireWriter out;
        Echo echo;
        echo.call(plat::kDispatchInvokeMethod, in, out);
    }
    {
        plat::WireReader in(bytes);
        std::optional<std::string> s;
        plat::Variant v;
        std::string b;
        while (in.nullableString(&s) && in.variant(&v) && in.bytes(&b)) {}
    }
    return 0;
}
