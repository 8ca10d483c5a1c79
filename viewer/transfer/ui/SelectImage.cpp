#include "viewer/transfer/ui/SelectImage.h"

#include "viewer/shell/ui/UiText.h"
#include "viewer/transfer/ui/TransTexts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The five choices, in the order of their values 0-4.
constexpr uint32_t kChoiceTexts[] = {62305, 62306, 62307, 62308, 62309};

QString Q(uint32_t id) { return QString::fromStdString(TransText(id)); }

}  // namespace

CSelectImage::CSelectImage(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Q(62304), this));
    choices_ = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(Q(kChoiceTexts[i]), this);
        choices_->addButton(radio, i);
        layout->addWidget(radio);
    }
    keepBox_ = new QCheckBox(Q(62310), this);
    layout->addWidget(keepBox_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Q(62311), QDialogButtonBox::AcceptRole);
    buttons->addButton(Q(62312), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setWindowTitle(Q(62303));
}

void CSelectImage::showEvent(QShowEvent* event) {
    OnInitDialog();
    QDialog::showEvent(event);
}

void CSelectImage::OnInitDialog() {
    // Out-of-range values (a fresh -1, an edited registry) leave no choice marked.
    choices_->setExclusive(false);
    for (auto* b : choices_->buttons()) b->setChecked(false);
    choices_->setExclusive(true);
    if (auto* b = choices_->button(selection_)) b->setChecked(true);
    keepBox_->setChecked(keep_ != 0);
}

void CSelectImage::accept() {
    selection_ = choices_->checkedId();
    keep_ = keepBox_->isChecked() ? 1 : 0;
    QDialog::accept();
}
