// A server for the activation tests. The class it serves and its idle time come
// from the environment (COM_TEST_CLASS, COM_TEST_IDLE_MS); COM_TEST_FAIL_CREATE
// makes creating objects fail.
#include "platform/com/DispatchObject.h"
#include "platform/com/LocalServer.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// 1: echo bytes; 2: the server's pid; 3: count calls on this object.
class CounterObject : public plat::ComObject {
public:
    plat::HResult call(uint32_t method, plat::WireReader& in, plat::WireWriter& out) override {
        switch (method) {
        case 1: {
            std::string s;
            if (!in.bytes(&s) || !in.atEnd()) return plat::hr::InvalidArg;
            out.bytes(s);
            return plat::hr::Ok;
        }
        case 2: out.u32(static_cast<uint32_t>(getpid())); return plat::hr::Ok;
        case 3: out.i32(++count_); return plat::hr::Ok;
        default: return plat::hr::NotImplemented;
        }
    }

private:
    int32_t count_ = 0;
};

// 1 Add(a, b); 2 Name (get, put); 3 Child() gives another object.
class Calculator : public plat::DispatchObject {
public:
    explicit Calculator(std::string name) : name_(std::move(name)) {}
    plat::HResult invoke(int32_t id, plat::DispatchKind kind, std::vector<plat::Variant>& args, plat::Variant* result) override {
        using plat::Variant;
        switch (id) {
        case 1:
            if (args.size() != 2) return plat::hr::BadParamCount;
            if (args[0].type != Variant::Type::I4 || args[1].type != Variant::Type::I4) return plat::hr::TypeMismatch;
            *result = Variant::fromInt(args[0].i4 + args[1].i4);
            return plat::hr::Ok;
        case 2:
            if (kind == plat::DispatchKind::PropertyPut) {
                if (args.size() != 1 || args[0].type != Variant::Type::Bstr || !args[0].bstr) return plat::hr::TypeMismatch;
                name_ = *args[0].bstr;
                return plat::hr::Ok;
            }
            *result = Variant::fromString(name_);
            return plat::hr::Ok;
        case 3: *result = Variant::fromObject(std::make_shared<Calculator>(name_ + "/child")); return plat::hr::Ok;
        default: return plat::hr::MemberNotFound;
        }
    }

private:
    std::string name_;
};

void onTerm(int) { plat::LocalServer::requestStop(); }

}  // namespace

int main(int argc, char** argv) {
    bool embedding = false;
    for (int i = 1; i < argc; ++i) embedding = embedding || std::string(argv[i]) == "-Embedding";
    const char* cls = std::getenv("COM_TEST_CLASS");
    const char* idle = std::getenv("COM_TEST_IDLE_MS");
    if (!embedding || !cls) return 2;
    const bool dispatch = std::getenv("COM_TEST_DISPATCH") != nullptr;
    const bool failCreate = std::getenv("COM_TEST_FAIL_CREATE") != nullptr;
    signal(SIGTERM, onTerm);
    plat::LocalServer server(
        cls,
        [&](std::shared_ptr<plat::ComObject>* out) {
            if (failCreate) return plat::hr::OutOfMemory;
            if (dispatch) *out = std::make_shared<Calculator>("calc");
            else *out = std::make_shared<CounterObject>();
            return plat::hr::Ok;
        },
        idle ? std::atoi(idle) : 5000);
    return server.run();
}
