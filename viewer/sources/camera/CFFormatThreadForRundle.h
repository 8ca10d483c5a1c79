#pragma once
// The camera job that formats the camera's card while the wait dialog is shown.
#include <memory>

#include "platform/thread/WorkerThread.h"
#include "viewer/sources/camera/CameraJob.h"

class CRundleCtrl;

class CCFFormatThreadForRundle {
public:
    CCFFormatThreadForRundle(CRundleCtrl* controller, CameraJobOwner* owner, plat::WindowHandle waitWindow);
    ~CCFFormatThreadForRundle();

    bool Start();
    uint32_t Run();

private:
    CRundleCtrl* controller_;
    CameraJobOwner* owner_;
    plat::WindowHandle waitWindow_;
    std::unique_ptr<plat::WorkerThread> worker_;
    std::unique_ptr<plat::WorkerThread> watcher_;
};
