#include "viewer/shell/ui/PropStatus.h"

#include "viewer/shell/ui/PropDatabase.h"
#include "viewer/shell/ui/PropFileInfo.h"
#include "viewer/shell/ui/PropTrans.h"
#include "viewer/shell/ui/PropViewer.h"
#include "viewer/shell/ui/PropWake.h"
#include "viewer/shell/ui/UiText.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

std::tm CPropStatus::Now()
{
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

CPropStatus::CPropStatus(const std::string& caption, QWidget* parent, int firstPage)
    : QDialog(parent), sheetTime_(Now())
{
    setModal(true);
    setWindowTitle(QString::fromStdString(caption));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    wake_ = new CPropWake(tabs_);
    trans_ = new CPropTrans(sheetTime_, tabs_);
    database_ = new CPropDatabase(tabs_);
    fileInfo_ = new CPropFileInfo(tabs_);
    viewer_ = new CPropViewer(tabs_);
    QWidget* pages[5] = {wake_, trans_, database_, fileInfo_, viewer_};
    for (int i = 0; i < 5; ++i)
        tabs_->addTab(pages[i], UiQText(sheet_text::kPageTitles[i]));
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    database_->SetFolderHandOver([this](const std::string& folder) { trans_->SetDestination(folder); });

    ApplyFont(this, DialogFont());
    tabs_->setCurrentIndex(firstPage >= 0 && firstPage < 5 ? firstPage : 0);
}

CPropStatus::~CPropStatus() = default;

void CPropStatus::LoadFromSettings(const CViewSettings& settings)
{
    values_ = SheetValuesFrom(settings);
    wake_->Load(values_);
    trans_->Load(values_);
    database_->Load(values_);
    fileInfo_->Load(values_);
    viewer_->Load(values_);
}

void CPropStatus::SaveToSettings(CViewSettings* settings) const
{
    SheetValues values = values_;
    wake_->Store(&values);
    trans_->Store(&values);
    database_->Store(&values);
    fileInfo_->Store(&values);
    viewer_->Store(&values);
    StoreSheetValues(values, settings);
}
