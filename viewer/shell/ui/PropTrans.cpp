#include "viewer/shell/ui/PropTrans.h"

#include "viewer/shell/ui/SheetLabels.h"
#include "viewer/shell/ui/UiText.h"

#include "platform/shell/FileChooser.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <filesystem>

namespace {

QButtonGroup* RadioRow(QWidget* page, QVBoxLayout* layout, std::initializer_list<uint32_t> labels)
{
    auto* row = new QHBoxLayout;
    auto* group = new QButtonGroup(page);
    int id = 0;
    for (uint32_t label : labels) {
        auto* radio = new QRadioButton(UiQText(label), page);
        group->addButton(radio, id++);
        row->addWidget(radio);
    }
    row->addStretch();
    layout->addLayout(row);
    return group;
}

void CheckId(QButtonGroup* group, uint32_t id)
{
    if (QAbstractButton* b = group->button(static_cast<int>(id)))
        b->setChecked(true);
    else
        group->button(0)->setChecked(true);
}

uint32_t CheckedId(const QButtonGroup* group)
{
    return group->checkedId() < 0 ? 0 : static_cast<uint32_t>(group->checkedId());
}

void EnableGroup(QButtonGroup* group, bool enabled)
{
    for (QAbstractButton* b : group->buttons())
        b->setEnabled(enabled);
}

}  // namespace

CPropTrans::CPropTrans(const std::tm& sheetTime, QWidget* parent) : QWidget(parent), sheetTime_(sheetTime)
{
    auto* layout = new QVBoxLayout(this);
    saveImage_ = new QCheckBox(UiQText(sheet_label::kSaveImage), this);
    layout->addWidget(saveImage_);

    auto* destRow = new QHBoxLayout;
    destRow->addWidget(new QLabel(UiQText(sheet_label::kDestination), this));
    destination_ = new QLineEdit(this);
    destination_->setMaxLength(kPathMax);
    destRow->addWidget(destination_, 1);
    auto* browse = new QPushButton(UiQText(sheet_label::kBrowse), this);
    destRow->addWidget(browse);
    layout->addLayout(destRow);

    createFile_ = RadioRow(this, layout, {sheet_label::kKeepNames, sheet_label::kNewNames});
    prefixSuffix_ = RadioRow(this, layout, {sheet_label::kTextBefore, sheet_label::kTextAfter, sheet_label::kNoText});
    prefix_ = new QLineEdit(this);
    prefix_->setMaxLength(kPrefixTextMax);
    layout->addWidget(prefix_);
    contents_ = RadioRow(this, layout, {sheet_label::kNoNamePart, sheet_label::kFolderName, sheet_label::kSourceName,
                                        sheet_label::kShotDate});
    auto* serialRow = new QHBoxLayout;
    serialLabel_ = new QLabel(UiQText(sheet_label::kSerial), this);
    serial_ = new QLineEdit(this);
    serial_->setMaxLength(kSerialNumberMax);
    serialRow->addWidget(serialLabel_);
    serialRow->addWidget(serial_, 1);
    layout->addLayout(serialRow);
    auto* exampleRow = new QHBoxLayout;
    exampleLabel_ = new QLabel(UiQText(sheet_label::kExample), this);
    example_ = new QLabel(this);
    exampleRow->addWidget(exampleLabel_);
    exampleRow->addWidget(example_, 1);
    layout->addLayout(exampleRow);
    thumbnail_ = new QCheckBox(UiQText(sheet_label::kThumbnail), this);
    layout->addWidget(thumbnail_);
    layout->addStretch();

    connect(browse, &QPushButton::clicked, this, [this] { ChooseDestination(); });
    connect(saveImage_, &QCheckBox::clicked, this, [this](bool checked) { OnSaveImageClicked(checked); });
    connect(prefix_, &QLineEdit::textEdited, this, [this](const QString& t) { OnPrefixEdited(t); });
    connect(serial_, &QLineEdit::textEdited, this, [this](const QString& t) { OnSerialEdited(t); });
    for (QButtonGroup* g : {prefixSuffix_, contents_, createFile_})
        connect(g, &QButtonGroup::idClicked, this, [this](int) {
            UpdateControls();
            UpdateExample();
        });
}

