#pragma once
// The progress dialog of a transfer: a topmost modal window that starts the
// transfer thread, shows the pictures left, a bar and a busy animation, and lets
// the user cancel. It ends only when the thread reports its end, with the run's
// TransResult, so the thread never outlives the window it reports to.
#include "platform/msg/MessageReceiver.h"
#include "viewer/transfer/TransferCtrl.h"
#include "viewer/transfer/ui/TransProgressLogic.h"
#include "viewer/transfer/ui/TransferJob.h"

#include <QDialog>

#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

class CTransProgressDlg : public QDialog {
public:
    CTransProgressDlg(std::unique_ptr<TransferJob> job, int32_t mode, QWidget* parent = nullptr);
    ~CTransProgressDlg() override;

    plat::WindowHandle handle() const { return receiver_->handle(); }
    const TransProgressLogic& logic() const { return logic_; }
    bool jobRunning() const { return job_ != nullptr; }
    QString filesLeftText() const;
    QString captionText() const;
    bool cancelEnabled() const;
    // The thumbnail handed over with the current picture (moved out of the report).
    const std::vector<BitmapRecord>& thumbnail() const { return thumbnail_; }

    // Cancel, Esc and the close box: only ask the run to stop.
    void reject() override;

    // The handlers of the thread's messages (public so tests can drive them).
    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);

protected:
    // Window set-up of the concrete dialog: size and the places of its parts.
    virtual void SetTextsAndLayout() = 0;
    virtual void CurrentFile(TransferFileReport& report);
    virtual void Progress(int32_t percent);
    virtual void PaintBackground(QPainter& painter) = 0;

    void BusyBegin();
    void BusyEnd();
    void FileCount(int32_t total);
    void End(int32_t result);
    void DrawBar();

    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    void PlaceCommon(QRect cancel, QRect caption, QRect filesLeft, QRect bar);
    void StartTransferThread();

    TransProgressLogic logic_;
    std::unique_ptr<TransferJob> job_;
    int32_t mode_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    QWidget* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* caption_ = nullptr;
    QLabel* filesLeft_ = nullptr;
    QTimer* busyTimer_ = nullptr;
    std::vector<BitmapRecord> thumbnail_;
    uint32_t thumbAcross_ = 0;
    uint32_t thumbDown_ = 0;
    bool initialised_ = false;
    bool ended_ = false;
};
