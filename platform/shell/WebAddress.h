#pragma once
// Opening a web or mail address with the desktop's opener (xdg-open). The
// address goes to the opener as one argument: no shell, nothing it could
// take as an option.
#include <cstdint>
#include <string>

namespace plat {

enum class OpenResult : int32_t {
    Ok = 0,
    Refused,      // not an http, https or mailto address, or malformed
    NoOpener,     // no xdg-open on the PATH
    StartFailed,  // the opener could not be started
};

const char* openResultName(OpenResult result);

// Whether `address` is one the suite opens: http or https with a host, or
// mailto, with no blanks or control characters. On true *normalized (when
// given) is the address as it goes to the opener (percent-encoded).
bool isOpenableAddress(const std::string& address, std::string* normalized = nullptr);

// Starts xdg-open (found on the PATH) on the address, detached; does not wait
// for the browser.
OpenResult openWebAddress(const std::string& address);

}  // namespace plat
