#pragma once
// Frames between a client and an object server. After connecting, the server
// sends a greeting: i32 result of creating the connection's object (then u32 its
// id). A request is u32 object id, u32 method, arguments; a reply is i32 result,
// then the method's results.
#include <cstdint>

namespace plat::comwire {

inline constexpr uint32_t kClassObject = 0;       // the class itself: lock and unlock the server
inline constexpr uint32_t kRootObject = 1;        // the object made for the connection
inline constexpr uint32_t kLockServer = 1;        // on kClassObject: bool lock
inline constexpr uint32_t kRelease = 0xFFFFFFFFu;  // on a further object: the client let it go
inline constexpr int kServerWriteTimeoutMs = 5000;

}  // namespace plat::comwire
