#include "viewer/sources/camera/CFChgFileAttrThreadForRundle.h"

#include "platform/msg/Messaging.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/JqIfMngResult.h"

namespace {

bool IsTolerated(int32_t r)
{
    return r == JqIfMngResult_NotFound || r == JqIfMngResult_AttributeFailed1;
}

}  // namespace

CCFChgFileAttrThreadForRundle::CCFChgFileAttrThreadForRundle(const std::string& folderPath,
                                                             std::vector<CameraJobPicture*>* pictures, int32_t kind,
                                                             int32_t value, CameraJobOwner* owner,
                                                             plat::WindowHandle waitWindow, int32_t* result,
                                                             CameraAttributeOperation protect,
                                                             CameraAttributeOperation hide)
    : folderPath_(folderPath), pictures_(pictures), kind_(kind), value_(value), owner_(owner),
      waitWindow_(waitWindow), result_(result), protect_(std::move(protect)), hide_(std::move(hide))
{
}

CCFChgFileAttrThreadForRundle::~CCFChgFileAttrThreadForRundle()
{
    if (watcher_) watcher_->waitUntilEnded();
    if (worker_) worker_->waitUntilEnded();
}

bool CCFChgFileAttrThreadForRundle::Start()
{
    worker_ = std::make_unique<plat::WorkerThread>([this] { return Work(); });
    watcher_ = std::make_unique<plat::WorkerThread>([this] { return Run(); });
    if (!worker_->create() || !watcher_->create()) return false;
    return worker_->resume() && watcher_->resume();
}

bool CCFChgFileAttrThreadForRundle::KeepFailure(int32_t* kept, int32_t failure)
{
    // A first "other" failure is kept and later not-found or hide failures do
    // not replace it; a second "other" failure ends the job.
    if (!IsTolerated(failure) && *kept != 0 && !IsTolerated(*kept)) {
        *kept = failure;
        return false;
    }
    if (*kept == 0 || IsTolerated(*kept)) *kept = failure;
    return true;
}

uint32_t CCFChgFileAttrThreadForRundle::Work()
{
    plat::waitForWindow(waitWindow_, nullptr, 30000);
    int32_t kept = 0;
    int32_t last = 0;
    for (CameraJobPicture* picture : *pictures_) {
        if (!picture || !picture->selected) continue;
        int32_t& flag = kind_ == Hide ? picture->hidden : picture->readOnly;
        if ((flag != 0) == (value_ != 0)) continue;
        const CameraAttributeOperation& change = kind_ == Hide ? hide_ : protect_;
        last = change ? change(folderPath_, picture->name, value_) : JqIfMngResult_Failed;
        if (last == 0) {
            flag = value_;
            if (owner_ && owner_->stopFlag && owner_->stopFlag->load() == 1) {
                plat::postMessage(owner_->window, UM_SELECTION_CHANGED, reinterpret_cast<plat::WParam>(picture), 0);
                break;
            }
            continue;
        }
        if (!KeepFailure(&kept, last)) break;
    }
    if (owner_ && owner_->accessFileLib.valid()) owner_->accessFileLib.set();
    if (result_) *result_ = kept;
    return static_cast<uint32_t>(last);
}

uint32_t CCFChgFileAttrThreadForRundle::Run()
{
    while (worker_->waitUntilEnded(200) != plat::kWaitSignalled) {
    }
    worker_->requestQuit();
    plat::postMessage(waitWindow_, UM_WORKER_DONE, 1, 0);
    return 0;
}
