#pragma once
// The transfer thread as a progress dialog drives it: started for the dialog's
// window, cancelled from its Cancel button, joined when the run has reported its
// end. Tests put a scripted job in its place.
#include "platform/msg/WindowHandle.h"
#include "viewer/transfer/TransFileList.h"

#include <cstdint>
#include <memory>
#include <optional>

class CTransferCtrl;
class TransferHost;

class TransferJob {
public:
    virtual ~TransferJob() = default;
    // Makes and starts the thread reporting to owner. False when it cannot be made.
    virtual bool Start(plat::WindowHandle owner, int32_t mode) = 0;
    virtual void Cancel() = 0;
    // Waits for the thread to end (after UM_TRANSFER_END) and lets it go.
    virtual void Join() = 0;
};

// The real one: a CTransferCtrl over the host. In mode 1 the browser's selection.
class CtrlTransferJob : public TransferJob {
public:
    explicit CtrlTransferJob(TransferHost* host, std::optional<TransSelection> selection = std::nullopt);
    ~CtrlTransferJob() override;
    bool Start(plat::WindowHandle owner, int32_t mode) override;
    void Cancel() override;
    void Join() override;

private:
    TransferHost* host_;
    std::optional<TransSelection> selection_;
    std::unique_ptr<CTransferCtrl> ctrl_;
};
