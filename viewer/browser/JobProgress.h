#pragma once
// The progress dialogs of the picture jobs: what they show for each message of
// the job (plain logic), and the small Qt dialog that carries it. The dialog
// ends only on UM_WORKER_DONE: Cancel and closing the window only ask the job
// to stop, so the job never outlives what it reports to.
#include "platform/msg/MessageReceiver.h"
#include "platform/thread/Event.h"
#include "viewer/shell/ui/CommonDialogLogic.h"   // kEndOk, kEndCancel

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QProgressBar;
class QTimer;

enum class ProgressKind {
    Save,     // dialog 173: counts down files, shown after 1 s; ends OK or Cancel
    Remove,   // dialog 174: counts down files, shown after 10 s; ends OK
    Print,    // dialog 178: range and position by lParam; ends 1
    Wait,     // the wait message of the folder removal; ends with the job's outcome
};

class ProgressDialogLogic {
public:
    ProgressDialogLogic(ProgressKind kind, int32_t selectedCount, int32_t printMode = 0);
    uint32_t TitleId() const;
    uint32_t LabelId() const { return 62239; }
    uint32_t CancelTextId() const { return 62241; }
    uint32_t HideDelayMs() const;   // 0: shown at once
    int32_t RangeMax() const { return rangeMax_; }
    int32_t Position() const { return position_; }
    // The number formatted into text 62240.
    int32_t Remaining() const { return remaining_; }
    void OnProgress(uintptr_t wParam, intptr_t lParam);
    int EndCode(uintptr_t wParam) const;

private:
    ProgressKind kind_;
    int32_t printMode_;
    int32_t selected_;
    int32_t rangeMax_ = 0;
    int32_t position_ = 0;
    int32_t remaining_ = 0;
    int32_t total_ = 0;
};

class JobProgressDialog : public QDialog {
public:
    // onCancel: what Cancel asks of the job. ready: signalled when the dialog is
    // up (print and index sheets wait for it).
    JobProgressDialog(ProgressKind kind, int32_t selectedCount, int32_t printMode, std::function<void()> onCancel,
                      plat::Event ready = {}, QWidget* parent = nullptr);
    ~JobProgressDialog() override;
    plat::WindowHandle handle() const { return receiver_->handle(); }
    const ProgressDialogLogic& logic() const { return logic_; }
    void ShowProgressText();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;   // Esc and the close box: cancel only

private:
    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);
    ProgressDialogLogic logic_;
    std::function<void()> onCancel_;
    plat::Event ready_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QTimer* reveal_ = nullptr;
    QPoint placement_;
    bool hidden_ = false;
    bool initialised_ = false;
};
