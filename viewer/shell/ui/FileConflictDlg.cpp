#include "viewer/shell/ui/FileConflictDlg.h"

#include "viewer/shell/ui/UiText.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr uint32_t kTextTitle = 62224;
constexpr uint32_t kTextAll = 62225;
constexpr uint32_t kTextYes = 62226;
constexpr uint32_t kTextNo = 62227;
constexpr uint32_t kTextCancel = 62228;
}  // namespace

CFileConflictDlg::CFileConflictDlg(int* first, int* second, QWidget* parent)
    : QDialog(parent), first_(first), second_(second)
{
    setModal(true);
    setFixedSize(380, 130);
    setWindowTitle(UiQText(kTextTitle));
    message_ = new QLabel(this);
    message_->setGeometry(15, 12, 350, 50);
    message_->setWordWrap(true);
    yes_ = new QPushButton(UiQText(kTextYes), this);
    no_ = new QPushButton(UiQText(kTextNo), this);
    all_ = new QPushButton(UiQText(kTextAll), this);
    cancel_ = new QPushButton(UiQText(kTextCancel), this);
    int x = 15;
    for (QPushButton* b : {yes_, no_, all_, cancel_}) {
        b->setGeometry(x, 90, 82, 25);
        x += 88;
    }
    connect(yes_, &QPushButton::clicked, this, [this] { Answer(kConflictYesButton); });
    connect(no_, &QPushButton::clicked, this, [this] { Answer(kConflictNoButton); });
    connect(all_, &QPushButton::clicked, this, [this] { Answer(kConflictAllButton); });
    connect(cancel_, &QPushButton::clicked, this, [this] { done(kEndCancel); });
    ApplyFont(this, DialogFont());
}

void CFileConflictDlg::SetFile(const std::string& fileName, uint32_t attributes)
{
    message_->setText(QString::fromStdString(FormatUiText(UiText(ConflictMessageId(attributes)), fileName)));
}

QPushButton* CFileConflictDlg::Button(int id) const
{
    switch (id) {
    case kConflictYesButton: return yes_;
    case kConflictNoButton: return no_;
    case kConflictAllButton: return all_;
    case kEndCancel: return cancel_;
    default: return nullptr;
    }
}

void CFileConflictDlg::Answer(int buttonId)
{
    std::optional<ConflictAnswer> answer = ConflictAnswerFor(buttonId);
    if (!answer) {
        done(kEndCancel);
        return;
    }
    if (first_)
        *first_ = answer->first;
    if (second_)
        *second_ = answer->second;
    done(kEndOk);
}

void CFileConflictDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (firstShow_) {
        firstShow_ = false;
        placement_ = geometry();
    } else {
        setGeometry(placement_);
    }
}

void CFileConflictDlg::done(int result)
{
    placement_ = geometry();
    QDialog::done(result);
}
