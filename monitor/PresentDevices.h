#pragma once
// The present devices of a setup class, each by its first hardware id in the
// form the device table holds, read from sysfs (which lists exactly the devices
// present). The class names of the table select a bus:
//   "Image"        USB devices:      "USB\VID_7A1C&PID_3B95&REV_0100" from
//                  idVendor, idProduct and bcdDevice (upper-case hex);
//   "VorelHalden"  FireWire devices: "1394\VOREL&HALDEN7" from the config-ROM
//                  texts vendor_name and model_name, upper-cased, blanks as '_';
//                  a unit without both texts has no id and is left out.
//   "StillImage"   USB cameras of any maker, with ids as for "Image": devices
//                  with a still-image interface (class 06, subclass 01,
//                  protocol 01: PTP cameras), and devices the camera library
//                  knows by their vendor and product ids.
// Any other class name has no class: the lister answers false.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Answers false when the class is unknown or the device list cannot be made.
using HardwareIdLister = std::function<bool(const std::string& className, std::vector<std::string>* ids)>;

// $VOREL_SYSFS_ROOT when set, else /sys.
std::filesystem::path MonitorSysfsRoot();

bool ListPresentHardwareIds(const std::filesystem::path& sysfsRoot, const std::string& className,
                            std::vector<std::string>* ids);

// Whether a USB vendor and product id names a camera the camera library drives.
using UsbCameraList = std::function<bool(uint16_t vendor, uint16_t product)>;
// The camera library's own list (loaded once, on first use).
UsbCameraList CameraLibraryList();

bool ListStillImageDevices(const std::filesystem::path& sysfsRoot, const UsbCameraList& known,
                           std::vector<std::string>* ids);

// The lister over a sysfs tree.
HardwareIdLister SysfsHardwareIdLister(std::filesystem::path sysfsRoot);

std::string UsbHardwareId(uint16_t vendor, uint16_t product, uint16_t revision);
// Empty when either text is empty.
std::string FirewireHardwareId(const std::string& vendorName, const std::string& modelName);
