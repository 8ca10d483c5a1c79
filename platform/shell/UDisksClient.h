#pragma once
// The calls the format helper makes to the disk service (udisks2), behind a small
// interface so that tests can check the sequence without a system bus.
#include <cstdint>
#include <string>

namespace plat {

// How a call to the disk service ended.
enum class UDisksStatus : int32_t {
    Ok = 0,
    NoService,     // no system bus, or no udisks2 on it
    NotAuthorized, // the service (or the user at its prompt) refused
    Busy,          // the device is in use (open files on the volume)
    NotMounted,    // an unmount of a volume that was not mounted
    TimedOut,      // no answer within the call's time-out
    Failed,        // any other error the service reported
};

const char* udisksStatusName(UDisksStatus status);

class UDisksClient {
public:
    virtual ~UDisksClient() = default;

    // `objectPath` is the block device's object,
    // "/org/freedesktop/UDisks2/block_devices/<name>". Every call is bounded by
    // `timeoutMs`; *error (when given) receives the service's error text.
    // Whether the service, too, holds the device for removable: its drive is
    // removable and the block device is no system device (HintSystem).
    virtual UDisksStatus checkRemovable(const std::string& objectPath, int timeoutMs, bool* removable,
                                        std::string* error) = 0;
    virtual UDisksStatus unmount(const std::string& objectPath, int timeoutMs, std::string* error) = 0;
    virtual UDisksStatus format(const std::string& objectPath, const std::string& type, const std::string& label,
                                int timeoutMs, std::string* error) = 0;
    // *mountPoint receives where the service mounted the volume.
    virtual UDisksStatus mount(const std::string& objectPath, int timeoutMs, std::string* mountPoint,
                               std::string* error) = 0;
};

// The service's object path of a block device by its kernel name ("sdb1"):
// letters and digits stay, every other byte becomes "_xx" (two hex digits).
std::string udisksBlockObjectPath(const std::string& kernelName);

}  // namespace plat
