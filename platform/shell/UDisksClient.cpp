#include "platform/shell/UDisksClient.h"

#include <cstdio>

namespace plat {

const char* udisksStatusName(UDisksStatus status) {
    switch (status) {
    case UDisksStatus::Ok: return "ok";
    case UDisksStatus::NoService: return "no disk service";
    case UDisksStatus::NotAuthorized: return "not authorized";
    case UDisksStatus::Busy: return "device busy";
    case UDisksStatus::NotMounted: return "not mounted";
    case UDisksStatus::TimedOut: return "timed out";
    case UDisksStatus::Failed: return "failed";
    }
    return "failed";
}

std::string udisksBlockObjectPath(const std::string& kernelName) {
    std::string path = "/org/freedesktop/UDisks2/block_devices/";
    for (unsigned char c : kernelName) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            path += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "_%02x", c);
            path += escaped;
        }
    }
    return path;
}

}  // namespace plat
