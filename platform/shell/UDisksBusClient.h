#pragma once
// The disk service over D-Bus (Qt DBus, org.freedesktop.UDisks2 on the system bus).
#include "platform/shell/UDisksClient.h"

#include <string>

namespace plat {

class UDisksBusClient : public UDisksClient {
public:
    // The system bus; or the bus at `busAddress` (a D-Bus address such as
    // "unix:path=/run/dbus/system_bus_socket"), for tests and odd machines.
    UDisksBusClient();
    explicit UDisksBusClient(std::string busAddress);
    ~UDisksBusClient() override;

    UDisksStatus checkRemovable(const std::string& objectPath, int timeoutMs, bool* removable,
                                std::string* error) override;
    UDisksStatus unmount(const std::string& objectPath, int timeoutMs, std::string* error) override;
    UDisksStatus format(const std::string& objectPath, const std::string& type, const std::string& label,
                        int timeoutMs, std::string* error) override;
    UDisksStatus mount(const std::string& objectPath, int timeoutMs, std::string* mountPoint,
                       std::string* error) override;

private:
    std::string busAddress_;      // empty: the system bus
    std::string connectionName_;  // our own connection to busAddress_
};

}  // namespace plat
