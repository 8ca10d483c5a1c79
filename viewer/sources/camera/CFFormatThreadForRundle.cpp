#include "viewer/sources/camera/CFFormatThreadForRundle.h"

#include "platform/msg/Messaging.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/camera/RundleCtrl.h"

CCFFormatThreadForRundle::CCFFormatThreadForRundle(CRundleCtrl* controller, CameraJobOwner* owner,
                                                   plat::WindowHandle waitWindow)
    : controller_(controller), owner_(owner), waitWindow_(waitWindow)
{
}

CCFFormatThreadForRundle::~CCFFormatThreadForRundle()
{
    if (watcher_) watcher_->waitUntilEnded();
    if (worker_) worker_->waitUntilEnded();
}

bool CCFFormatThreadForRundle::Start()
{
    worker_ = std::make_unique<plat::WorkerThread>([this]() -> uint32_t {
        plat::waitForWindow(waitWindow_, nullptr, 30000);
        const int32_t r = controller_ ? controller_->FormatCFCard() : JqIfMngResult_Failed;
        return static_cast<uint32_t>(r);
    });
    watcher_ = std::make_unique<plat::WorkerThread>([this] { return Run(); });
    if (!worker_->create() || !watcher_->create()) return false;
    return worker_->resume() && watcher_->resume();
}

uint32_t CCFFormatThreadForRundle::Run()
{
    while (worker_->waitUntilEnded(200) != plat::kWaitSignalled) {
    }
    uint32_t code = 1;
    worker_->exitCode(&code);
    worker_->requestQuit();
    plat::postMessage(waitWindow_, UM_WORKER_DONE, code == 0 ? 1 : 0, 0);
    return 0;
}
