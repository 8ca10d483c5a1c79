#pragma once
// The camera job that protects or hides the selected pictures while the wait
// dialog is shown: a worker that changes the pictures and a watcher that waits
// for it and closes the dialog.
#include <memory>
#include <vector>

#include "platform/thread/WorkerThread.h"
#include "viewer/sources/camera/CameraJob.h"

class CCFChgFileAttrThreadForRundle {
public:
    enum Kind : int32_t { Protect = 1, Hide = 2 };

    CCFChgFileAttrThreadForRundle(const std::string& folderPath, std::vector<CameraJobPicture*>* pictures, int32_t kind,
                                  int32_t value, CameraJobOwner* owner, plat::WindowHandle waitWindow,
                                  int32_t* result, CameraAttributeOperation protect, CameraAttributeOperation hide);
    ~CCFChgFileAttrThreadForRundle();

    bool Start();
    uint32_t Run();

private:
    uint32_t Work();
    // The failure kept so far and the new one: the job goes on through not-found
    // and hide failures and one other failure, and stops at a second other one.
    static bool KeepFailure(int32_t* kept, int32_t failure);
    friend class CameraJobRules;

    std::string folderPath_;
    std::vector<CameraJobPicture*>* pictures_;
    int32_t kind_;
    int32_t value_;
    CameraJobOwner* owner_;
    plat::WindowHandle waitWindow_;
    int32_t* result_;
    CameraAttributeOperation protect_;
    CameraAttributeOperation hide_;
    std::unique_ptr<plat::WorkerThread> worker_;
    std::unique_ptr<plat::WorkerThread> watcher_;
};
