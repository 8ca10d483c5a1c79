#include "viewer/shell/ui/OpenProgressDlg.h"

#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/UiText.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr uint32_t kTextTitle = 62222;
constexpr uint32_t kTextRemaining = 62240;
constexpr uint32_t kTextCancel = 62228;
}  // namespace

COpenProgressDlg::COpenProgressDlg(int pictureCount, std::function<void()> cancelJob, QWidget* parent)
    : QDialog(parent), state_(pictureCount), cancelJob_(std::move(cancelJob))
{
    setModal(true);
    setFixedSize(300, 110);
    setWindowTitle(UiQText(kTextTitle));
    progress_ = new QProgressBar(this);
    progress_->setGeometry(15, 15, 270, 18);
    progress_->setRange(0, state_.RangeMax());
    progress_->setValue(0);
    progress_->setTextVisible(false);
    remaining_ = new QLabel(this);
    remaining_->setGeometry(15, 42, 270, 16);
    cancel_ = new QPushButton(UiQText(kTextCancel), this);
    cancel_->setGeometry(113, 72, 75, 23);
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    ShowRemaining();
    ApplyFont(this, DialogFont());

    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return OnMessage(m, w, l); });
}

COpenProgressDlg::~COpenProgressDlg() = default;

void COpenProgressDlg::ShowRemaining()
{
    remaining_->setText(QString::fromStdString(
        FormatUiText(UiText(kTextRemaining), std::to_string(state_.Remaining()))));
}

void COpenProgressDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    // Centred placement kept for later; until the delay runs out the window
    // stays out of sight.
    QWidget* anchor = parentWidget();
    QRect area = anchor ? anchor->frameGeometry() : (screen() ? screen()->availableGeometry() : QRect(0, 0, 800, 600));
    savedPosition_ = area.center() - QPoint(width() / 2, height() / 2);
    if (!state_.Visible()) {
        setWindowOpacity(0.0);
        move(-500, -500);
        receiver_->startTimerById(kShowTimer, OpenProgressState::kShowDelayMs,
                                  [this](plat::WindowHandle, uint32_t) { OnShowTimer(); });
    }
}

void COpenProgressDlg::OnShowTimer()
{
    receiver_->stopTimerById(kShowTimer);
    if (!state_.DelayElapsed())
        return;
    move(savedPosition_);
    setWindowOpacity(1.0);
}

plat::LResult COpenProgressDlg::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam)
{
    if (message == UM_PROGRESS) {
        state_.OnePictureDone();
        progress_->setValue(state_.Position());
        ShowRemaining();
    } else if (message == UM_WORKER_DONE) {
        receiver_->stopTimerById(kShowTimer);
        done(WorkerDoneEndCode(wParam));
    }
    return 0;
}

void COpenProgressDlg::reject()
{
    // The job is asked to stop; its "worker done" ends the dialog.
    cancel_->setEnabled(false);
    if (cancelJob_)
        cancelJob_();
}
