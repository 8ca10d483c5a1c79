#include "viewer/shell/ui/PropViewer.h"

#include "viewer/shell/ui/SheetLabels.h"
#include "viewer/shell/ui/UiText.h"

#include "platform/shell/FileChooser.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

CPropViewer::CPropViewer(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    viewerSoft_ = new QButtonGroup(this);
    auto* builtIn = new QRadioButton(UiQText(sheet_label::kBuiltInViewer), this);
    auto* other = new QRadioButton(UiQText(sheet_label::kOtherViewer), this);
    viewerSoft_->addButton(builtIn, 0);
    viewerSoft_->addButton(other, 1);
    grid->addWidget(builtIn, 0, 0, 1, 3);
    grid->addWidget(other, 1, 0, 1, 3);
    grid->addWidget(new QLabel(UiQText(sheet_label::kPictureProgram), this), 2, 0);
    static_ = new QLineEdit(this);
    static_->setMaxLength(kPathMax);
    grid->addWidget(static_, 2, 1);
    staticBrowse_ = new QPushButton(UiQText(sheet_label::kBrowse), this);
    grid->addWidget(staticBrowse_, 2, 2);
    grid->addWidget(new QLabel(UiQText(sheet_label::kMovieProgram), this), 3, 0);
    dinamic_ = new QLineEdit(this);
    dinamic_->setMaxLength(kPathMax);
    grid->addWidget(dinamic_, 3, 1);
    auto* movieBrowse = new QPushButton(UiQText(sheet_label::kBrowse), this);
    grid->addWidget(movieBrowse, 3, 2);
    createThumbnail_ = new QCheckBox(UiQText(sheet_label::kCreateThumbnail), this);
    grid->addWidget(createThumbnail_, 4, 0, 1, 3);
    grid->setRowStretch(5, 1);

    connect(viewerSoft_, &QButtonGroup::idClicked, this, [this](int) { UpdateControls(); });
    connect(staticBrowse_, &QPushButton::clicked, this, [this] { ChooseProgram(static_); });
    connect(movieBrowse, &QPushButton::clicked, this, [this] { ChooseProgram(dinamic_); });
}

void CPropViewer::Load(const SheetValues& values)
{
    viewerSoft_->button(values.viewer.ViewerSoft == 1 ? 1 : 0)->setChecked(true);
    dinamic_->setText(QString::fromStdString(values.viewer.DinamicSoft));
    static_->setText(QString::fromStdString(values.viewer.StaticSoft));
    createThumbnail_->setChecked(values.viewer.CreateThumbnail != 0);
    UpdateControls();
}

void CPropViewer::Store(SheetValues* values) const
{
    values->viewer.ViewerSoft = viewerSoft_->checkedId() == 1 ? 1 : 0;
    values->viewer.DinamicSoft = dinamic_->text().toStdString();
    values->viewer.StaticSoft = static_->text().toStdString();
    values->viewer.CreateThumbnail = createThumbnail_->isChecked() ? 1 : 0;
}

void CPropViewer::ChooseProgram(QLineEdit* target)
{
    std::optional<std::string> chosen =
        plat::chooseOpenFile(this, UiText(sheet_text::kViewerProgramTitle), target->text().toStdString(),
                             plat::fileFilterFromPairs("exe file (.exe)|*.exe||"));
    if (chosen && !chosen->empty() && chosen->size() <= static_cast<std::size_t>(kPathMax))
        target->setText(QString::fromStdString(*chosen));
}

void CPropViewer::UpdateControls()
{
    const bool other = StaticViewerEnabled(viewerSoft_->checkedId() == 1 ? 1 : 0);
    static_->setEnabled(other);
    staticBrowse_->setEnabled(other);
}
