#pragma once
// Connecting the camera controller to a camera: the simulated one, in-process
// (the module linked into the test) or through dlopen of SimCam.kx3, or the
// same card served through libgphoto2's "Directory Browse" driver by the
// module file GPhotoCam.kx3.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "outside/dorn/SimCam.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/DornModule.h"
#include "viewer/sources/camera/RundleCtrl.h"
#include "viewer/sources/camera/tests/CameraFixture.h"

namespace camtest {

enum class Road { InProcess, Dlopen, GPhoto };

inline const char* kBuiltinPath = "builtin:SimCam";

// Test programs that never take the library's road need not build its module.
#ifndef GPHOTOCAM_MODULE_PATH
#define GPHOTOCAM_MODULE_PATH ""
#endif

// The model the library gives a folder it serves as a camera.
inline const char* kDirectoryBrowse = "Directory Browse";

inline RundleDeviceRecord DeviceFor(Road road, std::string model = "Snapwren310")
{
    RundleDeviceRecord record;
    const std::string path = road == Road::InProcess ? kBuiltinPath
                             : road == Road::Dlopen  ? SIMCAM_MODULE_PATH
                                                     : GPHOTOCAM_MODULE_PATH;
    if (road == Road::GPhoto) model = kDirectoryBrowse;
    std::snprintf(record.Name, sizeof(record.Name), "%s", path.c_str());
    std::snprintf(record.Capability, sizeof(record.Capability), "%s", model.c_str());
    return record;
}

// Points both roads at the card's configuration for the life of the object.
class CameraSetup {
public:
    explicit CameraSetup(const CameraCard& card)
    {
        CDornModule::RegisterBuiltin(kBuiltinPath, &SimCamEntry);
        SimCamSetConfigPath(card.config().c_str());
        setenv("VOREL_SIMCAM_CONFIG", card.config().c_str(), 1);
        WriteGPhotoConfig(card);
        setenv("VOREL_GPHOTOCAM_CONFIG", GPhotoConfigOf(card).c_str(), 1);
    }
    static std::string GPhotoConfigOf(const CameraCard& card) { return (card.dir() / "GPhotoCam.conf").string(); }
    // The card's folder served as a camera; small steps, so that a copy of a
    // small picture still takes several.
    static void WriteGPhotoConfig(const CameraCard& card, uint32_t chunkSize = 4096)
    {
        std::ofstream out(GPhotoConfigOf(card), std::ios::trunc);
        out << "folder=" << card.root().string() << "\nusb=0\nidle_ms=100\nchunk_size=" << chunkSize << "\n";
    }
    ~CameraSetup()
    {
        SimCamSetConfigPath(nullptr);
        unsetenv("VOREL_SIMCAM_CONFIG");
        unsetenv("VOREL_GPHOTOCAM_CONFIG");
        SetCameraWaitLimit(30000);
        SetCameraClock(nullptr, nullptr);
    }
};

inline std::string RoadName(Road road)
{
    return road == Road::InProcess ? "InProcess" : road == Road::Dlopen ? "Dlopen" : "GPhoto";
}

}  // namespace camtest
