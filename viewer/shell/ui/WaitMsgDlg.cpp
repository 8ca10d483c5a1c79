#include "viewer/shell/ui/WaitMsgDlg.h"

#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/UiBitmap.h"
#include "viewer/shell/ui/UiText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {
constexpr uint32_t kTextCancel = 62241;
constexpr uint32_t kAnimationTimer = 1;
constexpr uint32_t kAnimationPeriodMs = 100;
constexpr uint32_t kBitmapStrip = 264;
constexpr uint32_t kBitmapLeft = 266;
constexpr uint32_t kBitmapRight = 267;
constexpr int kStripWidth = 187;
}  // namespace

CWaitMsgDlg::CWaitMsgDlg(uint32_t titleId, const std::string& message, bool showCancel, QWidget* parent)
    : QDialog(parent), cancelAllowed_(showCancel)
{
    setModal(true);
    setFixedSize(290, 90);
    setWindowTitle(UiQText(titleId));
    WaitMsgLayout layout = WaitMessageLayout(showCancel);
    message_ = new QLabel(QString::fromStdString(message), this);
    message_->setGeometry(layout.x, layout.y, layout.width, layout.height);
    cancel_ = new QPushButton(UiQText(kTextCancel), this);
    cancel_->setGeometry(205, 55, 75, 23);
    cancel_->setVisible(showCancel);
    connect(cancel_, &QPushButton::clicked, this, [this] { done(kEndCancel); });
    ApplyFont(this, DialogFont());

    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return OnMessage(m, w, l); });
    receiver_->startTimerById(kAnimationTimer, kAnimationPeriodMs, [this](plat::WindowHandle, uint32_t) { OnTick(); });
}

CWaitMsgDlg::~CWaitMsgDlg() = default;

plat::LResult CWaitMsgDlg::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam)
{
    if (message == UM_WORKER_DONE)
        done(WorkerDoneEndCode(wParam));
    return 0;
}

void CWaitMsgDlg::OnTick()
{
    update(45, 8, kBarWidth, kBarHeight);
    animation_.Tick();
}

void CWaitMsgDlg::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    const int x = 45, y = 8;
    painter.drawPixmap(x, y, UiBitmap(kBitmapLeft, 3, kBarHeight));
    QPixmap strip = UiBitmap(kBitmapStrip, kStripWidth + WaitAnimation::kFirstPhase + 1, kBarHeight);
    painter.drawPixmap(x + 3, y, strip, animation_.Phase(), 0, kStripWidth, kBarHeight);
    painter.drawPixmap(x + 190, y, UiBitmap(kBitmapRight, 4, kBarHeight));
}

void CWaitMsgDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter, Escape and Alt combinations end nothing here: only the worker does.
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
        (event->modifiers() & Qt::AltModifier)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CWaitMsgDlg::reject()
{
    // The close box and Escape are ignored; Cancel is the visible button only.
}
