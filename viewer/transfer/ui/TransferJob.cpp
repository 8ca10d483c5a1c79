#include "viewer/transfer/ui/TransferJob.h"

#include "viewer/transfer/TransferCtrl.h"

CtrlTransferJob::CtrlTransferJob(TransferHost* host, std::optional<TransSelection> selection)
    : host_(host), selection_(std::move(selection)) {}

CtrlTransferJob::~CtrlTransferJob() { Join(); }

bool CtrlTransferJob::Start(plat::WindowHandle owner, int32_t mode) {
    if (host_ == nullptr) return false;
    ctrl_ = std::make_unique<CTransferCtrl>(owner, host_);
    if (!ctrl_->create(plat::WorkerThread::Start::Suspended)) {
        ctrl_.reset();
        return false;
    }
    ctrl_->SetMode(mode);
    if (mode == CTransferCtrl::kSelection && selection_) ctrl_->SetSelection(*selection_);
    return ctrl_->resume();
}

void CtrlTransferJob::Cancel() {
    if (ctrl_) ctrl_->Cancel();
}

void CtrlTransferJob::Join() {
    // Owned here, never deleting itself: wait, then free once.
    if (!ctrl_) return;
    ctrl_->waitUntilEnded();
    ctrl_.reset();
}
