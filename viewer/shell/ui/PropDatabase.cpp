#include "viewer/shell/ui/PropDatabase.h"

#include "viewer/shell/ui/SheetLabels.h"
#include "viewer/shell/ui/UiText.h"

#include "platform/shell/FileChooser.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <mutex>

namespace {
QLineEdit* PathRow(QWidget* page, QGridLayout* grid, int row, uint32_t label, QPushButton** browse)
{
    grid->addWidget(new QLabel(UiQText(label), page), row, 0);
    auto* edit = new QLineEdit(page);
    edit->setMaxLength(kPathMax);
    edit->setReadOnly(true);
    grid->addWidget(edit, row, 1);
    *browse = new QPushButton(UiQText(sheet_label::kBrowse), page);
    grid->addWidget(*browse, row, 2);
    return edit;
}
}  // namespace

CPropDatabase::CPropDatabase(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    register_ = new QCheckBox(UiQText(sheet_label::kRegister), this);
    grid->addWidget(register_, 0, 0, 1, 3);
    QPushButton* programBrowse = nullptr;
    program_ = PathRow(this, grid, 1, sheet_label::kCatalogProgram, &programBrowse);
    catalog_ = PathRow(this, grid, 2, sheet_label::kCatalogFile, &catalogBrowse_);
    folder_ = PathRow(this, grid, 3, sheet_label::kRegistrationFolder, &folderBrowse_);
    grid->setRowStretch(4, 1);

    connect(programBrowse, &QPushButton::clicked, this, [this] { ChooseProgram(); });
    connect(catalogBrowse_, &QPushButton::clicked, this, [this] { ChooseCatalogFile(); });
    connect(folderBrowse_, &QPushButton::clicked, this, [this] { ChooseRegistrationFolder(); });
    connect(register_, &QCheckBox::clicked, this, [this](bool checked) { OnRegisterClicked(checked); });
}

void CPropDatabase::Load(const SheetValues& values)
{
    imagesFolder_ = values.imagesFolder;
    register_->setChecked(values.database.CheckRegistry != 0);
    program_->setText(QString::fromStdString(values.database.DataBaseSoft));
    catalog_->setText(QString::fromStdString(values.database.Catalogfile));
    folder_->setText(QString::fromStdString(values.database.FolderReg));
    UpdateControls();
}

void CPropDatabase::Store(SheetValues* values) const
{
    values->database.CheckRegistry = register_->isChecked() ? 1 : 0;
    values->database.DataBaseSoft = program_->text().toStdString();
    values->database.Catalogfile = catalog_->text().toStdString();
    values->database.FolderReg = folder_->text().toStdString();
}

void CPropDatabase::ChooseProgram()
{
    std::optional<std::string> chosen =
        plat::chooseOpenFile(this, UiText(sheet_text::kCatalogProgramTitle), program_->text().toStdString(),
                             plat::fileFilterFromPairs("exe file (.exe)|*.exe||"));
    if (!chosen)
        return;
    switch (ClassifyCatalogProgram(*chosen)) {
    case CatalogProgram::Main:
        ShowSheetMessage(this, sheet_text::kMainCatalogSet, plat::MessageIcon::Information);
        break;
    case CatalogProgram::Companion:
        ShowSheetMessage(this, sheet_text::kCompanionCatalogSet, plat::MessageIcon::Information);
        break;
    case CatalogProgram::Unsupported:
        ShowSheetMessage(this, sheet_text::kNotACatalog, plat::MessageIcon::Stop);
        return;
    }
    if (chosen->size() <= static_cast<std::size_t>(kPathMax))
        program_->setText(QString::fromStdString(*chosen));
    UpdateControls();
}

namespace {

std::mutex g_makerLock;
CPropDatabase::CatalogMaker g_catalogMaker;

CPropDatabase::CatalogMaker CatalogMakerNow()
{
    std::lock_guard<std::mutex> lock(g_makerLock);
    return g_catalogMaker;
}

}  // namespace

void CPropDatabase::SetCatalogMaker(CatalogMaker maker)
{
    std::lock_guard<std::mutex> lock(g_makerLock);
    g_catalogMaker = std::move(maker);
}

void CPropDatabase::ChooseCatalogFile()
{
    std::optional<std::string> chosen =
        plat::chooseNewOrOpenFile(this, UiText(sheet_text::kCatalogFileTitle), catalog_->text().toStdString(),
                                  plat::fileFilterFromPairs("ccf file (.ccf)|*.ccf||"));
    if (!chosen)
        return;
    std::error_code ec;
    if (chosen->empty() || chosen->size() > static_cast<std::size_t>(kPathMax)) {
        ShowSheetMessage(this, sheet_text::kNoCatalogFile, plat::MessageIcon::Exclamation);
        return;
    }
    if (!std::filesystem::exists(*chosen, ec)) {
        // A new name: the catalog program makes the catalog, when the user wants it.
        const CatalogMaker make = CatalogMakerNow();
        if (!make || std::filesystem::path(*chosen).extension() != ".ccf") {
            ShowSheetMessage(this, sheet_text::kNoCatalogFile, plat::MessageIcon::Exclamation);
            return;
        }
        if (ShowSheetMessage(this, sheet_text::kCreateCatalog, plat::MessageIcon::Question, *chosen,
                             plat::MessageButtons::OkCancel) != plat::kAnswerOk)
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const int32_t made = make(program_->text().toStdString(), *chosen);
        QApplication::restoreOverrideCursor();
        if (made != 0 || !std::filesystem::is_regular_file(*chosen, ec)) {
            ShowSheetMessage(this, sheet_text::kCatalogNotMade, plat::MessageIcon::Exclamation);
            return;
        }
    } else if (!std::filesystem::is_regular_file(*chosen, ec)) {
        ShowSheetMessage(this, sheet_text::kNoCatalogFile, plat::MessageIcon::Exclamation);
        return;
    }
    catalog_->setText(QString::fromStdString(*chosen));
}

void CPropDatabase::ChooseRegistrationFolder()
{
    std::optional<std::string> chosen =
        plat::chooseFolder(this, UiText(sheet_text::kRegistrationTitle), folder_->text().toStdString());
    if (!chosen)
        return;
    std::string folder = *chosen;
    std::error_code ec;
    if (folder.empty() || folder.size() > static_cast<std::size_t>(kPathMax) ||
        !std::filesystem::is_directory(folder, ec)) {
        folder = imagesFolder_;
        ShowSheetMessage(this, sheet_text::kFolderFallback, plat::MessageIcon::Exclamation, "Images");
    }
    folder_->setText(QString::fromStdString(folder));
    if (handOver_)
        handOver_(folder);
}

void CPropDatabase::OnRegisterClicked(bool checked)
{
    UpdateControls();
    if (checked && program_->text().isEmpty())
        ShowSheetMessage(this, sheet_text::kChooseCatalog, plat::MessageIcon::Information);
}

void CPropDatabase::UpdateControls()
{
    const bool enabled = CatalogControlsEnabled(register_->isChecked() ? 1 : 0, program_->text().toStdString());
    catalog_->setEnabled(enabled);
    catalogBrowse_->setEnabled(enabled);
    folder_->setEnabled(enabled);
    folderBrowse_->setEnabled(enabled);
}
