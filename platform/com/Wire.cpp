#include "platform/com/HResult.h"
#include "platform/com/WireReader.h"
#include "platform/com/WireWriter.h"

#include <cstring>

namespace plat {

namespace {
constexpr uint32_t kMaxBytes = 64u << 20;
}

WireWriter& WireWriter::u8(uint8_t v) {
    data_.push_back(static_cast<char>(v));
    return *this;
}

WireWriter& WireWriter::u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    return u8(static_cast<uint8_t>(v >> 8));
}

WireWriter& WireWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
}

WireWriter& WireWriter::bytes(std::string_view v) {
    u32(static_cast<uint32_t>(v.size()));
    data_.append(v.data(), v.size());
    return *this;
}

WireWriter& WireWriter::nullableString(const std::optional<std::string>& v) {
    u8(v ? 0 : 1);
    return v ? bytes(*v) : *this;
}

bool WireWriter::variant(const Variant& v) {
    u16(static_cast<uint16_t>(v.type));
    switch (v.type) {
    case Variant::Type::Empty: return true;
    case Variant::Type::I4: i32(v.i4); return true;
    case Variant::Type::Bool: boolean(v.boolean); return true;
    case Variant::Type::Bstr: nullableString(v.bstr); return true;
    case Variant::Type::Dispatch:
        if (!registrar_ || !v.object) return false;
        u32(registrar_(v.object));
        return true;
    }
    return false;
}

bool WireReader::take(std::size_t n, const char** p) {
    if (!ok_ || data_.size() - pos_ < n) {
        ok_ = false;
        return false;
    }
    *p = data_.data() + pos_;
    pos_ += n;
    return true;
}

bool WireReader::u8(uint8_t* v) {
    const char* p;
    if (!take(1, &p)) return false;
    *v = static_cast<uint8_t>(*p);
    return true;
}

bool WireReader::u16(uint16_t* v) {
    const char* p;
    if (!take(2, &p)) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    *v = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
}

bool WireReader::u32(uint32_t* v) {
    const char* p;
    if (!take(4, &p)) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    *v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool WireReader::i32(int32_t* v) {
    uint32_t u;
    if (!u32(&u)) return false;
    *v = static_cast<int32_t>(u);
    return true;
}

bool WireReader::boolean(bool* v) {
    uint8_t b;
    if (!u8(&b) || b > 1) return ok_ = false;
    *v = b == 1;
    return true;
}

bool WireReader::bytes(std::string* v) {
    uint32_t n;
    const char* p;
    if (!u32(&n) || n > kMaxBytes || !take(n, &p)) return ok_ = false;
    v->assign(p, n);
    return true;
}

bool WireReader::nullableString(std::optional<std::string>* v) {
    uint8_t isNull;
    if (!u8(&isNull) || isNull > 1) return ok_ = false;
    if (isNull) {
        v->reset();
        return true;
    }
    std::string s;
    if (!bytes(&s)) return false;
    *v = std::move(s);
    return true;
}

bool WireReader::variant(Variant* v) {
    uint16_t type;
    if (!u16(&type)) return false;
    *v = Variant();
    switch (static_cast<Variant::Type>(type)) {
    case Variant::Type::Empty: return true;
    case Variant::Type::I4: v->type = Variant::Type::I4; return i32(&v->i4);
    case Variant::Type::Bool: v->type = Variant::Type::Bool; return boolean(&v->boolean);
    case Variant::Type::Bstr: v->type = Variant::Type::Bstr; return nullableString(&v->bstr);
    case Variant::Type::Dispatch: {
        uint32_t id;
        if (!u32(&id) || !resolver_) return ok_ = false;
        v->type = Variant::Type::Dispatch;
        v->remote = resolver_(id);
        return ok_ = v->remote != nullptr;
    }
    }
    return ok_ = false;
}

const char* describeHResult(HResult r) {
    switch (r) {
    case hr::Ok: return "done";
    case hr::False: return "done (false)";
    case hr::NotImplemented: return "not implemented";
    case hr::Fail: return "failed";
    case hr::AccessDenied: return "access denied";
    case hr::OutOfMemory: return "out of memory";
    case hr::InvalidArg: return "invalid argument";
    case hr::ClassNotRegistered: return "class not registered";
    case hr::ServerExecFailure: return "the server could not be started";
    case hr::ServerUnavailable: return "the server is not available";
    case hr::CallTimedOut: return "the call timed out";
    case hr::MemberNotFound: return "no such member";
    case hr::TypeMismatch: return "type mismatch";
    case hr::Exception: return "the call raised an error";
    case hr::BadParamCount: return "wrong number of arguments";
    }
    return "unknown result";
}

}  // namespace plat
