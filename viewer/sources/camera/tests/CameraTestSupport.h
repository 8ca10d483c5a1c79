#pragma once
// Connecting the camera controller to the simulated camera, in-process (the
// module linked into the test) or through dlopen of SimCam.kx3.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "outside/dorn/SimCam.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/DornModule.h"
#include "viewer/sources/camera/RundleCtrl.h"
#include "viewer/sources/camera/tests/CameraFixture.h"

namespace camtest {

enum class Road { InProcess, Dlopen };

inline const char* kBuiltinPath = "builtin:SimCam";

inline RundleDeviceRecord DeviceFor(Road road, const std::string& model = "Snapwren310")
{
    RundleDeviceRecord record;
    const std::string path = road == Road::InProcess ? kBuiltinPath : SIMCAM_MODULE_PATH;
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
    }
    ~CameraSetup()
    {
        SimCamSetConfigPath(nullptr);
        unsetenv("VOREL_SIMCAM_CONFIG");
        SetCameraWaitLimit(30000);
        SetCameraClock(nullptr, nullptr);
    }
};

inline std::string RoadName(Road road) { return road == Road::InProcess ? "InProcess" : "Dlopen"; }

}  // namespace camtest
