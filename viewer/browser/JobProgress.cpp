#include "viewer/browser/JobProgress.h"

#include "viewer/browser/LangFormat.h"
#include "viewer/shell/common/ViewerMessages.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ProgressDialogLogic::ProgressDialogLogic(ProgressKind kind, int32_t selectedCount, int32_t printMode)
    : kind_(kind), printMode_(printMode), selected_(selectedCount) {
    if (kind_ != ProgressKind::Print) {
        rangeMax_ = selectedCount * 10;
        remaining_ = selectedCount;
    }
}

uint32_t ProgressDialogLogic::TitleId() const {
    switch (kind_) {
    case ProgressKind::Save: return 62223;
    case ProgressKind::Remove: return 62234;
    case ProgressKind::Print: return printMode_ == 1 ? 62229 : 62238;
    case ProgressKind::Wait: return 62234;
    }
    return 0;
}

uint32_t ProgressDialogLogic::HideDelayMs() const {
    return kind_ == ProgressKind::Save ? 1000 : kind_ == ProgressKind::Remove ? 10000 : 0;
}

void ProgressDialogLogic::OnProgress(uintptr_t wParam, intptr_t lParam) {
    const int32_t value = int32_t(wParam);
    if (kind_ == ProgressKind::Print) {
        if (lParam == 0) {
            rangeMax_ = value;
            total_ = value;
            remaining_ = value;
        } else {
            position_ = value;
            remaining_ = total_ - value;
        }
        return;
    }
    position_ = value;
    remaining_ = selected_ - value / 10;
}

int ProgressDialogLogic::EndCode(uintptr_t wParam) const {
    if (kind_ == ProgressKind::Save) return wParam == 1 ? kEndOk : kEndCancel;
    if (kind_ == ProgressKind::Wait) return int(wParam);
    return kEndOk;
}

JobProgressDialog::JobProgressDialog(ProgressKind kind, int32_t selectedCount, int32_t printMode,
                                     std::function<void()> onCancel, plat::Event ready, QWidget* parent)
    : QDialog(parent), logic_(kind, selectedCount, printMode), onCancel_(std::move(onCancel)), ready_(std::move(ready)) {
    setWindowTitle(QString::fromStdString(LangText(logic_.TitleId())));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromStdString(LangText(logic_.LabelId())), this));
    bar_ = new QProgressBar(this);
    bar_->setRange(0, std::max(0, logic_.RangeMax()));
    bar_->setValue(0);
    layout->addWidget(bar_);
    text_ = new QLabel(this);
    layout->addWidget(text_);
    auto* cancel = new QPushButton(QString::fromStdString(LangText(logic_.CancelTextId())), this);
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    layout->addWidget(cancel);
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return OnMessage(m, w, l); }, this);
    ShowProgressText();
}

JobProgressDialog::~JobProgressDialog() = default;

void JobProgressDialog::ShowProgressText() {
    if (logic_.TitleId() == 62234 && logic_.RangeMax() == 0) {   // the wait message: no count
        bar_->hide();
        text_->setText(QString::fromStdString(LangText(62234)));
        return;
    }
    text_->setText(QString::fromStdString(FormatLang(LangText(62240), {int64_t(logic_.Remaining())})));
}

void JobProgressDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (initialised_) return;
    initialised_ = true;
    if (const uint32_t delay = logic_.HideDelayMs(); delay > 0) {
        // Seen only when the job lasts longer than the delay.
        placement_ = pos();
        move(-500 - width(), -500 - height());
        hidden_ = true;
        reveal_ = new QTimer(this);
        reveal_->setSingleShot(true);
        connect(reveal_, &QTimer::timeout, this, [this] {
            if (hidden_) move(placement_);
            hidden_ = false;
        });
        reveal_->start(int(delay));
    }
    if (ready_.valid()) ready_.set();
}

void JobProgressDialog::reject() {
    if (onCancel_) onCancel_();
}

plat::LResult JobProgressDialog::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam) {
    if (message == UM_PROGRESS) {
        logic_.OnProgress(wParam, lParam);
        bar_->setRange(0, std::max(0, logic_.RangeMax()));
        bar_->setValue(logic_.Position());
        ShowProgressText();
    } else if (message == UM_WORKER_DONE) {
        if (reveal_) reveal_->stop();
        done(logic_.EndCode(wParam));
    }
    return 0;
}
