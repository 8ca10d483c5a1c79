#pragma once
// Result codes of object calls across processes: 32-bit values, negative for
// failure, with the well-known numbers so that callers can compare and log them.
#include <cstdint>

namespace plat {

using HResult = int32_t;

namespace hr {
inline constexpr HResult Ok = 0;
inline constexpr HResult False = 1;
inline constexpr HResult NotImplemented = static_cast<HResult>(0x80004001);
inline constexpr HResult Fail = static_cast<HResult>(0x80004005);
inline constexpr HResult AccessDenied = static_cast<HResult>(0x80070005);
inline constexpr HResult OutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr HResult InvalidArg = static_cast<HResult>(0x80070057);
inline constexpr HResult ClassNotRegistered = static_cast<HResult>(0x80040154);
inline constexpr HResult ServerExecFailure = static_cast<HResult>(0x80080005);
inline constexpr HResult ServerUnavailable = static_cast<HResult>(0x800706BA);
inline constexpr HResult CallTimedOut = static_cast<HResult>(0x8001011F);
inline constexpr HResult MemberNotFound = static_cast<HResult>(0x80020003);
inline constexpr HResult TypeMismatch = static_cast<HResult>(0x80020005);
inline constexpr HResult Exception = static_cast<HResult>(0x80020009);
inline constexpr HResult BadParamCount = static_cast<HResult>(0x8002000E);
}  // namespace hr

inline bool succeeded(HResult r) { return r >= 0; }
inline bool failed(HResult r) { return r < 0; }

// A short English text for logs.
const char* describeHResult(HResult r);

}  // namespace plat
