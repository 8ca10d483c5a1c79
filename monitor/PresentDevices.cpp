#include "monitor/PresentDevices.h"

#include "outside/dorn/GPhotoDevice.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, without surrounding blanks; false when unreadable.
bool ReadAttribute(const fs::path& file, std::string* text)
{
    std::ifstream in(file);
    if (!in)
        return false;
    std::string line;
    std::getline(in, line);
    const auto first = line.find_first_not_of(" \t\r\n");
    const auto last = line.find_last_not_of(" \t\r\n");
    *text = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    return true;
}

bool ReadHex16(const fs::path& file, uint16_t* value)
{
    std::string text;
    if (!ReadAttribute(file, &text) || text.empty() || text.size() > 4)
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0')
        return false;
    *value = static_cast<uint16_t>(v);
    return true;
}

// Entries of a bus's device folder; a bus that is not there has no devices.
bool ListBus(const fs::path& sysfsRoot, const char* bus, std::vector<fs::path>* entries)
{
    std::error_code ec;
    if (!fs::is_directory(sysfsRoot, ec))
        return false;
    const fs::path folder = sysfsRoot / "bus" / bus / "devices";
    if (!fs::exists(folder, ec))
        return true;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries->push_back(it->path());
    return !ec;
}

bool ListUsb(const fs::path& sysfsRoot, std::vector<std::string>* ids)
{
    std::vector<fs::path> entries;
    if (!ListBus(sysfsRoot, "usb", &entries))
        return false;
    for (const fs::path& device : entries) {
        // Interfaces ("1-2:1.0") have no ids of their own; only devices count.
        uint16_t vendor = 0, product = 0, revision = 0;
        if (!ReadHex16(device / "idVendor", &vendor) || !ReadHex16(device / "idProduct", &product))
            continue;
        ReadHex16(device / "bcdDevice", &revision);
        ids->push_back(UsbHardwareId(vendor, product, revision));
    }
    return true;
}

// A device's interfaces are the bus entries named "<device>:<config>.<interface>".
bool HasStillImageInterface(const std::vector<fs::path>& entries, const std::string& device)
{
    for (const fs::path& entry : entries) {
        const std::string name = entry.filename().string();
        if (name.rfind(device + ":", 0) != 0)
            continue;
        std::string klass, subclass, protocol;
        if (ReadAttribute(entry / "bInterfaceClass", &klass) && ReadAttribute(entry / "bInterfaceSubClass", &subclass) &&
            ReadAttribute(entry / "bInterfaceProtocol", &protocol) && klass == "06" && subclass == "01" &&
            protocol == "01")
            return true;
    }
    return false;
}

bool ListFirewire(const fs::path& sysfsRoot, std::vector<std::string>* ids)
{
    std::vector<fs::path> entries;
    if (!ListBus(sysfsRoot, "firewire", &entries))
        return false;
    for (const fs::path& device : entries) {
        std::string vendor, model;
        ReadAttribute(device / "vendor_name", &vendor);
        ReadAttribute(device / "model_name", &model);
        std::string id = FirewireHardwareId(vendor, model);
        if (!id.empty())
            ids->push_back(std::move(id));
    }
    return true;
}

std::string IdText(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        out += std::isspace(c) ? '_' : static_cast<char>(std::toupper(c));
    return out;
}

}  // namespace

fs::path MonitorSysfsRoot()
{
    const char* env = std::getenv("VOREL_SYSFS_ROOT");
    return env && *env ? fs::path(env) : fs::path("/sys");
}

std::string UsbHardwareId(uint16_t vendor, uint16_t product, uint16_t revision)
{
    char text[40];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X&REV_%04X", vendor, product, revision);
    return text;
}

std::string FirewireHardwareId(const std::string& vendorName, const std::string& modelName)
{
    if (vendorName.empty() || modelName.empty())
        return {};
    return "1394\\" + IdText(vendorName) + "&" + IdText(modelName);
}

UsbCameraList CameraLibraryList()
{
    return [](uint16_t vendor, uint16_t product) { return GPhotoKnowsUsbDevice(vendor, product); };
}

bool ListStillImageDevices(const fs::path& sysfsRoot, const UsbCameraList& known, std::vector<std::string>* ids)
{
    ids->clear();
    std::vector<fs::path> entries;
    if (!ListBus(sysfsRoot, "usb", &entries))
        return false;
    for (const fs::path& device : entries) {
        uint16_t vendor = 0, product = 0, revision = 0;
        if (!ReadHex16(device / "idVendor", &vendor) || !ReadHex16(device / "idProduct", &product))
            continue;
        ReadHex16(device / "bcdDevice", &revision);
        if (HasStillImageInterface(entries, device.filename().string()) || (known && known(vendor, product)))
            ids->push_back(UsbHardwareId(vendor, product, revision));
    }
    return true;
}

bool ListPresentHardwareIds(const fs::path& sysfsRoot, const std::string& className, std::vector<std::string>* ids)
{
    ids->clear();
    if (::strcasecmp(className.c_str(), "Image") == 0)
        return ListUsb(sysfsRoot, ids);
    if (::strcasecmp(className.c_str(), "VorelHalden") == 0)
        return ListFirewire(sysfsRoot, ids);
    if (::strcasecmp(className.c_str(), "StillImage") == 0)
        return ListStillImageDevices(sysfsRoot, CameraLibraryList(), ids);
    return false;
}

HardwareIdLister SysfsHardwareIdLister(fs::path sysfsRoot)
{
    return [root = std::move(sysfsRoot)](const std::string& className, std::vector<std::string>* ids) {
        return ListPresentHardwareIds(root, className, ids);
    };
}
