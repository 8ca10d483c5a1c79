#pragma once
// The waiting message shown while a worker thread runs; the worker ends it by
// posting the "worker done" message to handle() (wParam 1: OK, else Cancel).
#include "viewer/shell/ui/CommonDialogLogic.h"

#include "platform/msg/MessageReceiver.h"

#include <QDialog>

#include <cstdint>
#include <memory>

class QLabel;
class QPushButton;

class CWaitMsgDlg : public QDialog {
public:
    void reject() override;
    CWaitMsgDlg(uint32_t titleId, const std::string& message, bool showCancel = false, QWidget* parent = nullptr);
    ~CWaitMsgDlg() override;

    plat::WindowHandle handle() const { return receiver_->handle(); }
    int DoModal() { return exec(); }
    const WaitAnimation& Animation() const { return animation_; }
    QLabel* MessageLabel() const { return message_; }
    QPushButton* CancelButton() const { return cancel_; }

    static constexpr int kBarWidth = 194;
    static constexpr int kBarHeight = 12;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);
    void OnTick();

    std::unique_ptr<plat::MessageReceiver> receiver_;
    WaitAnimation animation_;
    QLabel* message_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool cancelAllowed_ = false;
};
