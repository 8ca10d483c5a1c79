#include "viewer/shell/ui/PropFileInfo.h"

#include "viewer/shell/ui/SheetLabels.h"
#include "viewer/shell/ui/UiText.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>

CPropFileInfo::CPropFileInfo(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    captionCopy_ = new QCheckBox(UiQText(sheet_label::kCaptionCopy), this);
    grid->addWidget(captionCopy_, 0, 0, 1, 2);
    const QString keyword = UiQText(sheet_label::kKeyword);
    for (int i = 0; i < 10; ++i) {
        auto* check = new QCheckBox(keyword.isEmpty() ? QString() : keyword + " " + QString::number(i + 1), this);
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(kKeywordMax);
        edit->installEventFilter(this);
        grid->addWidget(check, i + 1, 0);
        grid->addWidget(edit, i + 1, 1);
        checks_[static_cast<std::size_t>(i)] = check;
        keywords_[static_cast<std::size_t>(i)] = edit;
        connect(check, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    }
    grid->setRowStretch(11, 1);
}

void CPropFileInfo::Load(const SheetValues& values)
{
    captionCopy_->setChecked(values.fileInfo.CaptionCopy != 0);
    for (std::size_t i = 0; i < 10; ++i) {
        checks_[i]->setChecked(values.fileInfo.Check[i] != 0);
        keywords_[i]->setText(QString::fromStdString(values.fileInfo.Keyword[i]));
    }
    UpdateControls();
}

void CPropFileInfo::Store(SheetValues* values) const
{
    values->fileInfo.CaptionCopy = captionCopy_->isChecked() ? 1 : 0;
    for (std::size_t i = 0; i < 10; ++i) {
        values->fileInfo.Check[i] = checks_[i]->isChecked() ? 1 : 0;
        values->fileInfo.Keyword[i] = keywords_[i]->text().toStdString();
    }
}

void CPropFileInfo::UpdateControls()
{
    for (std::size_t i = 0; i < 10; ++i)
        keywords_[i]->setEnabled(checks_[i]->isChecked());
}

bool CPropFileInfo::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_A && (key->modifiers() & Qt::ControlModifier)) {
            if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
                edit->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