void CPropTrans::Load(const SheetValues& values)
{
    const TransferSettings& t = values.transfer;
    imagesFolder_ = values.imagesFolder;
    prvTransferFile_ = t.PrvTransferFile;
    saveImage_->setChecked(t.SaveImage != 0);
    thumbnail_->setChecked(t.Thumbnail != 0);
    CheckId(prefixSuffix_, t.PrefixSuffix);
    CheckId(contents_, t.Contents);
    CheckId(createFile_, t.CreateFile);
    prefixText_ = t.PrefixTEXT;
    serialText_ = t.SerialNumber.empty() ? "0" : t.SerialNumber;
    prefix_->setText(QString::fromStdString(prefixText_));
    serial_->setText(QString::fromStdString(serialText_));
    destination_->setText(QString::fromStdString(t.TransferFile));
    UpdateControls();
    UpdateExample();
}

void CPropTrans::Store(SheetValues* values) const
{
    TransferSettings& t = values->transfer;
    t.SaveImage = saveImage_->isChecked() ? 1 : 0;
    t.Thumbnail = thumbnail_->isChecked() ? 1 : 0;
    t.PrefixSuffix = CheckedId(prefixSuffix_);
    t.Contents = CheckedId(contents_);
    t.CreateFile = CheckedId(createFile_);
    t.PrefixTEXT = prefixText_;
    t.SerialNumber = serialText_;
    t.TransferFile = destination_->text().toStdString();
    t.PrvTransferFile = prvTransferFile_;
}

void CPropTrans::SetDestination(const std::string& folder)
{
    destination_->setText(QString::fromStdString(folder));
}

void CPropTrans::ChooseDestination()
{
    std::optional<std::string> chosen = plat::chooseFolder(this, UiText(sheet_text::kDestinationTitle),
                                                           destination_->text().toStdString());
    if (!chosen)
        return;
    std::error_code ec;
    if (chosen->empty() || chosen->size() > static_cast<std::size_t>(kPathMax) ||
        !std::filesystem::is_directory(*chosen, ec)) {
        SetDestination(imagesFolder_);
        ShowSheetMessage(this, sheet_text::kFolderFallback, plat::MessageIcon::Exclamation, "Images");
        return;
    }
    SetDestination(*chosen);
}

void CPropTrans::OnPrefixEdited(const QString& text)
{
    FieldFilter f = FilterPrefixText(prefixText_, text.toStdString());
    if (f.refused) {
        const int caret = prefix_->cursorPosition();
        prefix_->setText(QString::fromStdString(f.text));
        prefix_->setCursorPosition(std::max(caret - f.caretBack, 0));
        return;
    }
    prefixText_ = f.text;
    UpdateExample();
}

void CPropTrans::OnSerialEdited(const QString& text)
{
    const int caret = serial_->cursorPosition();
    FieldFilter f = FilterSerialNumber(serialText_, text.toStdString());
    serialText_ = f.text;
    if (QString::fromStdString(f.text) != text) {
        serial_->setText(QString::fromStdString(f.text));
        serial_->setCursorPosition(f.refused ? std::max(caret - f.caretBack, 0) : serial_->text().size());
    }
    UpdateExample();
}

void CPropTrans::OnSaveImageClicked(bool checked)
{
    UpdateControls();
    UpdateExample();
    if (!checked)
        ShowSheetMessage(this, sheet_text::kNotSaved, plat::MessageIcon::Information);
}

void CPropTrans::UpdateControls()
{
    const uint32_t save = saveImage_->isChecked() ? 1 : 0;
    for (QButtonGroup* g : {prefixSuffix_, contents_, createFile_})
        EnableGroup(g, save != 0);
    serialLabel_->setEnabled(save != 0);
    exampleLabel_->setEnabled(save != 0);
    example_->setEnabled(save != 0);
    prefix_->setReadOnly(PrefixReadOnly(CheckedId(prefixSuffix_), save));
    serial_->setReadOnly(SerialReadOnly(save));
}

void CPropTrans::UpdateExample()
{
    example_->setText(QString::fromStdString(
        NameExample(prefixText_, CheckedId(prefixSuffix_), CheckedId(contents_), serialText_, sheetTime_)));
}
