#pragma once
// A window handle: a small number naming one receiver of messages in this process.
// Numbers are never reused in a run, so a stale handle never reaches a new window.
#include <cstdint>
#include <functional>

namespace plat {

using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

class WindowHandle {
public:
    constexpr WindowHandle() = default;
    constexpr explicit WindowHandle(uint32_t id) : id_(id) {}
    constexpr uint32_t id() const { return id_; }
    constexpr explicit operator bool() const { return id_ != 0; }
    friend constexpr bool operator==(WindowHandle a, WindowHandle b) { return a.id_ == b.id_; }

private:
    uint32_t id_ = 0;
};

}  // namespace plat

template <>
struct std::hash<plat::WindowHandle> {
    size_t operator()(plat::WindowHandle h) const noexcept { return std::hash<uint32_t>()(h.id()); }
};
