#pragma once
// Progress of a picture load. It starts out of sight and appears only when the
// load still runs after ten seconds. The job posts "one picture done" and, at
// its end, "worker done" to handle(); Cancel asks the job to stop and waits for it.
#include "viewer/shell/ui/CommonDialogLogic.h"

#include "platform/msg/MessageReceiver.h"

#include <QDialog>
#include <QPoint>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

class COpenProgressDlg : public QDialog {
public:
    void reject() override;
    // cancelJob sets the job's cancel event and its viewer thread's stop flag.
    COpenProgressDlg(int pictureCount, std::function<void()> cancelJob, QWidget* parent = nullptr);
    ~COpenProgressDlg() override;

    plat::WindowHandle handle() const { return receiver_->handle(); }
    int DoModal() { return exec(); }

    const OpenProgressState& State() const { return state_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* RemainingLabel() const { return remaining_; }
    QPushButton* CancelButton() const { return cancel_; }
    // The delay ran out (the timer's work; tests call it directly).
    void OnShowTimer();

    static constexpr uint32_t kShowTimer = 1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);
    void ShowRemaining();

    std::unique_ptr<plat::MessageReceiver> receiver_;
    OpenProgressState state_;
    std::function<void()> cancelJob_;
    QProgressBar* progress_ = nullptr;
    QLabel* remaining_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPoint savedPosition_;
    bool placed_ = false;
};
