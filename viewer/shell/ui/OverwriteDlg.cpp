#include "viewer/shell/ui/OverwriteDlg.h"

#include "viewer/shell/ui/UiText.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr uint32_t kTextTitle = 62230;
constexpr uint32_t kTextOk = 62231;
constexpr uint32_t kTextAll = 62232;
constexpr uint32_t kTextCancel = 62228;
constexpr uint32_t kTextMessage = 61653;
}  // namespace

COverwriteDlg::COverwriteDlg(int mode, QWidget* parent) : QDialog(parent), mode_(mode)
{
    setModal(true);
    setFixedSize(380, 120);
    message_ = new QLabel(this);
    message_->setGeometry(15, 12, 350, 50);
    message_->setWordWrap(true);
    ok_ = new QPushButton(this);
    all_ = new QPushButton(this);
    cancel_ = new QPushButton(this);
    ok_->setGeometry(15, 80, 100, 25);
    all_->setGeometry(135, 80, 110, 25);
    cancel_->setGeometry(265, 80, 100, 25);
    if (mode_ == 0) {
        setWindowTitle(UiQText(kTextTitle));
        ok_->setText(UiQText(kTextOk));
        all_->setText(UiQText(kTextAll));
        cancel_->setText(UiQText(kTextCancel));
        message_->setText(UiQText(kTextMessage));
    }
    connect(ok_, &QPushButton::clicked, this, [this] { done(kEndOk); });
    connect(all_, &QPushButton::clicked, this, [this] {
        forAll_ = true;
        done(kEndOk);
    });
    connect(cancel_, &QPushButton::clicked, this, [this] { done(kEndCancel); });
    ApplyFont(this, DialogFont());
}

QPushButton* COverwriteDlg::Button(int id) const
{
    switch (id) {
    case kEndOk: return ok_;
    case kForAllButton: return all_;
    case kEndCancel: return cancel_;
    default: return nullptr;
    }
}
