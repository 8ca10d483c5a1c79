#include "viewer/transfer/ui/TransProgressDlg.h"

#include "platform/msg/MessageBox.h"
#include "platform/msg/Messaging.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/UiText.h"
#include "viewer/transfer/ui/TransTexts.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace {

const QColor kBarBack(183, 197, 226);
const QColor kDialogBack(223, 231, 246);
const QColor kBarFill(52, 92, 176);
const QColor kBarCap(36, 58, 122);
const QColor kStripLight(214, 222, 240);

constexpr uint32_t kTextFilesLeft = 62217;
constexpr uint32_t kTextTitle = 62215;
constexpr uint32_t kTextCaption = 62216;
constexpr uint32_t kTextCancel = 62218;
constexpr uint32_t kTextFailed = 61602;

// The bar: caps at both ends, the filled part between them, or while the worker
// is busy a striped strip that moves one pixel a tick.
class BarArea : public QWidget {
public:
    BarArea(const TransProgressLogic& logic, QWidget* parent) : QWidget(parent), logic_(logic) {}
    int32_t strip = kBusyCounterStart;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), kBarBack);
        if (logic_.Busy()) {
            p.fillRect(0, 0, 3, height(), kBarCap);
            for (int x = 0; x < kBarMaxWidth; ++x)
                if (((x + strip) / 8) % 2 == 0) p.fillRect(3 + x, 1, 1, height() - 2, kStripLight);
                else p.fillRect(3 + x, 1, 1, height() - 2, kBarFill);
            p.fillRect(190, 0, 4, height(), kBarCap);
            return;
        }
        if (!logic_.BarVisible()) return;
        const int width = logic_.BarWidth();
        p.fillRect(0, 0, 3, height(), kBarCap);
        p.fillRect(3, 0, width, height(), kBarFill);
        p.fillRect(width + 3, 0, 4, height(), kBarCap);
    }

private:
    const TransProgressLogic& logic_;
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CTransProgressDlg::CTransProgressDlg(std::unique_ptr<TransferJob> job, int32_t mode, QWidget* parent)
    : QDialog(parent), job_(std::move(job)), mode_(mode) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(Q(TransText(kTextTitle)));
    setFont(DialogFont());
    bar_ = new BarArea(logic_, this);
    cancel_ = new QPushButton(Q(TransText(kTextCancel)), this);
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    caption_ = new QLabel(this);
    filesLeft_ = new QLabel(this);
    busyTimer_ = new QTimer(this);
    busyTimer_->setInterval(100);
    connect(busyTimer_, &QTimer::timeout, this, [this] {
        static_cast<BarArea*>(bar_)->strip = logic_.BusyTick();
        bar_->update();
    });
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return OnMessage(m, w, l); }, this);
}

CTransProgressDlg::~CTransProgressDlg() {
    // A window closed from outside still lets its run end before it goes. The
    // window's handle goes first, so the thread's reports to it return at once
    // instead of waiting for this (blocked) thread.
    receiver_.reset();
    if (job_) {
        job_->Cancel();
        job_->Join();
    }
}

QString CTransProgressDlg::filesLeftText() const { return filesLeft_->text(); }
QString CTransProgressDlg::captionText() const { return caption_->text(); }
bool CTransProgressDlg::cancelEnabled() const { return cancel_->isEnabled(); }

void CTransProgressDlg::PlaceCommon(QRect cancel, QRect caption, QRect filesLeft, QRect bar) {
    cancel_->setGeometry(cancel);
    caption_->setGeometry(caption);
    filesLeft_->setGeometry(filesLeft);
    bar_->setGeometry(bar);
}

void CTransProgressDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (initialised_) return;
    initialised_ = true;
    if (parentWidget()) {
        const QRect outer = parentWidget()->window()->frameGeometry();
        move(outer.center() - rect().center());
    }
    StartTransferThread();
}

void CTransProgressDlg::StartTransferThread() {
    if (job_ && job_->Start(handle(), mode_)) return;
    // Without a thread nothing was copied: say so and end as failed, not as done.
    job_.reset();
    plat::MessageBoxRequest box;
    box.owner = handle();
    box.text = TransText(kTextFailed);
    box.icon = plat::MessageIcon::Stop;
    box.topmost = true;
    plat::showMessageBox(box);
    plat::postMessage(handle(), UM_TRANSFER_END, TransResult_Failed, 0);
}

plat::LResult CTransProgressDlg::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam) {
    if (ended_) return 0;
    if (!receiver_) return 0;
    switch (message) {
    case UM_TRANSFER_BUSY:
        if (wParam == 0) BusyBegin();
        else BusyEnd();
        break;
    case UM_TRANSFER_FILE:
        if (lParam != 0) CurrentFile(*reinterpret_cast<TransferFileReport*>(lParam));
        break;
    case UM_TRANSFER_TOTAL:
        FileCount(static_cast<int32_t>(wParam));
        break;
    case UM_TRANSFER_PROGRESS:
        Progress(static_cast<int32_t>(wParam));
        break;
    case UM_TRANSFER_END:
        End(static_cast<int32_t>(wParam));
        break;
    default:
        break;
    }
    return 0;
}

void CTransProgressDlg::BusyBegin() {
    logic_.BusyBegin();
    cancel_->setEnabled(false);
    static_cast<BarArea*>(bar_)->strip = logic_.BusyTick();
    bar_->update();
    busyTimer_->start();
}

void CTransProgressDlg::BusyEnd() {
    busyTimer_->stop();
    logic_.BusyEnd();
    cancel_->setEnabled(true);
    bar_->update();
}

void CTransProgressDlg::FileCount(int32_t total) {
    logic_.SetTotal(total);
    caption_->setText(Q(TransText(kTextCaption)));
    cancel_->setText(Q(TransText(kTextCancel)));
    bar_->update();
}

void CTransProgressDlg::CurrentFile(TransferFileReport& report) {
    logic_.SetCurrentFile(report.remaining);
    // The thumbnail is ours now, in either dialog; the previous one goes.
    thumbnail_ = std::move(report.thumbnail);
    report.thumbnail.clear();
    thumbAcross_ = report.across;
    thumbDown_ = report.down;
    filesLeft_->setText(Q(FormatLangText(TransText(kTextFilesLeft), {std::to_string(logic_.Left())})));
    DrawBar();
}

void CTransProgressDlg::Progress(int32_t percent) {
    logic_.SetPercent(percent);
    DrawBar();
}

void CTransProgressDlg::DrawBar() {
    if (logic_.BarVisible()) bar_->update();
}

void CTransProgressDlg::End(int32_t result) {
    ended_ = true;
    busyTimer_->stop();
    logic_.Finish();
    bar_->update();
    filesLeft_->clear();
    caption_->clear();
    thumbnail_.clear();
    if (job_) {
        job_->Join();
        job_.reset();
    }
    done(result);
}

void CTransProgressDlg::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    PaintBackground(painter);
    QDialog::paintEvent(event);
}

void CTransProgressDlg::reject() {
    // While busy the cancel button is off and so is closing; otherwise the run
    // is asked to stop and the dialog waits for its end.
    if (logic_.Busy() || ended_) return;
    if (job_) job_->Cancel();
}
